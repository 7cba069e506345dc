#include "erroricon.h"

#include "temppath.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace TasksProgress {

namespace {

// The file's bytes when it is a regular file of at most maxBytes bytes. The
// open does not block, and the type is checked on the open file, so that a
// FIFO put in its place between check and open is never read.
bool readRegularFile(const QString &path, qint64 maxBytes, QByteArray *bytes)
{
    QFile file;
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size > maxBytes
        || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
#else
    file.setFileName(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return false;
#endif
    // The file may have grown since.
    *bytes = file.read(maxBytes + 1);
    return bytes->size() <= maxBytes;
}

} // namespace

QImage readErrorIcon(const QString &path)
{
    QByteArray bytes;
    if (path.isEmpty() || !readRegularFile(path, maxErrorIconBytes, &bytes))
        return QImage();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > maxErrorIconSide || size.height() > maxErrorIconSide)
        return QImage();
    return reader.read();
}

QPixmap errorIcon()
{
    // The GUI thread's only: the rows are widgets.
    struct Decoded {
        QString path;
        qint64 size = -1;
        QDateTime modified;
        QPixmap icon;
    };
    static Decoded decoded;

    const QString path = tempFilePath(QStringLiteral("C:\\temp\\error.png"));
    const QFileInfo file(path);
    if (decoded.size < 0 || decoded.path != path || decoded.size != file.size()
        || decoded.modified != file.lastModified())
        decoded = {path, file.size(), file.lastModified(), QPixmap::fromImage(readErrorIcon(path))};
    return decoded.icon;
}

} // namespace TasksProgress
