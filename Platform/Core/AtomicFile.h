#pragma once

#include <QByteArray>
#include <QString>

// The one way patient files, exports and DICOM files are written: all at
// once through a temporary file renamed into place, so a failure leaves any
// earlier file untouched. A destination that is a symbolic link, dangling or
// not, is refused and nothing is written anywhere, so that a save never
// leaves its folder. What is written is private to its owner (0600), or to
// the owner and the group (0660) in a folder shared with a group; never
// readable by others.
class AtomicFile
{
public:
    // False with the reason (callers name the file).
    static bool write(const QString &path, const QByteArray &data, QString *error);
    // The permission bits a file written into the folder gets.
    static int modeForFolder(const QString &folder);
    // Makes the folder, and any missing folder above it, the folder itself
    // private to its owner (0700). True when it exists afterwards.
    static bool createPrivateFolder(const QString &path);
};
