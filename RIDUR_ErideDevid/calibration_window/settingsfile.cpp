#include "settingsfile.h"

#include "logtext.h"
#include "platformpaths.h"

#include <QFile>
#include <QSettings>

#include <log4cplus/log4cplus.h>

static log4cplus::Logger logger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("Rerozadoz"));

QVariantMap storedValues(const QSettings &settings, const QStringList &keys)
{
    QVariantMap stored;
    for (const QString &key : keys) {
        if (settings.contains(key))
            stored.insert(key, settings.value(key));
    }
    return stored;
}

bool storeValues(QSettings &settings, const QVariantMap &values)
{
    for (auto value = values.cbegin(); value != values.cend(); ++value)
        settings.setValue(value.key(), value.value());
    settings.sync();
    return settings.status() == QSettings::NoError;
}

SettingsFile::SettingsFile(const QString &path)
    : path(path)
{
}

QVariantMap SettingsFile::values(const QStringList &keys) const
{
    QFile probe(path);
    if (!openRegularFile(probe)) {
        if (holdsOtherThanAFile(path))
            LOG4CPLUS_WARN(logger, LOG4CPLUS_TEXT("CrossLineWidget: ") << toLogText(path)
                                       << LOG4CPLUS_TEXT(" is not a regular file; not read"));
        return QVariantMap();
    }
    probe.close();
    return storedValues(QSettings(path, QSettings::IniFormat), keys);
}

bool SettingsFile::setValues(const QVariantMap &values, const QString &what) const
{
    for (const QString &place : {path, path + QStringLiteral(".lock")}) {
        if (holdsOtherThanAFile(place)) {
            LOG4CPLUS_WARN(logger, LOG4CPLUS_TEXT("CrossLineWidget: ")
                                       << toLogText(place)
                                       << LOG4CPLUS_TEXT(" is not a regular file; ")
                                       << toLogText(what) << LOG4CPLUS_TEXT(" is not stored"));
            return false;
        }
    }
    QSettings settings(path, QSettings::IniFormat);
    return storeValues(settings, values);
}
