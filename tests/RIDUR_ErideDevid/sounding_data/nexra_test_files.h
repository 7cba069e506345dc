#pragma once
// Raw-file fixtures of the data-object tests, built with the NEXRA writer.
//
// The survey patch: a cross line along the meridian 20 E from latitude 10.0
// to 10.01, corridor 100 m wide. Positions in Mercator centimetres on WGS 84
// (PROJ's cs2cs, "proj=merc units=cm ellps=WGS84"):
//   lat 10.0,  lon 20.0 -> easting 222638981.586547, northing 111147510.285222
//   lat 10.01, lon 20.0 ->                            northing 111259814.768047
#include "crosslinedata_test_support.h"
#include "nexrawriter.h"

#include <QByteArray>
#include <QList>

namespace fixture {

constexpr qint32 lineX = 222638981;
constexpr qint32 lineStartY = 111147510;
constexpr qint32 lineEndY = 111259814;
constexpr float width = 100.0f;
constexpr double pingLatitude = 10.005;
constexpr double pingLongitude = 20.0;

inline nexra::MrzSoundingRecord sounding(float dLat, float dLon, float z = 25.5f)
{
    nexra::MrzSoundingRecord s;
    s.twoWayTime = 0.034f;
    s.deltaLatitude = dLat;
    s.deltaLongitude = dLon;
    s.z = z;
    s.y = dLon * 1000.0f;
    s.x = dLat * 1000.0f;
    return s;
}

// A ping in the middle of the corridor whose soundings all lie inside.
inline nexra::MrzPingRecord insidePing(int soundings = 1, quint32 second = 1600000000)
{
    nexra::MrzPingRecord p;
    p.timeSec = second;
    p.timeNanosec = 0;
    p.heading = 3.5f;
    p.latitude = pingLatitude;
    p.longitude = pingLongitude;
    for (int i = 0; i < soundings; ++i)
        p.soundings << sounding(0.0f, 0.0001f * i);
    return p;
}

inline QByteArray installationText(float txRoll = 0.0f)
{
    nexra::InstallationDescription inst = nexra::defaultInstallation(1);
    inst.transducers[0].roll = txRoll;
    return nexra::makeInstallationText(inst);
}

inline QByteArray iip(float txRoll = 0.0f)
{
    return nexra::makeIipDatagram(installationText(txRoll));
}

inline QByteArray mrz(int soundings = 1, quint32 second = 1600000000)
{
    return nexra::makeMrzDatagram(insidePing(soundings, second));
}

// The datagram grown to length bytes (zero-padded) with L patched to match.
inline QByteArray padded(QByteArray datagram, int length)
{
    datagram.append(QByteArray(length - datagram.size(), '\0'));
    nexra::putU32(datagram, 0, quint32(length));
    return datagram;
}

} // namespace fixture

// A data object with the fixture's corridor set, loading raw files.
class CorridorLoadTest : public CrossLineDataTest
{
protected:
    void SetUp() override
    {
        CrossLineDataTest::SetUp();
        data.setCrossLine(fixture::lineX, fixture::lineStartY, fixture::lineX, fixture::lineEndY);
        data.setCorridorWidth(fixture::width);
    }

    // Writes the datagrams into a raw file of that name and returns its path.
    QString write(const QString &name, const QList<QByteArray> &datagrams)
    {
        const QString file = path(name);
        EXPECT_TRUE(nexra::writeFile(file, datagrams));
        return file;
    }

    // Names one raw file, loads it and returns its kept soundings.
    QList<SoundingData> load(const QString &file)
    {
        data.clearData();
        data.addRawFile(file);
        data.generateRegionData();
        return CrossLineDataInspector::regionSoundings(data).value(file);
    }
};
