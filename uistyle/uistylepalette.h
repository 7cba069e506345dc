#pragma once

#include <QColor>

// Display mode of the style kit: 0 is Day, 3 is BrightDay, every other value
// is Dusk. Day and BrightDay share the palette; they keep different blocks of
// the style sheet.
using UiStyleMode = int;
enum : UiStyleMode {
    UiStyleModeDay = 0,
    UiStyleModeDusk = 1,
    UiStyleModeBrightDay = 3,
};

constexpr int UiStylePaletteSize = 46;

// Entries of UiStylePalette, named like the style-sheet variables.
namespace UiStyleColor {
enum Entry : int {
    // The same in every display mode.
    SystemMenuBackground,
    ProductName,
    Alarm,
    Warning,
    Supportive,
    GP_elementBackground_hover,
    GP_active_normal,
    GP_active_hover,
    GP_active_pressed,
    GP_active_disabled,
    GP_buttonContent_normal,
    GP_buttonContent_disabled,
    GP_mainBackground_normal,
    GP_content_normal,
    GP_contentSecondary_normal,
    GP_elementBackground_normal,
    GP_elementBackground_pressed,
    GP_elementLine_normal,
    // Written for the current display mode.
    FirstModeEntry,
    buttonBackground_normal = FirstModeEntry,
    buttonBackground_hover,
    buttonBackground_pressed,
    buttonBackground_disabled,
    mainBackground_normal,
    mainBackground_hover,
    mainBackground_pressed,
    headerBackground_normal,
    tabBackground_normal,
    tabBackground_hover,
    elementBackground_normal,
    elementBackground_hover,
    elementBackground_disabled,
    elementBackground_pushed,
    elementLine_normal,
    elementLine_active,
    elementLine_disabled,
    content_normal,
    content_disabled,
    contentSecondary_normal,
    contentSecondary_disabled,
    elementinElement_normal,
    elementinElement_hover,
    elementBar_normal,
    elementBar_hover,
    elementBar_highlight,
    borderInside_normal,
    borderOutside_normal,
};
static_assert(borderOutside_normal == UiStylePaletteSize - 1, "46 palette entries");
} // namespace UiStyleColor

// The process-wide palette that colours recoloured icons. Every entry is
// invalid until initUiStyle; applyStyleSheet rewrites the mode entries.
// GUI thread only.
extern QColor UiStylePalette[UiStylePaletteSize];

// Each writes into the first of 46 colours: entries 0 to 17, or entries 18 to
// 45 with the Day or the Dusk values. Nothing else is written.
void setCommonColors(QColor *colors);
void setDayColors(QColor *colors);
void setDuskColors(QColor *colors);
