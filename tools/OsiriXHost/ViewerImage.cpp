#include "ViewerImage.h"

#include "DCMObject.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

std::unique_ptr<ViewerImage> ViewerImage::imageWithContentsOfFile(
    const QString &path, QString *error)
{
    const std::unique_ptr<DCMObject> object = DCMObject::objectWithContentsOfFile(path, error);
    if (!object)
        return nullptr;
    std::unique_ptr<ViewerImage> image(new ViewerImage);
    image->m_path = path;
    auto keep = [&image](const QString &keyPath, const QVariant &value) {
        if (value.isValid())
            image->m_values.insert(keyPath, value);
    };
    keep(QStringLiteral("series.study.name"),
        object->attributeValueWithName(QStringLiteral("PatientName")));
    keep(QStringLiteral("series.study.patientID"),
        object->attributeValueWithName(QStringLiteral("PatientID")));
    keep(QStringLiteral("series.study.patientSex"),
        object->attributeValueWithName(QStringLiteral("PatientSex")));
    keep(QStringLiteral("series.study.studyInstanceUID"),
        object->attributeValueWithName(QStringLiteral("StudyInstanceUID")));
    keep(QStringLiteral("series.study.accessionNumber"),
        object->attributeValueWithName(QStringLiteral("AccessionNumber")));
    keep(QStringLiteral("series.study.id"), object->attributeValueWithName(QStringLiteral("StudyID")));
    const QDate birthDate
        = object->attributeValueWithName(QStringLiteral("PatientBirthDate")).toDate();
    if (birthDate.isValid())
        keep(QStringLiteral("series.study.dateOfBirth"), birthDate.startOfDay());
    const QDate studyDate = object->attributeValueWithName(QStringLiteral("StudyDate")).toDate();
    if (studyDate.isValid()) {
        const QTime studyTime
            = object->attributeValueWithName(QStringLiteral("StudyTime")).toTime();
        keep(QStringLiteral("series.study.date"),
            studyTime.isValid() ? QDateTime(studyDate, studyTime) : studyDate.startOfDay());
    }
    return image;
}

QVariant ViewerImage::valueForKeyPath(const QString &keyPath) const
{
    return m_values.value(keyPath);
}
