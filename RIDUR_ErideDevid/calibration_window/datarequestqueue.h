#pragma once
// Holds back the window's requests while the data thread works. A request is
// carried out at once while no job runs; otherwise it waits and is carried
// out, in order, once the running job's answer has been handled. A request
// counts as a job itself until it returns, boxes it shows included: what
// arrives meanwhile through their event loops waits behind the requests
// already waiting. Requests made by a request that is being carried out go
// before the ones that were already waiting, so each request keeps its place
// as if it had come after the one before it had finished.
//
// A waiting job gives way to a newer one of its kind only where running both
// ends as running the newer one alone, so that only the newest is carried out:
// - a recalculation, when only settings lie between them: the newer one reads
//   the offset boxes and the soundings when it runs and redraws all the first
//   would draw;
// - a load, when only settings lie between them, the newer load reads the raw
//   files the waiting one would read (the same TX 2 and RX 2 rows), and the
//   installation lists are emptied between them (the newer load fills the
//   installation controls from its raw files alone). It then redraws the
//   chart, fills the controls and ends with the same recalculation.
#include "datathreadhandoff.h"

#include <QList>
#include <QObject>
#include <QStringList>

#include <functional>
#include <optional>

class CrossLineData;

class DataRequestQueue : public QObject
{
public:
    // Setting: sets what the next job reads (cross line, raw files,
    // installation lists) and reads nothing a job gives. Other: anything else.
    enum Kind { Other, Setting, Load, Recalculation, PreviewRecalculation };

    // What a setting changes of what a load reads besides the cross line.
    struct SettingEffect {
        // The raw files it names in place of those named, as it names them;
        // none: it leaves them.
        std::optional<QStringList> namesRawFiles;
        // It empties the installation lists.
        bool emptiesInstallation = false;
    };

    // Jobs are handed to the data thread, and their answers taken back,
    // through the data object's handoff. namedRawFiles gives the raw files
    // named now; it is asked only while the data thread is idle.
    DataRequestQueue(DataThreadHandoff &handoff, std::function<QStringList()> namedRawFiles,
                     QObject *parent = nullptr);

    // A request is being carried out, or a job runs in the data thread or
    // its answer is being handled.
    bool busy() const { return jobRunning || executing > 0; }
    int waiting() const { return queue.size(); }
    // No job sent to the data thread is without its answer: the GUI thread
    // may call CrossLineData.
    bool dataThreadIdle() const { return handoff.idle(); }

    // Carries the request out now, or queues it while busy. A setting's
    // effect tells which waiting loads may give way across it.
    void run(std::function<void()> request, Kind kind, SettingEffect effect);
    void run(std::function<void()> request, Kind kind = Other) { run(std::move(request), kind, {}); }

    // Starts a load or recalculation in the data thread: hands the job over
    // and sends its request (send emits the request signal).
    void startJob(const std::function<void()> &send);
    // The job's answer has arrived and is being handled: takes it up.
    void jobAnswered();
    // The job's answer has been handled: runs the continuation first (the
    // rest of the job's road, when given), then what waits, until a request
    // starts the next job.
    void jobFinished(std::function<void()> continuation = {});

private:
    struct Entry {
        Kind kind;
        std::function<void()> request;
        SettingEffect effect;
    };

    void execute(const std::function<void()> &request);
    void enqueue(Entry entry);
    void drain();
    // A newer job waits for which the one just taken from the queue gives way.
    bool givesWay(Kind kind) const;

    DataThreadHandoff &handoff;
    std::function<QStringList()> namedRawFiles;
    QList<Entry> queue;
    bool jobRunning = false;
    bool draining = false;
    int executing = 0;       // depth of requests being carried out
    int executingLoopLevel = 0; // event-loop level the innermost one runs at
    int insertAt = 0;        // queue place of requests made by the one carried out
};

// The data object as the GUI thread reaches it. CrossLineData has no lock:
// every call through this pointer takes up the data thread's last answer
// from the data object's handoff and asserts (debug builds) that no job is
// without its answer.
class IdleDataPointer
{
public:
    explicit IdleDataPointer(CrossLineData *data);

    CrossLineData *operator->() const { return checked(); }
    operator CrossLineData *() const { return checked(); }
    // The data object's handoff, whether the data thread is idle or not.
    DataThreadHandoff &handoff() const { return *jobHandoff; }

private:
    CrossLineData *checked() const
    {
        const bool idle = jobHandoff->idle();
        Q_ASSERT_X(idle, "CrossLineData", "called from the GUI thread while the data thread works");
        Q_UNUSED(idle)
        return data;
    }

    CrossLineData *data;
    DataThreadHandoff *jobHandoff;
};
