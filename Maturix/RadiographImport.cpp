#include "RadiographImport.h"

#include "AbsoluteDate.h"
#include "Gender.h"
#include "PatientRecord.h"

namespace {

int genderOf(const RadiographImage::Patient &patient)
{
    if (patient.sex == u"M")
        return Gender::Male;
    if (patient.sex == u"F")
        return Gender::Female;
    return Gender::Unspecified;
}

QString genderText(qint64 gender)
{
    return gender == Gender::Male ? QStringLiteral("male") : QStringLiteral("female");
}

QDate localDate(const std::optional<AbsoluteDate> &date)
{
    return date ? date->toLocalDateTime().date() : QDate();
}

QVariantMap sourceStudyOf(const RadiographImage &image)
{
    const DicomStudy &study = image.study();
    QVariantMap source { { QStringLiteral("PatientID"), image.patient().id } };
    if (!study.isKnown())
        return source;
    source.insert(QStringLiteral("StudyInstanceUID"), study.studyInstanceUID);
    source.insert(QStringLiteral("AccessionNumber"), study.accessionNumber);
    source.insert(QStringLiteral("StudyID"), study.studyID);
    if (image.examinationDate().isValid())
        source.insert(QStringLiteral("DateOfSourceStudy"),
                      QVariant::fromValue(AbsoluteDate::fromLocalDate(image.examinationDate())));
    return source;
}

} // namespace

QString RadiographImport::fileBaseName(const QString &identifier)
{
    return QString(identifier).replace(u'/', u'-');
}

QStringList RadiographImport::disagreements(const PatientRecord &record, const RadiographImage &image)
{
    QStringList lines;
    const QDate onFile = localDate(record.birthDate());
    const QDate inImage = image.patient().birthDate;
    if (onFile.isValid() && inImage.isValid() && onFile != inImage)
        lines.append(QStringLiteral("birth date: %1 in the patient file, %2 in the image")
                             .arg(onFile.toString(Qt::ISODate), inImage.toString(Qt::ISODate)));
    const int sex = genderOf(image.patient());
    if (record.gender() != Gender::Unspecified && sex != Gender::Unspecified && record.gender() != sex)
        lines.append(QStringLiteral("sex: %1 in the patient file, %2 in the image")
                             .arg(genderText(record.gender()), genderText(sex)));
    return lines;
}

TRRecord *RadiographImport::apply(PatientRecord &record, const RadiographImage &image)
{
    const RadiographImage::Patient &patient = image.patient();
    record.setReferenceString(patient.id);
    if (!patient.name.isEmpty())
        record.setNameString(patient.name);
    if (patient.birthDate.isValid())
        record.setBirthDate(AbsoluteDate::fromLocalDate(patient.birthDate));
    if (const int sex = genderOf(patient); sex != Gender::Unspecified)
        record.setGender(sex);

    const QDate day = image.examinationDate();
    TRRecord *examination = nullptr;
    for (const auto &existing : record.trRecordsArray()) {
        if (day.isValid() && localDate(existing->examDate()) == day) {
            examination = existing.get();
            break;
        }
    }
    if (!examination) {
        record.addTRRecord();
        examination = record.trRecordsArray().back().get();
        if (day.isValid())
            examination->setExamDate(AbsoluteDate::fromLocalDate(day));
        record.sortExaminationsByDate();
    }
    examination->setSourceStudy(sourceStudyOf(image));
    return examination;
}
