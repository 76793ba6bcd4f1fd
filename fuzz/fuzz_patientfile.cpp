// libFuzzer target for everything that reads patient files: the generic
// archive walk, its description, and the patient decoder. A decoded patient
// must also survive a write and re-read unchanged. Descriptions and
// reasons stay free of control characters, and the reader logs nothing:
// a warning (QString::arg() taking the file's text for a placeholder) is a
// fault, and so is memory out of proportion to the input: more than three
// times the budget the reader keeps to (the archive read, its slack and its
// description).
#include "PatientFile.h"
#include "TypedStreamPrinter.h"
#include "Unarchiver.h"

#include <sanitizer/allocator_interface.h>

#include <cstdint>
#include <cstdio>
#include <algorithm>
#include <cstdlib>

namespace {

void failOnMessage(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg || type == QtInfoMsg)
        return;
    std::fprintf(stderr, "unexpected message: %s\n", qUtf8Printable(message));
    std::abort();
}

// The most memory in use at once since the last reset, seen at every
// allocation.
size_t peakAllocated = 0;

void noteAllocation(const volatile void *, size_t)
{
    peakAllocated = std::max(peakAllocated, __sanitizer_get_current_allocated_bytes());
}

void noteRelease(const volatile void *) { }

// Fails the input when handling it took more memory than its size allows.
class MemoryInProportion
{
public:
    explicit MemoryInProportion(size_t inputSize)
        : m_before(__sanitizer_get_current_allocated_bytes()),
          m_allowed(size_t(3 * (Unarchiver::memoryPerByte * qint64(inputSize) + Unarchiver::memoryAllowance)))
    {
        peakAllocated = m_before;
    }
    ~MemoryInProportion()
    {
        if (peakAllocated - m_before > m_allowed) {
            std::fprintf(stderr, "%zu bytes in use at once for an input that allows %zu\n",
                         peakAllocated - m_before, m_allowed);
            std::abort();
        }
    }

private:
    size_t m_before;
    size_t m_allowed;
};

void requirePrintable(const QString &text)
{
    for (QChar c : text) {
        if (c.category() == QChar::Other_Control && c != u'\n') {
            std::fprintf(stderr, "control character U+%04X in: %s\n", c.unicode(), qUtf8Printable(text));
            std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler(failOnMessage);
    __sanitizer_install_malloc_and_free_hooks(noteAllocation, noteRelease);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const MemoryInProportion memory(size);
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    {
        // Gone before the patient decoder reads the input again.
        Unarchiver archive;
        if (archive.read(bytes))
            requirePrintable(TypedStreamPrinter::describe(archive));
        else if (archive.errorString().isEmpty())
            std::abort();
        requirePrintable(archive.errorString());
    }

    QString error;
    PatientFile::Versions versions;
    const std::unique_ptr<PatientRecord> record = PatientFile::read(bytes, &error, &versions);
    if (!record) {
        if (error.isEmpty())
            std::abort();
        requirePrintable(error);
        return 0;
    }
    const QByteArray written = PatientFile::write(*record);
    const std::unique_ptr<PatientRecord> again = PatientFile::read(written, &error);
    if (!again || PatientFile::write(*again) != written) {
        std::fprintf(stderr, "patient does not survive a write and re-read: %s\n", qPrintable(error));
        std::abort();
    }
    return 0;
}
