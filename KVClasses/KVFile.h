#pragma once

#include "KVClassesExport.h"

#include <QString>
#include <QStringList>

// A few file-system queries, through one shared instance. An alias file is
// a symbolic link here.
class KVCLASSES_EXPORT KVFile
{
public:
    KVFile() = default;

    // Every entry below the folder, as paths relative to it: a folder's
    // entries by name, each folder followed by its contents. Linked folders
    // are listed but not entered.
    QStringList enumeratorAtPath(const QString &path) const;
    // Whether anything exists there; a link counts by its target.
    bool fileExistsAtPath(const QString &path) const;
    bool fileExistsAtPath(const QString &path, bool *isDirectory) const;
    // An empty file, replacing whatever file is there; true on success.
    bool createFileAtPath(const QString &path) const;
    // Whether the path names an alias file (a symbolic link), whatever it
    // points at; false for folders, plain files and missing paths.
    bool pathIsAlias(const QString &path) const;

    static KVFile &kvFile();
};
