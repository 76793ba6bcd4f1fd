#include "NotificationCenter.h"

#include <QObject>
#include <QTest>

class tst_NotificationCenter : public QObject
{
    Q_OBJECT

private slots:
    void deliversByNameSynchronously();
    void observerGoneWithItsContext();
    void observerRemovedWhilePosting();
};

void tst_NotificationCenter::deliversByNameSynchronously()
{
    NotificationCenter center;
    QObject context;
    QStringList seen;
    center.addObserver("BatchOpen", &context, [&](const Notification &n) {
        seen << n.name + u':' + n.object.toString() + u':' + n.userInfo.value("k").toString();
    });
    center.addObserver(QString(), &context, [&](const Notification &n) { seen << u'*' + n.name; });
    center.post("BatchOpen", QStringLiteral("/p/a.maturix"), { { "k", 1 } });
    center.post("Install Plugin");
    QCOMPARE(seen, (QStringList { "BatchOpen:/p/a.maturix:1", "*BatchOpen", "*Install Plugin" }));
}

void tst_NotificationCenter::observerGoneWithItsContext()
{
    NotificationCenter center;
    int calls = 0;
    {
        QObject context;
        center.addObserver("N", &context, [&](const Notification &) { ++calls; });
        center.post("N");
    }
    center.post("N");
    QCOMPARE(calls, 1);
    QCOMPARE(center.observerCount(), 0);
}

void tst_NotificationCenter::observerRemovedWhilePosting()
{
    NotificationCenter center;
    QObject context;
    int secondCalls = 0;
    NotificationCenter::Token second = 0;
    center.addObserver("N", &context, [&](const Notification &) {
        center.removeObserver(second);
        center.addObserver("N", &context, [](const Notification &) {});
    });
    second = center.addObserver("N", &context, [&](const Notification &) { ++secondCalls; });
    center.post("N");
    QCOMPARE(secondCalls, 0);
    QCOMPARE(center.observerCount(), 2);
}

QTEST_APPLESS_MAIN(tst_NotificationCenter)
#include "tst_notificationcenter.moc"
