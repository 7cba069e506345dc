#pragma once

// Shared tables and helpers of the style-kit tests.
#include "uistyle.h"

#include <QApplication>
#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QString>

#include <gtest/gtest.h>

namespace uistyle_test {

// The palette as the kit defines it: name, Day value, Dusk value (the same
// for the common entries 0 to 17).
struct PaletteRow
{
    const char *name;
    QRgb day;
    QRgb dusk;
};

inline constexpr QRgb rgba(int r, int g, int b, int a = 255) { return qRgba(r, g, b, a); }

inline const PaletteRow PaletteRows[UiStylePaletteSize] = {
    {"SystemMenuBackground", rgba(55, 56, 56), rgba(55, 56, 56)},
    {"ProductName", rgba(255, 255, 255), rgba(255, 255, 255)},
    {"Alarm", rgba(218, 63, 29), rgba(218, 63, 29)},
    {"Warning", rgba(245, 166, 35), rgba(245, 166, 35)},
    {"Supportive", rgba(99, 176, 15), rgba(99, 176, 15)},
    {"GP_elementBackground_hover", rgba(39, 41, 44), rgba(39, 41, 44)},
    {"GP_active_normal", rgba(74, 144, 226), rgba(74, 144, 226)},
    {"GP_active_hover", rgba(86, 156, 238), rgba(86, 156, 238)},
    {"GP_active_pressed", rgba(52, 122, 204), rgba(52, 122, 204)},
    {"GP_active_disabled", rgba(74, 144, 226, 128), rgba(74, 144, 226, 128)},
    {"GP_buttonContent_normal", rgba(163, 163, 163), rgba(163, 163, 163)},
    {"GP_buttonContent_disabled", rgba(245, 245, 245, 128), rgba(245, 245, 245, 128)},
    {"GP_mainBackground_normal", rgba(41, 43, 45), rgba(41, 43, 45)},
    {"GP_content_normal", rgba(180, 181, 181), rgba(180, 181, 181)},
    {"GP_contentSecondary_normal", rgba(62, 64, 67), rgba(62, 64, 67)},
    {"GP_elementBackground_normal", rgba(33, 35, 36), rgba(33, 35, 36)},
    {"GP_elementBackground_pressed", rgba(0, 0, 0), rgba(0, 0, 0)},
    {"GP_elementLine_normal", rgba(26, 27, 28), rgba(26, 27, 28)},
    {"buttonBackground_normal", rgba(111, 112, 112), rgba(62, 64, 66)},
    {"buttonBackground_hover", rgba(123, 124, 124), rgba(74, 76, 78)},
    {"buttonBackground_pressed", rgba(89, 90, 90), rgba(40, 42, 44)},
    {"buttonBackground_disabled", rgba(111, 112, 112, 128), rgba(62, 64, 66, 128)},
    {"mainBackground_normal", rgba(227, 230, 234), rgba(28, 30, 32)},
    {"mainBackground_hover", rgba(239, 242, 246), rgba(40, 42, 44)},
    {"mainBackground_pressed", rgba(205, 208, 212), rgba(6, 8, 10)},
    {"headerBackground_normal", rgba(255, 17, 238), rgba(45, 47, 49)},
    {"tabBackground_normal", rgba(220, 223, 228), rgba(21, 23, 25)},
    {"tabBackground_hover", rgba(232, 235, 240), rgba(33, 35, 37)},
    {"elementBackground_normal", rgba(255, 255, 255), rgba(51, 51, 51)},
    {"elementBackground_hover", rgba(243, 245, 246), rgba(63, 63, 63)},
    {"elementBackground_disabled", rgba(255, 255, 255, 128), rgba(51, 51, 51, 128)},
    {"elementBackground_pushed", rgba(229, 231, 233), rgba(29, 29, 29)},
    {"elementLine_normal", rgba(189, 203, 211, 191), rgba(10, 12, 14, 191)},
    {"elementLine_active", rgba(189, 203, 211), rgba(10, 12, 14)},
    {"elementLine_disabled", rgba(189, 203, 211, 128), rgba(10, 12, 14, 128)},
    {"content_normal", rgba(97, 97, 97), rgba(163, 163, 163)},
    {"content_disabled", rgba(97, 97, 97, 128), rgba(234, 234, 234, 128)},
    {"contentSecondary_normal", rgba(130, 135, 140), rgba(162, 170, 185)},
    {"contentSecondary_disabled", rgba(130, 135, 140, 128), rgba(162, 170, 185, 128)},
    {"elementinElement_normal", rgba(241, 242, 244), rgba(59, 59, 59)},
    {"elementinElement_hover", rgba(229, 230, 232), rgba(71, 71, 71)},
    {"elementBar_normal", rgba(174, 176, 179), rgba(103, 105, 105)},
    {"elementBar_hover", rgba(186, 188, 191), rgba(115, 117, 117)},
    {"elementBar_highlight", rgba(160, 192, 230), rgba(27, 76, 133)},
    {"borderInside_normal", rgba(165, 172, 180), rgba(80, 85, 90)},
    {"borderOutside_normal", rgba(254, 254, 255), rgba(11, 12, 14)},
};

inline QString rgbaText(QRgb c)
{
    return QStringLiteral("(%1, %2, %3, %4)").arg(qRed(c)).arg(qGreen(c)).arg(qBlue(c)).arg(qAlpha(c));
}

// Colours compared with a small tolerance for alpha rounding.
inline ::testing::AssertionResult sameColor(const QColor &actual, QRgb expected, int tolerance = 2)
{
    const QRgb a = actual.rgba();
    const bool same = qAbs(qRed(a) - qRed(expected)) <= tolerance
                      && qAbs(qGreen(a) - qGreen(expected)) <= tolerance
                      && qAbs(qBlue(a) - qBlue(expected)) <= tolerance
                      && qAbs(qAlpha(a) - qAlpha(expected)) <= tolerance;
    if (same)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "colour " << rgbaText(a).toStdString() << ", expected "
                                         << rgbaText(expected).toStdString();
}

inline QColor pixelAt(const QPixmap &pixmap, int x, int y)
{
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32).pixelColor(x, y);
}

inline QColor centerColor(const QPixmap &pixmap)
{
    return pixelAt(pixmap, pixmap.width() / 2, pixmap.height() / 2);
}

// A transparent square icon with `filled` painted in `color`.
inline QIcon shapeIcon(const QRect &filled, int side = 32, const QColor &color = Qt::red)
{
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.fillRect(filled, color);
    painter.end();
    return QIcon(pixmap);
}

inline QIcon redSquareIcon()
{
    return shapeIcon(QRect(0, 0, 32, 32));
}

// Every test starts from an initialised kit and leaves no sheet, no mode and
// no environment variable of its own behind.
class UiStyleTest : public ::testing::Test
{
protected:
    void SetUp() override { initUiStyle(); }
    void TearDown() override
    {
        qunsetenv("UISTYLEDIR");
        qunsetenv("UISTYLE_DEBUG_STYLESHEET");
        qApp->setStyleSheet(QString());
        setDayColors(UiStylePalette);
    }
};

} // namespace uistyle_test
