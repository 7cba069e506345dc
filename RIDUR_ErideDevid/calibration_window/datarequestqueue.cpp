#include "datarequestqueue.h"

#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

static log4cplus::Logger logger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("Rerozadoz"));

DataRequestQueue::DataRequestQueue(QObject *parent)
    : QObject(parent)
{
}

void DataRequestQueue::run(std::function<void()> request, Kind kind)
{
    if (!request)
        return;
    if (jobRunning)
        enqueue(std::move(request), kind);
    else
        execute(request);
}

void DataRequestQueue::jobStarted()
{
    if (jobRunning)
        LOG4CPLUS_WARN(logger, LOG4CPLUS_TEXT("DataRequestQueue: a job started while another runs"));
    jobRunning = true;
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
    request();
    --executing;
}

void DataRequestQueue::enqueue(std::function<void()> request, Kind kind)
{
    const int at = executing > 0 ? insertAt : queue.size();
    if (kind != Other && at > 0 && queue.at(at - 1).kind == kind) {
        LOG4CPLUS_DEBUG(logger, LOG4CPLUS_TEXT("DataRequestQueue: request merged with the waiting one, kind ")
                                    << static_cast<int>(kind));
        return;
    }
    queue.insert(at, Entry{kind, std::move(request)});
    if (executing > 0)
        ++insertAt;
    LOG4CPLUS_DEBUG(logger, LOG4CPLUS_TEXT("DataRequestQueue: request held back, waiting ") << queue.size());
}

void DataRequestQueue::drain()
{
    if (draining)
        return;
    draining = true;
    while (!jobRunning && !queue.isEmpty()) {
        const Entry entry = queue.takeFirst();
        execute(entry.request);
    }
    draining = false;
}
