#include "FileWatcher.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHash>
#include <QPointer>

namespace {
// The process's one file-system watcher, with a count of the watchers that
// want each path.
QPointer<QFileSystemWatcher> sharedWatcherInstance;
QHash<QString, int> pathUses;

QFileSystemWatcher *sharedWatcher()
{
    if (!sharedWatcherInstance) {
        sharedWatcherInstance = new QFileSystemWatcher(QCoreApplication::instance());
        pathUses.clear();
    }
    return sharedWatcherInstance;
}

// Watches the path again when it exists but is not watched: a file replaced
// by a rename, or deleted and written again, is a new file that the old
// watch does not see.
void watchAgain(const QString &path)
{
    QFileSystemWatcher *watcher = sharedWatcher();
    if (pathUses.value(path) > 0 && QFileInfo::exists(path) && !watcher->files().contains(path)
        && !watcher->directories().contains(path))
        watcher->addPath(path);
}

void use(const QString &path)
{
    if (pathUses[path]++ == 0)
        watchAgain(path);
}

void release(const QString &path)
{
    auto it = pathUses.find(path);
    if (it == pathUses.end() || --it.value() > 0)
        return;
    pathUses.erase(it);
    if (sharedWatcherInstance)
        sharedWatcherInstance->removePath(path);
}
} // namespace

FileWatcher::FileWatcher(QObject *parent)
    : QObject(parent)
{
}

FileWatcher::~FileWatcher()
{
    watch(QString());
}

void FileWatcher::watch(const QString &path)
{
    if (path == m_path)
        return;
    Scheduler::shared().cancel(m_check);
    m_check = 0;
    if (!m_path.isEmpty()) {
        release(m_path);
        release(m_folder);
        // Gone with the application when a document outlives it.
        if (sharedWatcherInstance)
            disconnect(sharedWatcherInstance, nullptr, this, nullptr);
    }
    m_path = path;
    m_folder.clear();
    if (m_path.isEmpty())
        return;
    m_folder = QFileInfo(m_path).absolutePath();
    QFileSystemWatcher *watcher = sharedWatcher();
    connect(watcher, &QFileSystemWatcher::fileChanged, this, &FileWatcher::noteNotification);
    connect(watcher, &QFileSystemWatcher::directoryChanged, this, &FileWatcher::noteNotification);
    use(m_folder);
    use(m_path);
    scheduleCheck();
}

void FileWatcher::noteNotification(const QString &path)
{
    if (path != m_path && path != m_folder)
        return;
    watchAgain(m_path);
    emit fileMayHaveChanged();
}

void FileWatcher::scheduleCheck()
{
    m_check = Scheduler::shared().performAfterDelay(checkIntervalSeconds, this, [this] {
        scheduleCheck();
        watchAgain(m_folder);
        watchAgain(m_path);
        emit fileMayHaveChanged();
    });
}
