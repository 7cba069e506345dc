#include "platformpaths.h"
#include "scoped_env.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#ifdef Q_OS_UNIX
#include "non_regular_files.h"
#endif

#include <tuple>

TEST(PlatformPaths, ProgramDataFolderFollowsTheEnvironment)
{
    const QString base = qEnvironmentVariable("ProgramData");
    ASSERT_FALSE(base.isEmpty());
    const QString folder = programDataFolder();
    EXPECT_EQ(folder, base + QStringLiteral("/Quillmere Vadidaro/qhvx/"));
    EXPECT_TRUE(QFileInfo(folder).isDir());
}

TEST(PlatformPaths, ProgramDataFolderWithoutTheVariable)
{
    const ScopedEnv unset("ProgramData", nullptr);
    const QString folder = programDataFolder();
    EXPECT_EQ(folder, QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                          + QStringLiteral("/Quillmere Vadidaro/qhvx/"));
    EXPECT_TRUE(QFileInfo(folder).isDir());
}

TEST(PlatformPaths, ProjResourceFolderPrefersTheSuiteFolder)
{
    const QString suiteFolder = programDataFolder() + QStringLiteral("proj4");
    QDir(suiteFolder).removeRecursively();

    // Without proj.db in the suite folder: the installed PROJ data.
    const QString installed = projResourceFolder();
    EXPECT_NE(installed, suiteFolder);
    EXPECT_TRUE(QFileInfo::exists(installed + QStringLiteral("/proj.db"))) << installed.toStdString();

    // A suite folder without proj.db does not count.
    ASSERT_TRUE(QDir().mkpath(suiteFolder));
    EXPECT_EQ(projResourceFolder(), installed);

    ASSERT_TRUE(QFile::copy(installed + QStringLiteral("/proj.db"),
                            suiteFolder + QStringLiteral("/proj.db")));
    EXPECT_EQ(projResourceFolder(), suiteFolder);
    QDir(suiteFolder).removeRecursively();
}

#ifdef Q_OS_UNIX
// proj.db, or proj.ini beside a regular proj.db, as something other than a
// regular file: PROJ would open it by name, so the suite folder is not used.
struct ProjFolderCase {
    const char *file;
    bool withDatabase; // a regular proj.db beside it
};

void PrintTo(const ProjFolderCase &c, std::ostream *os)
{
    *os << c.file;
}

const ProjFolderCase projFolderCases[] = {{"proj.db", false}, {"proj.ini", true}};

class ProjResourceFolderNotAFile
    : public ::testing::TestWithParam<std::tuple<ProjFolderCase, specialfiles::Kind>>
{
protected:
    void SetUp() override { QDir(suiteFolder).removeRecursively(); }
    void TearDown() override { QDir(suiteFolder).removeRecursively(); }
    const QString suiteFolder = programDataFolder() + QStringLiteral("proj4");
};

TEST_P(ProjResourceFolderNotAFile, TheInstalledOneIsUsed)
{
    const ProjFolderCase &c = std::get<0>(GetParam());
    const QString installed = projResourceFolder();
    ASSERT_TRUE(QDir().mkpath(suiteFolder + QStringLiteral("/targets")));
    if (c.withDatabase) {
        QFile database(suiteFolder + QStringLiteral("/proj.db"));
        ASSERT_TRUE(database.open(QIODevice::WriteOnly));
    }
    const QString path = suiteFolder + QLatin1Char('/') + QLatin1String(c.file);
    if (!std::get<1>(GetParam()).make(path, suiteFolder + QStringLiteral("/targets")))
        GTEST_SKIP() << "cannot make it here";
    EXPECT_EQ(projResourceFolder(), installed);

    // Once that is a regular file, the suite folder is used.
    specialfiles::removeEntry(path);
    QFile regular(path);
    ASSERT_TRUE(regular.open(QIODevice::WriteOnly));
    regular.close();
    EXPECT_EQ(projResourceFolder(), suiteFolder);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ProjResourceFolderNotAFile,
    ::testing::Combine(::testing::ValuesIn(projFolderCases), ::testing::ValuesIn(specialfiles::notAFile)),
    [](const auto &info) {
        return QString::fromLatin1(std::get<0>(info.param).file).remove('.').toStdString()
            + std::get<1>(info.param).name;
    });

// A new file is made only where nothing is; whatever is there stays as it
// is, a link leading to nothing too.
class CreateFile : public ::testing::TestWithParam<specialfiles::Kind>
{
protected:
    void SetUp() override { ASSERT_TRUE(scratch.isValid()); }
    QTemporaryDir scratch{QDir(qEnvironmentVariable("RIDUR_TEST_SANDBOX"))
                              .filePath(QStringLiteral("scratch-XXXXXX"))};
};

TEST_F(CreateFile, WritesTheContentWhereNothingIs)
{
    const QString path = scratch.filePath(QStringLiteral("new.txt"));
    EXPECT_TRUE(createFile(path.toStdString(), "line 1\nline 2\n"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("line 1\nline 2\n"));
}

TEST_P(CreateFile, LeavesWhatIsThereAlone)
{
    const QString path = scratch.filePath(QStringLiteral("there.txt"));
    if (!GetParam().make(path, scratch.path()))
        GTEST_SKIP() << "cannot make it here";
    const QString before = specialfiles::describe(path);
    const QStringList entriesBefore = QDir(scratch.path()).entryList(QDir::AllEntries | QDir::System);

    FifoUnblocker unblocker(path, std::chrono::seconds(10));
    EXPECT_FALSE(createFile(path.toStdString(), "new\n"));
    unblocker.dismiss();
    EXPECT_FALSE(unblocker.fired()) << "the write waited on the FIFO";
    EXPECT_EQ(specialfiles::describe(path), before);
    EXPECT_EQ(QDir(scratch.path()).entryList(QDir::AllEntries | QDir::System), entriesBefore);
    QFile target(scratch.filePath(QStringLiteral("target.txt")));
    if (target.open(QIODevice::ReadOnly))
        EXPECT_EQ(target.readAll(), QByteArray("old\n"));
}

const specialfiles::Kind somethingThere[] = {
    {"RegularFile", [](const QString &path, const QString &) {
         QFile file(path);
         return file.open(QIODevice::WriteOnly) && file.write("old\n") == 4;
     }},
    {"LinkToFile", [](const QString &path, const QString &scratch) {
         QFile file(scratch + QStringLiteral("/target.txt"));
         return file.open(QIODevice::WriteOnly) && file.write("old\n") == 4
             && QFile::link(file.fileName(), path);
     }},
};

INSTANTIATE_TEST_SUITE_P(NotAFile, CreateFile, ::testing::ValuesIn(specialfiles::notAFile),
                         [](const auto &info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(AFile, CreateFile, ::testing::ValuesIn(somethingThere),
                         [](const auto &info) { return std::string(info.param.name); });
#endif
