// The sounding chart of the calibration window, driven headless: rebuilds for
// each caller's flags, legend, extents, display modes, head filter, clicked
// points and the axis range controls. Data comes from NEXRA files written by
// the NEXRA writer and loaded through the window's own data object.
#include "crosslinewidget.h"

#include "crosslinedata.h"
#include "crosslinewidget_access.h"
#include "log_capture.h"
#include "nexrawriter.h"
#include "surveygenerator.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDir>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QFile>
#include <QGraphicsLayout>
#include <QKeyEvent>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QListWidget>
#include <QOpenGLWidget>
#include <QScatterSeries>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QValueAxis>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

QT_CHARTS_USE_NAMESPACE

using Inspector = CrossLineWidgetInspector;

void PrintTo(const QFont &font, std::ostream *os)
{
    *os << font.toString().toStdString();
}

namespace {

// A cross line along the meridian 20 E from latitude 10.0 to 10.01 (Mercator
// centimetres on WGS 84), corridor 100 m wide; pings in its middle.
constexpr qint32 lineX = 222638981;
constexpr qint32 lineStartY = 111147510;
constexpr qint32 lineEndY = 111259814;
constexpr float corridorWidth = 100.0f;

// Display-type rows.
constexpr int rowDistanceX = 0;
constexpr int rowDepth = 2;
constexpr int rowQFactor = 5;
constexpr int rowBeamNo = 11;
constexpr int rowTwoWayTime = 12;
constexpr int rowEllipsoid = 14;

constexpr quint32 pingSecond = 1600000000;

// A ping whose soundings lie 11 cm apart across the corridor; sounding i has
// two-way time twt0 + step * i and depth z0 + i / 10.
nexra::MrzPingRecord ping(int soundings, quint8 rxIndex = 0, float twt0 = 0.01f, float step = 0.001f,
                          float z0 = 20.0f, quint32 second = pingSecond)
{
    nexra::MrzPingRecord p;
    p.timeSec = second;
    p.timeNanosec = 250000000;
    p.rxIndex = rxIndex;
    p.rxCount = 2;
    p.heading = 0.0f;
    p.latitude = 10.005;
    p.longitude = 20.0;
    p.ellipsoidHeight = 30.0f;
    for (int i = 0; i < soundings; ++i) {
        nexra::MrzSoundingRecord s;
        s.twoWayTime = twt0 + step * i;
        s.deltaLongitude = 0.000001f * i;
        s.z = z0 + 0.1f * i;
        s.y = 0.11f * i;
        s.x = 0.5f;
        p.soundings << s;
    }
    return p;
}

QByteArray iip()
{
    return nexra::makeIipDatagram(nexra::makeInstallationText(nexra::defaultInstallation(2)));
}

class ChartTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        // Display types stored by an earlier window would redraw at construction.
        QSettings(QStringLiteral("Zovadivuv Uzavuzod UD"), QStringLiteral("RID UR ErideDevid")).clear();
        window = std::make_unique<CrossLineWidget>(CrossLineWidget::POSTPROCESSING);
        ui = Inspector::ui(*window);
        data = Inspector::crossLineData(*window);
        const QString projection = dir.filePath(QStringLiteral("projection.txt"));
        QFile file(projection);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("<tag>\nEPSG:4326\n+proj=merc +units=cm +ellps=WGS84\n");
        file.close();
        data->setProjectionFile(projection);
        data->setCrossLine(lineX, lineStartY, lineX, lineEndY);
        data->setCorridorWidth(corridorWidth);
    }

    void TearDown() override { window.reset(); }

    QString write(const QString &name, const QList<nexra::MrzPingRecord> &pings)
    {
        QList<QByteArray> datagrams{iip()};
        for (const auto &p : pings)
            datagrams << nexra::makeMrzDatagram(p);
        const QString path = dir.filePath(name);
        QDir().mkpath(QFileInfo(path).path());
        EXPECT_TRUE(nexra::writeFile(path, datagrams));
        return path;
    }

    // A real load in this thread while the data thread is idle, then the
    // lines as loaded; the window then counts as having answered the load.
    void load(const QStringList &paths, bool recalculated = false)
    {
        data->clearData();
        for (const QString &p : paths)
            data->addRawFile(p);
        data->loadRegionData();
        data->loadCorridorData();
        Inspector::displayData(*window).setOriginalData(data);
        if (recalculated)
            Inspector::displayData(*window).setRecalculatedData(data);
        Inspector::loadingFlag(*window) = false;
    }

    // Waits in the event loop until no job runs and its answer has been
    // handled.
    bool waitIdle()
    {
        QElapsedTimer timer;
        timer.start();
        while (window->dataThreadBusy()) {
            if (timer.elapsed() > 60000)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        QCoreApplication::processEvents();
        return true;
    }

    // A recalculation asked for as the user does, answered by the data
    // thread and handled by the window.
    bool recalculateInWindow(bool preview)
    {
        if (preview)
            window->recalculatePreviewArea();
        else
            window->recalculate();
        return waitIdle();
    }

    // A rebuild as the window's callers make it.
    void draw(int xRow, int yRow, bool forceRange, bool redrawOriginal, bool originalOnly)
    {
        Inspector::chartReady(*window) = false;
        Inspector::createChartUI(*window, xRow, yRow, forceRange, redrawOriginal, originalOnly);
        Inspector::chartReady(*window) = true;
        // As the load's answer and updateDisplayGraphs connect the legend.
        QObject::connect(ui->listWidget, &QListWidget::itemChanged, window.get(),
                         &CrossLineWidget::lineStateChanged, Qt::UniqueConnection);
    }

    QList<QXYSeries *> series() const
    {
        QList<QXYSeries *> out;
        if (QChart *c = Inspector::chart(*window))
            for (QAbstractSeries *s : c->series())
                out << qobject_cast<QXYSeries *>(s);
        return out;
    }

    QStringList seriesNames() const
    {
        QStringList names;
        for (QXYSeries *s : series())
            names << s->name();
        return names;
    }

    // Every line of the chart, shown or hidden, in the chart's order.
    QStringList lineNames() const { return seriesNames(); }

    // Line i is drawn: its series is visible.
    bool lineShown(int i) const
    {
        const QList<QXYSeries *> lines = series();
        return i < lines.size() && lines.at(i)->isVisible();
    }

    QList<QColor> lineColours() const
    {
        QList<QColor> out;
        for (QXYSeries *s : series())
            out << s->color();
        return out;
    }

    // The chart holds a series for every legend item, in the legend's
    // order, shown as its item is checked.
    ::testing::AssertionResult chartFollowsLegend() const
    {
        const QList<QXYSeries *> lines = series();
        if (lines.size() != ui->listWidget->count())
            return ::testing::AssertionFailure() << lines.size() << " series, " << ui->listWidget->count() << " legend items";
        for (int i = 0; i < lines.size(); ++i) {
            const QListWidgetItem *item = ui->listWidget->item(i);
            if (lines.at(i)->name() != item->text())
                return ::testing::AssertionFailure() << "series " << i << " named " << lines.at(i)->name().toStdString();
            if (lines.at(i)->isVisible() != (item->checkState() == Qt::Checked))
                return ::testing::AssertionFailure() << item->text().toStdString() << (lines.at(i)->isVisible() ? " shown, unchecked" : " hidden, checked");
        }
        return ::testing::AssertionSuccess();
    }

    QStringList legendTexts() const
    {
        QStringList texts;
        for (int i = 0; i < ui->listWidget->count(); ++i)
            texts << ui->listWidget->item(i)->text();
        return texts;
    }

    QList<bool> legendChecked() const
    {
        QList<bool> checked;
        for (int i = 0; i < ui->listWidget->count(); ++i)
            checked << (ui->listWidget->item(i)->checkState() == Qt::Checked);
        return checked;
    }

    // Ctrl pressed or released on the chart view, as the platform reports
    // it: with the modifier state from before the key.
    void pressCtrl(bool held)
    {
        QKeyEvent event(held ? QEvent::KeyPress : QEvent::KeyRelease, Qt::Key_Control,
                        held ? Qt::NoModifier : Qt::ControlModifier);
        QCoreApplication::sendEvent(Inspector::chartView(*window), &event);
    }

    QTemporaryDir dir;
    std::unique_ptr<CrossLineWidget> window;
    Ui::CalibrationWidget *ui = nullptr;
    CrossLineData *data = nullptr;
};

// ---- Rebuilds for each caller ----

struct FlagCase {
    const char *caller;
    bool forceRange, redrawOriginal, originalOnly;
    QStringList names;       // series and legend, in order
    QList<bool> checked;     // legend check states
    bool xRangeFromData;     // the X axis shows the data's extent
};

const QStringList origNames{"a.nexra:0 - orig", "b.nexra:0 - orig"};
const QStringList recalcNames{"a.nexra:0", "b.nexra:0"};

const FlagCase flagCases[] = {
    {"regionDataReady", true, true, true, origNames, {true, true}, true},
    // The kept " - orig" item keeps its unchecked state; the new items come last, checked.
    {"recalcDone", false, false, false, origNames + recalcNames, {false, true, true, true}, false},
    {"updateDisplayGraphs", false, true, false, origNames + recalcNames, {true, true, true, true}, false},
    {"updateViewData", true, true, false, origNames + recalcNames, {true, true, true, true}, true},
};

class ChartFlags : public ChartTest, public ::testing::WithParamInterface<FlagCase>
{
};

TEST_P(ChartFlags, SeriesLegendAndRange)
{
    const FlagCase &c = GetParam();
    load({write("a.nexra", {ping(11)}), write("sub/b.nexra", {ping(21)})}, true);
    draw(rowBeamNo, rowTwoWayTime, true, true, false);
    ASSERT_EQ(seriesNames(), origNames + recalcNames);
    // The user hides the first line and sets an X range of his own.
    ui->listWidget->item(0)->setCheckState(Qt::Unchecked);
    ASSERT_FALSE(lineShown(0));
    ui->horizontalRangeCheckBox->setChecked(false);
    ui->horizontalRangeLeftSpinBox->setValue(3.0);
    ui->horizontalRangeRightSpinBox->setValue(7.0);
    // The recalculated lines now hold fewer points.
    data->corridorDepths(data->loadedRawFiles().at(1)).erase(
        data->corridorDepths(data->loadedRawFiles().at(1)).begin() + 5,
        data->corridorDepths(data->loadedRawFiles().at(1)).end());
    Inspector::displayData(*window).setRecalculatedData(data);

    draw(rowBeamNo, rowTwoWayTime, c.forceRange, c.redrawOriginal, c.originalOnly);

    EXPECT_EQ(lineNames(), c.names);
    EXPECT_EQ(legendTexts(), c.names);
    EXPECT_EQ(legendChecked(), c.checked);
    EXPECT_TRUE(chartFollowsLegend());
    for (int i = 0; i < c.names.size(); ++i)
        EXPECT_EQ(lineShown(i), c.checked.at(i)) << i;
    for (QXYSeries *s : series()) {
        EXPECT_EQ(s->attachedAxes().size(), 2);
        EXPECT_TRUE(s->attachedAxes().contains(Inspector::axisX(*window)));
    }
    // Extents of the points drawn by this rebuild only.
    const double span = c.originalOnly || c.redrawOriginal ? 20.0 : 10.0;
    const double low = -0.02 * span;
    EXPECT_DOUBLE_EQ(Inspector::minX(*window), low);
    EXPECT_DOUBLE_EQ(Inspector::maxX(*window), span + 0.02 * (span - low));
    QValueAxis *x = Inspector::axisX(*window);
    if (c.xRangeFromData) {
        EXPECT_DOUBLE_EQ(x->min(), Inspector::minX(*window));
        EXPECT_DOUBLE_EQ(ui->horizontalRangeLeftSpinBox->value(), std::round(low * 100) / 100);
    } else {
        EXPECT_DOUBLE_EQ(x->min(), 3.0);
        EXPECT_DOUBLE_EQ(x->max(), 7.0);
        EXPECT_DOUBLE_EQ(ui->horizontalRangeLeftSpinBox->value(), 3.0);
    }
    EXPECT_EQ(x->titleText(), "Beam No");
    EXPECT_EQ(Inspector::axisY(*window)->titleText(), "Two Way Time");
    EXPECT_TRUE(Inspector::axisY(*window)->isReverse());
    EXPECT_EQ(Inspector::chartView(*window)->chart(), Inspector::chart(*window));
}

INSTANTIATE_TEST_SUITE_P(Callers, ChartFlags, ::testing::ValuesIn(flagCases),
                         [](const ::testing::TestParamInfo<FlagCase> &info) { return std::string(info.param.caller); });

// ---- Rebuilds over an earlier chart ----

// The colours a new chart gives its first `count` series, from the theme.
QList<QColor> themeColours(int count)
{
    QChart fresh;
    QList<QColor> colours;
    for (int i = 0; i < count; ++i) {
        auto *s = new QLineSeries();
        fresh.addSeries(s);
        colours << s->color();
    }
    return colours;
}

// What a rebuild leaves when the chart held more lines before, or the
// user had hidden some: every line as a new chart of these lines shows it,
// the kept lines as loaded as the user left them, each legend item in its
// series' colour and acting on its series.
struct RedrawCase {
    const char *name;
    QStringList files;        // loaded, drawn as loaded and recalculated
    QList<int> hiddenRows;    // legend rows the user then unchecks
    QStringList laterFiles;   // loaded before the rebuild (written when new); empty: the same
    int emptiedRecalculation; // file whose recalculated line is then empty, or -1
    bool redrawOriginal;      // true: a load's rebuild, false: a recalculation's
    QStringList names;
    QList<bool> checked;
};

void PrintTo(const RedrawCase &c, std::ostream *os)
{
    *os << c.name;
}

const RedrawCase redrawCases[] = {
    // The recalculated lines are drawn again over those drawn before, one of
    // them hidden by the user: all shown, their items checked.
    {"RecalculationAgain", {"a.nexra", "b.nexra"}, {0, 3}, {}, -1, false,
     {"a.nexra:0 - orig", "b.nexra:0 - orig", "a.nexra:0", "b.nexra:0"}, {false, true, true, true}},
    // One recalculated line less than before.
    {"RecalculationWithALineLess", {"a.nexra", "b.nexra"}, {0}, {}, 1, false,
     {"a.nexra:0 - orig", "b.nexra:0 - orig", "a.nexra:0"}, {false, true, true}},
    // A load of fewer files than the chart held lines.
    {"LoadOfFewerFiles", {"a.nexra", "b.nexra", "c.nexra"}, {1}, {"c.nexra"}, -1, true,
     {"c.nexra:0 - orig"}, {true}},
    // A load of as many other files as the chart held lines.
    {"LoadOfOtherFiles", {"a.nexra", "b.nexra"}, {}, {"c.nexra", "d.nexra", "e.nexra", "f.nexra"}, -1, true,
     {"c.nexra:0 - orig", "d.nexra:0 - orig", "e.nexra:0 - orig", "f.nexra:0 - orig"}, {true, true, true, true}},
};

class ChartRedraw : public ChartTest, public ::testing::WithParamInterface<RedrawCase>
{
};

TEST_P(ChartRedraw, LinesAsANewChartShowsThem)
{
    const RedrawCase &c = GetParam();
    QStringList paths;
    for (int i = 0; i < c.files.size(); ++i)
        paths << write(c.files.at(i), {ping(5 + 3 * i)});
    load(paths, true);
    draw(rowBeamNo, rowTwoWayTime, true, true, true);
    draw(rowBeamNo, rowTwoWayTime, false, false, false);
    for (int row : c.hiddenRows)
        ui->listWidget->item(row)->setCheckState(Qt::Unchecked);
    // A range of the user's own.
    ui->horizontalRangeCheckBox->setChecked(false);
    ui->horizontalRangeLeftSpinBox->setValue(1.0);
    ui->horizontalRangeRightSpinBox->setValue(4.0);

    if (!c.laterFiles.isEmpty()) {
        QStringList later;
        for (const QString &name : c.laterFiles)
            later << (c.files.contains(name) ? dir.filePath(name) : write(name, {ping(4)}));
        load(later, true);
    }
    if (c.emptiedRecalculation >= 0) {
        data->corridorDepths(data->loadedRawFiles().at(c.emptiedRecalculation)).clear();
        Inspector::displayData(*window).setRecalculatedData(data);
    }
    // As the load's answer (the lines as loaded only) or a recalculation's.
    draw(rowBeamNo, rowTwoWayTime, false, c.redrawOriginal, c.redrawOriginal);

    EXPECT_EQ(lineNames(), c.names);
    EXPECT_EQ(legendTexts(), c.names);
    EXPECT_EQ(legendChecked(), c.checked);
    ASSERT_TRUE(chartFollowsLegend());
    const QList<QColor> theme = themeColours(c.names.size());
    EXPECT_EQ(lineColours(), theme);
    for (int i = 0; i < c.names.size(); ++i) {
        EXPECT_EQ(lineShown(i), c.checked.at(i)) << i;
        EXPECT_EQ(ui->listWidget->item(i)->icon().pixmap(16, 16).toImage().pixelColor(8, 8), theme.at(i)) << i;
    }
    for (QXYSeries *s : series())
        EXPECT_EQ(s->attachedAxes().size(), 2) << s->name().toStdString();
    EXPECT_TRUE(Inspector::chart(*window)->axes().contains(Inspector::axisX(*window)));
    EXPECT_DOUBLE_EQ(Inspector::axisX(*window)->min(), 1.0);
    EXPECT_DOUBLE_EQ(Inspector::axisX(*window)->max(), 4.0);
    EXPECT_EQ(Inspector::chartView(*window)->chart(), Inspector::chart(*window));

    // Each item acts on its line, which is shown in its own colour on both
    // axes.
    for (int i = 0; i < c.names.size(); ++i) {
        QListWidgetItem *item = ui->listWidget->item(i);
        const bool shown = item->checkState() == Qt::Checked;
        item->setCheckState(shown ? Qt::Unchecked : Qt::Checked);
        EXPECT_EQ(lineShown(i), !shown) << i;
        EXPECT_TRUE(chartFollowsLegend()) << i;
        if (!shown) {
            QXYSeries *s = series().at(i);
            EXPECT_EQ(s->color(), theme.at(i)) << i;
            EXPECT_EQ(s->attachedAxes().size(), 2) << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Earlier, ChartRedraw, ::testing::ValuesIn(redrawCases),
                         [](const ::testing::TestParamInfo<RedrawCase> &info) { return std::string(info.param.name); });

// A chart zoomed in and out, as every answer does, then drawn again with
// other lines: resetting the zoom returns to the new lines' extents, not to
// the earlier ones.
TEST_F(ChartTest, ZoomResetAfterARedrawReturnsToItsExtents)
{
    load({write("a.nexra", {ping(6)})});
    draw(rowBeamNo, rowTwoWayTime, true, true, true);
    Inspector::chartView(*window)->resize(800, 600);
    QChart *c = Inspector::chart(*window);
    c->resize(800, 600);
    c->zoomIn();
    c->zoomOut();

    load({write("b.nexra", {ping(21)})});
    draw(rowBeamNo, rowTwoWayTime, true, true, true);
    c = Inspector::chart(*window);
    c->resize(800, 600);
    c->zoomIn();
    c->zoomOut();
    c->zoomReset();
    // Beams 0 to 20, widened by 2 %.
    EXPECT_NEAR(Inspector::axisX(*window)->min(), -0.4, 1e-9);
    EXPECT_NEAR(Inspector::axisX(*window)->max(), 20.408, 1e-9);
}

TEST_F(ChartTest, LegendItemsCarrySeriesColourAndHideTheirSeries)
{
    load({write("a.nexra", {ping(3)}), write("b.nexra", {ping(3)})});
    draw(rowBeamNo, rowDepth, true, true, true);
    ASSERT_EQ(ui->listWidget->count(), 2);
    for (int i = 0; i < 2; ++i) {
        const QImage icon = ui->listWidget->item(i)->icon().pixmap(16, 16).toImage();
        EXPECT_EQ(icon.size(), QSize(16, 16));
        EXPECT_EQ(icon.pixelColor(8, 8), series().at(i)->color());
    }
    EXPECT_NE(series().at(0)->color(), series().at(1)->color());
    ui->listWidget->item(1)->setCheckState(Qt::Unchecked);
    EXPECT_TRUE(lineShown(0));
    EXPECT_FALSE(lineShown(1));
    ui->listWidget->item(1)->setCheckState(Qt::PartiallyChecked);
    EXPECT_FALSE(lineShown(1));
    ui->listWidget->item(1)->setCheckState(Qt::Checked);
    EXPECT_TRUE(lineShown(1));
    EXPECT_TRUE(chartFollowsLegend());
    // Nothing acts while the chart is being rebuilt.
    Inspector::chartReady(*window) = false;
    ui->listWidget->item(1)->setCheckState(Qt::Unchecked);
    EXPECT_TRUE(lineShown(1));
}

TEST_F(ChartTest, SameFileNameInTwoFoldersTogglesFirstSeriesOnly)
{
    load({write("one/a.nexra", {ping(3)}), write("two/a.nexra", {ping(4)})});
    draw(rowBeamNo, rowDepth, true, true, true);
    ASSERT_EQ(seriesNames(), QStringList({"a.nexra:0 - orig", "a.nexra:0 - orig"}));
    ui->listWidget->item(1)->setCheckState(Qt::Unchecked);
    EXPECT_FALSE(lineShown(0));
    EXPECT_TRUE(lineShown(1));
}

// A recalculation's answer, asked for and answered through the window: the
// lines as loaded are hidden and stay in the chart, with their legend items,
// and come back, as drawn before and in their own colour, when checked
// again; a recalculated line the user had unchecked stays hidden. A preview
// answer draws nothing new and hides the lines as loaded too. The axes keep
// the look of the first draw.
struct AnswerCase {
    const char *name;
    QList<int> uncheckedAfterAFirstAnswer; // legend rows; empty: one answer only
    bool preview;
    QStringList names;
    QList<bool> checked;
};

const QStringList threeAsLoaded{"a.nexra:0 - orig", "b.nexra:0 - orig", "c.nexra:0 - orig"};
const QStringList threeRecalculated{"a.nexra:0", "b.nexra:0", "c.nexra:0"};

const AnswerCase answerCases[] = {
    {"Full", {}, false, threeAsLoaded + threeRecalculated, {false, false, false, true, true, true}},
    {"Preview", {}, true, threeAsLoaded, {false, false, false}},
    {"FullAfterTwoRecalculatedLinesUnchecked", {3, 5}, false, threeAsLoaded + threeRecalculated,
     {false, false, false, false, true, false}},
    {"PreviewAfterAFullOne", {4}, true, threeAsLoaded + threeRecalculated, {false, false, false, true, false, true}},
};

void PrintTo(const AnswerCase &c, std::ostream *os)
{
    *os << c.name;
}

class ChartAnswer : public ChartTest, public ::testing::WithParamInterface<AnswerCase>
{
};

TEST_P(ChartAnswer, LinesAsLoadedHiddenAndKept)
{
    const AnswerCase &c = GetParam();
    load({write("a.nexra", {ping(5)}), write("b.nexra", {ping(7)}), write("c.nexra", {ping(9)})});
    draw(rowBeamNo, rowDepth, true, true, true);
    QList<QVector<QPointF>> asLoaded;
    for (QXYSeries *s : series())
        asLoaded << s->pointsVector();
    ASSERT_EQ(asLoaded.size(), 3);
    const QFont labels = Inspector::chartView(*window)->font();
    QFont titles = labels;
    titles.setBold(true);
    if (!c.uncheckedAfterAFirstAnswer.isEmpty()) {
        ASSERT_TRUE(recalculateInWindow(false));
        for (int row : c.uncheckedAfterAFirstAnswer)
            ui->listWidget->item(row)->setCheckState(Qt::Unchecked);
    }

    ASSERT_TRUE(recalculateInWindow(c.preview));

    EXPECT_EQ(lineNames(), c.names);
    EXPECT_EQ(legendTexts(), c.names);
    EXPECT_EQ(legendChecked(), c.checked);
    ASSERT_TRUE(chartFollowsLegend());
    for (int i = 0; i < c.names.size(); ++i)
        EXPECT_EQ(lineShown(i), c.checked.at(i)) << i;
    EXPECT_EQ(lineColours(), themeColours(c.names.size()));
    for (int i = 0; i < c.names.size(); ++i)
        EXPECT_EQ(ui->listWidget->item(i)->icon().pixmap(16, 16).toImage().pixelColor(8, 8), lineColours().at(i)) << i;
    EXPECT_EQ(Inspector::chart(*window)->axes().size(), 2);
    EXPECT_EQ(Inspector::chartView(*window)->chart(), Inspector::chart(*window));
    for (QValueAxis *axis : {Inspector::axisX(*window), Inspector::axisY(*window)}) {
        EXPECT_EQ(axis->labelsFont(), labels);
        EXPECT_EQ(axis->titleFont(), titles);
    }

    ui->listWidget->item(1)->setCheckState(Qt::Checked);
    ASSERT_TRUE(lineShown(1));
    EXPECT_TRUE(chartFollowsLegend());
    QXYSeries *b = series().at(1);
    EXPECT_EQ(b->name(), "b.nexra:0 - orig");
    EXPECT_EQ(b->pointsVector(), asLoaded.at(1));
    EXPECT_EQ(b->color(), themeColours(2).at(1));
    EXPECT_EQ(b->attachedAxes().size(), 2);
}

INSTANTIATE_TEST_SUITE_P(Recalculation, ChartAnswer, ::testing::ValuesIn(answerCases),
                         [](const ::testing::TestParamInfo<AnswerCase> &info) { return std::string(info.param.name); });

// The chart's look as the load's draw gives it: the axes' labels in the
// view's font, which the style sheets set, their titles in bold, slim
// margins and a square background. Every later path keeps it.
struct ChartLook {
    QFont labels[2];
    QFont titles[2];
    QMargins margins;
    QMargins layoutMargins;
    qreal roundness;
    QChartView::RubberBands rubberBand;
};

struct LookCase {
    const char *name;
    void (*path)(ChartTest &test, Ui::CalibrationWidget *ui);
};

void PrintTo(const LookCase &c, std::ostream *os)
{
    *os << c.name;
}

class ChartLookKept : public ChartTest, public ::testing::WithParamInterface<LookCase>
{
public:
    using ChartTest::recalculateInWindow;

    ChartLook look() const
    {
        QChart *c = Inspector::chart(*window);
        ChartLook l;
        l.labels[0] = Inspector::axisX(*window)->labelsFont();
        l.labels[1] = Inspector::axisY(*window)->labelsFont();
        l.titles[0] = Inspector::axisX(*window)->titleFont();
        l.titles[1] = Inspector::axisY(*window)->titleFont();
        l.margins = c->margins();
        qreal left = 0, top = 0, right = 0, bottom = 0;
        c->layout()->getContentsMargins(&left, &top, &right, &bottom);
        l.layoutMargins = QMargins(int(left), int(top), int(right), int(bottom));
        l.roundness = c->backgroundRoundness();
        l.rubberBand = Inspector::chartView(*window)->rubberBand();
        return l;
    }
};

const LookCase lookCases[] = {
    {"PreviewAnswer", [](ChartTest &t, Ui::CalibrationWidget *) {
         ASSERT_TRUE(static_cast<ChartLookKept &>(t).recalculateInWindow(true));
     }},
    {"AnswerAfterTwoRecalculatedLinesUnchecked", [](ChartTest &t, Ui::CalibrationWidget *ui) {
         auto &test = static_cast<ChartLookKept &>(t);
         ASSERT_TRUE(test.recalculateInWindow(false));
         ASSERT_EQ(ui->listWidget->count(), 6);
         ui->listWidget->item(3)->setCheckState(Qt::Unchecked);
         ui->listWidget->item(4)->setCheckState(Qt::Unchecked);
         ASSERT_TRUE(test.recalculateInWindow(false));
     }},
    {"LineUncheckedAndCheckedAgain", [](ChartTest &, Ui::CalibrationWidget *ui) {
         ui->listWidget->item(1)->setCheckState(Qt::Unchecked);
         ui->listWidget->item(1)->setCheckState(Qt::Checked);
     }},
    {"PointMode", [](ChartTest &, Ui::CalibrationWidget *ui) { ui->displayModePoint->click(); }},
    {"OtherXType", [](ChartTest &, Ui::CalibrationWidget *ui) { ui->displayTypeXSelect->setCurrentIndex(rowTwoWayTime); }},
};

TEST_P(ChartLookKept, AsTheLoadsDrawGaveIt)
{
    load({write("a.nexra", {ping(5)}), write("b.nexra", {ping(7)}), write("c.nexra", {ping(9)})});
    draw(rowBeamNo, rowDepth, true, true, true);
    const ChartLook first = look();
    // The view's font as the style sheets give it; the titles the same in bold.
    const QFont viewFont = Inspector::chartView(*window)->font();
    QFont bold = viewFont;
    bold.setBold(true);
    for (int axis = 0; axis < 2; ++axis) {
        ASSERT_EQ(first.labels[axis], viewFont) << axis;
        ASSERT_EQ(first.titles[axis], bold) << axis;
    }
    ASSERT_EQ(first.rubberBand, QChartView::RectangleRubberBand);

    GetParam().path(*this, ui);

    const ChartLook now = look();
    for (int axis = 0; axis < 2; ++axis) {
        EXPECT_EQ(now.labels[axis], first.labels[axis]) << axis;
        EXPECT_EQ(now.titles[axis], first.titles[axis]) << axis;
    }
    EXPECT_EQ(now.margins, first.margins);
    EXPECT_EQ(now.layoutMargins, first.layoutMargins);
    EXPECT_EQ(now.roundness, first.roundness);
    EXPECT_EQ(now.rubberBand, first.rubberBand);
    EXPECT_EQ(Inspector::chart(*window)->theme(), QChart::ChartThemeLight);
}

INSTANTIATE_TEST_SUITE_P(Paths, ChartLookKept, ::testing::ValuesIn(lookCases),
                         [](const ::testing::TestParamInfo<LookCase> &info) { return std::string(info.param.name); });

TEST_F(ChartTest, SeriesNamesFromPathsWithoutSlash)
{
    // Relative paths: one plain name, one written with backslashes only.
    const QString old = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    write("plain.nexra", {ping(2)});
    write("C:\\data\\line_0004.nexra", {ping(2)});
    load({"plain.nexra", "C:\\data\\line_0004.nexra", "missing.nexra"}, true);
    QDir::setCurrent(old);
    draw(rowBeamNo, rowDepth, true, true, false);
    EXPECT_EQ(seriesNames(), QStringList({"plain.nexra:0 - orig", "C:\\data\\line_0004.nexra:0 - orig",
                                          "plain.nexra:0", "C:\\data\\line_0004.nexra:0"}));
}

// ---- Extents ----

struct ExtentCase {
    const char *name;
    int soundings;
    int xRow;
    double minX, maxX;
};

const ExtentCase extentCases[] = {
    {"From0To100", 101, rowBeamNo, -2.0, 102.04},
    {"From0To5", 6, rowBeamNo, -0.1, 5.102},
    {"OneX", 6, rowQFactor, 0.0, 0.0},
};

class ChartExtents : public ChartTest, public ::testing::WithParamInterface<ExtentCase>
{
};

TEST_P(ChartExtents, XWidenedByTwoPercent)
{
    const ExtentCase &c = GetParam();
    load({write("a.nexra", {ping(c.soundings)})});
    draw(c.xRow, rowTwoWayTime, true, true, true);
    EXPECT_NEAR(Inspector::minX(*window), c.minX, 1e-9);
    EXPECT_NEAR(Inspector::maxX(*window), c.maxX, 1e-9);
    EXPECT_NEAR(Inspector::axisX(*window)->min(), c.minX, 1e-9);
    EXPECT_NEAR(Inspector::axisX(*window)->max(), c.maxX, 1e-9);
    // Y is not widened.
    EXPECT_NEAR(Inspector::minY(*window), 0.01, 1e-7);
    EXPECT_NEAR(Inspector::maxY(*window), 0.01 + 0.001 * (c.soundings - 1), 1e-7);
    EXPECT_NEAR(ui->verticalRangeBottomSpinBox->value(), 0.01, 0.005);
}

INSTANTIATE_TEST_SUITE_P(Examples, ChartExtents, ::testing::ValuesIn(extentCases),
                         [](const ::testing::TestParamInfo<ExtentCase> &info) { return std::string(info.param.name); });

// Points whose x or y is not finite take no part in the extents: a NaN x,
// sorted to one end of the line (a negative NaN to the front, a positive one
// to the back), hid the line's real minimum or maximum.
TEST_F(ChartTest, ExtentsIgnorePointsThatAreNotFinite)
{
    nexra::MrzPingRecord p = ping(6);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    p.soundings[0].twoWayTime = std::copysign(nan, -1.0f);
    p.soundings[5].twoWayTime = nan;
    p.soundings[3].z = std::numeric_limits<float>::infinity();
    load({write("a.nexra", {p})});
    draw(rowTwoWayTime, rowDepth, true, true, true);
    ASSERT_EQ(series().size(), 1);
    // The finite points: soundings 1, 2 and 4.
    const double lowX = double(0.01f + 0.001f * 1), highX = double(0.01f + 0.001f * 4);
    const double widenedLow = lowX - 0.02 * (highX - lowX);
    EXPECT_DOUBLE_EQ(Inspector::minX(*window), widenedLow);
    EXPECT_DOUBLE_EQ(Inspector::maxX(*window), highX + 0.02 * (highX - widenedLow));
    EXPECT_DOUBLE_EQ(Inspector::minY(*window), double(20.0f + 0.1f * 1));
    EXPECT_DOUBLE_EQ(Inspector::maxY(*window), double(20.0f + 0.1f * 4));
}

TEST_F(ChartTest, NoDataGivesNoSeriesAndInvertedExtents)
{
    draw(rowBeamNo, rowDepth, true, true, false);
    EXPECT_TRUE(series().isEmpty());
    EXPECT_EQ(ui->listWidget->count(), 0);
    EXPECT_GT(Inspector::minX(*window), Inspector::maxX(*window));
    EXPECT_DOUBLE_EQ(Inspector::minY(*window), 2147483647.0);
    EXPECT_DOUBLE_EQ(Inspector::maxY(*window), -2147483647.0);
    // The spin boxes clamp to their own limits.
    EXPECT_DOUBLE_EQ(ui->horizontalRangeLeftSpinBox->value(), ui->horizontalRangeLeftSpinBox->maximum());
    EXPECT_DOUBLE_EQ(ui->horizontalRangeRightSpinBox->value(), ui->horizontalRangeRightSpinBox->minimum());
    ASSERT_NE(Inspector::chartView(*window), nullptr);
    EXPECT_EQ(Inspector::chartView(*window)->parentWidget(), ui->graphicWidget);
}

// ---- Display modes, point size, head filter, ellipsoid depth ----

TEST_F(ChartTest, PointAndLineModeAndPointSize)
{
    // Two-way time falls with the beam: in line mode the points are joined by ascending x.
    load({write("a.nexra", {ping(5, 0, 0.05f, -0.01f)})});
    ui->displayTypeXSelect->setCurrentIndex(rowTwoWayTime);
    ui->displayTypeYSelect->setCurrentIndex(rowBeamNo);
    draw(rowTwoWayTime, rowBeamNo, true, true, true);
    ASSERT_TRUE(ui->displayModeLine->isChecked());
    ASSERT_EQ(series().size(), 1);
    ASSERT_TRUE(qobject_cast<QLineSeries *>(series().at(0)));
    const QVector<QPointF> points = series().at(0)->pointsVector();
    ASSERT_EQ(points.size(), 5);
    for (int i = 1; i < points.size(); ++i)
        EXPECT_LT(points.at(i - 1).x(), points.at(i).x());
    EXPECT_EQ(points.first().y(), 4.0);

    ui->displayPointSize->setValue(7); // line mode: the chart stays
    EXPECT_TRUE(qobject_cast<QLineSeries *>(series().at(0)));
    ui->displayModePoint->click();
    auto *scatter = qobject_cast<QScatterSeries *>(series().at(0));
    ASSERT_TRUE(scatter);
    EXPECT_EQ(scatter->markerSize(), 7.0);
    EXPECT_EQ(scatter->borderColor(), scatter->color());
    EXPECT_EQ(ui->listWidget->count(), 1);
    ui->displayPointSize->setValue(3);
    scatter = qobject_cast<QScatterSeries *>(series().at(0));
    ASSERT_TRUE(scatter);
    EXPECT_EQ(scatter->markerSize(), 3.0);
    ui->displayModeLine->click();
    EXPECT_TRUE(qobject_cast<QLineSeries *>(series().at(0)));
    EXPECT_EQ(series().at(0)->pointsVector(), points);
}

TEST_F(ChartTest, HeadFilterRebuildsLoadedLines)
{
    load({write("a.nexra", {ping(4, 0), ping(3, 1, 0.01f, 0.001f, 20.0f, pingSecond + 1)})});
    draw(rowBeamNo, rowDepth, true, true, true);
    ASSERT_EQ(series().at(0)->count(), 7);
    const struct {
        int index;
        int points;
    } steps[] = {{1, 4}, {2, 3}, {0, 7}};
    for (const auto &step : steps) {
        ui->headBox->setCurrentIndex(step.index);
        ASSERT_EQ(series().size(), 1) << step.index;
        EXPECT_EQ(series().at(0)->count(), step.points) << step.index;
    }
}

TEST_F(ChartTest, EllipsoidDepthOnYWhenChecked)
{
    load({write("a.nexra", {ping(3)})});
    draw(rowBeamNo, rowDepth, true, true, true);
    const double depth0 = series().at(0)->at(0).y();
    ui->checkEllips->setChecked(true);
    EXPECT_EQ(Inspector::axisY(*window)->titleText(), "Depth Ellps (m.)");
    const SoundingData s = data->corridorDepths(data->loadedRawFiles().at(0)).at(0);
    EXPECT_FLOAT_EQ(series().at(0)->at(0).y(), float(s.ellipsoidDepth - s.depth));
    EXPECT_NE(series().at(0)->at(0).y(), depth0);
    // The mode rebuild keeps the ellipsoid row too.
    ui->displayModePoint->click();
    EXPECT_EQ(Inspector::axisY(*window)->titleText(), "Depth Ellps (m.)");
    EXPECT_FLOAT_EQ(series().at(0)->at(0).y(), float(s.ellipsoidDepth - s.depth));
}

TEST_F(ChartTest, TimingRecords)
{
    load({write("a.nexra", {ping(3)}), write("b.nexra", {ping(3)})});
    LogCapture cap("Rerozadoz");
    draw(rowBeamNo, rowDepth, true, true, true);
    for (const char *stage : {"() [1] = ", "() [2] = ", "() [4] = ", "() [5] = ", "() [6] = ", "() = "}) {
        const QString text = QStringLiteral("TIMING : CrossLineWidget::createChartUI") + stage;
        EXPECT_EQ(cap.messages(log4cplus::DEBUG_LOG_LEVEL).filter(text).size(), 1) << stage;
    }
    for (int step = 1; step <= 5; ++step) {
        const QString text = QStringLiteral("TIMING : CrossLineWidget::createChartUI [5][%1] = ").arg(step);
        EXPECT_EQ(cap.messages(log4cplus::DEBUG_LOG_LEVEL).filter(text).size(), 2) << step;
    }
}

// ---- Clicked points ----

TEST_F(ChartTest, ClickShowsPointLineAndTimeAndCtrlClickTheDifferences)
{
    load({write("a.nexra", {ping(6)}), write("b.nexra", {ping(6, 0, 0.02f, 0.002f, 25.0f, pingSecond + 5)})});
    ui->displayTypeXSelect->setCurrentIndex(rowBeamNo);
    ui->displayTypeYSelect->setCurrentIndex(rowTwoWayTime);
    ui->displayModePoint->setChecked(true);
    draw(rowBeamNo, rowTwoWayTime, true, true, true);
    ASSERT_EQ(series().size(), 2);
    const SoundingData a3 = data->corridorDepths(data->loadedRawFiles().at(0)).at(3);
    const SoundingData b4 = data->corridorDepths(data->loadedRawFiles().at(1)).at(4);
    const QString timeA = QDateTime::fromMSecsSinceEpoch(a3.timeMs).toString("yyyy-MM-dd hh:mm:ss-zzz");
    const QString timeB = QDateTime::fromMSecsSinceEpoch(b4.timeMs).toString("yyyy-MM-dd hh:mm:ss-zzz");
    EXPECT_TRUE(timeA.endsWith("-250"));

    // Plain click on a drawn point.
    const QPointF pointA = series().at(0)->at(3);
    emit series().at(0)->clicked(pointA);
    EXPECT_FALSE(ui->informationWidget->isHidden());
    EXPECT_EQ(ui->informationLabel->text(),
              QString("Beam No= 3, Two Way Time= %1\nLine 'a.nexra:0 - orig'\nTime= %2").arg(pointA.y(), 0, 'g', 6).arg(timeA));
    EXPECT_EQ(Inspector::lastClickedSounding(*window).timeMs, a3.timeMs);

    // A position between the points finds nothing and keeps the last sounding.
    emit series().at(1)->clicked(QPointF(2.5, 0.025));
    EXPECT_EQ(ui->informationLabel->text(), "Beam No= 2.5, Two Way Time= 0.025\nLine 'b.nexra:0 - orig'");
    EXPECT_EQ(Inspector::lastClickedSounding(*window).timeMs, a3.timeMs);

    // Ctrl-click on the other line: differences to the sounding before.
    pressCtrl(true);
    ASSERT_TRUE(Inspector::ctrlHeld(*window));
    EXPECT_EQ(Inspector::chartView(*window)->rubberBand(), QChartView::NoRubberBand);
    const QPointF pointB = series().at(1)->at(4);
    emit series().at(1)->clicked(pointB);
    const QString expected =
        QString("Beam No= 4, Two Way Time= %1\nLine 'b.nexra:0 - orig'\nTime= %2"
                "\nAcross difference= %3\nAlong difference= %4\nDepth difference= %5")
            .arg(pointB.y(), 0, 'g', 6)
            .arg(timeB)
            .arg(double(b4.across - a3.across), 0, 'g', 6)
            .arg(double(b4.along - a3.along), 0, 'g', 6)
            .arg(double(b4.depth - a3.depth), 0, 'g', 6);
    EXPECT_EQ(ui->informationLabel->text(), expected);
    EXPECT_NEAR(b4.depth - a3.depth, 5.1, 1e-4);
    pressCtrl(false);
    EXPECT_EQ(Inspector::chartView(*window)->rubberBand(), QChartView::RectangleRubberBand);

    // A direct call has no line.
    window->clickedOnSeries(QPointF(1, 2));
    EXPECT_EQ(ui->informationLabel->text(), "Beam No= 1, Two Way Time= 2");
}

TEST_F(ChartTest, FirstCtrlClickMeasuresAgainstZeroRecordAndEllipsoidRowFindsSounding)
{
    load({write("a.nexra", {ping(4)})});
    ui->displayTypeXSelect->setCurrentIndex(rowBeamNo);
    ui->checkEllips->setChecked(true);
    draw(rowBeamNo, rowEllipsoid, true, true, true);
    const SoundingData s = data->corridorDepths(data->loadedRawFiles().at(0)).at(2);
    pressCtrl(true);
    emit series().at(0)->clicked(series().at(0)->at(2));
    const QStringList lines = ui->informationLabel->text().split('\n');
    ASSERT_EQ(lines.size(), 6) << lines.join('|').toStdString();
    EXPECT_TRUE(lines.at(0).startsWith("Beam No= 2, Depth= ")) << lines.at(0).toStdString(); // the combo's text stays
    EXPECT_EQ(lines.at(3), QString("Across difference= %1").arg(double(s.across), 0, 'g', 6));
    EXPECT_EQ(lines.at(4), QString("Along difference= %1").arg(double(s.along), 0, 'g', 6));
    EXPECT_EQ(lines.at(5), QString("Depth difference= %1").arg(double(s.depth), 0, 'g', 6));
}

// A line series reports the clicked position on the line, not a point of it:
// in both modes the click takes the nearest drawn point within a few pixels,
// and a click far from every point finds nothing.
TEST_F(ChartTest, ClickBesideADrawnPointFindsItInLineAndPointMode)
{
    load({write("a.nexra", {ping(6)})});
    ui->displayTypeXSelect->setCurrentIndex(rowBeamNo);
    ui->displayTypeYSelect->setCurrentIndex(rowTwoWayTime);
    ui->displayPointSize->setValue(10);
    const std::vector<SoundingData> soundings = [&] {
        const auto list = data->corridorDepths(data->loadedRawFiles().at(0));
        return std::vector<SoundingData>(list.cbegin(), list.cend());
    }();
    for (const bool pointMode : {false, true}) {
        SCOPED_TRACE(pointMode ? "point mode" : "line mode");
        (pointMode ? ui->displayModePoint : ui->displayModeLine)->setChecked(true);
        draw(rowBeamNo, rowTwoWayTime, true, true, true);
        Inspector::chartView(*window)->resize(800, 600);
        QChart *c = Inspector::chart(*window);
        c->resize(800, 600);
        QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        ASSERT_EQ(series().size(), 1);
        QXYSeries *line = series().at(0);
        ASSERT_EQ(qobject_cast<QScatterSeries *>(line) != nullptr, pointMode);

        // Beams 3 and 4 lie some 150 pixels apart on the plot.
        const QPointF at3 = c->mapToPosition(line->at(3), line);
        const QPointF at4 = c->mapToPosition(line->at(4), line);
        ASSERT_GT(QLineF(at3, at4).length(), 100.0);
        const QPointF towards4 = (at4 - at3) / QLineF(at3, at4).length();

        // Three pixels from beam 3 on the way to beam 4.
        const QPointF near3 = c->mapToValue(at3 + 3.0 * towards4, line);
        ASSERT_NE(near3, line->at(3));
        Inspector::lastClickedSounding(*window) = SoundingData();
        emit line->clicked(near3);
        const QString time = QDateTime::fromMSecsSinceEpoch(soundings.at(3).timeMs)
                                 .toString("yyyy-MM-dd hh:mm:ss-zzz");
        EXPECT_EQ(ui->informationLabel->text(),
                  QString("Beam No= 3, Two Way Time= %1\nLine 'a.nexra:0 - orig'\nTime= %2")
                      .arg(line->at(3).y(), 0, 'g', 6)
                      .arg(time));
        EXPECT_EQ(Inspector::lastClickedSounding(*window).beamIndex, soundings.at(3).beamIndex);

        // Halfway between the two: far from both.
        const QPointF halfway = c->mapToValue((at3 + at4) / 2.0, line);
        emit line->clicked(halfway);
        EXPECT_EQ(ui->informationLabel->text(),
                  QString("Beam No= %1, Two Way Time= %2\nLine 'a.nexra:0 - orig'")
                      .arg(halfway.x(), 0, 'g', 6)
                      .arg(halfway.y(), 0, 'g', 6));
        EXPECT_EQ(Inspector::lastClickedSounding(*window).beamIndex, soundings.at(3).beamIndex);
    }
}

// On an axis whose ends meet every point maps to the same pixels: a click
// the series reports on a drawn point finds that point, not another.
TEST_F(ChartTest, ClickOnADrawnPointWhereAnAxisHasNoSpanFindsIt)
{
    load({write("a.nexra", {ping(6)})});
    ui->displayTypeXSelect->setCurrentIndex(rowBeamNo);
    ui->displayTypeYSelect->setCurrentIndex(rowQFactor); // 0 for every NEXRA sounding
    draw(rowBeamNo, rowQFactor, true, true, true);
    Inspector::chartView(*window)->resize(800, 600);
    Inspector::chart(*window)->resize(800, 600);
    QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    ASSERT_DOUBLE_EQ(Inspector::axisY(*window)->min(), Inspector::axisY(*window)->max());
    QXYSeries *line = series().at(0);
    emit line->clicked(line->at(2));
    EXPECT_TRUE(ui->informationLabel->text().startsWith("Beam No= 2, QFact= 0\n")) << ui->informationLabel->text().toStdString();
    EXPECT_EQ(Inspector::lastClickedSounding(*window).beamIndex, 2);
}

// ---- Axis range controls ----

TEST_F(ChartTest, RangeControlsOnAndOff)
{
    // Before any chart the controls do nothing.
    ASSERT_EQ(Inspector::chart(*window), nullptr);
    ui->horizontalRangeCheckBox->setChecked(false);
    ui->horizontalRangeCheckBox->setChecked(true);
    EXPECT_EQ(Inspector::axisX(*window), nullptr);

    load({write("a.nexra", {ping(6)})});
    draw(rowBeamNo, rowTwoWayTime, true, true, true);
    QValueAxis *x = Inspector::axisX(*window);
    QValueAxis *y = Inspector::axisY(*window);
    EXPECT_TRUE(ui->horizontalRangeLeftSpinBox->isHidden());

    ui->horizontalRangeCheckBox->setChecked(false);
    EXPECT_FALSE(ui->horizontalRangeLeftSpinBox->isHidden());
    EXPECT_DOUBLE_EQ(x->min(), ui->horizontalRangeLeftSpinBox->value());
    ui->horizontalRangeLeftSpinBox->setValue(1.0);
    ui->horizontalRangeRightSpinBox->setValue(4.0);
    EXPECT_DOUBLE_EQ(x->min(), 1.0);
    EXPECT_DOUBLE_EQ(x->max(), 4.0);
    // A redraw that does not force the range keeps the user's (on the axes
    // of the chart it draws).
    draw(rowBeamNo, rowTwoWayTime, false, true, true);
    x = Inspector::axisX(*window);
    y = Inspector::axisY(*window);
    EXPECT_DOUBLE_EQ(x->min(), 1.0);
    EXPECT_DOUBLE_EQ(x->max(), 4.0);
    ui->horizontalRangeCheckBox->setChecked(true);
    EXPECT_TRUE(ui->horizontalRangeRightSpinBox->isHidden());
    EXPECT_DOUBLE_EQ(x->min(), -0.1);
    EXPECT_DOUBLE_EQ(x->max(), 5.102);

    ui->verticalRangeCheckBox->setChecked(false);
    ui->verticalRangeBottomSpinBox->setValue(0.5);
    ui->verticalRangeTopSpinBox->setValue(2.5);
    EXPECT_DOUBLE_EQ(y->min(), 0.5);
    EXPECT_DOUBLE_EQ(y->max(), 2.5);
    // While the chart is rebuilt the slots do nothing.
    Inspector::chartReady(*window) = false;
    ui->verticalRangeTopSpinBox->setValue(3.5);
    EXPECT_DOUBLE_EQ(y->max(), 2.5);
    Inspector::chartReady(*window) = true;
    ui->verticalRangeCheckBox->setChecked(true);
    EXPECT_NEAR(y->min(), 0.01, 1e-7);
    EXPECT_NEAR(y->max(), 0.015, 1e-7);
}

TEST_F(ChartTest, ZoomOutResetsZoom)
{
    window->zoomOut(); // no chart: nothing
    load({write("a.nexra", {ping(6)})});
    draw(rowBeamNo, rowTwoWayTime, true, true, true);
    Inspector::chartView(*window)->resize(800, 600);
    QChart *c = Inspector::chart(*window);
    c->resize(800, 600);
    const double before = Inspector::axisX(*window)->max();
    c->zoomIn();
    EXPECT_LT(Inspector::axisX(*window)->max(), before);
    ui->zoomOutButton->click();
    EXPECT_DOUBLE_EQ(Inspector::axisX(*window)->max(), before);
}

// "Zoom Out" after an answer returns to the ranges in force before the first
// zoom, the load's: a preview answer redraws nothing, and a full one keeps
// the lines as loaded, whose zoom the chart remembers.
class ChartZoomOutAfterAnswer : public ChartTest, public ::testing::WithParamInterface<bool>
{
};

TEST_P(ChartZoomOutAfterAnswer, ReturnsToTheLoadsRanges)
{
    const bool preview = GetParam();
    load({write("a.nexra", {ping(5)}), write("b.nexra", {ping(9)})});
    draw(rowBeamNo, rowDepth, true, true, true);
    Inspector::chartView(*window)->resize(800, 600);
    Inspector::chart(*window)->resize(800, 600);
    QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    // Beams 0 to 8 widened by 2 %; depths 20 to 20.8 m.
    const double loadX[2] = {Inspector::axisX(*window)->min(), Inspector::axisX(*window)->max()};
    const double loadY[2] = {Inspector::axisY(*window)->min(), Inspector::axisY(*window)->max()};
    ASSERT_NEAR(loadX[0], -0.16, 1e-9);
    ASSERT_NEAR(loadX[1], 8.1632, 1e-9);
    ASSERT_NEAR(loadY[0], 20.0, 1e-5);
    ASSERT_NEAR(loadY[1], 20.8, 1e-5);

    // A rectangle dragged over the plot's middle.
    const QRectF plot = Inspector::chart(*window)->plotArea();
    Inspector::chart(*window)->zoomIn(plot.adjusted(plot.width() / 4, plot.height() / 4, -plot.width() / 4, -plot.height() / 4));
    const double zoomedX[2] = {Inspector::axisX(*window)->min(), Inspector::axisX(*window)->max()};
    ASSERT_GT(zoomedX[0], loadX[0] + 1.0);
    ASSERT_LT(zoomedX[1], loadX[1] - 1.0);

    ASSERT_TRUE(recalculateInWindow(preview));
    if (preview) {
        EXPECT_DOUBLE_EQ(Inspector::axisX(*window)->min(), zoomedX[0]);
        EXPECT_DOUBLE_EQ(Inspector::axisX(*window)->max(), zoomedX[1]);
    }
    ui->zoomOutButton->click();
    EXPECT_NEAR(Inspector::axisX(*window)->min(), loadX[0], 1e-9);
    EXPECT_NEAR(Inspector::axisX(*window)->max(), loadX[1], 1e-9);
    EXPECT_NEAR(Inspector::axisY(*window)->min(), loadY[0], 1e-9);
    EXPECT_NEAR(Inspector::axisY(*window)->max(), loadY[1], 1e-9);
    EXPECT_FALSE(Inspector::chart(*window)->isZoomed());
}

INSTANTIATE_TEST_SUITE_P(Answers, ChartZoomOutAfterAnswer, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool> &info) { return info.param ? "Preview" : "Full"; });

// A legend item unchecked and checked again hides and shows its line where
// it stands: no other series is touched, the chart's order (which is the
// built-in legend's) stays. So after a recalculation for a line as loaded
// checked again.
TEST_F(ChartTest, ALineCheckedAgainKeepsItsPlace)
{
    load({write("a.nexra", {ping(5)}), write("b.nexra", {ping(7)}), write("c.nexra", {ping(9)})});
    draw(rowBeamNo, rowDepth, true, true, true);
    const auto markers = [this] {
        QStringList labels;
        for (QLegendMarker *marker : Inspector::chart(*window)->legend()->markers())
            labels << marker->label();
        return labels;
    };
    const QList<QXYSeries *> loaded = series();
    const QStringList loadedMarkers = markers();
    ASSERT_EQ(loadedMarkers, QStringList({"a.nexra:0 - orig", "b.nexra:0 - orig", "c.nexra:0 - orig"}));

    ui->listWidget->item(1)->setCheckState(Qt::Unchecked);
    ASSERT_EQ(series(), loaded);
    EXPECT_FALSE(loaded.at(1)->isVisible());
    EXPECT_EQ(markers(), loadedMarkers);
    ui->listWidget->item(1)->setCheckState(Qt::Checked);
    ASSERT_EQ(series(), loaded);
    EXPECT_TRUE(loaded.at(1)->isVisible());
    EXPECT_EQ(markers(), loadedMarkers);

    ASSERT_TRUE(recalculateInWindow(false));
    ASSERT_EQ(series().mid(0, 3), loaded);
    const QList<QXYSeries *> answered = series();
    ui->listWidget->item(1)->setCheckState(Qt::Checked);
    ASSERT_EQ(series(), answered);
    EXPECT_TRUE(answered.at(1)->isVisible());
    EXPECT_FALSE(answered.at(0)->isVisible());
    EXPECT_EQ(markers(), loadedMarkers + QStringList({"a.nexra:0", "b.nexra:0", "c.nexra:0"}));
    EXPECT_TRUE(chartFollowsLegend());
}

// The timing records are createChartUI's: written where it runs (a full
// answer), never where it does not (legend items, a preview answer).
TEST_F(ChartTest, TimingRecordsOnlyWhereTheChartIsBuilt)
{
    load({write("a.nexra", {ping(3)}), write("b.nexra", {ping(4)})});
    draw(rowBeamNo, rowDepth, true, true, true);
    const QString timing = QStringLiteral("TIMING : CrossLineWidget::createChartUI");
    {
        LogCapture cap("Rerozadoz");
        ui->listWidget->item(0)->setCheckState(Qt::Unchecked);
        ui->listWidget->item(0)->setCheckState(Qt::Checked);
        ASSERT_TRUE(recalculateInWindow(true));
        EXPECT_EQ(cap.messages().filter(timing), QStringList{});
    }
    for (int row = 0; row < ui->listWidget->count(); ++row)
        ui->listWidget->item(row)->setCheckState(Qt::Checked);
    LogCapture cap("Rerozadoz");
    ASSERT_TRUE(recalculateInWindow(false));
    EXPECT_EQ(cap.messages(log4cplus::DEBUG_LOG_LEVEL).filter(timing + "() = ").size(), 1);
    // One record of each stage per recalculated line.
    for (int step = 1; step <= 5; ++step)
        EXPECT_EQ(cap.messages(log4cplus::DEBUG_LOG_LEVEL).filter(timing + QStringLiteral(" [5][%1] = ").arg(step)).size(), 2) << step;
}

TEST_F(ChartTest, OverlaySlots)
{
    LogCapture cap("Rerozadoz");
    window->showCorridorLine(true);
    window->showDepthsBorder(true);
    window->showPreviewArea(true);
    EXPECT_TRUE(cap.messages().isEmpty());
    window->showCorridorArea(true);
    EXPECT_EQ(cap.messages(log4cplus::DEBUG_LOG_LEVEL), QStringList({"Start showCorridorArea", "End showCorridorArea"}));
}

// ---- Screenshot through OpenGL (run under an X server, see CMakeLists.txt) ----

TEST(ChartScreenshot, GeneratedSurveyInLineAndPointMode)
{
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        GTEST_SKIP() << "needs a display with OpenGL (an X server)";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    nexra::SurveyConfig cfg;
    cfg.seafloor.depth = 40;
    cfg.seafloor.slopeEast = 0.02;
    cfg.seafloor.features = {{0, 20, 15, 3}};
    cfg.sonar.beamCount = 128;
    cfg.mounting.truth.roll = 1.0;
    for (double headingDeg : {0.0, 90.0, 60.0, 120.0}) {
        nexra::SurveyLine line;
        const double h = headingDeg * 0.017453292519943295;
        line.start = nexra::offsetPosition(60.0, 5.0, h, 0, -150);
        line.end = nexra::offsetPosition(60.0, 5.0, h, 0, 150);
        cfg.lines << line;
    }
    nexra::SurveyGenerator generator(cfg);
    QStringList paths;
    ASSERT_TRUE(generator.write(dir.path(), &paths));
    nexra::SurveyProjection projection;
    double sn = 0, se = 0, en = 0, ee = 0;
    const nexra::GeoPoint s = nexra::offsetPosition(60.0, 5.0, 0, 0, -120);
    const nexra::GeoPoint e = nexra::offsetPosition(60.0, 5.0, 0, 0, 120);
    ASSERT_TRUE(projection.toProjected(s.latitude, s.longitude, &sn, &se));
    ASSERT_TRUE(projection.toProjected(e.latitude, e.longitude, &en, &ee));

    CrossLineWidget window(CrossLineWidget::POSTPROCESSING);
    auto *ui = Inspector::ui(window);
    CrossLineData *data = Inspector::crossLineData(window);
    const QString projectionFile = dir.filePath("projection.txt");
    {
        QFile f(projectionFile);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<tag>\nEPSG:4326\n+proj=merc +units=cm +ellps=WGS84\n");
    }
    data->setProjectionFile(projectionFile);
    data->setCrossLine(qint32(se), qint32(sn), qint32(ee), qint32(en));
    data->setCorridorWidth(40.0f);
    for (const QString &p : paths)
        data->addRawFile(p);
    data->loadRegionData();
    data->loadCorridorData();
    Inspector::displayData(window).setOriginalData(data);
    Inspector::loadingFlag(window) = false;
    Inspector::chartReady(window) = true;

    window.resize(1500, 900);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ui->displayTypeYSelect->setCurrentIndex(rowDepth); // no change: draw once
    window.updateViewData();
    ASSERT_EQ(ui->listWidget->count(), 4);

    const QString outDir = QCoreApplication::applicationDirPath() + "/chart_screenshots";
    QDir().mkpath(outDir);
    for (const char *mode : {"line", "point"}) {
        if (QLatin1String(mode) == QLatin1String("point"))
            ui->displayModePoint->click();
        QTest::qWait(300);
        for (QXYSeries *sr : [&] {
                 QList<QXYSeries *> out;
                 for (QAbstractSeries *a : Inspector::chart(window)->series())
                     out << qobject_cast<QXYSeries *>(a);
                 return out;
             }())
            EXPECT_TRUE(sr->useOpenGL());
        auto *gl = Inspector::chartView(window)->findChild<QOpenGLWidget *>();
        ASSERT_NE(gl, nullptr);
        EXPECT_TRUE(gl->isValid());
        const QImage image = Inspector::chartView(window)->grab().toImage();
        EXPECT_TRUE(image.save(outDir + QStringLiteral("/chart_%1.png").arg(mode)));
        // Some pixels carry each series' colour.
        const QColor colour = qobject_cast<QXYSeries *>(Inspector::chart(window)->series().at(0))->color();
        int hits = 0;
        for (int yy = 0; yy < image.height(); yy += 2)
            for (int xx = 0; xx < image.width(); xx += 2)
                hits += image.pixelColor(xx, yy) == colour;
        EXPECT_GT(hits, 50) << mode;
    }

    // An OpenGL series reports the clicked position, not the marker's point:
    // a click half a pixel beside a marker still finds its sounding.
    QChart *chart = Inspector::chart(window);
    auto *first = qobject_cast<QXYSeries *>(chart->series().at(0));
    const QPointF marker = first->at(first->count() / 2);
    const QPointF beside = chart->mapToValue(chart->mapToPosition(marker, first) + QPointF(0.5, 0.5), first);
    ASSERT_NE(beside, marker);
    emit first->clicked(beside);
    EXPECT_TRUE(ui->informationLabel->text().contains("\nTime= ")) << ui->informationLabel->text().toStdString();
    EXPECT_TRUE(ui->informationLabel->text().startsWith(
        QString("Distance X= %1, ").arg(marker.x(), 0, 'g', 6)));
}

} // namespace

// ---- Point order of a series ----

// A line's points are ordered by x; points of equal x keep their sounding
// order (-0 and +0 count as equal). Compared with a stable sort of the same
// points, over values of both signs, ties and wide magnitudes.
TEST_F(ChartTest, SeriesPointsAscendInXKeepingTiesInOrder)
{
    const QList<QList<float>> cases = {
        {},
        {3.0f},
        {2.0f, 1.0f},
        {-1.0f, 5.0f, -1.0f, 0.0f, -0.0f, 5.0f, -7.5f, 0.0f},
        {1e-30f, -1e-30f, 1e30f, -1e30f, 123456.78f, -123456.78f, 0.5f, 0.5f},
        {10.0f, 9.0f, 8.0f, 7.0f, 6.0f, 5.0f, 4.0f, 3.0f, 2.0f, 1.0f},
    };
    QList<float> many;
    for (int i = 0; i < 5000; ++i)
        many << float((i * 7919) % 2003 - 1001) * 0.25f;
    QList<QList<float>> all = cases;
    all << many;

    for (const QList<float> &xs : all) {
        SCOPED_TRACE(xs.size());
        QList<FloatPoint> points;
        for (int i = 0; i < xs.size(); ++i)
            points << FloatPoint{xs[i], float(i)}; // y remembers the sounding order
        std::vector<FloatPoint> expected(points.cbegin(), points.cend());
        std::stable_sort(expected.begin(), expected.end(),
                         [](const FloatPoint &a, const FloatPoint &b) { return a.x < b.x; });

        QVector<QVector<QPointF>> pointLists;
        QStringList names;
        Inspector::addSeriesPoints(*window, QStringLiteral("/s/a.nexra - orig"), pointLists, names, points);
        if (points.isEmpty()) {
            EXPECT_TRUE(pointLists.isEmpty()) << "an empty line makes no series";
            continue;
        }
        ASSERT_EQ(pointLists.size(), 1);
        ASSERT_EQ(pointLists[0].size(), int(expected.size()));
        for (int i = 0; i < pointLists[0].size(); ++i) {
            EXPECT_EQ(pointLists[0][i].x(), double(expected[size_t(i)].x)) << i;
            EXPECT_EQ(pointLists[0][i].y(), double(expected[size_t(i)].y)) << i;
        }
    }
}
