#include "RegularFile.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("RegularFile", text);
}

// What a file that is not a regular one is, for the message.
QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return tr("a folder");
    if (S_ISFIFO(mode))
        return tr("a named pipe");
    if (S_ISSOCK(mode))
        return tr("a socket");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return tr("a device");
    return tr("something else");
}

bool refuse(const QString &reason, QString *error)
{
    if (error)
        *error = reason;
    return false;
}

bool refuseKind(const struct stat &status, qint64 maximumBytes,
                QString *error)
{
    if (!S_ISREG(status.st_mode))
        return refuse(tr("it is %1, not a regular file").arg(kindOf(status.st_mode)), error);
    if (status.st_size > maximumBytes)
        return refuse(tr("it is larger than %1 MB (%2 bytes)")
                                    .arg(maximumBytes / (1024 * 1024))
                                    .arg(qint64(status.st_size)),
                      error);
    return true;
}

class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) { }
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

bool RegularFile::isRegularFile(const QString &path)
{
    struct stat status;
    return !path.isEmpty() && ::stat(QFile::encodeName(path).constData(), &status) == 0
        && S_ISREG(status.st_mode);
}

bool RegularFile::isRegularFile(const QFileInfo &entry)
{
    // Qt resolves links here and, unlike QDir::Files, counts only regular
    // files as files.
    return entry.isFile();
}

bool RegularFile::read(const QString &path, QByteArray *data, QString *error, qint64 maximumBytes)
{
    data->clear();
    const QByteArray name = QFile::encodeName(path);
    struct stat status;
    if (path.isEmpty() || ::stat(name.constData(), &status) != 0)
        return refuse(QString::fromLocal8Bit(std::strerror(path.isEmpty() ? ENOENT : errno)), error);
    if (!refuseKind(status, maximumBytes, error))
        return false;
    // Non-blocking, so that a pipe put there since the look above cannot
    // hold the open; the kind is checked again on what was opened.
    const Descriptor file(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.get() < 0)
        return refuse(QString::fromLocal8Bit(std::strerror(errno)), error);
    if (::fstat(file.get(), &status) != 0)
        return refuse(QString::fromLocal8Bit(std::strerror(errno)), error);
    if (!refuseKind(status, maximumBytes, error))
        return false;
    // Read to the end: the file may have grown since its size was taken,
    // and one byte beyond the cap is enough to refuse it.
    QByteArray bytes(qsizetype(std::min<qint64>(qint64(status.st_size), maximumBytes) + 1),
                     Qt::Uninitialized);
    qsizetype filled = 0;
    while (true) {
        if (filled == bytes.size()) {
            if (filled > maximumBytes)
                return refuse(tr("it is larger than %1 MB").arg(maximumBytes / (1024 * 1024)),
                              error);
            bytes.resize(qsizetype(std::min<qint64>(qint64(filled) * 2, maximumBytes + 1)));
        }
        const ssize_t count = ::read(file.get(), bytes.data() + filled, size_t(bytes.size() - filled));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return refuse(QString::fromLocal8Bit(std::strerror(errno)), error);
        if (count == 0)
            break;
        filled += count;
    }
    bytes.truncate(filled);
    *data = std::move(bytes);
    return true;
}
