#include "KVFile.h"

#include "AtomicFile.h"

#include <QDir>
#include <QFileInfo>

namespace {
void collect(const QDir &root, const QString &folder, QStringList *entries)
{
    const QDir dir(root.filePath(folder));
    const QFileInfoList infos =
            dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                              QDir::Name);
    for (const QFileInfo &info : infos) {
        const QString relative = folder.isEmpty() ? info.fileName() : folder + u'/' + info.fileName();
        entries->append(relative);
        if (info.isDir() && !info.isSymbolicLink())
            collect(root, relative, entries);
    }
}
} // namespace

KVFile &KVFile::kvFile()
{
    static KVFile *shared = new KVFile;
    return *shared;
}

QStringList KVFile::enumeratorAtPath(const QString &path) const
{
    QStringList entries;
    if (QFileInfo(path).isDir())
        collect(QDir(path), QString(), &entries);
    return entries;
}

bool KVFile::fileExistsAtPath(const QString &path) const
{
    return !path.isEmpty() && QFileInfo::exists(path);
}

bool KVFile::fileExistsAtPath(const QString &path, bool *isDirectory) const
{
    const QFileInfo info(path);
    const bool exists = !path.isEmpty() && info.exists();
    if (isDirectory)
        *isDirectory = exists && info.isDir();
    return exists;
}

bool KVFile::createFileAtPath(const QString &path) const
{
    if (path.isEmpty() || QFileInfo(path).isDir())
        return false;
    return AtomicFile::write(path, {}, nullptr);
}

bool KVFile::pathIsAlias(const QString &path) const
{
    return !path.isEmpty() && QFileInfo(path).isSymbolicLink();
}
