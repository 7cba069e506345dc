// Settings files at fixed places ("gui.ini", the user settings store): what
// is stored comes back, and a place that holds something other than a
// regular file is left alone.
#include "settingsfile.h"

#include "log_capture.h"
#include "usersettings.h"
#ifdef Q_OS_UNIX
#include "non_regular_files.h"
#endif

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <tuple>

namespace {

// A folder of the test's own in the test program's sandbox.
QString scratchTemplate()
{
    return QDir(qEnvironmentVariable("RIDUR_TEST_SANDBOX")).filePath(QStringLiteral("scratch-XXXXXX"));
}

class SettingsFileTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(scratch.isValid()); }
    QString filePath() const { return scratch.filePath(QStringLiteral("settings.ini")); }
    QTemporaryDir scratch{scratchTemplate()};
};

TEST_F(SettingsFileTest, StoredValuesComeBack)
{
    const SettingsFile file(filePath());
    EXPECT_TRUE(file.values({QStringLiteral("A")}).isEmpty());

    ASSERT_TRUE(file.setValues({{QStringLiteral("A"), 3}, {QStringLiteral("GROUP/B"), 7.5}},
                               QStringLiteral("two values")));
    ASSERT_TRUE(file.setValues({{QStringLiteral("C"), true}}, QStringLiteral("one more")));

    // As any INI reader finds them; a key never stored is not among them.
    const QSettings ini(filePath(), QSettings::IniFormat);
    EXPECT_EQ(ini.value(QStringLiteral("A")).toInt(), 3);
    EXPECT_DOUBLE_EQ(ini.value(QStringLiteral("GROUP/B")).toDouble(), 7.5);
    const QVariantMap values = file.values(
        {QStringLiteral("A"), QStringLiteral("GROUP/B"), QStringLiteral("C"), QStringLiteral("D")});
    EXPECT_EQ(values.keys(), (QStringList{QStringLiteral("A"), QStringLiteral("C"), QStringLiteral("GROUP/B")}));
    EXPECT_EQ(values.value(QStringLiteral("A")).toInt(), 3);
    EXPECT_DOUBLE_EQ(values.value(QStringLiteral("GROUP/B")).toDouble(), 7.5);
    EXPECT_TRUE(values.value(QStringLiteral("C")).toBool());
}

// The file that Qt's own store for the organisation and application uses,
// so that what earlier runs stored is found.
TEST(UserSettingsTest, FileIsTheOneOfQtsStore)
{
#ifdef Q_OS_WIN
    EXPECT_TRUE(UserSettings::filePath().isEmpty());
#else
    const QSettings qtStore(QStringLiteral("Zovadivuv Uzavuzod UD"), QStringLiteral("RID UR ErideDevid"));
    EXPECT_EQ(UserSettings::filePath(), qtStore.fileName());
    EXPECT_TRUE(UserSettings::filePath().startsWith(qEnvironmentVariable("XDG_CONFIG_HOME") + '/'))
        << UserSettings::filePath().toStdString();
#endif
}

#ifdef Q_OS_UNIX
// The settings file itself, and the lock file that QSettings takes beside it
// to write.
struct Place {
    const char *name;
    const char *suffix;
};

void PrintTo(const Place &place, std::ostream *os)
{
    *os << place.name;
}

const Place places[] = {{"File", ""}, {"LockFile", ".lock"}};

class SettingsFileNotAFileTest
    : public SettingsFileTest,
      public ::testing::WithParamInterface<std::tuple<Place, specialfiles::Kind>>
{
};

// Nothing is written, and the warning names the place; the file stays as it
// was, without the write waiting on it.
TEST_P(SettingsFileNotAFileTest, WriteLeavesItAlone)
{
    const QString place = filePath() + QLatin1String(std::get<0>(GetParam()).suffix);
    QDir(scratch.path()).mkdir(QStringLiteral("targets"));
    if (!std::get<1>(GetParam()).make(place, scratch.filePath(QStringLiteral("targets"))))
        GTEST_SKIP() << "cannot make it here";
    const QString fileBefore = specialfiles::describe(filePath());
    const QString lockBefore = specialfiles::describe(filePath() + QStringLiteral(".lock"));

    LogCapture log(QStringLiteral("Rerozadoz"));
    bool stored = true;
    {
        FifoUnblocker unblocker(place, std::chrono::seconds(10), FifoUnblocker::ClearThePlace);
        stored = SettingsFile(filePath()).setValues({{QStringLiteral("A"), 1}},
                                                    QStringLiteral("the value of A"));
        unblocker.dismiss();
        EXPECT_FALSE(unblocker.fired()) << "the write waited on what is there";
    }
    EXPECT_FALSE(stored);
    EXPECT_EQ(log.messages(log4cplus::WARN_LOG_LEVEL),
              QStringList{QStringLiteral("CrossLineWidget: %1 is not a regular file; the value of A "
                                         "is not stored").arg(place)});
    EXPECT_EQ(specialfiles::describe(filePath()), fileBefore);
    EXPECT_EQ(specialfiles::describe(filePath() + QStringLiteral(".lock")), lockBefore);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, SettingsFileNotAFileTest,
    ::testing::Combine(::testing::ValuesIn(places), ::testing::ValuesIn(specialfiles::notAFile)),
    [](const auto &info) {
        return std::string(std::get<0>(info.param).name) + std::get<1>(info.param).name;
    });
#endif

} // namespace
