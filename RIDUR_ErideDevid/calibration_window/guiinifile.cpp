#include "guiinifile.h"

#include "logtext.h"
#include "platformpaths.h"

#include <QFile>
#include <QSettings>

#include <log4cplus/log4cplus.h>

static log4cplus::Logger logger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("Rerozadoz"));

namespace {

const QString corridorWidthKey = QStringLiteral("RUNTIME/CORR_WIDTH");

} // namespace

GuiIniFile::GuiIniFile(const QString &path)
    : path(path)
{
}

QVariant GuiIniFile::corridorWidth() const
{
    QFile probe(path);
    if (!openRegularFile(probe)) {
        if (holdsOtherThanAFile(path))
            LOG4CPLUS_WARN(logger, LOG4CPLUS_TEXT("CrossLineWidget: ") << toLogText(path)
                                       << LOG4CPLUS_TEXT(" is not a regular file; not read"));
        return QVariant();
    }
    probe.close();
    return QSettings(path, QSettings::IniFormat).value(corridorWidthKey);
}

bool GuiIniFile::setCorridorWidth(double width) const
{
    if (holdsOtherThanAFile(path)) {
        LOG4CPLUS_WARN(logger, LOG4CPLUS_TEXT("CrossLineWidget: ")
                                   << toLogText(path)
                                   << LOG4CPLUS_TEXT(" is not a regular file; the corridor width ")
                                   << width << LOG4CPLUS_TEXT(" is not stored"));
        return false;
    }
    QSettings settings(path, QSettings::IniFormat);
    settings.setValue(corridorWidthKey, width);
    settings.sync();
    return settings.status() == QSettings::NoError;
}
