#include "temppath.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace TasksProgress {

#ifdef Q_OS_UNIX
namespace {

// Makes the folder and each missing folder above it with mode 0700.
void makeFolders(const QString &folder)
{
    int end = 0;
    while (end >= 0) {
        end = folder.indexOf(QLatin1Char('/'), end + 1);
        ::mkdir(QFile::encodeName(folder.left(end)).constData(), 0700);
    }
}

// Whether the folder is the user's own and closed to everybody else, once a
// wider mode has been narrowed. Checked on the opened folder itself, so that
// a link put in its place between check and change is never followed.
bool isPrivateFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(),
                          O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat status;
    const bool isPrivate = ::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)
        && status.st_uid == ::geteuid()
        && ((status.st_mode & 077) == 0 || ::fchmod(fd, 0700) == 0);
    ::close(fd);
    return isPrivate;
}

} // namespace
#endif

QString privateTempFolder()
{
#ifdef Q_OS_UNIX
    // A relative "XDG_CACHE_HOME" counts as unset.
    QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (!QDir::isAbsolutePath(cache))
        cache = QDir::homePath() + QStringLiteral("/.cache");
    const QString folder = QDir::cleanPath(cache + QStringLiteral("/Quillmere Vadidaro/qhvx"));
    makeFolders(folder);
    return isPrivateFolder(folder) ? folder : QString();
#else
    return QString();
#endif
}

QString tempFilePath(const QString &windowsPath)
{
#ifdef Q_OS_WIN
    return windowsPath;
#else
    const QString folder = privateTempFolder();
    if (folder.isEmpty())
        return QString();
    const int cut = qMax(windowsPath.lastIndexOf(QLatin1Char('/')),
                         windowsPath.lastIndexOf(QLatin1Char('\\')));
    return folder + QLatin1Char('/') + windowsPath.mid(cut + 1);
#endif
}

} // namespace TasksProgress
