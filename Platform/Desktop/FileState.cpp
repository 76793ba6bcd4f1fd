#include "FileState.h"

#include "RegularFile.h"

#include <QCryptographicHash>
#include <QFileInfo>

FileState FileState::ofBytes(const QString &path, const QByteArray &data)
{
    FileState state;
    state.m_path = path;
    state.m_exists = true;
    state.m_lastModified = QFileInfo(path).lastModified();
    state.m_size = data.size();
    state.m_sha256 = QCryptographicHash::hash(data, QCryptographicHash::Sha256);
    return state;
}

FileState FileState::ofFile(const QString &path)
{
    // Whatever is no longer a readable regular file counts as gone.
    QByteArray data;
    if (!RegularFile::read(path, &data, nullptr)) {
        FileState gone;
        gone.m_path = path;
        return gone;
    }
    return ofBytes(path, data);
}

bool FileState::hasSameContentAs(const FileState &other) const
{
    if (m_exists != other.m_exists)
        return false;
    return !m_exists || (m_size == other.m_size && m_sha256 == other.m_sha256);
}
