#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// What a document knows of its file as it last read or wrote it: whether it
// existed, its modification time, its size and a hash of its bytes. The hash
// decides, because network file systems keep modification times too coarse
// to tell two quick writes apart.
class FileState
{
public:
    FileState() = default;

    // The state of the given bytes, just read from or written to the path.
    static FileState ofBytes(const QString &path, const QByteArray &data);
    // The file as it is on disk now; a file that cannot be read counts as gone.
    static FileState ofFile(const QString &path);

    bool isNull() const { return m_path.isEmpty(); }
    QString path() const { return m_path; }
    bool exists() const { return m_exists; }
    QDateTime lastModified() const { return m_lastModified; }
    qint64 size() const { return m_size; }
    QByteArray sha256() const { return m_sha256; }

    // Same existence, size and content; the modification time may differ.
    bool hasSameContentAs(const FileState &other) const;

private:
    QString m_path;
    bool m_exists = false;
    QDateTime m_lastModified;
    qint64 m_size = 0;
    QByteArray m_sha256;
};
