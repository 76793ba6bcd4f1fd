// libFuzzer target for everything that reads patient files: the generic
// archive walk, its description, and the patient decoder. A decoded patient
// must also survive a write and re-read unchanged. Descriptions and
// reasons stay free of control characters, and the reader logs nothing:
// a warning (QString::arg() taking the file's text for a placeholder) is a
// fault.
#include "PatientFile.h"
#include "TypedStreamPrinter.h"
#include "Unarchiver.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void failOnMessage(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg || type == QtInfoMsg)
        return;
    std::fprintf(stderr, "unexpected message: %s\n", qUtf8Printable(message));
    std::abort();
}

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
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    Unarchiver archive;
    if (archive.read(bytes))
        requirePrintable(TypedStreamPrinter::describe(archive));
    else if (archive.errorString().isEmpty())
        std::abort();
    requirePrintable(archive.errorString());

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
