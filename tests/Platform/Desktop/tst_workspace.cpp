#include "Workspace.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// Runs under the private session bus of the test run (dbus-run-session).
class tst_Workspace : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void runningApplicationOwnsItsName();
    void launchStartsApplicationFoundByIdentifier();
    void launchRunsDesktopEntry();
    void unknownApplicationIsNotFound();
};

void tst_Workspace::initTestCase()
{
    if (!QDBusConnection::sessionBus().isConnected())
        QSKIP("needs a session bus: run under dbus-run-session");
}

void tst_Workspace::runningApplicationOwnsItsName()
{
    Workspace &workspace = Workspace::sharedWorkspace();
    const QString identifier =
            QStringLiteral("org.vantrel.Test.Here%1").arg(QCoreApplication::applicationPid());
    QVERIFY(!workspace.isApplicationRunning(identifier));
    QVERIFY(workspace.registerRunningApplication(identifier));
    QVERIFY(workspace.isApplicationRunning(identifier));
    // Asking a running application to come forward starts nothing new.
    QVERIFY(workspace.launchAppWithBundleIdentifier(identifier));
    workspace.unregisterRunningApplication(identifier);
    QVERIFY(!workspace.isApplicationRunning(identifier));
}

void tst_Workspace::launchStartsApplicationFoundByIdentifier()
{
    Workspace &workspace = Workspace::sharedWorkspace();
    const QString identifier =
            QStringLiteral("org.vantrel.Test.Peer%1").arg(QCoreApplication::applicationPid());

    // The peer stays up and holds the name; this test ends it by its pid.
    QProcess peer;
    peer.start(QStringLiteral(DISTNOTE_PEER), { "claim", identifier });
    QVERIFY(peer.waitForReadyRead(20000));
    QCOMPARE(peer.readLine().trimmed(), QByteArray("ready"));
    QVERIFY(workspace.isApplicationRunning(identifier));
    QVERIFY(workspace.launchAppWithBundleIdentifier(identifier));
    peer.kill();
    QVERIFY(peer.waitForFinished(20000));
    QTRY_VERIFY_WITH_TIMEOUT(!workspace.isApplicationRunning(identifier), 20000);

    // Not running: the registered executable is started.
    workspace.setApplicationPath(identifier, QStringLiteral(DISTNOTE_PEER));
    QCOMPARE(workspace.absolutePathForAppBundleWithIdentifier(identifier),
             QStringLiteral(DISTNOTE_PEER));
    QVERIFY(workspace.launchAppWithBundleIdentifier(identifier, { "claim", identifier }));
    QTRY_VERIFY_WITH_TIMEOUT(workspace.isApplicationRunning(identifier), 20000);
    // The detached peer ends itself after a while; free the name now.
    const QDBusReply<uint> pid = QDBusConnection::sessionBus().interface()->servicePid(identifier);
    QVERIFY(pid.isValid());
    QProcess::execute(QStringLiteral("kill"), { QString::number(pid.value()) });
    QTRY_VERIFY_WITH_TIMEOUT(!workspace.isApplicationRunning(identifier), 20000);
    workspace.setApplicationPath(identifier, QString());
}

void tst_Workspace::launchRunsDesktopEntry()
{
    Workspace &workspace = Workspace::sharedWorkspace();
    const QString identifier =
            QStringLiteral("org.vantrel.Test.Entry%1").arg(QCoreApplication::applicationPid());
    QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));
    QVERIFY(workspace.desktopEntryForIdentifier(identifier).isEmpty());
    QVERIFY(QDir().mkpath(dataHome.filePath(QStringLiteral("applications"))));
    const QString entry = dataHome.filePath(QStringLiteral("applications/%1.desktop").arg(identifier));
    QFile file(entry);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("[Desktop Entry]\nType=Application\nName=Peer\n"
                              "Exec=\"%1\" claim %2 %U\n")
                       .arg(QStringLiteral(DISTNOTE_PEER), identifier)
                       .toUtf8());
    file.close();
    QCOMPARE(workspace.desktopEntryForIdentifier(identifier), entry);

    QVERIFY(workspace.launchAppWithBundleIdentifier(identifier));
    QTRY_VERIFY_WITH_TIMEOUT(workspace.isApplicationRunning(identifier), 20000);
    const QDBusReply<uint> pid = QDBusConnection::sessionBus().interface()->servicePid(identifier);
    QVERIFY(pid.isValid());
    QProcess::execute(QStringLiteral("kill"), { QString::number(pid.value()) });
    QTRY_VERIFY_WITH_TIMEOUT(!workspace.isApplicationRunning(identifier), 20000);
    qunsetenv("XDG_DATA_HOME");
}

void tst_Workspace::unknownApplicationIsNotFound()
{
    Workspace &workspace = Workspace::sharedWorkspace();
    QVERIFY(workspace.absolutePathForAppBundleWithIdentifier(
                             QStringLiteral("org.vantrel.NoSuchProgramAnywhere"))
                    .isEmpty());
    QVERIFY(!workspace.launchAppWithBundleIdentifier(
            QStringLiteral("org.vantrel.NoSuchProgramAnywhere")));
    // The last component, lower-cased, is looked up on the PATH.
    QVERIFY(!workspace.absolutePathForAppBundleWithIdentifier(QStringLiteral("org.gnu.Sh")).isEmpty());
}

QTEST_MAIN(tst_Workspace)
#include "tst_workspace.moc"
