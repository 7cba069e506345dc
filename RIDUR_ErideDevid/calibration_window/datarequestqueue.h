#pragma once
// Holds back the window's requests while the data thread works. A request is
// carried out at once while no job runs; otherwise it waits and is carried
// out, in order, once the running job's answer has been handled. A request
// counts as a job itself until it returns, boxes it shows included: what
// arrives meanwhile through their event loops waits behind the requests
// already waiting. Requests made by a request that is being carried out go
// before the ones that were already waiting, so each request keeps its place
// as if it had come after the one before it had finished. A waiting load, or
// a waiting recalculation, gives way to a newer one of its kind when only
// settings lie between them: the newer one reads the cross line, the raw
// files and the controls when it runs, so it overwrites all the first would
// give, and only the newest is carried out.
#include <QList>
#include <QObject>

#include <functional>

class CrossLineData;

class DataRequestQueue : public QObject
{
public:
    // Setting: sets what the next job reads (cross line, raw files) and reads
    // nothing a job gives. Other: anything else.
    enum Kind { Other, Setting, Load, Recalculation, PreviewRecalculation };

    explicit DataRequestQueue(QObject *parent = nullptr);

    // A request is being carried out, or a job runs in the data thread or
    // its answer is being handled.
    bool busy() const { return jobRunning || executing > 0; }
    int waiting() const { return queue.size(); }
    // No job sent to the data thread is without its answer: the GUI thread
    // may call CrossLineData.
    bool dataThreadIdle() const { return !awaitingAnswer; }

    // Carries the request out now, or queues it while busy.
    void run(std::function<void()> request, Kind kind = Other);

    // A load or recalculation request is about to be sent to the data thread.
    void jobStarted();
    // The job's answer has arrived and is being handled.
    void jobAnswered();
    // The job's answer has been handled: runs the continuation first (the
    // rest of the job's road, when given), then what waits, until a request
    // starts the next job.
    void jobFinished(std::function<void()> continuation = {});

private:
    struct Entry {
        Kind kind;
        std::function<void()> request;
    };

    void execute(const std::function<void()> &request);
    void enqueue(std::function<void()> request, Kind kind);
    void drain();
    // A load or recalculation of this kind waits further on, behind settings only.
    bool newerWaits(Kind kind) const;

    QList<Entry> queue;
    bool jobRunning = false;
    bool awaitingAnswer = false;
    bool draining = false;
    int executing = 0;       // depth of requests being carried out
    int executingLoopLevel = 0; // event-loop level the innermost one runs at
    int insertAt = 0;        // queue place of requests made by the one carried out
};

// The data object as the GUI thread reaches it. CrossLineData has no lock:
// every call through this pointer asserts (debug builds) that the data
// thread is idle.
class IdleDataPointer
{
public:
    IdleDataPointer(CrossLineData *data, const DataRequestQueue *requests)
        : data(data), requests(requests)
    {
    }

    CrossLineData *operator->() const { return checked(); }
    operator CrossLineData *() const { return checked(); }

private:
    CrossLineData *checked() const
    {
        Q_ASSERT_X(requests->dataThreadIdle(), "CrossLineData",
                   "called from the GUI thread while the data thread works");
        return data;
    }

    CrossLineData *data;
    const DataRequestQueue *requests;
};
