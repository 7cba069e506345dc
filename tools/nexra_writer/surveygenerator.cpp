#include "surveygenerator.h"

#include <QDir>
#include <QFile>

#include <proj.h>

#include <algorithm>
#include <cmath>

namespace nexra {

namespace {

constexpr double kSemiMajor = 6378137.0;
constexpr double kInverseFlattening = 298.257223563;
constexpr double kDegToRad = 0.017453292519943295;
constexpr double kRadToDeg = 57.29577951308232;

double eccentricitySquared()
{
    const double f = 1.0 / kInverseFlattening;
    return (2.0 - f) * f;
}

// The first-order correction by roll and pitch errors (radians), roll first:
// what the recalculation does to a recorded point (along, across, depth).
void firstOrderCorrection(double r, double p, double &x, double &y, double &z)
{
    const double y1 = y - r * z;
    const double z1 = z + r * y;
    const double z2 = (1.0 - p * p) * z1;
    x = x + p * z2;
    y = y1;
    z = z2;
}

} // namespace

// --- mounting ----------------------------------------------------------------

void rotateByMounting(const MountingAngles &angles, double &x, double &y, double &z)
{
    const double r = angles.roll * kDegToRad;
    const double p = angles.pitch * kDegToRad;
    const double h = angles.heading * kDegToRad;
    // Rx(roll): starboard side down.
    const double y1 = y * std::cos(r) - z * std::sin(r);
    const double z1 = y * std::sin(r) + z * std::cos(r);
    // Ry(pitch): bow up.
    const double x2 = x * std::cos(p) + z1 * std::sin(p);
    const double z2 = -x * std::sin(p) + z1 * std::cos(p);
    // Rz(heading): clockwise seen from above.
    x = x2 * std::cos(h) - y1 * std::sin(h);
    y = x2 * std::sin(h) + y1 * std::cos(h);
    z = z2;
}

// --- geodesy -----------------------------------------------------------------

GeoPoint offsetPosition(double latitude, double longitude, double headingRadians,
                        double across, double along)
{
    const double e2 = eccentricitySquared();
    const double phi = latitude * kDegToRad;
    const double w = 1.0 - e2 * std::sin(phi) * std::sin(phi);
    const double c = std::cos(headingRadians);
    const double s = std::sin(headingRadians);
    GeoPoint p;
    p.latitude = latitude + std::sqrt(w * w * w) * kRadToDeg / ((1.0 - e2) * kSemiMajor)
                                * (along * c - across * s);
    p.longitude = longitude + std::sqrt(w) * kRadToDeg / (std::cos(phi) * kSemiMajor)
                                  * (along * s + across * c);
    return p;
}

// --- projection --------------------------------------------------------------

struct SurveyProjection::Private {
    PJ_CONTEXT *context = nullptr;
    PJ *transformation = nullptr;
};

SurveyProjection::SurveyProjection(const QString &targetCrs, const QString &sourceCrs)
    : d(new Private)
{
    d->context = proj_context_create();
    PJ *created = proj_create_crs_to_crs(d->context, sourceCrs.toUtf8().constData(),
                                         targetCrs.toUtf8().constData(), nullptr);
    if (created) {
        d->transformation = proj_normalize_for_visualization(d->context, created);
        proj_destroy(created);
    }
}

SurveyProjection::~SurveyProjection()
{
    proj_destroy(d->transformation);
    proj_context_destroy(d->context);
}

bool SurveyProjection::isValid() const { return d->transformation != nullptr; }

bool SurveyProjection::toProjected(double latitude, double longitude, double *northing,
                                   double *easting) const
{
    if (!d->transformation)
        return false;
    const PJ_COORD out = proj_trans(d->transformation, PJ_FWD, proj_coord(longitude, latitude, 0, 0));
    *easting = out.xy.x;
    *northing = out.xy.y;
    return std::isfinite(out.xy.x) && std::isfinite(out.xy.y);
}

bool SurveyProjection::toGeographic(double northing, double easting, double *latitude,
                                    double *longitude) const
{
    if (!d->transformation)
        return false;
    const PJ_COORD out = proj_trans(d->transformation, PJ_INV, proj_coord(easting, northing, 0, 0));
    *longitude = out.lp.lam;
    *latitude = out.lp.phi;
    return std::isfinite(out.lp.lam) && std::isfinite(out.lp.phi);
}

GeoPoint SurveyProjection::geographic(double northing, double easting) const
{
    GeoPoint p;
    toGeographic(northing, easting, &p.latitude, &p.longitude);
    return p;
}

// --- seafloor and corridor ---------------------------------------------------

double Seafloor::depthAt(double east, double north) const
{
    double z = depth + slopeEast * east + slopeNorth * north;
    for (const SeafloorFeature &f : features) {
        const double de = east - f.east;
        const double dn = north - f.north;
        z -= f.height * std::exp(-(de * de + dn * dn) / (2.0 * f.radius * f.radius));
    }
    return z;
}

bool Corridor::contains(double northing, double easting, double margin) const
{
    const double de = endEasting - startEasting;
    const double dn = endNorthing - startNorthing;
    const double length = std::hypot(de, dn);
    if (length <= 0)
        return false;
    const double pe = easting - startEasting;
    const double pn = northing - startNorthing;
    const double along = (pe * de + pn * dn) / length;
    const double across = std::fabs(pe * dn - pn * de) / length;
    return along >= margin && along <= length - margin && across <= width * 50.0 - margin;
}

// --- generator ---------------------------------------------------------------

struct SurveyGenerator::Ping {
    MrzPingRecord record;
    double timeSec = 0;
};

SurveyGenerator::SurveyGenerator(const SurveyConfig &config)
    : cfg(config)
{
    cfg.sonar.headCount = std::max(1, std::min(cfg.sonar.headCount, 2));
    cfg.sonar.beamCount = std::max(1, cfg.sonar.beamCount);

    const double e2 = eccentricitySquared();
    const double phi = cfg.seafloor.origin.latitude * kDegToRad;
    const double w = 1.0 - e2 * std::sin(phi) * std::sin(phi);
    metresPerDegreeLat = (1.0 - e2) * kSemiMajor / std::sqrt(w * w * w) * kDegToRad;
    metresPerDegreeLon = kSemiMajor * std::cos(phi) / std::sqrt(w) * kDegToRad;

    double nextStart = cfg.startTime;
    const qint64 soundingsPerPing = qint64(cfg.sonar.beamCount) * cfg.sonar.headCount;
    for (int line = 0; line < cfg.lines.size(); ++line) {
        const SurveyLine &l = cfg.lines.at(line);
        const double start = l.startTime > 0 ? l.startTime : nextStart;
        lineStart << start;
        const int pings = pingCount(line);
        nextStart = start + (pings - 1) / std::max(l.pingRate, 1e-6) + 60.0;

        const int perFile = l.pingsPerFile > 0 ? l.pingsPerFile : std::max(pings, 1);
        const int parts = std::max(1, (pings + perFile - 1) / perFile);
        const QString base = l.name.isEmpty()
                                 ? QStringLiteral("line%1").arg(line + 1, 2, 10, QLatin1Char('0'))
                                 : l.name;
        for (int part = 0; part < parts; ++part) {
            FileInfo info;
            info.line = line;
            info.firstPing = part * perFile;
            info.pingCount = std::min(perFile, pings - info.firstPing);
            info.soundingCount = info.pingCount * soundingsPerPing;
            info.name = base
                        + (parts > 1 ? QStringLiteral("_%1").arg(part + 1, 3, 10, QLatin1Char('0'))
                                     : QString())
                        + QStringLiteral(".nexra");
            fileList << info;
        }
    }
}

SurveyGenerator::~SurveyGenerator() = default;

void SurveyGenerator::toLocal(double latitude, double longitude, double *east, double *north) const
{
    *north = (latitude - cfg.seafloor.origin.latitude) * metresPerDegreeLat;
    *east = (longitude - cfg.seafloor.origin.longitude) * metresPerDegreeLon;
}

GeoPoint SurveyGenerator::fromLocal(double east, double north) const
{
    GeoPoint p;
    p.latitude = cfg.seafloor.origin.latitude + north / metresPerDegreeLat;
    p.longitude = cfg.seafloor.origin.longitude + east / metresPerDegreeLon;
    return p;
}

double SurveyGenerator::trueDepthAt(double latitude, double longitude) const
{
    double east, north;
    toLocal(latitude, longitude, &east, &north);
    return cfg.seafloor.depthAt(east, north);
}

double SurveyGenerator::trueEllipsoidDepthAt(double latitude, double longitude) const
{
    return trueDepthAt(latitude, longitude) - cfg.sonar.waterEllipsoidHeight;
}

double SurveyGenerator::tideAt(double timeSec) const
{
    if (cfg.sonar.tideAmplitude == 0 || cfg.sonar.tidePeriod <= 0)
        return 0;
    return cfg.sonar.tideAmplitude * std::sin(6.283185307179586 * (timeSec - cfg.startTime) / cfg.sonar.tidePeriod);
}

int SurveyGenerator::pingCount(int line) const
{
    const SurveyLine &l = cfg.lines.at(line);
    double e0, n0, e1, n1;
    toLocal(l.start.latitude, l.start.longitude, &e0, &n0);
    toLocal(l.end.latitude, l.end.longitude, &e1, &n1);
    const double length = std::hypot(e1 - e0, n1 - n0);
    if (l.speed <= 0 || l.pingRate <= 0)
        return 1;
    return int(std::floor(length / l.speed * l.pingRate + 1e-9)) + 1;
}

QByteArray SurveyGenerator::installationText() const
{
    if (!cfg.installationText.isEmpty())
        return cfg.installationText;
    InstallationDescription installation = defaultInstallation(cfg.sonar.headCount);
    const MountingAngles &angles = cfg.mounting.installation;
    for (InstallationAttitudeSensor &sensor : installation.attitudeSensors) {
        sensor.roll = float(angles.roll);
        sensor.pitch = float(angles.pitch);
        sensor.heading = float(angles.heading);
    }
    return makeInstallationText(installation);
}

SurveyGenerator::Ping SurveyGenerator::makePing(int line, int ping, int head, int file,
                                                QVector<GeneratedSounding> *truth) const
{
    const SurveyLine &l = cfg.lines.at(line);
    const SonarSettings &sonar = cfg.sonar;

    double e0, n0, e1, n1;
    toLocal(l.start.latitude, l.start.longitude, &e0, &n0);
    toLocal(l.end.latitude, l.end.longitude, &e1, &n1);
    const double length = std::hypot(e1 - e0, n1 - n0);
    const double ue = length > 0 ? (e1 - e0) / length : 0.0;
    const double un = length > 0 ? (n1 - n0) / length : 1.0;
    double headingDeg = std::atan2(ue, un) * kRadToDeg;
    if (headingDeg < 0)
        headingDeg += 360.0;

    // Time in whole nanoseconds, so that seconds and nanoseconds stay exact.
    const qint64 startNs = qint64(std::llround(lineStart.at(line) * 1e9));
    const qint64 stepNs = qint64(std::llround(1e9 / l.pingRate));
    const qint64 timeNs = startNs + stepNs * ping;

    Ping out;
    out.timeSec = double(timeNs) / 1e9;
    MrzPingRecord &rec = out.record;
    rec.timeSec = quint32(timeNs / 1000000000);
    rec.timeNanosec = quint32(timeNs % 1000000000);
    rec.rxIndex = quint8(head);
    rec.rxCount = quint8(sonar.headCount);
    rec.heading = float(headingDeg);
    rec.referenceLevel = sonar.referenceLevel;
    const double travelled = l.speed * ping / l.pingRate;
    const GeoPoint position = fromLocal(e0 + ue * travelled, n0 + un * travelled);
    rec.latitude = position.latitude;
    rec.longitude = position.longitude;
    const double tide = tideAt(out.timeSec);
    rec.ellipsoidHeight = float(sonar.waterEllipsoidHeight + tide + double(sonar.referenceLevel));

    const Mounting &mounting = cfg.mounting;
    const bool rigid = mounting.model == Mounting::Rigid;
    const double recordedHeading = double(rec.heading) * kDegToRad;
    // Rigid: the true fan is turned inside the vessel frame. FirstOrder: the
    // recorded fan corrected to first order, placed with the heading error.
    const double trueHeading =
        rigid ? recordedHeading
              : (double(rec.heading) + mounting.truth.heading - mounting.installation.heading) * kDegToRad;
    const double rollError = (mounting.truth.roll - mounting.installation.roll) * kDegToRad;
    const double pitchError = (mounting.truth.pitch - mounting.installation.pitch) * kDegToRad;

    // Depth below the water level where the true ray is at offsets (x, y).
    auto seafloorBelow = [&](double x, double y, GeoPoint *where) {
        const GeoPoint p = offsetPosition(rec.latitude, rec.longitude, trueHeading, y, x);
        if (where)
            *where = p;
        return trueDepthAt(p.latitude, p.longitude) + tide;
    };

    const int beams = sonar.beamCount;
    const double halfSwath = sonar.swathAngle * 0.5;
    rec.soundings.resize(beams);
    for (int k = 0; k < beams; ++k) {
        double angle;
        if (sonar.headCount == 1)
            angle = beams == 1 ? 0.0 : -halfSwath + k * sonar.swathAngle / (beams - 1);
        else
            angle = (head == 0 ? -halfSwath : 0.0) + (k + 0.5) * halfSwath / beams;
        const double a = angle * kDegToRad;

        // The direction the processing gives the beam, and its true one.
        double vx = 0, vy = std::sin(a), vz = std::cos(a);
        rotateByMounting(mounting.installation, vx, vy, vz);
        double wx = 0, wy = std::sin(a), wz = std::cos(a);
        if (rigid) {
            rotateByMounting(mounting.truth, wx, wy, wz);
        } else {
            wx = vx;
            wy = vy;
            wz = vz;
            firstOrderCorrection(rollError, pitchError, wx, wy, wz);
        }

        // Range to the seafloor along the true ray: fixed-point iteration,
        // bisection when the slope is too steep for it.
        double range = seafloorBelow(0, 0, nullptr) / wz;
        bool converged = false;
        for (int i = 0; i < 100 && !converged; ++i) {
            const double next = seafloorBelow(range * wx, range * wy, nullptr) / wz;
            converged = std::fabs(next - range) < 1e-9;
            range = next;
        }
        if (!converged) {
            double lo = 0, hi = 1;
            while (hi * wz < seafloorBelow(hi * wx, hi * wy, nullptr) && hi < 1e6)
                hi *= 2;
            for (int i = 0; i < 200; ++i) {
                const double mid = 0.5 * (lo + hi);
                (mid * wz < seafloorBelow(mid * wx, mid * wy, nullptr) ? lo : hi) = mid;
            }
            range = 0.5 * (lo + hi);
        }

        GeoPoint truePosition;
        const double depthBelowWater = seafloorBelow(range * wx, range * wy, &truePosition);

        // What the processing records: the same range along its direction.
        const double recAcross = range * vy;
        const double recDepth = range * vz;
        const double recAlong = range * vx;
        const GeoPoint recPosition =
            offsetPosition(rec.latitude, rec.longitude, recordedHeading, recAcross, recAlong);

        MrzSoundingRecord &s = rec.soundings[k];
        const double slant = range * std::sqrt(wx * wx + wy * wy + wz * wz);
        s.twoWayTime = float(2.0 * slant / sonar.soundSpeed);
        s.deltaLatitude = float(recPosition.latitude - rec.latitude);
        s.deltaLongitude = float(recPosition.longitude - rec.longitude);
        s.z = float(recDepth + double(sonar.referenceLevel));
        s.y = float(recAcross);
        s.x = float(recAlong);

        if (truth) {
            GeneratedSounding g;
            g.file = file;
            g.line = line;
            g.ping = ping;
            g.head = head;
            g.beam = k;
            g.timeMs = qint64(rec.timeSec) * 1000 + rec.timeNanosec / 1000000;
            g.pingLatitude = rec.latitude;
            g.pingLongitude = rec.longitude;
            g.heading = rec.heading;
            g.latitude = rec.latitude + double(s.deltaLatitude);
            g.longitude = rec.longitude + double(s.deltaLongitude);
            g.depth = s.z - rec.referenceLevel;
            g.across = s.y;
            g.along = s.x;
            g.twoWayTime = s.twoWayTime;
            g.ellipsoidDepth = double(s.z - rec.ellipsoidHeight);
            g.trueLatitude = truePosition.latitude;
            g.trueLongitude = truePosition.longitude;
            g.trueDepth = depthBelowWater;
            g.trueEllipsoidDepth = trueEllipsoidDepthAt(truePosition.latitude, truePosition.longitude);
            g.trueAcross = range * wy;
            g.trueAlong = range * wx;
            truth->append(g);
        }
    }
    return out;
}

void SurveyGenerator::visitFile(int file, const std::function<void(const QByteArray &)> &datagram,
                                const std::function<void(const GeneratedSounding &)> &sounding) const
{
    const FileInfo &info = fileList.at(file);
    QVector<GeneratedSounding> truth;
    QVector<GeneratedSounding> *truthPtr = sounding ? &truth : nullptr;
    for (int i = 0; i < info.pingCount; ++i) {
        const int ping = info.firstPing + i;
        for (int head = 0; head < cfg.sonar.headCount; ++head) {
            truth.clear();
            const Ping p = makePing(info.line, ping, head, file, truthPtr);
            if (datagram) {
                const MrzPingRecord &r = p.record;
                if (i == 0 && head == 0) {
                    IipOptions options;
                    options.timeSec = r.timeSec;
                    options.timeNanosec = r.timeNanosec;
                    datagram(makeIipDatagram(installationText(), options));
                    if (cfg.sonar.otherDatagrams)
                        datagram(makeRuntimeDatagram(r.timeSec, r.timeNanosec,
                                                     "#IOP runtime: depth mode auto, swath "
                                                         + QByteArray::number(cfg.sonar.swathAngle)));
                }
                if (head == 0 && cfg.sonar.otherDatagrams) {
                    datagram(makeAttitudeDatagram(r.timeSec, r.timeNanosec, 0.f, 0.f, r.heading));
                    datagram(makePositionDatagram(r.timeSec, r.timeNanosec, r.latitude, r.longitude));
                }
                datagram(makeMrzDatagram(r));
            }
            if (sounding) {
                for (const GeneratedSounding &g : truth)
                    sounding(g);
            }
        }
    }
}

QList<QByteArray> SurveyGenerator::fileDatagrams(int file) const
{
    QList<QByteArray> out;
    visitFile(file, [&](const QByteArray &d) { out << d; }, nullptr);
    return out;
}

bool SurveyGenerator::write(const QString &folder, QStringList *paths, QString *error) const
{
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("cannot create folder %1").arg(folder);
        return false;
    }
    for (int f = 0; f < fileList.size(); ++f) {
        const QString path = QDir(folder).filePath(fileList.at(f).name);
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            if (error)
                *error = QStringLiteral("cannot write %1").arg(path);
            return false;
        }
        bool ok = true;
        visitFile(f, [&](const QByteArray &d) { ok = ok && out.write(d) == d.size(); }, nullptr);
        if (!ok || !out.flush()) {
            if (error)
                *error = QStringLiteral("cannot write %1").arg(path);
            return false;
        }
        if (paths)
            *paths << path;
    }
    return true;
}

void SurveyGenerator::forEachSounding(int file,
                                      const std::function<void(const GeneratedSounding &)> &visit) const
{
    visitFile(file, nullptr, visit);
}

qint64 SurveyGenerator::countInCorridor(int file, const Corridor &corridor,
                                        const SurveyProjection &projection, double margin) const
{
    qint64 count = 0;
    forEachSounding(file, [&](const GeneratedSounding &s) {
        double northing, easting;
        if (projection.toProjected(s.latitude, s.longitude, &northing, &easting)
            && corridor.contains(northing, easting, margin))
            ++count;
    });
    return count;
}

} // namespace nexra
