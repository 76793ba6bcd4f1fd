#include "MaturixLink.h"

#include "DCMView.h"
#include "DistributedNotificationCenter.h"
#include "Logging.h"
#include "Notification.h"
#include "ViewerController.h"
#include "ViewerImage.h"
#include "Workspace.h"

#include <QDBusConnection>
#include <QDateTime>
#include <QMetaObject>
#include <QThread>

namespace {
const char linkRequestObject[] = "OsirixLink";
const char chartReturnObject[] = "OsirixLinkReturn";
// Time for Maturix to start, or to come forward, before it can take a request.
const unsigned long launchWaitMilliseconds = 3000;
const unsigned long activationWaitMilliseconds = 500;
} // namespace

QString MaturixLink::applicationIdentifier()
{
    return QStringLiteral(MATURIX_BUNDLE_IDENTIFIER);
}

QString MaturixLink::linkNotificationName()
{
    return QStringLiteral("%1.osirixLink").arg(applicationIdentifier());
}

MaturixLink::~MaturixLink()
{
    DistributedNotificationCenter::defaultCenter().removeObserver(
        this, linkNotificationName(), QLatin1String(chartReturnObject));
    QDBusConnection::sessionBus().unregisterService(linkNotificationName());
}

void MaturixLink::initPlugin()
{
    VNL_Link::initPlugin();
    DistributedNotificationCenter::defaultCenter().addObserver(
        linkNotificationName(), QLatin1String(chartReturnObject), this,
        [this](const Notification &notification) { notifiedOfLinkFromMaturix(notification); },
        true);
    // While the name is ours, Maturix knows that its charts are heard.
    if (!QDBusConnection::sessionBus().registerService(linkNotificationName()))
        qCWarning(lcLink, "Maturix will not know that the plug-in listens: the name %s is taken",
            qPrintable(linkNotificationName()));
}

void MaturixLink::notifiedOfLinkFromMaturix(const Notification &notification)
{
    QMetaObject::invokeMethod(
        this, [this, notification] { doLinkFromVNL(notification); }, Qt::QueuedConnection);
}

long MaturixLink::filterImage(const QString &)
{
    Workspace &workspace = Workspace::sharedWorkspace();
    const bool running = workspace.isApplicationRunning(applicationIdentifier());
    if (!workspace.launchAppWithBundleIdentifier(applicationIdentifier()))
        qCWarning(lcLink, "Maturix could not be started");
    // The viewer waits on purpose: a request posted before Maturix listens is lost.
    QThread::msleep(running ? activationWaitMilliseconds : launchWaitMilliseconds);

    ViewerController *viewer = viewerController();
    const QList<ViewerImage *> images = viewer ? viewer->fileList() : QList<ViewerImage *>();
    const qint16 index = viewer ? viewer->imageView()->curImage() : -1;
    if (index < 0 || index >= images.size()) {
        qCWarning(lcLink, "No image on show: nothing sent to Maturix");
        return 0;
    }
    const ViewerImage *image = images.at(index);

    QVariantMap request;
    auto add = [&request, image](const char *key, const char *keyPath) {
        const QVariant value = image->valueForKeyPath(QLatin1String(keyPath));
        if (value.isValid())
            request.insert(QLatin1String(key), value);
    };
    add("Name", "series.study.name");
    add("Identifier", "series.study.patientID");
    add("DateOfBirth", "series.study.dateOfBirth");
    add("DateOfStudy", "series.study.date");
    // The study itself, so that the chart returns into it.
    add("StudyInstanceUID", "series.study.studyInstanceUID");
    add("AccessionNumber", "series.study.accessionNumber");
    add("StudyID", "series.study.id");
    const QString sex
        = image->valueForKeyPath(QStringLiteral("series.study.patientSex")).toString();
    if (sex == QLatin1String("M"))
        request.insert(QStringLiteral("Gender"), qint64(1));
    else if (sex == QLatin1String("F"))
        request.insert(QStringLiteral("Gender"), qint64(2));

    DistributedNotificationCenter::defaultCenter().postNotification(
        linkNotificationName(), QLatin1String(linkRequestObject), request, true);
    return 0;
}

OSIRIX_PLUGIN_PRINCIPAL_CLASS(MaturixLink)
