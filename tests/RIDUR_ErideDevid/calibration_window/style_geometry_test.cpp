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

// Lays out what the show left pending: the window's layouts and the chart's.
void settle()
{
    for (int i = 0; i < 3; ++i)
        QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
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

} // namespace
