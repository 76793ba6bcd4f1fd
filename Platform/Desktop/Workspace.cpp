#include "Workspace.h"

#include "Logging.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QWidget>

namespace {
const char activationInterface[] = "org.vantrel.Application";

// Answers "activate" from other processes by raising this application's
// active (or first visible) window.
class ActivationTarget : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.vantrel.Application")

public:
    using QObject::QObject;

public slots:
    Q_SCRIPTABLE void activate()
    {
        QWidget *window = QApplication::activeWindow();
        if (!window) {
            const QList<QWidget *> windows = QApplication::topLevelWidgets();
            for (QWidget *candidate : windows) {
                if (candidate->isVisible()) {
                    window = candidate;
                    break;
                }
            }
        }
        if (window) {
            window->raise();
            window->activateWindow();
        }
    }
};

// The command of a desktop entry's Exec key, without its field codes
// (%f, %U, ...); empty when the entry has none.
QStringList desktopEntryCommand(const QString &entryPath)
{
    QFile entry(entryPath);
    if (!entry.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    bool inMainGroup = false;
    while (!entry.atEnd()) {
        const QString line = QString::fromUtf8(entry.readLine()).trimmed();
        if (line.startsWith(u'['))
            inMainGroup = line == QLatin1String("[Desktop Entry]");
        else if (inMainGroup && line.startsWith(QLatin1String("Exec="))) {
            QStringList command = QProcess::splitCommand(line.mid(5));
            command.removeIf([](const QString &part) { return part.startsWith(u'%'); });
            return command;
        }
    }
    return {};
}

ActivationTarget *&activationTarget()
{
    static ActivationTarget *target = nullptr;
    return target;
}
} // namespace

Workspace &Workspace::sharedWorkspace()
{
    static Workspace workspace;
    return workspace;
}

QString Workspace::activationPath()
{
    return QStringLiteral("/org/vantrel/Application");
}

bool Workspace::openURL(const QUrl &url)
{
    if (!url.isValid())
        return false;
    return QDesktopServices::openUrl(url);
}

bool Workspace::openFile(const QString &path)
{
    if (!QFileInfo::exists(path))
        return false;
    return openURL(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
}

bool Workspace::selectFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return false;
    const QString absolute = info.absoluteFilePath();
    // The freedesktop file-manager interface shows a folder's contents or a
    // file selected in its folder; without it, the folder opens. A file
    // manager that the bus starts on demand answers too.
    const QString fileManager = QStringLiteral("org.freedesktop.FileManager1");
    QDBusConnection bus = QDBusConnection::sessionBus();
    QDBusConnectionInterface *busInterface = bus.isConnected() ? bus.interface() : nullptr;
    if (busInterface
        && (busInterface->isServiceRegistered(fileManager).value()
            || busInterface->activatableServiceNames().value().contains(fileManager))) {
        QDBusMessage call = QDBusMessage::createMethodCall(
                fileManager, QStringLiteral("/org/freedesktop/FileManager1"), fileManager,
                info.isDir() ? QStringLiteral("ShowFolders") : QStringLiteral("ShowItems"));
        call << QStringList { QUrl::fromLocalFile(absolute).toString() } << QString();
        if (bus.send(call))
            return true;
    }
    return openURL(QUrl::fromLocalFile(info.isDir() ? absolute : info.absolutePath()));
}

void Workspace::beep()
{
    if (qobject_cast<QApplication *>(QCoreApplication::instance()))
        QApplication::beep();
}

void Workspace::setApplicationPath(const QString &identifier, const QString &executablePath)
{
    if (executablePath.isEmpty())
        m_applicationPaths.remove(identifier);
    else
        m_applicationPaths.insert(identifier, executablePath);
}

bool Workspace::isApplicationInstalled(const QString &identifier) const
{
    return !identifier.isEmpty()
            && !QStandardPaths::locate(QStandardPaths::ApplicationsLocation,
                                       identifier + QStringLiteral(".desktop"))
                        .isEmpty();
}

QString Workspace::absolutePathForAppBundleWithIdentifier(const QString &identifier) const
{
    if (const auto it = m_applicationPaths.constFind(identifier); it != m_applicationPaths.cend())
        return QFileInfo(*it).isExecutable() ? QFileInfo(*it).absoluteFilePath() : QString();

    const QString last = identifier.section(u'.', -1);
    if (last.isEmpty())
        return {};
    QStringList names { last };
    if (last.toLower() != last)
        names.append(last.toLower());
    QStringList folders;
    if (QCoreApplication::instance())
        folders.append(QCoreApplication::applicationDirPath());
    for (const QString &name : names) {
        for (const QString &folder : folders) {
            const QFileInfo candidate(QDir(folder).absoluteFilePath(name));
            if (candidate.isFile() && candidate.isExecutable())
                return candidate.absoluteFilePath();
        }
        const QString onPath = QStandardPaths::findExecutable(name);
        if (!onPath.isEmpty())
            return onPath;
    }
    return {};
}

QString Workspace::desktopEntryForIdentifier(const QString &identifier) const
{
    return QStandardPaths::locate(QStandardPaths::ApplicationsLocation,
                                  identifier + QStringLiteral(".desktop"));
}

bool Workspace::isApplicationRunning(const QString &identifier) const
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    return bus.interface()->isServiceRegistered(identifier).value();
}

bool Workspace::launchAppWithBundleIdentifier(const QString &identifier,
                                              const QStringList &arguments)
{
    if (isApplicationRunning(identifier)) {
        QDBusMessage call = QDBusMessage::createMethodCall(
                identifier, activationPath(), QString::fromLatin1(activationInterface),
                QStringLiteral("activate"));
        call.setAutoStartService(false);
        QDBusConnection::sessionBus().send(call);
        return true;
    }
    QStringList command;
    const QString entry = desktopEntryForIdentifier(identifier);
    if (!m_applicationPaths.contains(identifier) && !entry.isEmpty())
        command = desktopEntryCommand(entry);
    if (command.isEmpty())
        command = QStringList { absolutePathForAppBundleWithIdentifier(identifier) };
    const QString executable = command.takeFirst();
    if (executable.isEmpty()) {
        qCWarning(lcPlatform, "No application found for \"%s\"", qPrintable(identifier));
        return false;
    }
    if (!QProcess::startDetached(executable, command + arguments)) {
        qCWarning(lcPlatform, "Could not start \"%s\"", qPrintable(executable));
        return false;
    }
    return true;
}

bool Workspace::registerRunningApplication(const QString &identifier)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qCWarning(lcPlatform, "No session bus: \"%s\" is not announced as running",
                  qPrintable(identifier));
        return false;
    }
    if (!bus.registerService(identifier)) {
        qCWarning(lcPlatform, "The name \"%s\" is taken on the session bus",
                  qPrintable(identifier));
        return false;
    }
    if (!activationTarget()) {
        activationTarget() = new ActivationTarget(QCoreApplication::instance());
        bus.registerObject(activationPath(), activationTarget(),
                           QDBusConnection::ExportScriptableSlots);
    }
    return true;
}

void Workspace::unregisterRunningApplication(const QString &identifier)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected())
        bus.unregisterService(identifier);
}

#include "Workspace.moc"
