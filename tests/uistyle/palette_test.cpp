#include "uistyle_test_support.h"

#include <QBuffer>
#include <QFile>
#include <QFontDatabase>

#include <cstdlib>

using namespace uistyle_test;

namespace {

void expectPalette(const QColor *colors, bool dusk)
{
    for (int i = 0; i < UiStylePaletteSize; ++i)
        EXPECT_TRUE(sameColor(colors[i], dusk ? PaletteRows[i].dusk : PaletteRows[i].day, 0))
            << "entry " << i << " " << PaletteRows[i].name;
}

void applyMode(UiStyleMode mode)
{
    QBuffer noSheet;
    applyStyleSheet(&noSheet, mode, 1);
}

} // namespace

// A fresh process is needed to see the palette before anything fills it.
TEST(UiStylePaletteBeforeInit, EveryEntryIsInvalid)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            bool anyValid = false;
            for (const QColor &c : UiStylePalette)
                anyValid = anyValid || c.isValid();
            std::_Exit(anyValid ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(UiStylePaletteSetters, EachWritesOnlyItsHalf)
{
    QColor common[UiStylePaletteSize];
    setCommonColors(common);
    QColor day[UiStylePaletteSize];
    setDayColors(day);
    QColor dusk[UiStylePaletteSize];
    setDuskColors(dusk);
    for (int i = 0; i < UiStylePaletteSize; ++i) {
        const bool commonEntry = i < UiStyleColor::FirstModeEntry;
        EXPECT_EQ(common[i].isValid(), commonEntry) << "entry " << i;
        EXPECT_EQ(day[i].isValid(), !commonEntry) << "entry " << i;
        EXPECT_EQ(dusk[i].isValid(), !commonEntry) << "entry " << i;
        if (commonEntry) {
            EXPECT_TRUE(sameColor(common[i], PaletteRows[i].day, 0)) << PaletteRows[i].name;
        } else {
            EXPECT_TRUE(sameColor(day[i], PaletteRows[i].day, 0)) << PaletteRows[i].name;
            EXPECT_TRUE(sameColor(dusk[i], PaletteRows[i].dusk, 0)) << PaletteRows[i].name;
        }
    }
}

TEST(UiStylePaletteInit, FillsCommonAndDayValuesAndIsRepeatable)
{
    initUiStyle();
    expectPalette(UiStylePalette, false);
    EXPECT_TRUE(sameColor(UiStylePalette[UiStyleColor::headerBackground_normal], rgba(255, 17, 238), 0));
    EXPECT_TRUE(sameColor(UiStylePalette[UiStyleColor::content_normal], rgba(97, 97, 97), 0));

    setDuskColors(UiStylePalette);
    initUiStyle();
    expectPalette(UiStylePalette, false);
}

struct ModeCase
{
    UiStyleMode mode;
    bool dusk;
};

class UiStylePaletteMode : public UiStyleTest, public ::testing::WithParamInterface<ModeCase>
{
};

TEST_P(UiStylePaletteMode, ApplyStyleSheetSwitchesTheModeEntries)
{
    applyMode(GetParam().mode);
    expectPalette(UiStylePalette, GetParam().dusk);

    // Back to Day restores every mode entry; the common entries never change.
    applyMode(UiStyleModeDay);
    expectPalette(UiStylePalette, false);
}

INSTANTIATE_TEST_SUITE_P(Modes, UiStylePaletteMode,
                         ::testing::Values(ModeCase{0, false}, ModeCase{3, false},
                                           ModeCase{1, true}, ModeCase{2, true},
                                           ModeCase{7, true}, ModeCase{-1, true}),
                         [](const auto &info) {
                             return "mode" + std::to_string(info.index);
                         });

class UiStyleResources : public UiStyleTest
{
};

TEST_F(UiStyleResources, TreeHoldsSheetFontsAndTheArtworkTheSheetsName)
{
    const char *const paths[] = {
        ":/uistyle/CommonStylesheet.css",
        ":/uistyle/Lato-Regular.ttf",
        ":/uistyle/Lato-Bold.ttf",
        ":/uistyle/zeplin/increase.svg",
        ":/uistyle/zeplin/decrease.svg",
        ":/uistyle/zeplin/quillmere_logo.svg",
        ":/uistyle/images/ic_arrow_drop_down_black_24px.svg",
        ":/uistyle/images/ic_arrow_drop_down_white_24px.svg",
        ":/uistyle/md/toggle/ic_radio_button_checked_24px.svg",
        ":/uistyle/md/toggle/ic_radio_button_unchecked_24px.svg",
        ":/uistyle/md/navigation/ic_expand_more_24px.svg",
        ":/uistyle/md/navigation/ic_expand_less_24px.svg",
        ":/uistyle/md/navigation/ic_close_24px.svg",
        ":/uistyle/md/navigation/ic_fullscreen_24px.svg",
        ":/uistyle/md/action/ic_settings_24px.svg",
        ":/uistyle/md/social/ic_person_24px.svg",
    };
    for (const char *path : paths)
        EXPECT_TRUE(QFile::exists(QString::fromLatin1(path))) << path;
}

// initUiStyle adds the kit's two Lato fonts as application fonts, whether or
// not the system has a Lato of its own. A fresh process has none before.
TEST(UiStyleFonts, InitAddsTheKitsLatoFonts)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const bool noneBefore = QFontDatabase::applicationFontFamilies(0).isEmpty();
            initUiStyle();
            const QStringList lato{QStringLiteral("Lato")};
            const bool added = QFontDatabase::applicationFontFamilies(0) == lato
                && QFontDatabase::applicationFontFamilies(1) == lato
                && QFontDatabase::applicationFontFamilies(2).isEmpty();
            std::_Exit(noneBefore && added ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(UiStyleResources, RegisteringAgainIsHarmless)
{
    EXPECT_EQ(registerUiStyleResources(), 1);
    EXPECT_EQ(registerUiStyleResources(), 1);
    QFile sheet(QStringLiteral(":/uistyle/CommonStylesheet.css"));
    ASSERT_TRUE(sheet.open(QIODevice::ReadOnly));
    EXPECT_TRUE(sheet.readAll().startsWith("/*\nThis is Qt Style Sheet (QSS)"));
}
