#include "ExaminationReports.h"

#include "DicomUid.h"
#include "StructuredReportWriter.h"

ExaminationReports::ExaminationReports(const QString &patientsName, const QString &patientID)
    : m_patientsName(patientsName)
    , m_patientID(patientID)
{
}

QList<QByteArray> ExaminationReports::data(const QList<BoneAgeResult> &results, QString *error) const
{
    StructuredReportWriter writer(m_patientsName, m_patientID);
    writer.setPatientsBirthDate(m_birthDate);
    writer.setPatientsSex(m_sex);
    // Reports of several examinations must share one study, even a new one.
    writer.setStudy(m_study.knownOrNew(StructuredReportWriter::description));
    writer.setSeriesInstanceUID(QString::fromLatin1(DicomUid::generate()));
    QList<QByteArray> files;
    for (const BoneAgeResult &result : results) {
        writer.setInstanceNumber(int(files.size()) + 1);
        QString reason;
        const QByteArray file = writer.data(result, &reason);
        if (file.isEmpty()) {
            if (error) {
                const QString exam = result.examDate.isValid()
                        ? result.examDate.toString(Qt::ISODate)
                        : QStringLiteral("an examination without date");
                *error = QStringLiteral("The structured report of %1 could not be made: %2")
                                 .arg(exam, reason);
            }
            return {};
        }
        files.append(file);
    }
    return files;
}
