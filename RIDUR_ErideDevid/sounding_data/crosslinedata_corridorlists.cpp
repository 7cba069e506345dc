// Corridor lists: the kept soundings with their distances to the start edge
// and to the first long side of the corridor.
#include "crosslinedata.h"

#include "geometry.h"

#include <QDateTime>

#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

static log4cplus::Logger logger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("CrossLineData"));

void CrossLineData::loadCorridorData()
{
    const qint64 started = QDateTime::currentMSecsSinceEpoch();
    workingRawFiles = getRawFiles();
    if (workingRawFiles.isEmpty())
        return;
    if (nexraFile) {
        for (const QString &path : qAsConst(workingRawFiles))
            getCorridorVLDepths(path);
    }
    const qint64 elapsed = QDateTime::currentMSecsSinceEpoch() - started;
    LOG4CPLUS_DEBUG(logger, LOG4CPLUS_TEXT("TIMING : CrossLineData::loadCorridorData() = ") << elapsed);
}

void CrossLineData::getCorridorVLDepths(const QString &path)
{
    QList<SoundingData> &corridor = corridorSoundings[path];
    corridor.clear();

    LOG4CPLUS_DEBUG(logger, LOG4CPLUS_TEXT("getCorridorDepths ")
                                << corridorCorners[0] << LOG4CPLUS_TEXT(" ") << corridorCorners[1]
                                << LOG4CPLUS_TEXT(" ") << corridorCorners[4]
                                << LOG4CPLUS_TEXT(" ") << corridorCorners[5]);

    const QList<SoundingData> &region = regionSoundings[path];
    corridor.reserve(region.size());
    for (const SoundingData &source : region) {
        SoundingData record = source;
        setCorridorDistances(record);
        corridor.append(record);
    }
    // Shared until a recalculation writes the corridor list.
    loadedCorridorSoundings[path] = corridor;
}

void CrossLineData::setCorridorDistances(SoundingData &record) const
{
    const double p0x = corridorCorners[0];
    const double p0y = corridorCorners[1];
    record.distanceX = float(distancePointToLine(p0x, p0y, corridorCorners[2], corridorCorners[3],
                                                 record.easting, record.northing) / 100.0);
    record.distanceY = float(distancePointToLine(p0x, p0y, corridorCorners[4], corridorCorners[5],
                                                 record.easting, record.northing) / 100.0);
}

double CrossLineData::lineStartValue(const QString &path) const
{
    Q_UNUSED(path)
    return 0.0;
}
