#include "DistNotePayload.h"
#include "DistributedNotificationCenter.h"
#include "MalformedNotifications.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

// Runs under the private session bus of the test run (dbus-run-session).
class tst_DistributedNotificationCenter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void postedByPeerArrivesWithEveryValue();
    void filtersByNameAndObject();
    void postedHereReachesPeer();
    void removedObserverHearsNothing();
    void foreignSignalsAreReadSafely_data();
    void foreignSignalsAreReadSafely();
    void withoutBusNothingCrashes();

private:
    QString uniqueName(const char *tag) const;
    void runPeerPost(const QString &name, const QString &object);
};

void tst_DistributedNotificationCenter::initTestCase()
{
    if (!QDBusConnection::sessionBus().isConnected())
        QSKIP("needs a session bus: run under dbus-run-session");
}

QString tst_DistributedNotificationCenter::uniqueName(const char *tag) const
{
    return QStringLiteral("org.vantrel.Test.%1.%2")
            .arg(QString::fromLatin1(tag))
            .arg(QCoreApplication::applicationPid());
}

void tst_DistributedNotificationCenter::runPeerPost(const QString &name, const QString &object)
{
    QProcess peer;
    peer.start(QStringLiteral(DISTNOTE_PEER), { "post", name, object });
    QVERIFY(peer.waitForFinished(20000));
    QCOMPARE(peer.exitStatus(), QProcess::NormalExit);
    QCOMPARE(peer.exitCode(), 0);
}

void tst_DistributedNotificationCenter::postedByPeerArrivesWithEveryValue()
{
    const QString name = uniqueName("values");
    QList<Notification> received;
    QObject context;
    DistributedNotificationCenter::defaultCenter().addObserver(
            name, QStringLiteral("OsirixLinkReturn"), &context,
            [&](const Notification &n) { received.append(n); });

    runPeerPost(name, QStringLiteral("OsirixLinkReturn"));
    QTRY_COMPARE_WITH_TIMEOUT(received.size(), 1, 20000);

    const Notification &n = received.first();
    QCOMPARE(n.name, name);
    QCOMPARE(n.object.toString(), QStringLiteral("OsirixLinkReturn"));
    const QVariantMap expected = samplePayload();
    QCOMPARE(n.userInfo.keys(), expected.keys());
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        const QVariant got = n.userInfo.value(it.key());
        QCOMPARE(got.metaType(), it.value().metaType());
        if (got.metaType() == QMetaType::fromType<AbsoluteDate>()) {
            const double want = it.value().value<AbsoluteDate>().secondsSinceReferenceDate();
            const double have = got.value<AbsoluteDate>().secondsSinceReferenceDate();
            QCOMPARE(std::memcmp(&want, &have, sizeof want), 0);
        } else {
            QCOMPARE(got, it.value());
        }
    }
}

void tst_DistributedNotificationCenter::filtersByNameAndObject()
{
    const QString name = uniqueName("filter");
    QObject context;
    int exact = 0, anyObject = 0, anyName = 0, otherName = 0;
    QStringList misses;
    auto &center = DistributedNotificationCenter::defaultCenter();
    center.addObserver(name, QStringLiteral("OsirixLink"), &context,
                       [&](const Notification &n) {
                           ++exact;
                           if (n.userInfo.contains("Miss"))
                               misses.append(n.userInfo.value("Miss").toString());
                       });
    center.addObserver(name, QString(), &context, [&](const Notification &) { ++anyObject; });
    center.addObserver(QString(), QStringLiteral("OsirixLink"), &context,
                       [&](const Notification &n) {
                           if (n.name.startsWith(name))
                               ++anyName;
                       });
    center.addObserver(name + QStringLiteral(".nobody"), QString(), &context,
                       [&](const Notification &) { ++otherName; });

    runPeerPost(name, QStringLiteral("OsirixLink"));
    // The peer's three posts arrive in order; the last one matches exactly.
    QTRY_COMPARE_WITH_TIMEOUT(exact, 1, 20000);
    QVERIFY(misses.isEmpty());
    QCOMPARE(anyObject, 2); // the exact match and the one with another object
    QCOMPARE(anyName, 2); // the exact match and the one with another name
    QCOMPARE(otherName, 0);
}

void tst_DistributedNotificationCenter::postedHereReachesPeer()
{
    const QString name = uniqueName("outgoing");
    QProcess peer;
    peer.start(QStringLiteral(DISTNOTE_PEER), { "listen", name, "OsirixLink", "1" });
    QVERIFY(peer.waitForStarted(20000));
    QVERIFY(peer.waitForReadyRead(20000));
    QCOMPARE(peer.readLine().trimmed(), QByteArray("ready"));

    auto &center = DistributedNotificationCenter::defaultCenter();
    center.postNotification(name, QStringLiteral("OsirixLinkReturn"), { { "Miss", "object" } });
    center.postNotification(name, QStringLiteral("OsirixLink"), samplePayload());
    QVERIFY(peer.waitForFinished(20000));
    QCOMPARE(peer.exitCode(), 0);

    const QByteArray line = peer.readAll().trimmed();
    QCOMPARE(line.count('\n'), 0); // exactly one notification arrived
    const QJsonObject got = QJsonDocument::fromJson(line).object();
    const QJsonObject expected = describeNotification(
            { name, QStringLiteral("OsirixLink"), samplePayload() });
    QCOMPARE(got, expected);
}

void tst_DistributedNotificationCenter::removedObserverHearsNothing()
{
    const QString name = uniqueName("removed");
    auto &center = DistributedNotificationCenter::defaultCenter();
    int removed = 0, kept = 0;
    QObject context;
    {
        QObject gone;
        center.addObserver(name, QString(), &gone, [&](const Notification &) { ++removed; });
    }
    const auto token = center.addObserver(name, QStringLiteral("x"), &context,
                                          [&](const Notification &) { ++removed; });
    center.removeObserver(token);
    center.addObserver(name, QString(), &context, [&](const Notification &) { ++kept; });

    runPeerPost(name, QStringLiteral("x"));
    QTRY_COMPARE_WITH_TIMEOUT(kept, 2, 20000);
    QCOMPARE(removed, 0);
}

void tst_DistributedNotificationCenter::foreignSignalsAreReadSafely_data()
{
    addMalformedNotificationRows(uniqueName("foreign"), QStringLiteral("o"));
}

void tst_DistributedNotificationCenter::foreignSignalsAreReadSafely()
{
    // Another program on the bus may send odd messages; this process also
    // hears its own, and a well-formed one after each.
    QFETCH(QDBusMessage, message);
    QFETCH(bool, delivered);
    QFETCH(QStringList, kept);
    const QString name = uniqueName("foreign");
    QList<Notification> received;
    QObject context;
    DistributedNotificationCenter &center = DistributedNotificationCenter::defaultCenter();
    center.addObserver(name, QString(), &context,
                       [&](const Notification &n) { received.append(n); });

    QVERIFY(QDBusConnection::sessionBus().send(message));
    center.postNotification(name, QStringLiteral("after"));
    QTRY_VERIFY_WITH_TIMEOUT(
            !received.isEmpty() && received.last().object.toString() == u"after", 20000);
    QCOMPARE(received.size(), delivered ? 2 : 1);
    if (!delivered)
        return;
    const QVariantMap info = received.first().userInfo;
    QCOMPARE(info.keys(), kept);
    for (const QVariant &value : info) {
        const int type = value.typeId();
        QVERIFY2(type == QMetaType::QString || type == QMetaType::LongLong
                         || value.metaType() == QMetaType::fromType<AbsoluteDate>(),
                 value.typeName());
    }
}

void tst_DistributedNotificationCenter::withoutBusNothingCrashes()
{
    QProcess peer;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/maturix-test-bus");
    environment.insert("QT_LOGGING_RULES", "maturix.*=true");
    peer.setProcessEnvironment(environment);
    peer.start(QStringLiteral(DISTNOTE_PEER), { "nobus" });
    QVERIFY(peer.waitForFinished(20000));
    QCOMPARE(peer.exitStatus(), QProcess::NormalExit);
    QCOMPARE(peer.exitCode(), 0);
    QCOMPARE(peer.readAllStandardOutput().trimmed(), QByteArray("disconnected"));
    const QString errors = QString::fromLocal8Bit(peer.readAllStandardError());
    QCOMPARE(errors.count(QStringLiteral("No D-Bus session bus")), 1);
}

QTEST_MAIN(tst_DistributedNotificationCenter)
#include "tst_distributednotificationcenter.moc"
