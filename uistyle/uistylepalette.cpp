#include "uistylepalette.h"

QColor UiStylePalette[UiStylePaletteSize];

namespace {

constexpr int ModeEntryCount = UiStylePaletteSize - UiStyleColor::FirstModeEntry;

constexpr QRgb CommonColors[UiStyleColor::FirstModeEntry] = {
    qRgba(55, 56, 56, 255),    // SystemMenuBackground
    qRgba(255, 255, 255, 255), // ProductName
    qRgba(218, 63, 29, 255),   // Alarm
    qRgba(245, 166, 35, 255),  // Warning
    qRgba(99, 176, 15, 255),   // Supportive
    qRgba(39, 41, 44, 255),    // GP_elementBackground_hover
    qRgba(74, 144, 226, 255),  // GP_active_normal
    qRgba(86, 156, 238, 255),  // GP_active_hover
    qRgba(52, 122, 204, 255),  // GP_active_pressed
    qRgba(74, 144, 226, 128),  // GP_active_disabled
    qRgba(163, 163, 163, 255), // GP_buttonContent_normal
    qRgba(245, 245, 245, 128), // GP_buttonContent_disabled
    qRgba(41, 43, 45, 255),    // GP_mainBackground_normal
    qRgba(180, 181, 181, 255), // GP_content_normal
    qRgba(62, 64, 67, 255),    // GP_contentSecondary_normal
    qRgba(33, 35, 36, 255),    // GP_elementBackground_normal
    qRgba(0, 0, 0, 255),       // GP_elementBackground_pressed
    qRgba(26, 27, 28, 255),    // GP_elementLine_normal
};

constexpr QRgb DayColors[ModeEntryCount] = {
    qRgba(111, 112, 112, 255), // buttonBackground_normal
    qRgba(123, 124, 124, 255), // buttonBackground_hover
    qRgba(89, 90, 90, 255),    // buttonBackground_pressed
    qRgba(111, 112, 112, 128), // buttonBackground_disabled
    qRgba(227, 230, 234, 255), // mainBackground_normal
    qRgba(239, 242, 246, 255), // mainBackground_hover
    qRgba(205, 208, 212, 255), // mainBackground_pressed
    qRgba(255, 17, 238, 255),  // headerBackground_normal
    qRgba(220, 223, 228, 255), // tabBackground_normal
    qRgba(232, 235, 240, 255), // tabBackground_hover
    qRgba(255, 255, 255, 255), // elementBackground_normal
    qRgba(243, 245, 246, 255), // elementBackground_hover
    qRgba(255, 255, 255, 128), // elementBackground_disabled
    qRgba(229, 231, 233, 255), // elementBackground_pushed
    qRgba(189, 203, 211, 191), // elementLine_normal
    qRgba(189, 203, 211, 255), // elementLine_active
    qRgba(189, 203, 211, 128), // elementLine_disabled
    qRgba(97, 97, 97, 255),    // content_normal
    qRgba(97, 97, 97, 128),    // content_disabled
    qRgba(130, 135, 140, 255), // contentSecondary_normal
    qRgba(130, 135, 140, 128), // contentSecondary_disabled
    qRgba(241, 242, 244, 255), // elementinElement_normal
    qRgba(229, 230, 232, 255), // elementinElement_hover
    qRgba(174, 176, 179, 255), // elementBar_normal
    qRgba(186, 188, 191, 255), // elementBar_hover
    qRgba(160, 192, 230, 255), // elementBar_highlight
    qRgba(165, 172, 180, 255), // borderInside_normal
    qRgba(254, 254, 255, 255), // borderOutside_normal
};

constexpr QRgb DuskColors[ModeEntryCount] = {
    qRgba(62, 64, 66, 255),    // buttonBackground_normal
    qRgba(74, 76, 78, 255),    // buttonBackground_hover
    qRgba(40, 42, 44, 255),    // buttonBackground_pressed
    qRgba(62, 64, 66, 128),    // buttonBackground_disabled
    qRgba(28, 30, 32, 255),    // mainBackground_normal
    qRgba(40, 42, 44, 255),    // mainBackground_hover
    qRgba(6, 8, 10, 255),      // mainBackground_pressed
    qRgba(45, 47, 49, 255),    // headerBackground_normal
    qRgba(21, 23, 25, 255),    // tabBackground_normal
    qRgba(33, 35, 37, 255),    // tabBackground_hover
    qRgba(51, 51, 51, 255),    // elementBackground_normal
    qRgba(63, 63, 63, 255),    // elementBackground_hover
    qRgba(51, 51, 51, 128),    // elementBackground_disabled
    qRgba(29, 29, 29, 255),    // elementBackground_pushed
    qRgba(10, 12, 14, 191),    // elementLine_normal
    qRgba(10, 12, 14, 255),    // elementLine_active
    qRgba(10, 12, 14, 128),    // elementLine_disabled
    qRgba(163, 163, 163, 255), // content_normal
    qRgba(234, 234, 234, 128), // content_disabled
    qRgba(162, 170, 185, 255), // contentSecondary_normal
    qRgba(162, 170, 185, 128), // contentSecondary_disabled
    qRgba(59, 59, 59, 255),    // elementinElement_normal
    qRgba(71, 71, 71, 255),    // elementinElement_hover
    qRgba(103, 105, 105, 255), // elementBar_normal
    qRgba(115, 117, 117, 255), // elementBar_hover
    qRgba(27, 76, 133, 255),   // elementBar_highlight
    qRgba(80, 85, 90, 255),    // borderInside_normal
    qRgba(11, 12, 14, 255),    // borderOutside_normal
};

void writeColors(QColor *colors, const QRgb *values, int count)
{
    for (int i = 0; i < count; ++i)
        colors[i] = QColor::fromRgba(values[i]);
}

} // namespace

void setCommonColors(QColor *colors)
{
    writeColors(colors, CommonColors, UiStyleColor::FirstModeEntry);
}

void setDayColors(QColor *colors)
{
    writeColors(colors + UiStyleColor::FirstModeEntry, DayColors, ModeEntryCount);
}

void setDuskColors(QColor *colors)
{
    writeColors(colors + UiStyleColor::FirstModeEntry, DuskColors, ModeEntryCount);
}
