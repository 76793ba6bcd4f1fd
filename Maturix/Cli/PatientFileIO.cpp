#include "PatientFileIO.h"

#include "AtomicFile.h"
#include "PatientJson.h"
#include "RegularFile.h"

#include <QJsonDocument>

bool PatientFileIO::isJsonPath(const QString &path)
{
    return path.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive);
}

bool PatientFileIO::readFile(const QString &path, QByteArray *data, QString *error)
{
    return RegularFile::read(path, data, error);
}

std::unique_ptr<PatientRecord> PatientFileIO::load(const QString &path, PatientFile::Versions *versions,
                                                   QString *error)
{
    *versions = {};
    QByteArray data;
    if (!isJsonPath(path))
        return readFile(path, &data, error) ? PatientFile::read(data, error, versions) : nullptr;
    if (!RegularFile::read(path, &data, error, maximumJsonSize))
        return nullptr;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error = QStringLiteral("invalid JSON at offset %1: %2").arg(parseError.offset).arg(parseError.errorString());
        return nullptr;
    }
    if (!document.isObject()) {
        *error = QStringLiteral("the JSON document is not an object");
        return nullptr;
    }
    return PatientJson::fromJson(document.object(), error);
}

bool PatientFileIO::save(const QString &path, const PatientRecord &record, QString *error)
{
    QByteArray data;
    if (isJsonPath(path)) {
        const PatientFile::Versions current { PatientRecord::classVersion, TRRecord::classVersion };
        const std::optional<QJsonObject> object = PatientJson::toJson(record, current, error);
        if (!object)
            return false;
        data = PatientJson::text(*object);
    } else {
        data = PatientFile::write(record);
    }
    return AtomicFile::write(path, data, error);
}
