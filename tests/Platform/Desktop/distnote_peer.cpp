// The second process of the distributed-notification and workspace tests.
//   post NAME OBJECT      posts two near misses, then the sample payload
//   listen NAME OBJECT N  prints "ready", then one JSON line per notification
//   claim IDENTIFIER      claims the application name, prints "ready", runs
//   nobus                 subscribes and posts without a bus; must not crash

#include "DistNotePayload.h"
#include "DistributedNotificationCenter.h"
#include "Workspace.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QTimer>

#include <cstdio>

namespace {
void say(const QByteArray &line)
{
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// A round trip to the bus: everything sent before it has been handed on.
void flushBus()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected() && bus.interface())
        bus.interface()->serviceOwner(QStringLiteral("org.freedesktop.DBus"));
}
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const QString mode = args.value(0);
    auto &center = DistributedNotificationCenter::defaultCenter();

    if (mode == u"post" && args.size() == 3) {
        const QString name = args.at(1);
        const QString object = args.at(2);
        center.postNotification(name + QStringLiteral(".other"), object,
                                { { "Miss", QStringLiteral("name") } });
        center.postNotification(name, object + QStringLiteral("Other"),
                                { { "Miss", QStringLiteral("object") } });
        center.postNotification(name, object, samplePayload());
        flushBus();
        return 0;
    }
    if (mode == u"listen" && args.size() == 4) {
        int remaining = args.at(3).toInt();
        center.addObserver(args.at(1), args.at(2), &app, [&](const Notification &notification) {
            say(QJsonDocument(describeNotification(notification)).toJson(QJsonDocument::Compact));
            if (--remaining == 0)
                app.quit();
        });
        say("ready");
        QTimer::singleShot(30000, &app, [] { QCoreApplication::exit(3); });
        return app.exec();
    }
    if (mode == u"claim" && args.size() == 2) {
        if (!Workspace::sharedWorkspace().registerRunningApplication(args.at(1)))
            return 2;
        say("ready");
        QTimer::singleShot(30000, &app, [] { QCoreApplication::exit(3); });
        return app.exec();
    }
    if (mode == u"nobus") {
        int received = 0;
        center.addObserver(QStringLiteral("n"), QString(), &app,
                           [&](const Notification &) { ++received; });
        center.postNotification(QStringLiteral("n"), QStringLiteral("o"), samplePayload());
        center.postNotification(QStringLiteral("n"), QStringLiteral("o"));
        app.processEvents();
        say(center.isConnected() ? "connected" : "disconnected");
        return received == 0 ? 0 : 4;
    }
    std::fprintf(stderr, "usage: distnote_peer post|listen|claim|nobus ...\n");
    return 2;
}
