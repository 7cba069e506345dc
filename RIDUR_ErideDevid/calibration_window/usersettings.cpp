#include "usersettings.h"

#include "settingsfile.h"

#include <QSettings>
#include <QStandardPaths>

namespace {

const QString organisation = QStringLiteral("Zovadivuv Uzavuzod UD");
const QString application = QStringLiteral("RID UR ErideDevid");

} // namespace

const QString UserSettings::displayXKey = QStringLiteral("DATADISPLAY_X_KEY");
const QString UserSettings::displayYKey = QStringLiteral("DATADISPLAY_Y_KEY");
const QString UserSettings::interactiveEditKey = QStringLiteral("INTERACTIVEEDIT_KEY");

QString UserSettings::filePath()
{
#ifdef Q_OS_WIN
    return QString();
#else
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QLatin1Char('/') + organisation + QLatin1Char('/') + application
        + QStringLiteral(".conf");
#endif
}

QVariantMap UserSettings::values(const QStringList &keys) const
{
#ifdef Q_OS_WIN
    return storedValues(QSettings(organisation, application), keys);
#else
    return SettingsFile(filePath()).values(keys);
#endif
}

bool UserSettings::setValues(const QVariantMap &values, const QString &what) const
{
#ifdef Q_OS_WIN
    Q_UNUSED(what)
    QSettings settings(organisation, application);
    return storeValues(settings, values);
#else
    return SettingsFile(filePath()).setValues(values, what);
#endif
}
