#include "BrowserController.h"

#include "DCMObject.h"
#include "OsiriXLogging.h"

#include <QDir>
#include <QStandardPaths>

namespace {
BrowserController *&current()
{
    static BrowserController *browser = nullptr;
    return browser;
}
} // namespace

QString BrowserController::defaultDocumentsDirectory()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
        .absoluteFilePath(QStringLiteral("OsiriX Data"));
}

BrowserController *BrowserController::currentBrowser()
{
    return current();
}

BrowserController::BrowserController(const QString &documentsDirectory, QObject *parent)
    : QObject(parent)
    , m_documentsDirectory(QDir(documentsDirectory).absolutePath())
{
    if (!QDir().mkpath(incomingDirectory()))
        qCWarning(lcOsiriX, "Cannot create %s", qPrintable(incomingDirectory()));
    m_watcher.addPath(incomingDirectory());
    connect(
        &m_watcher, &QFileSystemWatcher::directoryChanged, this, &BrowserController::scanIncoming);
    // Files already waiting are imported as well.
    scanIncoming();
    current() = this;
}

BrowserController::~BrowserController()
{
    if (current() == this)
        current() = nullptr;
}

QString BrowserController::incomingDirectory() const
{
    return QDir(m_documentsDirectory).absoluteFilePath(QStringLiteral("INCOMING.noindex"));
}

void BrowserController::scanIncoming()
{
    // Writers give a file its ".dcm" name only once it is complete.
    const QFileInfoList entries
        = QDir(incomingDirectory())
              .entryInfoList({ QStringLiteral("*.dcm") }, QDir::Files, QDir::Time | QDir::Reversed);
    for (const QFileInfo &entry : entries) {
        const QString path = entry.absoluteFilePath();
        if (m_seen.contains(path))
            continue;
        m_seen.insert(path);
        QString error;
        if (!DCMObject::objectWithContentsOfFile(path, &error)) {
            qCWarning(lcOsiriX, "Not imported: %s: %s", qPrintable(path), qPrintable(error));
            continue;
        }
        qCInfo(lcOsiriX, "Imported %s", qPrintable(path));
        m_imported.append(path);
        emit fileImported(path);
    }
}
