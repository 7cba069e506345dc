#pragma once
// Shared fixtures of the data-object tests: access to the object's members,
// a projection definition in the test's own folder, and a data object with
// a corridor set.
#include "crosslinedata.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

struct CrossLineDataInspector {
    static const qint32 *corridorCorners(const CrossLineData &d) { return d.corridorCorners; }
    static const qint32 *regionCorners(const CrossLineData &d) { return d.regionCorners; }
    static const qint32 *crossLine(const CrossLineData &d) { return d.crossLine; }
    static QHash<QString, QList<SoundingData>> &regionSoundings(CrossLineData &d) { return d.regionSoundings; }
    static QHash<QString, QList<SoundingData>> &loadedCorridorSoundings(CrossLineData &d) { return d.loadedCorridorSoundings; }
    static bool invertEllipsoidDepth(const CrossLineData &d) { return d.invertEllipsoidDepth; }
    static bool nexraFile(const CrossLineData &d) { return d.nexraFile; }
    static void setNexraFile(CrossLineData &d, bool value) { d.nexraFile = value; }
    static QString projectionFile(const CrossLineData &d) { return d.projectionFile; }
    // Roll, pitch, heading and motion-delay corrections of the next recalculation.
    static QList<double> attitudeCorrections(const CrossLineData &d)
    {
        return {d.rollCorrection, d.pitchCorrection, d.headingCorrection,
                double(d.motionDelayCorrection)};
    }
};

// Writes the Mercator-in-centimetres definition into dir and returns its path.
inline QString writeProjectionDefinition(const QTemporaryDir &dir)
{
    const QString path = dir.filePath(QStringLiteral("projection.txt"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write("<tag>\nEPSG:4326\n+proj=merc +units=cm +ellps=WGS84\n");
    return path;
}

// A data object with the test projection loaded.
class CrossLineDataTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        data.setProjectionFile(writeProjectionDefinition(dir));
    }

    QString path(const QString &name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    CrossLineData data;
};


#include <QEventLoop>
#include <QTimer>

// Queues a load on a data object living in another thread and waits, in this
// thread's event loop, for its answer (received by queued delivery). As the
// window does, the job is handed over and its answer taken up through the
// data object's handoff.
inline bool loadInDataThread(CrossLineData *data, int timeoutMs = 60000)
{
    QEventLoop loop;
    bool answered = false;
    QObject::connect(data, &CrossLineData::regionDataReady, &loop, [&] {
        data->handoff().takeAnswer();
        answered = true;
        loop.quit();
    }, Qt::QueuedConnection);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    data->handoff().handOver(
        [data] { QMetaObject::invokeMethod(data, "generateRegionData", Qt::QueuedConnection); });
    loop.exec();
    return answered;
}
