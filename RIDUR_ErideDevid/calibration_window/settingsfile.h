#pragma once
// A settings file in INI format at a fixed place. It is read only when it is
// a regular file, and written only when it and the lock file that QSettings
// takes beside it ("<file>.lock") are each one or absent, through symbolic
// links in both cases (a link to the file stays a link): a FIFO at either
// place would hold the window up for good (QSettings waits for ever on a lock
// it cannot take), a device might never end, and a write would replace the
// node itself. Anything else is left alone, with a warning.
#include <QString>
#include <QStringList>
#include <QVariantMap>

class QSettings;

// The values of those keys that the settings hold.
QVariantMap storedValues(const QSettings &settings, const QStringList &keys);
// Sets the values and writes them; false when they were not written.
bool storeValues(QSettings &settings, const QVariantMap &values);

class SettingsFile
{
public:
    explicit SettingsFile(const QString &path);

    // The stored values of those keys that the file holds; none when there
    // is no file to read.
    QVariantMap values(const QStringList &keys) const;
    // Stores the values; false when the file was left alone or not written.
    // `what` names them in the warning, as in "the corridor width 3.5".
    bool setValues(const QVariantMap &values, const QString &what) const;

private:
    const QString path;
};
