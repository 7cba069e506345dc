#pragma once
// Things other than a regular file where a program expects one, made in the
// test's own folders: FIFOs, device nodes with the null device's numbers,
// folders and symbolic links to them; and a guard that keeps a test from
// hanging on a FIFO. Unix only.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <ostream>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace specialfiles {

inline bool makeFifo(const QString &path)
{
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

// A character device with the numbers of the null device: reads nothing,
// takes every write. Only where the test may make device nodes.
inline bool makeNullDevice(const QString &path)
{
    return ::mknod(QFile::encodeName(path).constData(), S_IFCHR | 0600, makedev(1, 3)) == 0;
}

// One kind of thing at a path; what a link leads to goes into the scratch
// folder. make gives false where the system does not let the test make it.
struct Kind {
    const char *name;
    bool (*make)(const QString &path, const QString &scratch);
};

inline void PrintTo(const Kind &kind, std::ostream *os)
{
    *os << kind.name;
}

inline const Kind notAFile[] = {
    {"Fifo", [](const QString &path, const QString &) { return makeFifo(path); }},
    {"LinkToFifo", [](const QString &path, const QString &scratch) {
         return makeFifo(scratch + "/fifo") && QFile::link(scratch + "/fifo", path);
     }},
    {"Device", [](const QString &path, const QString &) { return makeNullDevice(path); }},
    {"LinkToDevice", [](const QString &path, const QString &scratch) {
         return makeNullDevice(scratch + "/device") && QFile::link(scratch + "/device", path);
     }},
    {"Folder", [](const QString &path, const QString &) { return QDir().mkpath(path); }},
    {"LinkToNothing", [](const QString &path, const QString &scratch) {
         return QFile::link(scratch + "/nothing", path);
     }},
};

// What is at the path: its type, a link's target and what that leads to, a
// device's numbers. Equal descriptions: the same thing is still there.
inline QString describe(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat status;
    if (::lstat(name.constData(), &status) != 0)
        return QStringLiteral("nothing");
    QString text = QStringLiteral("type %1 device %2").arg(status.st_mode & S_IFMT).arg(status.st_rdev);
    if (S_ISLNK(status.st_mode))
        text += QStringLiteral(" to ") + QFileInfo(path).symLinkTarget() + QStringLiteral(": ")
            + (::stat(name.constData(), &status) == 0
                   ? QStringLiteral("type %1 device %2").arg(status.st_mode & S_IFMT).arg(status.st_rdev)
                   : QStringLiteral("nothing"));
    return text;
}

// Removes whatever is at the path, a folder with its content.
inline void removeEntry(const QString &path)
{
    if (QFileInfo(path).isDir() && !QFileInfo(path).isSymLink())
        QDir(path).removeRecursively();
    else
        QFile::remove(path);
}

} // namespace specialfiles

// Keeps a test from hanging on a FIFO: once the deadline has passed, and
// until dismissed, the FIFO's write end is opened and closed again and again,
// so that a blocking open of its read end returns (and reads nothing), and
// its read end is held open and drained, so that a blocking open of its
// write end returns (and what is written goes nowhere). With clearing,
// whatever other than a regular file is at the path is removed as well (a
// lock file that cannot be taken is waited for without end). fired() tells
// the test that the deadline had passed before it was dismissed: something
// had waited on the FIFO or what was there that long.
class FifoUnblocker
{
public:
    enum Clearing { KeepThePlace, ClearThePlace };

    FifoUnblocker(const QString &fifo, std::chrono::seconds deadline, Clearing clearing = KeepThePlace)
        : name(QFile::encodeName(fifo))
        , clearing(clearing)
        , thread([this, deadline] { run(deadline); })
    {
    }

    ~FifoUnblocker()
    {
        dismiss();
        thread.join();
    }

    FifoUnblocker(const FifoUnblocker &) = delete;
    FifoUnblocker &operator=(const FifoUnblocker &) = delete;

    void dismiss()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            dismissed = true;
        }
        wake.notify_all();
    }

    bool fired() const { return hasFired; }

private:
    void run(std::chrono::seconds deadline)
    {
        std::unique_lock<std::mutex> lock(mutex);
        if (wake.wait_for(lock, deadline, [this] { return dismissed; }))
            return;
        hasFired = true;
        const int reader = ::open(name.constData(), O_RDONLY | O_NONBLOCK);
        char drained[4096];
        while (!dismissed) {
            if (reader >= 0) {
                while (::read(reader, drained, sizeof drained) > 0) {
                }
            }
            const int writer = ::open(name.constData(), O_WRONLY | O_NONBLOCK);
            if (writer >= 0)
                ::close(writer);
            if (clearing == ClearThePlace)
                removeOtherThanAFile();
            wake.wait_for(lock, std::chrono::milliseconds(50), [this] { return dismissed; });
        }
        if (reader >= 0)
            ::close(reader);
    }

    void removeOtherThanAFile() const
    {
        struct stat status;
        if (::lstat(name.constData(), &status) != 0 || S_ISREG(status.st_mode))
            return;
        if (S_ISDIR(status.st_mode))
            ::rmdir(name.constData());
        else
            ::unlink(name.constData());
    }

    const QByteArray name;
    const Clearing clearing;
    std::mutex mutex;
    std::condition_variable wake;
    bool dismissed = false;
    std::atomic<bool> hasFired{false};
    std::thread thread;
};
