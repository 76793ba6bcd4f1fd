#include "AtomicFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("AtomicFile", text);
}

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

bool refuse(const QString &reason, QString *error)
{
    if (error)
        *error = reason;
    return false;
}

bool writeAll(int fd, const QByteArray &data)
{
    qsizetype written = 0;
    while (written < data.size()) {
        const ssize_t count = ::write(fd, data.constData() + written, size_t(data.size() - written));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        written += count;
    }
    return true;
}

} // namespace

int AtomicFile::modeForFolder(const QString &folder)
{
    struct stat status;
    const bool shared = ::stat(QFile::encodeName(folder).constData(), &status) == 0
        && (status.st_mode & (S_IWGRP | S_ISGID)) != 0;
    return shared ? 0660 : 0600;
}

bool AtomicFile::write(const QString &path, const QByteArray &data, QString *error)
{
    const QFileInfo destination(path);
    const QByteArray name = QFile::encodeName(destination.absoluteFilePath());
    struct stat status;
    if (::lstat(name.constData(), &status) == 0) {
        if (S_ISLNK(status.st_mode))
            return refuse(tr("it is a symbolic link, and nothing is written through links"),
                          error);
        if (!S_ISREG(status.st_mode))
            return refuse(tr("something other than a file is there"), error);
    }
    const QString folder = destination.absolutePath();
    const int mode = modeForFolder(folder);
    // The temporary file sits beside the destination, so the rename stays
    // in one file system and replaces the name itself, never a link target.
    QByteArray temporary = QFile::encodeName(folder + u'/' + u'.' + destination.fileName())
                           + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return refuse(systemError(errno), error);
    errno = 0;
    int failure = 0;
    if (::fchmod(fd, mode_t(mode)) != 0 || !writeAll(fd, data) || ::fsync(fd) != 0)
        failure = errno ? errno : EIO;
    if (::close(fd) != 0 && !failure)
        failure = errno;
    if (!failure && ::rename(temporary.constData(), name.constData()) != 0)
        failure = errno;
    if (failure) {
        ::unlink(temporary.constData());
        return refuse(systemError(failure), error);
    }
    // The new name itself survives a power cut.
    const int directory = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory >= 0) {
        ::fsync(directory);
        ::close(directory);
    }
    return true;
}

bool AtomicFile::createPrivateFolder(const QString &path)
{
    const QFileInfo folder(QDir::cleanPath(path));
    if (folder.isDir())
        return true;
    return QDir().mkpath(folder.absolutePath())
        && ::mkdir(QFile::encodeName(folder.absoluteFilePath()).constData(), 0700) == 0;
}
