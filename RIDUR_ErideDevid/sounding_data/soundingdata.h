#pragma once
// One kept sounding: a plain value record, every field 0 by default.
#include <QtGlobal>

struct SoundingData {
    qint32 beamIndex = 0;
    float depth = 0.0f;
    float distanceX = 0.0f;
    float distanceY = 0.0f;
    float across = 0.0f;
    float along = 0.0f;
    qint32 qualityFactor = 0;
    qint32 reflectivity = 0;
    qint32 sampleCount = 0;
    qint32 beamAngleAdjustment = 0;
    qint32 detectionInfo = 0;
    qint32 soundingFlag = 0;
    qint64 timeMs = 0;
    float twoWayTime = 0.0f;
    float txDepth = 0.0f;
    double northing = 0.0;
    double easting = 0.0;
    float heading = 0.0f;
    double latitude = 0.0;
    double longitude = 0.0;
    qint32 rxIndex = 0;
    double ellipsoidDepth = 0.0;
};
Q_DECLARE_TYPEINFO(SoundingData, Q_MOVABLE_TYPE);
