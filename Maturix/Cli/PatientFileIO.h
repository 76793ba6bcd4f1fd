#pragma once

#include "PatientFile.h"

#include <QString>

#include <memory>

// Patients on disk for maturix-cli: a patient file, or a ".json" file of
// the schema of PatientJson.
class PatientFileIO
{
public:
    // A patient as JSON takes a few kilobytes; the parsed document takes
    // about ten times the text, so JSON gets a tighter cap than archives.
    static constexpr qint64 maximumJsonSize = 4 * 1024 * 1024;

    static bool isJsonPath(const QString &path);
    // Null with the reason when the file cannot be read or decoded. A JSON
    // file records no versions.
    static std::unique_ptr<PatientRecord> load(const QString &path, PatientFile::Versions *versions,
                                               QString *error);
    // Writes in the current versions through a temporary file renamed into
    // place, so a failure leaves any earlier file untouched; never through
    // a symbolic link.
    static bool save(const QString &path, const PatientRecord &record, QString *error);
    // The bytes of a regular file within the size cap, or false with the
    // reason.
    static bool readFile(const QString &path, QByteArray *data, QString *error);
};
