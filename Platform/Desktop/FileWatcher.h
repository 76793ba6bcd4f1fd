#pragma once

#include "Scheduler.h"

#include <QObject>
#include <QString>

// Tells when a file may have changed on disk: the file system's notification
// for the file or its folder (another program's atomic save puts a new file
// in place, so the path is watched again afterwards), and a check at a fixed
// interval for network file systems that send no notifications. It only
// says "look again"; the listener compares what is there.
//
// All watchers share one QFileSystemWatcher: a user has few notification
// instances, and every patient window watches the same folder.
class FileWatcher : public QObject
{
    Q_OBJECT

public:
    static constexpr double checkIntervalSeconds = 5.0;

    explicit FileWatcher(QObject *parent = nullptr);
    ~FileWatcher() override;

    // Watches this path from now on; an empty path stops watching.
    void watch(const QString &path);
    QString path() const { return m_path; }

signals:
    void fileMayHaveChanged();

private:
    void noteNotification(const QString &path);
    void scheduleCheck();

    QString m_path;
    QString m_folder;
    Scheduler::Token m_check = 0;
};
