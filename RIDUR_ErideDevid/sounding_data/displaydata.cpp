#include "displaydata.h"

#include "crosslinedata.h"
#include "logtext.h"

#include <QDateTime>
#include <QStringList>

#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

#include <cmath>

namespace {
log4cplus::Logger logger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("DisplayData"));

constexpr qint32 ellipsoidDepthId = 22;
constexpr double matchTolerance = 0.00001;

// The value that a display id selects; id 22 is ellipsoidDepth - depth on the
// y axis and 0 on the x axis.
double displayValue(const SoundingData &s, qint32 id, bool asY)
{
    switch (id) {
    case 0: return s.distanceX;
    case 1: return s.distanceY;
    case 2:
    case 5: return s.depth;
    case 8: return s.across;
    case 9: return s.along;
    case 13: return s.qualityFactor;
    case 14: return s.reflectivity;
    case 15: return s.sampleCount;
    case 16: return s.beamAngleAdjustment;
    case 17: return s.detectionInfo;
    case 18: return s.soundingFlag;
    case 19: return s.beamIndex;
    case 20: return s.twoWayTime;
    case 21: return s.txDepth;
    case ellipsoidDepthId: return asY ? s.ellipsoidDepth - double(s.depth) : 0.0;
    default: return 0.0;
    }
}

bool passesHead(const SoundingData &s, qint32 head)
{
    switch (head) {
    case 1: return s.rxIndex == 0;
    case 2: return s.rxIndex == 1;
    default: return true;
    }
}

// The suffix names the whole key or what follows a "/" in it, so that
// "b.nexra" does not find the line of "ab.nexra".
bool keyMatches(const QString &key, const QString &suffix)
{
    if (!key.endsWith(suffix))
        return false;
    const int start = key.size() - suffix.size();
    return start == 0 || key.at(start - 1) == QLatin1Char('/');
}
} // namespace

const QString DisplayData::origSuffix = QStringLiteral(" - orig");

DisplayData::DisplayData() = default;
DisplayData::~DisplayData() = default;

void DisplayData::setHead(qint32 newHead)
{
    head = newHead;
}

void DisplayData::setOriginalData(CrossLineData *newData)
{
    const qint64 start = QDateTime::currentMSecsSinceEpoch();
    data = newData;
    buildLines(head, true);
    LOG4CPLUS_DEBUG(logger, LOG4CPLUS_TEXT("TIMING : DisplayData::setOriginalData() = ")
                                << QDateTime::currentMSecsSinceEpoch() - start);
}

void DisplayData::setRecalculatedData(CrossLineData *newData)
{
    const qint64 start = QDateTime::currentMSecsSinceEpoch();
    data = newData;
    buildLines(head, false);
    LOG4CPLUS_DEBUG(logger, LOG4CPLUS_TEXT("TIMING : DisplayData::setRecalculatedData() = ")
                                << QDateTime::currentMSecsSinceEpoch() - start);
}

void DisplayData::buildLines(qint32 headFilter, bool asLoaded)
{
    if (!data)
        return;
    if (data->isNexra()) {
        buildLinesFromSoundings(headFilter, asLoaded);
        return;
    }
    for (const QString &path : data->loadedRawFiles())
        lines.insert(asLoaded ? path + origSuffix : path, QList<SoundingData>());
}

void DisplayData::buildLinesFromSoundings(qint32 headFilter, bool asLoaded)
{
    for (const QString &path : data->loadedRawFiles()) {
        // The lines as loaded keep the soundings of the load, whatever a
        // recalculation has made of the corridor lists since.
        const QList<SoundingData> corridor =
            asLoaded ? data->loadedCorridorDepths(path) : data->corridorDepths(path);
        QList<SoundingData> line;
        line.reserve(corridor.size());
        for (const SoundingData &s : corridor)
            if (passesHead(s, headFilter))
                line.append(s);
        lines.insert(asLoaded ? path + origSuffix : path, line);
    }
}

QList<FloatPoint> DisplayData::seriesPoints(const QString &line, qint32 xId, qint32 yId) const
{
    QList<FloatPoint> points;
    if (!data)
        return points;
    const auto it = lines.constFind(line);
    if (it == lines.constEnd())
        return points;
    points.reserve(it->size());
    for (const SoundingData &s : *it)
        points.append(FloatPoint{float(displayValue(s, xId, false)), float(displayValue(s, yId, true))});
    return points;
}

SoundingData DisplayData::soundingAt(const QString &suffix, qint32 xId, double x, qint32 yId,
                                     double y) const
{
    for (auto it = lines.constBegin(); it != lines.constEnd(); ++it) {
        if (!keyMatches(it.key(), suffix))
            continue;
        for (const SoundingData &s : it.value()) {
            if (std::abs(displayValue(s, xId, false) - x) < matchTolerance
                && std::abs(displayValue(s, yId, true) - y) < matchTolerance)
                return s;
        }
        break;
    }
    return SoundingData();
}
