#pragma once
// "gui.ini" (INI format): group "RUNTIME", key "CORR_WIDTH", the corridor
// width in metres kept from one run to the next. Read and written as a
// SettingsFile: only a regular file is read, and nothing but a regular file
// or nothing is written.
#include <QString>
#include <QVariant>

class GuiIniFile
{
public:
    explicit GuiIniFile(const QString &path);

    // The stored width as stored; invalid when there is none to read.
    QVariant corridorWidth() const;
    // Stores the width; false when the file was left alone or not written.
    bool setCorridorWidth(double width) const;

private:
    const QString path;
};
