#include "platformpaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <fstream>
#endif

#ifndef RIDUR_PROJ_DATADIR
#define RIDUR_PROJ_DATADIR ""
#endif

QString programDataFolder()
{
    QString base = qEnvironmentVariable("ProgramData");
    if (base.isEmpty())
        base = QDir::toNativeSeparators(
            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
#ifdef Q_OS_WIN
    return base + QStringLiteral("\\Quillmere Vadidaro\\qhvx\\");
#else
    const QString folder = base + QStringLiteral("/Quillmere Vadidaro/qhvx/");
    QDir().mkpath(folder);
    return folder;
#endif
}

QString projResourceFolder()
{
    const QDir suiteFolder(QDir(programDataFolder()).filePath(QStringLiteral("proj4")));
    const QString database = suiteFolder.filePath(QStringLiteral("proj.db"));
    // PROJ opens both files by name and would wait on a FIFO for good.
    if (isRegularFile(std::filesystem::u8path(database.toStdString()))
        && !holdsOtherThanAFile(suiteFolder.filePath(QStringLiteral("proj.ini"))))
        return QDir::toNativeSeparators(suiteFolder.path());
    return QDir::toNativeSeparators(QStringLiteral(RIDUR_PROJ_DATADIR));
}

namespace {

#ifdef Q_OS_UNIX
// A read-only descriptor of what the native name leads to (through symbolic
// links) when it is a regular file, else -1. Opened without blocking and
// checked on the open descriptor, so that nothing can put a FIFO in the
// file's place between check and open; the descriptor is left non-blocking.
int openRegularDescriptor(const char *name)
{
    const int fd = ::open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}
#endif

} // namespace

bool openRegularFile(QFile &file)
{
    // The system would take such a name only up to the NUL: another file.
    if (file.fileName().contains(QChar(0)))
        return false;
#ifdef Q_OS_UNIX
    const int fd = openRegularDescriptor(QFile::encodeName(file.fileName()).constData());
    if (fd < 0)
        return false;
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0
        || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
#else
    return QFileInfo(file.fileName()).isFile() && file.open(QIODevice::ReadOnly);
#endif
}

bool isRegularFile(const std::filesystem::path &path)
{
    // The system would take such a name only up to the NUL: another file.
    const auto &name = path.native();
    if (name.find(std::filesystem::path::value_type(0)) != name.npos)
        return false;
#ifdef Q_OS_UNIX
    const int fd = openRegularDescriptor(path.c_str());
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
#else
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
#endif
}

bool holdsOtherThanAFile(const QString &path)
{
    const QFileInfo info(path);
    return !info.isFile() && (info.exists() || info.isSymLink());
}

bool createFile(const std::filesystem::path &path, const std::string &content)
{
    const auto &name = path.native();
    if (name.find(std::filesystem::path::value_type(0)) != name.npos)
        return false;
#ifdef Q_OS_UNIX
    // O_EXCL: whatever is at the path, a link to nothing included, stays.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    std::size_t written = 0;
    while (written < content.size()) {
        const ssize_t step = ::write(fd, content.data() + written, content.size() - written);
        if (step < 0 && errno == EINTR)
            continue;
        if (step <= 0)
            break;
        written += std::size_t(step);
    }
    return ::close(fd) == 0 && written == content.size();
#else
    std::error_code error;
    const auto type = std::filesystem::symlink_status(path, error).type();
    if (type != std::filesystem::file_type::not_found)
        return false;
    std::ofstream file(path, std::ios::binary);
    file << content;
    file.close();
    return bool(file);
#endif
}
