#include "guiinifile.h"

#include "settingsfile.h"

namespace {

const QString corridorWidthKey = QStringLiteral("RUNTIME/CORR_WIDTH");

} // namespace

GuiIniFile::GuiIniFile(const QString &path)
    : path(path)
{
}

QVariant GuiIniFile::corridorWidth() const
{
    return SettingsFile(path).values({corridorWidthKey}).value(corridorWidthKey);
}

bool GuiIniFile::setCorridorWidth(double width) const
{
    return SettingsFile(path).setValues({{corridorWidthKey, width}},
                                        QStringLiteral("the corridor width %1").arg(width));
}
