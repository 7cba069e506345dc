// The sounding chart. First, createChartUI for eight lines of 50,000
// soundings up to the first frame drawn, beside the bare QtCharts floor
// (OpenGL scatter series filled with replace, added to a chart and drawn),
// the floor with new axes in every run and the bare chart drawn without
// OpenGL; build_ms and frame_ms split each run into making the chart and
// drawing its first frame. Then the chart of many short lines (121 soundings
// each, as a survey of many small raw files gives) at 500 to 5,000 lines:
// the load's chart up to its first frame (Draw); a recalculation asked for
// with the window's Recalculate button, computed by the data thread and
// answered by the window (the lines as loaded hidden, the recalculated ones
// drawn beside them), up to its first frame (Recalculation; answer_ms is the
// part after the data thread's answer); and the release of the chart of both
// kinds of lines, as the window's end does it (Teardown). Beside them, the
// bare QtCharts floor of each: as many line series added to a new chart and
// drawn (Floor), and as many more added to such a chart once it is drawn,
// its lines hidden one by one first (RecalculationFloor), which is what a
// recalculation asks of QtCharts. QtCharts searches all of a chart's series
// on every series added and on every change of a series' visibility, so the
// floors' cost per line grows with the lines; the summary gives each stage's
// time per line at each count and at 5,000 lines over that at 500. Run under
// xvfb-run so that an OpenGL context exists:
//   xvfb-run -a -s "-screen 0 1600x1000x24" env QT_QPA_PLATFORM=xcb ./bench_chart
#include "crosslinedata.h"
#include "crosslinewidget.h"
#include "crosslinewidget_access.h"
#include "nexrawriter.h"

#include <benchmark/benchmark.h>
#include <log4cplus/initializer.h>
#include <log4cplus/log4cplus.h>
#include <log4cplus/logger.h>
#include <log4cplus/consoleappender.h>
#include <log4cplus/nullappender.h>

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineSeries>
#include <QListWidget>
#include <QOpenGLWidget>
#include <QRadioButton>
#include <QScatterSeries>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QValueAxis>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>

#include <unistd.h>

QT_CHARTS_USE_NAMESPACE

using Inspector = CrossLineWidgetInspector;

// As the load's answer draws the chart: the lines as loaded.
void drawLoadedLines(CrossLineWidget &w)
{
    Inspector::chartReady(w) = false;
    Inspector::createChartUI(w, 0, 2, true, true, true);
    Inspector::chartReady(w) = true;
}

namespace {

constexpr int kLines = 8;
constexpr int kPoints = 50000;
constexpr int kMarkerSize = 2;

// The cross line of the benchmark, along the meridian 20 E.
constexpr qint32 lineX = 222638981;
constexpr qint32 lineStartY = 111147510;
constexpr qint32 lineEndY = 111259814;

SoundingData sounding(int line, int i)
{
    SoundingData s;
    s.beamIndex = i % 512;
    s.timeMs = 1600000000000LL + i;
    s.distanceX = float(i % 6250) * 0.08f + float(line);
    s.depth = 40.0f + 2.0f * std::sin(s.distanceX * 0.02f) + 0.3f * float(line) + 0.001f * float(i % 97);
    return s;
}

QVector<QPointF> floorPoints(int line)
{
    QVector<QPointF> points;
    points.reserve(kPoints);
    for (int i = 0; i < kPoints; ++i) {
        const SoundingData s = sounding(line, i);
        points.append(QPointF(s.distanceX, s.depth));
    }
    std::sort(points.begin(), points.end(),
              [](const QPointF &a, const QPointF &b) { return a.x() < b.x(); });
    return points;
}

// Processes events until the view has drawn a frame after this call.
class FrameWaiter : public QObject
{
public:
    explicit FrameWaiter(QChartView *view) : view(view)
    {
        view->viewport()->installEventFilter(this);
    }

    void wait()
    {
        drawn = false;
        // The OpenGL widget of the chart may come (or change with a new
        // chart) while the frame is drawn: it is looked up on every turn.
        QOpenGLWidget *gl = nullptr;
        QMetaObject::Connection c;
        view->viewport()->update();
        QElapsedTimer guard;
        guard.start();
        while (!drawn && guard.elapsed() < 600000) {
            QOpenGLWidget *current = view->findChild<QOpenGLWidget *>();
            if (current != gl) {
                disconnect(c);
                gl = current;
                if (gl) {
                    c = connect(gl, &QOpenGLWidget::frameSwapped, this, [this] { drawn = true; });
                    gl->update();
                }
            }
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
        disconnect(c);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // Without OpenGL the frame is the viewport's paint; the paint runs
        // inside the processEvents call that ends the wait.
        if (event->type() == QEvent::Paint && !view->findChild<QOpenGLWidget *>())
            drawn = true;
        return QObject::eventFilter(watched, event);
    }

private:
    QChartView *view;
    bool drawn = false;
};

// Splits each iteration into building the chart and drawing its first frame.
class StageClock
{
public:
    void start() { timer.start(); }
    void built() { buildNs += timer.nsecsElapsed(); timer.start(); }
    void drawn() { frameNs += timer.nsecsElapsed(); ++runs; }
    void report(benchmark::State &state) const
    {
        if (runs == 0)
            return;
        state.counters["build_ms"] = double(buildNs) / 1e6 / double(runs);
        state.counters["frame_ms"] = double(frameNs) / 1e6 / double(runs);
    }

private:
    QElapsedTimer timer;
    qint64 buildNs = 0;
    qint64 frameNs = 0;
    qint64 runs = 0;
};

struct ChartData {
    QTemporaryDir dir;
    QString projection;
    QStringList files;
};

ChartData &chartData()
{
    static const std::unique_ptr<ChartData> d = [] {
        auto holder = std::make_unique<ChartData>();
        ChartData &out = *holder;
        out.projection = out.dir.filePath("projection.txt");
        QFile f(out.projection);
        if (f.open(QIODevice::WriteOnly))
            f.write("<tag>\nEPSG:4326\n+proj=merc +units=cm +ellps=WGS84\n");
        f.close();
        // One small raw file per line; the corridor lists are then filled with
        // the benchmark's soundings.
        for (int line = 0; line < kLines; ++line) {
            nexra::MrzPingRecord ping;
            ping.timeSec = 1600000000;
            ping.latitude = 10.005;
            ping.longitude = 20.0;
            nexra::MrzSoundingRecord s;
            s.z = 20.0f;
            ping.soundings << s;
            const QString path = out.dir.filePath(QStringLiteral("line_%1.nexra").arg(line, 4, 10, QLatin1Char('0')));
            nexra::writeFile(path, {nexra::makeIipDatagram(nexra::makeInstallationText(nexra::defaultInstallation(1))),
                                    nexra::makeMrzDatagram(ping)});
            out.files << path;
        }
        return holder;
    }();
    return *d;
}

std::unique_ptr<CrossLineWidget> shownWindow;

// A shown window whose data object holds the eight lines.
CrossLineWidget &window()
{
    if (!shownWindow) shownWindow = [] {
        auto win = std::make_unique<CrossLineWidget>(CrossLineWidget::POSTPROCESSING);
        CrossLineData *data = Inspector::crossLineData(*win);
        data->setProjectionFile(chartData().projection);
        data->setCrossLine(lineX, lineStartY, lineX, lineEndY);
        data->setCorridorWidth(100.0f);
        for (const QString &p : chartData().files)
            data->addRawFile(p);
        data->loadRegionData();
        data->loadCorridorData();
        const QStringList loaded = data->loadedRawFiles();
        for (int line = 0; line < loaded.size(); ++line) {
            QList<SoundingData> &list = data->corridorDepths(loaded.at(line));
            list.clear();
            list.reserve(kPoints);
            for (int i = 0; i < kPoints; ++i)
                list.append(sounding(line, i));
        }
        Inspector::displayData(*win).setOriginalData(data);
        Inspector::loadingFlag(*win) = false;
        // Point mode: one marker per sounding.
        win->findChild<QRadioButton *>(QStringLiteral("displayModePoint"))->setChecked(true);
        win->findChild<QSpinBox *>(QStringLiteral("displayPointSize"))->setValue(kMarkerSize);
        win->resize(1500, 950);
        win->show();
        drawLoadedLines(*win);
        FrameWaiter(Inspector::chartView(*win)).wait();
        return win;
    }();
    return *shownWindow;
}

void BM_CreateChartUI(benchmark::State &state)
{
    CrossLineWidget &w = window();
    FrameWaiter waiter(Inspector::chartView(w));
    const bool gl = Inspector::chartView(w)->findChild<QOpenGLWidget *>() != nullptr;
    StageClock clock;
    for (auto _ : state) {
        clock.start();
        drawLoadedLines(w);
        clock.built();
        waiter.wait();
        clock.drawn();
    }
    clock.report(state);
    state.counters["points"] = kLines * kPoints;
    state.SetLabel(gl ? "OpenGL" : "no OpenGL context");
}

enum class FloorAxes {
    Kept,  // the bare floor: one pair of axes for every run
    Fresh, // as the window's rebuild after a load: new axes with titles each run
};

QValueAxis *floorAxis(QChart *chart, FloorAxes axes, Qt::Alignment alignment)
{
    auto *axis = new QValueAxis();
    if (axes == FloorAxes::Fresh) {
        axis->setTickCount(10);
        axis->setTitleText(alignment == Qt::AlignBottom ? QStringLiteral("X distance ")
                                                         : QStringLiteral("Depth (m.)"));
    }
    axis->setReverse(alignment == Qt::AlignLeft);
    chart->addAxis(axis, alignment);
    return axis;
}

// The bare chart: series made, filled with replace, added and drawn.
void floorChart(benchmark::State &state, bool useOpenGL, FloorAxes axes)
{
    QVector<QVector<QPointF>> points;
    for (int line = 0; line < kLines; ++line)
        points << floorPoints(line);
    auto *chart = new QChart();
    QValueAxis *axisX = floorAxis(chart, axes, Qt::AlignBottom);
    QValueAxis *axisY = floorAxis(chart, axes, Qt::AlignLeft);
    QChartView view(chart);
    view.resize(1200, 900);
    view.show();
    FrameWaiter waiter(&view);
    StageClock clock;
    for (auto _ : state) {
        clock.start();
        chart->removeAllSeries();
        if (axes == FloorAxes::Fresh) {
            for (QValueAxis *axis : {axisX, axisY}) {
                chart->removeAxis(axis);
                delete axis;
            }
            axisX = floorAxis(chart, axes, Qt::AlignBottom);
            axisY = floorAxis(chart, axes, Qt::AlignLeft);
        }
        for (int line = 0; line < kLines; ++line) {
            auto *series = new QScatterSeries();
            series->setMarkerSize(kMarkerSize);
            series->setUseOpenGL(useOpenGL);
            series->replace(points.at(line));
            chart->addSeries(series);
            series->attachAxis(axisX);
            series->attachAxis(axisY);
        }
        axisX->setRange(points.first().first().x(), points.first().last().x() + kLines);
        axisY->setRange(35, 47);
        clock.built();
        waiter.wait();
        clock.drawn();
    }
    clock.report(state);
    state.counters["points"] = kLines * kPoints;
    state.SetLabel(useOpenGL ? (view.findChild<QOpenGLWidget *>() ? "OpenGL" : "OpenGL requested, no widget")
                             : "scene items");
}

void BM_QtChartsFloor(benchmark::State &state) { floorChart(state, true, FloorAxes::Kept); }
void BM_QtChartsFloorNewAxes(benchmark::State &state) { floorChart(state, true, FloorAxes::Fresh); }
void BM_QtChartsWithoutOpenGL(benchmark::State &state) { floorChart(state, false, FloorAxes::Kept); }

// ---- Many short lines ----

constexpr int kShortLinePoints = 121;

// Its soundings across the corridor, a depth that rises along it.
QString shortLineFile(const QString &folder)
{
    const QString path = folder + QStringLiteral("/short_line.nexra");
    nexra::MrzPingRecord ping;
    ping.timeSec = 1600000000;
    ping.latitude = 10.005;
    ping.longitude = 20.0;
    for (int i = 0; i < kShortLinePoints; ++i) {
        nexra::MrzSoundingRecord s;
        s.deltaLongitude = 0.0000004f * float(i - kShortLinePoints / 2);
        s.y = 0.05f * float(i - kShortLinePoints / 2);
        s.z = 40.0f + 2.0f * std::sin(0.1f * float(i));
        ping.soundings << s;
    }
    nexra::writeFile(path, {nexra::makeIipDatagram(nexra::makeInstallationText(nexra::defaultInstallation(1))),
                            nexra::makeMrzDatagram(ping)});
    return path;
}

// A shown window whose data object holds `lines` raw files (links to one
// small file), loaded, the chart drawn as the load's answer draws it.
class ManyLines
{
public:
    explicit ManyLines(int lines)
    {
        window = std::make_unique<CrossLineWidget>(CrossLineWidget::POSTPROCESSING);
        CrossLineData *data = Inspector::crossLineData(*window);
        data->setProjectionFile(chartData().projection);
        data->setCrossLine(lineX, lineStartY, lineX, lineEndY);
        data->setCorridorWidth(100.0f);
        const QString source = shortLineFile(dir.path());
        for (int line = 0; line < lines; ++line) {
            const QString path = dir.filePath(QStringLiteral("line_%1.nexra").arg(line, 4, 10, QLatin1Char('0')));
            ::link(QFile::encodeName(source).constData(), QFile::encodeName(path).constData());
            data->addRawFile(path);
        }
        data->loadRegionData();
        data->loadCorridorData();
        Inspector::displayData(*window).setOriginalData(data);
        Inspector::loadingFlag(*window) = false;
        // As the load's answer connects the legend.
        QObject::connect(Inspector::ui(*window)->listWidget, &QListWidget::itemChanged, window.get(),
                         &CrossLineWidget::lineStateChanged, Qt::UniqueConnection);
        // The data thread's answer, as it goes out.
        QObject::connect(data, &CrossLineData::sigRecalcDone, data,
                         [this] { answeredAt.store(steadyNs(), std::memory_order_release); },
                         Qt::DirectConnection);
        window->resize(1500, 950);
        window->show();
        drawLoadedLines(*window);
        FrameWaiter(Inspector::chartView(*window)).wait();
    }

    ~ManyLines() { window->hide(); }

    CrossLineWidget &operator*() { return *window; }

    // The window's own road: the Recalculate button, the data thread's job,
    // the window's answer.
    void recalculate()
    {
        Inspector::ui(*window)->recalculateButton->click();
        while (window->dataThreadBusy())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }

    static qint64 steadyNs()
    {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    std::atomic<qint64> answeredAt{0};

private:
    QTemporaryDir dir;
    std::unique_ptr<CrossLineWidget> window;
};

// Time per line (microseconds) of each stage at each number of lines.
std::map<std::string, std::map<int, double>> &perLine()
{
    static std::map<std::string, std::map<int, double>> times;
    return times;
}

void recordPerLine(benchmark::State &state, const std::string &stage, int lines, qint64 totalNs)
{
    const double usPerLine = double(totalNs) / 1e3 / double(state.iterations()) / double(lines);
    state.counters["us_per_line"] = usPerLine;
    perLine()[stage][lines] = usPerLine;
}

enum class Stage { Draw, Recalculation, Teardown };

const char *stageName(Stage stage)
{
    switch (stage) {
    case Stage::Draw:
        return "Draw";
    case Stage::Recalculation:
        return "Recalculation";
    case Stage::Teardown:
        return "Teardown";
    }
    return "";
}

void manyLines(benchmark::State &state, Stage stage)
{
    const int lines = int(state.range(0));
    ManyLines window(lines);
    QChartView *view = Inspector::chartView(*window);
    QElapsedTimer timer;
    qint64 totalNs = 0;
    qint64 answerNs = 0;
    // The view's chart while the window's is released.
    std::unique_ptr<QChart> placeholder;
    for (auto _ : state) {
        // Untimed: the chart the stage starts from, the load's, in place of
        // the one the view shows.
        drawLoadedLines(*window);
        placeholder.reset();
        FrameWaiter(view).wait();
        if (stage == Stage::Teardown) {
            window.recalculate();
            FrameWaiter(view).wait();
            // As when the window goes: the view shows it no more.
            placeholder = std::make_unique<QChart>();
            view->setChart(placeholder.get());
        }
        QCoreApplication::processEvents();
        timer.start();
        switch (stage) {
        case Stage::Draw:
            drawLoadedLines(*window);
            FrameWaiter(view).wait();
            break;
        case Stage::Recalculation:
            window.recalculate();
            FrameWaiter(view).wait();
            answerNs += ManyLines::steadyNs() - window.answeredAt.load(std::memory_order_acquire);
            break;
        case Stage::Teardown:
            Inspector::releaseChart(*window);
            break;
        }
        const qint64 ns = timer.nsecsElapsed();
        totalNs += ns;
        state.SetIterationTime(double(ns) / 1e9);
    }
    if (stage == Stage::Recalculation)
        state.counters["answer_ms"] = double(answerNs) / 1e6 / double(state.iterations());
    recordPerLine(state, stageName(stage), lines, totalNs);
}

// The points of the short lines, as the chart draws them.
QVector<QVector<QPointF>> shortLinePoints(int lines)
{
    QVector<QVector<QPointF>> points(lines);
    for (int line = 0; line < lines; ++line) {
        for (int i = 0; i < kShortLinePoints; ++i)
            points[line].append(QPointF(0.05 * (i - kShortLinePoints / 2), 40.0 + 2.0 * std::sin(0.1 * i)));
    }
    return points;
}

// A new chart with new axes in the view, and one OpenGL line series per
// line added, attached and filled.
QChart *shortLinesChart(QChartView &view, const QVector<QVector<QPointF>> &points)
{
    auto *chart = new QChart();
    auto *axisX = new QValueAxis();
    auto *axisY = new QValueAxis();
    axisY->setReverse(true);
    chart->addAxis(axisX, Qt::AlignBottom);
    chart->addAxis(axisY, Qt::AlignLeft);
    axisX->setRange(-4, 4);
    axisY->setRange(37, 43);
    view.setChart(chart);
    for (const QVector<QPointF> &line : points) {
        auto *series = new QLineSeries();
        series->setUseOpenGL(true);
        chart->addSeries(series);
        series->attachAxis(axisX);
        series->attachAxis(axisY);
        series->replace(line);
    }
    return chart;
}

// The bare library: the draw's floor (a new chart of the lines drawn), or
// the recalculation's (the lines hidden one by one, then as many more added
// and drawn). The chart before it goes untimed, legend first.
void manyLinesQtChartsFloor(benchmark::State &state, Stage stage)
{
    const int lines = int(state.range(0));
    const QVector<QVector<QPointF>> points = shortLinePoints(lines);
    QChartView view;
    view.resize(1200, 800);
    view.show();
    FrameWaiter(&view).wait();
    QElapsedTimer timer;
    qint64 totalNs = 0;
    for (auto _ : state) {
        QChart *old = view.chart();
        QChart *chart = nullptr;
        if (stage == Stage::Recalculation) {
            chart = shortLinesChart(view, points);
            FrameWaiter(&view).wait();
        }
        QCoreApplication::processEvents();
        timer.start();
        if (stage == Stage::Recalculation) {
            const QList<QAbstractSeries *> loaded = chart->series();
            for (QAbstractSeries *series : loaded)
                series->setVisible(false);
            for (const QVector<QPointF> &line : points) {
                auto *series = new QLineSeries();
                series->setUseOpenGL(true);
                chart->addSeries(series);
                series->attachAxis(chart->axes(Qt::Horizontal).first());
                series->attachAxis(chart->axes(Qt::Vertical).first());
                series->replace(line);
            }
        } else {
            shortLinesChart(view, points);
        }
        FrameWaiter(&view).wait();
        const qint64 ns = timer.nsecsElapsed();
        totalNs += ns;
        state.SetIterationTime(double(ns) / 1e9);
        delete old->legend();
        delete old;
    }
    recordPerLine(state, stage == Stage::Recalculation ? "RecalculationFloor" : "Floor", lines, totalNs);
}

void BM_ManyLinesDraw(benchmark::State &state) { manyLines(state, Stage::Draw); }
void BM_ManyLinesRecalculation(benchmark::State &state) { manyLines(state, Stage::Recalculation); }
void BM_ManyLinesTeardown(benchmark::State &state) { manyLines(state, Stage::Teardown); }
void BM_ManyLinesQtChartsFloor(benchmark::State &state) { manyLinesQtChartsFloor(state, Stage::Draw); }
void BM_ManyLinesRecalculationQtChartsFloor(benchmark::State &state)
{
    manyLinesQtChartsFloor(state, Stage::Recalculation);
}

void manyLineCounts(benchmark::internal::Benchmark *b)
{
    b->Arg(500)->Arg(1000)->Arg(2000)->Arg(5000)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
}

BENCHMARK(BM_ManyLinesDraw)->Apply(manyLineCounts);
BENCHMARK(BM_ManyLinesRecalculation)->Apply(manyLineCounts);
BENCHMARK(BM_ManyLinesTeardown)->Apply(manyLineCounts);
BENCHMARK(BM_ManyLinesQtChartsFloor)->Apply(manyLineCounts);
BENCHMARK(BM_ManyLinesRecalculationQtChartsFloor)->Apply(manyLineCounts);

BENCHMARK(BM_QtChartsFloor)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(5.0);
BENCHMARK(BM_QtChartsFloorNewAxes)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(5.0);
BENCHMARK(BM_CreateChartUI)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(5.0);
BENCHMARK(BM_QtChartsWithoutOpenGL)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace

int main(int argc, char **argv)
{
    log4cplus::initialize();
    // The timing records of the window are not part of the measurement.
    // BENCH_CHART_LOG=1 prints them, to see where the time goes.
    if (qEnvironmentVariableIsSet("BENCH_CHART_LOG"))
        log4cplus::Logger::getRoot().addAppender(log4cplus::SharedAppenderPtr(new log4cplus::ConsoleAppender(true)));
    else
        log4cplus::Logger::getRoot().addAppender(log4cplus::SharedAppenderPtr(new log4cplus::NullAppender));
    QApplication app(argc, argv);
    // The window's caller listener takes any free port, not the program's.
    CrossLineWidget::setCallerPort(0);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    // Cost per line at the most lines over that at the fewest.
    for (const auto &stage : perLine()) {
        const auto &times = stage.second;
        if (times.size() < 2 || times.begin()->second <= 0)
            continue;
        std::printf("%-8s us per line: %s; at %d lines over at %d: %.2f\n", stage.first.c_str(),
                    [&] {
                        std::string text;
                        for (const auto &t : times)
                            text += (text.empty() ? "" : ", ") + std::to_string(t.first) + " "
                                + std::to_string(int(std::lround(t.second)));
                        return text;
                    }()
                        .c_str(),
                    times.rbegin()->first, times.begin()->first,
                    times.rbegin()->second / times.begin()->second);
    }
    shownWindow.reset(); // shuts logging down
    return 0;
}
