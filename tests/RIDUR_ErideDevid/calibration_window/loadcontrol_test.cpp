// Load and recalculation control of the window: requests, answers, the
// offset boxes, the legend after a recalculation, reset and corridor width.
#include "loadcontrol_test_support.h"

#include "log_capture.h"

#include <QListWidget>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

using Inspector = CrossLineWidgetInspector;

namespace {

TEST_F(LoadControlTest, RecalculateBeforeAnyLoadDoesNothing)
{
    QSignalSpy requests(w.get(), &CrossLineWidget::reqRecalculatedDepths);
    QSignalSpy previews(w.get(), &CrossLineWidget::reqRecalculatedPreviewDepths);
    ui->recalculateButton->click();
    w->recalculatePreviewArea();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(w->dataThreadBusy());
    EXPECT_FALSE(Inspector::recalculationRequested(*w));
    EXPECT_EQ(requests.count() + previews.count(), 0);
}

TEST_F(LoadControlTest, WidthChangeSendsTheSentenceAndStoresTheWidthWithoutRawFiles)
{
    QSignalSpy loads(w.get(), &CrossLineWidget::requestRegionData);
    const struct {
        double width;
        const char *sentence;
    } cases[] = {{12.5, "$DOVED,CORR_WIDTH,12.5,"}, {2, "$DOVED,CORR_WIDTH,2,"},
                 {1000, "$DOVED,CORR_WIDTH,1000,"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sentence);
        ui->corridorWidth->setValue(c.width);
        ASSERT_TRUE(listener.waitForReadyRead(5000));
        QByteArray datagram(int(listener.pendingDatagramSize()), '\0');
        listener.readDatagram(datagram.data(), datagram.size());
        EXPECT_EQ(datagram, QByteArray(c.sentence));

        QSettings guiIni(CrossLineWidget::guiIniPath(), QSettings::IniFormat);
        EXPECT_DOUBLE_EQ(guiIni.value(QStringLiteral("RUNTIME/CORR_WIDTH")).toDouble(), c.width);
    }
    EXPECT_EQ(loads.count(), 0);
    EXPECT_TRUE(ui->corridorWidth->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(LoadControlTest, PreviewRectangleRules)
{
    LogCapture cap("Rerozadoz");
    const struct {
        const char *what;
        bool zeroFirst;
        qint32 line[4];
        qint32 expected[4];
    } cases[] = {
        {"default from the line", true, {100, 200, 400, 700}, {-4900, -4800, 5400, 5700}},
        {"kept when set", false, {1, 2, 3, 4}, {-4900, -4800, 5400, 5700}},
        {"not normalised", true, {30000, 0, 10000, 100}, {25000, -5000, 15000, 5100}},
    };
    Inspector::setPreviewRectZero(*w);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        if (c.zeroFirst)
            Inspector::setPreviewRectZero(*w);
        w->setCrossLineCoordinates(c.line[0], c.line[1], c.line[2], c.line[3]);
        qint32 rect[4];
        Inspector::previewRect(*w, rect);
        EXPECT_EQ(QList<qint32>(rect, rect + 4), QList<qint32>(c.expected, c.expected + 4));
    }
    EXPECT_TRUE(cap.contains(log4cplus::DEBUG_LOG_LEVEL,
                             "CrossLineWidget::setCrossLineCoordinates dx= 300, dy= 500"));

    qint32 rect[4];
    w->setPreviewCoodinates(0, 5, 0, 9);
    Inspector::previewRect(*w, rect);
    EXPECT_EQ(rect[0], 25000);
    w->setPreviewCoodinates(0, 5, 1, 9);
    Inspector::previewRect(*w, rect);
    EXPECT_EQ(QList<qint32>(rect, rect + 4), (QList<qint32>{0, 5, 1, 9}));
}

TEST_F(LoadControlTest, SecondHeadRowsShownForTwoHeadsAndKept)
{
    const QList<QWidget *> rows{ui->label_23, ui->label_25, ui->tx2R, ui->tx2P,
                                ui->tx2H,     ui->rx2R,     ui->rx2P, ui->rx2H};
    for (QWidget *widget : rows)
        widget->hide();
    ASSERT_TRUE(load({rawFile("one.nexra", 1)}));
    for (QWidget *widget : rows)
        EXPECT_TRUE(widget->isHidden()) << widget->objectName().toStdString();

    ASSERT_TRUE(load({rawFile("two.nexra", 2)}));
    for (QWidget *widget : rows)
        EXPECT_FALSE(widget->isHidden()) << widget->objectName().toStdString();

    ASSERT_TRUE(load({rawFile("one.nexra", 1)}));
    for (QWidget *widget : rows)
        EXPECT_FALSE(widget->isHidden()) << widget->objectName().toStdString();
}

TEST_F(LoadControlTest, LoadAnswerEndsTheLoadAndPopsItsCursor)
{
    QSignalSpy loads(w.get(), &CrossLineWidget::requestRegionData);
    ASSERT_TRUE(load({rawFile()}));
    EXPECT_EQ(loads.count(), 1);
    EXPECT_FALSE(Inspector::loading(*w));
    EXPECT_TRUE(Inspector::chartReady(*w));
    EXPECT_TRUE(ui->corridorWidth->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(data->corridorDepths(data->loadedRawFiles().value(0)).isEmpty());
}

TEST_F(LoadControlTest, EveryOffsetBoxRecalculatesAfterTheFirstRecalculation)
{
    ASSERT_TRUE(load({rawFile()}));
    QSignalSpy requests(w.get(), &CrossLineWidget::reqRecalculatedDepths);
    ui->att1R->setValue(0.5); // not connected yet
    EXPECT_EQ(requests.count(), 0);
    ASSERT_TRUE(recalculate());
    ASSERT_EQ(requests.count(), 1);

    for (QDoubleSpinBox *box : Inspector::offsetSpinBoxes(*w)) {
        SCOPED_TRACE(box->objectName().toStdString());
        const int before = requests.count();
        box->setValue(box->value() + 0.25);
        EXPECT_EQ(requests.count(), before + 1);
        ASSERT_TRUE(waitIdle());
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(LoadControlTest, TransducerTwoBoxRecalculatesOnEveryKeystroke)
{
    ASSERT_TRUE(load({rawFile("two.nexra", 2)}));
    ASSERT_TRUE(recalculate());
    QSignalSpy requests(w.get(), &CrossLineWidget::reqRecalculatedDepths);
    ui->tx2R->setFocus();
    ui->tx2R->selectAll();
    for (const char *key : {"1", "2"}) {
        const int before = requests.count();
        QTest::keyClicks(ui->tx2R, QLatin1String(key));
        EXPECT_EQ(requests.count(), before + 1) << key;
        ASSERT_TRUE(waitIdle());
    }
    EXPECT_FLOAT_EQ(float(ui->tx2R->value()), 12.0f);
}

// The legend restore alone: a preview recalculation redraws nothing.
TEST_F(LoadControlTest, LegendAfterRecalculationHidesLoadedLinesAndKeepsUserUnchecks)
{
    ASSERT_TRUE(load({rawFile()}));
    ui->listWidget->clear();
    const struct {
        const char *text;
        Qt::CheckState before;
        Qt::CheckState after;
    } items[] = {
        {"line1.nexra:1 - orig", Qt::Checked, Qt::Unchecked},
        {"line1.nexra:1", Qt::Checked, Qt::Checked},
        {"line2.nexra:1", Qt::Unchecked, Qt::Unchecked},
    };
    for (const auto &item : items) {
        auto *row = new QListWidgetItem(QLatin1String(item.text), ui->listWidget);
        row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
        row->setCheckState(item.before);
    }
    w->recalculatePreviewArea();
    // The user unchecks a line while the recalculation runs; the saved state
    // is the one before, so the restore leaves it as it is now.
    ui->listWidget->item(1)->setCheckState(Qt::Unchecked);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(ui->listWidget->item(0)->checkState(), Qt::Unchecked);
    EXPECT_EQ(ui->listWidget->item(1)->checkState(), Qt::Unchecked);
    ui->listWidget->item(1)->setCheckState(Qt::Checked);
    w->recalculatePreviewArea();
    ASSERT_TRUE(waitIdle());
    for (int row = 0; row < ui->listWidget->count(); ++row)
        EXPECT_EQ(ui->listWidget->item(row)->checkState(), items[row].after) << items[row].text;
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(LoadControlTest, LegendAfterFullRecalculation)
{
    ASSERT_TRUE(load({rawFile("a.nexra"), rawFile("b.nexra")}));
    ASSERT_TRUE(recalculate());
    ASSERT_GT(ui->listWidget->count(), 0) << "the chart fills the legend";
    // The user unchecks a recalculated line; it stays unchecked.
    QString userUnchecked;
    for (int row = 0; row < ui->listWidget->count(); ++row) {
        QListWidgetItem *item = ui->listWidget->item(row);
        if (!item->text().contains(" - orig") && userUnchecked.isEmpty()) {
            userUnchecked = item->text();
            item->setCheckState(Qt::Unchecked);
        }
    }
    ASSERT_FALSE(userUnchecked.isEmpty());
    ASSERT_TRUE(recalculate());
    for (int row = 0; row < ui->listWidget->count(); ++row) {
        const QListWidgetItem *item = ui->listWidget->item(row);
        const bool expectChecked = !item->text().contains(" - orig") && item->text() != userUnchecked;
        EXPECT_EQ(item->checkState() == Qt::Checked, expectChecked) << item->text().toStdString();
    }
}

TEST_F(LoadControlTest, ResetRefillsReloadsAndRecalculatesOnceRequested)
{
    nexra::InstallationDescription inst = nexra::defaultInstallation(1);
    inst.transducers[0].roll = 1.5f;
    inst.attitudeSensors[0].pitch = 0.75f;
    const QString file = rawFile("line1.nexra", inst);
    ASSERT_TRUE(load({file}));
    ASSERT_TRUE(recalculate());

    ui->tx1R->setValue(3.0);  // connected: recalculates
    ASSERT_TRUE(waitIdle());
    ui->att1P->setValue(-2.0);
    ASSERT_TRUE(waitIdle());

    QSignalSpy loads(w.get(), &CrossLineWidget::requestRegionData);
    QSignalSpy recalcs(w.get(), &CrossLineWidget::reqRecalculatedDepths);
    ui->motionDelayMS->setValue(12);
    ui->resetButton->click();
    ASSERT_TRUE(waitIdle());
    EXPECT_DOUBLE_EQ(ui->tx1R->value(), 1.5);
    EXPECT_DOUBLE_EQ(ui->att1P->value(), 0.75);
    EXPECT_TRUE(ui->motionDelayMS->text().isEmpty());
    EXPECT_EQ(loads.count(), 1);
    // The refill's own recalculation (boxes connected), then the load's.
    EXPECT_EQ(recalcs.count(), 2);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    // The lists hold the raw file's values again.
    EXPECT_FLOAT_EQ(data->installationLists()->transducers.value(0).roll, 1.5f);
}

TEST_F(LoadControlTest, ResetBeforeAnyRecalculationReloadsOnly)
{
    ASSERT_TRUE(load({rawFile()}));
    QSignalSpy loads(w.get(), &CrossLineWidget::requestRegionData);
    QSignalSpy recalcs(w.get(), &CrossLineWidget::reqRecalculatedDepths);
    ui->tx1R->setValue(3.0);
    ui->resetButton->click();
    ASSERT_TRUE(waitIdle());
    EXPECT_DOUBLE_EQ(ui->tx1R->value(), 0.0);
    EXPECT_EQ(loads.count(), 1);
    EXPECT_EQ(recalcs.count(), 0);
}

TEST_F(LoadControlTest, InteractiveEditModeConnectsTheBoxesAndIsStored)
{
    // The mode last applied is kept for the whole process: start as a fresh
    // process does, whatever windows of earlier tests applied.
    Inspector::lastInteractiveEditMode() = false;
    ASSERT_TRUE(load({rawFile()}));
    QSignalSpy recalcs(w.get(), &CrossLineWidget::reqRecalculatedDepths);
    w->setInteractiveEditMode(true);
    EXPECT_TRUE(QSettings(QStringLiteral("Zovadivuv Uzavuzod UD"), QStringLiteral("RID UR ErideDevid"))
                    .value(QStringLiteral("INTERACTIVEEDIT_KEY"))
                    .toBool());
    ui->att1R->setValue(0.5);
    EXPECT_EQ(recalcs.count(), 1);
    ASSERT_TRUE(waitIdle());
    w->setInteractiveEditMode(false);
    ui->att1R->setValue(0.75);
    EXPECT_EQ(recalcs.count(), 1);
    // The next recalculation connects the boxes again, whatever the mode.
    ASSERT_TRUE(recalculate());
    ui->att1R->setValue(1.0);
    EXPECT_EQ(recalcs.count(), 3);
    ASSERT_TRUE(waitIdle());
}

} // namespace
