// Recalculation of the kept soundings with roll, pitch and heading deltas:
// each sounding is rotated in its own (along, across, depth) frame by
// small-angle formulas, placed again from its ping position, projected again
// and given new corridor distances. Every pass starts from the soundings as
// loaded, so deltas never accumulate.
#include "crosslinedata.h"

#include "cprojection.h"
#include "geometry.h"

#include <QDateTime>

#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

#include <cmath>

static log4cplus::Logger logger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("CrossLineData"));

namespace {

constexpr double kDegToRad = 0.017453292519943295;
constexpr double kWgs84SemiMajor = 6378137.0;
constexpr double kWgs84InverseFlattening = 298.257223563;

// Deltas below this (degrees) on all three axes leave a sounding as loaded.
constexpr double kMinimumDelta = 0.01;
// Roll or pitch below this (radians) is not applied.
constexpr double kMinimumAngle = 1e-4;

// The offset factors of the last ping: the soundings of a ping share its
// latitude and heading, so the factors are formed once per ping.
class PingOffsetFactors
{
public:
    const LatLonOffsetFactors &at(double latitude, float heading)
    {
        if (!valid || latitude != lastLatitude || heading != lastHeading) {
            factors = LatLonOffsetFactors(latitude, double(heading), kWgs84SemiMajor, kWgs84InverseFlattening);
            lastLatitude = latitude;
            lastHeading = heading;
            valid = true;
        }
        return factors;
    }

private:
    LatLonOffsetFactors factors;
    double lastLatitude = 0.0;
    float lastHeading = 0.0f;
    bool valid = false;
};

// Rotates one sounding, places it again from its ping position and projects
// it again. ping keeps the offset factors between the soundings of a pass.
void recalculateRecord(SoundingData &record, double roll, double pitch, double heading,
                       PingOffsetFactors &ping, CProjection *projection)
{
    float headingRadians = float(double(record.heading) + heading);
    headingRadians = float(double(headingRadians) * kDegToRad);

    if (std::fabs(roll) < kMinimumDelta && std::fabs(pitch) < kMinimumDelta && std::fabs(heading) < kMinimumDelta)
        return;

    const double r = roll * kDegToRad;
    // The pitch delta enters with its sign inverted.
    const double e = pitch * -1.0 * kDegToRad;

    if (std::fabs(r) > kMinimumAngle) {
        const float z = record.depth;
        const float y = record.across;
        // A sounding at the transducer itself has no direction to turn
        // (0 / 0 would make it NaN); it stays where it is.
        if (z != 0.0f || y != 0.0f) {
            const float a = atanf(y / z);
            const float slantRange = sqrtf(z * z + y * y);
            record.depth = z + float(std::sin(double(a)) * double(slantRange) * r);
            record.across = y + float(std::cos(double(a)) * double(-slantRange) * r);
        }
    }

    if (std::fabs(e) > kMinimumAngle) {
        record.depth = float((1.0 - e * e) * double(record.depth));
        record.along = float(e) * record.depth + record.along;
    }

    const qint32 acrossCm = truncateToInt32(double(record.across * 100.0f));
    const qint32 alongCm = truncateToInt32(double(record.along * 100.0f));
    double latitude = 0.0;
    double longitude = 0.0;
    ping.at(record.latitude, headingRadians)
        .apply(record.latitude, record.longitude, acrossCm, alongCm, &latitude, &longitude);

    if (projection)
        projection->geographicToProjected(latitude, longitude, &record.northing, &record.easting);
}

} // namespace

void CrossLineData::setAttitudeCorrections(float roll, float pitch, float heading, qint32 motionDelay)
{
    rollCorrection = roll;
    pitchCorrection = pitch;
    headingCorrection = heading;
    motionDelayCorrection = motionDelay;
}

void CrossLineData::recalculatedDepths()
{
    jobHandoff.takeUp();
    const qint64 started = QDateTime::currentMSecsSinceEpoch();
    recalculateTQ(false);
    const qint64 elapsed = QDateTime::currentMSecsSinceEpoch() - started;
    jobHandoff.answer([this] { emit sigRecalcDone(false); });
    LOG4CPLUS_DEBUG(logger, LOG4CPLUS_TEXT("TIMING : CrossLineData::recalculatedDepths() = ") << elapsed);
}

void CrossLineData::recalculatedPreviewDepths()
{
    jobHandoff.takeUp();
    const qint64 started = QDateTime::currentMSecsSinceEpoch();
    recalculateTQ(true);
    const qint64 elapsed = QDateTime::currentMSecsSinceEpoch() - started;
    jobHandoff.answer([this] { emit sigRecalcDone(true); });
    LOG4CPLUS_DEBUG(logger, LOG4CPLUS_TEXT("TIMING : CrossLineData::recalculatedPreviewDepths() = ") << elapsed);
}

void CrossLineData::recalculateTQ(bool preview)
{
    workingRawFiles = getRawFiles();
    if (!nexraFile) {
        LOG4CPLUS_INFO(logger, LOG4CPLUS_TEXT("Recalculating TQ: orig installation parameters  "));
        LOG4CPLUS_INFO(logger, LOG4CPLUS_TEXT("Recalculating TQ: new installation parameters  "));
        return;
    }
    for (const QString &path : qAsConst(workingRawFiles))
        recalculateFileDepths(path, preview);
}

void CrossLineData::recalculateFileDepths(const QString &path, bool preview)
{
    // The preview pass computes the same lists; only its answer differs.
    Q_UNUSED(preview)

    const double roll = rollCorrection;
    const double pitch = pitchCorrection;
    const double heading = headingCorrection;

    const QList<SoundingData> &region = regionSoundings[path];
    // The list holds each record in a node of its own. When it already has one
    // per sounding (after a load or an earlier pass) the nodes are overwritten,
    // which saves releasing and allocating them again.
    QList<SoundingData> &corridor = corridorSoundings[path];
    if (corridor.size() != region.size()) {
        corridor.clear();
        corridor.reserve(region.size());
        for (int i = 0; i < region.size(); ++i)
            corridor.append(SoundingData());
    }

    PingOffsetFactors ping;
    auto record = corridor.begin();
    for (const SoundingData &source : region) {
        if (stopRequested())
            break;
        *record = source;
        recalculateRecord(*record, roll, pitch, heading, ping, projection);
        setCorridorDistances(*record);
        ++record;
    }
}

void CrossLineData::recalculateSounding(SoundingData &record, double roll, double pitch, double heading)
{
    PingOffsetFactors ping;
    recalculateRecord(record, roll, pitch, heading, ping, projection);
}
