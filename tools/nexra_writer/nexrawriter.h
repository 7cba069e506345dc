#pragma once
// Writer of NEXRA raw files for tests and tools: "#IIP" installation
// datagrams, "#MRZ" multibeam depth datagrams, datagrams of any other type,
// and installation texts. All numbers are written little-endian.
//
// "#MRZ" layout written by default (offsets from the length field):
//   0 L, 4 "#MRZ", 8 version, 9 system id, 10 sounder id, 12 time s, 16 time ns,
//   20 datagram count/number, 24 common block (C = 12 bytes),
//   P = 24 + C: ping-information block (I = 152 bytes); inside it the fixed
//   fields 128 S, 132 heading, 144 reference level, 160 latitude,
//   168 longitude, 176 ellipsoid height, and E at P + 94,
//   P + I: S transmit-sector entries of E = 36 bytes,
//   R = P + I + S * E: receiver-information block (N = 32 bytes, K at R + 2,
//   X at R + 28), then X extra-detection entries of 4 bytes,
//   A = R + N + 4 * X: K soundings of 120 bytes (two-way time at 80,
//   delta latitude 88, delta longitude 92, z 96, y 100, x 104),
//   then a copy of L (4 bytes).
#include <QByteArray>
#include <QList>
#include <QString>
#include <QVector>

namespace nexra {

// --- sizes and offsets -------------------------------------------------------

constexpr int kSoundingSize = 120;
constexpr int kMrzCommonSize = 12;      // C
constexpr int kMrzPingInfoSize = 152;   // I
constexpr int kMrzTxSectorCount = 3;    // S
constexpr int kMrzTxSectorSize = 36;    // E
constexpr int kMrzRxInfoSize = 32;      // N
constexpr int kMrzExtraClassCount = 11; // X
constexpr int kIipTextOffset = 26;

// Largest datagrams the two readers take whole.
constexpr quint32 kIipBufferSize = 366456;
constexpr quint32 kMrzBufferSize = 16777184;

// --- records -----------------------------------------------------------------

struct MrzSoundingRecord {
    float twoWayTime = 0;     // seconds
    float deltaLatitude = 0;  // degrees, from the ping's latitude
    float deltaLongitude = 0; // degrees, from the ping's longitude
    float z = 0;              // metres, down, from the reference point
    float y = 0;              // metres, across, starboard positive
    float x = 0;              // metres, along, forward positive
};

struct MrzPingRecord {
    quint32 timeSec = 0;
    quint32 timeNanosec = 0;
    quint8 rxIndex = 0;
    quint8 rxCount = 1;
    float heading = 0;         // degrees, clockwise from north
    float referenceLevel = 0;  // metres, subtracted from each z
    double latitude = 0;       // degrees
    double longitude = 0;      // degrees
    float ellipsoidHeight = 0; // metres
    QVector<MrzSoundingRecord> soundings;
};

// Sizes written into an "#MRZ" datagram. The blocks are laid out by these
// sizes; a negative count or length means "as the content gives it". Use the
// overrides to build damaged datagrams. Fields written later win where blocks
// overlap: the fixed ping fields first, then the block sizes, then soundings.
struct MrzLayout {
    int commonSize = kMrzCommonSize;          // C, at 24
    int pingInfoSize = kMrzPingInfoSize;      // I, at P
    int txSectorCount = kMrzTxSectorCount;    // S, at 128
    int txSectorSize = kMrzTxSectorSize;      // E, at P + 94
    int rxInfoSize = kMrzRxInfoSize;          // N, at R
    int extraClassCount = kMrzExtraClassCount; // X, at R + 28
    int soundingCount = -1;     // K, at R + 2; -1: the number of soundings
    qint64 length = -1;         // L, at 0; -1: the datagram's real size
    bool trailingLength = true; // a copy of L as the last 4 bytes
};

// Where the blocks of an "#MRZ" datagram built with a layout lie.
struct MrzGeometry {
    int pingInfo = 0;   // P
    int rxInfo = 0;     // R
    int soundings = 0;  // A
    int size = 0;       // bytes of the datagram as built
};
MrzGeometry mrzGeometry(const MrzLayout &layout, int soundingCount);

struct IipOptions {
    quint32 timeSec = 0;
    quint32 timeNanosec = 0;
    bool nulTerminated = true;  // a NUL byte after the text
    bool trailingLength = true; // a copy of L as the last 4 bytes
    qint64 length = -1;         // L; -1: the real size
};

// --- datagrams ---------------------------------------------------------------

// L and the four type characters, then the payload.
QByteArray makeDatagram(const char *type, const QByteArray &payloadAfterType);

QByteArray makeIipDatagram(const QByteArray &installationText);
QByteArray makeIipDatagram(const QByteArray &installationText, const IipOptions &options);

QByteArray makeMrzDatagram(const MrzPingRecord &ping);
QByteArray makeMrzDatagram(const MrzPingRecord &ping, const MrzLayout &layout);

// Small datagrams of other types, as a sonar writes them between pings.
QByteArray makePositionDatagram(quint32 timeSec, quint32 timeNanosec, double latitude, double longitude);
QByteArray makeAttitudeDatagram(quint32 timeSec, quint32 timeNanosec, float roll, float pitch, float heading);
QByteArray makeRuntimeDatagram(quint32 timeSec, quint32 timeNanosec, const QByteArray &text);

// Little-endian patching of built datagrams.
void putU8(QByteArray &data, int offset, quint8 value);
void putU16(QByteArray &data, int offset, quint16 value);
void putU32(QByteArray &data, int offset, quint32 value);
void putF32(QByteArray &data, int offset, float value);
void putF64(QByteArray &data, int offset, double value);
quint16 getU16(const QByteArray &data, int offset);
quint32 getU32(const QByteArray &data, int offset);
float getF32(const QByteArray &data, int offset);
double getF64(const QByteArray &data, int offset);

// --- files -------------------------------------------------------------------

bool writeFile(const QString &path, const QList<QByteArray> &datagrams);

// --- installation text -------------------------------------------------------

struct InstallationTransducer {
    enum Side { Tx, Rx, Head }; // Head: one "TRAI_HD" group for both sides
    Side side = Tx;
    int number = 1;             // 1 or 2
    double x = 0, y = 0, z = 0; // metres
    float roll = 0, pitch = 0, heading = 0; // degrees
};

struct InstallationPositionSensor {
    int number = 1;
    double x = 0, y = 0, z = 0;
    float delay = 0;                         // seconds
    QString type = QStringLiteral("PU");     // "T"
    QString correction = QStringLiteral("On"); // "C"
    QString quality = QStringLiteral("On");  // "Q"
    QString state = QStringLiteral("ACTIVE"); // "U"; a null string writes no "U"
};

struct InstallationAttitudeSensor {
    int number = 1;
    double x = 0, y = 0, z = 0;
    float roll = 0, pitch = 0, heading = 0; // degrees
    int delay = 0;                            // milliseconds
    QString mode = QStringLiteral("HO");      // "M"
    QString state = QStringLiteral("ACTIVE"); // "U"; a null string writes no "U"
};

struct InstallationDescription {
    QVector<InstallationTransducer> transducers;
    QVector<InstallationPositionSensor> positionSensors;
    QVector<InstallationAttitudeSensor> attitudeSensors;
    bool otherGroups = true; // groups the reader ignores, as a sonar writes them
};

// One transmit and one receive transducer per head, one position sensor, one
// attitude sensor.
InstallationDescription defaultInstallation(int headCount = 1);

// Comma-separated groups "NAME:K=V;K=V;...". Numbers are written in the C
// locale with as few digits as read back to the same value.
QByteArray makeInstallationText(const InstallationDescription &installation);

} // namespace nexra
