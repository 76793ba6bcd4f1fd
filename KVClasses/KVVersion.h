#pragma once

#include "KVClassesExport.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <chrono>
#include <functional>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;
class QTemporaryFile;
class QTimer;
class WaitController;

// Asks the version-information server whether a newer release of the
// running application exists, tells the user, and on request downloads it
// into the Downloads folder. One instance per process; the outcome of a
// check is posted on the default notification centre as
// "VersionCheckSuccessful" or "VersionCheckUnsuccessful", with no object.
class KVCLASSES_EXPORT KVVersion : public QObject
{
    Q_OBJECT

public:
    static KVVersion *kvVersion();

    // Starts a check and returns at once; when verbose is false, failures
    // and the up-to-date result stay silent.
    void checkVersion(bool verbose);
    // The running application's display name.
    static QString applicationName();

    static QString versionCheckSuccessfulNotification();
    static QString versionCheckUnsuccessfulNotification();

    // The preference with which a site points the check at its own server.
    static QString versionCheckURLKey();
    // The version resource's address: the preference "Version Check URL"
    // when set (by the user or system-wide), else the build's address.
    static QUrl versionCheckURL();

    // The largest version resource accepted.
    static constexpr qint64 maximumVersionInfoSize = 4 * 1024 * 1024;
    // The largest update accepted: far above any release, far below what
    // would fill a disk.
    static constexpr qint64 maximumDownloadSize = qint64(1) << 30;

    // Whether the offered version is newer than the running one, compared
    // part by part as numbers ("2.10" is newer than "2.9"; "2.1" and
    // "2.1.0" are the same).
    static bool isNewerVersion(const QString &offered, const QString &running);

    // The running application's info keys (CFBundleShortVersionString,
    // CFBundleIdentifier, CFBundleName); the main bundle's unless replaced
    // (tests). An empty map restores the main bundle's.
    void setInfoDictionary(const QVariantMap &info);
    QVariant objectForInfoDictionaryKey(const QString &key) const;

    // What "Install" does after opening the download: quits the
    // application. Tests replace it.
    void setTerminateHandler(std::function<void()> handler);
    // How long a download may go without receiving anything before it
    // fails; a minute unless replaced (tests).
    void setDownloadStallTimeout(std::chrono::seconds timeout);
    // The user's Downloads folder, where the update lands.
    static QString downloadsFolder();
    // The name under which a download from this address is saved: the
    // address's last path component, made safe to use as a file name in the
    // Downloads folder (no separators, control characters or leading dots);
    // empty when nothing usable is left.
    static QString downloadFileNameForURL(const QUrl &url);

    bool isChecking() const { return m_versionInfoConnection != nullptr; }
    bool isDownloading() const { return m_versionDownload != nullptr; }
    WaitController *waitController() const { return m_waitController.get(); }
    QString downloadDestinationPath() const { return m_downloadDestinationPath; }

signals:
    // Emitted when a check or a download has run to its end, whatever the
    // outcome; tests wait on these.
    void versionCheckFinished();
    void downloadFinished(bool succeeded);

private:
    KVVersion();
    ~KVVersion() override;

    void connectionDidReceiveResponse();
    void connectionDidReceiveData();
    void connectionDidFinish();
    void connectionDidFinishLoading();
    void connectionDidFailWithError(const QString &description);
    void versionCheckFailed(const QString &messageText, const QString &informativeText);
    void offerRelease(const QVariantMap &entry);
    void startDownload(const QUrl &url, const QString &sha256);
    bool prepareDestination(const QUrl &url);
    void downloadDidBegin();
    void downloadDidReceiveResponse();
    void downloadDidReceiveData();
    void downloadDidEnd();
    void downloadDidFinish();
    void downloadDidFailWithError(const QString &description);
    void endDownload();
    void cancelDownload();
    void failDownloadWhileRunning(const QString &reason);
    QString completedDownloadFailure() const;
    bool allowsScheme(const QUrl &url) const;
    QNetworkReply *get(const QUrl &url, int transferTimeoutMs);

    bool m_verbose = false;
    QByteArray m_receivedVersionInfoData;
    QString m_downloadDestinationPath;
    QNetworkReply *m_versionDownload = nullptr;
    QNetworkReply *m_versionInfoConnection = nullptr;
    qint64 m_expectedContentLength = -1;
    qint64 m_receivedContentLength = 0;
    std::unique_ptr<WaitController> m_waitController;

    std::unique_ptr<QNetworkAccessManager> m_network;
    std::unique_ptr<QTemporaryFile> m_downloadFile;
    bool m_replaceExisting = false;
    bool m_versionInfoTooLarge = false;
    QString m_downloadFailure;
    QByteArray m_expectedSha256;
    QCryptographicHash m_downloadHash { QCryptographicHash::Sha256 };
    qint64 m_downloadedBytes = 0;
    std::unique_ptr<QTimer> m_stallTimer;
    std::chrono::seconds m_downloadStallTimeout { 60 };
    std::function<void()> m_terminateHandler;
    QUrl m_versionInfoURL;
    QVariantMap m_infoDictionary;
};
