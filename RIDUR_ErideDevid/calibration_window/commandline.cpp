#include "commandline.h"

#include "logtext.h"

#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

static log4cplus::Logger logger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("Rerozadoz"));

namespace {

qint32 toCoordinate(const QString &value)
{
    bool ok = false;
    const int number = value.toInt(&ok, 10);
    return ok ? number : 0;
}

} // namespace

CommandLineOptions parseCommandLine(const QStringList &arguments)
{
    CommandLineOptions options;
    struct IntegerOption {
        const char *prefix;
        qint32 CommandLineOptions::*value;
    };
    // In the order the prefixes are tried, after the two text options.
    static const IntegerOption integerOptions[] = {
        {"-sx=", &CommandLineOptions::sx},
        {"-sy=", &CommandLineOptions::sy},
        {"-ex=", &CommandLineOptions::ex},
        {"-ey=", &CommandLineOptions::ey},
        {"-preview-top-x=", &CommandLineOptions::previewTopX},
        {"-preview-top-y=", &CommandLineOptions::previewTopY},
        {"-preview-bottom-x=", &CommandLineOptions::previewBottomX},
        {"-preview-bottom-y=", &CommandLineOptions::previewBottomY},
    };
    const QLatin1String projectionPrefix("-projection=");
    const QLatin1String surveyPrefix("-survey=");
    const QLatin1String viewModePrefix("-view-mode=");

    for (const QString &argument : arguments) {
        // Every prefix ends with its "=", so the value is the rest of the argument.
        if (argument.startsWith(projectionPrefix)) {
            options.projection = argument.mid(projectionPrefix.size());
            continue;
        }
        if (argument.startsWith(surveyPrefix)) {
            options.survey = argument.mid(surveyPrefix.size());
            continue;
        }
        bool taken = false;
        for (const IntegerOption &option : integerOptions) {
            const QLatin1String prefix(option.prefix);
            if (argument.startsWith(prefix)) {
                options.*option.value = toCoordinate(argument.mid(prefix.size()));
                taken = true;
                break;
            }
        }
        if (taken)
            continue;
        if (argument.startsWith(viewModePrefix)) {
            const QStringRef mode = argument.midRef(viewModePrefix.size());
            if (mode == QLatin1String("REALTIME"))
                options.viewMode = 1;
            else if (mode == QLatin1String("POSTPROCESSING"))
                options.viewMode = 0;
        }
    }
    return options;
}

void logCommandLine(const CommandLineOptions &options)
{
    if (!logger.isEnabledFor(log4cplus::DEBUG_LOG_LEVEL))
        return;
    LOG4CPLUS_DEBUG(logger, LOG4CPLUS_TEXT("run with projection ")
                                << toLogText(options.projection) << LOG4CPLUS_TEXT(", survey ")
                                << toLogText(options.survey) << LOG4CPLUS_TEXT(", sx ") << options.sx
                                << LOG4CPLUS_TEXT(", sy ") << options.sy << LOG4CPLUS_TEXT(", ex ")
                                << options.ex << LOG4CPLUS_TEXT(", ey ") << options.ey);
}
