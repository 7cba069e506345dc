#pragma once
// Simulated multibeam survey written as NEXRA raw files, with its ground truth.
//
// Frames and signs (also printed by nexra_survey --help):
// - Vessel frame at the reference point: x along (forward), y across
//   (starboard), z down, metres. The transducers sit at the water level below
//   the reference point; the reference-level field is the water level's z in
//   that frame, so depth = z - reference level.
// - Heading: degrees clockwise from north. Beam angles: degrees from the
//   vertical, positive to starboard.
// - Ellipsoid height of a ping: ellipsoid height of the reference point, up
//   positive; z - ellipsoid height is the sounding's depth below the ellipsoid.
// - Mounting (degrees): the attitude-sensor mounting angles, right-handed
//   rotations in the vessel frame: positive roll turns the starboard side
//   down, positive pitch the bow up, positive heading clockwise seen from
//   above. The sonar's frame is the vessel frame turned by
//     M(roll, pitch, heading) = Rz(heading) * Ry(pitch) * Rx(roll),
//   so a beam at angle a from the vertical (direction u = (0, sin a, cos a)
//   in the sonar's frame) points along M * u in the vessel frame. The true
//   mounting places the seafloor point at range R along M(truth) * u; the
//   installation text carries the angles the recorded soundings were
//   processed with, which put the same range along M(installation) * u.
//   So a positive roll error (truth above the installation) puts the true
//   seafloor to port of the recorded soundings, a positive pitch error ahead
//   of them, a positive heading error turns the true fan clockwise.
//   Model Rigid is that geometry. Model FirstOrder, a test aid, puts the true
//   point where the first-order correction by the errors (truth minus
//   installation) takes the recorded one, so that correction undoes it to
//   float precision; with the installation angles 0 the two models differ by
//   about R * angle^2 / 2 (1.5 cm at 100 m and 1 degree).
#include "nexrawriter.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>

namespace nexra {

struct GeoPoint {
    double latitude = 0;  // degrees
    double longitude = 0; // degrees
};

// Geographic WGS 84 to a projected system in centimetres and back, over PROJ.
class SurveyProjection
{
public:
    static QString defaultTargetCrs() { return QStringLiteral("+proj=merc +units=cm +ellps=WGS84"); }

    explicit SurveyProjection(const QString &targetCrs = defaultTargetCrs(),
                              const QString &sourceCrs = QStringLiteral("EPSG:4326"));
    ~SurveyProjection();
    SurveyProjection(const SurveyProjection &) = delete;
    SurveyProjection &operator=(const SurveyProjection &) = delete;

    bool isValid() const;
    bool toProjected(double latitude, double longitude, double *northing, double *easting) const;
    bool toGeographic(double northing, double easting, double *latitude, double *longitude) const;
    GeoPoint geographic(double northing, double easting) const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// A mound (height > 0, shoaler) or a hole (height < 0) of Gaussian shape.
struct SeafloorFeature {
    double east = 0;    // metres from the seafloor origin
    double north = 0;   // metres from the seafloor origin
    double radius = 30; // metres (standard deviation)
    double height = 3;  // metres
};

// Depth below the mean water level, positive down, over a local east/north
// plane around the origin.
struct Seafloor {
    GeoPoint origin{60.0, 5.0};
    double depth = 50;      // metres at the origin
    double slopeEast = 0;   // depth increase per metre to the east
    double slopeNorth = 0;  // depth increase per metre to the north
    QVector<SeafloorFeature> features;

    double depthAt(double east, double north) const;
};

struct SurveyLine {
    GeoPoint start;
    GeoPoint end;
    double speed = 4.0;    // m/s over ground
    double pingRate = 2.0; // pings per second
    double startTime = 0;  // seconds since the epoch; 0: 60 s after the previous line's last ping
    QString name;          // file name without extension; empty: "lineNN"
    int pingsPerFile = 0;  // 0: the whole line in one file
};

struct SonarSettings {
    int beamCount = 256;         // per head
    double swathAngle = 120;     // degrees, the whole fan
    int headCount = 1;           // 1, or 2: head 0 port half, head 1 starboard half
    double soundSpeed = 1500;    // m/s, straight rays
    float referenceLevel = 1.5f; // metres, water level below the reference point
    double waterEllipsoidHeight = 40.0; // metres, mean water level above the ellipsoid
    double tideAmplitude = 0;    // metres
    double tidePeriod = 44712;   // seconds
    bool otherDatagrams = true;  // "#IOP", "#SKM", "#SPO" between the pings
};

// Degrees, right-handed in the vessel frame (see the top of this file).
struct MountingAngles {
    double roll = 0;
    double pitch = 0;
    double heading = 0;
};

struct Mounting {
    enum Model { Rigid, FirstOrder };
    MountingAngles truth;        // how the sonar is mounted
    MountingAngles installation; // what the installation text says
    Model model = Rigid;
};

// The rotation M(roll, pitch, heading) applied to (x, y, z) in the vessel frame.
void rotateByMounting(const MountingAngles &angles, double &x, double &y, double &z);

struct SurveyConfig {
    Seafloor seafloor;
    SonarSettings sonar;
    Mounting mounting;
    QVector<SurveyLine> lines;
    double startTime = 1600000000; // seconds since the epoch of the first line
    // Written into every "#IIP"; empty: defaultInstallation(headCount) with
    // the attitude sensor at mounting.installation. A text given here should
    // carry those angles in its attitude group.
    QByteArray installationText;
};

// One sounding as written, with the truth it came from.
struct GeneratedSounding {
    int file = 0, line = 0, ping = 0, head = 0, beam = 0;
    qint64 timeMs = 0;
    double pingLatitude = 0, pingLongitude = 0;
    float heading = 0;
    // As a reader derives them from the file.
    double latitude = 0, longitude = 0; // ping position + float offsets
    float depth = 0;                    // z - reference level, in float
    float across = 0, along = 0;
    float twoWayTime = 0;
    double ellipsoidDepth = 0;          // z - ellipsoid height, in float
    // Where the beam met the seafloor.
    double trueLatitude = 0, trueLongitude = 0;
    double trueDepth = 0;          // below the water level at the ping time
    double trueEllipsoidDepth = 0; // below the ellipsoid
    double trueAcross = 0, trueAlong = 0; // vessel frame (FirstOrder: turned by the heading error)
};

// A strip around a cross line in projected centimetres, as the corridor of
// the data object: start and end edges perpendicular to the line.
struct Corridor {
    double startNorthing = 0, startEasting = 0, endNorthing = 0, endEasting = 0;
    double width = 10; // projected metres

    // margin > 0 (centimetres) shrinks the strip, margin < 0 widens it.
    bool contains(double northing, double easting, double margin = 0) const;
};

class SurveyGenerator
{
public:
    struct FileInfo {
        QString name; // file name in the survey folder
        int line = 0;
        int firstPing = 0;
        int pingCount = 0;
        qint64 soundingCount = 0;
    };

    explicit SurveyGenerator(const SurveyConfig &config);
    ~SurveyGenerator();

    const SurveyConfig &config() const { return cfg; }
    const QVector<FileInfo> &files() const { return fileList; }
    int pingCount(int line) const;
    QByteArray installationText() const;

    // Writes every file into the folder (created when missing). Gives the
    // paths written, in the order of files().
    bool write(const QString &folder, QStringList *paths = nullptr, QString *error = nullptr) const;
    // The datagrams of one file, in writing order.
    QList<QByteArray> fileDatagrams(int file) const;

    // Every sounding of a file, in writing order.
    void forEachSounding(int file, const std::function<void(const GeneratedSounding &)> &visit) const;
    // Soundings of a file whose recorded position lies inside the corridor,
    // with the margin of Corridor::contains.
    qint64 countInCorridor(int file, const Corridor &corridor, const SurveyProjection &projection,
                           double margin = 0) const;

    // Ground truth of the seafloor.
    double trueDepthAt(double latitude, double longitude) const; // below mean water level
    double trueEllipsoidDepthAt(double latitude, double longitude) const;
    double tideAt(double timeSec) const;

    // Local east/north metres around the seafloor origin.
    void toLocal(double latitude, double longitude, double *east, double *north) const;
    GeoPoint fromLocal(double east, double north) const;

private:
    struct Ping;
    Ping makePing(int line, int ping, int head, int file, QVector<GeneratedSounding> *truth) const;
    void visitFile(int file, const std::function<void(const QByteArray &)> &datagram,
                   const std::function<void(const GeneratedSounding &)> &sounding) const;

    SurveyConfig cfg;
    QVector<FileInfo> fileList;
    QVector<double> lineStart; // start time of each line
    double metresPerDegreeLat = 0, metresPerDegreeLon = 0;
};

// offsetLatLon with offsets in metres (double), on WGS 84.
GeoPoint offsetPosition(double latitude, double longitude, double headingRadians,
                        double across, double along);

} // namespace nexra
