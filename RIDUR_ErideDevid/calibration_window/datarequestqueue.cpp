#include "datarequestqueue.h"

#include "crosslinedata.h"

#include <QThread>

#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

static log4cplus::Logger logger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("Rerozadoz"));

DataRequestQueue::DataRequestQueue(DataThreadHandoff &handoff, QObject *parent)
    : QObject(parent)
    , handoff(handoff)
{
}

void DataRequestQueue::run(std::function<void()> request, Kind kind)
{
    if (!request)
        return;
    if (busy())
        enqueue(std::move(request), kind);
    else
        execute(request);
}

void DataRequestQueue::startJob(const std::function<void()> &send)
{
    if (jobRunning)
        LOG4CPLUS_WARN(logger, LOG4CPLUS_TEXT("DataRequestQueue: a job started while another runs"));
    jobRunning = true;
    handoff.handOver(send);
}

void DataRequestQueue::jobAnswered()
{
    handoff.takeAnswer();
}

void DataRequestQueue::jobFinished(std::function<void()> continuation)
{
    jobRunning = false;
    if (continuation)
        execute(continuation);
    drain();
}

void DataRequestQueue::execute(const std::function<void()> &request)
{
    if (executing++ == 0)
        insertAt = 0;
    const int outerLoopLevel = executingLoopLevel;
    executingLoopLevel = QThread::currentThread()->loopLevel();
    request();
    executingLoopLevel = outerLoopLevel;
    // What the request queued, or what came in while it ran, may run now.
    if (--executing == 0)
        drain();
}

void DataRequestQueue::enqueue(std::function<void()> request, Kind kind)
{
    // Made by the request being carried out, or arrived through an event
    // loop it opened (a modal box) and so after the ones already waiting.
    const bool madeByRequest =
        executing > 0 && QThread::currentThread()->loopLevel() <= executingLoopLevel;
    const int at = madeByRequest ? insertAt : queue.size();
    if (kind != Other && at > 0 && queue.at(at - 1).kind == kind) {
        LOG4CPLUS_DEBUG(logger, LOG4CPLUS_TEXT("DataRequestQueue: request merged with the waiting one, kind ")
                                    << static_cast<int>(kind));
        return;
    }
    queue.insert(at, Entry{kind, std::move(request)});
    if (madeByRequest)
        ++insertAt;
    LOG4CPLUS_DEBUG(logger, LOG4CPLUS_TEXT("DataRequestQueue: request held back, waiting ") << queue.size());
}

void DataRequestQueue::drain()
{
    if (draining)
        return;
    draining = true;
    while (!busy() && !queue.isEmpty()) {
        const Entry entry = queue.takeFirst();
        execute(entry.request);
    }
    draining = false;
}

IdleDataPointer::IdleDataPointer(CrossLineData *data)
    : data(data)
    , jobHandoff(&data->handoff())
{
}
