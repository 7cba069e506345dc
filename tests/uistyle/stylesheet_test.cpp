#include "uistyle_test_support.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QTemporaryDir>

#ifdef Q_OS_UNIX
#include "non_regular_files.h"
#endif

#include <tuple>
#include <vector>

using namespace uistyle_test;

namespace {

// A folder of the test's own in the test program's sandbox.
QString scratchTemplate()
{
    return QDir(qEnvironmentVariable("RIDUR_TEST_SANDBOX")).filePath(QStringLiteral("scratch-XXXXXX"));
}

QString withoutComments(QString sheet)
{
    static const QRegularExpression comment(QStringLiteral("/\\*.*?\\*/"),
                                            QRegularExpression::DotMatchesEverythingOption);
    return sheet.remove(comment);
}

QStringList variablesLeft(const QString &sheet)
{
    static const QRegularExpression variable(QStringLiteral("@\\w+"));
    QStringList names;
    auto it = variable.globalMatch(withoutComments(sheet));
    while (it.hasNext())
        names << it.next().captured(0);
    return names;
}

void applyText(const QByteArray &applicationSheet, UiStyleMode mode, int scale = 1)
{
    QBuffer buffer;
    buffer.setData(applicationSheet);
    applyStyleSheet(&buffer, mode, scale);
}

// A common sheet of the test's own, found through "UISTYLEDIR".
class CommonSheetFolder
{
public:
    explicit CommonSheetFolder(const QByteArray &commonSheet)
    {
        QDir(dir.path()).mkpath(QStringLiteral("uistyle"));
        QFile file(dir.path() + QStringLiteral("/uistyle/CommonStylesheet.css"));
        if (file.open(QIODevice::WriteOnly))
            file.write(commonSheet);
        qputenv("UISTYLEDIR", dir.path().toLocal8Bit());
    }

private:
    QTemporaryDir dir;
};

} // namespace

// ---- scaleStyleSheetUnits ---------------------------------------------------

struct ScaleCase
{
    const char *input;
    const char *unit;
    int factor;
    const char *expected;
};

class ScaleStyleSheetUnits : public ::testing::TestWithParam<ScaleCase>
{
};

TEST_P(ScaleStyleSheetUnits, ScalesWholeNumbersAfterWhiteSpaceOnce)
{
    QString sheet = QString::fromLatin1(GetParam().input);
    scaleStyleSheetUnits(sheet, QString::fromLatin1(GetParam().unit), GetParam().factor);
    EXPECT_EQ(sheet.toStdString(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScaleStyleSheetUnits,
    ::testing::Values(
        ScaleCase{"icon-size: 22px 22px;", "px", 2, "icon-size: 44px 44px;"},
        ScaleCase{"padding-top:5px;", "px", 2, "padding-top:5px;"},
        ScaleCase{"padding: 8 8;", "px", 2, "padding: 8 8;"},
        ScaleCase{"min-width: 8em;", "px", 2, "min-width: 8em;"},
        ScaleCase{"width: 1.5px;", "px", 2, "width: 1.5px;"},
        ScaleCase{"font-size: 9pt; width: 9px;", "pt", 2, "font-size: 18pt; width: 9px;"},
        // 8px becomes 16px once; the 16px that was there becomes 32px.
        ScaleCase{"a: 8px; b: 16px; c: 8px;", "px", 2, "a: 16px; b: 32px; c: 16px;"},
        ScaleCase{"a:\n\t8px;", "px", 3, "a:\n 24px;"},
        ScaleCase{"margin: 4dummy;", "px", 2, "margin: 8px;"},
        ScaleCase{"width: 12px;", "px", 1, "width: 12px;"},
        ScaleCase{"width: 99999999999999999999px;", "px", 2, "width: 99999999999999999999px;"}));

// ---- the built-in sheets ------------------------------------------------------

struct BuiltInCase
{
    UiStyleMode mode;
    const char *keptMarker;      // the block that survives
    QStringList unresolved;      // variables left outside comments
};

class BuiltInSheet : public UiStyleTest, public ::testing::WithParamInterface<BuiltInCase>
{
};

TEST_P(BuiltInSheet, KeepsOneModeBlockAndResolvesTheVariables)
{
    applyText(QByteArray(), GetParam().mode);
    const QString sheet = qApp->styleSheet();
    ASSERT_FALSE(sheet.isEmpty());

    QStringList left = variablesLeft(sheet);
    left.removeDuplicates();
    EXPECT_EQ(left, GetParam().unresolved) << left.join(' ').toStdString();

    // The other two blocks shrink to their markers.
    EXPECT_EQ(sheet.count(QStringLiteral("Mode=Mode=")), 2);
    EXPECT_TRUE(sheet.contains(QString::fromLatin1(GetParam().keptMarker) + '\n'));
}

const QStringList NoneLeft;
const QStringList BrightDayLeft{QStringLiteral("@GP_elementBackground_normal")};

INSTANTIATE_TEST_SUITE_P(
    Modes, BuiltInSheet,
    ::testing::Values(BuiltInCase{0, "Mode=Day", NoneLeft}, BuiltInCase{3, "Mode=BrightDay", BrightDayLeft},
                      BuiltInCase{1, "Mode=Dusk", NoneLeft}, BuiltInCase{2, "Mode=Dusk", NoneLeft},
                      BuiltInCase{7, "Mode=Dusk", NoneLeft}, BuiltInCase{-1, "Mode=Dusk", NoneLeft}),
    [](const auto &info) { return "mode" + std::to_string(info.index); });

// The sheet's definitions agree with the palette except where the sheet
// deliberately differs; BrightDay has a block of its own.
class BuiltInSheetValues : public UiStyleTest
{
protected:
    // Resolves every palette name through an application sheet of probes.
    QHash<QString, QRgb> resolved(UiStyleMode mode)
    {
        QByteArray probes;
        for (const PaletteRow &row : PaletteRows)
            probes += QByteArray("QLabel#probe_") + row.name + " {\n    color: @" + row.name + ";\n}\n";
        applyText(probes, mode);

        QHash<QString, QRgb> values;
        static const QRegularExpression probe(QStringLiteral(
            "#probe_(\\w+) \\{\\n    color: (?:#([0-9a-fA-F]{6})|rgba\\((\\d+), (\\d+), (\\d+), (\\d+)\\));"));
        auto it = probe.globalMatch(qApp->styleSheet());
        while (it.hasNext()) {
            const auto m = it.next();
            const QRgb value = m.captured(2).isEmpty()
                                   ? qRgba(m.captured(3).toInt(), m.captured(4).toInt(),
                                           m.captured(5).toInt(), m.captured(6).toInt())
                                   : (0xff000000u | m.captured(2).toUInt(nullptr, 16));
            values.insert(m.captured(1), value);
        }
        return values;
    }

    void expectValues(UiStyleMode mode, bool dusk, const QHash<QString, QRgb> &exceptions,
                      const QStringList &undefined = {})
    {
        const QHash<QString, QRgb> values = resolved(mode);
        for (const PaletteRow &row : PaletteRows) {
            const QString name = QString::fromLatin1(row.name);
            if (undefined.contains(name)) {
                EXPECT_FALSE(values.contains(name)) << row.name;
                continue;
            }
            ASSERT_TRUE(values.contains(name)) << row.name;
            const QRgb expected = exceptions.value(name, dusk ? row.dusk : row.day);
            EXPECT_TRUE(sameColor(QColor::fromRgba(values.value(name)), expected, 0)) << row.name;
        }
    }
};

TEST_F(BuiltInSheetValues, Day)
{
    expectValues(UiStyleModeDay, false,
                 {{"GP_buttonContent_normal", rgba(0xf5, 0xf5, 0xf5)},
                  {"headerBackground_normal", rgba(0xee, 0xf0, 0xf4)}});
    // The palette keeps its own value.
    EXPECT_TRUE(sameColor(UiStylePalette[UiStyleColor::headerBackground_normal], rgba(255, 17, 238), 0));
}

TEST_F(BuiltInSheetValues, DuskTakesTheFirstOfDuplicateDefinitions)
{
    expectValues(UiStyleModeDusk, true,
                 {{"GP_buttonContent_normal", rgba(0xf5, 0xf5, 0xf5)},
                  {"mainBackground_hover", rgba(0xef, 0xf2, 0xf6)},
                  {"content_normal", rgba(0xea, 0xea, 0xea)},
                  {"ProductName", rgba(0xff, 0xff, 0xff)},
                  {"SystemMenuBackground", rgba(0x37, 0x38, 0x38)}});
}

TEST_F(BuiltInSheetValues, BrightDay)
{
    expectValues(UiStyleModeBrightDay, false,
                 {{"GP_buttonContent_normal", rgba(0xf5, 0xf5, 0xf5)},
                  {"headerBackground_normal", rgba(0xee, 0xf0, 0xf4)},
                  {"mainBackground_hover", rgba(0xe6, 0xe9, 0xeb)},
                  {"content_normal", rgba(0x56, 0x59, 0x5c)},
                  {"SystemMenuBackground", rgba(0xe6, 0xe9, 0xeb)},
                  {"ProductName", rgba(0x56, 0x59, 0x5c)},
                  {"GP_active_normal", rgba(0x56, 0x59, 0x5c)},
                  {"GP_content_normal", rgba(0x56, 0x59, 0x5c)},
                  {"GP_contentSecondary_normal", rgba(0xda, 0xdd, 0xe1)},
                  {"GP_elementBackground_hover", rgba(0xc4, 0xc6, 0xca)},
                  {"GP_elementBackground_pressed", rgba(0xff, 0xff, 0xff)},
                  {"GP_mainBackground_normal", rgba(0xe5, 0xe5, 0xe5)}},
                 {QStringLiteral("GP_elementBackground_normal")});
}

TEST_F(BuiltInSheetValues, ScaleTwoDoublesPixelAndPointSizes)
{
    applyText(QByteArray("QLabel#probe {\n    padding-top:5px;\n    min-width: 8em;\n}\n"), UiStyleModeDay, 2);
    const QString sheet = qApp->styleSheet();
    EXPECT_TRUE(sheet.contains(QStringLiteral("icon-size: 44px 44px;")));
    EXPECT_TRUE(sheet.contains(QStringLiteral("font-size: 18pt;")));
    EXPECT_FALSE(sheet.contains(QStringLiteral("font-size: 9pt;")));
    EXPECT_TRUE(sheet.contains(QStringLiteral("padding-top:5px;")));
    EXPECT_TRUE(sheet.contains(QStringLiteral("min-width: 8em;")));
}

// ---- assembly rules on sheets of the test's own ------------------------------

struct AssemblyCase
{
    const char *title;
    QByteArray common;
    QByteArray application;
    UiStyleMode mode;
    int scale;
    std::vector<const char *> present;
    std::vector<const char *> absent;
};

class StyleSheetAssembly : public UiStyleTest, public ::testing::WithParamInterface<AssemblyCase>
{
};

TEST_P(StyleSheetAssembly, Builds)
{
    const AssemblyCase &c = GetParam();
    CommonSheetFolder folder(c.common);
    applyText(c.application, c.mode, c.scale);
    const QString sheet = qApp->styleSheet();
    for (const char *text : c.present)
        EXPECT_TRUE(sheet.contains(QString::fromLatin1(text))) << "missing: " << text << "\nin:\n" << sheet.toStdString();
    for (const char *text : c.absent)
        EXPECT_FALSE(sheet.contains(QString::fromLatin1(text))) << "unexpected: " << text << "\nin:\n" << sheet.toStdString();
}

const QByteArray ThreeBlocks =
    "/*\nMode=Day\n@c: #0000ff\nMode=\nMode=Dusk\n@c: #00ff00\nMode=\nMode=BrightDay\n@c: #ff0000\nMode=\n*/\n"
    "QWidget { color: @c; }\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, StyleSheetAssembly,
    ::testing::Values(
        AssemblyCase{"FirstDefinitionWins", "/*\n@a: #111111\n@a: #222222\n*/\nQWidget { color: @a; }\n", "", 0, 1,
                     {"QWidget { color: #111111; }"}, {"@a"}},
        AssemblyCase{"ApplicationSheetCannotOverride", "/*\n@a: #111111\n*/\nQWidget { color: @a; }\n",
                     "/*\n@a: #222222\n*/\nQLabel { color: @a; }\n", 0, 1,
                     {"QWidget { color: #111111; }", "QLabel { color: #111111; }"}, {"color: #222222"}},
        AssemblyCase{"ApplicationSheetFollowsWithoutSeparator", "QWidget { color: red; }", "QLabel { color: blue; }", 0, 1,
                     {"QWidget { color: red; }QLabel { color: blue; }"}, {}},
        AssemblyCase{"RuleLineWithLiteralDefines", "QWidget { color: @b; background: #123456; }\nQLabel { color: @b; }\n", "",
                     0, 1, {"QLabel { color: #123456; }"}, {"@b"}},
        AssemblyCase{"RgbaValue", "/*\n@d: rgba(1, 2, 3, 4)\n*/\nQWidget { color: @d; }\n", "", 0, 1,
                     {"QWidget { color: rgba(1, 2, 3, 4); }"}, {}},
        AssemblyCase{"UndefinedVariableStays", "QWidget { color: @nowhere; }\n", "", 0, 1, {"color: @nowhere;"}, {}},
        // "@a" defined first must not eat the start of "@ab".
        AssemblyCase{"NamesReplacedAsWholeWords", "/*\n@a: #111111\n@ab: #222222\n*/\nQWidget { color: @ab; border-color: @a; }\n",
                     "", 0, 1, {"color: #222222;", "border-color: #111111;"}, {"#111111b"}},
        AssemblyCase{"DayKeepsDay", ThreeBlocks, "", 0, 1, {"QWidget { color: #0000ff; }", "Mode=Day\n"},
                     {"#00ff00", "#ff0000", "Mode=Dusk", "Mode=BrightDay"}},
        AssemblyCase{"DuskKeepsDusk", ThreeBlocks, "", 2, 1, {"QWidget { color: #00ff00; }"}, {"#0000ff", "#ff0000"}},
        AssemblyCase{"BrightDayKeepsBrightDay", ThreeBlocks, "", 3, 1, {"QWidget { color: #ff0000; }"},
                     {"#0000ff", "#00ff00"}},
        AssemblyCase{"ModeNameIsCaseSensitive", "/*\nMode=dusk\n@c: #00ff00\nMode=\n*/\nQWidget { color: @c; }\n", "", 1, 1,
                     {"color: @c;", "Mode=Mode="}, {"#00ff00"}},
        AssemblyCase{"TextAfterNulIsDropped", QByteArray("QWidget { color: red; }\0QFrame { color: green; }", 48),
                     QByteArray("QLabel { color: blue; }\0QMenu { color: black; }", 47), 0, 1,
                     {"QWidget { color: red; }QLabel { color: blue; }"}, {"QFrame", "QMenu"}},
        AssemblyCase{"ScaleTwo", "QWidget { icon-size: 22px 22px; font-size: 9pt; padding-top:5px; margin: 3dummy; }", "",
                     0, 2, {"icon-size: 44px 44px;", "font-size: 18pt;", "padding-top:5px;", "margin: 6px;"}, {}},
        AssemblyCase{"ScaleOneTouchesNothing", "QWidget { icon-size: 22px 22px; font-size: 9pt; margin: 3dummy; }", "", 0, 1,
                     {"QWidget { icon-size: 22px 22px; font-size: 9pt; margin: 3dummy; }"}, {}}),
    [](const auto &info) { return std::string(info.param.title); });

// ---- failures -----------------------------------------------------------------

class StyleSheetFailures : public UiStyleTest
{
};

TEST_F(StyleSheetFailures, MissingCommonSheetUnderUiStyleDirChangesOnlyThePalette)
{
    const QString before = QStringLiteral("QWidget { color: red; }");
    qApp->setStyleSheet(before);
    QTemporaryDir empty;
    qputenv("UISTYLEDIR", empty.path().toLocal8Bit());
    QBuffer application;
    application.setData("QLabel { color: blue; }");

    applyStyleSheet(&application, UiStyleModeDusk, 1);

    EXPECT_EQ(qApp->styleSheet(), before);
    EXPECT_FALSE(application.isOpen());
    EXPECT_TRUE(sameColor(UiStylePalette[UiStyleColor::content_normal], rgba(163, 163, 163), 0));
}

TEST_F(StyleSheetFailures, ApplicationSheetThatCannotBeOpenedIsSkipped)
{
    QBuffer empty;
    applyStyleSheet(&empty, UiStyleModeDay, 1);
    const QString commonOnly = qApp->styleSheet();
    ASSERT_FALSE(commonOnly.isEmpty());

    qApp->setStyleSheet(QString());
    QFile missing(QDir::temp().filePath(QStringLiteral("no-such-folder/no-such-sheet.css")));
    applyStyleSheet(&missing, UiStyleModeDay, 1);
    EXPECT_EQ(qApp->styleSheet(), commonOnly);
}

TEST_F(StyleSheetFailures, ApplicationDeviceIsClosedAfterReading)
{
    QBuffer application;
    application.setData("QLabel { color: blue; }");
    applyStyleSheet(&application, UiStyleModeDay, 1);
    EXPECT_FALSE(application.isOpen());
    EXPECT_TRUE(qApp->styleSheet().endsWith(QStringLiteral("QLabel { color: blue; }")));
}

// ---- debug dump ---------------------------------------------------------------

class StyleSheetDebugFile : public UiStyleTest
{
protected:
    void SetUp() override
    {
        UiStyleTest::SetUp();
        ASSERT_TRUE(workDir.isValid());
        previous = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(workDir.path()));
    }
    void TearDown() override
    {
        QDir::setCurrent(previous);
        UiStyleTest::TearDown();
    }
    QString debugPath() const { return workDir.filePath(QStringLiteral("stylesheet_debug.css")); }

    QTemporaryDir workDir{scratchTemplate()};
    QString previous;
};

TEST_F(StyleSheetDebugFile, WrittenOnlyWhenAsked)
{
    applyText("QLabel { color: @content_normal; }", UiStyleModeDay);
    EXPECT_FALSE(QFile::exists(debugPath()));

    qputenv("UISTYLE_DEBUG_STYLESHEET", "1");
    {
        QFile stale(debugPath());
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
        stale.write(QByteArray(100000, 'x'));
    }
    applyText("QLabel { color: @content_normal; }", UiStyleModeDay);
    QFile dump(debugPath());
    ASSERT_TRUE(dump.open(QIODevice::ReadOnly | QIODevice::Text));
    EXPECT_EQ(QString::fromLocal8Bit(dump.readAll()), qApp->styleSheet());
    EXPECT_TRUE(qApp->styleSheet().endsWith(QStringLiteral("QLabel { color: #616161; }")));
}

TEST_F(StyleSheetDebugFile, SheetIsSetEvenWhenTheFileCannotBeCreated)
{
    ASSERT_TRUE(QDir(workDir.path()).mkdir(QStringLiteral("stylesheet_debug.css")));
    qputenv("UISTYLE_DEBUG_STYLESHEET", "yes");
    applyText("QLabel { color: @content_normal; }", UiStyleModeDay);
    EXPECT_TRUE(qApp->styleSheet().endsWith(QStringLiteral("QLabel { color: #616161; }")));
}

// ---- files that are not regular, or too large -----------------------------------

namespace {

// Where a sheet is read from: the common sheet under "UISTYLEDIR", or the
// application's sheet file. What the application's style sheet is when that
// sheet cannot be read, given the sheet as it was before and the sheet made
// of the common one alone.
struct SheetPlace {
    const char *name;
    QString (*prepare)(const QString &folder); // the path to plant at
    bool common;
};

void PrintTo(const SheetPlace &place, std::ostream *os)
{
    *os << place.name;
}

const SheetPlace sheetPlaces[] = {
    {"CommonSheet",
     [](const QString &folder) {
         QDir(folder).mkpath(QStringLiteral("uistyle"));
         qputenv("UISTYLEDIR", folder.toLocal8Bit());
         return folder + QStringLiteral("/uistyle/CommonStylesheet.css");
     },
     true},
    {"ApplicationSheet", [](const QString &folder) { return folder + QStringLiteral("/application.css"); },
     false},
};

class SheetFileTest : public UiStyleTest
{
protected:
    void SetUp() override
    {
        UiStyleTest::SetUp();
        ASSERT_TRUE(scratch.isValid());
        // The sheet of the built-in common sheet alone.
        QBuffer none;
        applyStyleSheet(&none, UiStyleModeDay, 1);
        commonOnly = qApp->styleSheet();
        ASSERT_FALSE(commonOnly.isEmpty());
        qApp->setStyleSheet(previous);
    }

    // Applies the sheets with the planted path in its place; true when the
    // planted sheet was taken as one that cannot be read.
    bool takenForUnreadable(const SheetPlace &place, const QString &path)
    {
        QBuffer applicationBuffer;
        applicationBuffer.setData("QLabel { color: blue; }");
        QFile applicationFile(path);
        applyStyleSheet(place.common ? static_cast<QIODevice *>(&applicationBuffer) : &applicationFile,
                        UiStyleModeDay, 1);
        return qApp->styleSheet() == (place.common ? previous : commonOnly);
    }

    const QString previous = QStringLiteral("QWidget { color: red; }");
    QString commonOnly;
    QTemporaryDir scratch{scratchTemplate()};
};

} // namespace

#ifdef Q_OS_UNIX
class SheetNotAFileTest : public SheetFileTest,
                          public ::testing::WithParamInterface<std::tuple<SheetPlace, specialfiles::Kind>>
{
};

// Not read, as if it could not be opened, and not waited on.
TEST_P(SheetNotAFileTest, IsNotRead)
{
    const SheetPlace &place = std::get<0>(GetParam());
    const QString path = place.prepare(scratch.path());
    QDir(scratch.path()).mkdir(QStringLiteral("targets"));
    if (!std::get<1>(GetParam()).make(path, scratch.filePath(QStringLiteral("targets"))))
        GTEST_SKIP() << "cannot make it here";
    const QString before = specialfiles::describe(path);

    FifoUnblocker unblocker(path, std::chrono::seconds(10));
    EXPECT_TRUE(takenForUnreadable(place, path));
    unblocker.dismiss();
    EXPECT_FALSE(unblocker.fired()) << "the sheet was waited on";
    EXPECT_EQ(specialfiles::describe(path), before);
    // The palette follows the mode all the same.
    EXPECT_TRUE(sameColor(UiStylePalette[UiStyleColor::content_normal], rgba(97, 97, 97), 0));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, SheetNotAFileTest,
    ::testing::Combine(::testing::ValuesIn(sheetPlaces), ::testing::ValuesIn(specialfiles::notAFile)),
    [](const auto &info) {
        return std::string(std::get<0>(info.param).name) + std::get<1>(info.param).name;
    });
#endif

// A sheet is read up to 1 MiB; a larger one is not read at all.
class SheetSizeTest : public SheetFileTest,
                      public ::testing::WithParamInterface<std::tuple<SheetPlace, int>>
{
};

TEST_P(SheetSizeTest, LargerThanTheBoundIsNotRead)
{
    const SheetPlace &place = std::get<0>(GetParam());
    const int size = std::get<1>(GetParam());
    const QString path = place.prepare(scratch.path());
    QByteArray sheet = "QFrame { color: green; } /*";
    sheet += QByteArray(size - sheet.size() - 2, 'x') + "*/";
    ASSERT_EQ(sheet.size(), size);
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(sheet), size);
    }

    const bool unread = takenForUnreadable(place, path);
    EXPECT_EQ(unread, size > (1 << 20));
    EXPECT_EQ(qApp->styleSheet().contains(QStringLiteral("QFrame { color: green; }")), !unread);
}

INSTANTIATE_TEST_SUITE_P(Sizes, SheetSizeTest,
                         ::testing::Combine(::testing::ValuesIn(sheetPlaces),
                                            ::testing::Values(1 << 20, (1 << 20) + 1)),
                         [](const auto &info) {
                             return std::string(std::get<0>(info.param).name)
                                 + (std::get<1>(info.param) > (1 << 20) ? "OverTheBound" : "AtTheBound");
                         });

#ifdef Q_OS_UNIX
// What may be at the debug file's place, besides the kinds that are not a
// file: a link to a regular file, which is not written through either.
const specialfiles::Kind linkToAFile{"LinkToFile", [](const QString &path, const QString &scratch) {
    QFile target(scratch + QStringLiteral("/target.css"));
    return target.open(QIODevice::WriteOnly) && target.write("kept\n") == 5 && QFile::link(target.fileName(), path);
}};

std::vector<specialfiles::Kind> debugFileKinds()
{
    std::vector<specialfiles::Kind> kinds(std::begin(specialfiles::notAFile), std::end(specialfiles::notAFile));
    kinds.push_back(linkToAFile);
    return kinds;
}

class StyleSheetDebugFileNotAFile : public StyleSheetDebugFile,
                                    public ::testing::WithParamInterface<specialfiles::Kind>
{
};

// Left as it is, and what it leads to too, without waiting; the sheet is set
// all the same.
TEST_P(StyleSheetDebugFileNotAFile, IsLeftAlone)
{
    QDir(workDir.path()).mkdir(QStringLiteral("targets"));
    const QString targets = workDir.filePath(QStringLiteral("targets"));
    if (!GetParam().make(debugPath(), targets))
        GTEST_SKIP() << "cannot make it here";
    const QString before = specialfiles::describe(debugPath());
    const QStringList targetsBefore = QDir(targets).entryList(QDir::AllEntries | QDir::System);
    QFile target(targets + QStringLiteral("/target.css"));
    const QByteArray targetContent = target.open(QIODevice::ReadOnly) ? target.readAll() : QByteArray();
    target.close();

    qputenv("UISTYLE_DEBUG_STYLESHEET", "1");
    FifoUnblocker unblocker(debugPath(), std::chrono::seconds(10));
    applyText("QLabel { color: @content_normal; }", UiStyleModeDay);
    unblocker.dismiss();
    EXPECT_FALSE(unblocker.fired()) << "the debug file was waited on";

    EXPECT_TRUE(qApp->styleSheet().endsWith(QStringLiteral("QLabel { color: #616161; }")));
    EXPECT_EQ(specialfiles::describe(debugPath()), before);
    EXPECT_EQ(QDir(targets).entryList(QDir::AllEntries | QDir::System), targetsBefore)
        << "something was made where a link leads";
    if (target.open(QIODevice::ReadOnly))
        EXPECT_EQ(target.readAll(), targetContent) << "the file a link leads to was written";
}

INSTANTIATE_TEST_SUITE_P(Kinds, StyleSheetDebugFileNotAFile, ::testing::ValuesIn(debugFileKinds()),
                         [](const auto &info) { return std::string(info.param.name); });
#endif
