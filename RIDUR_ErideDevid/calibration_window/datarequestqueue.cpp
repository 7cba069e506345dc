#include "datarequestqueue.h"

#include "crosslinedata.h"

#include <QThread>

#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

static log4cplus::Logger logger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("Rerozadoz"));

DataRequestQueue::DataRequestQueue(DataThreadHandoff &handoff,
                                   std::function<QStringList()> namedRawFiles, QObject *parent)
    : QObject(parent)
    , handoff(handoff)
    , namedRawFiles(std::move(namedRawFiles))
{
}

void DataRequestQueue::run(std::function<void()> request, Kind kind, SettingEffect effect)
{
    if (!request)
        return;
    if (busy())
        enqueue(Entry{kind, std::move(request), std::move(effect)});
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

void DataRequestQueue::enqueue(Entry entry)
{
    // Made by the request being carried out, or arrived through an event
    // loop it opened (a modal box) and so after the ones already waiting.
    const bool madeByRequest =
        executing > 0 && QThread::currentThread()->loopLevel() <= executingLoopLevel;
    const int at = madeByRequest ? insertAt : queue.size();
    queue.insert(at, std::move(entry));
    if (madeByRequest)
        ++insertAt;
    LOG4CPLUS_DEBUG(logger, LOG4CPLUS_TEXT("DataRequestQueue: request held back, waiting ") << queue.size());
}

bool DataRequestQueue::givesWay(Kind kind) const
{
    if (kind == Other || kind == Setting)
        return false;
    bool installationEmptied = false;
    std::optional<QStringList> rawFilesNamed;
    for (const Entry &entry : queue) {
        if (entry.kind == kind) {
            if (kind != Load)
                return true;
            // Raw files named again as they are named now count as the same;
            // anything else (a path twice, an empty piece) as others.
            return installationEmptied
                   && (!rawFilesNamed || (namedRawFiles && *rawFilesNamed == namedRawFiles()));
        }
        if (entry.kind != Setting)
            return false;
        installationEmptied = installationEmptied || entry.effect.emptiesInstallation;
        if (entry.effect.namesRawFiles)
            rawFilesNamed = entry.effect.namesRawFiles;
    }
    return false;
}

void DataRequestQueue::drain()
{
    if (draining)
        return;
    draining = true;
    while (!busy() && !queue.isEmpty()) {
        const Entry entry = queue.takeFirst();
        if (givesWay(entry.kind)) {
            LOG4CPLUS_DEBUG(logger, LOG4CPLUS_TEXT("DataRequestQueue: a waiting ")
                                       << (entry.kind == Load ? LOG4CPLUS_TEXT("load")
                                                              : LOG4CPLUS_TEXT("recalculation"))
                                       << LOG4CPLUS_TEXT(" gives way to a newer one"));
            continue;
        }
        execute(entry.request);
    }
    draining = false;
}

IdleDataPointer::IdleDataPointer(CrossLineData *data)
    : data(data)
    , jobHandoff(&data->handoff())
{
}
