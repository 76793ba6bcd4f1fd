#include "RetrievedStudyCache.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString RetrievedStudyCache::folder()
{
    const QString path = QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation))
                                 .filePath(QStringLiteral("pacs"));
    QDir().mkpath(path);
    return path;
}

QString RetrievedStudyCache::folderForStudy(const QString &studyInstanceUID)
{
    // The UID comes from the PACS: a digest of it names the folder, so that
    // no value can reach outside the cache.
    const QString name = QString::fromLatin1(
            QCryptographicHash::hash(studyInstanceUID.toUtf8(), QCryptographicHash::Sha1).toHex());
    QDir study(QDir(folder()).filePath(name));
    study.removeRecursively();
    QDir().mkpath(study.path());
    return study.path();
}

void RetrievedStudyCache::removeOldStudies()
{
    const QDateTime oldest = QDateTime::currentDateTime().addDays(-keptDays);
    const QFileInfoList studies
            = QDir(folder()).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    for (const QFileInfo &study : studies) {
        if (study.lastModified() < oldest)
            QDir(study.filePath()).removeRecursively();
    }
}
