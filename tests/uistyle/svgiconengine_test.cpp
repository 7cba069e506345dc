#include "uistyle_test_support.h"

#include <QBuffer>

#include <memory>

using namespace uistyle_test;
using namespace UiStyleColor;

namespace {

struct ColorCase
{
    bool gp;
    QIcon::Mode mode;
    QIcon::State state;
    int entry; // palette entry the silhouette is drawn in
};

std::string modeText(QIcon::Mode mode)
{
    switch (mode) {
    case QIcon::Normal: return "Normal";
    case QIcon::Disabled: return "Disabled";
    case QIcon::Active: return "Active";
    case QIcon::Selected: return "Selected";
    }
    return "?";
}

} // namespace

class SvgIconEngineColor : public UiStyleTest, public ::testing::WithParamInterface<ColorCase>
{
};

TEST_P(SvgIconEngineColor, FillsTheShapeWithThePaletteColour)
{
    const ColorCase &c = GetParam();
    const QIcon icon(new SvgIconEngine(redSquareIcon(), c.gp));
    for (bool dusk : {false, true}) {
        QBuffer none;
        applyStyleSheet(&none, dusk ? UiStyleModeDusk : UiStyleModeDay, 1);
        const QPixmap pixmap = icon.pixmap(QSize(16, 16), c.mode, c.state);
        ASSERT_EQ(pixmap.size(), QSize(16, 16));
        const QRgb expected = dusk ? PaletteRows[c.entry].dusk : PaletteRows[c.entry].day;
        EXPECT_TRUE(sameColor(centerColor(pixmap), expected)) << (dusk ? "Dusk" : "Day");
    }
}

INSTANTIATE_TEST_SUITE_P(
    ModesAndStates, SvgIconEngineColor,
    ::testing::Values(ColorCase{false, QIcon::Normal, QIcon::Off, content_normal},
                      ColorCase{false, QIcon::Normal, QIcon::On, GP_active_normal},
                      ColorCase{false, QIcon::Active, QIcon::Off, content_normal},
                      ColorCase{false, QIcon::Active, QIcon::On, GP_active_normal},
                      ColorCase{false, QIcon::Disabled, QIcon::Off, content_disabled},
                      ColorCase{false, QIcon::Disabled, QIcon::On, content_normal},
                      ColorCase{false, QIcon::Selected, QIcon::Off, content_normal},
                      ColorCase{false, QIcon::Selected, QIcon::On, content_normal},
                      ColorCase{true, QIcon::Normal, QIcon::Off, GP_buttonContent_normal},
                      ColorCase{true, QIcon::Normal, QIcon::On, GP_active_normal},
                      ColorCase{true, QIcon::Disabled, QIcon::Off, GP_buttonContent_disabled},
                      ColorCase{true, QIcon::Disabled, QIcon::On, GP_buttonContent_normal},
                      ColorCase{true, QIcon::Selected, QIcon::On, GP_buttonContent_normal}),
    [](const auto &info) {
        return std::string(info.param.gp ? "GP" : "Plain") + modeText(info.param.mode)
               + (info.param.state == QIcon::On ? "On" : "Off");
    });

class SvgIconEngineShape : public UiStyleTest
{
};

TEST_F(SvgIconEngineShape, KeepsTheSilhouetteAndStretchesToTheRequestedSize)
{
    // Left half filled: stretched to 40 x 10 the left half stays coloured.
    const QIcon icon(new SvgIconEngine(shapeIcon(QRect(0, 0, 16, 32)), false));
    const QPixmap pixmap = icon.pixmap(QSize(40, 10), QIcon::Normal, QIcon::Off);
    ASSERT_EQ(pixmap.size(), QSize(40, 10));
    EXPECT_TRUE(sameColor(pixelAt(pixmap, 5, 5), rgba(97, 97, 97)));
    EXPECT_EQ(pixelAt(pixmap, 35, 5).alpha(), 0);

    // A full square fills every pixel of another aspect ratio.
    const QIcon full(new SvgIconEngine(redSquareIcon(), false));
    const QImage image = full.pixmap(QSize(40, 10), QIcon::Normal, QIcon::Off).toImage();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ASSERT_EQ(qAlpha(image.pixel(x, y)), 255) << x << "," << y;
}

TEST_F(SvgIconEngineShape, RecoloursAnSvgIconOfTheResourceTree)
{
    // A stop square: filled in the middle, empty at the corners.
    const QIcon source(QStringLiteral(":/uistyle/md/av/ic_stop_24px.svg"));
    ASSERT_FALSE(source.isNull());
    const QIcon icon(new SvgIconEngine(source, true));
    const QPixmap pixmap = icon.pixmap(QSize(48, 48), QIcon::Normal, QIcon::Off);
    EXPECT_TRUE(sameColor(centerColor(pixmap), rgba(163, 163, 163)));
    EXPECT_EQ(pixelAt(pixmap, 2, 2).alpha(), 0);
}

TEST_F(SvgIconEngineShape, OpaqueSourceIsAllShape)
{
    QPixmap opaque(24, 24);
    opaque.fill(Qt::blue);
    ASSERT_FALSE(opaque.hasAlphaChannel());
    const QIcon icon(new SvgIconEngine(QIcon(opaque), false));
    const QPixmap pixmap = icon.pixmap(QSize(16, 16), QIcon::Normal, QIcon::Off);
    EXPECT_TRUE(sameColor(pixelAt(pixmap, 0, 0), rgba(97, 97, 97)));
    EXPECT_TRUE(sameColor(centerColor(pixmap), rgba(97, 97, 97)));

    // A full square wrapped twice keeps its shape.
    const QIcon twice(new SvgIconEngine(QIcon(new SvgIconEngine(redSquareIcon(), true)), true));
    EXPECT_TRUE(sameColor(centerColor(twice.pixmap(QSize(16, 16), QIcon::Normal, QIcon::Off)), rgba(163, 163, 163)));
}

TEST_F(SvgIconEngineShape, PaintDrawsNothing)
{
    const QIcon icon(new SvgIconEngine(redSquareIcon(), false));
    QImage image(20, 20, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    icon.paint(&painter, image.rect());
    painter.end();
    EXPECT_EQ(image.pixel(10, 10), 0u);
}

TEST_F(SvgIconEngineShape, NullSourceGivesNullPixmaps)
{
    SvgIconEngine engine(QIcon(), false);
    EXPECT_TRUE(engine.pixmap(QSize(16, 16), QIcon::Normal, QIcon::Off).isNull());
    EXPECT_TRUE(engine.pixmap(QSize(16, 16), QIcon::Disabled, QIcon::On).isNull());
}

TEST_F(SvgIconEngineShape, CloneDrawsTheSameIcon)
{
    SvgIconEngine engine(shapeIcon(QRect(0, 0, 16, 32)), true);
    std::unique_ptr<QIconEngine> copy(engine.clone());
    const QImage original = engine.pixmap(QSize(24, 24), QIcon::Disabled, QIcon::Off).toImage();
    EXPECT_EQ(copy->pixmap(QSize(24, 24), QIcon::Disabled, QIcon::Off).toImage(), original);
    EXPECT_FALSE(original.isNull());
}

TEST_F(SvgIconEngineShape, WrappingARecolouredIconLooksTheSame)
{
    const QIcon once(new SvgIconEngine(shapeIcon(QRect(4, 4, 12, 20)), false));
    const QIcon twice(new SvgIconEngine(once, false));
    for (const QIcon &icon : {once, twice}) {
        const QPixmap pixmap = icon.pixmap(QSize(32, 32), QIcon::Normal, QIcon::Off);
        EXPECT_TRUE(sameColor(pixelAt(pixmap, 10, 14), rgba(97, 97, 97)));
        EXPECT_EQ(pixelAt(pixmap, 26, 28).alpha(), 0);
    }
}
