#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

// The viewer's database: its documents folder and the incoming folder in it
// ("INCOMING.noindex"), from which DICOM files dropped there are imported.
// The browser created last is the current one.
class BrowserController : public QObject
{
    Q_OBJECT

public:
    // "OsiriX Data" in the user's documents folder.
    static QString defaultDocumentsDirectory();
    static BrowserController *currentBrowser();

    // Creates the documents and incoming folders when missing.
    explicit BrowserController(const QString &documentsDirectory, QObject *parent = nullptr);
    ~BrowserController() override;

    QString documentsDirectory() const { return m_documentsDirectory; }
    QString incomingDirectory() const;
    // Paths of the DICOM files imported so far, in order of arrival.
    QStringList importedFiles() const { return m_imported; }

signals:
    void fileImported(const QString &path);

private:
    void scanIncoming();

    QString m_documentsDirectory;
    QFileSystemWatcher m_watcher;
    QStringList m_imported;
    QSet<QString> m_seen;
};
