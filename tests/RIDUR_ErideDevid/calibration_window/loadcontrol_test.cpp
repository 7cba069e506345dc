// Load and recalculation control of the window: requests, answers, the
// offset boxes, the legend after a recalculation, reset and corridor width.
#include "loadcontrol_test_support.h"

#include "debug_capture.h"
#include "log_capture.h"
#ifdef Q_OS_UNIX
#include "non_regular_files.h"
#endif

#include <QAbstractSeries>
#include <QChart>
#include <QFileInfo>
#include <QListWidget>
#include <QValueAxis>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

#include <limits>

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

#ifdef Q_OS_UNIX
// The sentence of a width change, read from the test's listener.
QByteArray nextSentence(QUdpSocket &listener)
{
    if (!listener.hasPendingDatagrams() && !listener.waitForReadyRead(5000))
        return QByteArray();
    QByteArray datagram(int(listener.pendingDatagramSize()), '\0');
    listener.readDatagram(datagram.data(), datagram.size());
    return datagram;
}

class LoadControlGuiIniNotAFileTest : public LoadControlTest,
                                      public ::testing::WithParamInterface<specialfiles::Kind>
{
protected:
    void TearDown() override
    {
        specialfiles::removeEntry(CrossLineWidget::guiIniPath());
        LoadControlTest::TearDown();
    }
    QTemporaryDir scratch;
};

// A width change leaves what is at the place of "gui.ini" as it is, says so,
// and otherwise goes on: the sentence, the reload, the width in the box.
TEST_P(LoadControlGuiIniNotAFileTest, WidthChangeLeavesItAlone)
{
    const QString path = CrossLineWidget::guiIniPath();
    if (!GetParam().make(path, scratch.path()))
        GTEST_SKIP() << "cannot make it here";
    const QString before = specialfiles::describe(path);

    LogCapture windowLog(QStringLiteral("Rerozadoz"));
    LogCapture dataLog(QStringLiteral("CrossLineData"));
    FifoUnblocker unblocker(path, std::chrono::seconds(10));
    ui->corridorWidth->setValue(3.5);
    unblocker.dismiss();
    EXPECT_FALSE(unblocker.fired()) << "the window waited on the FIFO";

    EXPECT_EQ(nextSentence(listener), QByteArray("$DOVED,CORR_WIDTH,3.5,"));
    EXPECT_TRUE(dataLog.contains(log4cplus::INFO_LOG_LEVEL, QStringLiteral("getRawFiles: files ")));
    EXPECT_EQ(windowLog.messages(log4cplus::WARN_LOG_LEVEL),
              QStringList{QStringLiteral("CrossLineWidget: %1 is not a regular file; the corridor "
                                         "width 3.5 is not stored").arg(path)});
    EXPECT_EQ(specialfiles::describe(path), before);
    EXPECT_DOUBLE_EQ(ui->corridorWidth->value(), 3.5);
}

INSTANTIATE_TEST_SUITE_P(Kinds, LoadControlGuiIniNotAFileTest,
                         ::testing::ValuesIn(specialfiles::notAFile),
                         [](const auto &info) { return std::string(info.param.name); });

// Through a link to a regular file the width reaches that file, and the link
// stays a link.
TEST_F(LoadControlTest, WidthIsStoredThroughALinkToAFile)
{
    const QString path = CrossLineWidget::guiIniPath();
    const QString target = dir.filePath(QStringLiteral("kept.ini"));
    {
        QFile file(target);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[OTHER]\nKEPT=1\n");
    }
    ASSERT_TRUE(QFile::link(target, path));

    ui->corridorWidth->setValue(3.5);
    EXPECT_EQ(nextSentence(listener), QByteArray("$DOVED,CORR_WIDTH,3.5,"));
    EXPECT_EQ(QFileInfo(path).symLinkTarget(), target);
    QSettings stored(target, QSettings::IniFormat);
    EXPECT_DOUBLE_EQ(stored.value(QStringLiteral("RUNTIME/CORR_WIDTH")).toDouble(), 3.5);
    EXPECT_EQ(stored.value(QStringLiteral("OTHER/KEPT")).toInt(), 1);
}
#endif

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

TEST_F(LoadControlTest, CoordinatesAtTheInt32Limits)
{
    // Differences in 64 bits; the preview margins of 5000 end at the int32 range.
    const qint32 lo = std::numeric_limits<qint32>::min();
    const qint32 hi = std::numeric_limits<qint32>::max();
    const struct {
        const char *message; // a "SETCORRIDOR", or empty: setCrossLineCoordinates
        qint32 line[4];
        qint32 expected[4];
        const char *log;
    } cases[] = {
        {"$DAVARIV,CALIBRATION,SETCORRIDOR,STARTX=2147483647,STARTY=100,ENDX=-2147483648,ENDY=200",
         {hi, 100, lo, 200}, {2147478647, -4900, -2147478648, 5200}, "dx= -4294967295, dy= 100"},
        {"", {lo, -2147483000, hi, 2147480000}, {lo, lo, hi, hi}, "dx= 4294967295, dy= 4294963000"},
        {"", {2147483000, hi, -2147483000, lo}, {2147478000, 2147478647, -2147478000, -2147478648},
         "dx= -4294966000, dy= -4294967295"},
        {"", {-2147480000, 10, 2147480000, 2147479999}, {lo, -4990, hi, hi},
         "dx= 4294960000, dy= 2147479989"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.log);
        LogCapture cap("Rerozadoz");
        Inspector::setPreviewRectZero(*w);
        if (c.message[0])
            w->processWebSocketMessage(QString::fromLatin1(c.message));
        else
            w->setCrossLineCoordinates(c.line[0], c.line[1], c.line[2], c.line[3]);
        qint32 rect[4];
        Inspector::previewRect(*w, rect);
        EXPECT_EQ(QList<qint32>(rect, rect + 4), QList<qint32>(c.expected, c.expected + 4));
        EXPECT_TRUE(cap.contains(log4cplus::DEBUG_LOG_LEVEL,
                                 QStringLiteral("CrossLineWidget::setCrossLineCoordinates ")
                                     + QLatin1String(c.log)));
        EXPECT_EQ(QList<qint32>(CrossLineDataInspector::crossLine(*data),
                                CrossLineDataInspector::crossLine(*data) + 4),
                  QList<qint32>(c.line, c.line + 4));
    }

    LogCapture cap("Rerozadoz");
    w->setPreviewCoodinates(lo, lo, hi, hi);
    EXPECT_TRUE(cap.contains(log4cplus::DEBUG_LOG_LEVEL,
                             "CrossLineWidget::setPreviewCoodinates dx=4294967295, dy= 4294967295"));
    w->setPreviewCoodinates(hi, hi, lo, lo);
    EXPECT_TRUE(cap.contains(log4cplus::DEBUG_LOG_LEVEL,
                             "CrossLineWidget::setPreviewCoodinates dx=-4294967295, dy= -4294967295"));
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

// With the boxes connected, the refill asks for nothing: the one
// recalculation after the reset is the reload's, from the raw file's values
// in every box, so it corrects nothing. The chart never holds an axis that
// is not in it, and ends with both axes attached to every line.
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
    // What each recalculation request is sent, read as it goes out.
    struct Sent {
        QList<double> corrections;
        float txRoll;
        float attitudePitch;
    };
    QList<Sent> recalcs;
    QObject::connect(w.get(), &CrossLineWidget::reqRecalculatedDepths, [&] {
        const InstallationLists &lists = *data->installationLists();
        recalcs << Sent{CrossLineDataInspector::attitudeCorrections(*data),
                        lists.transducers.value(0).roll, lists.attitudeSensors.value(0).pitch};
    });
    int strayAxes = 0;
    const auto countStrayAxes = [&] {
        QtCharts::QChart *chart = Inspector::chart(*w);
        for (QtCharts::QValueAxis *axis : {Inspector::axisX(*w), Inspector::axisY(*w)})
            strayAxes += axis && !(chart && chart->axes().contains(axis));
    };
    QObject::connect(w.get(), &CrossLineWidget::requestRegionData, countStrayAxes);
    QObject::connect(w.get(), &CrossLineWidget::reqRecalculatedDepths, countStrayAxes);
    DebugCapture qtMessages;

    ui->motionDelayMS->setValue(12);
    ui->resetButton->click();
    ASSERT_TRUE(waitIdle());
    EXPECT_DOUBLE_EQ(ui->tx1R->value(), 1.5);
    EXPECT_DOUBLE_EQ(ui->att1P->value(), 0.75);
    EXPECT_TRUE(ui->motionDelayMS->text().isEmpty());
    EXPECT_EQ(loads.count(), 1);
    EXPECT_EQ(recalcs.size(), 1);
    ASSERT_FALSE(recalcs.isEmpty());
    EXPECT_EQ(recalcs[0].corrections, (QList<double>{0, 0, 0, 0}));
    EXPECT_FLOAT_EQ(recalcs[0].txRoll, 1.5f);
    EXPECT_FLOAT_EQ(recalcs[0].attitudePitch, 0.75f);
    float original[4];
    Inspector::originalAttitude(*w, original);
    EXPECT_FLOAT_EQ(original[1], 0.75f);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    // The lists hold the raw file's values again.
    EXPECT_FLOAT_EQ(data->installationLists()->transducers.value(0).roll, 1.5f);

    EXPECT_EQ(strayAxes, 0);
    EXPECT_EQ(qtMessages.count(QStringLiteral("Can not find axis on the chart.")), 0);
    QtCharts::QChart *chart = Inspector::chart(*w);
    ASSERT_NE(chart, nullptr);
    ASSERT_NE(Inspector::axisX(*w), nullptr);
    ASSERT_NE(Inspector::axisY(*w), nullptr);
    ASSERT_FALSE(chart->series().isEmpty());
    for (QtCharts::QAbstractSeries *series : chart->series()) {
        EXPECT_TRUE(series->attachedAxes().contains(Inspector::axisX(*w))) << series->name().toStdString();
        EXPECT_TRUE(series->attachedAxes().contains(Inspector::axisY(*w))) << series->name().toStdString();
    }
    // Still connected: an edit recalculates.
    ui->att1R->setValue(0.5);
    EXPECT_EQ(recalcs.size(), 2);
    ASSERT_TRUE(waitIdle());
}

// An edit made while a recalculation runs (the boxes disconnected) asks for
// one more recalculation once the answer has been handled, unless the box
// holds again what was applied.
TEST_F(LoadControlTest, EditDuringARecalculationIsRecalculatedAfterIt)
{
    ASSERT_TRUE(load({rawFile()}));
    ASSERT_TRUE(recalculate());
    const struct {
        const char *what;
        QList<double> editsDuringTheJob;
        int recalculations;
        float appliedRoll;
    } cases[] = {
        {"box changed", {2.0}, 2, 2.0f},
        {"box changed back", {2.0, 1.0}, 1, 1.0f},
        {"no edit", {}, 1, 1.0f},
    };
    double start = 0.0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        {
            const QSignalBlocker quiet(ui->att1R);
            ui->att1R->setValue(start);
        }
        ASSERT_TRUE(recalculate());
        QSignalSpy recalcs(w.get(), &CrossLineWidget::reqRecalculatedDepths);
        ui->att1R->setValue(1.0); // connected: recalculates with 1
        ASSERT_TRUE(w->dataThreadBusy());
        for (double value : c.editsDuringTheJob)
            ui->att1R->setValue(value);
        ASSERT_TRUE(waitIdle());
        EXPECT_EQ(recalcs.count(), c.recalculations);
        EXPECT_FLOAT_EQ(data->installationLists()->attitudeSensors.value(0).roll, c.appliedRoll);
        EXPECT_FLOAT_EQ(float(ui->att1R->value()), c.appliedRoll);
        start += 10.0;
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
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
