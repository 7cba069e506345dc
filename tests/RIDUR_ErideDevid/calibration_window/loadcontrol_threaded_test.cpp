// Requests that arrive while the data thread loads or recalculates a
// generated survey: held back, carried out in order once the running job's
// answer has been handled, never overlapping a job, and ending in the state
// that the same requests made one after the other give.
#include "loadcontrol_test_support.h"

#include "surveygenerator.h"

#include <QListWidget>
#include <QMetaObject>
#include <QTimer>

#include <atomic>

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
        return s;
    }

    Survey survey;
    QStringList order;
    QStringList overlaps;
};

void expectSame(const Snapshot &a, const Snapshot &b)
{
    EXPECT_EQ(a.crossLine, b.crossLine);
    EXPECT_EQ(a.boxes, b.boxes);
    EXPECT_EQ(a.legend, b.legend);
    EXPECT_EQ(a.checked, b.checked);
    EXPECT_EQ(a.width, b.width);
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
    w.reset();
    w = std::make_unique<CrossLineWidget>(CrossLineWidget::POSTPROCESSING);
    ui = CrossLineWidgetInspector::ui(*w);
    data = CrossLineWidgetInspector::crossLineData(*w);
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
    w.reset();
    w = std::make_unique<CrossLineWidget>(CrossLineWidget::POSTPROCESSING);
    ui = CrossLineWidgetInspector::ui(*w);
    data = CrossLineWidgetInspector::crossLineData(*w);
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

} // namespace
