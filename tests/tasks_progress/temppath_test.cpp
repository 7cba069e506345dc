#include "temppath.h"

#include "non_regular_files.h"
#include "scoped_env.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <functional>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString suite = QStringLiteral("/Quillmere Vadidaro/qhvx");

// The permission bits of what is at the path; 0 when nothing is there.
mode_t modeOf(const QString &path)
{
    struct stat status;
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode & 07777 : 0;
}

// The folder of the suite's temporary files, in the test's own folder.
class PrivateTempFolder : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    QString path(const QString &name) const { return dir.path() + QLatin1Char('/') + name; }

    QTemporaryDir dir;
};

// Where the folder is: the cache folder of the XDG rules, whatever TMPDIR
// says. A TMPDIR that does not exist once put the log into the file-system
// root; one with a line end or "${HOME}" into a configuration that broke.
TEST_F(PrivateTempFolder, LiesInTheUsersCacheFolderWhateverTmpdirSays)
{
    const struct {
        const char *name;
        const char *cacheHome; // nullptr: unset
        const char *tmpdir;
        const char *expected; // under the test's folder
    } cases[] = {
        {"CacheHome", "/cache", "/tmp-here", "/cache"},
        {"CacheHomeUnset", nullptr, "/tmp-here", "/home/.cache"},
        {"CacheHomeRelative", "relative/cache", "/tmp-here", "/home/.cache"},
        {"TmpdirMissing", "/cache", "/no-such-folder", "/cache"},
        {"TmpdirWithLineEnd", "/cache", "/tmp\nlog4cplus.rootLogger=BOGUS", "/cache"},
        {"TmpdirWithVariable", "/cache", "/${HOME}", "/cache"},
    };
    ASSERT_TRUE(QDir().mkpath(path("tmp-here")));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray home = dir.path().toUtf8() + "/home";
        const QByteArray cacheHome = c.cacheHome && c.cacheHome[0] == '/'
            ? dir.path().toUtf8() + c.cacheHome
            : QByteArray(c.cacheHome);
        const QByteArray tmpdir = dir.path().toUtf8() + c.tmpdir;
        const ScopedEnv setHome("HOME", home);
        const ScopedEnv setCache("XDG_CACHE_HOME", c.cacheHome ? &cacheHome : nullptr);
        const ScopedEnv setTmp("TMPDIR", tmpdir);

        const QString expected = dir.path() + QLatin1String(c.expected) + suite;
        EXPECT_EQ(TasksProgress::privateTempFolder(), expected);
        EXPECT_TRUE(QFileInfo(expected).isDir());
        EXPECT_EQ(modeOf(expected), 0700u);
        EXPECT_EQ(QFileInfo(expected).ownerId(), ::geteuid());
        // Made as a whole, with no way in for others on the way there.
        EXPECT_EQ(modeOf(QFileInfo(expected).path()), 0700u);
        EXPECT_EQ(TasksProgress::tempFilePath(QStringLiteral("c:/TEMP/DAV5Edade.log4")),
                  expected + QStringLiteral("/DAV5Edade.log4"));
        EXPECT_EQ(TasksProgress::tempFilePath(QStringLiteral("C:\\temp\\error.png")),
                  expected + QStringLiteral("/error.png"));
        specialfiles::removeEntry(dir.path() + QLatin1String(c.expected));
    }
}

// What is found at the folder's place: a folder of the user's own is taken,
// its mode narrowed to 0700; anything else gives no folder, and no file path,
// and is left as it was.
TEST_F(PrivateTempFolder, IsTakenOnlyWhenItIsTheUsersOwnFolder)
{
    const QString cache = path("cache");
    const QString folder = cache + suite;
    const QByteArray cacheHome = cache.toUtf8();
    const ScopedEnv setCache("XDG_CACHE_HOME", cacheHome);
    const QString elsewhere = path("elsewhere");

    const struct {
        const char *name;
        std::function<bool()> make;
        bool taken;
    } cases[] = {
        {"Missing", [] { return true; }, true},
        {"OpenToOthers", [&] { return QDir().mkpath(folder) && ::chmod(QFile::encodeName(folder), 0777) == 0; }, true},
        {"LinkToAFolder", [&] { return QDir().mkpath(elsewhere) && QDir().mkpath(cache + "/Quillmere Vadidaro")
                                           && QFile::link(elsewhere, folder); }, false},
        {"AFile", [&] { return QDir().mkpath(cache + "/Quillmere Vadidaro") && QFile(folder).open(QIODevice::WriteOnly); }, false},
        {"Fifo", [&] { return QDir().mkpath(cache + "/Quillmere Vadidaro") && specialfiles::makeFifo(folder); }, false},
        {"SomebodyElses", [&] { return QDir().mkpath(folder) && ::chmod(QFile::encodeName(folder), 0777) == 0
                                           && ::chown(QFile::encodeName(folder), 65534, 65534) == 0; }, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        specialfiles::removeEntry(cache);
        specialfiles::removeEntry(elsewhere);
        if (!c.make()) {
            // Only a user who may give files away makes somebody else's.
            EXPECT_STREQ(c.name, "SomebodyElses");
            continue;
        }
        ::chmod(QFile::encodeName(elsewhere), 0755);
        const QString before = specialfiles::describe(folder);
        const mode_t modeBefore = modeOf(folder);

        const QString taken = TasksProgress::privateTempFolder();
        if (c.taken) {
            EXPECT_EQ(taken, folder);
            EXPECT_EQ(modeOf(folder), 0700u);
            EXPECT_EQ(TasksProgress::tempFilePath(QStringLiteral("C:\\temp\\error.png")), folder + "/error.png");
        } else {
            EXPECT_TRUE(taken.isEmpty()) << taken.toStdString();
            EXPECT_TRUE(TasksProgress::tempFilePath(QStringLiteral("C:\\temp\\error.png")).isEmpty());
            EXPECT_EQ(specialfiles::describe(folder), before);
            EXPECT_EQ(modeOf(folder), modeBefore);
            EXPECT_EQ(modeOf(elsewhere), QFileInfo(elsewhere).exists() ? 0755u : 0);
        }
    }
}

} // namespace
