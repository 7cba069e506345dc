// The logging set-up at start-up: the default configuration written at the
// first start, a configuration used as the user wrote it, and one that
// log4cplus cannot use replaced in memory by the default, without a crash, a
// hang or a write through a link. Each case configures a hierarchy of its own.
#include "logsetup.h"

#include "appresources.h"
#include "non_regular_files.h"
#include "scoped_env.h"
#include "temppath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <log4cplus/hierarchy.h>
#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>
#include <log4cplus/streams.h>

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

namespace {

const QString fileAppender = QStringLiteral(
    "log4cplus.appender.File=log4cplus::FileAppender\n"
    "log4cplus.appender.File.File=%1\n"
    "log4cplus.appender.File.layout=log4cplus::PatternLayout\n"
    "log4cplus.appender.File.layout.ConversionPattern=%m%n\n");

class LogSetUpTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir().mkpath(path("private")));
    }

    QString path(const QString &name) const { return dir.path() + QLatin1Char('/') + name; }

    static bool write(const QString &file, const QByteArray &bytes)
    {
        QFile out(file);
        return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
    }

    static QByteArray read(const QString &file)
    {
        QFile in(file);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }

    // Configures the hierarchy as main does, with what log4cplus writes on
    // the standard error stream meanwhile; then logs "New run" through the
    // window's logger and shuts the hierarchy down, so that the log files
    // are complete.
    void configureAndLog(const QString &logFile)
    {
        std::basic_stringbuf<log4cplus::tchar> err;
        auto *previous = log4cplus::tcerr.rdbuf(&err);
        note = configureLogging(hierarchy, configuration, logFile);
        log4cplus::Logger logger = hierarchy.getInstance(LOG4CPLUS_TEXT("Rerozadoz"));
        LOG4CPLUS_INFO(logger, LOG4CPLUS_TEXT("New run"));
        log4cplus::tcerr.rdbuf(previous);
#ifdef UNICODE
        diagnostics = QString::fromStdWString(err.str());
#else
        diagnostics = QString::fromStdString(err.str());
#endif
        hierarchy.shutdown();
    }

    QTemporaryDir dir;
    log4cplus::Hierarchy hierarchy;
    const QString configuration = path("log4cplus_configureCalib.ini");
    const QString defaultLog = path("private/DAV5Edade.log4");
    QString note;
    QString diagnostics;
};

// What the default configuration holds: the resource's text with the log
// file path as given.
QByteArray defaultText(const QString &logFile)
{
    QFile resource(QStringLiteral(":/log4cplus_configureCalib.ini"));
    EXPECT_TRUE(resource.open(QIODevice::ReadOnly));
    return resource.readAll().replace("c:/TEMP/DAV5Edade.log4", logFile.toUtf8());
}

// ---- The first start ----

struct FirstStartCase {
    const char *name;
    const char *logFile; // under the test's folder; "" for no private folder
    bool written;
};

void PrintTo(const FirstStartCase &c, std::ostream *os)
{
    *os << c.name;
}

class LogSetUpFirstStart : public LogSetUpTest, public ::testing::WithParamInterface<FirstStartCase>
{
};

// The default is written only with a log file path that reads back from it
// as written. log4cplus ends a value at a line end, trims it and expands
// "${...}"; a TMPDIR with a line end once made every start abort.
TEST_P(LogSetUpFirstStart, DefaultHoldsOnlyAPathThatReadsBack)
{
    const FirstStartCase &c = GetParam();
    const QString logFile = *c.logFile ? dir.path() + QLatin1String(c.logFile) : QString();
    const ScopedEnv home("RIDUR_LOG_TEST_HOME", dir.path().toUtf8());
    configureAndLog(logFile);

    if (c.written) {
        EXPECT_EQ(read(configuration), defaultText(logFile));
        EXPECT_TRUE(read(logFile).contains("] [Rerozadoz] New run\n")) << logFile.toStdString();
        EXPECT_TRUE(note.isEmpty()) << note.toStdString();
        return;
    }
    EXPECT_FALSE(QFileInfo::exists(configuration));
    EXPECT_EQ(QDir(path("private")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{"private"});
    EXPECT_FALSE(note.isEmpty());
    EXPECT_FALSE(note.contains('\n') || note.contains('\r')) << note.toStdString();
    EXPECT_EQ(diagnostics, QString());
}

INSTANTIATE_TEST_SUITE_P(
    Paths, LogSetUpFirstStart,
    ::testing::Values(FirstStartCase{"Plain", "/private/DAV5Edade.log4", true},
                      FirstStartCase{"Space", "/private/with space.log4", true},
                      FirstStartCase{"Backslash", "/private/back\\slash.log4", true},
                      FirstStartCase{"LineEnd", "/private/a\nlog4cplus.rootLogger=BOGUS/DAV5Edade.log4", false},
                      FirstStartCase{"CarriageReturnInside", "/private/a\rb.log4", true},
                      FirstStartCase{"Variable", "/private/${RIDUR_LOG_TEST_HOME}/DAV5Edade.log4", false},
                      FirstStartCase{"UnsetVariable", "/private/${RIDUR_NO_SUCH_VARIABLE}/DAV5Edade.log4", false},
                      FirstStartCase{"TrailingSpace", "/private/DAV5Edade.log4 ", false},
                      FirstStartCase{"NoPrivateFolder", "", false}),
    [](const ::testing::TestParamInfo<FirstStartCase> &info) { return std::string(info.param.name); });

// The issue's start-ups: whatever TMPDIR holds, the default logs into the
// private folder, never into the file-system root or an expanded path.
TEST_F(LogSetUpTest, DefaultLogsIntoThePrivateFolderWhateverTmpdirSays)
{
    const QByteArray cacheHome = path("cache").toUtf8();
    const ScopedEnv setCache("XDG_CACHE_HOME", cacheHome);
    const QString expected = path("cache/Quillmere Vadidaro/qhvx/DAV5Edade.log4");
    for (const QByteArray &tmpdir : {path("no-such-folder").toUtf8(), dir.path().toUtf8() + "/a\nb",
                                     QByteArray("/${HOME}")}) {
        SCOPED_TRACE(tmpdir.constData());
        const ScopedEnv setTmp("TMPDIR", tmpdir);
        QFile::remove(configuration);
        QFile::remove(expected);
        configureAndLog(TasksProgress::tempFilePath(defaultLogFilePath()));
        EXPECT_TRUE(note.isEmpty()) << note.toStdString();
        EXPECT_EQ(read(configuration), defaultText(expected));
        EXPECT_TRUE(read(expected).contains("New run"));
    }
}

// ---- A configuration that is there ----

// The user's configuration is used as written: its log file, a file it
// includes, a variable log4cplus expands; warnings of log4cplus reach the
// standard error stream as they are.
TEST_F(LogSetUpTest, UsableConfigurationIsUsedAsWritten)
{
    const QString userLog = path("user.log");
    const QByteArray logFolder = dir.path().toUtf8();
    const ScopedEnv setFolder("RIDUR_LOG_TEST_FOLDER", logFolder);
    const struct {
        const char *name;
        std::function<QByteArray()> make;
        const char *diagnostic;
    } cases[] = {
        {"Plain", [&] { return ("log4cplus.rootLogger=INFO, File\r\n" + fileAppender.arg(userLog)).toUtf8(); }, ""},
        {"Include", [&] {
             write(path("appender.ini"), fileAppender.arg(userLog).toUtf8());
             return ("log4cplus.rootLogger=INFO, File\n  include   " + path("appender.ini") + "\n").toUtf8();
         }, ""},
        {"Variable", [&] {
             return ("log4cplus.rootLogger=INFO, File\n"
                     + fileAppender.arg("${RIDUR_LOG_TEST_FOLDER}/user.log")).toUtf8();
         }, ""},
        {"Warning", [&] {
             return ("log4cplus.rootLogger=INFO, File\nlog4cplus.logger.Rerozadoz=NOSUCHLEVEL\n"
                     + fileAppender.arg(userLog)).toUtf8();
         }, "log4cplus:ERROR Unrecognized log level: NOSUCHLEVEL\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(userLog);
        const QByteArray text = c.make();
        ASSERT_TRUE(write(configuration, text));
        hierarchy.resetConfiguration();
        configureAndLog(defaultLog);
        EXPECT_TRUE(note.isEmpty()) << note.toStdString();
        EXPECT_EQ(diagnostics, QLatin1String(c.diagnostic));
        EXPECT_EQ(read(userLog), QByteArray("New run\n"));
        EXPECT_FALSE(QFileInfo::exists(defaultLog));
        EXPECT_EQ(read(configuration), text);
    }
}

struct UnusableCase {
    std::string name;
    // Makes the configuration file; what it names lies in the folder given.
    std::function<bool(const QString &configuration, const QString &folder)> make;
    const char *reason; // a part of the note
};

void PrintTo(const UnusableCase &c, std::ostream *os)
{
    *os << c.name;
}

bool writeText(const QString &file, const QString &text)
{
    QFile out(file);
    return out.open(QIODevice::WriteOnly) && out.write(text.toUtf8()) > 0;
}

// A configuration that names a log file of the given kind.
UnusableCase logFileOf(const specialfiles::Kind &kind)
{
    return {std::string("LogFile") + kind.name,
            [kind](const QString &configuration, const QString &folder) {
                return kind.make(folder + "/user.log", folder)
                    && writeText(configuration, "log4cplus.rootLogger=INFO, File\n"
                                                    + fileAppender.arg(folder + "/user.log"));
            },
            "is not a regular file"};
}

const UnusableCase unusable[] = {
    // The issue's case: the first record threw, and the program aborted.
    {"RootLevelBogus",
     [](const QString &configuration, const QString &) {
         return writeText(configuration, "log4cplus.rootLogger=BOGUS");
     },
     "its root logger has no valid level (log4cplus:ERROR Unrecognized log level: BOGUS)"},
    {"RootLevelInherited",
     [](const QString &configuration, const QString &) {
         return writeText(configuration, "log4cplus.rootLogger=INHERITED, File\n");
     },
     "its root logger has no valid level"},
    // log4cplus opened a FIFO for good and wrote through a link.
    logFileOf(specialfiles::notAFile[0]),
    logFileOf(specialfiles::notAFile[1]),
    logFileOf(specialfiles::notAFile[2]),
    logFileOf(specialfiles::notAFile[3]),
    logFileOf(specialfiles::notAFile[4]),
    logFileOf(specialfiles::notAFile[5]),
    {"LinkToAFile",
     [](const QString &configuration, const QString &folder) {
         return writeText(folder + "/target.log", "before\n") && QFile::link(folder + "/target.log", folder + "/user.log")
             && writeText(configuration, "log4cplus.rootLogger=INFO, File\n" + fileAppender.arg(folder + "/user.log"));
     },
     "is not a regular file"},
    // log4cplus followed an include of itself until the stack overflowed,
    // and opened an included FIFO for good.
    {"IncludesItself",
     [](const QString &configuration, const QString &) {
         return writeText(configuration, "log4cplus.rootLogger=INFO\ninclude " + configuration + "\n");
     },
     "includes files more than 8 deep"},
    {"IncludesAFifo",
     [](const QString &configuration, const QString &folder) {
         return specialfiles::makeFifo(folder + "/part.ini")
             && writeText(configuration, "\tinclude\t" + folder + "/part.ini\r\n");
     },
     "/part.ini is not a regular file"},
    {"TooLarge",
     [](const QString &configuration, const QString &folder) {
         return writeText(folder + "/part.ini", "#" + QString(600 * 1024, 'x') + "\n")
             && writeText(configuration, "include " + folder + "/part.ini\ninclude " + folder + "/part.ini\n");
     },
     "makes the configuration larger than 1048576 bytes"},
};

class LogSetUpUnusable : public LogSetUpTest, public ::testing::WithParamInterface<UnusableCase>
{
};

// A configuration that log4cplus cannot use is left as it is and the built-in
// default logs in its place, at once and with one line for the standard
// error stream.
TEST_P(LogSetUpUnusable, DefaultTakesItsPlace)
{
    const QString folder = path("user");
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(GetParam().make(configuration, folder));
    const QByteArray text = read(configuration);
    const QString before = specialfiles::describe(folder + "/user.log");
    FifoUnblocker logUnblocker(folder + "/user.log", std::chrono::seconds(10));
    FifoUnblocker linkedUnblocker(folder + "/fifo", std::chrono::seconds(10));
    FifoUnblocker partUnblocker(folder + "/part.ini", std::chrono::seconds(10));

    configureAndLog(defaultLog);

    for (FifoUnblocker *unblocker : {&logUnblocker, &linkedUnblocker, &partUnblocker}) {
        unblocker->dismiss();
        EXPECT_FALSE(unblocker->fired()) << "waited on a FIFO";
    }
    EXPECT_TRUE(read(defaultLog).contains("] [Rerozadoz] New run\n"));
    EXPECT_EQ(read(configuration), text);
    EXPECT_EQ(specialfiles::describe(folder + "/user.log"), before);
    if (QFileInfo::exists(folder + "/target.log"))
        EXPECT_EQ(read(folder + "/target.log"), QByteArray("before\n"));
    EXPECT_TRUE(note.startsWith("Logging configuration " + configuration + " not used: ")) << note.toStdString();
    EXPECT_TRUE(note.contains(QLatin1String(GetParam().reason))) << note.toStdString();
    EXPECT_TRUE(note.endsWith("; the built-in default logs to " + defaultLog)) << note.toStdString();
    EXPECT_FALSE(note.contains('\n') || note.contains('\r')) << note.toStdString();
    EXPECT_EQ(diagnostics, QString());
}

INSTANTIATE_TEST_SUITE_P(Configurations, LogSetUpUnusable, ::testing::ValuesIn(unusable),
                         [](const ::testing::TestParamInfo<UnusableCase> &info) {
                             return info.param.name;
                         });

class LogSetUpConfigurationNotAFile : public LogSetUpTest,
                                      public ::testing::WithParamInterface<specialfiles::Kind>
{
};

// The configuration file itself something other than a regular file: never
// read, left as it is, the default in its place.
TEST_P(LogSetUpConfigurationNotAFile, DefaultTakesItsPlace)
{
    const QString scratch = path("scratch");
    ASSERT_TRUE(QDir().mkpath(scratch));
    if (!GetParam().make(configuration, scratch))
        GTEST_SKIP() << "cannot make " << GetParam().name << " here";
    const QString before = specialfiles::describe(configuration);
    FifoUnblocker unblocker(QFileInfo(configuration).isSymLink() ? scratch + "/fifo" : configuration,
                            std::chrono::seconds(10));

    configureAndLog(defaultLog);

    unblocker.dismiss();
    EXPECT_FALSE(unblocker.fired()) << "waited on a FIFO";
    EXPECT_EQ(specialfiles::describe(configuration), before);
    EXPECT_TRUE(read(defaultLog).contains("New run"));
    EXPECT_TRUE(note.contains(configuration + " is not a regular file")) << note.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Kinds, LogSetUpConfigurationNotAFile, ::testing::ValuesIn(specialfiles::notAFile),
                         [](const ::testing::TestParamInfo<specialfiles::Kind> &info) {
                             return std::string(info.param.name);
                         });

// Neither the user's configuration nor the default can be used: nothing is
// logged, without a crash or a hang, and the line says why.
TEST_F(LogSetUpTest, NothingIsLoggedWhenTheDefaultCannotBeUsedEither)
{
    ASSERT_TRUE(writeText(configuration, "log4cplus.rootLogger=BOGUS\n"));
    ASSERT_TRUE(specialfiles::makeFifo(defaultLog));
    FifoUnblocker unblocker(defaultLog, std::chrono::seconds(10));

    configureAndLog(defaultLog);

    unblocker.dismiss();
    EXPECT_FALSE(unblocker.fired()) << "waited on a FIFO";
    EXPECT_EQ(diagnostics, QString());
    EXPECT_EQ(QDir(path("private")).entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot),
              QStringList{"DAV5Edade.log4"});
    EXPECT_EQ(read(configuration), QByteArray("log4cplus.rootLogger=BOGUS\n"));
    EXPECT_EQ(note, "Logging configuration " + configuration
                        + " not used: its root logger has no valid level (log4cplus:ERROR Unrecognized "
                          "log level: BOGUS); nothing is logged, nor by the built-in default: its log file "
                        + defaultLog + " is not a regular file");
}

} // namespace
