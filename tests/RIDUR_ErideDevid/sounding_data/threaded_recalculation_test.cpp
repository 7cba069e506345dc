// A load and recalculations in a real data thread, requested and answered
// through queued connections as the window does it, with the GUI-thread
// calls in between (corridor lists, attitude deltas).
#include "crosslinedata_test_support.h"

#include "cprojection.h"
#include "log_capture.h"
#include "surveygenerator.h"

#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <atomic>

namespace {

// The window's side of the requests and answers, handed over and taken up
// through the data object's handoff as the window does it.
class Requester : public QObject
{
    Q_OBJECT

public:
    explicit Requester(CrossLineData *data)
        : data(data)
    {
        connect(this, &Requester::requestRegionData, data, &CrossLineData::generateRegionData);
        connect(this, &Requester::reqRecalculatedDepths, data, &CrossLineData::recalculatedDepths);
        connect(this, &Requester::reqRecalculatedPreviewDepths, data, &CrossLineData::recalculatedPreviewDepths);
        connect(data, &CrossLineData::regionDataReady, this, [this] { answer(QStringLiteral("regionDataReady")); });
        connect(data, &CrossLineData::sigRecalcDone, this, [this](bool preview) {
            answer(preview ? QStringLiteral("sigRecalcDone(true)") : QStringLiteral("sigRecalcDone(false)"));
        });
    }

    // Emits the request and runs the GUI event loop until the answer has
    // been delivered here; gives the answer, empty after a timeout.
    template <typename Request>
    QString ask(Request request)
    {
        QEventLoop loop;
        waiting = &loop;
        last.clear();
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        data->handoff().handOver([this, request] { emit(this->*request)(); });
        loop.exec();
        waiting = nullptr;
        return last;
    }

    QStringList answers;

signals:
    void requestRegionData();
    void reqRecalculatedDepths();
    void reqRecalculatedPreviewDepths();

private:
    void answer(const QString &name)
    {
        // Delivered in the GUI thread, as the window's slots are.
        EXPECT_EQ(QThread::currentThread(), thread());
        data->handoff().takeAnswer();
        answers << name;
        last = name;
        if (waiting)
            waiting->quit();
    }

    CrossLineData *data;
    QEventLoop *waiting = nullptr;
    QString last;
};

nexra::SurveyConfig survey()
{
    nexra::SurveyConfig cfg;
    cfg.seafloor.origin = {60.0, 5.0};
    cfg.seafloor.depth = 40;
    cfg.sonar.beamCount = 64;
    cfg.mounting.truth.roll = 1.0;
    cfg.mounting.model = nexra::Mounting::FirstOrder;
    for (double headingDeg : {0.0, 90.0}) {
        nexra::SurveyLine line;
        const double h = headingDeg * 0.017453292519943295;
        line.start = nexra::offsetPosition(60.0, 5.0, h, 0, -60);
        line.end = nexra::offsetPosition(60.0, 5.0, h, 0, 60);
        cfg.lines << line;
    }
    return cfg;
}

bool sameLists(const QList<SoundingData> &a, const QList<SoundingData> &b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        const SoundingData &x = a.at(i), &y = b.at(i);
        if (x.depth != y.depth || x.across != y.across || x.along != y.along || x.northing != y.northing
            || x.easting != y.easting || x.distanceX != y.distanceX || x.distanceY != y.distanceY
            || x.timeMs != y.timeMs || x.beamIndex != y.beamIndex)
            return false;
    }
    return true;
}

// Sets a data object up for the survey in the folder (GUI thread).
void prepare(CrossLineData &data, const QTemporaryDir &dir, const nexra::SurveyGenerator &generator,
             const QStringList &files)
{
    data.setProjectionFile(writeProjectionDefinition(dir));
    const nexra::SurveyLine &line = generator.config().lines.at(0);
    double sn = 0, se = 0, en = 0, ee = 0;
    CProjection::instance()->geographicToProjected(line.start.latitude, line.start.longitude, &sn, &se);
    CProjection::instance()->geographicToProjected(line.end.latitude, line.end.longitude, &en, &ee);
    data.setCrossLine(qint32(se), qint32(sn), qint32(ee), qint32(en));
    data.setCorridorWidth(30.0f);
    for (const QString &f : files)
        data.addRawFile(f);
}

} // namespace

TEST(ThreadedRecalculation, LoadThenRecalculateThroughQueuedConnections)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const nexra::SurveyGenerator generator(survey());
    QStringList files;
    ASSERT_TRUE(generator.write(dir.path(), &files));

    // The same work done in this thread, for comparison.
    CrossLineData reference;
    prepare(reference, dir, generator, files);
    reference.generateRegionData();
    reference.loadCorridorData();
    QList<QList<SoundingData>> expectedLoaded, expectedRecalculated;
    for (const QString &f : qAsConst(files))
        expectedLoaded << reference.corridorDepths(f);
    reference.setAttitudeCorrections(1.0f, 0.0f, 0.0f, 0);
    reference.recalculatedDepths();
    for (const QString &f : qAsConst(files))
        expectedRecalculated << reference.corridorDepths(f);

    auto *data = new CrossLineData;
    prepare(*data, dir, generator, files);
    QThread thread;
    data->moveToThread(&thread);
    Requester window(data);
    thread.start();

    ASSERT_EQ(window.ask(&Requester::requestRegionData), "regionDataReady");
    data->loadCorridorData();
    for (int i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_GT(data->corridorDepths(files.at(i)).size(), 100);
        EXPECT_TRUE(sameLists(data->corridorDepths(files.at(i)), expectedLoaded.at(i)));
    }

    data->setAttitudeCorrections(1.0f, 0.0f, 0.0f, 0);
    ASSERT_EQ(window.ask(&Requester::reqRecalculatedDepths), "sigRecalcDone(false)");
    for (int i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(sameLists(data->corridorDepths(files.at(i)), expectedRecalculated.at(i)));
        EXPECT_FALSE(sameLists(data->corridorDepths(files.at(i)), expectedLoaded.at(i)));
    }

    ASSERT_EQ(window.ask(&Requester::reqRecalculatedPreviewDepths), "sigRecalcDone(true)");
    for (int i = 0; i < files.size(); ++i)
        EXPECT_TRUE(sameLists(data->corridorDepths(files.at(i)), expectedRecalculated.at(i)));

    // Deltas back to 0: the lists as loaded.
    data->setAttitudeCorrections(0.0f, 0.0f, 0.0f, 0);
    ASSERT_EQ(window.ask(&Requester::reqRecalculatedDepths), "sigRecalcDone(false)");
    for (int i = 0; i < files.size(); ++i)
        EXPECT_TRUE(sameLists(data->corridorDepths(files.at(i)), expectedLoaded.at(i)));

    EXPECT_EQ(window.answers, QStringList({"regionDataReady", "sigRecalcDone(false)", "sigRecalcDone(true)",
                                           "sigRecalcDone(false)"}));
    thread.quit();
    thread.wait();
    delete data;
}

// A thread asked to stop (as the window asks its data thread when the
// program ends) ends its load or recalculation early: a load before its
// next raw file (not even opened) and before the next datagram, a
// recalculation before the next sounding. The same job in a thread not
// asked to stop does its whole work.
struct StopCase {
    const char *name;
    bool recalculation;                               // else a load
    void (*job)(CrossLineData &data, const QString &file); // in the thread
    bool fileOpened;                                  // when asked to stop
};

void PrintTo(const StopCase &c, std::ostream *os)
{
    *os << c.name;
}

class ThreadedStop : public ::testing::TestWithParam<StopCase>
{
};

TEST_P(ThreadedStop, JobEndsEarlyOnceTheThreadIsAskedToStop)
{
    const StopCase &c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const nexra::SurveyGenerator generator(survey());
    QStringList files;
    ASSERT_TRUE(generator.write(dir.path(), &files));
    const QString file = files.first();

    for (const bool stop : {false, true}) {
        SCOPED_TRACE(stop ? "asked to stop" : "not asked to stop");
        CrossLineData data;
        prepare(data, dir, generator, {file});
        QList<SoundingData> loaded;
        if (c.recalculation) {
            data.loadRegionData();
            data.loadCorridorData();
            loaded = data.corridorDepths(file);
            ASSERT_GT(loaded.size(), 100);
            data.setAttitudeCorrections(1.0f, 0.0f, 0.0f, 0);
        }
        LogCapture cap("CrossLineData");
        // The job's results come back through this flag: QThread::wait
        // synchronises inside Qt, where ThreadSanitizer does not see it.
        std::atomic<bool> done{false};
        QThread *thread = QThread::create([&] {
            if (stop)
                QThread::currentThread()->requestInterruption();
            c.job(data, file);
            done.store(true, std::memory_order_release);
        });
        thread->start();
        ASSERT_TRUE(thread->wait(60000));
        delete thread;
        ASSERT_TRUE(done.load(std::memory_order_acquire));

        if (c.recalculation) {
            EXPECT_EQ(sameLists(data.corridorDepths(file), loaded), stop);
        } else {
            const bool opened = !cap.messages().filter(QStringLiteral("Start getSurveyLineRegionData")).isEmpty();
            EXPECT_EQ(opened, !stop || c.fileOpened);
            data.loadCorridorData();
            EXPECT_EQ(data.corridorDepths(file).isEmpty(), stop);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Jobs, ThreadedStop,
    ::testing::Values(
        StopCase{"LoadBeforeItsFirstFile", false,
                 [](CrossLineData &data, const QString &) { data.loadRegionData(); }, false},
        StopCase{"FileBeforeItsFirstDatagram", false,
                 [](CrossLineData &data, const QString &file) { data.getSurveyLineRegionData(file); }, true},
        StopCase{"RecalculationBeforeItsFirstSounding", true,
                 [](CrossLineData &data, const QString &) { data.recalculateTQ(false); }, false}),
    [](const ::testing::TestParamInfo<StopCase> &info) { return std::string(info.param.name); });

#include "threaded_recalculation_test.moc"
