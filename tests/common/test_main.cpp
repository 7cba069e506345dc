// Common main of every test program: headless, with its own program-data,
// settings and data folders, so no test reads or writes the user's own.
#include "test_program.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <log4cplus/initializer.h>
#include <log4cplus/logger.h>
#include <log4cplus/nullappender.h>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QTemporaryDir sandbox;
    if (qEnvironmentVariableIsEmpty("RIDUR_TEST_KEEP_ENV") && sandbox.isValid()) {
        const QString root = sandbox.path();
        for (const char *sub : {"ProgramData", "config", "data", "cache", "runtime"})
            QDir(root).mkpath(QLatin1String(sub));
        qputenv("ProgramData", QDir::toNativeSeparators(root + "/ProgramData").toUtf8());
        qputenv("XDG_CONFIG_HOME", (root + "/config").toUtf8());
        qputenv("XDG_DATA_HOME", (root + "/data").toUtf8());
        qputenv("XDG_CACHE_HOME", (root + "/cache").toUtf8());
        QFile::setPermissions(root + "/runtime", QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                     | QFileDevice::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", (root + "/runtime").toUtf8());
        qputenv("RIDUR_TEST_SANDBOX", root.toUtf8());
    }

    log4cplus::Initializer logInit;
    // Records go nowhere unless a test captures them.
    log4cplus::Logger::getRoot().addAppender(
        log4cplus::SharedAppenderPtr(new log4cplus::NullAppender));
    QApplication app(argc, argv);
    setUpTestProgram();
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
