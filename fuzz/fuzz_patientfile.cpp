// libFuzzer target for everything that reads patient files: the generic
// archive walk, its description, and the patient decoder. A decoded patient
// must also survive a write and re-read unchanged.
#include "PatientFile.h"
#include "TypedStreamPrinter.h"
#include "Unarchiver.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    Unarchiver archive;
    if (archive.read(bytes))
        (void)TypedStreamPrinter::describe(archive);
    else if (archive.errorString().isEmpty())
        std::abort();

    QString error;
    PatientFile::Versions versions;
    const std::unique_ptr<PatientRecord> record = PatientFile::read(bytes, &error, &versions);
    if (!record) {
        if (error.isEmpty())
            std::abort();
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
