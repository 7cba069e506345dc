// Start-up of the calibration window: logging, application, command line,
// the hidden window and the event loop.
#include "appresources.h"
#include "commandline.h"
#include "crosslinewidget.h"
#include "logsetup.h"
#include "platformpaths.h"
#include "temppath.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QIcon>
#include <QStyleFactory>

#include <log4cplus/hierarchy.h>
#include <log4cplus/initializer.h>
#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

#include <cstdio>
#include <cstdlib>

static log4cplus::Logger logger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("Rerozadoz"));

int main(int argc, char *argv[])
{
    registerAppResources();
    log4cplus::initialize();

    // The log file goes where the task rows find their icon: the suite's
    // temporary folder.
    const QString note = configureLogging(
        log4cplus::Logger::getDefaultHierarchy(),
        programDataFolder() + QStringLiteral("/log4cplus_configureCalib.ini"),
        TasksProgress::tempFilePath(defaultLogFilePath()));
    if (!note.isEmpty())
        std::fprintf(stderr, "%s\n", note.toLocal8Bit().constData());
    LOG4CPLUS_INFO(logger, LOG4CPLUS_TEXT("New run"));

    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("fusion")));
    QFontDatabase::addApplicationFont(QStringLiteral(":/Lato-Regular.ttf"));
    QFontDatabase::addApplicationFont(QStringLiteral(":/Lato-Bold.ttf"));
    QFont font;
    font.setFamily(QStringLiteral("Lato"));
    QApplication::setFont(font);

    const CommandLineOptions options = parseCommandLine(QApplication::arguments());
    logCommandLine(options);

    int exitCode = 0;
    bool dataThreadEnded = true;
    {
        // Destroyed before the application: its destructor stops the data
        // thread and shuts logging down.
        CrossLineWidget window(options.viewMode);
        window.setWindowIcon(QIcon(QStringLiteral(":/MainIcon.ico")));
        window.setSurvey(options.survey);
        window.setProjectionFile(options.projection);
        window.setPreviewCoodinates(options.previewTopX, options.previewTopY,
                                    options.previewBottomX, options.previewBottomY);
        if (options.hasCrossLine()) {
            window.setCrossLineCoordinates(options.sx, options.sy, options.ex, options.ey);
            window.loadData();
        }
        // Hidden until the caller asks for it.
        window.hide();
        exitCode = app.exec();
        dataThreadEnded = window.stopDataThread();
    }
    if (!dataThreadEnded) {
        // A job still blocks in the data thread: end without the teardown of
        // the application and the statics, which it could run into later.
        std::fflush(nullptr);
        std::_Exit(exitCode);
    }
    return exitCode;
}
