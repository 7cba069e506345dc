// Requests that arrive while the data thread loads or recalculates a
// generated survey: held back, carried out in order once the running job's
// answer has been handled, never overlapping a job, and ending in the state
// that the same requests made one after the other give.
#include "loadcontrol_test_support.h"

#include "surveygenerator.h"

#include <QAbstractEventDispatcher>
#include <QChart>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QMetaObject>
#include <QTest>
#include <QTimer>
#include <QXYSeries>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

// Two crossing lines of 256 beams; the cross line runs along the second.
struct Survey {
    QStringList files;
    qint32 line[4] = {0, 0, 0, 0};
};

Survey writeSurvey(const QString &folder)
{
    nexra::SurveyConfig config;
    const nexra::GeoPoint o = config.seafloor.origin;
    nexra::SurveyLine eastWest;
    eastWest.start = {o.latitude, o.longitude - 0.006};
    eastWest.end = {o.latitude, o.longitude + 0.006};
    nexra::SurveyLine southNorth;
    southNorth.start = {o.latitude - 0.003, o.longitude};
    southNorth.end = {o.latitude + 0.003, o.longitude};
    config.lines = {eastWest, southNorth};
    config.sonar.otherDatagrams = false;
    nexra::SurveyGenerator generator(config);
    Survey survey;
    EXPECT_TRUE(generator.write(folder, &survey.files));

    nexra::SurveyProjection projection;
    double n0 = 0, e0 = 0, n1 = 0, e1 = 0;
    projection.toProjected(o.latitude - 0.002, o.longitude + 0.0001, &n0, &e0);
    projection.toProjected(o.latitude + 0.002, o.longitude - 0.0001, &n1, &e1);
    survey.line[0] = qint32(e0);
    survey.line[1] = qint32(n0);
    survey.line[2] = qint32(e1);
    survey.line[3] = qint32(n1);
    return survey;
}

struct Snapshot {
    QVector<qint32> crossLine;
    QVector<qint32> previewRect;
    QList<double> boxes;
    QStringList legend;
    QList<bool> checked;
    QList<QList<SoundingData>> corridor;
    double width = 0;
    // The chart's series: name, shown, points.
    QStringList series;
    QList<QVector<QPointF>> points;
    bool secondHeadRows = false;
    QString installation;
};

class RequestQueueThreadedTest : public LoadControlTest
{
protected:
    void SetUp() override
    {
        LoadControlTest::SetUp();
        survey = writeSurvey(dir.filePath("survey"));
        ASSERT_EQ(survey.files.size(), 2);
        w->setCrossLineCoordinates(survey.line[0], survey.line[1], survey.line[2], survey.line[3]);
        const QSignalBlocker quiet(ui->corridorWidth);
        ui->corridorWidth->setValue(20);
    }

    // A new window in place of the one under test, for the same requests
    // one after the other.
    void freshWindow(CrossLineWidget::ViewMode mode = CrossLineWidget::POSTPROCESSING)
    {
        w.reset();
        w = std::make_unique<CrossLineWidget>(mode);
        ui = CrossLineWidgetInspector::ui(*w);
        data = CrossLineWidgetInspector::crossLineData(*w);
    }

    // A caller request: notes its name and checks that no job runs (the
    // window counts the request itself as busy while it is carried out).
    void callerRequest(const QString &name, bool reload)
    {
        w->runWhenDataIdle([this, name, reload] {
            order << name;
            if (sent != answered)
                overlaps << name;
            if (reload) { // as "ADDLINE" and "SETCORRIDOR"
                data->clearData();
                for (const QString &file : survey.files)
                    data->addRawFile(file);
                w->setCrossLineCoordinates(survey.line[0], survey.line[1], survey.line[2],
                                           survey.line[3]);
                w->loadData();
            }
        });
    }

    void startLoad()
    {
        data->clearData();
        for (const QString &file : survey.files)
            data->addRawFile(file);
        w->loadData();
    }

    // Posts the action behind the next answer of the data thread, so that it
    // runs while the window processes events inside that answer.
    void insideNextAnswer(bool load, std::function<void()> action)
    {
        auto once = std::make_shared<std::atomic<bool>>(false);
        auto post = [this, once, action] {
            if (!once->exchange(true))
                QMetaObject::invokeMethod(w.get(), action, Qt::QueuedConnection);
        };
        if (load)
            QObject::connect(data, &CrossLineData::regionDataReady, data, post, Qt::DirectConnection);
        else
            QObject::connect(data, &CrossLineData::sigRecalcDone, data, post, Qt::DirectConnection);
    }

    Snapshot snapshot() const
    {
        Snapshot s;
        s.crossLine.resize(4);
        CrossLineWidgetInspector::crossLine(*w, s.crossLine.data());
        s.previewRect.resize(4);
        CrossLineWidgetInspector::previewRect(*w, s.previewRect.data());
        for (QDoubleSpinBox *box : CrossLineWidgetInspector::offsetSpinBoxes(*w))
            s.boxes << box->value();
        for (int row = 0; row < ui->listWidget->count(); ++row) {
            s.legend << ui->listWidget->item(row)->text();
            s.checked << (ui->listWidget->item(row)->checkState() == Qt::Checked);
        }
        for (const QString &file : survey.files)
            s.corridor << data->corridorDepths(file);
        s.width = ui->corridorWidth->value();
        if (QtCharts::QChart *chart = CrossLineWidgetInspector::chart(*w)) {
            for (QtCharts::QAbstractSeries *series : chart->series()) {
                s.series << series->name() + (series->isVisible() ? " shown" : " hidden");
                s.points << qobject_cast<QtCharts::QXYSeries *>(series)->pointsVector();
            }
        }
        s.secondHeadRows = !ui->label_23->isHidden() && !ui->tx2R->isHidden() && !ui->label_25->isHidden()
                           && !ui->rx2R->isHidden();
        s.installation = parametersText();
        return s;
    }

    Survey survey;
    QStringList order;
    QStringList overlaps;
};

void expectSameCorridor(const Snapshot &a, const Snapshot &b)
{
    ASSERT_EQ(a.corridor.size(), b.corridor.size());
    for (int f = 0; f < a.corridor.size(); ++f) {
        ASSERT_EQ(a.corridor[f].size(), b.corridor[f].size()) << "file " << f;
        for (int i = 0; i < a.corridor[f].size(); ++i) {
            const SoundingData &x = a.corridor[f][i];
            const SoundingData &y = b.corridor[f][i];
            ASSERT_TRUE(x.depth == y.depth && x.northing == y.northing && x.easting == y.easting
                        && x.distanceX == y.distanceX && x.distanceY == y.distanceY)
                << "file " << f << " sounding " << i;
        }
    }
}

void expectSame(const Snapshot &a, const Snapshot &b)
{
    EXPECT_EQ(a.crossLine, b.crossLine);
    EXPECT_EQ(a.boxes, b.boxes);
    EXPECT_EQ(a.legend, b.legend);
    EXPECT_EQ(a.checked, b.checked);
    EXPECT_EQ(a.width, b.width);
    expectSameCorridor(a, b);
}

// The window as the user and the caller see it: the chart, the boxes, the
// TX 2 and RX 2 rows, the installation the parameters text is built from.
void expectSameWindow(const Snapshot &a, const Snapshot &b)
{
    expectSame(a, b);
    EXPECT_EQ(a.previewRect, b.previewRect);
    EXPECT_EQ(a.series, b.series);
    EXPECT_EQ(a.points, b.points);
    EXPECT_EQ(a.secondHeadRows, b.secondHeadRows);
    EXPECT_EQ(a.installation, b.installation);
}

TEST_F(RequestQueueThreadedTest, RequestsDuringJobsRunInOrderAfterTheAnswers)
{
    // Connected before any job runs: Qt guards its connection lists with a
    // mutex that ThreadSanitizer cannot see.
    insideNextAnswer(true, [this] {
        callerRequest("c2", true);
        ui->recalculateButton->click();
    });
    // Requests during the first load; a recalculation click then is dropped.
    startLoad();
    ASSERT_TRUE(w->dataThreadBusy());
    callerRequest("c1", false);
    ui->corridorWidth->setValue(30);      // sentence now, reload held back
    ui->recalculateButton->click();       // dropped: a load runs
    EXPECT_EQ(order, QStringList{});
    // While the recalculation that c2's load is followed by runs: a reset
    // and another caller request.
    bool resetFired = false;
    QObject::connect(w.get(), &CrossLineWidget::reqRecalculatedDepths, w.get(), [&] {
        if (resetFired)
            return;
        resetFired = true;
        ui->resetButton->click();
        callerRequest("c3", false);
    });
    // Requests that keep arriving while anything runs.
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (w->dataThreadBusy() && ticks < 200) {
            callerRequest(QStringLiteral("t"), false);
            ++ticks;
        }
    });
    ticker.start(2);
    ASSERT_TRUE(waitIdle(300000));
    ticker.stop();
    ASSERT_TRUE(waitIdle());

    order.removeAll(QStringLiteral("t"));
    EXPECT_EQ(order, (QStringList{"c1", "c2", "c3"}));
    EXPECT_EQ(overlaps, QStringList{});
    EXPECT_EQ(sent.load(), answered.load());
    // Loads: the first, the width's, c2's, the reset's; recalculations: the
    // click made inside the answer, the one the reset's load ends with.
    EXPECT_EQ(sent.load(), 6);
    EXPECT_GT(ticks, 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(CrossLineWidgetInspector::loading(*w));
    EXPECT_TRUE(ui->corridorWidth->isEnabled());
    const Snapshot queued = snapshot();
    ASSERT_FALSE(queued.corridor.value(0).isEmpty() && queued.corridor.value(1).isEmpty());

    // The same requests one after the other, on a fresh window.
    freshWindow();
    countJobs();
    w->setProjectionFile(writeProjectionDefinition(dir));
    {
        const QSignalBlocker quiet(ui->corridorWidth);
        ui->corridorWidth->setValue(20);
    }
    w->setCrossLineCoordinates(survey.line[0], survey.line[1], survey.line[2], survey.line[3]);
    startLoad();
    ASSERT_TRUE(waitIdle(300000));
    callerRequest("c1", false);
    ui->corridorWidth->setValue(30);
    ASSERT_TRUE(waitIdle(300000));
    callerRequest("c2", true);
    ASSERT_TRUE(waitIdle(300000));
    ASSERT_TRUE(recalculate());
    ui->resetButton->click();
    ASSERT_TRUE(waitIdle(300000));
    callerRequest("c3", false);
    expectSame(queued, snapshot());
}

// Recalculations asked for by the offset boxes, and reloads by corridor
// width changes, while a caller sends "SHOW", "SETCORRIDOR", an unknown
// command and "ADDLINE" every 10 ms. The data thread writes the corridor
// lists that the chart reads after each answer: under ThreadSanitizer every
// such pair must be ordered. The end state must be the one a load and a
// recalculation with the boxes as they stand give on a fresh window.
TEST_F(RequestQueueThreadedTest, BoxEditsAndWidthChangesWhileACallerFloods)
{
    const QString prefix = QStringLiteral("$DAVARIV,CALIBRATION,");
    const QString addLine = prefix + QStringLiteral("ADDLINE,LINE=") + survey.files.at(0)
                            + QStringLiteral(",LINE=") + survey.files.at(1);
    const QString setCorridor = prefix
                                + QStringLiteral("SETCORRIDOR,STARTX=%1,STARTY=%2,ENDX=%3,ENDY=%4")
                                      .arg(survey.line[0])
                                      .arg(survey.line[1])
                                      .arg(survey.line[2])
                                      .arg(survey.line[3]);
    const QStringList flood{prefix + QStringLiteral("SHOW"), setCorridor,
                            prefix + QStringLiteral("NOTHING"), addLine};

    CrossLineWidgetInspector::lastInteractiveEditMode() = false;
    w->setInteractiveEditMode(true);
    w->processWebSocketMessage(addLine);
    w->processWebSocketMessage(setCorridor);
    ASSERT_TRUE(waitIdle(300000));
    ASSERT_TRUE(recalculate()); // from here on every box edit recalculates

    // As the X11 event reader thread does in the program: a thread that
    // wakes the GUI thread's event loop often, so that answers are also
    // taken in passes that another thread's wake-up started.
    std::atomic<bool> churning{true};
    QAbstractEventDispatcher *guiLoop = QAbstractEventDispatcher::instance();
    std::thread waker([&] {
        while (churning.load(std::memory_order_relaxed)) {
            guiLoop->wakeUp();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    int sentMessages = 0;
    QTimer caller;
    QObject::connect(&caller, &QTimer::timeout, [&] {
        w->processWebSocketMessage(flood.at(sentMessages++ % flood.size()));
        callerRequest(QStringLiteral("t"), false); // notes a request that overlaps a job
    });
    caller.start(10);
    bool callerKeptUp = true;
    for (int round = 0; round < 25 && callerKeptUp; ++round) {
        const double step = 0.05 * (round + 1);
        ui->tx1R->setValue(step);
        ui->rx1P->setValue(-step);
        ui->att1H->setValue(2 * step);
        if (round % 5 == 4)
            ui->corridorWidth->setValue(ui->corridorWidth->value() + 1);
        // Four caller messages between one edit and the next, however busy
        // the machine.
        const int target = sentMessages + 4;
        QElapsedTimer waited;
        waited.start();
        while (sentMessages < target && waited.elapsed() < 60000)
            QTest::qWait(5);
        callerKeptUp = sentMessages >= target;
    }
    caller.stop();
    w->processWebSocketMessage(addLine);
    w->processWebSocketMessage(setCorridor);
    const bool reloaded = waitIdle(300000);
    // The reload refilled the boxes from the raw files; one more edit.
    ui->att1R->setValue(0.75);
    const bool recalculated = waitIdle(300000);
    churning = false;
    waker.join();
    ASSERT_TRUE(callerKeptUp) << "the caller's timer stopped";
    ASSERT_TRUE(reloaded);
    ASSERT_TRUE(recalculated);

    EXPECT_EQ(overlaps, QStringList{});
    EXPECT_EQ(sent.load(), answered.load());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    const Snapshot churned = snapshot();
    ASSERT_GT(churned.corridor.value(0).size() + churned.corridor.value(1).size(), 0);

    // A fresh window: a load and one recalculation with the same boxes.
    freshWindow();
    w->setProjectionFile(writeProjectionDefinition(dir));
    {
        const QSignalBlocker quiet(ui->corridorWidth);
        ui->corridorWidth->setValue(churned.width);
    }
    w->setCrossLineCoordinates(survey.line[0], survey.line[1], survey.line[2], survey.line[3]);
    startLoad();
    ASSERT_TRUE(waitIdle(300000));
    const QList<QDoubleSpinBox *> boxes = CrossLineWidgetInspector::offsetSpinBoxes(*w);
    for (int i = 0; i < boxes.size(); ++i) {
        const QSignalBlocker quiet(boxes.at(i));
        boxes.at(i)->setValue(churned.boxes.at(i));
    }
    ASSERT_TRUE(recalculate());
    const Snapshot expected = snapshot();
    EXPECT_EQ(churned.boxes, expected.boxes);
    EXPECT_EQ(churned.width, expected.width);
    expectSameCorridor(churned, expected);
}

// A caller that sends a new cross line while its user drags it: the loads
// that wait give way to the newest, so a storm during one load costs one
// more load, and ends as the same messages one after the other end.
TEST_F(RequestQueueThreadedTest, AStormOfCrossLinesDuringALoadLoadsOnlyTheNewest)
{
    const QString prefix = QStringLiteral("$DAVARIV,CALIBRATION,");
    QStringList messages;
    for (int i = 0; i < 12; ++i) {
        // The cross line moved sideways by 30 cm a step; once the raw files
        // are named again, and last a line of constant x, which loads nothing.
        const qint32 shift = 30 * i;
        messages << prefix + QStringLiteral("SETCORRIDOR,STARTX=%1,STARTY=%2,ENDX=%3,ENDY=%4")
                                 .arg(survey.line[0] + shift).arg(survey.line[1])
                                 .arg(survey.line[2] + shift).arg(survey.line[3]);
        if (i == 6)
            messages << prefix + QStringLiteral("ADDLINE,LINE=") + survey.files.join(QLatin1Char(';'));
    }
    messages << prefix + QStringLiteral("SETCORRIDOR,STARTX=%1,STARTY=%2,ENDX=%1,ENDY=%3")
                             .arg(survey.line[0]).arg(survey.line[1]).arg(survey.line[3]);

    int loads = 0;
    const auto countLoads = [&] {
        QObject::connect(w.get(), &CrossLineWidget::requestRegionData, [&] { ++loads; });
    };
    countLoads();
    startLoad();
    ASSERT_TRUE(w->dataThreadBusy());
    for (const QString &message : messages)
        w->processWebSocketMessage(message);
    ASSERT_TRUE(waitIdle(300000));
    // The first load, then the one of the last line that loads.
    EXPECT_EQ(loads, 2);
    EXPECT_EQ(sent.load(), answered.load());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    const Snapshot stormed = snapshot();
    ASSERT_FALSE(stormed.corridor.value(0).isEmpty() && stormed.corridor.value(1).isEmpty());

    // The same messages one after the other, each once the one before has
    // been carried out, on a fresh window.
    freshWindow();
    countJobs();
    loads = 0;
    countLoads();
    w->setProjectionFile(writeProjectionDefinition(dir));
    {
        const QSignalBlocker quiet(ui->corridorWidth);
        ui->corridorWidth->setValue(20);
    }
    w->setCrossLineCoordinates(survey.line[0], survey.line[1], survey.line[2], survey.line[3]);
    startLoad();
    ASSERT_TRUE(waitIdle(300000));
    for (const QString &message : messages) {
        w->processWebSocketMessage(message);
        ASSERT_TRUE(waitIdle(300000));
    }
    EXPECT_EQ(loads, 13);
    const Snapshot oneByOne = snapshot();
    expectSame(stormed, oneByOne);
    EXPECT_EQ(stormed.previewRect, oneByOne.previewRect);
}

// Requests that arrive during a load, then the same requests one after the
// other on a fresh window: a waiting load gives way to a newer one only where
// the end is the same, and does otherwise. Each row: whether a recalculation
// was asked for before, the steps during the load, the loads carried out
// there (the running one included).
enum class Step {
    Width,           // a new corridor width: a load
    NoFiles,         // "ADDLINE" without items
    SurveyFiles,     // "ADDLINE" naming the survey's files, as named
    TwoHeadFile,     // "ADDLINE" naming a raw file of two receive heads
    CrossLine,       // "SETCORRIDOR" over the survey: a load when files are named
};

struct SequenceCase {
    const char *name;
    CrossLineWidget::ViewMode mode;
    bool recalculatedBefore;
    QList<Step> steps;
    int loads;
};

void PrintTo(const SequenceCase &c, std::ostream *os)
{
    *os << c.name;
}

constexpr auto postprocessing = CrossLineWidget::POSTPROCESSING;

const SequenceCase sequenceCases[] = {
    // The width's load draws the new width; the cross line's finds no files.
    {"WidthThenNoFilesThenCrossLine", postprocessing, false, {Step::Width, Step::NoFiles, Step::CrossLine}, 2},
    // The same, ending with the recalculation of the width's lines.
    {"WidthThenNoFilesThenCrossLineRecalculated", postprocessing, true,
     {Step::Width, Step::NoFiles, Step::CrossLine}, 2},
    // The width's load of a file of two heads shows the TX 2 and RX 2 rows,
    // which REALTIME starts without, and which stay shown.
    {"TwoHeadsThenWidthThenSurveyThenCrossLine", CrossLineWidget::REALTIME, false,
     {Step::TwoHeadFile, Step::Width, Step::SurveyFiles, Step::CrossLine}, 3},
    // The newer load reads the same files after the installation lists are
    // emptied: the width's load gives way.
    {"WidthThenSurveyAgainThenCrossLine", postprocessing, true, {Step::Width, Step::SurveyFiles, Step::CrossLine}, 2},
};

class RequestSequenceThreadedTest : public RequestQueueThreadedTest,
                                    public ::testing::WithParamInterface<SequenceCase>
{
protected:
    void run(Step step)
    {
        const QString prefix = QStringLiteral("$DAVARIV,CALIBRATION,");
        switch (step) {
        case Step::Width:
            ui->corridorWidth->setValue(ui->corridorWidth->value() + 10);
            break;
        case Step::NoFiles:
            w->processWebSocketMessage(prefix + QStringLiteral("ADDLINE"));
            break;
        case Step::SurveyFiles:
            w->processWebSocketMessage(prefix + QStringLiteral("ADDLINE,LINE=")
                                       + survey.files.join(QLatin1Char(';')));
            break;
        case Step::TwoHeadFile:
            w->processWebSocketMessage(prefix + QStringLiteral("ADDLINE,LINE=") + twoHeads);
            break;
        case Step::CrossLine:
            w->processWebSocketMessage(prefix + QStringLiteral("SETCORRIDOR,STARTX=%1,STARTY=%2,ENDX=%3,ENDY=%4")
                                                    .arg(survey.line[0]).arg(survey.line[1])
                                                    .arg(survey.line[2]).arg(survey.line[3]));
            break;
        }
    }

    // A new window in the mode, before the steps: the survey loaded, then
    // recalculated when asked, and a load of it running.
    void startRunningLoad(CrossLineWidget::ViewMode mode, bool recalculatedBefore)
    {
        freshWindow(mode);
        countJobs();
        w->setProjectionFile(writeProjectionDefinition(dir));
        {
            const QSignalBlocker quiet(ui->corridorWidth);
            ui->corridorWidth->setValue(20);
        }
        w->setCrossLineCoordinates(survey.line[0], survey.line[1], survey.line[2], survey.line[3]);
        if (recalculatedBefore) {
            startLoad();
            ASSERT_TRUE(waitIdle(300000));
            ASSERT_TRUE(recalculate());
        }
        startLoad();
        ASSERT_TRUE(w->dataThreadBusy());
    }

    QString twoHeads;
    int loads = 0;
};

TEST_P(RequestSequenceThreadedTest, EndsAsTheRequestsOneAfterTheOther)
{
    const SequenceCase &c = GetParam();
    twoHeads = rawFile(QStringLiteral("twoheads.nexra"), 2);
    const auto countLoads = [this] {
        QObject::connect(w.get(), &CrossLineWidget::requestRegionData, [this] { ++loads; });
    };
    ASSERT_NO_FATAL_FAILURE(startRunningLoad(c.mode, c.recalculatedBefore));
    countLoads();
    loads = 1;
    for (Step step : c.steps)
        run(step);
    ASSERT_TRUE(waitIdle(300000));
    EXPECT_EQ(loads, c.loads);
    EXPECT_EQ(sent.load(), answered.load());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    const Snapshot queued = snapshot();
    ASSERT_FALSE(queued.series.isEmpty());

    ASSERT_NO_FATAL_FAILURE(startRunningLoad(c.mode, c.recalculatedBefore));
    ASSERT_TRUE(waitIdle(300000));
    for (Step step : c.steps) {
        run(step);
        ASSERT_TRUE(waitIdle(300000));
    }
    expectSameWindow(queued, snapshot());
}

INSTANTIATE_TEST_SUITE_P(Sequences, RequestSequenceThreadedTest, ::testing::ValuesIn(sequenceCases),
                         [](const ::testing::TestParamInfo<SequenceCase> &info) { return std::string(info.param.name); });

} // namespace
