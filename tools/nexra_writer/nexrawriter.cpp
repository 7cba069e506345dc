#include "nexrawriter.h"

#include <QFile>
#include <QLocale>
#include <QStringList>

#include <algorithm>
#include <cstring>

namespace nexra {

namespace {

constexpr quint8 kDatagramVersion = 1;
constexpr quint8 kSystemId = 0;
constexpr quint16 kSounderId = 400;

void ensureSize(QByteArray &data, int end)
{
    if (data.size() < end)
        data.append(QByteArray(end - data.size(), '\0'));
}

template <typename T>
void putRaw(QByteArray &data, int offset, T value)
{
    // The byte order of every supported build host is little-endian, as the
    // file format is.
    static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "little-endian host expected");
    if (offset < 0)
        return;
    ensureSize(data, offset + int(sizeof(T)));
    std::memcpy(data.data() + offset, &value, sizeof(T));
}

template <typename T>
T getRaw(const QByteArray &data, int offset)
{
    T value{};
    if (offset >= 0 && offset + int(sizeof(T)) <= data.size())
        std::memcpy(&value, data.constData() + offset, sizeof(T));
    return value;
}

// The common datagram header: L (filled in later), type, version, ids, time.
QByteArray header(const char *type, quint32 timeSec, quint32 timeNanosec)
{
    QByteArray data(20, '\0');
    std::memcpy(data.data() + 4, type, 4);
    putU8(data, 8, kDatagramVersion);
    putU8(data, 9, kSystemId);
    putU16(data, 10, kSounderId);
    putU32(data, 12, timeSec);
    putU32(data, 16, timeNanosec);
    return data;
}

void finish(QByteArray &data, bool trailingLength, qint64 length)
{
    if (trailingLength)
        data.append(QByteArray(4, '\0'));
    const quint32 real = quint32(data.size());
    if (trailingLength)
        putU32(data, data.size() - 4, real);
    putU32(data, 0, length < 0 ? real : quint32(length));
}

QString number(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

// Fewest digits that read back to the same float.
QString number(float value)
{
    for (int precision = 6; precision < 9; ++precision) {
        const QString text = QString::number(double(value), 'g', precision);
        if (float(text.toDouble()) == value)
            return text;
    }
    return QString::number(double(value), 'g', 9);
}

QString item(const char *key, const QString &value)
{
    return QLatin1String(key) + QLatin1Char('=') + value;
}

QString group(const QString &name, const QStringList &items)
{
    return name + QLatin1Char(':') + items.join(QLatin1Char(';'));
}

QString transducerGroup(const InstallationTransducer &t)
{
    static const char *const prefixes[] = {"TRAI_TX", "TRAI_RX", "TRAI_HD"};
    const QString name = QLatin1String(prefixes[t.side]) + QString::number(t.number);
    return group(name, {item("N", QStringLiteral("%1").arg(t.number * 100 + 17)),
                        item("X", number(t.x)), item("Y", number(t.y)), item("Z", number(t.z)),
                        item("R", number(t.roll)), item("P", number(t.pitch)),
                        item("H", number(t.heading)), item("S", QStringLiteral("0")),
                        item("V", QStringLiteral("1")), item("W", QStringLiteral("0"))});
}

QString positionGroup(const InstallationPositionSensor &p)
{
    QStringList items{item("X", number(p.x)), item("Y", number(p.y)), item("Z", number(p.z)),
                      item("D", number(p.delay)), item("G", QStringLiteral("WGS84")),
                      item("T", p.type), item("C", p.correction),
                      item("F", QStringLiteral("UNKNOWN")), item("Q", p.quality),
                      item("I", QStringLiteral("SERIAL_1"))};
    if (!p.state.isNull())
        items << item("U", p.state);
    return group(QStringLiteral("POSI_%1").arg(p.number), items);
}

QString attitudeGroup(const InstallationAttitudeSensor &a)
{
    QStringList items{item("X", number(a.x)), item("Y", number(a.y)), item("Z", number(a.z)),
                      item("R", number(a.roll)), item("P", number(a.pitch)),
                      item("H", number(a.heading)), item("D", QString::number(a.delay)),
                      item("M", a.mode), item("F", QStringLiteral("50")),
                      item("I", QStringLiteral("ETHERNET")), item("Q", QStringLiteral("ON"))};
    if (!a.state.isNull())
        items << item("U", a.state);
    return group(QStringLiteral("ATTI_%1").arg(a.number), items);
}

} // namespace

// --- patching ----------------------------------------------------------------

void putU8(QByteArray &data, int offset, quint8 value) { putRaw(data, offset, value); }
void putU16(QByteArray &data, int offset, quint16 value) { putRaw(data, offset, value); }
void putU32(QByteArray &data, int offset, quint32 value) { putRaw(data, offset, value); }
void putF32(QByteArray &data, int offset, float value) { putRaw(data, offset, value); }
void putF64(QByteArray &data, int offset, double value) { putRaw(data, offset, value); }
quint16 getU16(const QByteArray &data, int offset) { return getRaw<quint16>(data, offset); }
quint32 getU32(const QByteArray &data, int offset) { return getRaw<quint32>(data, offset); }
float getF32(const QByteArray &data, int offset) { return getRaw<float>(data, offset); }
double getF64(const QByteArray &data, int offset) { return getRaw<double>(data, offset); }

// --- datagrams ---------------------------------------------------------------

QByteArray makeDatagram(const char *type, const QByteArray &payloadAfterType)
{
    QByteArray data(8, '\0');
    std::memcpy(data.data() + 4, type, 4);
    data.append(payloadAfterType);
    putU32(data, 0, quint32(data.size()));
    return data;
}

QByteArray makeIipDatagram(const QByteArray &installationText)
{
    return makeIipDatagram(installationText, IipOptions());
}

QByteArray makeIipDatagram(const QByteArray &installationText, const IipOptions &options)
{
    QByteArray data = header("#IIP", options.timeSec, options.timeNanosec);
    putU16(data, 20, 6); // size of the common part before the text
    putU16(data, 22, 0); // info
    putU16(data, 24, 0); // status
    data.append(installationText);
    if (options.nulTerminated) {
        data.append('\0');
        while (data.size() % 4 != 0)
            data.append('\0');
    }
    finish(data, options.trailingLength, options.length);
    return data;
}

MrzGeometry mrzGeometry(const MrzLayout &layout, int soundingCount)
{
    MrzGeometry g;
    g.pingInfo = 24 + layout.commonSize;
    g.rxInfo = g.pingInfo + layout.pingInfoSize + layout.txSectorCount * layout.txSectorSize;
    g.soundings = g.rxInfo + layout.rxInfoSize + 4 * layout.extraClassCount;
    // The fixed ping fields end at 180, whatever the blocks declare.
    g.size = std::max(g.soundings + kSoundingSize * soundingCount, 180)
             + (layout.trailingLength ? 4 : 0);
    return g;
}

QByteArray makeMrzDatagram(const MrzPingRecord &ping)
{
    return makeMrzDatagram(ping, MrzLayout());
}

QByteArray makeMrzDatagram(const MrzPingRecord &ping, const MrzLayout &layout)
{
    const int count = ping.soundings.size();
    const MrzGeometry g = mrzGeometry(layout, count);
    const int body = g.size - (layout.trailingLength ? 4 : 0);
    const int sectors = g.pingInfo + layout.pingInfoSize;

    QByteArray data = header("#MRZ", ping.timeSec, ping.timeNanosec);
    ensureSize(data, body);
    putU16(data, 20, 1); // datagrams of this ping
    putU16(data, 22, 1); // number of this datagram

    // Common block.
    putU16(data, 24, quint16(layout.commonSize));
    putU16(data, 26, quint16(ping.timeSec & 0xffff)); // ping counter
    putU8(data, 28, ping.rxCount);                    // fans per ping
    putU8(data, 29, ping.rxIndex);                    // fan index
    putU8(data, 30, 1);                               // swaths per ping
    putU8(data, 31, 0);                               // swath along position
    putU8(data, 32, ping.rxIndex);                    // transmit transducer
    putU8(data, 33, ping.rxIndex);                    // receive transducer
    putU8(data, 34, ping.rxCount);                    // receive transducers
    putU8(data, 35, 0);                               // algorithm

    // Ping information: a few plausible runtime values, then the fixed fields.
    const int p = g.pingInfo;
    putF32(data, p + 4, 2.0f);      // ping rate, Hz
    putU8(data, p + 8, 1);          // beam spacing
    putU8(data, p + 9, 2);          // depth mode
    putF32(data, p + 12, 300000.f); // frequency, Hz
    putF32(data, 136, 0.f);         // heave or other vessel value, not read
    putF32(data, 140, 1500.f);      // sound speed at the transducer, m/s
    putF32(data, 144, ping.referenceLevel);
    putF32(data, 148, 0.f);
    putF32(data, 152, 0.f);
    putF32(data, 156, 0.f);
    putF64(data, 160, ping.latitude);
    putF64(data, 168, ping.longitude);
    putF32(data, 176, ping.ellipsoidHeight);
    putF32(data, 132, ping.heading);

    // Block sizes.
    putU16(data, p, quint16(layout.pingInfoSize));
    putU16(data, 128, quint16(layout.txSectorCount));
    putU16(data, p + 94, quint16(layout.txSectorSize));

    // Transmit sectors.
    if (layout.txSectorSize >= 16) {
        for (int s = 0; s < layout.txSectorCount; ++s) {
            const int at = sectors + s * layout.txSectorSize;
            putU8(data, at, quint8(s));
            putF32(data, at + 8, 0.f);                      // tilt, degrees
            putF32(data, at + 12, 200.f);                   // source level
        }
    }

    // Receiver information.
    const int r = g.rxInfo;
    putU16(data, r, quint16(layout.rxInfoSize));
    putU16(data, r + 2, quint16(layout.soundingCount < 0 ? count : layout.soundingCount));
    putU16(data, r + 4, quint16(count));          // valid soundings
    putU16(data, r + 6, quint16(kSoundingSize));  // bytes per sounding
    putF32(data, r + 8, 30000.f);                 // sample rate
    putU16(data, r + 28, quint16(layout.extraClassCount));
    putU16(data, r + 30, 4);                      // bytes per extra class

    // Soundings.
    for (int k = 0; k < count; ++k) {
        const MrzSoundingRecord &s = ping.soundings.at(k);
        const int at = g.soundings + kSoundingSize * k;
        putU16(data, at, quint16(k));          // sounding index
        putU8(data, at + 4, 1);                // detection method
        putF32(data, at + 16, 0.5f);           // quality factor
        putF32(data, at + 80, s.twoWayTime);
        putF32(data, at + 88, s.deltaLatitude);
        putF32(data, at + 92, s.deltaLongitude);
        putF32(data, at + 96, s.z);
        putF32(data, at + 100, s.y);
        putF32(data, at + 104, s.x);
    }

    data.resize(body);
    finish(data, layout.trailingLength, layout.length);
    return data;
}

QByteArray makePositionDatagram(quint32 timeSec, quint32 timeNanosec, double latitude, double longitude)
{
    QByteArray data = header("#SPO", timeSec, timeNanosec);
    putU16(data, 20, 8);  // common part size
    putU16(data, 22, 0);  // sensor system
    putU16(data, 24, 0);  // sensor status
    putU16(data, 26, 0);
    putU32(data, 28, timeSec);
    putU32(data, 32, timeNanosec);
    putF32(data, 36, 0.5f); // fix quality, metres
    putF64(data, 40, latitude);
    putF64(data, 48, longitude);
    putF32(data, 56, 4.f); // speed over ground
    putF32(data, 60, 0.f);
    putF32(data, 64, 0.f);
    data.append(QByteArray("$GPGGA,,,,,,,,,,,,,,*00"));
    data.append('\0');
    while (data.size() % 4 != 0)
        data.append('\0');
    finish(data, true, -1);
    return data;
}

QByteArray makeAttitudeDatagram(quint32 timeSec, quint32 timeNanosec, float roll, float pitch, float heading)
{
    QByteArray data = header("#SKM", timeSec, timeNanosec);
    putU16(data, 20, 12); // info part size
    putU8(data, 22, 1);   // sensor system
    putU8(data, 23, 0);
    putU16(data, 24, 0);
    putU16(data, 26, 1);  // samples
    putU16(data, 28, 40); // bytes per sample
    putU16(data, 30, 0);
    putU32(data, 32, timeSec);
    putU32(data, 36, timeNanosec);
    putF32(data, 40, roll);
    putF32(data, 44, pitch);
    putF32(data, 48, heading);
    putF32(data, 52, 0.f); // heave
    ensureSize(data, 72);
    finish(data, true, -1);
    return data;
}

QByteArray makeRuntimeDatagram(quint32 timeSec, quint32 timeNanosec, const QByteArray &text)
{
    QByteArray data = header("#IOP", timeSec, timeNanosec);
    putU16(data, 20, 6);
    putU16(data, 22, 0);
    putU16(data, 24, 0);
    data.append(text);
    data.append('\0');
    while (data.size() % 4 != 0)
        data.append('\0');
    finish(data, true, -1);
    return data;
}

// --- files -------------------------------------------------------------------

bool writeFile(const QString &path, const QList<QByteArray> &datagrams)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    for (const QByteArray &d : datagrams) {
        if (file.write(d) != d.size())
            return false;
    }
    return file.flush();
}

// --- installation text -------------------------------------------------------

InstallationDescription defaultInstallation(int headCount)
{
    InstallationDescription inst;
    const int heads = std::max(1, std::min(headCount, 2));
    for (int head = 1; head <= heads; ++head) {
        const double side = heads == 1 ? 0.0 : (head == 1 ? -0.4 : 0.4);
        InstallationTransducer tx;
        tx.side = InstallationTransducer::Tx;
        tx.number = head;
        tx.x = 0.5;
        tx.y = side;
        tx.z = 1.5;
        InstallationTransducer rx = tx;
        rx.side = InstallationTransducer::Rx;
        rx.x = 0.3;
        inst.transducers << tx << rx;
    }
    InstallationPositionSensor pos;
    pos.x = 0.2;
    pos.z = -3.0;
    inst.positionSensors << pos;
    InstallationAttitudeSensor att;
    att.z = -0.5;
    inst.attitudeSensors << att;
    return inst;
}

QByteArray makeInstallationText(const InstallationDescription &installation)
{
    QStringList groups;
    if (installation.otherGroups) {
        groups << QStringLiteral("OSCV:Empty") << QStringLiteral("NXSV:NX40")
               << QStringLiteral("PU_0") << QStringLiteral("SN=10042")
               << QStringLiteral("IP=192.0.2.40:0xffff0000") << QStringLiteral("UDP=1997")
               << QStringLiteral("TYPE=CPU") << QStringLiteral("DCL:VERSIONS:")
               << QStringLiteral("VERSIONS-END");
    }
    for (const InstallationTransducer &t : installation.transducers)
        groups << transducerGroup(t);
    for (const InstallationPositionSensor &p : installation.positionSensors)
        groups << positionGroup(p);
    for (const InstallationAttitudeSensor &a : installation.attitudeSensors)
        groups << attitudeGroup(a);
    if (installation.otherGroups) {
        groups << QStringLiteral("GYRI_1:X=0;Y=0;Z=0;U=NOT_SET")
               << QStringLiteral("TQXI_1:U=NOT_SET")
               << QStringLiteral("DPHI:U=NOT_SET");
    }
    return groups.join(QLatin1Char(',')).toUtf8();
}

} // namespace nexra
