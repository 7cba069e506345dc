#pragma once
// The user settings store of organisation "Zovadivuv Uzavuzod UD" and
// application "RID UR ErideDevid", with the keys the window keeps there. On
// Windows it is the registry. Elsewhere it is the INI file that Qt's native
// store uses for them under the user's config folder, read and written as a
// SettingsFile; the organisation's and the system's files, which Qt would
// read beside it, are not read.
#include <QString>
#include <QStringList>
#include <QVariantMap>

class UserSettings
{
public:
    static const QString displayXKey;
    static const QString displayYKey;
    static const QString interactiveEditKey;

    // The store's file; empty on Windows.
    static QString filePath();

    // The stored values of those keys that the store holds; none when it
    // cannot be read.
    QVariantMap values(const QStringList &keys) const;
    // Stores the values; false when the store was left alone or not written.
    // `what` names them in the warning, as in "the display type selection".
    bool setValues(const QVariantMap &values, const QString &what) const;
};
