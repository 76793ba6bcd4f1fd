#pragma once

#include "PatientRecord.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

// A patient file: exactly the bytes of a typedstream archive whose root
// object is the PatientRecord. Files of older class versions are upgraded
// while they are read; files are always written in the current versions.
class PatientFile
{
public:
    // The class versions a file records; absent when it holds no such class
    // (a patient without examinations records no TRRecord).
    struct Versions
    {
        std::optional<qint64> patientRecord;
        std::optional<qint64> trRecord;
    };

    // The decoded patient, or null with the reason in `error` when the bytes
    // are no patient file. Nothing of a partly decoded record survives.
    static std::unique_ptr<PatientRecord> read(const QByteArray &data, QString *error = nullptr,
                                               Versions *versions = nullptr);
    static QByteArray write(const PatientRecord &record);
};
