#include "ui_calibrationwidget.h"

#include <QAbstractButton>
#include <QDir>
#include <QImage>
#include <QMainWindow>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <memory>

namespace {

const QStringList displayTypes{
    "Distance X", "Distance Y", "Depth", "Depth Across", "Depth Along", "QFact", "Reflect",
    "No Of Samples", "Beam Adjust", "Info", "Flag", "Beam No", "Two Way Time", "TX Depth"};

class CalibrationFormTest : public ::testing::Test
{
protected:
    void SetUp() override { ui.setupUi(&window); }

    template<class T = QWidget>
    T *find(const char *name)
    {
        T *w = window.findChild<T *>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    QMainWindow window;
    Ui_CalibrationWidget ui;
};

TEST_F(CalibrationFormTest, RootTakesTitleSizeAndNameOnlyWhenUnnamed)
{
    EXPECT_EQ(window.objectName(), "CalibrationWidget");
    EXPECT_EQ(window.windowTitle(), "Calibration");
    EXPECT_EQ(window.size(), QSize(1015, 1032));
    EXPECT_EQ(window.centralWidget(), ui.splitter);

    QMainWindow named;
    named.setObjectName("CrossLineWidget");
    Ui_CalibrationWidget other;
    other.setupUi(&named);
    EXPECT_EQ(named.objectName(), "CrossLineWidget");
}

struct WidgetRow { const char *name; const char *className; const char *parent; };

TEST_F(CalibrationFormTest, EveryWidgetHasItsClassAndParent)
{
    const WidgetRow rows[] = {
        {"splitter", "QSplitter", "CalibrationWidget"},
        {"layoutWidget", "QWidget", "splitter"},
        {"informationWidget", "QDockWidget", "layoutWidget"},
        {"dockWidgetContents", "QWidget", "informationWidget"},
        {"informationLabel", "QLabel", "dockWidgetContents"},
        {"groupBox", "QGroupBox", "layoutWidget"},
        {"splitter_2", "QSplitter", "groupBox"},
        {"listWidget", "QListWidget", "splitter_2"},
        {"widget", "QWidget", "splitter_2"},
        {"groupBox_3", "QGroupBox", "widget"},
        {"label_8", "QLabel", "groupBox_3"},
        {"headBox", "QComboBox", "groupBox_3"},
        {"label_6", "QLabel", "groupBox_3"},
        {"corridorWidth", "QDoubleSpinBox", "groupBox_3"},
        {"line", "QFrame", "groupBox_3"},
        {"displayModeLine", "QRadioButton", "groupBox_3"},
        {"displayModePoint", "QRadioButton", "groupBox_3"},
        {"label_7", "QLabel", "groupBox_3"},
        {"displayPointSize", "QSpinBox", "groupBox_3"},
        {"checkEllips", "QCheckBox", "groupBox_3"},
        {"tabWidget", "QTabWidget", "widget"},
        {"groupBox_5", "QGroupBox", "tab"},
        {"groupBox_timeDelayes", "QGroupBox", "tab"},
        {"label_9", "QLabel", "groupBox_timeDelayes"},
        {"label_10", "QLabel", "groupBox_timeDelayes"},
        {"positionDelaySpinBox", "QSpinBox", "groupBox_timeDelayes"},
        {"motionDelaySpinBox", "QSpinBox", "groupBox_timeDelayes"},
        {"label_2", "QLabel", "tab_2"},
        {"motionDelayMS", "QSpinBox", "tab_2"},
        {"label_5", "QLabel", "tab_2"},
        {"svpFileNameEdit", "QLineEdit", "tab_2"},
        {"selectSvpFileButton", "QPushButton", "tab_2"},
        {"svpForTxCheckBox", "QCheckBox", "tab_2"},
        {"resetButton", "QPushButton", "groupBox"},
        {"zoomOutButton", "QPushButton", "groupBox"},
        {"recalculateButton", "QPushButton", "groupBox"},
        {"groupBox_2", "QGroupBox", "splitter"},
        {"verticalRangeTopSpinBox", "QDoubleSpinBox", "groupBox_2"},
        {"displayTypeYSelect", "QComboBox", "groupBox_2"},
        {"verticalRangeCheckBox", "QCheckBox", "groupBox_2"},
        {"verticalRangeBottomSpinBox", "QDoubleSpinBox", "groupBox_2"},
        {"clickTextLabel", "QLabel", "groupBox_2"},
        {"graphicWidget", "QWidget", "groupBox_2"},
        {"horizontalRangeLeftSpinBox", "QDoubleSpinBox", "groupBox_2"},
        {"displayTypeXSelect", "QComboBox", "groupBox_2"},
        {"horizontalRangeCheckBox", "QCheckBox", "groupBox_2"},
        {"horizontalRangeRightSpinBox", "QDoubleSpinBox", "groupBox_2"},
    };
    for (const WidgetRow &row : rows) {
        QWidget *w = find(row.name);
        if (!w)
            continue;
        EXPECT_STREQ(w->metaObject()->className(), row.className) << row.name;
        ASSERT_NE(w->parentWidget(), nullptr) << row.name;
        EXPECT_EQ(w->parentWidget()->objectName(), QLatin1String(row.parent)) << row.name;
    }
    // The offset grid: 21 labels and boxes, all children of groupBox_5.
    for (const char *prefix : {"tx1", "tx2", "rx1", "rx2", "att1", "att2"})
        for (const char *axis : {"R", "P", "H"}) {
            const QByteArray name = QByteArray(prefix) + axis;
            auto *box = find<QDoubleSpinBox>(name.constData());
            if (box) {
                EXPECT_EQ(box->parentWidget(), ui.groupBox_5) << name.constData();
            }
        }
    EXPECT_EQ(ui.tabWidget->widget(0), ui.tab);
    EXPECT_EQ(ui.tabWidget->widget(1), ui.tab_2);
    EXPECT_EQ(ui.splitter->widget(0), ui.layoutWidget);
    EXPECT_EQ(ui.splitter->widget(1), ui.groupBox_2);
    EXPECT_EQ(ui.splitter_2->widget(0), ui.listWidget);
    EXPECT_EQ(ui.splitter_2->widget(1), ui.widget);
    EXPECT_EQ(ui.splitter->orientation(), Qt::Horizontal);
    EXPECT_EQ(ui.splitter_2->orientation(), Qt::Vertical);
    EXPECT_EQ(ui.informationWidget->widget(), ui.dockWidgetContents);
    EXPECT_FALSE(ui.informationWidget->isFloating());
}

struct GridCell { QWidget *widget; int row; int column; };

TEST_F(CalibrationFormTest, OffsetGridAndDelayGridPlaceTheirCells)
{
    const GridCell cells[] = {
        {ui.label_19, 0, 1}, {ui.label_20, 0, 2}, {ui.label_21, 0, 3},
        {ui.label_22, 1, 0}, {ui.tx1R, 1, 1}, {ui.tx1P, 1, 2}, {ui.tx1H, 1, 3},
        {ui.label_23, 2, 0}, {ui.tx2R, 2, 1}, {ui.tx2P, 2, 2}, {ui.tx2H, 2, 3},
        {ui.label_24, 3, 0}, {ui.rx1R, 3, 1}, {ui.rx1P, 3, 2}, {ui.rx1H, 3, 3},
        {ui.label_25, 4, 0}, {ui.rx2R, 4, 1}, {ui.rx2P, 4, 2}, {ui.rx2H, 4, 3},
        {ui.label_26, 5, 0}, {ui.att1R, 5, 1}, {ui.att1P, 5, 2}, {ui.att1H, 5, 3},
        {ui.label_4, 6, 0}, {ui.att2R, 6, 1}, {ui.att2P, 6, 2}, {ui.att2H, 6, 3},
    };
    for (const GridCell &cell : cells) {
        const int index = ui.gridLayout_2->indexOf(cell.widget);
        ASSERT_GE(index, 0) << cell.widget->objectName().toStdString();
        int row, column, rowSpan, columnSpan;
        ui.gridLayout_2->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
        EXPECT_EQ(row, cell.row) << cell.widget->objectName().toStdString();
        EXPECT_EQ(column, cell.column) << cell.widget->objectName().toStdString();
    }
    EXPECT_EQ(ui.gridLayout_2->itemAtPosition(0, 0), nullptr);

    // Both labels come before both spin boxes in the delay grid.
    const QWidget *delayOrder[] = {ui.label_9, ui.label_10, ui.positionDelaySpinBox, ui.motionDelaySpinBox};
    const QPoint delayCells[] = {{0, 0}, {0, 1}, {1, 0}, {1, 1}}; // (column, row)
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(ui.gridLayout_3->itemAt(i)->widget(), delayOrder[i]);
        EXPECT_EQ(ui.gridLayout_3->itemAtPosition(delayCells[i].y(), delayCells[i].x())->widget(), delayOrder[i]);
    }
    EXPECT_EQ(ui.gridLayout_3->sizeConstraint(), QLayout::SetMinimumSize);
}

struct DoubleBoxRow { const char *name; int decimals; double minimum; double maximum; double step; double value; };

TEST_F(CalibrationFormTest, DoubleSpinBoxesHaveTheirRangesStepsAndDecimals)
{
    std::vector<DoubleBoxRow> rows{
        {"corridorWidth", 2, 0.01, 1000, 1, 2},
        {"verticalRangeTopSpinBox", 2, -12000000, 12000000, 1, 0},
        {"verticalRangeBottomSpinBox", 2, -12000000, 12000000, 1, 0},
        {"horizontalRangeLeftSpinBox", 2, -12000000, 12000000, 1, 0},
        {"horizontalRangeRightSpinBox", 2, -12000000, 12000000, 1, 0},
    };
    for (const char *name : {"tx1R", "tx1P", "tx1H", "tx2R", "tx2P", "tx2H", "rx1R", "rx1P", "rx1H",
                             "rx2R", "rx2P", "rx2H", "att2R", "att2P", "att2H"})
        rows.push_back({name, 3, -1000, 1000, 0.1, 0});
    for (const char *name : {"att1R", "att1P", "att1H"})
        rows.push_back({name, 3, -180, 180, 0.01, 0});

    for (const DoubleBoxRow &row : rows) {
        auto *box = find<QDoubleSpinBox>(row.name);
        if (!box)
            continue;
        EXPECT_EQ(box->decimals(), row.decimals) << row.name;
        EXPECT_DOUBLE_EQ(box->minimum(), row.minimum) << row.name;
        EXPECT_DOUBLE_EQ(box->maximum(), row.maximum) << row.name;
        EXPECT_DOUBLE_EQ(box->singleStep(), row.step) << row.name;
        EXPECT_DOUBLE_EQ(box->value(), row.value) << row.name;
        EXPECT_TRUE(box->keyboardTracking()) << row.name;
    }
    EXPECT_EQ(ui.corridorWidth->minimumWidth(), 50);
    EXPECT_EQ(ui.corridorWidth->maximumWidth(), 75);
}

struct IntBoxRow { const char *name; int minimum; int maximum; int step; int value; };

TEST_F(CalibrationFormTest, SpinBoxesHaveTheirRangesAndSteps)
{
    const IntBoxRow rows[] = {
        {"displayPointSize", 1, 99, 1, 1},
        {"positionDelaySpinBox", -10000, 10000, 1, 0},
        {"motionDelaySpinBox", -10000, 10000, 1, 0},
        {"motionDelayMS", -15000, 15000, 10, 0},
    };
    for (const IntBoxRow &row : rows) {
        auto *box = find<QSpinBox>(row.name);
        if (!box)
            continue;
        EXPECT_EQ(box->minimum(), row.minimum) << row.name;
        EXPECT_EQ(box->maximum(), row.maximum) << row.name;
        EXPECT_EQ(box->singleStep(), row.step) << row.name;
        EXPECT_EQ(box->value(), row.value) << row.name;
    }
    EXPECT_GE(ui.displayPointSize->minimumWidth(), 75);
}

struct ValueCase { QDoubleSpinBox *Ui_CalibrationWidget::*box; double given; double held; };

TEST_F(CalibrationFormTest, ValuesAreClampedAndRoundedToEachBox)
{
    const ValueCase cases[] = {
        {&Ui_CalibrationWidget::att1H, 270, 180},
        {&Ui_CalibrationWidget::att1R, -200, -180},
        {&Ui_CalibrationWidget::tx1R, 1500, 1000},
        {&Ui_CalibrationWidget::att2H, 270, 270},
        {&Ui_CalibrationWidget::rx2P, 0.12345, 0.123},
        {&Ui_CalibrationWidget::corridorWidth, 7.456, 7.46},
        {&Ui_CalibrationWidget::corridorWidth, 0, 0.01},
        {&Ui_CalibrationWidget::horizontalRangeLeftSpinBox, 123.456, 123.46},
    };
    for (const ValueCase &c : cases) {
        QDoubleSpinBox *box = ui.*(c.box);
        box->setValue(c.given);
        EXPECT_DOUBLE_EQ(box->value(), c.held) << box->objectName().toStdString() << " given " << c.given;
    }
    ui.att1H->setValue(270);
    EXPECT_EQ(ui.att1H->text(), QLocale().toString(180.0, 'f', 3));
}

TEST_F(CalibrationFormTest, StepsMoveByEachBoxsStepAndStopAtTheBounds)
{
    struct Row { QAbstractSpinBox *box; double from; int steps; double to; };
    const Row rows[] = {
        {ui.att1P, 0, 1, 0.01}, {ui.att2P, 0, 1, 0.1}, {ui.tx1H, 0, -1, -0.1},
        {ui.corridorWidth, 0.5, -1, 0.01}, {ui.corridorWidth, 999.5, 1, 1000},
        {ui.corridorWidth, 2, 1, 3}, {ui.motionDelayMS, 0, 1, 10}, {ui.displayPointSize, 99, 1, 99},
    };
    for (const Row &row : rows) {
        const std::string name = row.box->objectName().toStdString();
        if (auto *d = qobject_cast<QDoubleSpinBox *>(row.box)) {
            d->setValue(row.from);
            d->stepBy(row.steps);
            EXPECT_NEAR(d->value(), row.to, 1e-9) << name << " from " << row.from;
        } else if (auto *i = qobject_cast<QSpinBox *>(row.box)) {
            i->setValue(int(row.from));
            i->stepBy(row.steps);
            EXPECT_EQ(i->value(), int(row.to)) << name << " from " << row.from;
        }
    }
}

TEST_F(CalibrationFormTest, ComboBoxesHoldTheirItems)
{
    for (QComboBox *combo : {ui.displayTypeXSelect, ui.displayTypeYSelect}) {
        const std::string name = combo->objectName().toStdString();
        ASSERT_EQ(combo->count(), displayTypes.size()) << name;
        for (int i = 0; i < combo->count(); ++i)
            EXPECT_EQ(combo->itemText(i), displayTypes.at(i)) << name << " item " << i;
        EXPECT_EQ(combo->currentIndex(), 0) << name;
        EXPECT_EQ(combo->findText("Depth Ellipsoid", Qt::MatchContains), -1) << name;
    }
    EXPECT_EQ(ui.displayTypeXSelect->maxVisibleItems(), 11);
    EXPECT_EQ(ui.headBox->count(), 3);
    EXPECT_EQ(ui.headBox->itemText(0), "1 and 2");
    EXPECT_EQ(ui.headBox->itemText(1), "1");
    EXPECT_EQ(ui.headBox->itemText(2), "2");
    EXPECT_EQ(ui.headBox->currentIndex(), 0);
}

TEST_F(CalibrationFormTest, TextsAndTitlesAreTheFormsOwn)
{
    const std::pair<QWidget *, QString> texts[] = {
        {ui.informationLabel, ""}, {ui.clickTextLabel, ""},
        {ui.label_8, "Head:"}, {ui.label_6, "Corridor Width (m):"}, {ui.label_7, "Point Size:"},
        {ui.label_19, "Roll"}, {ui.label_20, "Pitch"}, {ui.label_21, "Heading"},
        {ui.label_22, "TX 1"}, {ui.label_23, "TX 2"}, {ui.label_24, "RX 1"}, {ui.label_25, "RX 2"},
        {ui.label_26, "Attitude 1"}, {ui.label_4, "Attitude 2"},
        {ui.label_9, "Position"}, {ui.label_10, "Motion"},
        {ui.label_2, "Motion Delay (ms):"}, {ui.label_5, "SVP Profile:"},
        {ui.displayModeLine, "Line"}, {ui.displayModePoint, "Point"},
        {ui.checkEllips, "Use distance from seafloor to ellipsoid"},
        {ui.selectSvpFileButton, "..."}, {ui.svpForTxCheckBox, "Use For TX"},
        {ui.resetButton, "Reset"}, {ui.zoomOutButton, "Zoom Out"}, {ui.recalculateButton, "Recalculate"},
        {ui.verticalRangeCheckBox, "auto range"}, {ui.horizontalRangeCheckBox, "auto range"},
    };
    for (const auto &[w, text] : texts) {
        const QString shown = qobject_cast<QLabel *>(w) ? static_cast<QLabel *>(w)->text()
                                                        : static_cast<QAbstractButton *>(w)->text();
        EXPECT_EQ(shown, text) << w->objectName().toStdString();
    }
    const std::pair<QGroupBox *, QString> titles[] = {
        {ui.groupBox, "Settings"}, {ui.groupBox_3, "Display Mode"}, {ui.groupBox_5, "Offset Angles (deg)"},
        {ui.groupBox_timeDelayes, "Time Delays in ms"}, {ui.groupBox_2, "Preview"},
    };
    for (const auto &[box, title] : titles)
        EXPECT_EQ(box->title(), title) << box->objectName().toStdString();
    EXPECT_EQ(ui.informationWidget->windowTitle(), "Information");
    EXPECT_EQ(ui.tabWidget->tabText(0), "Installation Parameters");
    EXPECT_EQ(ui.tabWidget->tabText(1), "Other Parameters");
    EXPECT_EQ(ui.tabWidget->currentIndex(), 0);

    // No help texts anywhere.
    for (QWidget *w : window.findChildren<QWidget *>()) {
        EXPECT_TRUE(w->toolTip().isEmpty()) << w->objectName().toStdString();
        EXPECT_TRUE(w->statusTip().isEmpty()) << w->objectName().toStdString();
        EXPECT_TRUE(w->whatsThis().isEmpty()) << w->objectName().toStdString();
    }
}

TEST_F(CalibrationFormTest, ButtonStatesAndLooks)
{
    EXPECT_TRUE(ui.displayModePoint->isChecked());
    EXPECT_FALSE(ui.displayModeLine->isChecked());
    ui.displayModeLine->setChecked(true);
    EXPECT_FALSE(ui.displayModePoint->isChecked());
    ui.displayModePoint->click();
    EXPECT_FALSE(ui.displayModeLine->isChecked());

    EXPECT_FALSE(ui.checkEllips->isChecked());
    EXPECT_FALSE(ui.svpForTxCheckBox->isChecked());
    EXPECT_TRUE(ui.verticalRangeCheckBox->isChecked());
    EXPECT_TRUE(ui.horizontalRangeCheckBox->isChecked());
    EXPECT_TRUE(ui.recalculateButton->isCheckable());
    EXPECT_FALSE(ui.recalculateButton->isChecked());
    EXPECT_FALSE(ui.svpFileNameEdit->isEnabled());
    EXPECT_TRUE(ui.svpFileNameEdit->text().isEmpty());
    EXPECT_EQ(ui.listWidget->count(), 0);

    for (QWidget *w : {static_cast<QWidget *>(ui.displayModeLine), static_cast<QWidget *>(ui.displayModePoint),
                       static_cast<QWidget *>(ui.label_7)})
        EXPECT_EQ(w->styleSheet(), "font-size:10px;") << w->objectName().toStdString();
    EXPECT_EQ(ui.line->frameShape(), QFrame::HLine);
    EXPECT_EQ(ui.line->frameShadow(), QFrame::Sunken);
    EXPECT_EQ(ui.label_6->alignment(), Qt::AlignRight | Qt::AlignTrailing | Qt::AlignVCenter);
}

TEST_F(CalibrationFormTest, LayoutsHaveTheirSpacingAndMargins)
{
    struct Row { QLayout *layout; int spacing; QMargins margins; };
    const Row rows[] = {
        {ui.verticalLayout_11, 6, {0, 0, 0, 0}},
        {ui.verticalLayout_12, 6, {11, 11, 11, 11}},
        {ui.verticalLayout_13, 0, {0, 0, 0, 0}},
        {ui.verticalLayout_4, 6, {11, 11, 11, 11}},
        {ui.verticalLayout, 2, {6, 6, 6, 6}},
        {ui.horizontalLayout_3, 6, {0, 0, 0, 6}},
        {ui.horizontalLayout_9, 6, {0, 0, 0, 0}},
        {ui.verticalLayout_7, 6, {11, 11, 11, 11}},
        {ui.verticalLayout_3, 4, {6, 4, 6, 2}},
        {ui.gridLayout_2, 6, {0, 0, 0, 0}},
        {ui.gridLayout_3, -1, {6, 6, 6, 6}},
        {ui.verticalLayout_8, 6, {11, 11, 11, 11}},
        {ui.horizontalLayout_8, 6, {0, 0, 0, 0}},
        {ui.verticalLayout_10, 0, {ui.groupBox_2->style()->pixelMetric(QStyle::PM_LayoutLeftMargin), 0, 0, 0}},
        {ui.horizontalLayout_5, 6, {0, 0, 0, 0}},
        {ui.verticalLayout_5, 6, {0, 0, 0, 0}},
        {ui.verticalLayout_6, 1, {0, 0, 0, 0}},
        {ui.horizontalLayout, 6, {0, 0, 0, 0}},
    };
    for (const Row &row : rows) {
        const std::string name = row.layout->objectName().toStdString();
        if (row.spacing >= 0) {
            EXPECT_EQ(row.layout->spacing(), row.spacing) << name;
        }
        EXPECT_EQ(row.layout->contentsMargins(), row.margins) << name;
    }
    EXPECT_EQ(ui.gridLayout_3->horizontalSpacing(), 6);
    EXPECT_EQ(ui.gridLayout_3->verticalSpacing(), 4);

    EXPECT_EQ(ui.groupBox_2->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    EXPECT_EQ(ui.groupBox_2->sizePolicy().horizontalStretch(), 2);
    EXPECT_EQ(ui.graphicWidget->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    EXPECT_EQ(ui.graphicWidget->sizePolicy().verticalPolicy(), QSizePolicy::Expanding);
    EXPECT_EQ(ui.listWidget->sizePolicy().verticalPolicy(), QSizePolicy::Expanding);
    EXPECT_EQ(ui.motionDelayMS->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    EXPECT_EQ(ui.label_6->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
}

// Renders the bare form offscreen; the image is kept in the test's working
// folder for a look by eye.
TEST_F(CalibrationFormTest, ScreenshotOfTheBareForm)
{
    window.show();
    QCoreApplication::processEvents();
    const QImage image = window.grab().toImage();
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(1015, 1032) * window.devicePixelRatioF());
    const QString path = QDir::current().absoluteFilePath("calibration_form.png");
    EXPECT_TRUE(image.save(path)) << path.toStdString();
    // The chart host lies right of the left column.
    EXPECT_GT(ui.graphicWidget->mapTo(&window, QPoint(0, 0)).x(), ui.layoutWidget->width());
}

} // namespace
