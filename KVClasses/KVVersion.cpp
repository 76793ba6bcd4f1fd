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
#include <QHash>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTimer>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace {
constexpr int versionInfoTimeoutMs = 10 * 1000;
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

int httpStatus(const QNetworkReply *reply)
{
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

// The status with its standard wording; the server's own reason phrase is
// not shown, since whoever answers could put any text there.
QString statusDescription(int status)
{
    static const QHash<int, const char *> phrases {
        { 200, "OK" }, { 201, "Created" }, { 202, "Accepted" }, { 203, "Non-Authoritative Information" },
        { 204, "No Content" }, { 205, "Reset Content" }, { 206, "Partial Content" },
        { 300, "Multiple Choices" }, { 301, "Moved Permanently" }, { 302, "Found" },
        { 303, "See Other" }, { 304, "Not Modified" }, { 307, "Temporary Redirect" },
        { 308, "Permanent Redirect" }, { 400, "Bad Request" }, { 401, "Unauthorized" },
        { 403, "Forbidden" }, { 404, "Not Found" }, { 405, "Method Not Allowed" },
        { 408, "Request Timeout" }, { 410, "Gone" }, { 429, "Too Many Requests" },
        { 500, "Internal Server Error" }, { 501, "Not Implemented" }, { 502, "Bad Gateway" },
        { 503, "Service Unavailable" }, { 504, "Gateway Timeout" },
    };
    const char *phrase = phrases.value(status);
    return phrase ? QStringLiteral("%1 %2").arg(status).arg(QLatin1String(phrase)) : QString::number(status);
}

// The leading number of each part of a version string; a part without
// digits counts as 0.
QStringList versionNumbers(const QString &version)
{
    QStringList numbers;
    for (const QString &part : version.split(u'.')) {
        qsizetype end = 0;
        while (end < part.size() && part.at(end).isDigit() && part.at(end).unicode() < 128)
            ++end;
        qsizetype start = 0;
        while (start < end - 1 && part.at(start) == u'0')
            ++start;
        numbers.append(end == 0 ? QStringLiteral("0") : part.mid(start, end - start));
    }
    while (numbers.size() > 1 && numbers.last() == u"0")
        numbers.removeLast();
    return numbers;
}

// Compares digit strings without leading zeros, so no number overflows.
int compareNumbers(const QString &a, const QString &b)
{
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
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

void KVVersion::setDownloadStallTimeout(std::chrono::seconds timeout)
{
    m_downloadStallTimeout = timeout;
}

bool KVVersion::isNewerVersion(const QString &offered, const QString &running)
{
    const QStringList offeredNumbers = versionNumbers(offered);
    const QStringList runningNumbers = versionNumbers(running);
    for (qsizetype i = 0; i < std::max(offeredNumbers.size(), runningNumbers.size()); ++i) {
        const int order = compareNumbers(offeredNumbers.value(i, QStringLiteral("0")),
                                         runningNumbers.value(i, QStringLiteral("0")));
        if (order != 0)
            return order > 0;
    }
    return false;
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
    // Only a newer release is offered: an older one on the server must not
    // talk the user into a downgrade.
    if (!isNewerVersion(release.value(QStringLiteral("version")).toString(), runningVersion)) {
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
        startDownload(QUrl(entry.value(QStringLiteral("download")).toString()),
                      entry.value(QStringLiteral("sha256")).toString());
    } else if (answer == Alert::OtherReturn) {
        const QUrl homepage(entry.value(QStringLiteral("homepage")).toString());
        // Only a web page goes to the browser, not whatever the server names.
        if (homepage.scheme() == u"https" || homepage.scheme() == u"http")
            Workspace::sharedWorkspace().openURL(homepage);
    }
}

void KVVersion::startDownload(const QUrl &url, const QString &sha256)
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
    // A checksum that is no SHA-256 in hex matches nothing, so the download fails.
    m_expectedSha256 = sha256.isNull() ? QByteArray() : sha256.trimmed().toLower().toLatin1();
    m_downloadHash.reset();
    m_downloadedBytes = 0;
    m_downloadFailure.clear();
    m_versionDownload = get(url, 0);
    // A download stalls rather than takes long: the time-out counts the
    // time without data, restarted by each piece that arrives.
    m_stallTimer = std::make_unique<QTimer>();
    m_stallTimer->setSingleShot(true);
    m_stallTimer->setInterval(m_downloadStallTimeout);
    connect(m_stallTimer.get(), &QTimer::timeout, this, [this] {
        failDownloadWhileRunning(localized("No answer within %1 s").arg(m_downloadStallTimeout.count()));
    });
    m_stallTimer->start();
    connect(m_versionDownload, &QNetworkReply::downloadProgress, m_stallTimer.get(),
            qOverload<>(&QTimer::start));
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
    m_waitController->setCancellable(true);
    connect(m_waitController.get(), &WaitController::cancelled, this, &KVVersion::cancelDownload);
    m_waitController->showWindow();
}

void KVVersion::downloadDidReceiveResponse()
{
    if (!isHttpSuccess(m_versionDownload))
        return;
    const QVariant length = m_versionDownload->header(QNetworkRequest::ContentLengthHeader);
    m_expectedContentLength = length.isValid() ? length.toLongLong() : -1;
    if (m_expectedContentLength > maximumDownloadSize) {
        failDownloadWhileRunning(localized("The update is larger than %1 MB").arg(maximumDownloadSize >> 20));
        return;
    }
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
    m_downloadedBytes += data.size();
    if (m_downloadedBytes > maximumDownloadSize) {
        failDownloadWhileRunning(localized("The update is larger than %1 MB").arg(maximumDownloadSize >> 20));
        return;
    }
    m_downloadHash.addData(data);
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
    if (m_downloadFailure.isEmpty() && m_versionDownload->error() == QNetworkReply::NoError
        && m_downloadFile->error() == QFile::NoError)
        downloadDidReceiveData();
    if (!m_downloadFailure.isEmpty()) {
        downloadDidFailWithError(m_downloadFailure);
        return;
    }
    const bool writeFailed = m_downloadFile->error() != QFile::NoError || !m_downloadFile->flush();
    const QString failure = completedDownloadFailure();
    if (writeFailed)
        downloadDidFailWithError(m_downloadFile->errorString());
    else if (!failure.isEmpty())
        downloadDidFailWithError(failure);
    else
        downloadDidFinish();
}

// Why the transfer that has just ended is no update; empty when it is one:
// a 2xx answer with a body of the announced length (and checksum, when the
// version resource gives one).
QString KVVersion::completedDownloadFailure() const
{
    const int status = httpStatus(m_versionDownload);
    if (status != 0 && (status < 200 || status >= 300 || status == 204))
        return localized("The server answered %1").arg(statusDescription(status));
    const QNetworkReply::NetworkError error = m_versionDownload->error();
    const bool closed = error == QNetworkReply::NoError || error == QNetworkReply::RemoteHostClosedError;
    if (closed && m_expectedContentLength >= 0 && m_downloadedBytes != m_expectedContentLength)
        return localized("The download ended after %1 of %2 bytes")
                .arg(m_downloadedBytes)
                .arg(m_expectedContentLength);
    if (error != QNetworkReply::NoError)
        return failureDescription(m_versionDownload);
    if (m_downloadedBytes == 0)
        return localized("The server answered %1 without a file").arg(statusDescription(status));
    if (!m_expectedSha256.isNull() && m_downloadHash.result().toHex() != m_expectedSha256)
        return localized("The downloaded file does not match its SHA-256 checksum and was deleted");
    return {};
}

// Stops the transfer; its end then reports this reason rather than the
// abort's.
void KVVersion::failDownloadWhileRunning(const QString &reason)
{
    if (!m_versionDownload || !m_downloadFailure.isEmpty())
        return;
    m_downloadFailure = reason;
    m_versionDownload->abort();
}

void KVVersion::cancelDownload()
{
    // The user's own choice: no alert, and the partial file goes with the
    // temporary file. The window goes later: its button is still at work.
    if (m_waitController) {
        m_waitController->dismiss();
        m_waitController.release()->deleteLater();
    }
    endDownload();
    emit downloadFinished(false);
}

void KVVersion::endDownload()
{
    if (m_versionDownload) {
        m_versionDownload->disconnect(this);
        m_versionDownload->deleteLater();
        m_versionDownload = nullptr;
    }
    m_stallTimer.reset();
    m_waitController.reset();
    m_downloadFile.reset();
    m_downloadFailure.clear();
    m_downloadDestinationPath.clear();
    m_replaceExisting = false;
}

void KVVersion::downloadDidFailWithError(const QString &description)
{
    // The description may be the download's own, which ending it clears.
    const QString reason = localized("Reason: %1").arg(description);
    endDownload();
    runAlert(localized("Unable to Download Update"), reason);
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
