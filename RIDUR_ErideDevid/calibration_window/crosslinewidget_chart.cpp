// The sounding chart and its interaction: display types, series, legend,
// axis ranges, clicked points and overlays.
#include "crosslinewidget.h"

#include "crosslinedata.h"
#include "ui_calibrationwidget.h"

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QGraphicsLayout>
#include <QHBoxLayout>
#include <QLineSeries>
#include <QListWidgetItem>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QPen>
#include <QPixmap>
#include <QScatterSeries>
#include <QSet>
#include <QValueAxis>

#include <log4cplus/log4cplus.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

QT_CHARTS_USE_NAMESPACE

static log4cplus::Logger logger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("Rerozadoz"));

const CrossLineWidget::DisplayTypeData CrossLineWidget::displayTypes[15] = {
    {0, 100, "X distance "},
    {1, 100, "Y distance"},
    {5, -100, "Depth (m.)"},
    {8, 1, "Across"},
    {9, 100, "Along"},
    {13, 1, "Q Factor"},
    {14, 1, "Reflect"},
    {15, 1, "No Of Samples"},
    {16, 1, "Beam Ang. Adj."},
    {17, 1, "Detection Info"},
    {18, 1, "Flag"},
    {19, 1, "Beam No"},
    {20, 1, "Two Way Time"},
    {21, 1, "TX Depth"},
    {22, -100, "Depth Ellps (m.)"},
};

namespace {

const QString origSuffix = QStringLiteral(" - orig");

// Pixels between the chart's view and its titles, legend and labels.
constexpr int chartMargin = 4;

// Deletes a chart with its series, axes and legend at a cost linear in its
// series. QtCharts takes the series out one at a time,
// and each removal costs in proportion to the series left: the legend
// measures all its remaining markers again, and the axes' signals are
// searched through all their connections. Here the legend goes first, its
// markers with it in one step, and so do the connections of the axes'
// signals; nothing reads either any more.
void deleteChart(QChart *chart)
{
    for (QAbstractAxis *axis : chart->axes())
        QObject::disconnect(axis, nullptr, nullptr, nullptr);
    delete chart->legend();
    delete chart;
}

// A series of the kind the display mode draws: markers in point mode, a
// line otherwise.
bool isOfKind(const QAbstractSeries *series, bool pointMode)
{
    return series->type() == (pointMode ? QAbstractSeries::SeriesTypeScatter : QAbstractSeries::SeriesTypeLine);
}

// The pen and brush the chart's theme gives a series of a kind at an index:
// the theme's colours in turn, read once from a chart of the library's
// default theme. A scatter series' border takes its fill colour.
struct ThemeLook {
    QPen pen;
    QBrush brush;
};

ThemeLook themeLook(bool markers, int index)
{
    static const auto sample = [](bool scatter) {
        QChart chart;
        QList<ThemeLook> looks;
        for (int i = 0; i < 256; ++i) {
            QXYSeries *s = scatter ? static_cast<QXYSeries *>(new QScatterSeries()) : new QLineSeries();
            chart.addSeries(s);
            ThemeLook look{s->pen(), s->brush()};
            if (scatter)
                look.pen.setColor(look.brush.color());
            if (!looks.isEmpty() && look.pen == looks.first().pen && look.brush == looks.first().brush)
                break;
            looks << look;
        }
        return looks;
    };
    static const QList<ThemeLook> lines = sample(false);
    static const QList<ThemeLook> scatters = sample(true);
    const QList<ThemeLook> &looks = markers ? scatters : lines;
    return looks.at(index % looks.size());
}

// QtCharts draws an OpenGL series only into an OpenGL context; where none can
// be made (the offscreen platform without a display) such a series would not
// be drawn at all, so the series are drawn by the scene instead.
bool openGLAvailable()
{
    static const bool available = [] {
        QOpenGLContext context;
        if (!context.create())
            return false;
        QOffscreenSurface surface;
        surface.setFormat(context.format());
        surface.create();
        if (!surface.isValid() || !context.makeCurrent(&surface))
            return false;
        context.doneCurrent();
        return true;
    }();
    static bool reported = false;
    if (!available && !reported) {
        reported = true;
        LOG4CPLUS_INFO(logger, LOG4CPLUS_TEXT("No OpenGL context: chart series drawn without OpenGL"));
    }
    return available;
}

// An unsigned key whose order is the order of the float (-0 and +0 equal).
quint32 orderKey(float value)
{
    if (value == 0.0f)
        value = 0.0f;
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    return (bits & 0x80000000u) ? ~bits : (bits | 0x80000000u);
}

// The points in ascending x, points of equal x in their given order: a least
// significant digit radix sort on the x key, three passes of 11 bits.
std::vector<FloatPoint> sortedByX(const QList<FloatPoint> &points)
{
    constexpr int digitBits = 11;
    constexpr int passes = 3;
    constexpr quint32 digitMask = (1u << digitBits) - 1;
    std::vector<FloatPoint> from(points.cbegin(), points.cend());
    if (from.size() < 2)
        return from;

    std::vector<std::array<quint32, digitMask + 1>> counts(passes);
    for (const FloatPoint &p : from) {
        const quint32 key = orderKey(p.x);
        for (int pass = 0; pass < passes; ++pass)
            ++counts[pass][(key >> (pass * digitBits)) & digitMask];
    }
    std::vector<FloatPoint> to(from.size());
    for (int pass = 0; pass < passes; ++pass) {
        const int shift = pass * digitBits;
        std::array<quint32, digitMask + 1> &next = counts[pass];
        // A digit that all keys share leaves the order as it is.
        if (next[(orderKey(from.front().x) >> shift) & digitMask] == from.size())
            continue;
        quint32 offset = 0;
        for (quint32 &slot : next) {
            const quint32 count = slot;
            slot = offset;
            offset += count;
        }
        for (const FloatPoint &p : from)
            to[next[(orderKey(p.x) >> shift) & digitMask]++] = p;
        from.swap(to);
    }
    return from;
}

// Whether an axis has a range of its own: an axis whose ends (nearly) meet
// takes the range of the next series attached to it.
bool hasSpan(const QValueAxis *axis)
{
    return !qFuzzyCompare(axis->min(), axis->max());
}

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

// How far from a drawn point a click on a line still finds it, in pixels.
constexpr double lineClickReach = 4.0;

// The drawn point of the series nearest to a clicked position, when one lies
// within reach (pixels) of the click; otherwise the clicked position. A line
// series and an OpenGL scatter series report the clicked position rather
// than a point of the series. A position that is a drawn point is that
// point: on an axis whose ends meet every point maps to the same pixels.
QPointF nearestDrawnPoint(QChart *chart, QXYSeries *series, const QPointF &clicked, double reach)
{
    const QVector<QPointF> points = series->pointsVector();
    if (chart->plotArea().isEmpty() || points.contains(clicked))
        return clicked;
    const QPointF origin = chart->mapToPosition(clicked, series);
    const QPointF unitX = chart->mapToPosition(clicked + QPointF(1, 0), series);
    const QPointF unitY = chart->mapToPosition(clicked + QPointF(0, 1), series);
    const double pxPerX = unitX.x() - origin.x();
    const double pxPerY = unitY.y() - origin.y();
    double best = reach * reach;
    QPointF found = clicked;
    for (const QPointF &p : points) {
        const double dx = (p.x() - clicked.x()) * pxPerX;
        const double dy = (p.y() - clicked.y()) * pxPerY;
        const double d2 = dx * dx + dy * dy;
        if (d2 <= best) {
            best = d2;
            found = p;
        }
    }
    return found;
}

} // namespace

// ---- Chart ----

void CrossLineWidget::createChartUI(const DisplayTypeData &x, const DisplayTypeData &y,
                                    bool forceRange, bool redrawOriginal, bool originalOnly,
                                    const QSet<QString> &uncheckedNames)
{
    const qint64 start = nowMs();

    // Legend.
    if (redrawOriginal) {
        ui->listWidget->clear();
    } else {
        for (int row = ui->listWidget->count() - 1; row >= 0; --row) {
            if (!ui->listWidget->item(row)->text().endsWith(origSuffix))
                delete ui->listWidget->takeItem(row);
        }
    }

    // Chart. Where every series would go, a new chart takes the old one's
    // place in one step (its axes carried over), since QtCharts takes series
    // out one at a time at a cost that grows with the series left. The
    // series that the new lines replace otherwise are refilled in place.
    QList<QXYSeries *> replaced;
    if (!chart || redrawOriginal) {
        replaceChart(chart != nullptr);
    } else {
        for (QAbstractSeries *s : chart->series()) {
            if (!s->name().endsWith(origSuffix))
                replaced << static_cast<QXYSeries *>(s);
        }
    }
    const qint64 mark1 = nowMs();
    LOG4CPLUS_DEBUG(logger, LOG4CPLUS_TEXT("TIMING : CrossLineWidget::createChartUI() [1] = ") << (mark1 - start));

    // Point lists and names.
    minX = 2147483647;
    minY = 2147483647;
    maxX = -2147483647;
    maxY = -2147483647;
    QVector<QVector<QPointF>> pointLists;
    QStringList seriesNames;
    const QStringList paths = crossLineData->loadedRawFiles();
    if (redrawOriginal) {
        for (const QString &path : paths) {
            const QString key = path + origSuffix;
            addSeriesPoints(key, pointLists, seriesNames, displayData.seriesPoints(key, x.id, y.id));
        }
    }
    if (!originalOnly) {
        for (const QString &path : paths)
            addSeriesPoints(path, pointLists, seriesNames, displayData.seriesPoints(path, x.id, y.id));
    }
    const qint64 mark2 = nowMs();
    LOG4CPLUS_DEBUG(logger, LOG4CPLUS_TEXT("TIMING : CrossLineWidget::createChartUI() [2] = ") << (mark2 - mark1));

    // X axis, widened by 2 % on both sides.
    if (!axisX) {
        axisX = new QValueAxis();
        axisX->applyNiceNumbers();
        axisX->setTickCount(10);
        chart->addAxis(axisX, Qt::AlignBottom);
    }
    minX = minX - 0.02 * (maxX - minX);
    maxX = maxX + 0.02 * (maxX - minX);
    if (forceRange || ui->horizontalRangeCheckBox->isChecked()) {
        axisX->setRange(minX, maxX);
        ui->horizontalRangeLeftSpinBox->setValue(minX);
        ui->horizontalRangeRightSpinBox->setValue(maxX);
    }
    axisX->setTitleText(QString::fromLatin1(x.title));

    // Y axis, values growing downwards.
    if (!axisY) {
        axisY = new QValueAxis();
        axisY->applyNiceNumbers();
        axisY->setTickCount(10);
        axisY->setReverse(true);
        chart->addAxis(axisY, Qt::AlignLeft);
    }
    if (forceRange || ui->verticalRangeCheckBox->isChecked()) {
        axisY->setRange(minY, maxY);
        ui->verticalRangeBottomSpinBox->setValue(minY);
        ui->verticalRangeTopSpinBox->setValue(maxY);
    }
    axisY->setTitleText(QString::fromLatin1(y.title));
    const qint64 mark4 = nowMs();
    LOG4CPLUS_DEBUG(logger, LOG4CPLUS_TEXT("TIMING : CrossLineWidget::createChartUI() [4] = ") << (mark4 - mark2));

    // The kept lines the legend's restore hides are hidden before the new
    // series join: QtCharts answers a change of a series' visibility with a
    // search through all the chart's series.
    restoreLegend(uncheckedNames);
    drawSeries(pointLists, seriesNames, replaced, uncheckedNames);
    const qint64 mark5 = nowMs();
    LOG4CPLUS_DEBUG(logger, LOG4CPLUS_TEXT("TIMING : CrossLineWidget::createChartUI() [5] = ") << (mark5 - mark4));

    // The view, made once.
    if (!chartView) {
        chartView = new QChartView(chart, this);
        chartView->installEventFilter(this);
        QLayout *layout = ui->graphicWidget->layout();
        if (!layout) {
            layout = new QHBoxLayout(ui->graphicWidget);
            layout->setContentsMargins(0, 0, 0, 0);
        }
        layout->addWidget(chartView);
        layout->invalidate();
        layout->update();
    }
    applyChartLook();
    const qint64 end = nowMs();
    LOG4CPLUS_DEBUG(logger, LOG4CPLUS_TEXT("TIMING : CrossLineWidget::createChartUI() [6] = ") << (end - mark5));
    LOG4CPLUS_DEBUG(logger, LOG4CPLUS_TEXT("TIMING : CrossLineWidget::createChartUI() = ") << (end - start));
}

void CrossLineWidget::drawSeries(const QVector<QVector<QPointF>> &pointLists, const QStringList &names,
                                 QList<QXYSeries *> replaced, const QSet<QString> &uncheckedNames)
{
    const bool pointMode = ui->displayModePoint->isChecked();
    // The replaced series that cannot be refilled go: those left over and
    // those of the other kind.
    QList<QXYSeries *> refilled;
    for (int i = 0; i < replaced.size(); ++i) {
        QXYSeries *s = replaced.at(i);
        if (i < pointLists.size() && isOfKind(s, pointMode)) {
            refilled << s;
        } else {
            chart->removeSeries(s);
            delete s;
        }
    }
    // A series keeps its place in the chart's order, which is the order of
    // the theme's colours; the kept lines go first.
    const int firstPlace = chart->series().size() - refilled.size();
    QSet<QString> named;
    for (QAbstractSeries *s : chart->series().mid(0, firstPlace))
        named << s->name();

    // One series per line, in stages over all lines; the per-series timings
    // are written afterwards.
    enum Stage { Made, Filled, Added, Attached, Listed, Stages };
    std::vector<std::array<qint64, Stages>> spent(size_t(pointLists.size()), std::array<qint64, Stages>{});
    // An OpenGL series converts all its points on every range change, so it
    // is filled after it is added and attached. An axis whose ends meet
    // takes its range from the series attached to it, which must then hold
    // its points already.
    const bool fillFirst = !hasSpan(axisX) || !hasSpan(axisY);
    const bool useOpenGL = openGLAvailable();
    // QtCharts draws OpenGL series in the order of their addresses: the new
    // series are handed out in that order, so that the lines are drawn as
    // they are listed, the last on top, as the scene draws them.
    std::vector<QXYSeries *> made;
    for (int i = refilled.size(); i < pointLists.size(); ++i) {
        const qint64 begun = nowMs();
        QXYSeries *s = pointMode ? static_cast<QXYSeries *>(new QScatterSeries()) : new QLineSeries();
        s->setUseOpenGL(useOpenGL);
        connect(s, &QXYSeries::clicked, this, &CrossLineWidget::clickedOnSeries);
        made.push_back(s);
        spent[size_t(i)][Made] = nowMs() - begun;
    }
    std::sort(made.begin(), made.end(), std::less<QXYSeries *>());
    QList<QXYSeries *> drawn;
    QList<bool> checked;
    for (int i = 0; i < pointLists.size(); ++i) {
        const qint64 begun = nowMs();
        const bool reused = i < refilled.size();
        QXYSeries *s = reused ? refilled.at(i) : made.at(size_t(i - refilled.size()));
        // The theme's look for the series' place. Set before the series is
        // in the chart it costs nothing there and the theme leaves it; a
        // change afterwards makes QtCharts search all the chart's series,
        // so a refilled series changes only what differs. A scatter
        // series' border takes its fill colour.
        const ThemeLook look = themeLook(pointMode, firstPlace + i);
        if (s->pen() != look.pen)
            s->setPen(look.pen);
        if (pointMode) {
            auto *scatter = static_cast<QScatterSeries *>(s);
            if (s->brush() != look.brush)
                s->setBrush(look.brush);
            if (scatter->markerSize() != ui->displayPointSize->value())
                scatter->setMarkerSize(ui->displayPointSize->value());
        }
        s->setName(names.at(i));
        // The legend's restore unchecks the items of these names and hides
        // the first series of each: a line it hides joins the chart hidden.
        checked << !uncheckedNames.contains(names.at(i));
        const bool shown = checked.last() || named.contains(names.at(i));
        named << names.at(i);
        if (s->isVisible() != shown)
            s->setVisible(shown);
        const qint64 dressed = nowMs();
        spent[size_t(i)][Made] += dressed - begun;
        if (fillFirst || reused)
            s->replace(pointLists.at(i));
        spent[size_t(i)][Filled] = nowMs() - dressed;
        drawn << s;
    }
    // The new series are added, then attached to one axis after the other:
    // each axis keeps its connections to them together, which their removal
    // searches through.
    for (int i = refilled.size(); i < drawn.size(); ++i) {
        const qint64 begun = nowMs();
        chart->addSeries(drawn.at(i));
        spent[size_t(i)][Added] = nowMs() - begun;
    }
    for (QValueAxis *axis : {axisX, axisY}) {
        for (int i = refilled.size(); i < drawn.size(); ++i) {
            const qint64 begun = nowMs();
            drawn.at(i)->attachAxis(axis);
            spent[size_t(i)][Attached] += nowMs() - begun;
        }
    }
    for (int i = 0; i < drawn.size(); ++i) {
        QXYSeries *s = drawn.at(i);
        const qint64 begun = nowMs();
        if (!fillFirst && i >= refilled.size())
            s->replace(pointLists.at(i));
        const qint64 filled = nowMs();
        spent[size_t(i)][Filled] += filled - begun;
        QPixmap square(16, 16);
        square.fill(s->color());
        auto *item = new QListWidgetItem(QIcon(square), names.at(i), ui->listWidget);
        item->setCheckState(checked.at(i) ? Qt::Checked : Qt::Unchecked);
        spent[size_t(i)][Listed] = nowMs() - filled;
    }
    indexSeriesNames();
    for (const auto &stages : spent) {
        LOG4CPLUS_DEBUG(logger, LOG4CPLUS_TEXT("TIMING : CrossLineWidget::createChartUI [5][1] = ") << stages[Made]);
        LOG4CPLUS_DEBUG(logger, LOG4CPLUS_TEXT("TIMING : CrossLineWidget::createChartUI [5][2] = ") << stages[Filled]);
        LOG4CPLUS_DEBUG(logger, LOG4CPLUS_TEXT("TIMING : CrossLineWidget::createChartUI [5][3] = ") << stages[Added]);
        LOG4CPLUS_DEBUG(logger, LOG4CPLUS_TEXT("TIMING : CrossLineWidget::createChartUI [5][4] = ") << stages[Attached]);
        LOG4CPLUS_DEBUG(logger, LOG4CPLUS_TEXT("TIMING : CrossLineWidget::createChartUI [5][5] = ") << stages[Listed]);
    }
}

QSet<QString> CrossLineWidget::namesUncheckedByRestore() const
{
    QSet<QString> names;
    for (auto saved = lineCheckStates.cbegin(); saved != lineCheckStates.cend(); ++saved) {
        if (!saved.value() || saved.key().contains(origSuffix))
            names << saved.key();
    }
    return names;
}

void CrossLineWidget::restoreLegend(const QSet<QString> &uncheckedNames)
{
    if (uncheckedNames.isEmpty())
        return;
    // The items change while the chart does not follow them one by one.
    const bool ready = chartReady;
    chartReady = false;
    for (int row = 0; row < ui->listWidget->count(); ++row) {
        QListWidgetItem *item = ui->listWidget->item(row);
        if (item->checkState() != Qt::Checked || !uncheckedNames.contains(item->text()))
            continue;
        item->setCheckState(Qt::Unchecked);
        if (QXYSeries *s = seriesByName.value(item->text()))
            s->setVisible(false);
    }
    chartReady = ready;
}

void CrossLineWidget::replaceChart(bool keepAxes)
{
    // The axes go with the old chart; the new one gets new axes over the
    // same ranges when they are kept.
    QChart *next = new QChart();
    QValueAxis *nextX = nullptr;
    QValueAxis *nextY = nullptr;
    if (keepAxes && axisX && axisY) {
        nextX = new QValueAxis();
        nextX->setTickCount(axisX->tickCount());
        nextX->setRange(axisX->min(), axisX->max());
        nextX->setTitleText(axisX->titleText());
        next->addAxis(nextX, Qt::AlignBottom);
        nextY = new QValueAxis();
        nextY->setTickCount(axisY->tickCount());
        nextY->setReverse(axisY->isReverse());
        nextY->setRange(axisY->min(), axisY->max());
        nextY->setTitleText(axisY->titleText());
        next->addAxis(nextY, Qt::AlignLeft);
    }
    if (chartView)
        chartView->setChart(next);
    releaseChart();
    chart = next;
    axisX = nextX;
    axisY = nextY;
    applyChartLook();
}

void CrossLineWidget::applyChartLook()
{
    if (!chart)
        return;
    if (chart->theme() != QChart::ChartThemeLight)
        chart->setTheme(QChart::ChartThemeLight);
    chart->setMargins(QMargins(chartMargin, chartMargin, chartMargin, chartMargin));
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->setBackgroundRoundness(0);
    if (!chartView)
        return;
    // As the event filter sets it.
    chartView->setRubberBand(ctrlHeld ? QChartView::NoRubberBand : QChartView::RectangleRubberBand);
    chartView->ensurePolished();
    QFont titleFont = chartView->font();
    titleFont.setBold(true);
    for (QValueAxis *axis : {axisX, axisY}) {
        if (axis) {
            axis->setLabelsFont(chartView->font());
            axis->setTitleFont(titleFont);
        }
    }
}

void CrossLineWidget::releaseChart()
{
    QChart *old = chart;
    chart = nullptr;
    axisX = nullptr;
    axisY = nullptr;
    seriesByName.clear();
    if (old)
        deleteChart(old);
}

void CrossLineWidget::indexSeriesNames()
{
    seriesByName.clear();
    const QList<QAbstractSeries *> series = chart->series();
    seriesByName.reserve(series.size());
    for (QAbstractSeries *s : series) {
        // The first series of a name answers for it.
        if (!seriesByName.contains(s->name()))
            seriesByName.insert(s->name(), static_cast<QXYSeries *>(s));
    }
}

void CrossLineWidget::addSeriesPoints(const QString &lineName, QVector<QVector<QPointF>> &pointLists,
                                      QStringList &seriesNames, const QList<FloatPoint> &points)
{
    // Sorted as floats (half the bytes to move), then widened to doubles.
    const std::vector<FloatPoint> sorted = sortedByX(points);
    QVector<QPointF> list(int(sorted.size()));
    QPointF *out = list.data();
    double lowX = minX, highX = maxX, lowY = minY, highY = maxY;
    for (const FloatPoint &p : sorted) {
        // A point whose x or y is not finite takes no part in the extents
        // (sorted by x, a NaN x may sit at either end).
        if (std::isfinite(p.x) && std::isfinite(p.y)) {
            lowX = std::min(lowX, double(p.x));
            highX = std::max(highX, double(p.x));
            lowY = std::min(lowY, double(p.y));
            highY = std::max(highY, double(p.y));
        }
        *out++ = QPointF(p.x, p.y);
    }
    minX = lowX;
    maxX = highX;
    minY = lowY;
    maxY = highY;

    if (list.isEmpty())
        return;
    seriesNames.append(seriesName(lineName));
    pointLists.append(list);
}

const CrossLineWidget::DisplayTypeData &CrossLineWidget::currentXDisplayType() const
{
    const int row = ui->displayTypeXSelect->currentIndex();
    return displayTypes[row >= 0 && row < 14 ? row : 0];
}

const CrossLineWidget::DisplayTypeData &CrossLineWidget::currentYDisplayType() const
{
    if (ui->checkEllips->isChecked())
        return displayTypes[14];
    const int row = ui->displayTypeYSelect->currentIndex();
    return displayTypes[row >= 0 && row < 14 ? row : 2];
}

QString CrossLineWidget::seriesName(const QString &lineName) const
{
    const QString fileName = lineName.mid(lineName.lastIndexOf(QLatin1Char('/')) + 1);
    if (lineName.endsWith(origSuffix)) {
        const QString path = lineName.left(lineName.size() - origSuffix.size());
        const QString value = QStringLiteral(":%1").arg(crossLineData->lineStartValue(path), 0, 'g', 6);
        return fileName.left(fileName.size() - origSuffix.size()) + value + origSuffix;
    }
    return fileName + QStringLiteral(":%1").arg(crossLineData->lineStartValue(lineName), 0, 'g', 6);
}

void CrossLineWidget::updateViewData()
{
    const bool headChanged = sender() && sender() == ui->headBox;
    const int headIndex = ui->headBox->currentIndex();
    // A head change rebuilds the " - orig" lines from CrossLineData and the
    // chart reads it: both wait for the data thread.
    runWhenDataIdle([this, headChanged, headIndex] { rebuildViewData(headChanged, headIndex); });
}

void CrossLineWidget::rebuildViewData(bool headChanged, int headIndex)
{
    chartReady = false;
    if (headChanged) {
        if (headIndex >= 0 && headIndex <= 2)
            displayData.setHead(headIndex);
        displayData.setOriginalData(crossLineData);
    }
    // The axes stay: the rebuild sets their ranges from the data.
    createChartUI(currentXDisplayType(), currentYDisplayType(), true, true, false);
    chartReady = true;
    chart->zoomIn();
    chart->zoomOut();
}

void CrossLineWidget::zoomOut()
{
    if (chart)
        chart->zoomReset();
}

void CrossLineWidget::lineStateChanged(QListWidgetItem *item)
{
    if (!chartReady || !chart || !item)
        return;
    // The first series of the item's name; no other series is touched.
    if (QXYSeries *s = seriesByName.value(item->text()))
        s->setVisible(item->checkState() == Qt::Checked);
}

void CrossLineWidget::updateDisplayGraphs(bool update)
{
    if (!update)
        return;
    runWhenDataIdle([this] { rebuildDisplayGraphs(); });
}

void CrossLineWidget::rebuildDisplayGraphs()
{
    chartReady = false;
    createChartUI(currentXDisplayType(), currentYDisplayType(), false, true, false);
    chartReady = true;
    connect(ui->listWidget, &QListWidget::itemChanged, this, &CrossLineWidget::lineStateChanged,
            Qt::UniqueConnection);
}

void CrossLineWidget::updateDisplayGraphPointsSize(int newSize)
{
    if (!ui->displayModePoint->isChecked())
        return;
    if (chart) {
        const QList<QAbstractSeries *> series = chart->series();
        for (QAbstractSeries *s : series) {
            if (auto *scatter = qobject_cast<QScatterSeries *>(s))
                scatter->setMarkerSize(newSize);
        }
    }
    updateDisplayGraphs(true);
}

// ---- Chart interaction and overlays ----

QString CrossLineWidget::lineSuffix(const QString &seriesName)
{
    const int colon = seriesName.indexOf(QLatin1Char(':'));
    QString suffix = colon < 0 ? seriesName : seriesName.left(colon);
    if (seriesName.endsWith(origSuffix))
        suffix += origSuffix;
    return suffix;
}

void CrossLineWidget::clickedOnSeries(QPointF point)
{
    auto *series = qobject_cast<QXYSeries *>(sender());
    if (series && chart) {
        auto *scatter = qobject_cast<QScatterSeries *>(series);
        const double reach = scatter ? scatter->markerSize() / 2.0 + 1.0 : lineClickReach;
        point = nearestDrawnPoint(chart, series, point, reach);
    }

    QString text = QStringLiteral("%1= %2, %3= %4")
                       .arg(ui->displayTypeXSelect->currentText(), QString::number(point.x(), 'g', 6),
                            ui->displayTypeYSelect->currentText(), QString::number(point.y(), 'g', 6));
    if (series) {
        text += QStringLiteral("\nLine '%1'").arg(series->name());
        const SoundingData found =
            displayData.soundingAt(lineSuffix(series->name()), currentXDisplayType().id, point.x(),
                                   currentYDisplayType().id, point.y());
        if (found.timeMs != 0) {
            text += QStringLiteral("\nTime= %1")
                        .arg(QDateTime::fromMSecsSinceEpoch(found.timeMs)
                                 .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss-zzz")));
            if (ctrlHeld) {
                const float across = found.across - lastClickedSounding.across;
                const float along = found.along - lastClickedSounding.along;
                const float depth = found.depth - lastClickedSounding.depth;
                text += QStringLiteral("\nAcross difference= %1").arg(double(across), 0, 'g', 6);
                text += QStringLiteral("\nAlong difference= %1").arg(double(along), 0, 'g', 6);
                text += QStringLiteral("\nDepth difference= %1").arg(double(depth), 0, 'g', 6);
            }
            lastClickedSounding = found;
        }
    }
    ui->informationWidget->setVisible(true);
    ui->informationLabel->setText(text);
}

void CrossLineWidget::updateHorizontalSeriesRange()
{
    if (!chartReady || !axisX)
        return;
    if (ui->horizontalRangeCheckBox->isChecked()) {
        axisX->setMin(minX);
        axisX->setMax(maxX);
    } else {
        axisX->setMin(ui->horizontalRangeLeftSpinBox->value());
        axisX->setMax(ui->horizontalRangeRightSpinBox->value());
    }
}

void CrossLineWidget::updateVerticalSeriesRange()
{
    if (!chartReady || !axisY)
        return;
    if (ui->verticalRangeCheckBox->isChecked()) {
        axisY->setMin(minY);
        axisY->setMax(maxY);
    } else {
        axisY->setMin(ui->verticalRangeBottomSpinBox->value());
        axisY->setMax(ui->verticalRangeTopSpinBox->value());
    }
}

void CrossLineWidget::showCorridorLine(bool visible)
{
    Q_UNUSED(visible)
}

void CrossLineWidget::showCorridorArea(bool visible)
{
    Q_UNUSED(visible)
    LOG4CPLUS_DEBUG(logger, LOG4CPLUS_TEXT("Start showCorridorArea"));
    LOG4CPLUS_DEBUG(logger, LOG4CPLUS_TEXT("End showCorridorArea"));
}

void CrossLineWidget::showDepthsBorder(bool visible)
{
    Q_UNUSED(visible)
}

void CrossLineWidget::showPreviewArea(bool visible)
{
    Q_UNUSED(visible)
}
