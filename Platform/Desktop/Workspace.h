#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QUrl>

// The desktop around the application: opening addresses and files with
// their default handlers, showing a folder in the file manager, the beep,
// and other applications by their identifier. A running application is
// known by the D-Bus name equal to its identifier on the session bus,
// which the application claims at start (registerRunningApplication).
class Workspace
{
public:
    static Workspace &sharedWorkspace();

    bool openURL(const QUrl &url);
    bool openFile(const QString &path);
    // Shows the folder, or the folder holding a file with the file selected.
    bool selectFile(const QString &path);
    void beep();

    // Whether the application's desktop entry ("<identifier>.desktop") is in
    // the XDG applications folders.
    bool isApplicationInstalled(const QString &identifier) const;
    // The executable for an application identifier: one registered with
    // setApplicationPath, else the identifier's last component (as written
    // and in lower case) next to this program or on the PATH; empty if none.
    QString absolutePathForAppBundleWithIdentifier(const QString &identifier) const;
    void setApplicationPath(const QString &identifier, const QString &executablePath);

    // The freedesktop desktop entry "<identifier>.desktop" in the XDG
    // applications folders; empty if none is installed.
    QString desktopEntryForIdentifier(const QString &identifier) const;

    // Starts the application unless it runs: by its registered path, else by
    // its desktop entry, else by its executable. A running one is asked to
    // come to the front. False when it neither runs nor could be started.
    bool launchAppWithBundleIdentifier(const QString &identifier,
                                       const QStringList &arguments = {});
    bool isApplicationRunning(const QString &identifier) const;
    // Claims the application's name on the session bus and answers requests
    // to come to the front by raising the active window. False without a bus
    // or when another process holds the name.
    bool registerRunningApplication(const QString &identifier);
    void unregisterRunningApplication(const QString &identifier);

    // The object path at which a running application answers "activate".
    static QString activationPath();

private:
    Workspace() = default;

    QHash<QString, QString> m_applicationPaths;
};
