#include "VNL_Link.h"

#include "AbsoluteDate.h"
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

    SecondaryCaptureWriter writer(image);
    if (const auto name = stringValue(notification.userInfo, "Name"))
        writer.setPatientsName(*name);
    if (const auto identifier = stringValue(notification.userInfo, "Identifier"))
        writer.setPatientID(*identifier);
    if (const auto description = stringValue(notification.userInfo, "StudyDescription"))
        writer.setStudyDescription(*description);
    const QVariant birthDate = notification.userInfo.value(QStringLiteral("DateOfBirth"));
    if (birthDate.metaType() == QMetaType::fromType<AbsoluteDate>())
        writer.setPatientsBirthDate(
            birthDate.value<AbsoluteDate>().toDateTime().toLocalTime().date());

    QString representation;
    QDebug(&representation).nospace() << image;
    qCInfo(lcLink, "rep: %s", qPrintable(representation));

    ++m_studyCounter;
    ++m_imageCounter;
    const QString path = QStringLiteral("%1/INCOMING.noindex/VNL-%2-%3.dcm")
                             .arg(browser->documentsDirectory())
                             .arg(m_studyCounter)
                             .arg(m_imageCounter);
    qCInfo(lcLink, "Writing DICOM file to %s", qPrintable(path));
    QString error;
    if (!writer.writeToFile(path, &error))
        qCWarning(lcLink, "Cannot write %s: %s", qPrintable(path), qPrintable(error));
}
