// The request queue alone: what runs at once, what waits, in which order,
// and what gives way to a newer request.
#include "datarequestqueue.h"

#include "crosslinedata.h"
#include "log_capture.h"

#include <QEventLoop>
#include <QStringList>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

class DataRequestQueueTest : public ::testing::Test
{
protected:
    // A request that notes its name when carried out.
    std::function<void()> note(const QString &name)
    {
        return [this, name] { log << name; };
    }
    // A request that notes its name and starts a job.
    std::function<void()> job(const QString &name)
    {
        return [this, name] {
            log << name;
            queue.startJob({});
        };
    }

    DataThreadHandoff handoff;
    // The raw files named now, as the data object gives them.
    QStringList named{"/s/a.nexra", "/s/b.nexra"};
    DataRequestQueue queue{handoff, [this] { return named; }};
    QStringList log;
};

TEST_F(DataRequestQueueTest, RunsAtOnceWhileIdleAndHoldsBackWhileAJobRuns)
{
    queue.run(note("a"));
    EXPECT_EQ(log, QStringList{"a"});

    queue.startJob({});
    queue.run(note("b"));
    queue.run(note("c"));
    EXPECT_EQ(log, QStringList{"a"});
    EXPECT_TRUE(queue.busy());
    EXPECT_EQ(queue.waiting(), 2);

    queue.jobFinished();
    EXPECT_EQ(log, (QStringList{"a", "b", "c"}));
    EXPECT_FALSE(queue.busy());
    EXPECT_EQ(queue.waiting(), 0);
}

TEST_F(DataRequestQueueTest, ARequestThatStartsAJobStopsTheRestUntilItsAnswer)
{
    queue.startJob({});
    queue.run(job("load"));
    queue.run(note("after"));
    queue.jobFinished();
    EXPECT_EQ(log, QStringList{"load"});
    EXPECT_TRUE(queue.busy());

    queue.jobFinished();
    EXPECT_EQ(log, (QStringList{"load", "after"}));
}

TEST_F(DataRequestQueueTest, RequestsMadeByARequestGoBeforeTheWaitingOnes)
{
    // As a reset: starts a recalculation, then asks for the rest of its road.
    queue.startJob({});
    queue.run([this] {
        log << "reset";
        queue.run(job("recalc"));
        queue.run(note("reset-rest"));
        queue.run(note("reset-end"));
    });
    queue.run(note("caller"));
    queue.jobFinished();
    EXPECT_EQ(log, (QStringList{"reset", "recalc"}));

    queue.jobFinished();
    EXPECT_EQ(log, (QStringList{"reset", "recalc", "reset-rest", "reset-end", "caller"}));
}

// As the reset's modal box: a request that opens an event loop is still
// being carried out, so what arrives through that loop waits behind the
// requests already waiting, and the ones the request makes itself go first.
TEST_F(DataRequestQueueTest, ARequestCountsAsAJobWhileItsEventLoopRuns)
{
    bool busyInside = false;
    const auto reset = [this, &busyInside] {
        log << "reset";
        queue.run(note("reset-reload"));
        QEventLoop box;
        QTimer::singleShot(0, &box, [this, &box] {
            queue.run(note("caller"));
            box.quit();
        });
        box.exec();
        busyInside = queue.busy();
        log << "box-closed";
        queue.run(note("reset-end"));
    };

    queue.run(reset);
    EXPECT_TRUE(busyInside);
    EXPECT_EQ(log, (QStringList{"reset", "box-closed", "reset-reload", "reset-end", "caller"}));
    EXPECT_FALSE(queue.busy());

    log.clear();
    queue.startJob({});
    queue.run(reset);
    queue.run(note("waiting"));
    queue.jobFinished();
    EXPECT_EQ(log, (QStringList{"reset", "box-closed", "reset-reload", "reset-end", "waiting", "caller"}));
    EXPECT_EQ(queue.waiting(), 0);
}

// Idle follows the data thread's answer of the job handed over, not the
// GUI thread's handling of it.
TEST_F(DataRequestQueueTest, DataThreadIdleFromTheJobsHandOverUntilItsAnswer)
{
    EXPECT_TRUE(queue.dataThreadIdle());
    bool sent = false;
    queue.startJob([&] { sent = true; });
    EXPECT_TRUE(sent);
    EXPECT_FALSE(queue.dataThreadIdle());
    queue.jobAnswered(); // an answer the data thread has not given
    EXPECT_FALSE(queue.dataThreadIdle());
    handoff.takeUp();
    EXPECT_FALSE(queue.dataThreadIdle());
    handoff.answer({});
    EXPECT_TRUE(queue.dataThreadIdle());
    queue.jobAnswered();
    EXPECT_TRUE(queue.dataThreadIdle());
    EXPECT_TRUE(queue.busy()); // the answer is being handled
    queue.jobFinished();
    EXPECT_FALSE(queue.busy());
    EXPECT_TRUE(queue.dataThreadIdle());
}

TEST_F(DataRequestQueueTest, ContinuationRunsBeforeTheWaitingRequests)
{
    queue.startJob({});
    queue.run(note("caller"));
    queue.jobFinished(job("pending-recalc"));
    EXPECT_EQ(log, QStringList{"pending-recalc"});
    queue.jobFinished();
    EXPECT_EQ(log, (QStringList{"pending-recalc", "caller"}));
}

// A waiting job gives way to a newer one of its kind only where the newer
// one leaves what running both leaves: a recalculation across settings; a
// load across settings that empty the installation lists and leave the raw
// files named (or name them again as they are). Each row: the requests that
// wait behind a running job, and those carried out.
struct GiveWayRequest {
    const char *name;
    DataRequestQueue::Kind kind;
    DataRequestQueue::SettingEffect effect;
};

struct GiveWayCase {
    const char *name;
    QList<GiveWayRequest> waiting;
    QStringList carriedOut;
};

using Q = DataRequestQueue;
const Q::SettingEffect crossLine{};                       // a cross line, a survey name
const Q::SettingEffect newCorridor{std::nullopt, true};   // "SETCORRIDOR"
const Q::SettingEffect sameFiles{QStringList{"/s/a.nexra", "/s/b.nexra"}, false};
const Q::SettingEffect otherFiles{QStringList{"/s/c.nexra"}, false};
const Q::SettingEffect noFiles{QStringList{}, false};     // "ADDLINE" without items
const Q::SettingEffect aFileTwice{QStringList{"/s/a.nexra", "/s/a.nexra", "/s/b.nexra"}, false};

const GiveWayCase giveWayCases[] = {
    {"RecalculationsAcrossSettings",
     {{"recalc1", Q::Recalculation, {}}, {"set", Q::Setting, otherFiles}, {"recalc2", Q::Recalculation, {}},
      {"preview1", Q::PreviewRecalculation, {}}, {"preview2", Q::PreviewRecalculation, {}},
      {"recalc3", Q::Recalculation, {}}, {"other", Q::Other, {}}, {"recalc4", Q::Recalculation, {}}},
     {"set", "recalc2", "preview2", "recalc3", "other", "recalc4"}},
    {"LoadAcrossANewCorridor",
     {{"load1", Q::Load, {}}, {"corridor", Q::Setting, newCorridor}, {"load2", Q::Load, {}}},
     {"corridor", "load2"}},
    {"LoadAcrossACrossLineOnly",
     {{"load1", Q::Load, {}}, {"line", Q::Setting, crossLine}, {"load2", Q::Load, {}}},
     {"load1", "line", "load2"}},
    {"AdjacentLoads", {{"load1", Q::Load, {}}, {"load2", Q::Load, {}}}, {"load1", "load2"}},
    {"LoadAcrossTheSameFilesNamedAgain",
     {{"load1", Q::Load, {}}, {"files", Q::Setting, sameFiles}, {"corridor", Q::Setting, newCorridor},
      {"load2", Q::Load, {}}},
     {"files", "corridor", "load2"}},
    {"LoadAcrossOtherFiles",
     {{"load1", Q::Load, {}}, {"files", Q::Setting, otherFiles}, {"corridor", Q::Setting, newCorridor},
      {"load2", Q::Load, {}}},
     {"load1", "files", "corridor", "load2"}},
    {"LoadAcrossNoFiles",
     {{"load1", Q::Load, {}}, {"files", Q::Setting, noFiles}, {"corridor", Q::Setting, newCorridor},
      {"load2", Q::Load, {}}},
     {"load1", "files", "corridor", "load2"}},
    {"LoadAcrossAFileNamedTwice",
     {{"load1", Q::Load, {}}, {"files", Q::Setting, aFileTwice}, {"corridor", Q::Setting, newCorridor},
      {"load2", Q::Load, {}}},
     {"load1", "files", "corridor", "load2"}},
    {"LoadAcrossOtherFilesThenTheSameAgain",
     {{"load1", Q::Load, {}}, {"files1", Q::Setting, otherFiles}, {"files2", Q::Setting, sameFiles},
      {"corridor", Q::Setting, newCorridor}, {"load2", Q::Load, {}}},
     {"files1", "files2", "corridor", "load2"}},
    {"LoadAcrossARecalculation",
     {{"load1", Q::Load, {}}, {"corridor", Q::Setting, newCorridor}, {"recalc", Q::Recalculation, {}},
      {"load2", Q::Load, {}}},
     {"load1", "corridor", "recalc", "load2"}},
    {"ThreeLoadsAcrossNewCorridors",
     {{"load1", Q::Load, {}}, {"c1", Q::Setting, newCorridor}, {"load2", Q::Load, {}},
      {"c2", Q::Setting, newCorridor}, {"load3", Q::Load, {}}},
     {"c1", "c2", "load3"}},
};

void PrintTo(const GiveWayCase &c, std::ostream *os)
{
    *os << c.name;
}

class DataRequestQueueGiveWay : public DataRequestQueueTest, public ::testing::WithParamInterface<GiveWayCase>
{
};

TEST_P(DataRequestQueueGiveWay, OnlyWhereTheNewerJobLeavesWhatBothLeave)
{
    const GiveWayCase &c = GetParam();
    queue.startJob({});
    for (const GiveWayRequest &request : c.waiting)
        queue.run(note(request.name), request.kind, request.effect);
    EXPECT_EQ(queue.waiting(), c.waiting.size());
    queue.jobFinished();
    EXPECT_EQ(log, c.carriedOut);
    EXPECT_EQ(queue.waiting(), 0);
}

INSTANTIATE_TEST_SUITE_P(Sequences, DataRequestQueueGiveWay, ::testing::ValuesIn(giveWayCases),
                         [](const ::testing::TestParamInfo<GiveWayCase> &info) { return std::string(info.param.name); });

// A request that gives way is progress, not a caller's message: DEBUG.
TEST_F(DataRequestQueueTest, AJobThatGivesWayIsLoggedAtDebug)
{
    using K = DataRequestQueue;
    LogCapture cap("Rerozadoz");
    queue.startJob({});
    queue.run(note("load1"), K::Load);
    queue.run(note("corridor"), K::Setting, {std::nullopt, true});
    queue.run(note("load2"), K::Load);
    queue.run(note("recalc1"), K::Recalculation);
    queue.run(note("recalc2"), K::Recalculation);
    queue.jobFinished();
    ASSERT_EQ(log, (QStringList{"corridor", "load2", "recalc2"}));
    const QStringList expected{"DataRequestQueue: a waiting load gives way to a newer one",
                               "DataRequestQueue: a waiting recalculation gives way to a newer one"};
    EXPECT_EQ(cap.messages(log4cplus::DEBUG_LOG_LEVEL).filter("gives way"), expected);
    EXPECT_EQ(cap.messages(log4cplus::INFO_LOG_LEVEL), QStringList{});
}

// A job that starts stops the queue; the one it gave way to is gone, and a
// newer one that comes while it runs is carried out after its answer.
TEST_F(DataRequestQueueTest, AJobThatGaveWayIsNotCarriedOutLater)
{
    using K = DataRequestQueue;
    queue.startJob({});
    queue.run(job("load1"), K::Load);
    queue.run(note("set"), K::Setting, {std::nullopt, true});
    queue.run(job("load2"), K::Load);
    queue.jobFinished();
    EXPECT_EQ(log, (QStringList{"set", "load2"}));
    EXPECT_TRUE(queue.busy());
    queue.run(job("load3"), K::Load);
    queue.jobFinished();
    EXPECT_EQ(log, (QStringList{"set", "load2", "load3"}));
    queue.jobFinished();
    EXPECT_FALSE(queue.busy());
    EXPECT_EQ(queue.waiting(), 0);
}

// The window's pointer to the data object: usable while no job is without
// its answer, an assertion failure (debug builds) in between.
TEST(IdleDataPointerTest, AssertsBetweenAJobsSendingAndItsAnswer)
{
    CrossLineData data;
    DataRequestQueue queue(data.handoff(), {});
    const IdleDataPointer pointer(&data);
    EXPECT_FALSE(pointer->isNexra());
    queue.startJob({});
#ifndef QT_NO_DEBUG
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(pointer->isNexra(), "while the data thread works");
    EXPECT_DEATH(
        {
            CrossLineData *raw = pointer;
            Q_UNUSED(raw);
        },
        "while the data thread works");
#endif
    data.generateRegionData(); // the job, as the data thread runs it
    queue.jobAnswered();
    EXPECT_FALSE(pointer->isNexra());
    EXPECT_EQ(static_cast<CrossLineData *>(pointer), &data);
}

} // namespace
