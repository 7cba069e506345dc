#pragma once
// Holds back the window's requests while the data thread works. A request is
// carried out at once while no job runs; otherwise it waits and is carried
// out, in order, once the running job's answer has been handled. Requests
// made by a request that is being carried out go before the ones that were
// already waiting, so each request keeps its place as if it had come after
// the one before it had finished. Adjacent waiting loads, and adjacent
// waiting recalculations of one kind, are merged: each reads the controls
// when it runs, so the second would repeat the first.
#include <QList>
#include <QObject>

#include <functional>

class DataRequestQueue : public QObject
{
public:
    enum Kind { Other, Load, Recalculation, PreviewRecalculation };

    explicit DataRequestQueue(QObject *parent = nullptr);

    // A job runs in the data thread or its answer is being handled.
    bool busy() const { return jobRunning; }
    int waiting() const { return queue.size(); }

    // Carries the request out now, or queues it while busy.
    void run(std::function<void()> request, Kind kind = Other);

    // A load or recalculation request is about to be sent to the data thread.
    void jobStarted();
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

    QList<Entry> queue;
    bool jobRunning = false;
    bool draining = false;
    int executing = 0;   // depth of requests being carried out
    int insertAt = 0;    // queue place of requests made by the one carried out
};
