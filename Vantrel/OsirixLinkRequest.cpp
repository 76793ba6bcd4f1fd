#include "OsirixLinkRequest.h"

#include <QDate>
#include <QDateTime>

#include <cmath>

namespace {
const QString identifierKey = QStringLiteral("Identifier");
const QString nameKey = QStringLiteral("Name");
const QString dateOfBirthKey = QStringLiteral("DateOfBirth");
const QString dateOfStudyKey = QStringLiteral("DateOfStudy");
const QString studyIDKey = QStringLiteral("OsiriXStudyID");
const QString genderKey = QStringLiteral("Gender");
const QString studyInstanceUIDKey = QStringLiteral("StudyInstanceUID");
const QString accessionNumberKey = QStringLiteral("AccessionNumber");
const QString dicomStudyIDKey = QStringLiteral("StudyID");

// Dates of patients and studies lie within these years.
constexpr int firstYear = 1900;
constexpr int lastYear = 2100;

// Why the value under key is not of the type; empty when it is, or when it
// is absent and optional.
QString typeFault(const QVariantMap &userInfo, const QString &key, QMetaType type, bool required)
{
    if (!userInfo.contains(key))
        return required ? QStringLiteral("no \"%1\"").arg(key) : QString();
    if (userInfo.value(key).metaType() != type)
        return QStringLiteral("\"%1\" is not a %2").arg(key, QString::fromLatin1(type.name()));
    return {};
}

QString dateFault(const QString &key, const AbsoluteDate &date)
{
    const double seconds = date.secondsSinceReferenceDate();
    if (!std::isfinite(seconds))
        return QStringLiteral("\"%1\" is no date").arg(key);
    const int year = date.toLocalDateTime().date().year();
    if (year < firstYear || year > lastYear)
        return QStringLiteral("\"%1\" lies in the year %2").arg(key).arg(year);
    return {};
}
} // namespace

std::optional<OsirixLinkRequest> OsirixLinkRequest::fromUserInfo(const QVariantMap &userInfo,
                                                                 QString *fault)
{
    const QMetaType string = QMetaType::fromType<QString>();
    const QMetaType date = QMetaType::fromType<AbsoluteDate>();
    // Integers cross the bus as 64-bit values.
    const QMetaType integer = QMetaType::fromType<qint64>();
    QString reason;
    for (const auto &[key, type, required] :
         { std::tuple { identifierKey, string, true }, std::tuple { dateOfStudyKey, date, true },
           std::tuple { dateOfBirthKey, date, false }, std::tuple { nameKey, string, false },
           std::tuple { genderKey, integer, false },
           std::tuple { studyInstanceUIDKey, string, false },
           std::tuple { accessionNumberKey, string, false },
           std::tuple { dicomStudyIDKey, string, false } }) {
        if (reason.isEmpty())
            reason = typeFault(userInfo, key, type, required);
    }

    OsirixLinkRequest request;
    if (reason.isEmpty()) {
        request.patientID = userInfo.value(identifierKey).toString();
        request.identifier = QString(request.patientID).replace(u'/', u'-');
        if (request.identifier.trimmed().isEmpty())
            reason = QStringLiteral("the \"%1\" is empty").arg(identifierKey);
    }
    if (reason.isEmpty()) {
        request.studyDate = userInfo.value(dateOfStudyKey).value<AbsoluteDate>();
        reason = dateFault(dateOfStudyKey, request.studyDate);
    }
    if (reason.isEmpty() && userInfo.contains(dateOfBirthKey)) {
        request.birthDate = userInfo.value(dateOfBirthKey).value<AbsoluteDate>();
        reason = dateFault(dateOfBirthKey, *request.birthDate);
    }
    if (!reason.isEmpty()) {
        if (fault)
            *fault = reason;
        return std::nullopt;
    }
    if (userInfo.contains(nameKey))
        request.name = userInfo.value(nameKey).toString();
    request.studyID = userInfo.value(studyIDKey).toString();
    request.gender = userInfo.value(genderKey).toLongLong();
    request.studyInstanceUID = userInfo.value(studyInstanceUIDKey).toString();
    request.accessionNumber = userInfo.value(accessionNumberKey).toString();
    request.dicomStudyID = userInfo.value(dicomStudyIDKey).toString();
    return request;
}

QVariantMap OsirixLinkRequest::sourceStudy() const
{
    QVariantMap study { { QStringLiteral("PatientID"), patientID } };
    if (studyInstanceUID.isEmpty())
        return study;
    study.insert(studyInstanceUIDKey, studyInstanceUID);
    if (!accessionNumber.isEmpty())
        study.insert(accessionNumberKey, accessionNumber);
    if (!dicomStudyID.isEmpty())
        study.insert(dicomStudyIDKey, dicomStudyID);
    study.insert(QStringLiteral("DateOfSourceStudy"), QVariant::fromValue(studyDate));
    return study;
}
