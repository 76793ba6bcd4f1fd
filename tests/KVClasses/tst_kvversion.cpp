#include "Document.h"
#include "DocumentController.h"
#include "KVVersion.h"
#include "LoopbackHttpServer.h"
#include "NotificationCenter.h"
#include "ScriptedAlertResponder.h"
#include "TestSupport.h"
#include "TextDocument.h"
#include "UserDefaults.h"
#include "WaitController.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDesktopServices>
#include <QDir>
#include <QCryptographicHash>
#include <QDialogButtonBox>
#include <QFile>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(LoopbackHttpServer::Response)

namespace {
const QString identifier = QStringLiteral("org.vantrel.Maturix");
const QString resourcePath = QStringLiteral("/VNL_Versions.xml");
const QString updatePath = QStringLiteral("/Maturix-2.1.deb");

QByteArray propertyList(const QByteArray &body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\">\n<dict>\n"
            + body + "</dict>\n</plist>\n";
}

QByteArray releaseEntry(const QString &key, const QString &version, const QString &description,
                        const QString &download = QStringLiteral("http://127.0.0.1:1/update.deb"),
                        const QByteArray &sha256 = {})
{
    const QString checksum = sha256.isNull()
            ? QString()
            : QStringLiteral("\t\t<key>sha256</key>\n\t\t<string>%1</string>\n").arg(QString::fromLatin1(sha256));
    return QStringLiteral("\t<key>%1</key>\n\t<dict>\n"
                          "\t\t<key>description</key>\n\t\t<string>%3</string>\n"
                          "\t\t<key>download</key>\n\t\t<string>%4</string>\n"
                          "\t\t<key>homepage</key>\n\t\t<string>https://www.vantrel.org/</string>\n"
                          "%5"
                          "\t\t<key>version</key>\n\t\t<string>%2</string>\n"
                          "\t</dict>\n")
            .arg(key, version, description.toHtmlEscaped(), download.toHtmlEscaped(), checksum)
            .toUtf8();
}

// Stands in for the desktop's file manager on the test run's session bus.
class FileManager : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    QStringList shownItems;

public slots:
    Q_SCRIPTABLE void ShowItems(const QStringList &uris, const QString &) { shownItems += uris; }
};

class PlainDocument : public TextDocument<Document>
{
protected:
    QWidget *createWindow() override { return new QWidget; }
};
} // namespace

class tst_KVVersion : public QObject
{
    Q_OBJECT

public:
    Q_INVOKABLE void recordOpenedURL(const QUrl &url) { m_openedURLs.append(url); }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void check_data();
    void check();
    void addressFromPreferences();
    void downloadFileName_data();
    void downloadFileName();
    void download_data();
    void download();
    void existingFile_data();
    void existingFile();
    void install_data();
    void install();

private:
    void setRunningVersion(const QString &version);
    void offerDownload(const QString &path, const QStringList &laterAnswers, const QByteArray &sha256 = {});
    QStringList alertTexts() const;
    QStringList downloadsContents() const;

    QTemporaryDir m_home;
    std::unique_ptr<LoopbackHttpServer> m_server;
    std::unique_ptr<ScriptedAlertResponder> m_alerts;
    QStringList m_notifications;
    QList<QUrl> m_openedURLs;
    int m_terminations = 0;
};

void tst_KVVersion::initTestCase()
{
    QVERIFY(m_home.isValid());
    // The Downloads folder follows the home folder.
    qputenv("HOME", m_home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (m_home.path() + QStringLiteral("/.config")).toUtf8());
    QCOMPARE(KVVersion::downloadsFolder(), m_home.path() + QStringLiteral("/Downloads"));

    for (const char *scheme : { "file", "http", "https" })
        QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "recordOpenedURL");
    KVVersion::kvVersion()->setTerminateHandler([this] { ++m_terminations; });
    NotificationCenter::defaultCenter().addObserver({}, this, [this](const Notification &notification) {
        m_notifications.append(notification.name);
    });
}

void tst_KVVersion::cleanupTestCase()
{
    for (const char *scheme : { "file", "http", "https" })
        QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
}

void tst_KVVersion::init()
{
    m_server = std::make_unique<LoopbackHttpServer>();
    m_alerts = std::make_unique<ScriptedAlertResponder>();
    UserDefaults::setStandardUserDefaults(
            std::make_unique<UserDefaults>(m_home.filePath(QStringLiteral("defaults.ini"))));
    UserDefaults::standardUserDefaults().setString(m_server->url(resourcePath).toString(),
                                                   KVVersion::versionCheckURLKey());
    setRunningVersion(QStringLiteral("2.1"));
    QDir(KVVersion::downloadsFolder()).removeRecursively();
    m_notifications.clear();
    m_openedURLs.clear();
    m_terminations = 0;
}

void tst_KVVersion::cleanup()
{
    QTRY_VERIFY(!KVVersion::kvVersion()->isChecking() && !KVVersion::kvVersion()->isDownloading());
    m_alerts.reset();
    m_server.reset();
    UserDefaults::setStandardUserDefaults(nullptr);
}

void tst_KVVersion::setRunningVersion(const QString &version)
{
    KVVersion::kvVersion()->setInfoDictionary({ { QStringLiteral("CFBundleName"), QStringLiteral("Maturix") },
                                                { QStringLiteral("CFBundleIdentifier"), identifier },
                                                { QStringLiteral("CFBundleShortVersionString"), version } });
}

QStringList tst_KVVersion::alertTexts() const
{
    QStringList texts;
    for (const ScriptedAlertResponder::Record &record : m_alerts->alerts())
        texts.append(record.messageText + QStringLiteral(" / ") + record.informativeText);
    return texts;
}

QStringList tst_KVVersion::downloadsContents() const
{
    return QDir(KVVersion::downloadsFolder())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

void tst_KVVersion::check_data()
{
    using Response = LoopbackHttpServer::Response;
    QTest::addColumn<QString>("runningVersion");
    QTest::addColumn<Response>("response");
    QTest::addColumn<QUrl>("address"); // empty: the server's resource
    QTest::addColumn<bool>("verbose");
    QTest::addColumn<QString>("notification");
    // "message / informative text"; a trailing "*" matches any rest.
    QTest::addColumn<QStringList>("alerts");

    const QByteArray channels = propertyList(releaseEntry(identifier, "2.1", "Faster charts")
                                             + releaseEntry(identifier + ".beta", "2.2b1", "Beta & charts"));
    const Response resource { 200, channels };
    const QString ok = QStringLiteral("VersionCheckSuccessful");
    const QString failed = QStringLiteral("VersionCheckUnsuccessful");
    const QString offer21 = QStringLiteral(
            "Maturix 2.1 is Available for Download / Features in the new version include:\n\nFaster charts\n\n");
    const QString unreachable = QStringLiteral("Unable to Contact Server / Please try again later");

    QTest::newRow("up to date") << "2.1" << resource << QUrl() << true << ok
                                << QStringList { "Maturix is Up to Date / The currently installed version is 2.1" };
    QTest::newRow("up to date, quiet") << "2.1" << resource << QUrl() << false << ok << QStringList();
    QTest::newRow("newer, offered also when quiet") << "2.0" << resource << QUrl() << false << ok
                                                    << QStringList { offer21 };
    QTest::newRow("older is up to date") << "2.2" << resource << QUrl() << true << ok
                                         << QStringList { "Maturix is Up to Date / The currently installed version is 2.2" };
    QTest::newRow("compared as numbers") << "10.0" << resource << QUrl() << true << ok
                                         << QStringList { "Maturix is Up to Date / The currently installed version is 10.0" };
    QTest::newRow("trailing zero is the same") << "2.1.0" << resource << QUrl() << true << ok
                                               << QStringList { "Maturix is Up to Date / The currently installed version is 2.1.0" };
    QTest::newRow("beta follows the beta channel")
            << "2.1b3" << resource << QUrl() << true << ok
            << QStringList { "Maturix 2.2b1 is Available for Download / Features in the new version "
                             "include:\n\nBeta & charts\n\n" };
    QTest::newRow("capital B is no beta") << "2.0B3" << resource << QUrl() << true << ok << QStringList { offer21 };
    QTest::newRow("no running version") << "" << resource << QUrl() << true << failed
                                        << QStringList { "Unable to get current version information / " };

    const Response otherApplication { 200, propertyList(releaseEntry("org.example.Other", "2.1", "x")) };
    const QStringList noEntry { "Unable to Download Version Information / Please try again later" };
    QTest::newRow("no entry") << "2.1" << otherApplication << QUrl() << true << failed << noEntry;
    QTest::newRow("no entry, quiet") << "2.1" << otherApplication << QUrl() << false << failed << QStringList();
    QTest::newRow("root is no dict") << "2.1" << Response { 200, "<plist><array/></plist>" } << QUrl() << true
                                     << failed << noEntry;

    const auto notPropertyList = [&](const char *name, const Response &response) {
        QTest::newRow(name) << "2.1" << response << QUrl() << true << failed << QStringList { unreachable };
    };
    notPropertyList("not a property list", { 200, "<html><body>Moved</body></html>" });
    const QByteArray huge = propertyList("<key>x</key><string>" + QByteArray(5 << 20, 'a') + "</string>");
    notPropertyList("too large, announced", { 200, huge });
    notPropertyList("too large, unannounced", { 200, huge, false });
    notPropertyList("missing resource", { 404, propertyList(releaseEntry(identifier, "2.2", "x")) });
    QTest::addRow("not a web address") << "2.1" << resource << QUrl("ftp://127.0.0.1/VNL_Versions.xml") << true
                                       << failed << QStringList { unreachable };

    QTest::newRow("server down") << "2.1" << resource << LoopbackHttpServer::closedPortURL() << true << failed
                                 << QStringList { "Unable to Contact Server / Reason: *" };
    QTest::newRow("server down, quiet") << "2.1" << resource << LoopbackHttpServer::closedPortURL() << false
                                        << failed << QStringList();
    Response toPlainHttp { 302, {} };
    toPlainHttp.location = "http://127.0.0.1:1/VNL_Versions.xml";
    QTest::newRow("redirect to plain http is refused")
            << "2.1" << toPlainHttp << QUrl() << true << failed
            << QStringList { "Unable to Contact Server / Reason: Redirected to an address that is not secure: "
                             "http://127.0.0.1:1/VNL_Versions.xml" };
    Response toHttps { 302, {} };
    toHttps.location = LoopbackHttpServer::closedPortURL().toString().replace("http:", "https:").toUtf8();
    QTest::newRow("redirect to https is followed")
            << "2.1" << toHttps << QUrl() << true << failed
            << QStringList { "Unable to Contact Server / Reason: Connection refused" };
}

void tst_KVVersion::check()
{
    QFETCH(QString, runningVersion);
    QFETCH(LoopbackHttpServer::Response, response);
    QFETCH(QUrl, address);
    QFETCH(bool, verbose);
    QFETCH(QString, notification);
    QFETCH(QStringList, alerts);

    setRunningVersion(runningVersion);
    m_server->serve(resourcePath, response);
    if (!address.isEmpty())
        UserDefaults::standardUserDefaults().setString(address.toString(), KVVersion::versionCheckURLKey());
    m_alerts->answerWithButton(QStringLiteral("Cancel"));

    QSignalSpy finished(KVVersion::kvVersion(), &KVVersion::versionCheckFinished);
    KVVersion::kvVersion()->checkVersion(verbose);
    QTRY_COMPARE(finished.count(), 1);

    QCOMPARE(m_notifications, QStringList { notification });
    const QStringList shown = alertTexts();
    QCOMPARE(shown.size(), alerts.size());
    for (qsizetype i = 0; i < alerts.size(); ++i) {
        if (alerts[i].endsWith(u'*'))
            QVERIFY2(shown[i].startsWith(alerts[i].chopped(1)), qPrintable(shown[i]));
        else
            QCOMPARE(shown[i], alerts[i]);
    }
    for (const ScriptedAlertResponder::Record &record : m_alerts->alerts()) {
        if (record.buttonTitles.size() > 1)
            QCOMPARE(record.buttonTitles, (QStringList { "Download", "Cancel", "Visit Web Page" }));
        else
            QCOMPARE(record.buttonTitles, QStringList { "OK" });
    }
}

void tst_KVVersion::addressFromPreferences()
{
    // A system-wide value, as a site installs it, answers until the user
    // stores one of their own.
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_home.filePath(QStringLiteral("user")));
    QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope, m_home.filePath(QStringLiteral("etc/xdg")));
    UserDefaults::setStandardUserDefaults(std::make_unique<UserDefaults>());
    QCOMPARE(KVVersion::versionCheckURL().scheme(), QStringLiteral("https"));
    QVERIFY(KVVersion::versionCheckURL().path().endsWith(QStringLiteral("VNL_Versions.xml")));

    QSettings(m_home.filePath(QStringLiteral("etc/xdg/Maturix/Maturix.ini")), QSettings::IniFormat)
            .setValue(KVVersion::versionCheckURLKey(), QStringLiteral("https://updates.hospital.example/VNL_Versions.xml"));
    UserDefaults::setStandardUserDefaults(std::make_unique<UserDefaults>());
    QCOMPARE(KVVersion::versionCheckURL(), QUrl("https://updates.hospital.example/VNL_Versions.xml"));

    UserDefaults::standardUserDefaults().setString(QStringLiteral("http://10.0.0.5/VNL_Versions.xml"),
                                                   KVVersion::versionCheckURLKey());
    QCOMPARE(KVVersion::versionCheckURL(), QUrl("http://10.0.0.5/VNL_Versions.xml"));
}

void tst_KVVersion::downloadFileName_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("name");
    QTest::newRow("plain") << "https://h/pub/Maturix-2.1.deb" << "Maturix-2.1.deb";
    QTest::newRow("encoded space") << "https://h/Maturix%202.1.deb" << "Maturix 2.1.deb";
    QTest::newRow("query ignored") << "https://h/get.deb?f=/../x" << "get.deb";
    QTest::newRow("folder") << "https://h/pub/" << "";
    QTest::newRow("no path") << "https://h" << "";
    QTest::newRow("dot") << "https://h/." << "";
    QTest::newRow("dot dot") << "https://h/.." << "";
    QTest::newRow("encoded dot dot") << "https://h/%2e%2e" << "";
    QTest::newRow("encoded separators") << "https://h/%2e%2e%2f%2e%2e%2fetc%2fpasswd" << "_.._etc_passwd";
    QTest::newRow("backslashes") << "https://h/..%5C..%5Cevil.exe" << "_.._evil.exe";
    QTest::newRow("leading dot") << "https://h/.profile" << "profile";
    QTest::newRow("control character") << "https://h/a%0Ab.deb" << "a_b.deb";
    QTest::newRow("direction override") << "https://h/update%E2%80%AEbed.exe" << "update_bed.exe";
    QTest::newRow("too long") << "https://h/" + QString(300, u'a') << "";
}

void tst_KVVersion::downloadFileName()
{
    QFETCH(QString, url);
    QFETCH(QString, name);
    QCOMPARE(KVVersion::downloadFileNameForURL(QUrl(url)), name);
}

// Checks as version 2.0 against a resource offering 2.1 for download from
// the given path of the test server, answering "Download" and then the
// later alerts with the buttons given; returns when
// the check has ended and the download, if any, has begun.
void tst_KVVersion::offerDownload(const QString &path, const QStringList &laterAnswers,
                                  const QByteArray &sha256)
{
    setRunningVersion(QStringLiteral("2.0"));
    m_server->serve(resourcePath,
                    { 200, propertyList(releaseEntry(identifier, "2.1", "x",
                                                     m_server->url(QString()).toString() + path, sha256)) });
    m_alerts->answerWithButton(QStringLiteral("Download"));
    for (const QString &answer : laterAnswers)
        m_alerts->answerWithButton(answer);
    QSignalSpy checked(KVVersion::kvVersion(), &KVVersion::versionCheckFinished);
    KVVersion::kvVersion()->checkVersion(false);
    QTRY_COMPARE(checked.count(), 1);
}

void tst_KVVersion::download_data()
{
    using Response = LoopbackHttpServer::Response;
    QTest::addColumn<QString>("path");
    QTest::addColumn<Response>("response");
    QTest::addColumn<QByteArray>("checksumOf"); // the resource's SHA-256 is this text's; null: none given
    QTest::addColumn<bool>("cancel"); // presses the progress window's Cancel half-way
    QTest::addColumn<QString>("savedName"); // empty: nothing is saved
    QTest::addColumn<QString>("lastAlert"); // empty: none after the offer

    const QByteArray update(300000, 'u');
    const QString downloaded = QStringLiteral("New Version Downloaded / You can now quit and install the new version.");
    const QString failed = QStringLiteral("Unable to Download Update / Reason: ");
    Response held { 200, update };
    held.holdHalfway = true;
    QTest::newRow("with a content length and checksum") << updatePath << held << update << false
                                                        << "Maturix-2.1.deb" << downloaded;
    QTest::newRow("cancelled") << updatePath << held << QByteArray() << true << "" << "";
    QTest::newRow("stalled") << updatePath << held << QByteArray() << false << ""
                             << failed + "No answer within 1 s";
    QTest::newRow("wrong checksum")
            << updatePath << Response { 200, update } << QByteArray("another file") << false << ""
            << failed + "The downloaded file does not match its SHA-256 checksum and was deleted";
    held.announceLength = false;
    QTest::newRow("without a content length") << updatePath << held << QByteArray() << false
                                              << "Maturix-2.1.deb" << downloaded;
    QTest::newRow("hostile name") << "/%2e%2e%2fescape.deb" << Response { 200, update } << QByteArray() << false
                                  << "_escape.deb" << downloaded;
    Response broken { 200, update };
    broken.breakOff = true;
    QTest::newRow("short body") << updatePath << broken << QByteArray() << false << ""
                                << failed + "The download ended after 150000 of 300000 bytes";
    QTest::newRow("204") << updatePath << Response { 204, {} } << QByteArray() << false << ""
                         << failed + "The server answered 204 No Content";
    QTest::newRow("304") << updatePath << Response { 304, {} } << QByteArray() << false << ""
                         << failed + "The server answered 304 Not Modified";
    QTest::newRow("404") << updatePath << Response { 404, "gone" } << QByteArray() << false << ""
                         << failed + "The server answered 404 Not Found";
    QTest::newRow("no file name") << "/pub/" << Response { 200, update } << QByteArray() << false << ""
                                  << "Unable to Download Update / ";
}

void tst_KVVersion::download()
{
    QFETCH(QString, path);
    QFETCH(LoopbackHttpServer::Response, response);
    QFETCH(QByteArray, checksumOf);
    QFETCH(bool, cancel);
    QFETCH(QString, savedName);
    QFETCH(QString, lastAlert);

    const bool stall = response.holdHalfway && !cancel && savedName.isEmpty();
    KVVersion *version = KVVersion::kvVersion();
    version->setDownloadStallTimeout(std::chrono::seconds(stall ? 1 : 60));
    const QString requestPath = QUrl(m_server->url(path)).path(QUrl::FullyEncoded);
    m_server->serve(requestPath, response);
    offerDownload(path, { QStringLiteral("Cancel") },
                  checksumOf.isNull() ? QByteArray()
                                      : QCryptographicHash::hash(checksumOf, QCryptographicHash::Sha256).toHex());

    if (response.holdHalfway) {
        QTRY_VERIFY(m_server->isHolding());
        QVERIFY(version->waitController());
        QCOMPARE(version->waitController()->statusString(), QStringLiteral("Downloading update..."));
        QVERIFY(version->waitController()->window()->isVisible());
        if (response.announceLength) {
            QTRY_COMPARE(version->waitController()->progressBarValue(), double(response.body.size() / 2));
            QVERIFY(!version->waitController()->isIndeterminate());
            QCOMPARE(version->waitController()->progressBarMax(), double(response.body.size()));
        } else {
            QTRY_VERIFY(version->waitController()->isIndeterminate());
            QCOMPARE(version->waitController()->progressBarValue(), 0.0);
        }
        if (cancel)
            version->waitController()->window()->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Cancel)->click();
        else if (!stall)
            m_server->release();
    }
    QTRY_VERIFY(!version->isDownloading());
    QVERIFY(!version->waitController());

    const QStringList shown = alertTexts();
    QCOMPARE(shown.size() > 1 ? shown.last() : QString(), lastAlert);
    if (savedName.isEmpty()) {
        QCOMPARE(downloadsContents(), QStringList());
    } else {
        QCOMPARE(downloadsContents(), QStringList { savedName });
        QCOMPARE(QFile(KVVersion::downloadsFolder() + u'/' + savedName).size(), response.body.size());
    }
    QCOMPARE(m_terminations, 0);
    QVERIFY(QDir(m_home.path()).entryList({ "escape*" }).isEmpty());
}

void tst_KVVersion::existingFile_data()
{
    QTest::addColumn<bool>("link");
    QTest::addColumn<QString>("answer");
    QTest::newRow("keep") << false << "Cancel";
    QTest::newRow("replace") << false << "Replace";
    QTest::newRow("replace a link") << true << "Replace";
}

void tst_KVVersion::existingFile()
{
    QFETCH(bool, link);
    QFETCH(QString, answer);

    const QString destination = KVVersion::downloadsFolder() + updatePath;
    const QString outside = m_home.filePath(QStringLiteral("elsewhere"));
    QVERIFY(QDir().mkpath(KVVersion::downloadsFolder()));
    QFile::remove(outside);
    QVERIFY(writeFile(outside, "someone else's"));
    if (link)
        QVERIFY(QFile::link(outside, destination));
    else
        QVERIFY(writeFile(destination, "someone else's"));
    m_server->serve(updatePath, { 200, "new version" });

    QSignalSpy finished(KVVersion::kvVersion(), &KVVersion::downloadFinished);
    offerDownload(updatePath, { answer, QStringLiteral("Cancel") });
    QTRY_VERIFY(m_alerts->alerts().size() >= 2);
    QCOMPARE(m_alerts->alerts().at(1).messageText,
             QStringLiteral("\"Maturix-2.1.deb\" already exists in your Downloads folder"));

    if (answer == u"Cancel") {
        QCOMPARE(m_server->requestCount(updatePath), 0);
        QCOMPARE(contents(destination), QByteArray("someone else's"));
    } else {
        QTRY_COMPARE(finished.count(), 1);
        QVERIFY(!QFileInfo(destination).isSymLink());
        QCOMPARE(contents(destination), QByteArray("new version"));
    }
    QCOMPARE(contents(outside), QByteArray("someone else's"));
    QCOMPARE(downloadsContents(), QStringList { updatePath.mid(1) });
}

void tst_KVVersion::install_data()
{
    QTest::addColumn<bool>("unsavedDocument");
    QTest::newRow("no unsaved document") << false;
    QTest::newRow("an unsaved document") << true;
}

void tst_KVVersion::install()
{
    QFETCH(bool, unsavedDocument);

    // On the test run's private bus the file manager is ours; on a desktop
    // bus where a real one runs, only the opening is checked.
    FileManager fileManager;
    QDBusConnection bus = QDBusConnection::sessionBus();
    const bool withBus = bus.isConnected()
            && bus.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &fileManager,
                                  QDBusConnection::ExportScriptableSlots)
            && bus.registerService(QStringLiteral("org.freedesktop.FileManager1"));
    PlainDocument document;
    DocumentController::sharedDocumentController()->addDocument(&document);
    if (unsavedDocument)
        document.updateChangeCount(Document::ChangeDone);

    m_server->serve(updatePath, { 200, "new version" });
    QSignalSpy finished(KVVersion::kvVersion(), &KVVersion::downloadFinished);
    offerDownload(updatePath, { QStringLiteral("Install") });
    QTRY_COMPARE(finished.count(), 1);
    DocumentController::sharedDocumentController()->removeDocument(&document);

    const QString destination = KVVersion::downloadsFolder() + updatePath;
    const QUrl file = QUrl::fromLocalFile(destination);
    if (unsavedDocument) {
        QCOMPARE(alertTexts().last(), QStringLiteral("New Version Downloaded / The disk image has been "
                                                     "downloaded to your Downloads folder."));
        QCOMPARE(m_terminations, 0);
        QCOMPARE(m_openedURLs, QList<QUrl>());
    } else {
        QCOMPARE(m_alerts->alerts().last().buttonTitles, (QStringList { "Install", "Cancel" }));
        QCOMPARE(m_terminations, 1);
        QVERIFY(m_openedURLs.contains(file));
        if (withBus)
            QTRY_COMPARE(fileManager.shownItems, QStringList { file.toString() });
    }
    if (withBus) {
        bus.unregisterService(QStringLiteral("org.freedesktop.FileManager1"));
        bus.unregisterObject(QStringLiteral("/org/freedesktop/FileManager1"));
    }
}

QTEST_MAIN(tst_KVVersion)
#include "tst_kvversion.moc"
