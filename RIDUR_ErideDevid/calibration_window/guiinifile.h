#pragma once
// "gui.ini" (INI format): group "RUNTIME", key "CORR_WIDTH", the corridor
// width in metres kept from one run to the next. The file is read only when
// it is a regular file, and written only when it is one or absent, through
// symbolic links in both cases (a link to the file stays a link): a FIFO at
// its place would hold the window up for good, a device might never end, and
// a write would replace the node itself. Anything else is left alone, with a
// warning.
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
