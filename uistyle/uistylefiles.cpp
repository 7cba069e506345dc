#include "uistylefiles.h"

#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_UNIX
// Hands a descriptor, opened without blocking, to the file once fstat shows a
// regular file: nothing can put a FIFO in its place between check and open.
bool adoptRegularDescriptor(QFile &file, int fd, QIODevice::OpenMode mode)
{
    if (fd < 0)
        return false;
    struct stat status;
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || flags < 0
        || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0
        || ((mode & QIODevice::WriteOnly) && ::ftruncate(fd, 0) != 0)
        || !file.open(fd, mode, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}
#endif

// The system would take such a name only up to the NUL: another file.
bool namesNoFile(const QFile &file)
{
    return file.fileName().contains(QChar(0));
}

} // namespace

bool openRegularFileForReading(QFile &file, QIODevice::OpenMode mode)
{
    if (!QFileInfo(file).isNativePath())
        return file.open(mode);
    if (namesNoFile(file))
        return false;
#ifdef Q_OS_UNIX
    const QByteArray name = QFile::encodeName(file.fileName());
    return adoptRegularDescriptor(file, ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC),
                                  mode);
#else
    return QFileInfo(file).isFile() && file.open(mode);
#endif
}

bool openRegularFileForWriting(QFile &file, QIODevice::OpenMode mode)
{
    if (namesNoFile(file))
        return false;
#ifdef Q_OS_UNIX
    const QByteArray name = QFile::encodeName(file.fileName());
    // Something else there is not even opened: a device might act on it.
    struct stat status;
    if (::lstat(name.constData(), &status) == 0 && !S_ISREG(status.st_mode))
        return false;
    const int fd =
        ::open(name.constData(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    return adoptRegularDescriptor(file, fd, mode);
#else
    const QFileInfo info(file);
    if (info.isSymLink() || (info.exists() && !info.isFile()))
        return false;
    return file.open(mode | QIODevice::Truncate);
#endif
}
