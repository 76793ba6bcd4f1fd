#include "KVVersion.h"

#include "Alert.h"
#include "Assertion.h"
#include "Bundle.h"
#include "Document.h"
#include "DocumentController.h"
#include "KVPropertyListReader.h"
#include "NotificationCenter.h"
#include "UserDefaults.h"
#include "WaitController.h"
#include "Workspace.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace {
constexpr int versionInfoTimeoutMs = 10 * 1000;
// A download stalls rather than takes long: this is the time without data.
constexpr int downloadStallTimeoutMs = 60 * 1000;
constexpr int maximumRedirects = 10;
constexpr qsizetype maximumFileNameBytes = 255;
const char refusedRedirectProperty[] = "refusedRedirect";

QString localized(const char *english)
{
    return QCoreApplication::translate("KVVersion", english);
}

int runAlert(const QString &messageText, const QString &informativeText,
             const QString &defaultButton = localized("OK"), const QString &alternateButton = {},
             const QString &otherButton = {})
{
    return Alert::alertWithMessageText(messageText, defaultButton, alternateButton, otherButton,
                                       informativeText)
            .runModal();
}

bool isHttpSuccess(const QNetworkReply *reply)
{
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    return !status.isValid() || (status.toInt() >= 200 && status.toInt() < 300);
}

// An HTTP error status (4xx, 5xx), as opposed to a failure to get an
// answer at all.
bool answeredWithError(const QNetworkReply *reply)
{
    const QNetworkReply::NetworkError error = reply->error();
    return (error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError)
            || (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError);
}

QString failureDescription(const QNetworkReply *reply)
{
    const QUrl refused = reply->property(refusedRedirectProperty).toUrl();
    if (!refused.isEmpty())
        return localized("Redirected to an address that is not secure: %1")
                .arg(refused.toDisplayString());
    return reply->errorString();
}
} // namespace

KVVersion *KVVersion::kvVersion()
{
    // A function-local static is created exactly once, also when several
    // threads ask first at the same time; it lives until the process ends.
    static KVVersion *const instance = new KVVersion;
    return instance;
}

KVVersion::KVVersion()
    : m_terminateHandler([] { QCoreApplication::quit(); })
{
}

KVVersion::~KVVersion() = default;

QString KVVersion::versionCheckSuccessfulNotification()
{
    return QStringLiteral("VersionCheckSuccessful");
}

QString KVVersion::versionCheckUnsuccessfulNotification()
{
    return QStringLiteral("VersionCheckUnsuccessful");
}

QString KVVersion::versionCheckURLKey()
{
    return QStringLiteral("Version Check URL");
}

QString KVVersion::applicationName()
{
    return kvVersion()->objectForInfoDictionaryKey(QStringLiteral("CFBundleName")).toString();
}

QVariant KVVersion::objectForInfoDictionaryKey(const QString &key) const
{
    if (!m_infoDictionary.isEmpty())
        return m_infoDictionary.value(key);
    return Bundle::mainBundle().objectForInfoDictionaryKey(key);
}

void KVVersion::setInfoDictionary(const QVariantMap &info)
{
    m_infoDictionary = info;
}

void KVVersion::setTerminateHandler(std::function<void()> handler)
{
    m_terminateHandler = std::move(handler);
}

QUrl KVVersion::versionCheckURL()
{
    const QString preferred = UserDefaults::standardUserDefaults().stringForKey(versionCheckURLKey()).trimmed();
    return QUrl(preferred.isEmpty() ? Bundle::mainBundle().versionCheckURL() : preferred);
}

QString KVVersion::downloadsFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
}

QString KVVersion::downloadFileNameForURL(const QUrl &url)
{
    // Split on the encoded path, so that an encoded "/" stays inside the
    // name, where it is then replaced like any other separator.
    const QString lastComponent = url.path(QUrl::FullyEncoded).section(u'/', -1);
    QString name = QUrl::fromPercentEncoding(lastComponent.toUtf8());
    for (QChar &c : name) {
        const QChar::Category category = c.category();
        if (c == u'/' || c == u'\\' || category == QChar::Other_Control
            || category == QChar::Other_Format)
            c = u'_';
    }
    // A leading dot would hide the file (and "." or ".." name folders).
    qsizetype start = 0;
    while (start < name.size() && (name.at(start) == u'.' || name.at(start).isSpace()))
        ++start;
    name = name.mid(start).trimmed();
    if (name.toUtf8().size() > maximumFileNameBytes)
        return {};
    return name;
}

bool KVVersion::allowsScheme(const QUrl &url) const
{
    // Plain HTTP only where the site has set an http address for the
    // version resource itself.
    if (url.scheme() == u"https")
        return true;
    return url.scheme() == u"http" && m_versionInfoURL.scheme() == u"http";
}

QNetworkReply *KVVersion::get(const QUrl &url, int transferTimeoutMs)
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(maximumRedirects);
    request.setTransferTimeout(transferTimeoutMs);
    if (!m_network)
        m_network = std::make_unique<QNetworkAccessManager>();
    QNetworkReply *reply = m_network->get(request);
    // Whoever can answer on the network must not be able to move the
    // request onto an address that anyone on the way can answer for.
    connect(reply, &QNetworkReply::redirected, reply, [reply](const QUrl &target) {
        if (target.scheme() == u"https") {
            emit reply->redirectAllowed();
        } else {
            reply->setProperty(refusedRedirectProperty, target);
            reply->abort();
        }
    });
    return reply;
}

void KVVersion::checkVersion(bool verbose)
{
    m_verbose = verbose;
    // A new check replaces one that is still running.
    if (QNetworkReply *running = std::exchange(m_versionInfoConnection, nullptr)) {
        running->disconnect(this);
        running->abort();
        running->deleteLater();
    }

    m_versionInfoURL = versionCheckURL();
    if (!m_versionInfoURL.isValid()
        || (m_versionInfoURL.scheme() != u"https" && m_versionInfoURL.scheme() != u"http")) {
        versionCheckFailed(localized("Unable to Contact Server"), localized("Please try again later"));
        return;
    }
    m_receivedVersionInfoData.clear();
    m_versionInfoTooLarge = false;
    m_versionInfoConnection = get(m_versionInfoURL, versionInfoTimeoutMs);
    connect(m_versionInfoConnection, &QNetworkReply::metaDataChanged, this,
            &KVVersion::connectionDidReceiveResponse);
    connect(m_versionInfoConnection, &QNetworkReply::readyRead, this,
            &KVVersion::connectionDidReceiveData);
    connect(m_versionInfoConnection, &QNetworkReply::finished, this,
            &KVVersion::connectionDidFinish);
}

void KVVersion::connectionDidReceiveResponse()
{
    m_receivedVersionInfoData.clear();
    const QVariant length = m_versionInfoConnection->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > maximumVersionInfoSize) {
        m_versionInfoTooLarge = true;
        m_versionInfoConnection->abort();
    }
}

void KVVersion::connectionDidReceiveData()
{
    m_receivedVersionInfoData += m_versionInfoConnection->readAll();
    if (m_receivedVersionInfoData.size() > maximumVersionInfoSize) {
        m_versionInfoTooLarge = true;
        m_receivedVersionInfoData.clear();
        m_versionInfoConnection->abort();
    }
}

void KVVersion::connectionDidFinish()
{
    QNetworkReply *reply = std::exchange(m_versionInfoConnection, nullptr);
    if (!reply)
        return;
    reply->deleteLater();
    if (reply->isOpen())
        m_receivedVersionInfoData += reply->readAll();
    const bool transferFailed = reply->error() != QNetworkReply::NoError;
    if (m_versionInfoTooLarge || answeredWithError(reply) || (!transferFailed && !isHttpSuccess(reply))) {
        // The server answered, but not with the resource.
        m_receivedVersionInfoData.clear();
        connectionDidFinishLoading();
    } else if (transferFailed) {
        connectionDidFailWithError(failureDescription(reply));
    } else {
        connectionDidFinishLoading();
    }
}

void KVVersion::connectionDidFailWithError(const QString &description)
{
    m_receivedVersionInfoData.clear();
    versionCheckFailed(localized("Unable to Contact Server"), localized("Reason: %1").arg(description));
}

void KVVersion::versionCheckFailed(const QString &messageText, const QString &informativeText)
{
    NotificationCenter::defaultCenter().post(versionCheckUnsuccessfulNotification());
    if (m_verbose)
        runAlert(messageText, informativeText);
    emit versionCheckFinished();
}

void KVVersion::connectionDidFinishLoading()
{
    const QVariant propertyList = KVPropertyListReader::propertyListFromData(
            std::exchange(m_receivedVersionInfoData, {}));
    if (!propertyList.isValid()) {
        versionCheckFailed(localized("Unable to Contact Server"), localized("Please try again later"));
        return;
    }
    const QString runningVersion =
            objectForInfoDictionaryKey(QStringLiteral("CFBundleShortVersionString")).toString();
    if (runningVersion.isEmpty()) {
        versionCheckFailed(localized("Unable to get current version information"), {});
        return;
    }
    // A beta build follows the beta channel.
    QString key = objectForInfoDictionaryKey(QStringLiteral("CFBundleIdentifier")).toString();
    if (runningVersion.contains(u'b'))
        key += QStringLiteral(".beta");
    const QVariant entry = propertyList.toMap().value(key);
    if (propertyList.typeId() != QMetaType::QVariantMap || entry.typeId() != QMetaType::QVariantMap) {
        versionCheckFailed(localized("Unable to Download Version Information"),
                           localized("Please try again later"));
        return;
    }

    NotificationCenter::defaultCenter().post(versionCheckSuccessfulNotification());
    const QVariantMap release = entry.toMap();
    // Only equality counts: an older release on the server is offered too.
    if (release.value(QStringLiteral("version")).toString() == runningVersion) {
        if (m_verbose)
            runAlert(localized("%1 is Up to Date").arg(applicationName()),
                     localized("The currently installed version is %1").arg(runningVersion));
    } else {
        offerRelease(release);
    }
    emit versionCheckFinished();
}

void KVVersion::offerRelease(const QVariantMap &entry)
{
    const QString text = localized("Features in the new version include:\n\n")
            + entry.value(QStringLiteral("description")).toString() + QStringLiteral("\n\n");
    const int answer = runAlert(
            localized("%1 %2 is Available for Download")
                    .arg(applicationName(), entry.value(QStringLiteral("version")).toString()),
            text, localized("Download"), localized("Cancel"), localized("Visit Web Page"));
    if (answer == Alert::DefaultReturn) {
        startDownload(QUrl(entry.value(QStringLiteral("download")).toString()));
    } else if (answer == Alert::OtherReturn) {
        const QUrl homepage(entry.value(QStringLiteral("homepage")).toString());
        // Only a web page goes to the browser, not whatever the server names.
        if (homepage.scheme() == u"https" || homepage.scheme() == u"http")
            Workspace::sharedWorkspace().openURL(homepage);
    }
}

void KVVersion::startDownload(const QUrl &url)
{
    // One download at a time; the running one keeps its progress window.
    if (m_versionDownload)
        return;
    m_replaceExisting = false;
    if (!url.isValid() || !allowsScheme(url)) {
        runAlert(localized("Unable to Download Update"), {});
        return;
    }
    if (!prepareDestination(url))
        return;
    m_versionDownload = get(url, downloadStallTimeoutMs);
    connect(m_versionDownload, &QNetworkReply::metaDataChanged, this,
            &KVVersion::downloadDidReceiveResponse);
    connect(m_versionDownload, &QNetworkReply::readyRead, this, &KVVersion::downloadDidReceiveData);
    connect(m_versionDownload, &QNetworkReply::finished, this, &KVVersion::downloadDidEnd);
    downloadDidBegin();
}

// Chooses the destination in the Downloads folder and opens the temporary
// file that the download is written to. False, after telling the user
// where needed, when the download must not start.
bool KVVersion::prepareDestination(const QUrl &url)
{
    const QString name = downloadFileNameForURL(url);
    const QString folder = downloadsFolder();
    if (name.isEmpty() || !REQUIRE_VALUE(!folder.isEmpty(), "KVClasses/KVVersion")
        || !QDir().mkpath(folder)) {
        runAlert(localized("Unable to Download Update"), {});
        return false;
    }
    // The name holds no separator and starts with no dot, so the path
    // stays inside the folder.
    const QString destination = QDir(folder).absoluteFilePath(name);
    const QFileInfo existing(destination);
    if (existing.exists() || existing.isSymLink()) {
        const int answer = runAlert(
                localized("\"%1\" already exists in your Downloads folder").arg(name),
                localized("Do you want to replace it with the downloaded file?"),
                localized("Replace"), localized("Cancel"));
        if (answer != Alert::DefaultReturn)
            return false;
        m_replaceExisting = true;
    }
    // Written under a temporary name beside the destination and renamed
    // only when complete, so that a failure leaves nothing behind.
    m_downloadFile = std::make_unique<QTemporaryFile>(QDir(folder).filePath(QStringLiteral(".download-XXXXXX")));
    if (!m_downloadFile->open()) {
        runAlert(localized("Unable to Download Update"),
                 localized("Reason: %1").arg(m_downloadFile->errorString()));
        m_downloadFile.reset();
        return false;
    }
    m_downloadDestinationPath = destination;
    return true;
}

void KVVersion::downloadDidBegin()
{
    m_receivedContentLength = 0;
    m_expectedContentLength = -1;
    m_waitController = std::make_unique<WaitController>(localized("Downloading update..."));
    m_waitController->showWindow();
}

void KVVersion::downloadDidReceiveResponse()
{
    if (!isHttpSuccess(m_versionDownload))
        return;
    const QVariant length = m_versionDownload->header(QNetworkRequest::ContentLengthHeader);
    m_expectedContentLength = length.isValid() ? length.toLongLong() : -1;
    if (m_expectedContentLength >= 1) {
        m_waitController->setDeterminate();
        m_waitController->setProgressBarMax(m_expectedContentLength);
    } else {
        m_waitController->setIndeterminate();
    }
}

void KVVersion::downloadDidReceiveData()
{
    const QByteArray data = m_versionDownload->readAll();
    if (!isHttpSuccess(m_versionDownload))
        return;
    if (m_downloadFile->write(data) != data.size()) {
        m_versionDownload->abort();
        return;
    }
    if (m_expectedContentLength >= 1) {
        m_receivedContentLength += data.size();
        m_waitController->setProgressBarValue(m_receivedContentLength);
    }
}

void KVVersion::downloadDidEnd()
{
    if (m_versionDownload->error() == QNetworkReply::NoError && m_downloadFile->error() == QFile::NoError)
        downloadDidReceiveData();
    const bool writeFailed = m_downloadFile->error() != QFile::NoError || !m_downloadFile->flush();
    if (writeFailed)
        downloadDidFailWithError(m_downloadFile->errorString());
    else if (m_versionDownload->error() != QNetworkReply::NoError)
        downloadDidFailWithError(failureDescription(m_versionDownload));
    else
        downloadDidFinish();
}

void KVVersion::endDownload()
{
    if (m_versionDownload) {
        m_versionDownload->disconnect(this);
        m_versionDownload->deleteLater();
        m_versionDownload = nullptr;
    }
    m_waitController.reset();
    m_downloadFile.reset();
    m_downloadDestinationPath.clear();
    m_replaceExisting = false;
}

void KVVersion::downloadDidFailWithError(const QString &description)
{
    endDownload();
    runAlert(localized("Unable to Download Update"), localized("Reason: %1").arg(description));
    emit downloadFinished(false);
}

void KVVersion::downloadDidFinish()
{
    const QString destination = m_downloadDestinationPath;
    m_downloadFile->close();
    bool renamed = false;
    if (m_replaceExisting) {
        // The user agreed to replace the file of that name: an atomic
        // rename, which replaces a link itself, never what it points at.
        std::error_code error;
        std::filesystem::rename(m_downloadFile->fileName().toStdString(), destination.toStdString(), error);
        renamed = !error;
    } else {
        // Refuses to replace a file that appeared meanwhile.
        renamed = m_downloadFile->rename(destination);
    }
    if (!renamed) {
        downloadDidFailWithError(localized("The file could not be saved as \"%1\".").arg(destination));
        return;
    }
    m_downloadFile->setAutoRemove(false);
    endDownload();

    const QList<Document *> documents = DocumentController::sharedDocumentController()->documents();
    const bool unsavedChanges = std::any_of(documents.cbegin(), documents.cend(),
                                            [](const Document *document) { return document->isDocumentEdited(); });
    if (unsavedChanges) {
        runAlert(localized("New Version Downloaded"),
                 localized("The disk image has been downloaded to your Downloads folder."));
    } else if (runAlert(localized("New Version Downloaded"),
                        localized("You can now quit and install the new version."),
                        localized("Install"), localized("Cancel"))
               == Alert::DefaultReturn) {
        Workspace &workspace = Workspace::sharedWorkspace();
        workspace.selectFile(destination);
        workspace.openFile(destination);
        if (m_terminateHandler)
            m_terminateHandler();
    }
    emit downloadFinished(true);
}
