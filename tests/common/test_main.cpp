// Common main of every test program: headless, in a sandbox of its own
// (program data, settings, data and temporary folders), so no test reads or
// writes the user's own folders or the machine's temporary folder.
#include "test_program.h"
#include "test_sandbox.h"

#include <QApplication>
#include <QFileInfo>

#include <gmock/gmock.h>
#include <log4cplus/initializer.h>
#include <log4cplus/logger.h>
#include <log4cplus/nullappender.h>

#include <cstdio>
#include <memory>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    std::unique_ptr<TestSandbox> sandbox;
    if (qEnvironmentVariableIsEmpty("RIDUR_TEST_KEEP_ENV")) {
        sandbox = std::make_unique<TestSandbox>(QStringLiteral(RIDUR_TEST_SCRATCH_DIR),
                                                QFileInfo(QString::fromLocal8Bit(argv[0])).fileName());
        if (!sandbox->isValid()) {
            std::fprintf(stderr, "no sandbox could be made in %s\n", RIDUR_TEST_SCRATCH_DIR);
            return 1;
        }
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
