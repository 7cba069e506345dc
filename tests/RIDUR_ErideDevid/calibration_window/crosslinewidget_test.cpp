// The calibration window built headless in both view modes: menus, controls,
// settings, clock, event filter, close handling, data thread and shutdown.
#include "crosslinewidget.h"

#include "caller_port.h"
#include "chvxqa_tasks_progress.h"
#include "crosslinedata.h"
#include "crosslinewidget_access.h"
#include "debug_capture.h"
#include "hvxqawebsocketserver.h"
#include "log_capture.h"
#include "platformpaths.h"
#include "usersettings.h"
#ifdef Q_OS_UNIX
#include "non_regular_files.h"
#endif

#include <QAction>
#include <QApplication>
#include <QChartView>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QSemaphore>
#include <QSettings>
#include <QStandardPaths>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QWebSocket>
#include <QWebSocketServer>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <tuple>

QT_CHARTS_USE_NAMESPACE

using Inspector = CrossLineWidgetInspector;

namespace {

const QString closedMessage = QStringLiteral("$DAVARIV,CALIBRATION,CALIBRATION_CLOSED");

QSettings userSettings()
{
    return QSettings(QStringLiteral("Zovadivuv Uzavuzod UD"), QStringLiteral("RID UR ErideDevid"));
}

void clearUserSettings()
{
    QSettings settings(QStringLiteral("Zovadivuv Uzavuzod UD"), QStringLiteral("RID UR ErideDevid"));
    settings.clear();
    settings.sync();
}

// Every test starts without user settings, "gui.ini" or user style sheet.
class CrossLineWidgetTest : public ::testing::Test
{
protected:
    void SetUp() override { clean(); }
    void TearDown() override { clean(); }

    static void clean()
    {
        clearUserSettings();
        QFile::remove(CrossLineWidget::guiIniPath());
        QFile::remove(CrossLineWidget::programDataFolder() + QStringLiteral("userStyle.css"));
    }
};

QStringList actionTexts(const QList<QAction *> &actions)
{
    QStringList texts;
    for (QAction *action : actions)
        texts << action->text();
    return texts;
}

// ---- Platform paths ----

TEST_F(CrossLineWidgetTest, ProgramDataFolderAndGuiIniLieInTheSuiteFolder)
{
    const QString folder = CrossLineWidget::programDataFolder();
    EXPECT_EQ(folder, ::programDataFolder());
    EXPECT_TRUE(folder.startsWith(qEnvironmentVariable("ProgramData"))) << folder.toStdString();
    EXPECT_TRUE(folder.endsWith(QStringLiteral("/Quillmere Vadidaro/qhvx/"))) << folder.toStdString();
    EXPECT_EQ(CrossLineWidget::guiIniPath(), folder + QStringLiteral("gui.ini"));
}

TEST_F(CrossLineWidgetTest, ProgramDataFolderWithoutTheVariableIsTheSharedOne)
{
    // Logging configuration (main), default projection definition and the
    // window's files all go by one folder.
    const QByteArray programData = qgetenv("ProgramData");
    qunsetenv("ProgramData");
    const QString folder = CrossLineWidget::programDataFolder();
    const QString shared = ::programDataFolder();
    const QString guiIni = CrossLineWidget::guiIniPath();
    qputenv("ProgramData", programData);

    const QString location = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
#ifdef Q_OS_WIN
    const QString expected =
        QDir::toNativeSeparators(location) + QStringLiteral("\\Quillmere Vadidaro\\qhvx\\");
    const QString expectedGuiIni = expected + QStringLiteral("\\gui.ini");
#else
    const QString expected = location + QStringLiteral("/Quillmere Vadidaro/qhvx/");
    const QString expectedGuiIni = expected + QStringLiteral("gui.ini");
    EXPECT_TRUE(QFileInfo(folder).isDir()) << folder.toStdString();
#endif
    EXPECT_EQ(shared, expected);
    EXPECT_EQ(folder, expected);
    EXPECT_EQ(guiIni, expectedGuiIni);
}

// ---- Menus and controls per view mode ----

struct ViewModeCase {
    const char *name;
    int viewMode;
    QStringList menus;
    QStringList fileEntries;
    QStringList toolsEntries;
    bool reducedControls;
};

void PrintTo(const ViewModeCase &c, std::ostream *os)
{
    *os << c.name;
}

class CrossLineWidgetViewModeTest : public CrossLineWidgetTest,
                                    public ::testing::WithParamInterface<ViewModeCase>
{
};

TEST_P(CrossLineWidgetViewModeTest, MenusHoldTheEntriesOfTheMode)
{
    const ViewModeCase &c = GetParam();
    CrossLineWidget window(c.viewMode);

    QStringList menus;
    for (QAction *action : window.menuBar()->actions()) {
        ASSERT_NE(action->menu(), nullptr);
        menus << action->menu()->title();
        for (QAction *entry : action->menu()->actions())
            EXPECT_TRUE(entry->shortcut().isEmpty()) << entry->text().toStdString();
    }
    EXPECT_EQ(menus, c.menus);
    EXPECT_EQ(window.menuBar()->property("class").toString(), QStringLiteral("SystemMenu"));

    const QList<QAction *> bar = window.menuBar()->actions();
    EXPECT_EQ(actionTexts(bar.value(0)->menu()->actions()), c.fileEntries);
    if (bar.size() > 1) {
        EXPECT_EQ(actionTexts(bar.value(1)->menu()->actions()), c.toolsEntries);
    }
}

TEST_P(CrossLineWidgetViewModeTest, ControlsFollowTheMode)
{
    const ViewModeCase &c = GetParam();
    CrossLineWidget window(c.viewMode);
    Ui::CalibrationWidget *ui = Inspector::ui(window);
    const bool reduced = c.reducedControls;

    for (QComboBox *combo : {ui->displayTypeXSelect, ui->displayTypeYSelect}) {
        EXPECT_EQ(combo->isHidden(), reduced) << combo->objectName().toStdString();
        EXPECT_EQ(combo->isEnabled(), !reduced) << combo->objectName().toStdString();
    }
    EXPECT_EQ(ui->recalculateButton->isHidden(), reduced);
    EXPECT_EQ(ui->recalculateButton->isEnabled(), !reduced);

    QStringList tabs;
    for (int i = 0; i < ui->tabWidget->count(); ++i)
        tabs << ui->tabWidget->tabText(i);
    EXPECT_EQ(tabs.contains(QStringLiteral("Other Parameters")), !reduced) << tabs.join('|').toStdString();
    EXPECT_EQ(ui->tabWidget->currentIndex(), 0);

    for (QWidget *box : {ui->tx1R, ui->tx1P, ui->tx1H, ui->tx2R, ui->tx2P, ui->tx2H, ui->rx1R,
                         ui->rx1P, ui->rx1H, ui->rx2R, ui->rx2P, ui->rx2H})
        EXPECT_EQ(box->isEnabled(), !reduced) << box->objectName().toStdString();
    for (QWidget *widget : {static_cast<QWidget *>(ui->label_23), static_cast<QWidget *>(ui->tx2H),
                            static_cast<QWidget *>(ui->label_25), static_cast<QWidget *>(ui->rx2R),
                            static_cast<QWidget *>(ui->label_4), static_cast<QWidget *>(ui->att2P)})
        EXPECT_EQ(widget->isHidden(), reduced) << widget->objectName().toStdString();
    for (QWidget *box : {ui->att1R, ui->att1P, ui->att1H}) {
        EXPECT_TRUE(box->isEnabled()) << box->objectName().toStdString();
        EXPECT_FALSE(box->isHidden()) << box->objectName().toStdString();
    }

    // The same in both modes.
    EXPECT_TRUE(ui->svpForTxCheckBox->isHidden());
    EXPECT_TRUE(ui->groupBox_timeDelayes->isHidden());
    EXPECT_TRUE(ui->informationWidget->isHidden());
    EXPECT_TRUE(ui->displayModeLine->isChecked());
    EXPECT_FALSE(ui->displayModePoint->isChecked());
    EXPECT_EQ(ui->displayTypeXSelect->currentIndex(), 0);
    EXPECT_EQ(ui->displayTypeYSelect->currentIndex(), 2);
    for (QCheckBox *check : {ui->verticalRangeCheckBox, ui->horizontalRangeCheckBox})
        EXPECT_TRUE(check->isChecked()) << check->objectName().toStdString();
    for (QWidget *box : {ui->verticalRangeTopSpinBox, ui->verticalRangeBottomSpinBox,
                         ui->horizontalRangeLeftSpinBox, ui->horizontalRangeRightSpinBox})
        EXPECT_TRUE(box->isHidden()) << box->objectName().toStdString();
    // Keyboard tracking stays only on the TX 2 and RX 2 boxes.
    for (QAbstractSpinBox *box : {static_cast<QAbstractSpinBox *>(ui->corridorWidth),
                                  static_cast<QAbstractSpinBox *>(ui->tx1R),
                                  static_cast<QAbstractSpinBox *>(ui->rx1H),
                                  static_cast<QAbstractSpinBox *>(ui->att2H)})
        EXPECT_FALSE(box->keyboardTracking()) << box->objectName().toStdString();
    EXPECT_TRUE(ui->tx2R->keyboardTracking());
    EXPECT_TRUE(ui->rx2H->keyboardTracking());
}

TEST_P(CrossLineWidgetViewModeTest, InteractiveEditModeOnlyInRealtime)
{
    const ViewModeCase &c = GetParam();
    const bool realtime = c.viewMode == CrossLineWidget::REALTIME;
    CrossLineWidget window(c.viewMode);
    Ui::CalibrationWidget *ui = Inspector::ui(window);

    EXPECT_EQ(Inspector::interactiveEditMode(window), realtime);
    QSettings settings = userSettings();
    EXPECT_EQ(settings.contains(QStringLiteral("INTERACTIVEEDIT_KEY")), realtime);
    if (realtime) {
        EXPECT_TRUE(settings.value(QStringLiteral("INTERACTIVEEDIT_KEY")).toBool());
    }

    // disconnect() tells whether a connection was there.
    for (QDoubleSpinBox *box : {ui->tx1R, ui->tx1P, ui->tx1H, ui->tx2R, ui->tx2P, ui->tx2H,
                                ui->rx1R, ui->rx1P, ui->rx1H, ui->rx2R, ui->rx2P, ui->rx2H,
                                ui->att1R, ui->att1P, ui->att1H, ui->att2R, ui->att2P, ui->att2H})
        EXPECT_EQ(QObject::disconnect(box, qOverload<double>(&QDoubleSpinBox::valueChanged), &window,
                                      qOverload<>(&CrossLineWidget::recalculate)),
                  realtime)
            << box->objectName().toStdString();
}

const QStringList postprocessingTools = {QStringLiteral("Recalculate"),
                                         QStringLiteral("Recalculate Preview Area"),
                                         QStringLiteral("Preview")};

INSTANTIATE_TEST_SUITE_P(
    Modes, CrossLineWidgetViewModeTest,
    ::testing::Values(
        ViewModeCase{"Postprocessing", CrossLineWidget::POSTPROCESSING,
                     {QStringLiteral("&File"), QStringLiteral("&Tools")},
                     {QStringLiteral("&Save Rule..."), QStringLiteral("E&xit")},
                     postprocessingTools, false},
        ViewModeCase{"Realtime", CrossLineWidget::REALTIME, {QStringLiteral("&File")},
                     {QStringLiteral("E&xit")}, {}, true}),
    [](const ::testing::TestParamInfo<ViewModeCase> &info) { return std::string(info.param.name); });

// A second REALTIME window in the same process gets its boxes connected too.
TEST_F(CrossLineWidgetTest, EveryRealtimeWindowConnectsItsOffsetBoxes)
{
    CrossLineWidget first(CrossLineWidget::REALTIME);
    CrossLineWidget second(CrossLineWidget::REALTIME);
    EXPECT_TRUE(QObject::disconnect(Inspector::ui(second)->att1R,
                                    qOverload<double>(&QDoubleSpinBox::valueChanged), &second,
                                    qOverload<>(&CrossLineWidget::recalculate)));
}

TEST_F(CrossLineWidgetTest, EmptyMenuEntriesDoNothingAndExitCloses)
{
    CrossLineWidget window(CrossLineWidget::POSTPROCESSING);
    window.show();
    const QList<QAction *> bar = window.menuBar()->actions();
    QAction *saveRule = bar.at(0)->menu()->actions().at(0);
    QAction *exit = bar.at(0)->menu()->actions().at(1);
    QAction *preview = bar.at(1)->menu()->actions().at(2);

    const int topLevels = QApplication::topLevelWidgets().size();
    saveRule->trigger();
    preview->trigger();
    QCoreApplication::processEvents();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(QApplication::topLevelWidgets().size(), topLevels);

    exit->trigger();
    EXPECT_FALSE(window.isVisible());
}

// ---- Title bar and clock ----

// Notes the clock label's text when a window's clock timer delivers its
// first tick, before the timer's slot runs. An application-wide filter sees
// it even when the tick comes inside the construction, which lets events
// through (the progress window's layout).
class FirstClockTick : public QObject
{
public:
    FirstClockTick() { qApp->installEventFilter(this); }
    ~FirstClockTick() override { qApp->removeEventFilter(this); }

    bool seen = false;
    QString textBefore;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!seen && event->type() == QEvent::Timer) {
            auto *timer = qobject_cast<QTimer *>(watched);
            auto *window = timer ? qobject_cast<CrossLineWidget *>(timer->parent()) : nullptr;
            if (window && timer->interval() == 1000) {
                seen = true;
                textBefore = Inspector::clockLabel(*window)->text();
            }
        }
        return false;
    }
};

TEST_F(CrossLineWidgetTest, ClockIsEmptyThenShowsUtcDateOverTime)
{
    FirstClockTick firstTick;
    const QDateTime before = QDateTime::currentDateTimeUtc();
    CrossLineWidget window(CrossLineWidget::POSTPROCESSING);
    QLabel *clock = Inspector::clockLabel(window);
    ASSERT_NE(clock, nullptr);

    auto *titleBar = qobject_cast<QToolBar *>(clock->parentWidget());
    ASSERT_NE(titleBar, nullptr);
    EXPECT_EQ(titleBar->windowTitle(), QStringLiteral("Calib Toolbar"));
    EXPECT_FALSE(titleBar->isFloatable());
    EXPECT_FALSE(titleBar->isMovable());
    EXPECT_EQ(window.toolBarArea(titleBar), Qt::TopToolBarArea);
    EXPECT_EQ(clock->width(), 70);
    EXPECT_TRUE(clock->wordWrap());

    ASSERT_TRUE(QTest::qWaitFor([&] { return firstTick.seen && !clock->text().isEmpty(); }, 10000))
        << "no clock tick, or no text after it";
    const QDateTime after = QDateTime::currentDateTimeUtc();
    EXPECT_TRUE(firstTick.textBefore.isEmpty())
        << "text before the first tick: " << firstTick.textBefore.toStdString();
    const QStringList lines = clock->text().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2) << clock->text().toStdString();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d$")).match(lines[0]).hasMatch())
        << lines[0].toStdString();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\dZ$")).match(lines[1]).hasMatch())
        << lines[1].toStdString();
    // The time of the tick, to the second.
    const QDateTime shown = QDateTime::fromString(lines.join(QLatin1Char('T')), Qt::ISODate);
    ASSERT_TRUE(shown.isValid()) << clock->text().toStdString();
    EXPECT_GE(shown, before.addMSecs(-before.time().msec())) << shown.toString(Qt::ISODate).toStdString();
    EXPECT_LE(shown, after) << shown.toString(Qt::ISODate).toStdString();
}

// ---- Settings ----

struct CorridorWidthCase {
    const char *name;
    QVariant stored; // invalid: no key
    double expected; // < 0: the box's minimum
};

void PrintTo(const CorridorWidthCase &c, std::ostream *os)
{
    *os << c.name;
}

class CrossLineWidgetCorridorWidthTest : public CrossLineWidgetTest,
                                         public ::testing::WithParamInterface<CorridorWidthCase>
{
};

// The stored width is shown, and neither announced nor loaded.
TEST_P(CrossLineWidgetCorridorWidthTest, RestoredFromGuiIni)
{
    const CorridorWidthCase &c = GetParam();
    if (c.stored.isValid()) {
        QSettings ini(CrossLineWidget::guiIniPath(), QSettings::IniFormat);
        ini.setValue(QStringLiteral("RUNTIME/CORR_WIDTH"), c.stored);
        ini.sync();
    }
    QFile iniFile(CrossLineWidget::guiIniPath());
    const QByteArray before = iniFile.open(QIODevice::ReadOnly) ? iniFile.readAll() : QByteArray();
    iniFile.close();

    LogCapture dataLog(QStringLiteral("CrossLineData"));
    LogCapture windowLog(QStringLiteral("Rerozadoz"));
    CrossLineWidget window(CrossLineWidget::POSTPROCESSING);
    QCoreApplication::processEvents();
    QDoubleSpinBox *width = Inspector::ui(window)->corridorWidth;
    EXPECT_DOUBLE_EQ(width->value(), c.expected < 0 ? width->minimum() : c.expected);

    // A load would ask for the raw files; a width change would rewrite "gui.ini".
    for (const QString &message : dataLog.messages())
        EXPECT_FALSE(message.startsWith(QStringLiteral("getRawFiles"))) << message.toStdString();
    for (const QString &message : windowLog.messages())
        EXPECT_FALSE(message.contains(QStringLiteral("loadData"))) << message.toStdString();
    QByteArray after;
    if (iniFile.open(QIODevice::ReadOnly))
        after = iniFile.readAll();
    EXPECT_EQ(after, before);
}

INSTANTIATE_TEST_SUITE_P(
    Stored, CrossLineWidgetCorridorWidthTest,
    ::testing::Values(CorridorWidthCase{"Missing", QVariant(), 2.0},
                      CorridorWidthCase{"SevenAndAHalf", QVariant(7.5), 7.5},
                      CorridorWidthCase{"NotANumber", QVariant(QStringLiteral("wide")), -1.0},
                      // Numbers that are not finite give the default.
                      CorridorWidthCase{"NaN", QVariant(QStringLiteral("nan")), 2.0},
                      CorridorWidthCase{"Infinite", QVariant(QStringLiteral("inf")), 2.0},
                      CorridorWidthCase{"MinusInfinite", QVariant(QStringLiteral("-inf")), 2.0}),
    [](const ::testing::TestParamInfo<CorridorWidthCase> &info) { return std::string(info.param.name); });

#ifdef Q_OS_UNIX
// A file of the program-data folder read while the window is built, and
// what shows that it was taken for a missing one.
struct StartFile {
    const char *name;
    QString (*path)();
    bool (*takenForMissing)(CrossLineWidget &window);
};

const StartFile startFiles[] = {
    {"GuiIni", &CrossLineWidget::guiIniPath,
     [](CrossLineWidget &window) { return Inspector::ui(window)->corridorWidth->value() == 2.0; }},
    {"UserStyleSheet",
     [] { return CrossLineWidget::programDataFolder() + QStringLiteral("userStyle.css"); },
     [](CrossLineWidget &window) {
         return Inspector::styleSheetFile(window).fileName() == QStringLiteral(":/style.css");
     }},
};

void PrintTo(const StartFile &file, std::ostream *os)
{
    *os << file.name;
}

class CrossLineWidgetStartFileTest
    : public CrossLineWidgetTest,
      public ::testing::WithParamInterface<std::tuple<StartFile, specialfiles::Kind>>
{
protected:
    void TearDown() override
    {
        specialfiles::removeEntry(std::get<0>(GetParam()).path());
        CrossLineWidgetTest::TearDown();
    }
    QTemporaryDir scratch;
};

// Not read, as if missing, but told; and left as it is.
TEST_P(CrossLineWidgetStartFileTest, OtherThanAFileIsNotRead)
{
    const StartFile &file = std::get<0>(GetParam());
    const QString path = file.path();
    if (!std::get<1>(GetParam()).make(path, scratch.path()))
        GTEST_SKIP() << "cannot make it here";
    const QString before = specialfiles::describe(path);

    LogCapture log(QStringLiteral("Rerozadoz"));
    FifoUnblocker unblocker(path, std::chrono::seconds(10));
    CrossLineWidget window(CrossLineWidget::POSTPROCESSING);
    unblocker.dismiss();
    EXPECT_FALSE(unblocker.fired()) << "the window waited on the FIFO";
    EXPECT_TRUE(file.takenForMissing(window));
    EXPECT_EQ(log.messages(log4cplus::WARN_LOG_LEVEL),
              QStringList{QStringLiteral("CrossLineWidget: %1 is not a regular file; not read").arg(path)});
    EXPECT_EQ(specialfiles::describe(path), before);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, CrossLineWidgetStartFileTest,
    ::testing::Combine(::testing::ValuesIn(startFiles), ::testing::ValuesIn(specialfiles::notAFile)),
    [](const auto &info) {
        return std::string(std::get<0>(info.param).name) + std::get<1>(info.param).name;
    });

struct ViewModeName {
    const char *name;
    int viewMode;
};

void PrintTo(const ViewModeName &mode, std::ostream *os)
{
    *os << mode.name;
}

const ViewModeName viewModes[] = {{"Postprocessing", CrossLineWidget::POSTPROCESSING},
                                  {"Realtime", CrossLineWidget::REALTIME}};

class CrossLineWidgetUserSettingsNotAFileTest
    : public CrossLineWidgetTest,
      public ::testing::WithParamInterface<std::tuple<ViewModeName, specialfiles::Kind>>
{
protected:
    void TearDown() override
    {
        specialfiles::removeEntry(UserSettings::filePath());
        CrossLineWidgetTest::TearDown();
    }
    QTemporaryDir scratch;
};

// The user settings store is neither read, so the display types keep their
// defaults, nor written, in REALTIME mode at the start or at the end; each
// time it is told, and the file stays as it is.
TEST_P(CrossLineWidgetUserSettingsNotAFileTest, IsLeftAloneFromStartToEnd)
{
    const int viewMode = std::get<0>(GetParam()).viewMode;
    const QString path = UserSettings::filePath();
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
    QFile::remove(path); // an empty store that the fixture's clearing left
    if (!std::get<1>(GetParam()).make(path, scratch.path()))
        GTEST_SKIP() << "cannot make it here";
    const QString before = specialfiles::describe(path);

    LogCapture log(QStringLiteral("Rerozadoz"));
    {
        FifoUnblocker unblocker(path, std::chrono::seconds(10));
        {
            CrossLineWidget window(viewMode);
            EXPECT_EQ(Inspector::ui(window)->displayTypeXSelect->currentIndex(), 0);
            EXPECT_EQ(Inspector::ui(window)->displayTypeYSelect->currentIndex(), 2);
            Inspector::ui(window)->displayTypeXSelect->setCurrentIndex(3);
        }
        unblocker.dismiss();
        EXPECT_FALSE(unblocker.fired()) << "the window waited on the FIFO";
    }
    QStringList expected{QStringLiteral("CrossLineWidget: %1 is not a regular file; not read").arg(path)};
    if (viewMode == CrossLineWidget::REALTIME)
        expected << QStringLiteral("CrossLineWidget: %1 is not a regular file; the interactive edit "
                                   "mode is not stored").arg(path);
    expected << QStringLiteral("CrossLineWidget: %1 is not a regular file; the display type selection "
                               "is not stored").arg(path);
    EXPECT_EQ(log.messages(log4cplus::WARN_LOG_LEVEL), expected);
    EXPECT_EQ(specialfiles::describe(path), before);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, CrossLineWidgetUserSettingsNotAFileTest,
    ::testing::Combine(::testing::ValuesIn(viewModes), ::testing::ValuesIn(specialfiles::notAFile)),
    [](const auto &info) {
        return std::string(std::get<0>(info.param).name) + std::get<1>(info.param).name;
    });

// Only the application's own file of the store is read: the organisation's,
// which Qt's store reads beside it, may be anything.
TEST_F(CrossLineWidgetTest, UserSettingsOfTheOrganisationAreNotRead)
{
    const QString organisationFile =
        QFileInfo(UserSettings::filePath()).path() + QStringLiteral(".conf");
    ASSERT_TRUE(specialfiles::makeFifo(organisationFile));
    {
        FifoUnblocker unblocker(organisationFile, std::chrono::seconds(10));
        {
            CrossLineWidget window(CrossLineWidget::REALTIME);
        }
        unblocker.dismiss();
        EXPECT_FALSE(unblocker.fired()) << "the window waited on the FIFO";
    }
    EXPECT_TRUE(QFileInfo(UserSettings::filePath()).isFile());
    QFile::remove(organisationFile);
}

// The projection definition file named at start: one that is not a regular
// file is not read, as if missing, but told.
TEST_F(CrossLineWidgetTest, ProjectionFileThatIsNotAFileIsToldAndNotRead)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("fifo.txt"));
    ASSERT_TRUE(specialfiles::makeFifo(fifo));
    const QString folder = dir.filePath(QStringLiteral("folder.txt"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString regular = dir.filePath(QStringLiteral("regular.txt"));
    {
        QFile file(regular);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("<t>\nEPSG:4326\n+proj=merc +units=cm +ellps=WGS84\n");
    }
    const struct {
        QString path;
        bool told;
    } cases[] = {{fifo, true}, {folder, true}, {regular, false}, {dir.filePath(QStringLiteral("missing.txt")), false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        CrossLineWidget window(CrossLineWidget::POSTPROCESSING);
        LogCapture log(QStringLiteral("Rerozadoz"));
        FifoUnblocker unblocker(fifo, std::chrono::seconds(10));
        window.setProjectionFile(c.path);
        unblocker.dismiss();
        EXPECT_FALSE(unblocker.fired()) << "the window waited on the FIFO";
        EXPECT_EQ(log.messages(log4cplus::WARN_LOG_LEVEL),
                  c.told ? QStringList{QStringLiteral("CrossLineWidget::setProjectionFile: %1 is not "
                                                      "a regular file; not read").arg(c.path)}
                         : QStringList());
    }
}
#endif

struct DisplayTypeCase {
    const char *name;
    int viewMode;
    QVariant storedX; // invalid: no key
    QVariant storedY;
    int expectedX;
    int expectedY;
    int updateViewDataRuns;
};

void PrintTo(const DisplayTypeCase &c, std::ostream *os)
{
    *os << c.name;
}

class CrossLineWidgetDisplayTypeTest : public CrossLineWidgetTest,
                                       public ::testing::WithParamInterface<DisplayTypeCase>
{
};

// Counts currentIndexChanged of the two display-type combo boxes of every
// window built while it lives: it sees each new child object through an
// application event filter and attaches itself once the form names it.
class IndexChangeCounter : public QObject
{
public:
    IndexChangeCounter() { qApp->installEventFilter(this); }
    ~IndexChangeCounter() override { qApp->removeEventFilter(this); }
    int changes = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::ChildAdded) {
            QObject *child = static_cast<QChildEvent *>(event)->child();
            connect(child, &QObject::objectNameChanged, this, [this, child](const QString &name) {
                auto *combo = qobject_cast<QComboBox *>(child);
                if (combo && (name == QLatin1String("displayTypeXSelect")
                              || name == QLatin1String("displayTypeYSelect")))
                    connect(combo, qOverload<int>(&QComboBox::currentIndexChanged), this,
                            [this] { ++changes; });
            });
        }
        return QObject::eventFilter(watched, event);
    }
};

int indexChangesWhileBuilding(int viewMode)
{
    IndexChangeCounter counter;
    CrossLineWidget window(viewMode);
    return counter.changes;
}

TEST_P(CrossLineWidgetDisplayTypeTest, RestoredAtStartAndStoredAtEnd)
{
    const DisplayTypeCase &c = GetParam();
    {
        QSettings settings = userSettings();
        if (c.storedX.isValid())
            settings.setValue(QStringLiteral("DATADISPLAY_X_KEY"), c.storedX);
        if (c.storedY.isValid())
            settings.setValue(QStringLiteral("DATADISPLAY_Y_KEY"), c.storedY);
    }

    int restoreChanges = 0;
    {
        auto counter = std::make_unique<IndexChangeCounter>();
        CrossLineWidget window(c.viewMode);
        restoreChanges = counter->changes;
        counter.reset();
        Ui::CalibrationWidget *ui = Inspector::ui(window);
        EXPECT_EQ(ui->displayTypeXSelect->currentIndex(), c.expectedX);
        EXPECT_EQ(ui->displayTypeYSelect->currentIndex(), c.expectedY);
    }
    QSettings stored = userSettings();
    EXPECT_EQ(stored.value(QStringLiteral("DATADISPLAY_X_KEY")).toInt(), c.expectedX);
    EXPECT_EQ(stored.value(QStringLiteral("DATADISPLAY_Y_KEY")).toInt(), c.expectedY);

    // A change after the constructor's wiring runs updateViewData: the
    // changes beyond those of a start without stored keys.
    clearUserSettings();
    EXPECT_EQ(restoreChanges - indexChangesWhileBuilding(c.viewMode), c.updateViewDataRuns);
}

INSTANTIATE_TEST_SUITE_P(
    Stored, CrossLineWidgetDisplayTypeTest,
    ::testing::Values(
        DisplayTypeCase{"None", CrossLineWidget::POSTPROCESSING, QVariant(), QVariant(), 0, 2, 0},
        DisplayTypeCase{"Defaults", CrossLineWidget::POSTPROCESSING, 0, 2, 0, 2, 0},
        DisplayTypeCase{"BothChanged", CrossLineWidget::POSTPROCESSING, 1, 5, 1, 5, 2},
        DisplayTypeCase{"OnlyYChanged", CrossLineWidget::POSTPROCESSING, 0, 13, 0, 13, 1},
        DisplayTypeCase{"RealtimeStillRestores", CrossLineWidget::REALTIME, 3, 4, 3, 4, 2},
        DisplayTypeCase{"OutOfRangeKeepsDefaults", CrossLineWidget::POSTPROCESSING, 14, -1, 0, 2, 0}),
    [](const ::testing::TestParamInfo<DisplayTypeCase> &info) { return std::string(info.param.name); });

TEST_F(CrossLineWidgetTest, DestructorStoresTheChosenDisplayTypes)
{
    {
        CrossLineWidget window(CrossLineWidget::POSTPROCESSING);
        Inspector::ui(window)->displayTypeXSelect->setCurrentIndex(11);
        Inspector::ui(window)->displayTypeYSelect->setCurrentIndex(12);
    }
    QSettings settings = userSettings();
    EXPECT_EQ(settings.value(QStringLiteral("DATADISPLAY_X_KEY")).toInt(), 11);
    EXPECT_EQ(settings.value(QStringLiteral("DATADISPLAY_Y_KEY")).toInt(), 12);
}

TEST_F(CrossLineWidgetTest, UserStyleSheetReplacesTheBuiltInOne)
{
    {
        CrossLineWidget window(CrossLineWidget::POSTPROCESSING);
        EXPECT_EQ(Inspector::styleSheetFile(window).fileName(), QStringLiteral(":/style.css"));
    }
    const QString userSheet = CrossLineWidget::programDataFolder() + QStringLiteral("userStyle.css");
    QFile file(userSheet);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("QLabel#informationLabel { color: #123456; }\n");
    file.close();
    CrossLineWidget window(CrossLineWidget::POSTPROCESSING);
    EXPECT_EQ(Inspector::styleSheetFile(window).fileName(), userSheet);
    EXPECT_TRUE(qApp->styleSheet().contains(QStringLiteral("#123456")));
}

// ---- Event filter ----

// Key events as the platform delivers them: the modifiers before the key,
// which QKeyEvent::modifiers() toggles for a modifier key itself.
struct KeyCase {
    const char *name;
    QEvent::Type type;
    int key;
    Qt::KeyboardModifiers modifiers;
    bool ctrlHeld;
};

void PrintTo(const KeyCase &c, std::ostream *os)
{
    *os << c.name;
}

class CrossLineWidgetEventFilterTest : public CrossLineWidgetTest,
                                       public ::testing::WithParamInterface<KeyCase>
{
};

TEST_P(CrossLineWidgetEventFilterTest, CtrlSwitchesTheRubberBandOff)
{
    const KeyCase &c = GetParam();
    CrossLineWidget window(CrossLineWidget::POSTPROCESSING);
    QChartView view;
    view.installEventFilter(&window);

    // Start from the opposite state.
    QKeyEvent opposite(QEvent::KeyPress, Qt::Key_A, c.ctrlHeld ? Qt::NoModifier : Qt::ControlModifier);
    EXPECT_FALSE(window.eventFilter(&view, &opposite));
    ASSERT_EQ(Inspector::ctrlHeld(window), !c.ctrlHeld);
    ASSERT_EQ(view.rubberBand(), c.ctrlHeld ? QChartView::RectangleRubberBand : QChartView::NoRubberBand);

    QKeyEvent event(c.type, c.key, c.modifiers);
    EXPECT_FALSE(window.eventFilter(&view, &event));
    EXPECT_EQ(Inspector::ctrlHeld(window), c.ctrlHeld);
    EXPECT_EQ(view.rubberBand(), c.ctrlHeld ? QChartView::NoRubberBand : QChartView::RectangleRubberBand);

    // Through the installed filter: the same state, and the view gets the event.
    window.eventFilter(&view, &opposite);
    QKeyEvent delivered(c.type, c.key, c.modifiers);
    QApplication::sendEvent(&view, &delivered);
    EXPECT_EQ(Inspector::ctrlHeld(window), c.ctrlHeld);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, CrossLineWidgetEventFilterTest,
    ::testing::Values(
        KeyCase{"CtrlPressed", QEvent::KeyPress, Qt::Key_Control, Qt::NoModifier, true},
        KeyCase{"KeyWithCtrlHeld", QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier, true},
        KeyCase{"ShiftPressedWithCtrlHeld", QEvent::KeyPress, Qt::Key_Shift, Qt::ControlModifier, true},
        KeyCase{"KeyReleasedWithCtrlHeld", QEvent::KeyRelease, Qt::Key_A,
                Qt::ControlModifier | Qt::AltModifier, true},
        KeyCase{"CtrlReleased", QEvent::KeyRelease, Qt::Key_Control, Qt::ControlModifier, false},
        KeyCase{"PlainKey", QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, false},
        KeyCase{"ShiftReleased", QEvent::KeyRelease, Qt::Key_Shift, Qt::ShiftModifier, false}),
    [](const ::testing::TestParamInfo<KeyCase> &info) { return std::string(info.param.name); });

TEST_F(CrossLineWidgetTest, EventFilterIgnoresOtherEvents)
{
    CrossLineWidget window(CrossLineWidget::POSTPROCESSING);
    QChartView view;
    QKeyEvent ctrl(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier);
    window.eventFilter(&view, &ctrl);

    QEvent focus(QEvent::FocusOut);
    QMouseEvent click(QEvent::MouseButtonPress, QPointF(1, 1), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    for (QEvent *event : {&focus, static_cast<QEvent *>(&click)})
        EXPECT_FALSE(window.eventFilter(&view, event));
    EXPECT_TRUE(Inspector::ctrlHeld(window));
    EXPECT_EQ(view.rubberBand(), QChartView::NoRubberBand);

    // Before a chart exists a key event on another object only tracks Ctrl.
    QKeyEvent plain(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier);
    EXPECT_FALSE(window.eventFilter(&window, &plain));
    EXPECT_FALSE(Inspector::ctrlHeld(window));
}

// ---- Server start and close handling ----

// The program listens on 11225; this test program moves every window's
// listener to a free port, which the window must take.
TEST_F(CrossLineWidgetTest, ServerStartsOnTheFirstTurnOfTheEventLoop)
{
    EXPECT_EQ(CrossLineWidget::programCallerPort, 11225);
    DebugCapture dbg;
    CrossLineWidget window(CrossLineWidget::POSTPROCESSING);
    ASSERT_NE(window.findChild<HVXQAWebSocketServer *>(), nullptr);
    EXPECT_EQ(dbg.count(QStringLiteral("HVXQAWebSocketServer::start()")), 0);
    EXPECT_EQ(listeningPort(window), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(dbg.lines().filter(QStringLiteral("HVXQAWebSocketServer::start()")),
              QStringList{QStringLiteral("HVXQAWebSocketServer::start() listens")});
    EXPECT_NE(listeningPort(window), 0);
    EXPECT_NE(listeningPort(window), CrossLineWidget::programCallerPort);
}

struct CloseCase {
    const char *name;
    bool caller;
    bool destroyRightAfter; // as main does once the event loop has returned
};

void PrintTo(const CloseCase &c, std::ostream *os)
{
    *os << c.name;
}

class CrossLineWidgetCloseTest : public CrossLineWidgetTest,
                                 public ::testing::WithParamInterface<CloseCase>
{
};

// Closing the shown window ends the event loop and tells the caller once.
TEST_P(CrossLineWidgetCloseTest, ClosingEndsTheLoopAndTellsTheCaller)
{
    const CloseCase &c = GetParam();
    qRegisterMetaType<QWebSocket *>();
    auto window = std::make_unique<CrossLineWidget>(CrossLineWidget::POSTPROCESSING);
    auto *server = window->findChild<HVXQAWebSocketServer *>();
    ASSERT_NE(server, nullptr);
    QSignalSpy handOvers(server, &HVXQAWebSocketServer::newClientConnection);
    QCoreApplication::processEvents();
    const quint16 port = listeningPort(*window);
    ASSERT_NE(port, 0);

    QWebSocket client;
    QStringList received;
    QObject::connect(&client, &QWebSocket::textMessageReceived,
                     [&](const QString &text) { received << text; });
    if (c.caller) {
        client.open(QUrl(QStringLiteral("ws://127.0.0.1:%1").arg(port)));
        ASSERT_TRUE(QTest::qWaitFor([&] { return handOvers.count() == 1; }, 5000));
        // The hand-over made it the current caller.
        ASSERT_EQ(Inspector::clientSocket(*window), handOvers.at(0).at(0).value<QWebSocket *>());
    }

    window->show();
    bool timedOut = false;
    QTimer::singleShot(0, window.get(), &QWidget::close);
    QTimer::singleShot(5000, qApp, [&] {
        timedOut = true;
        QCoreApplication::exit(1);
    });
    QApplication::exec();
    EXPECT_FALSE(timedOut);
    EXPECT_FALSE(window->isVisible());
    if (c.destroyRightAfter)
        window.reset();

    if (c.caller) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return received.contains(closedMessage); }, 5000));
    }
    QTest::qWait(200);
    EXPECT_EQ(received.count(closedMessage), c.caller ? 1 : 0) << received.join('|').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Callers, CrossLineWidgetCloseTest,
    ::testing::Values(CloseCase{"WithCaller", true, false},
                      CloseCase{"WithCallerWindowDestroyed", true, true},
                      CloseCase{"WithoutCaller", false, true}),
    [](const ::testing::TestParamInfo<CloseCase> &info) { return std::string(info.param.name); });

// The program's end, by the caller or the user, frees the caller's port as
// soon as the event loop ends, before the window (and its chart, however
// large) is destroyed: a window started again can listen at once.
struct EndCase {
    const char *name;
    void (*end)(CrossLineWidget &window);
};

void PrintTo(const EndCase &c, std::ostream *os)
{
    *os << c.name;
}

class CrossLineWidgetEndTest : public CrossLineWidgetTest, public ::testing::WithParamInterface<EndCase>
{
};

TEST_P(CrossLineWidgetEndTest, PortIsFreeWhenTheEventLoopEnds)
{
    CrossLineWidget window(CrossLineWidget::POSTPROCESSING);
    QCoreApplication::processEvents();
    const quint16 port = listeningPort(window);
    ASSERT_NE(port, 0);
    {
        QTcpServer taken;
        ASSERT_FALSE(taken.listen(QHostAddress::Any, port)) << "the window does not listen";
    }

    window.show();
    bool timedOut = false;
    QTimer::singleShot(0, &window, [&] { GetParam().end(window); });
    QTimer::singleShot(5000, qApp, [&] {
        timedOut = true;
        QCoreApplication::exit(1);
    });
    QApplication::exec();
    ASSERT_FALSE(timedOut);

    QTcpServer next;
    EXPECT_TRUE(next.listen(QHostAddress::Any, port)) << next.errorString().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Ends, CrossLineWidgetEndTest,
    ::testing::Values(
        EndCase{"TerminateMessage",
                [](CrossLineWidget &window) {
                    window.processWebSocketMessage(QStringLiteral("$DAVARIV,CALIBRATION,TERMINATE_CALIB"));
                }},
        EndCase{"WindowClosed", [](CrossLineWidget &window) { window.close(); }}),
    [](const ::testing::TestParamInfo<EndCase> &info) { return std::string(info.param.name); });

TEST_F(CrossLineWidgetTest, ClosingHidesTheProgressWindows)
{
    CrossLineWidget window(CrossLineWidget::POSTPROCESSING);
    CHVXQA_Tasks_Progress *progress = Inspector::tasksProgress(window);
    ASSERT_NE(progress, nullptr);
    EXPECT_EQ(progress->parent(), &window);
    progress->showProgress();
    progress->showMessages();
    window.show();
    window.close();
    for (QWidget *widget : QApplication::topLevelWidgets())
        EXPECT_FALSE(widget->isVisible()) << widget->metaObject()->className();
}

// ---- Screenshot ----

TEST_F(CrossLineWidgetTest, ScreenshotShowsTheFormLayout)
{
    CrossLineWidget window(CrossLineWidget::POSTPROCESSING);
    window.resize(1280, 800);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(1100); // one clock tick
    const QImage shot = window.grab().toImage();
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(shot.size(), QSize(1280, 800) * window.devicePixelRatioF());

    // The left pane (legend, controls) stands left of the chart pane.
    Ui::CalibrationWidget *ui = Inspector::ui(window);
    const QRect legend(ui->listWidget->mapTo(&window, QPoint()), ui->listWidget->size());
    const QRect graph(ui->graphicWidget->mapTo(&window, QPoint()), ui->graphicWidget->size());
    EXPECT_TRUE(ui->listWidget->isVisible());
    EXPECT_TRUE(ui->graphicWidget->isVisible());
    EXPECT_LT(legend.right(), graph.left());

    QString folder = qEnvironmentVariable("RIDUR_SCREENSHOT_DIR");
    if (folder.isEmpty())
        folder = qEnvironmentVariable("RIDUR_TEST_SANDBOX", QDir::tempPath());
    EXPECT_TRUE(shot.save(QDir(folder).filePath(QStringLiteral("crosslinewidget.png"))));
}

// ---- Data thread ----

class ThreadedCrossLineWidgetTest : public CrossLineWidgetTest
{
};

TEST_F(ThreadedCrossLineWidgetTest, DataObjectRunsInItsOwnThread)
{
    CrossLineWidget window(CrossLineWidget::POSTPROCESSING);
    CrossLineData *data = Inspector::crossLineData(window);
    QThread *thread = Inspector::dataThread(window);
    ASSERT_NE(data, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(data->parent(), nullptr);
    EXPECT_EQ(thread->parent(), &window);
    EXPECT_EQ(data->thread(), thread);
    EXPECT_TRUE(QTest::qWaitFor([&] { return thread->isRunning(); }, 2000));
    EXPECT_NE(thread, QThread::currentThread());
}

// The destructor waits for a job that runs in the data thread.
TEST_F(ThreadedCrossLineWidgetTest, DestructorWaitsForTheRunningJob)
{
    auto window = std::make_unique<CrossLineWidget>(CrossLineWidget::POSTPROCESSING);
    CrossLineData *data = Inspector::crossLineData(*window);
    QSemaphore started;
    std::atomic<bool> finished{false};
    QMetaObject::invokeMethod(
        data,
        [&] {
            started.release();
            QThread::msleep(300);
            finished = true;
        },
        Qt::QueuedConnection);
    ASSERT_TRUE(started.tryAcquire(1, 5000));
    window.reset();
    EXPECT_TRUE(finished);
    // The data object outlives the window.
    EXPECT_TRUE(data->rawFiles().isEmpty());
}

// A job that never returns (an open or read blocked for good) holds the data
// thread; the job below waits for the test's release instead, at most 30 s.
class ThreadedShutdownTest : public ThreadedCrossLineWidgetTest
{
protected:
    void SetUp() override
    {
        ThreadedCrossLineWidgetTest::SetUp();
        window = std::make_unique<CrossLineWidget>(CrossLineWidget::POSTPROCESSING);
        thread = Inspector::dataThread(*window);
        data = Inspector::crossLineData(*window);
        QMetaObject::invokeMethod(
            data,
            [this] {
                started.release();
                release.tryAcquire(1, 30000);
            },
            Qt::QueuedConnection);
        ASSERT_TRUE(started.tryAcquire(1, 5000));
    }

    void TearDown() override
    {
        window.reset();
        release.release();
        // Left behind by the window: joined and deleted here, after its end
        // has been taken up as the window does it.
        if (thread && !thread->parent()) {
            EXPECT_TRUE(thread->wait(10000));
            data->handoff().takeThreadEnd();
            delete thread;
        }
        ThreadedCrossLineWidgetTest::TearDown();
    }

    std::unique_ptr<CrossLineWidget> window;
    QThread *thread = nullptr;
    CrossLineData *data = nullptr;
    QSemaphore started;
    QSemaphore release;
};

TEST_F(ThreadedShutdownTest, StoppingGivesUpClosesTheListenerAndWarns)
{
    QCoreApplication::processEvents();
    const quint16 port = listeningPort(*window);
    ASSERT_NE(port, 0);
    auto *listener = window->findChild<QWebSocketServer *>();
    ASSERT_NE(listener, nullptr);
    ASSERT_TRUE(listener->isListening());

    const QStringList warning{
        "CrossLineWidget: the data thread did not finish within 300 ms; ending without it"};
    LogCapture cap("Rerozadoz");
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(window->stopDataThread(300));
    EXPECT_LT(timer.elapsed(), 10000);
    EXPECT_FALSE(listener->isListening());
    QTcpSocket probe;
    probe.connectToHost(QHostAddress::LocalHost, port);
    EXPECT_FALSE(probe.waitForConnected(2000));
    EXPECT_EQ(cap.messages(log4cplus::WARN_LOG_LEVEL), warning);
    EXPECT_TRUE(thread->isRunning());
    EXPECT_EQ(thread->parent(), nullptr); // not deleted with the window

    // Later calls, the destructor's among them, give up without waiting
    // again: no second warning, and the destructor does not wait for the
    // job, which holds the thread for 30 s.
    EXPECT_FALSE(window->stopDataThread(300));
    timer.restart();
    window.reset();
    EXPECT_LT(timer.elapsed(), 20000);
    EXPECT_EQ(cap.messages(log4cplus::WARN_LOG_LEVEL), warning);
    EXPECT_TRUE(thread->isRunning());
}

TEST_F(ThreadedShutdownTest, DestructorEndsAfterItsWait)
{
    LogCapture cap("Rerozadoz");
    QElapsedTimer timer;
    timer.start();
    window.reset();
    const qint64 elapsed = timer.elapsed();
    EXPECT_GE(elapsed, qint64(CrossLineWidget::dataThreadStopWaitMs) - 100);
    EXPECT_LT(elapsed, qint64(CrossLineWidget::dataThreadStopWaitMs) + 10000);
    EXPECT_EQ(cap.messages(log4cplus::WARN_LOG_LEVEL),
              QStringList{"CrossLineWidget: the data thread did not finish within 5000 ms; ending without it"});
    EXPECT_TRUE(thread->isRunning());
}

// The five cross-thread connections exist, and each request runs in the
// data thread. The data object's own slots are taken off first, so that the
// probes run alone.
TEST_F(ThreadedCrossLineWidgetTest, RequestsAreDeliveredInTheDataThread)
{
    CrossLineWidget window(CrossLineWidget::POSTPROCESSING);
    CrossLineData *data = Inspector::crossLineData(window);
    EXPECT_TRUE(QObject::disconnect(data, &CrossLineData::regionDataReady, &window,
                                    &CrossLineWidget::regionDataReady));
    EXPECT_TRUE(QObject::disconnect(data, &CrossLineData::sigRecalcDone, &window,
                                    &CrossLineWidget::recalcDone));

    using Signal = void (CrossLineWidget::*)();
    using Slot = void (CrossLineData::*)();
    const std::pair<Signal, Slot> requests[] = {
        {&CrossLineWidget::requestRegionData, &CrossLineData::generateRegionData},
        {&CrossLineWidget::reqRecalculatedDepths, &CrossLineData::recalculatedDepths},
        {&CrossLineWidget::reqRecalculatedPreviewDepths, &CrossLineData::recalculatedPreviewDepths},
    };
    for (const auto &request : requests) {
        EXPECT_TRUE(QObject::disconnect(&window, request.first, data, request.second));
        std::atomic<Qt::HANDLE> handledIn{nullptr};
        QObject::connect(&window, request.first, data,
                         [&] { handledIn = QThread::currentThreadId(); });
        emit(window.*request.first)();
        EXPECT_TRUE(QTest::qWaitFor([&] { return handledIn.load() != nullptr; }, 5000));
        EXPECT_NE(handledIn.load(), QThread::currentThreadId());
        QObject::disconnect(&window, request.first, data, nullptr);
    }
}

} // namespace
