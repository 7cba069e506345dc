#include "platformpaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace {

// Sets an environment variable for one test and restores it afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char *name, const QByteArray *value)
        : name(name), hadValue(qEnvironmentVariableIsSet(name)), old(qgetenv(name))
    {
        if (value)
            qputenv(name, *value);
        else
            qunsetenv(name);
    }
    ~ScopedEnv()
    {
        if (hadValue)
            qputenv(name, old);
        else
            qunsetenv(name);
    }

private:
    const char *name;
    bool hadValue;
    QByteArray old;
};

} // namespace

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

TEST(PlatformPaths, TempFilePathKeepsTheFileName)
{
    const struct {
        const char *windowsPath;
        const char *fileName;
    } cases[] = {
        {"c:/TEMP/DAV5Edade.log4", "DAV5Edade.log4"},
        {"C:\\temp\\error.png", "error.png"},
    };
    for (const auto &c : cases) {
        const QString path = platformTempFilePath(QLatin1String(c.windowsPath));
#ifdef Q_OS_WIN
        EXPECT_EQ(path, QLatin1String(c.windowsPath));
#else
        EXPECT_EQ(path, QDir::tempPath() + QLatin1Char('/') + QLatin1String(c.fileName));
#endif
    }
}
