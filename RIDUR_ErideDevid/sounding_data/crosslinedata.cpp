#include "crosslinedata.h"

#include "cnexrautils.h"
#include "cprojection.h"
#include "logtext.h"
#include "platformpaths.h"

#include <QDateTime>
#include <QFile>
#include <QThread>

#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

static log4cplus::Logger logger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("CrossLineData"));

CrossLineData::CrossLineData()
    : QObject(nullptr)
    , invertEllipsoidDepth(qEnvironmentVariableIntValue("GRID_INV_ELLIPS") == 1)
    , nexraUtils(CNexraUtils::instance())
{
}

CrossLineData::~CrossLineData() = default;

void CrossLineData::addRawFile(const QString &path)
{
    if (path.isEmpty() || rawFileSet.contains(path))
        return;
    rawFileSet.insert(path);
    rawFileNames.append(path);
}

QStringList CrossLineData::rawFiles() const
{
    return rawFileNames;
}

QStringList CrossLineData::getRawFiles() const
{
    if (rawFileNames.isEmpty()) {
        LOG4CPLUS_INFO(logger, LOG4CPLUS_TEXT("getRawFiles: files ")
                                   << toLogText(rawFileNames.join(QLatin1Char(','))));
        return QStringList();
    }
    return rawFileNames;
}

void CrossLineData::clearData()
{
    rawFileNames.clear();
    rawFileSet.clear();
    workingRawFiles.clear();
    regionSoundings.clear();
    corridorSoundings.clear();
    loadedCorridorSoundings.clear();
}

QStringList CrossLineData::loadedRawFiles() const
{
    return workingRawFiles;
}

bool CrossLineData::isNexra() const
{
    return nexraFile;
}

DataThreadHandoff &CrossLineData::handoff()
{
    return jobHandoff;
}

InstallationLists *CrossLineData::installationLists()
{
    return &installation;
}

QList<SoundingData> &CrossLineData::corridorDepths(const QString &path)
{
    return corridorSoundings[path];
}

QList<SoundingData> CrossLineData::loadedCorridorDepths(const QString &path) const
{
    return loadedCorridorSoundings.value(path);
}

void CrossLineData::setSurvey(const QString &name)
{
    survey = name;
}

void CrossLineData::setProjectionFile(const QString &path)
{
    projectionFile = path;
    if (projection)
        return;
    projection = CProjection::instance();
    projection->loadProjectionFile(path.toStdString());
}

void CrossLineData::setSvpForTx(bool value)
{
    svpForTx = value;
}

void CrossLineData::setResetState(qint32 value)
{
    resetValue = value;
    resetFlag = true;
}

void CrossLineData::resetNexraInst()
{
    if (!nexraFile)
        return;
    // A copy: the mismatch box's event loop must not pull the list away.
    const QStringList files = workingRawFiles;
    for (const QString &path : files) {
        QFile file(path);
        if (!openRegularFile(file)) {
            LOG4CPLUS_INFO(logger, LOG4CPLUS_TEXT("cannot open file ") << toLogText(path)
                                       << LOG4CPLUS_TEXT(" for reading"));
            return;
        }
        getNexraInstallationDatagram(file);
        file.close();
    }
}

void CrossLineData::resetPUData()
{
    if (workingRawFiles.isEmpty())
        return;
    const QString &path = workingRawFiles.first();
    QFile file(path);
    if (!openRegularFile(file)) {
        LOG4CPLUS_INFO(logger, LOG4CPLUS_TEXT("cannot open file ") << toLogText(path)
                                   << LOG4CPLUS_TEXT(" for reading"));
        return;
    }
    file.close();
}

void CrossLineData::generateRegionData()
{
    jobHandoff.takeUp();
    loadRegionData();
    jobHandoff.answer([this] { emit regionDataReady(); });
}

void CrossLineData::loadRegionData()
{
    LOG4CPLUS_DEBUG(logger, LOG4CPLUS_TEXT("Start loadRegionData"));
    const qint64 started = QDateTime::currentMSecsSinceEpoch();
    workingRawFiles = getRawFiles();
    if (workingRawFiles.isEmpty())
        return;
    for (const QString &path : qAsConst(workingRawFiles)) {
        if (stopRequested())
            break;
        getSurveyLineRegionData(path);
    }
    const qint64 elapsed = QDateTime::currentMSecsSinceEpoch() - started;
    LOG4CPLUS_DEBUG(logger, LOG4CPLUS_TEXT("TIMING : CrossLineData::loadRegionData() = ") << elapsed);
}

bool CrossLineData::stopRequested()
{
    return QThread::currentThread()->isInterruptionRequested();
}

void CrossLineData::getSurveyLineRegionData(const QString &path)
{
    if (regionCorners[0] == 0 && regionCorners[2] == 0)
        return;
    LOG4CPLUS_DEBUG(logger, LOG4CPLUS_TEXT("Start getSurveyLineRegionData"));
    nexraFile = path.endsWith(QLatin1String(".nexra"), Qt::CaseSensitive);

    QFile file(path);
    if (!openRegularFile(file)) {
        LOG4CPLUS_INFO(logger, LOG4CPLUS_TEXT("cannot open file ") << toLogText(path)
                                   << LOG4CPLUS_TEXT(" for reading"));
        return;
    }
    if (nexraFile) {
        getNexraInstallationDatagram(file);
        LOG4CPLUS_DEBUG(logger, LOG4CPLUS_TEXT("Start getRegionVLData"));
        getRegionVLData(path, file);
        LOG4CPLUS_DEBUG(logger, LOG4CPLUS_TEXT("End getRegionVLData"));
    }
    LOG4CPLUS_DEBUG(logger, LOG4CPLUS_TEXT("End getSurveyLineRegionData"));
    file.close();
}
