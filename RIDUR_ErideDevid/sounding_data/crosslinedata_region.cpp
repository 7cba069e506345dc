// Depth reader: the soundings of the "#MRZ" datagrams inside the corridor.
#include "crosslinedata.h"

#include "cnexrautils.h"
#include "cprojection.h"
#include "geometry.h"
#include "nexrareadloop.h"

#include <QDebug>
#include <QFile>

#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

#include <cstring>

static log4cplus::Logger logger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("CrossLineData"));

namespace {

// Scale of the selection space: longitude and latitude in degrees times these.
constexpr double kLongitudeScale = 10000000.0;
constexpr double kLatitudeScale = 20000000.0;

// Fixed fields of a "#MRZ" datagram.
constexpr quint32 kTimeSecOffset = 12;
constexpr quint32 kTimeNanosecOffset = 16;
constexpr quint32 kRxIndexOffset = 33;
constexpr quint32 kRxCountOffset = 34;
constexpr quint32 kHeadingOffset = 132;
constexpr quint32 kReferenceLevelOffset = 144;
constexpr quint32 kLatitudeOffset = 160;
constexpr quint32 kLongitudeOffset = 168;
constexpr quint32 kEllipsoidHeightOffset = 176;
constexpr quint32 kFixedFieldsEnd = 180;

// Receiver-information block.
constexpr quint32 kSoundingCountOffset = 2;
constexpr quint32 kRxInfoFieldsEnd = 30;

// One sounding.
constexpr quint32 kSoundingSize = 120;
constexpr quint32 kTwoWayTimeOffset = 80;
constexpr quint32 kDeltaLatitudeOffset = 88;
constexpr quint32 kDeltaLongitudeOffset = 92;
constexpr quint32 kZOffset = 96;
constexpr quint32 kYOffset = 100;
constexpr quint32 kXOffset = 104;

// A guess at the soundings kept per file, to spare most regrowth of the list.
constexpr int kInitialReserve = 4096;

} // namespace

void CrossLineData::getRegionVLData(const QString &path, QFile &file)
{
    // Corridor polygon P0, P1, P2, P3 in the scaled geographic space.
    std::unique_ptr<PointArray> polygon = newPointArray(4);
    std::unique_ptr<SegmentArray> scratch = newSegmentArray(2);
    if (!polygon || !scratch)
        return;
    static const int cornerOrder[4][2] = {{0, 1}, {2, 3}, {6, 7}, {4, 5}};
    for (int i = 0; i < 4; ++i) {
        const double x = corridorCorners[cornerOrder[i][0]];
        const double y = corridorCorners[cornerOrder[i][1]];
        double latitude = 0.0;
        double longitude = 0.0;
        if (projection)
            projection->projectedToGeographic(y, x, &latitude, &longitude);
        polygon->values[2 * i] = longitude * kLongitudeScale;
        polygon->values[2 * i + 1] = latitude * kLatitudeScale;
    }
    // Soundings outside the polygon's box are rejected before the full test.
    const PolygonBounds bounds = polygonBounds(*polygon);
    LOG4CPLUS_DEBUG(logger, LOG4CPLUS_TEXT("Not using projections"));

    QList<SoundingData> &kept = regionSoundings[path];
    kept.clear();
    kept.reserve(kInitialReserve);

    if (!readBuffer)
        readBuffer.reset(new quint8[depthBufferSize]);
    quint8 *buffer = readBuffer.get();
    std::memset(buffer, 0, depthBufferSize);

    qint64 examined = 0;
    qint64 keptCount = 0;
    nexra::readDatagramsInChunks(file, buffer, depthBufferSize, "#MRZ", "message too big1 ",
                                 [&](const quint8 *datagram, quint32 length) {
        if (stopRequested())
            return nexra::Next::Stop;
        const quint8 *rxInfo = nexraUtils->mrzRxInfo(datagram);
        const quint8 *soundings = nexraUtils->mrzSoundings(datagram);
        if (!rxInfo || !soundings || length < kFixedFieldsEnd)
            return nexra::Next::Continue;
        const quint8 *end = datagram + length;
        if (end - rxInfo < qint64(kRxInfoFieldsEnd))
            return nexra::Next::Continue;

        rxHeadCount = datagram[kRxCountOffset];

        const quint32 seconds = nexra::readU32(datagram + kTimeSecOffset);
        const quint32 nanoseconds = nexra::readU32(datagram + kTimeNanosecOffset);
        const qint64 timeMs = qint64(seconds) * 1000 + qint64(nanoseconds / 1000000u);
        const qint32 rxIndex = datagram[kRxIndexOffset];
        const float heading = nexra::readF32(datagram + kHeadingOffset);
        const float referenceLevel = nexra::readF32(datagram + kReferenceLevelOffset);
        const double pingLatitude = nexra::readF64(datagram + kLatitudeOffset);
        const double pingLongitude = nexra::readF64(datagram + kLongitudeOffset);
        const float ellipsoidHeight = nexra::readF32(datagram + kEllipsoidHeightOffset);

        const quint32 declared = nexra::readU16(rxInfo + kSoundingCountOffset);
        const quint64 fitting = quint64(end - soundings) / kSoundingSize;
        const quint32 count = quint32(qMin<quint64>(declared, fitting));

        for (quint32 k = 0; k < count; ++k) {
            const quint8 *sounding = soundings + quint64(k) * kSoundingSize;
            ++examined;
            const double latitude = pingLatitude + double(nexra::readF32(sounding + kDeltaLatitudeOffset));
            const double longitude = pingLongitude + double(nexra::readF32(sounding + kDeltaLongitudeOffset));
            const double testX = truncateToInt32(longitude * kLongitudeScale);
            const double testY = truncateToInt32(latitude * kLatitudeScale);
            if (!bounds.contains(testX, testY) || !pointInPolygon(*polygon, testX, testY, *scratch))
                continue;

            const float z = nexra::readF32(sounding + kZOffset);
            SoundingData record;
            record.beamIndex = qint32(k);
            record.depth = z - referenceLevel;
            record.across = nexra::readF32(sounding + kYOffset);
            record.along = nexra::readF32(sounding + kXOffset);
            record.timeMs = timeMs;
            record.twoWayTime = nexra::readF32(sounding + kTwoWayTimeOffset);
            if (projection)
                projection->geographicToProjected(latitude, longitude, &record.northing, &record.easting);
            record.heading = heading;
            record.latitude = pingLatitude;
            record.longitude = pingLongitude;
            record.rxIndex = rxIndex;
            record.ellipsoidDepth = invertEllipsoidDepth ? double(ellipsoidHeight - z)
                                                         : double(z - ellipsoidHeight);
            kept.append(record);
            ++keptCount;
        }
        return nexra::Next::Continue;
    });

    qDebug().nospace() << examined << " " << keptCount;
}
