#pragma once
// Per-line chart data: copies of the corridor soundings of every loaded raw
// file, as loaded (keys ending " - orig") and as recalculated (bare paths),
// filtered by receiver head.
#include "soundingdata.h"

#include <QHash>
#include <QList>
#include <QString>

class CrossLineData;

struct FloatPoint {
    float x = 0.0f;
    float y = 0.0f;
};
Q_DECLARE_TYPEINFO(FloatPoint, Q_PRIMITIVE_TYPE);

class DisplayData
{
public:
    DisplayData();
    ~DisplayData();
    DisplayData(const DisplayData &) = delete;
    DisplayData &operator=(const DisplayData &) = delete;

    // 0 keeps every sounding, 1 those of head rxIndex 0, 2 those of rxIndex 1,
    // anything else every sounding. Takes effect at the next build.
    void setHead(qint32 head);
    void setOriginalData(CrossLineData *data);
    void setRecalculatedData(CrossLineData *data);

    QList<FloatPoint> seriesPoints(const QString &line, qint32 xId, qint32 yId) const;
    // The first sounding of the first line whose key is the suffix or ends
    // with "/" + suffix, whose two values lie within 1e-5 of x and y; an
    // all-zero record when there is none.
    SoundingData soundingAt(const QString &suffix, qint32 xId, double x, qint32 yId, double y) const;

    static const QString origSuffix; // " - orig"

private:
    friend struct DisplayDataInspector; // tests

    void buildLines(qint32 head, bool asLoaded);
    void buildLinesFromSoundings(qint32 head, bool asLoaded);

    CrossLineData *data = nullptr;
    qint32 head = 0;
    QHash<QString, QList<SoundingData>> lines;
};
