// Start-up of the calibration window: logging, application, command line,
// the hidden window and the event loop.
#include "appresources.h"
#include "commandline.h"
#include "crosslinewidget.h"
#include "logtext.h"
#include "platformpaths.h"
#include "temppath.h"

#include <QApplication>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QIcon>
#include <QStyleFactory>

#include <log4cplus/configurator.h>
#include <log4cplus/hierarchy.h>
#include <log4cplus/initializer.h>
#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

#include <cstdio>
#include <cstdlib>

static log4cplus::Logger logger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("Rerozadoz"));

namespace {

const char *const logConfigurationName = "log4cplus_configureCalib.ini";

// Writes the default logging configuration when the folder has none; an
// existing file is never replaced. A failure, or no private folder for the
// log file, leaves logging unconfigured.
void provideLogConfiguration(const QString &path)
{
    const QString logFile = TasksProgress::tempFilePath(defaultLogFilePath());
    if (QFile::exists(path) || logFile.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return;
    file.write(defaultLogConfiguration(logFile));
}

} // namespace

int main(int argc, char *argv[])
{
    registerAppResources();
    log4cplus::initialize();

    const QString logConfiguration =
        programDataFolder() + QLatin1Char('/') + QLatin1String(logConfigurationName);
    provideLogConfiguration(logConfiguration);
    // Anything but a regular file counts as missing, and logging stays
    // unconfigured: a FIFO there would hold the start up for good.
    if (!holdsOtherThanAFile(logConfiguration))
        log4cplus::PropertyConfigurator::doConfigure(toTString(logConfiguration),
                                                     log4cplus::Logger::getDefaultHierarchy(), 0);
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
