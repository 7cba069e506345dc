// The request queue alone: what runs at once, what waits, in which order,
// and what gives way to a newer request.
#include "datarequestqueue.h"

#include "crosslinedata.h"

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
            queue.jobStarted();
        };
    }

    DataRequestQueue queue;
    QStringList log;
};

TEST_F(DataRequestQueueTest, RunsAtOnceWhileIdleAndHoldsBackWhileAJobRuns)
{
    queue.run(note("a"));
    EXPECT_EQ(log, QStringList{"a"});

    queue.jobStarted();
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
    queue.jobStarted();
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
    queue.jobStarted();
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
    queue.jobStarted();
    queue.run(reset);
    queue.run(note("waiting"));
    queue.jobFinished();
    EXPECT_EQ(log, (QStringList{"reset", "box-closed", "reset-reload", "reset-end", "waiting", "caller"}));
    EXPECT_EQ(queue.waiting(), 0);
}

TEST_F(DataRequestQueueTest, DataThreadIdleUntilAJobIsSentAndAgainOnceAnswered)
{
    EXPECT_TRUE(queue.dataThreadIdle());
    queue.jobStarted();
    EXPECT_FALSE(queue.dataThreadIdle());
    queue.jobAnswered();
    EXPECT_TRUE(queue.dataThreadIdle());
    EXPECT_TRUE(queue.busy()); // the answer is being handled
    queue.jobFinished();
    EXPECT_FALSE(queue.busy());
}

TEST_F(DataRequestQueueTest, ContinuationRunsBeforeTheWaitingRequests)
{
    queue.jobStarted();
    queue.run(note("caller"));
    queue.jobFinished(job("pending-recalc"));
    EXPECT_EQ(log, QStringList{"pending-recalc"});
    queue.jobFinished();
    EXPECT_EQ(log, (QStringList{"pending-recalc", "caller"}));
}

// A waiting load or recalculation gives way to a newer one of its kind
// across settings, never across anything else: what runs is what running
// every request gives, with each job carried out once for the newest state.
TEST_F(DataRequestQueueTest, AWaitingJobGivesWayToANewerOneAcrossSettingsOnly)
{
    using K = DataRequestQueue;
    queue.jobStarted();
    queue.run(note("recalc1"), K::Recalculation);    // gives way to recalc2
    queue.run(note("recalc2"), K::Recalculation);
    queue.run(note("preview"), K::PreviewRecalculation);
    queue.run(note("recalc3"), K::Recalculation);    // a load follows
    queue.run(note("load1"), K::Load);               // gives way to load3
    queue.run(note("set1"), K::Setting);
    queue.run(note("load2"), K::Load);               // gives way to load3
    queue.run(note("set2"), K::Setting);
    queue.run(note("set3"), K::Setting);
    queue.run(note("load3"), K::Load);               // an other request follows
    queue.run(note("other"));
    queue.run(note("load4"), K::Load);               // the newest
    queue.run(note("set4"), K::Setting);
    queue.run(note("preview2"), K::PreviewRecalculation);
    EXPECT_EQ(queue.waiting(), 14);
    queue.jobFinished();
    EXPECT_EQ(log, (QStringList{"recalc2", "preview", "recalc3", "set1", "set2", "set3", "load3",
                                "other", "load4", "set4", "preview2"}));
    EXPECT_EQ(queue.waiting(), 0);
}

// A job that starts stops the queue; the one it gave way to is gone, and a
// newer one that comes while it runs is carried out after its answer.
TEST_F(DataRequestQueueTest, AJobThatGaveWayIsNotCarriedOutLater)
{
    using K = DataRequestQueue;
    queue.jobStarted();
    queue.run(job("load1"), K::Load);
    queue.run(note("set"), K::Setting);
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
    DataRequestQueue queue;
    const IdleDataPointer pointer(&data, &queue);
    EXPECT_FALSE(pointer->isNexra());
    queue.jobStarted();
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
    queue.jobAnswered();
    EXPECT_FALSE(pointer->isNexra());
    EXPECT_EQ(static_cast<CrossLineData *>(pointer), &data);
}

} // namespace
