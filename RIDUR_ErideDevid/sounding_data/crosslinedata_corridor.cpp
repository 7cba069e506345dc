// Cross line and corridor corners.
#include "crosslinedata.h"

#include "geometry.h"
#include "logtext.h"

#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

#include <cmath>

static log4cplus::Logger logger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("CrossLineData"));

void CrossLineData::setCrossLine(qint32 sx, qint32 sy, qint32 ex, qint32 ey)
{
    crossLine[0] = sx;
    crossLine[1] = sy;
    crossLine[2] = ex;
    crossLine[3] = ey;
}

void CrossLineData::setCorridorWidth(float width)
{
    LOG4CPLUS_INFO(logger, LOG4CPLUS_TEXT("setCorridorWidth ")
                               << toLogText(QString::number(double(width), 'g', 6)));

    const double sx = crossLine[0];
    const double sy = crossLine[1];
    const double ex = crossLine[2];
    const double ey = crossLine[3];
    // 64-bit differences: far-apart projected points overflow int32.
    const qint64 dx = qint64(crossLine[2]) - crossLine[0];
    const qint64 dy = qint64(crossLine[3]) - crossLine[1];

    qint32 corners[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    // A line without direction gets no corridor (all corners 0).
    if (dx != 0 || dy != 0) {
        const double ratio = std::fabs(double(dy)) / std::fabs(double(dx));
        const double angleDeg = std::atan(ratio) * 57.29577951308232;
        const double theta = (90.0 - angleDeg) * 0.017453292519943295;
        const double h = double(width) * 100.0 * 0.5;
        double c = std::cos(theta) * h;
        const double s = std::sin(theta) * h;
        if ((dx < 0) != (dy < 0) && dx != 0 && dy != 0)
            c = -std::cos(theta) * h;

        // Storage order P0, P1, P3, P2.
        corners[0] = truncateToInt32(sx - c);
        corners[1] = truncateToInt32(sy + s);
        corners[2] = truncateToInt32(sx + c);
        corners[3] = truncateToInt32(sy - s);
        corners[4] = truncateToInt32(ex - c);
        corners[5] = truncateToInt32(ey + s);
        corners[6] = truncateToInt32(ex + c);
        corners[7] = truncateToInt32(ey - s);
    }
    std::copy(corners, corners + 8, corridorCorners);
    regionCorners[0] = corridorCorners[0];
    regionCorners[1] = corridorCorners[1];
    regionCorners[2] = corridorCorners[6];
    regionCorners[3] = corridorCorners[7];
}
