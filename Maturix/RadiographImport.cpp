#include "RadiographImport.h"

#include "AbsoluteDate.h"
#include "Gender.h"
#include "PatientRecord.h"

namespace {

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

QString RadiographImport::displayName(const QString &personName)
{
    // The first group is the alphabetic one; ideographic and phonetic follow.
    QStringList parts = personName.section(u'=', 0, 0).split(u'^');
    const QString family = parts.takeFirst().trimmed();
    parts.removeAll(QString());
    const QString given = parts.mid(0, 2).join(u' ').trimmed();
    return family.isEmpty() || given.isEmpty() ? family + given : family + QStringLiteral(", ") + given;
}

int RadiographImport::genderOf(const RadiographImage::Patient &patient)
{
    if (patient.sex == u"M")
        return Gender::Male;
    if (patient.sex == u"F")
        return Gender::Female;
    return Gender::Unspecified;
}

std::optional<quint64> RadiographImport::examinationOf(const PatientRecord &record,
                                                       const RadiographImage &image)
{
    const QString studyUID = image.study().studyInstanceUID;
    const QDate day = image.examinationDate();
    const auto &exams = record.trRecordsArray();
    std::optional<quint64> sameDate;
    for (quint64 i = 0; i < exams.size(); ++i) {
        const QString study = exams[i]->sourceStudy().value(QStringLiteral("StudyInstanceUID")).toString();
        if (!studyUID.isEmpty() && study == studyUID)
            return i;
        if (!sameDate && study.isEmpty() && day.isValid() && localDate(exams[i]->examDate()) == day)
            sameDate = i;
    }
    return sameDate;
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
        record.setNameString(displayName(patient.name));
    if (patient.birthDate.isValid())
        record.setBirthDate(AbsoluteDate::fromLocalDate(patient.birthDate));
    if (const int sex = genderOf(patient); sex != Gender::Unspecified)
        record.setGender(sex);

    TRRecord *examination = nullptr;
    if (const std::optional<quint64> same = examinationOf(record, image))
        examination = record.trRecordsArray()[*same].get();
    if (!examination) {
        record.addTRRecord();
        examination = record.trRecordsArray().back().get();
        if (const QDate day = image.examinationDate(); day.isValid())
            examination->setExamDate(AbsoluteDate::fromLocalDate(day));
        record.sortExaminationsByDate();
    }
    examination->setSourceStudy(sourceStudyOf(image));
    return examination;
}
