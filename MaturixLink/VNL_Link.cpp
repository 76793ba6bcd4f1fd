#include "VNL_Link.h"

#include "AbsoluteDate.h"
#include "AtomicFile.h"
#include "BrowserController.h"
#include "Logging.h"
#include "Notification.h"
#include "SecondaryCaptureWriter.h"

#include <QDebug>
#include <QDir>
#include <QImage>

namespace {
std::optional<QString> stringValue(const QVariantMap &info, const char *key)
{
    const QVariant value = info.value(QLatin1String(key));
    if (value.typeId() == QMetaType::QString)
        return value.toString();
    return std::nullopt;
}

// Local date and time.
std::optional<QDateTime> dateValue(const QVariantMap &info, const char *key)
{
    const QVariant value = info.value(QLatin1String(key));
    if (value.metaType() == QMetaType::fromType<AbsoluteDate>())
        return value.value<AbsoluteDate>().toDateTime().toLocalTime();
    return std::nullopt;
}
} // namespace

void VNL_Link::initPlugin()
{
    m_studyCounter = 10000;
    m_imageCounter = 0;
}

void VNL_Link::doLinkFromVNL(const Notification &notification)
{
    const QVariant jpeg = notification.userInfo.value(QStringLiteral("JPEG"));
    if (jpeg.typeId() != QMetaType::QByteArray) {
        qCWarning(lcLink, "Chart return without JPEG data ignored");
        return;
    }
    QImage image;
    if (!image.loadFromData(jpeg.toByteArray(), "JPEG")) {
        qCWarning(lcLink, "Chart return whose JPEG data does not decode ignored");
        return;
    }
    BrowserController *browser = BrowserController::currentBrowser();
    if (!browser) {
        qCWarning(lcLink, "Chart return ignored: no database is open");
        return;
    }

    const QVariantMap &info = notification.userInfo;
    SecondaryCaptureWriter writer(image);
    if (const auto name = stringValue(info, "Name"))
        writer.setPatientsName(*name);
    // The identifier as the viewer gave it, where Maturix knows it; else the
    // one Maturix shows.
    if (const auto patientID = stringValue(info, "PatientID"))
        writer.setPatientID(*patientID);
    else if (const auto identifier = stringValue(info, "Identifier"))
        writer.setPatientID(*identifier);
    if (const auto description = stringValue(info, "StudyDescription"))
        writer.setStudyDescription(*description);
    if (const auto birthDate = dateValue(info, "DateOfBirth"))
        writer.setPatientsBirthDate(birthDate->date());
    const QVariant gender = info.value(QStringLiteral("Gender"));
    if (gender.typeId() == QMetaType::LongLong || gender.typeId() == QMetaType::Int)
        writer.setPatientsSex(gender.toInt());
    DicomStudy study;
    study.studyInstanceUID = stringValue(info, "StudyInstanceUID").value_or(QString());
    study.accessionNumber = stringValue(info, "AccessionNumber").value_or(QString());
    study.studyID = stringValue(info, "StudyID").value_or(QString());
    study.studyDateTime = dateValue(info, "DateOfSourceStudy").value_or(QDateTime());
    writer.setStudy(study);

    QString representation;
    QDebug(&representation).nospace() << image;
    qCInfo(lcLink, "rep: %s", qPrintable(representation));

    ++m_studyCounter;
    ++m_imageCounter;
    const QString path = QStringLiteral("%1/INCOMING.noindex/VNL-%2-%3.dcm")
                             .arg(browser->documentsDirectory(), QString::number(m_studyCounter),
                                 QString::number(m_imageCounter));
    qCInfo(lcLink, "Writing DICOM file to %s", qPrintable(path));
    QString error;
    const QByteArray bytes = writer.data(&error);
    if (bytes.isEmpty() || !AtomicFile::write(path, bytes, &error))
        qCWarning(lcLink, "Cannot write %s: %s", qPrintable(path), qPrintable(error));
}
