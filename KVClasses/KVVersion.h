#pragma once

#include "KVClassesExport.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <functional>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;
class QSaveFile;
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

    // The version resource's address: the preference "Version Check URL"
    // when set, else the build's address.
    static QUrl versionCheckURL();

    // The largest version resource and the largest download accepted.
    static constexpr qint64 maximumVersionInfoSize = 4 * 1024 * 1024;

    // The running application's info keys (CFBundleShortVersionString,
    // CFBundleIdentifier, CFBundleName); the main bundle's unless replaced
    // (tests). An empty map restores the main bundle's.
    void setInfoDictionary(const QVariantMap &info);
    QVariant objectForInfoDictionaryKey(const QString &key) const;

    // What "Install" does after opening the download: quits the
    // application. Tests replace it.
    void setTerminateHandler(std::function<void()> handler);
    // Where downloads land; the user's Downloads folder unless set (tests).
    void setDownloadsFolder(const QString &path);
    QString downloadsFolder() const;

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
    void connectionDidFinishLoading();
    void connectionDidFailWithError(const QString &description);
    void evaluate(const QVariant &propertyList);
    void startDownload(const QUrl &url);
    void downloadDidReceiveResponse();
    void downloadDidReceiveData();
    void downloadDidFinish();
    void downloadDidFailWithError(const QString &description);
    void finishVersionCheck(bool successful);
    void install();

    bool m_verbose = false;
    QByteArray m_receivedVersionInfoData;
    QString m_downloadDestinationPath;
    QNetworkReply *m_versionDownload = nullptr;
    QNetworkReply *m_versionInfoConnection = nullptr;
    qint64 m_expectedContentLength = -1;
    qint64 m_receivedContentLength = 0;
    std::unique_ptr<WaitController> m_waitController;

    std::unique_ptr<QNetworkAccessManager> m_network;
    std::unique_ptr<QSaveFile> m_downloadFile;
    std::function<void()> m_terminateHandler;
    QString m_downloadsFolder;
    QVariantMap m_infoDictionary;
};
