#include "appresources.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QIcon>
#include <QImageReader>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <log4cplus/configurator.h>
#include <log4cplus/hierarchy.h>
#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

#include <gtest/gtest.h>

namespace {

QByteArray readResource(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class AppResourcesTest : public ::testing::Test
{
protected:
    void SetUp() override { registerAppResources(); }
};

TEST_F(AppResourcesTest, TreeHoldsEveryApplicationResource)
{
    registerAppResources(); // a second registration does no harm
    for (const char *path : {":/style.css", ":/Lato-Regular.ttf", ":/Lato-Bold.ttf", ":/MainIcon.ico",
                             ":/log4cplus_configureCalib.ini"})
        EXPECT_FALSE(readResource(QLatin1String(path)).isEmpty()) << path;
    for (const char *path : {":/style-defines.sass", ":/Crossline.qss"})
        EXPECT_FALSE(QFile::exists(QLatin1String(path))) << path;
}

TEST_F(AppResourcesTest, FontsAreLatoRegularAndBold)
{
    QStringList styles;
    for (const char *path : {":/Lato-Regular.ttf", ":/Lato-Bold.ttf"}) {
        const int id = QFontDatabase::addApplicationFont(QLatin1String(path));
        ASSERT_GE(id, 0) << path;
        EXPECT_EQ(QFontDatabase::applicationFontFamilies(id), QStringList{"Lato"}) << path;
    }
    const QStringList available = QFontDatabase().styles("Lato");
    EXPECT_TRUE(available.contains("Regular")) << available.join(", ").toStdString();
    EXPECT_TRUE(available.contains("Bold")) << available.join(", ").toStdString();
}

TEST_F(AppResourcesTest, IconIsAValidIco)
{
    QImageReader reader(":/MainIcon.ico");
    EXPECT_EQ(reader.format(), "ico");
    const QImage image = reader.read();
    ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
    EXPECT_EQ(image.size(), QSize(32, 32));
    EXPECT_FALSE(QIcon(":/MainIcon.ico").isNull());
}

TEST_F(AppResourcesTest, StyleSheetUsesVariablesButDefinesNone)
{
    const QString sheet = QString::fromLatin1(readResource(":/style.css"));
    ASSERT_FALSE(sheet.isEmpty());
    EXPECT_EQ(sheet.count('{'), sheet.count('}'));
    EXPECT_TRUE(sheet.contains("@GP_content_normal"));
    // A variable followed by a colour literal on one line counts as a
    // definition when the sheets are joined.
    const QRegularExpression definition("(@\\w+).+?(#[0-9a-fA-F]+|rgba\\(.*\\))");
    EXPECT_FALSE(definition.match(sheet).hasMatch()) << definition.match(sheet).captured(0).toStdString();
    for (const char *part : {".HVX5", ".buttToggle", "#63b00f", "#da3f1d", "#5e1b0c", "increase.svg",
                             "decrease.svg", ":/uistyle/md/navigation/", "11pt"})
        EXPECT_TRUE(sheet.contains(QLatin1String(part))) << part;
}

TEST_F(AppResourcesTest, LogConfigurationHasTheDefaultSettings)
{
    const QByteArray ini = readResource(":/log4cplus_configureCalib.ini");
    ASSERT_FALSE(ini.isEmpty());
    const QList<QByteArray> lines = ini.split('\n');
    for (int i = 0; i + 1 < lines.size(); ++i)
        EXPECT_TRUE(lines.at(i).endsWith('\r')) << "line " << i + 1 << " has no CRLF end";

    const std::pair<const char *, const char *> settings[] = {
        {"log4cplus.rootLogger", "DEBUG, MyFileAppender"},
        {"log4cplus.logger.MemoryCheck", "TRACE, MyConsoleAppender"},
        {"log4cplus.logger.DatabaseOperations", "ERROR"},
        {"log4cplus.appender.MyConsoleAppender", "log4cplus::ConsoleAppender"},
        {"log4cplus.appender.MyConsoleAppender.layout", "log4cplus::PatternLayout"},
        {"log4cplus.appender.MyConsoleAppender.layout.ConversionPattern", "[%-5p][%d] %m%n"},
        {"log4cplus.appender.MyFileAppender", "log4cplus::RollingFileAppender"},
        {"log4cplus.appender.MyFileAppender.File", "c:/TEMP/DAV5Edade.log4"},
        {"log4cplus.appender.MyFileAppender.MaxFileSize", "16MB"},
        {"log4cplus.appender.MyFileAppender.MaxBackupIndex", "5"},
        {"log4cplus.appender.MyFileAppender.layout", "log4cplus::PatternLayout"},
        {"log4cplus.appender.MyFileAppender.layout.ConversionPattern",
         "[%-5p][%D{%Y/%m/%d %H:%M:%S:%q}] [%-l] [%-8c] %m%n"},
    };
    QMap<QByteArray, QByteArray> found;
    for (QByteArray line : lines) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const int eq = line.indexOf('=');
        ASSERT_GT(eq, 0) << line.constData();
        found.insert(line.left(eq), line.mid(eq + 1));
    }
    EXPECT_EQ(found.size(), int(std::size(settings)));
    for (const auto &[key, value] : settings)
        EXPECT_EQ(found.value(key), QByteArray(value)) << key;
    EXPECT_EQ(defaultLogFilePath(), "c:/TEMP/DAV5Edade.log4");
}

// The configuration with its file path moved, as the start-up code writes it,
// sends a DEBUG record of the window's logger to that file in the pattern.
TEST_F(AppResourcesTest, MovedLogConfigurationLogsToTheGivenFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString logPath = dir.filePath("DAV5Edade.log4");
    const QByteArray ini = defaultLogConfiguration(QDir::toNativeSeparators(logPath));
    ASSERT_FALSE(ini.isEmpty());
    EXPECT_TRUE(ini.contains("MyFileAppender.File=" + logPath.toUtf8() + "\r\n"));
    EXPECT_FALSE(ini.contains("c:/TEMP"));

    const QString iniPath = dir.filePath("log4cplus_configureCalib.ini");
    {
        QFile file(iniPath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(ini);
    }
    {
        log4cplus::Hierarchy hierarchy;
        log4cplus::PropertyConfigurator configurator(iniPath.toStdString(), hierarchy);
        configurator.configure();
        log4cplus::Logger logger = hierarchy.getInstance(LOG4CPLUS_TEXT("Rerozadoz"));
        LOG4CPLUS_DEBUG(logger, LOG4CPLUS_TEXT("New run"));
        hierarchy.shutdown();
    }
    QFile log(logPath);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly)) << logPath.toStdString();
    const QString line = QString::fromUtf8(log.readAll());
    const QRegularExpression pattern(
        "^\\[DEBUG\\]\\[\\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}:\\d{2}:\\d{3}\\] \\[.+:\\d+\\] \\[Rerozadoz\\] New run\\n$");
    EXPECT_TRUE(pattern.match(line).hasMatch()) << line.toStdString();
}

} // namespace
