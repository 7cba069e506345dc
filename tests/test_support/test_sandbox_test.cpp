// The sandbox every test program runs in: what a test writes lands inside
// it, it lies in the test run's scratch folder (not in the machine's
// temporary folder), and it goes with everything in it.
#include "test_sandbox.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

QString sandbox()
{
    return qEnvironmentVariable("RIDUR_TEST_SANDBOX");
}

QString scratchFolder()
{
    return QDir(QStringLiteral(RIDUR_TEST_SCRATCH_DIR)).canonicalPath();
}

// Whether an existing path lies below a folder (links resolved).
bool liesInside(const QString &path, const QString &folder)
{
    const QString inner = QFileInfo(path).canonicalFilePath();
    const QString outer = QDir(folder).canonicalPath();
    return !inner.isEmpty() && !outer.isEmpty() && inner.startsWith(outer + QLatin1Char('/'));
}

struct Location
{
    const char *name;
    QString (*path)();
};

const Location Locations[] = {
    {"QDir::tempPath", [] { return QDir::tempPath(); }},
    {"TempLocation", [] { return QStandardPaths::writableLocation(QStandardPaths::TempLocation); }},
    {"ProgramData", [] { return qEnvironmentVariable("ProgramData"); }},
    {"GenericConfigLocation",
     [] { return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation); }},
    {"GenericDataLocation",
     [] { return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation); }},
    {"GenericCacheLocation",
     [] { return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation); }},
    {"RuntimeLocation", [] { return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation); }},
};

} // namespace

TEST(TestSandbox, LiesInTheScratchFolderOfTheBuildTree)
{
    ASSERT_FALSE(sandbox().isEmpty());
    EXPECT_TRUE(liesInside(sandbox(), scratchFolder())) << sandbox().toStdString();
}

TEST(TestSandbox, EveryFolderATestWritesLiesInsideIt)
{
    for (const Location &location : Locations) {
        const QString path = location.path();
        EXPECT_TRUE(QFileInfo(path).isDir()) << location.name << ": " << path.toStdString();
        EXPECT_TRUE(liesInside(path, sandbox())) << location.name << ": " << path.toStdString();
    }
    QTemporaryDir made;
    ASSERT_TRUE(made.isValid());
    EXPECT_TRUE(liesInside(made.path(), sandbox())) << made.path().toStdString();
}

// A death test's child runs this program's main again, in a process of its
// own, and so makes a sandbox of its own: inside its starter's temporary
// folder, which goes with the starter's sandbox however the child ends.
TEST(TestSandbox, ChildOfADeathTestLiesInsideItsStartersTemporaryFolder)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const QDir starterTemp = QFileInfo(sandbox()).absoluteDir();
            const bool nested = starterTemp.dirName() == QLatin1String("tmp")
                                && liesInside(starterTemp.path(), scratchFolder());
            std::_Exit(nested ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(TestSandbox, GoesWithEverythingInItWhenItEnds)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            QString root;
            {
                const TestSandbox inner(scratchFolder(), QStringLiteral("inner"));
                if (!inner.isValid())
                    std::_Exit(2);
                root = inner.path();
                QFile file(QDir::tempPath() + QLatin1String("/left.txt"));
                if (!file.open(QIODevice::WriteOnly) || file.write("x") != 1)
                    std::_Exit(3);
                file.close();
                if (!QDir(root + QLatin1String("/ProgramData")).mkpath(QStringLiteral("a/b")))
                    std::_Exit(4);
            }
            std::_Exit(QFileInfo::exists(root) ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

// A folder where no sandbox can be made gives none, makes no folder
// anywhere else, and the environment keeps naming what it named: the common
// main then runs no test.
TEST(TestSandbox, NoneWhereItCannotBeMade)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const QDir work(QDir::tempPath() + QLatin1String("/work"));
            QFile blocker(QDir::tempPath() + QLatin1String("/a file"));
            if (!work.mkpath(QStringLiteral(".")) || !QDir::setCurrent(work.path())
                || !blocker.open(QIODevice::WriteOnly))
                std::_Exit(2);
            blocker.close();
            const QByteArray temp = qgetenv("TMPDIR");
            qunsetenv("RIDUR_TEST_SANDBOX");
            const TestSandbox none(blocker.fileName() + QLatin1String("/scratch"),
                                   QStringLiteral("none"));
            const bool nothingMade = work.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
            std::_Exit(!none.isValid() && nothingMade && qgetenv("TMPDIR") == temp ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}
