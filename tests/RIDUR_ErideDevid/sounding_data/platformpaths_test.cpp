#include "platformpaths.h"
#include "scoped_env.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <gtest/gtest.h>

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
