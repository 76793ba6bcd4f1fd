#include "MalformedNotifications.h"
#include "TestSupport.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <sys/stat.h>

// Real Maturix processes on the private session bus of the test run
// (dbus-run-session), each with a fresh home folder that has answered the
// first-run questions already.
class tst_SingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void secondStartHandsItsFileToTheFirst();
    void handedOverPipesAndDevicesAreRefusedAtOnce();
    void withoutBusEachStartRunsOnItsOwn();
    void survivesMalformedMessages_data();
    void survivesMalformedMessages();
    void cleanupTestCase();

private:
    std::unique_ptr<QProcess> start(const QStringList &arguments, const QString &workingFolder,
                                    const QString &busAddress = {});
    bool maturixIsRunning() const;

    QTemporaryDir m_home;
    QTemporaryDir m_folder;
    std::unique_ptr<QProcess> m_running;
};

void tst_SingleInstance::initTestCase()
{
    if (!QDBusConnection::sessionBus().isConnected())
        QSKIP("needs a session bus: run under dbus-run-session");
    QVERIFY(m_home.isValid());
    QVERIFY(QDir(m_home.path()).mkpath(".config/Maturix"));
    QVERIFY(writeFile(m_home.filePath(".config/Maturix/Maturix.ini"),
                      "[General]\nVersion%20Check%20Interval=31\n"));
    QVERIFY(!maturixIsRunning());
}

std::unique_ptr<QProcess> tst_SingleInstance::start(const QStringList &arguments,
                                                    const QString &workingFolder,
                                                    const QString &busAddress)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", m_home.path());
    environment.insert("XDG_CONFIG_HOME", m_home.filePath(".config"));
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("QT_LOGGING_RULES", "maturix.application.debug=true");
    if (!busAddress.isEmpty())
        environment.insert("DBUS_SESSION_BUS_ADDRESS", busAddress);
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(environment);
    process->setWorkingDirectory(workingFolder);
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->start(QStringLiteral(MATURIX_APP), arguments);
    return process;
}

bool tst_SingleInstance::maturixIsRunning() const
{
    return QDBusConnection::sessionBus().interface()->isServiceRegistered("org.vantrel.Maturix");
}

void tst_SingleInstance::secondStartHandsItsFileToTheFirst()
{
    QTemporaryDir folder;
    const QString patient = folder.filePath("AB123.maturix");
    QVERIFY(writeFile(patient, sampleBytes("patient-v3-example.bin")));

    std::unique_ptr<QProcess> first = start({}, folder.path());
    QTRY_VERIFY_WITH_TIMEOUT(maturixIsRunning(), 30000);

    // Named relative to the second start's own folder.
    std::unique_ptr<QProcess> second = start({ "AB123.maturix" }, folder.path());
    QVERIFY(second->waitForFinished(30000));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    QVERIFY2(!second->readAll().contains("Opened"), "the second start opened the file itself");

    QByteArray log;
    const QByteArray opened = "Opened \"" + patient.toLocal8Bit() + '"';
    QTRY_VERIFY_WITH_TIMEOUT((log += first->readAll()).contains(opened), 30000);
    QCOMPARE(first->state(), QProcess::Running);

    first->terminate();
    QVERIFY(first->waitForFinished(30000));
    QTRY_VERIFY_WITH_TIMEOUT(!maturixIsRunning(), 30000);
}

// Neither a pipe nor a device holds the window: each is refused with its
// reason, and a patient file handed over after them still opens.
void tst_SingleInstance::handedOverPipesAndDevicesAreRefusedAtOnce()
{
    QTemporaryDir folder;
    const QString pipe = folder.filePath("x.maturix");
    QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString patient = folder.filePath("AB123.maturix");
    QVERIFY(writeFile(patient, sampleBytes("patient-v3-example.bin")));

    std::unique_ptr<QProcess> first = start({}, folder.path());
    QTRY_VERIFY_WITH_TIMEOUT(maturixIsRunning(), 30000);
    for (const QString &path : { pipe, QStringLiteral("/dev/zero"), patient }) {
        std::unique_ptr<QProcess> second = start({ path }, folder.path());
        QVERIFY(second->waitForFinished(30000));
        QCOMPARE(second->exitCode(), 0);
    }

    QByteArray log;
    for (const QByteArray &line : { pipe.toLocal8Bit() + ": The file “x.maturix” couldn’t be opened: it is a named pipe, not a regular file",
                                    QByteArray("/dev/zero: The file “zero” couldn’t be opened: it is a device, not a regular file"),
                                    "Opened \"" + patient.toLocal8Bit() + '"' })
        QTRY_VERIFY2_WITH_TIMEOUT((log += first->readAll()).contains(line), line.constData(), 30000);

    first->terminate();
    QVERIFY(first->waitForFinished(30000));
    QTRY_VERIFY_WITH_TIMEOUT(!maturixIsRunning(), 30000);
}

void tst_SingleInstance::withoutBusEachStartRunsOnItsOwn()
{
    QTemporaryDir folder;
    const QString noBus = "unix:path=" + folder.filePath("no-bus");
    std::unique_ptr<QProcess> first = start({}, folder.path(), noBus);
    std::unique_ptr<QProcess> second = start({}, folder.path(), noBus);
    QVERIFY(first->waitForStarted(30000));
    QVERIFY(second->waitForStarted(30000));
    // Both stay up: neither found the other.
    QVERIFY(!second->waitForFinished(3000));
    QCOMPARE(first->state(), QProcess::Running);
    first->terminate();
    second->terminate();
    QVERIFY(first->waitForFinished(30000));
    QVERIFY(second->waitForFinished(30000));
}

void tst_SingleInstance::survivesMalformedMessages_data()
{
    // Link requests, and hand-overs of the wrong types.
    addMalformedNotificationRows(QStringLiteral("org.vantrel.Maturix.osirixLink"),
                                 QStringLiteral("OsirixLink"));
    auto handOver = [](const char *tag, const QVariantList &arguments) {
        QDBusMessage call = QDBusMessage::createMethodCall(
                "org.vantrel.Maturix", "/org/vantrel/Documents", "org.vantrel.Documents", "open");
        call.setArguments(arguments);
        QTest::newRow(tag) << call << false << QStringList();
    };
    handOver("hand-over without arguments", {});
    handOver("hand-over of paths only", { QStringList { "/dev/zero" } });
    handOver("hand-over of one path", { QStringLiteral("/dev/zero"), false });
    handOver("hand-over of integers", { 7, 1 });
    handOver("hand-over with a third argument", { QStringList(), false, QStringLiteral("x") });
    handOver("hand-over of a map", { wireMap(QStringLiteral("/dev/zero"), "x"), false });
}

// One running Maturix takes every message; after each it still answers a
// hand-over that is well formed.
void tst_SingleInstance::survivesMalformedMessages()
{
    QFETCH(QDBusMessage, message);
    if (!m_running) {
        m_running = start({}, m_folder.path());
        QTRY_VERIFY_WITH_TIMEOUT(maturixIsRunning(), 30000);
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (message.type() == QDBusMessage::MethodCallMessage) {
        const QDBusMessage reply = bus.call(message, QDBus::Block, 30000);
        QCOMPARE(reply.type(), QDBusMessage::ErrorMessage);
        QVERIFY2(reply.errorName() != u"org.freedesktop.DBus.Error.NoReply",
                 qPrintable(reply.errorMessage()));
    } else {
        QVERIFY(bus.send(message));
    }
    const QDBusMessage answer = bus.call(
            QDBusMessage::createMethodCall("org.vantrel.Maturix", "/org/vantrel/Documents",
                                           "org.vantrel.Documents", "open")
                    << QStringList() << false,
            QDBus::Block, 30000);
    QVERIFY2(answer.type() == QDBusMessage::ReplyMessage, qPrintable(answer.errorMessage()));
    QCOMPARE(m_running->state(), QProcess::Running);
}

void tst_SingleInstance::cleanupTestCase()
{
    if (!m_running)
        return;
    m_running->terminate();
    QVERIFY(m_running->waitForFinished(30000));
}

QTEST_GUILESS_MAIN(tst_SingleInstance)
#include "tst_singleinstance.moc"
