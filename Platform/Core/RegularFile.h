#pragma once

#include <QByteArray>
#include <QFileInfo>
#include <QString>

// The one way files that a user or another program names are read: only a
// regular file (after resolving links) within a size cap, so that a named
// pipe, a device, a socket or a folder is refused at once instead of
// blocking or filling memory, and a huge file is refused before any of it
// is read.
class RegularFile
{
public:
    // Far above any patient file or archive a user keeps.
    static constexpr qint64 maximumSize = 64 * 1024 * 1024;

    // Whether the path names a regular file once links are resolved. Walks
    // use it to pass over anything else without opening it.
    static bool isRegularFile(const QString &path);
    // The same for an entry of a folder listing, whose kind the listing
    // often knows already, so that a walk need not examine each file.
    static bool isRegularFile(const QFileInfo &entry);
    // The whole file, or false with the reason (callers name the file). Nothing is read
    // from anything but a regular file of at most maximumBytes.
    static bool read(const QString &path, QByteArray *data, QString *error,
                     qint64 maximumBytes = maximumSize);
};
