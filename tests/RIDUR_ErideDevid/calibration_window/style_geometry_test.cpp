// The calibration window as the surveyor sees it at its first size, under
// the applied style sheets: spin boxes wide enough for their longest values
// in every display mode and at scale 1 and 2, the chart taking the width, the
// X labels of a generated survey drawn whole, and the task panel's check
// boxes and table corner outside the button rule. The window is shown
// without running the event loop, so the caller's listener never starts.
#include "crosslinewidget.h"

#include "chvxqa_tasks_progress.h"
#include "cmessageswidget.h"
#include "cprogresswidget.h"
#include "crosslinedata.h"
#include "crosslinewidget_access.h"
#include "surveygenerator.h"
#include "taskprogresswidget.h"
#include "uistyle.h"

#include <QAbstractButton>
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QFile>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QValueAxis>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

QT_CHARTS_USE_NAMESPACE

using Inspector = CrossLineWidgetInspector;

namespace {

// A line edit keeps this many pixels free on each side of its text.
constexpr int lineEditMargin = 2;

struct SheetCase {
    UiStyleMode mode;
    int scale;
    const char *name;
};

const SheetCase sheetCases[] = {
    {UiStyleModeDay, 1, "Day"},          {UiStyleModeDusk, 1, "Dusk"},
    {UiStyleModeBrightDay, 1, "BrightDay"}, {UiStyleModeDay, 2, "DayScale2"},
    {UiStyleModeDusk, 2, "DuskScale2"},  {UiStyleModeBrightDay, 2, "BrightDayScale2"},
};

// Does what the show left to the event loop: the deferred shows of children
// added to shown widgets (calls queued on widgets only, so that the call
// queued on the window's listener stays queued), then the layouts.
void settle()
{
    for (int i = 0; i < 3; ++i) {
        for (QWidget *widget : QApplication::allWidgets())
            QCoreApplication::sendPostedEvents(widget, QEvent::MetaCall);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    }
}

// The window with the built-in sheets, nothing stored by an earlier window.
class StyledWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings(QStringLiteral("Zovadivuv Uzavuzod UD"), QStringLiteral("RID UR ErideDevid")).clear();
        QFile::remove(CrossLineWidget::guiIniPath());
        QFile::remove(CrossLineWidget::programDataFolder() + QStringLiteral("userStyle.css"));
        window = std::make_unique<CrossLineWidget>(CrossLineWidget::POSTPROCESSING);
        ui = Inspector::ui(*window);
    }

    void TearDown() override
    {
        window.reset();
        // Later tests start from the sheet a new window applies.
        QFile sheet(QStringLiteral(":/style.css"));
        applyStyleSheet(&sheet, UiStyleModeDay, 1);
    }

    void applySheet(UiStyleMode mode, int scale)
    {
        QFile sheet(QStringLiteral(":/style.css"));
        applyStyleSheet(&sheet, mode, scale);
    }

    void showWindow()
    {
        static_cast<QWidget *>(window.get())->show();
        settle();
    }

    std::unique_ptr<CrossLineWidget> window;
    Ui::CalibrationWidget *ui = nullptr;
};

// ---- Spin boxes ----

class SpinBoxText : public StyledWindow, public ::testing::WithParamInterface<SheetCase>
{
};

TEST_P(SpinBoxText, EditorHoldsTheLongestValue)
{
    applySheet(GetParam().mode, GetParam().scale);
    // The range boxes show while the axes are not in auto range.
    ui->horizontalRangeCheckBox->setChecked(false);
    ui->verticalRangeCheckBox->setChecked(false);
    showWindow();

    const QString grid = QStringLiteral("-1000.000");
    const QString attitude1 = QStringLiteral("-180.000");
    const QString range = QStringLiteral("-12000000.00");
    const std::pair<QAbstractSpinBox *, QString> cases[] = {
        {ui->corridorWidth, QStringLiteral("1000.00")},
        {ui->displayPointSize, QStringLiteral("99")},
        {ui->tx1R, grid}, {ui->tx1P, grid}, {ui->tx1H, grid},
        {ui->tx2R, grid}, {ui->tx2P, grid}, {ui->tx2H, grid},
        {ui->rx1R, grid}, {ui->rx1P, grid}, {ui->rx1H, grid},
        {ui->rx2R, grid}, {ui->rx2P, grid}, {ui->rx2H, grid},
        {ui->att1R, attitude1}, {ui->att1P, attitude1}, {ui->att1H, attitude1},
        {ui->att2R, grid}, {ui->att2P, grid}, {ui->att2H, grid},
        {ui->horizontalRangeLeftSpinBox, range}, {ui->horizontalRangeRightSpinBox, range},
        {ui->verticalRangeTopSpinBox, range}, {ui->verticalRangeBottomSpinBox, range},
    };
    for (const auto &c : cases) {
        QAbstractSpinBox *box = c.first;
        SCOPED_TRACE(box->objectName().toStdString());
        ASSERT_TRUE(box->isVisible());
        auto *edit = box->findChild<QLineEdit *>();
        ASSERT_NE(edit, nullptr);
        const int textArea =
            edit->contentsRect().marginsRemoved(edit->textMargins()).width() - 2 * lineEditMargin;
        // One pixel more for the cursor behind the last digit.
        const int needed = edit->fontMetrics().horizontalAdvance(c.second) + 1;
        EXPECT_GE(textArea, needed) << "box " << box->width() << " px, editor " << edit->width() << " px";
        EXPECT_TRUE(box->rect().contains(edit->geometry())) << "the editor lies inside its box";
    }
    // The form's widths for the corridor box, scaled with the sheet.
    EXPECT_LE(ui->corridorWidth->width(), 75 * GetParam().scale);
    EXPECT_GE(ui->displayPointSize->width(), 75);
}

INSTANTIATE_TEST_SUITE_P(Sheets, SpinBoxText, ::testing::ValuesIn(sheetCases),
                         [](const ::testing::TestParamInfo<SheetCase> &info) { return info.param.name; });

// ---- The chart takes the width ----

// The demo's survey: three 600 m lines crossing at 60 N 5 E over a slope with
// a mound, and a cross line over them with a corridor of 20 projected metres.
class StyledWindowWithSurvey : public StyledWindow
{
protected:
    void loadSurvey()
    {
        ASSERT_TRUE(dir.isValid());
        nexra::SurveyConfig cfg;
        cfg.sonar.beamCount = 128;
        cfg.seafloor.slopeEast = 0.01;
        cfg.seafloor.features = {{0, 0, 60, 6}};
        for (double headingDeg : {180.0, 90.0, 45.0}) {
            const double h = headingDeg * 0.017453292519943295;
            nexra::SurveyLine line;
            line.start = nexra::offsetPosition(60.0, 5.0, h, 0, -300);
            line.end = nexra::offsetPosition(60.0, 5.0, h, 0, 300);
            cfg.lines << line;
        }
        QStringList paths;
        ASSERT_TRUE(nexra::SurveyGenerator(cfg).write(dir.path(), &paths));

        nexra::SurveyProjection projection;
        double sn = 0, se = 0, en = 0, ee = 0;
        ASSERT_TRUE(projection.toProjected(59.9987, 4.9960, &sn, &se));
        ASSERT_TRUE(projection.toProjected(60.0012, 5.0035, &en, &ee));
        const QString projectionFile = dir.filePath(QStringLiteral("projection.txt"));
        QFile file(projectionFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("<tag>\nEPSG:4326\n+proj=merc +units=cm +ellps=WGS84\n");
        file.close();

        // A load in this thread while the data thread is idle.
        CrossLineData *data = Inspector::crossLineData(*window);
        data->setProjectionFile(projectionFile);
        data->setCrossLine(qint32(se), qint32(sn), qint32(ee), qint32(en));
        data->setCorridorWidth(20.0f);
        for (const QString &path : paths)
            data->addRawFile(path);
        data->loadRegionData();
        data->loadCorridorData();
        Inspector::displayData(*window).setOriginalData(data);
        Inspector::loadingFlag(*window) = false;
        window->updateViewData();
        ASSERT_EQ(ui->listWidget->count(), 3);
    }

    QTemporaryDir dir;
};

// The drawn labels below the plot area, left to right, without the title.
QList<QGraphicsTextItem *> xAxisLabels(QChart *chart, const QValueAxis *axis)
{
    QList<QGraphicsTextItem *> labels;
    const QRectF plot = chart->plotArea();
    for (QGraphicsItem *item : chart->scene()->items()) {
        auto *text = qgraphicsitem_cast<QGraphicsTextItem *>(item);
        if (!text || !text->isVisible() || text->toPlainText() == axis->titleText())
            continue;
        const QRectF box = text->sceneBoundingRect();
        if (box.center().y() > plot.bottom() && box.center().x() >= plot.left() - 1
            && box.center().x() <= plot.right() + 1)
            labels << text;
    }
    std::sort(labels.begin(), labels.end(), [](QGraphicsTextItem *a, QGraphicsTextItem *b) {
        return a->sceneBoundingRect().center().x() < b->sceneBoundingRect().center().x();
    });
    return labels;
}

TEST_F(StyledWindowWithSurvey, LeftColumnAtItsMinimumThePreviewTakesTheRest)
{
    // As the caller does: the lines and the cross line, then the show.
    loadSurvey();
    showWindow();
    ASSERT_EQ(window->size(), QSize(1015, 1032));
    QSplitter *splitter = ui->splitter;
    EXPECT_LE(ui->layoutWidget->width(), ui->layoutWidget->minimumSizeHint().width());
    EXPECT_EQ(ui->groupBox_2->width(), splitter->width() - ui->layoutWidget->width() - splitter->handleWidth());
    QChart *chart = Inspector::chart(*window);
    ASSERT_NE(chart, nullptr);
    EXPECT_GE(Inspector::chartView(*window)->width(), ui->groupBox_2->width() / 2);
}

// The ten labels of the survey's X extent (about -20 to 1023 m) as QtCharts
// lays them out at the initial size: none elided, none wider than the tick
// spacing, in a legible font.
TEST_F(StyledWindowWithSurvey, TenXLabelsDrawnWholeAtTheInitialSize)
{
    loadSurvey();
    showWindow();
    ASSERT_EQ(window->size(), QSize(1015, 1032));
    QChart *chart = Inspector::chart(*window);
    ASSERT_NE(chart, nullptr);
    const QValueAxis *axis = Inspector::axisX(*window);
    ASSERT_EQ(axis->tickCount(), 10);
    EXPECT_GE(axis->labelsFont().pointSizeF(), 8.0);
    const QRectF plot = chart->plotArea();
    ASSERT_GT(plot.width(), 0.0);

    // Every label drawn whole: its number is its tick's value.
    const QList<QGraphicsTextItem *> labels = xAxisLabels(chart, axis);
    ASSERT_EQ(labels.size(), 10);
    const QFontMetricsF metrics(axis->labelsFont());
    const double step = (axis->max() - axis->min()) / 9.0;
    const double tickSpacing = plot.width() / 9.0;
    for (int i = 0; i < labels.size(); ++i) {
        const QString text = labels.at(i)->toPlainText();
        SCOPED_TRACE(text.toStdString());
        EXPECT_FALSE(text.endsWith(QStringLiteral("...")) || text.endsWith(QChar(0x2026))) << "elided";
        bool number = false;
        const double value = text.toDouble(&number);
        ASSERT_TRUE(number) << "an elided label";
        EXPECT_NEAR(value, axis->min() + i * step, 0.05 + 1e-9);
        EXPECT_LE(metrics.horizontalAdvance(text), tickSpacing) << "plot " << plot.width() << " px";
    }
}

// ---- Check boxes and table corners are not push buttons ----

template <class T>
T *topLevel()
{
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *found = qobject_cast<T *>(widget))
            return found;
    return nullptr;
}

TEST_F(StyledWindow, TaskCheckBoxesFitTheirRowsAndTheCornerButtonItsCorner)
{
    CHVXQA_Tasks_Progress *tasks = Inspector::tasksProgress(*window);
    tasks->progress(QStringLiteral("Load Data"), 40, 100);
    tasks->progress(QStringLiteral("Load Data::Read a.nexra"), 100, 100);
    tasks->progress(QStringLiteral("Load Data::Read b.nexra"), 10, 100, QStringLiteral("Cannot read b.nexra"));
    tasks->taskInfo(QStringLiteral("Load Data"), QStringLiteral("2 files"));
    tasks->showProgress();
    tasks->showMessages();
    settle();

    auto *progress = topLevel<CProgressWidget>();
    ASSERT_NE(progress, nullptr);
    auto *rows = progress->findChild<QTableWidget *>(QStringLiteral("tasksTable"));
    ASSERT_NE(rows, nullptr);
    ASSERT_EQ(rows->rowCount(), 3);
    progress->findChild<QPushButton *>(QStringLiteral("showDetailsButton"))->click();
    rows->doItemsLayout(); // what the view's layout timer would do
    settle();
    for (int r = 0; r < rows->rowCount(); ++r) {
        SCOPED_TRACE(r);
        QWidget *row = rows->cellWidget(r, 0);
        auto *box = row->findChild<QCheckBox *>(QStringLiteral("compleatedBox"));
        // Inside the row's margins, at its own height.
        const QRect inner = row->rect().marginsRemoved(row->layout()->contentsMargins());
        EXPECT_TRUE(inner.contains(box->geometry()))
            << "box " << box->geometry().y() << "+" << box->height() << " in " << inner.y() << "+"
            << inner.height();
        EXPECT_GE(box->height(), box->sizeHint().height());
    }

    auto *messages = topLevel<CMessagesWidget>();
    ASSERT_NE(messages, nullptr);
    auto *table = messages->findChild<QTableWidget *>();
    ASSERT_NE(table, nullptr);
    ASSERT_GT(table->rowCount(), 0);
    table->doItemsLayout();
    settle();
    QWidget *corner = nullptr;
    for (QAbstractButton *button : table->findChildren<QAbstractButton *>())
        if (QLatin1String(button->metaObject()->className()) == QLatin1String("QTableCornerButton"))
            corner = button;
    ASSERT_NE(corner, nullptr);
    // The corner over the row numbers, clear of the first column's header.
    EXPECT_LE(corner->width(), table->verticalHeader()->width());
    EXPECT_LE(corner->height(), table->horizontalHeader()->height());
    EXPECT_LE(corner->geometry().right(), table->horizontalHeader()->geometry().left());
}

} // namespace
