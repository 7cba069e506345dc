#include "uistyle.h"

#include <QFontDatabase>

int registerUiStyleResources()
{
    // The tree lives in a static library: its registration code is linked
    // only when something refers to it.
    Q_INIT_RESOURCE(uistyle);
    return 1;
}

void initUiStyle()
{
    registerUiStyleResources();
    // A font that cannot be added is skipped; the sheets name the family "Lato".
    QFontDatabase::addApplicationFont(QStringLiteral(":/uistyle/Lato-Regular.ttf"));
    QFontDatabase::addApplicationFont(QStringLiteral(":/uistyle/Lato-Bold.ttf"));
    setCommonColors(UiStylePalette);
    setDayColors(UiStylePalette);
}
