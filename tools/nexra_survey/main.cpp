// nexra_survey: writes a simulated multibeam survey as NEXRA raw files.
#include "surveygenerator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include <cmath>

namespace {

const char *const kDescription = R"(Writes a simulated multibeam survey as NEXRA raw files (one or more
".nexra" files per line) and prints each file with its ping and sounding counts.

The survey: a seafloor (a plane with slopes and Gaussian features, depths below
the mean water level over a local east/north plane around --origin), straight
lines sailed at constant speed and ping rate, one fan of beams per ping and
head ("#MRZ"), an installation datagram ("#IIP") at the start of each file and,
unless --no-other-datagrams, "#IOP", "#SKM" and "#SPO" datagrams in between.
Without --line or --line-cm three 600 m lines cross at the origin (north to
south, west to east, south-west to north-east).

Fields and signs:
  Vessel frame at the reference point: x along (forward), y across
  (starboard), z down, metres. The transducers sit at the water level below
  the reference point. Reference level = the water level's z in that frame
  (--reference-level), so depth = z - reference level.
  Heading: degrees clockwise from north, the direction of the line.
  Beam angles: from the vertical, positive to starboard; one head covers
  -swath/2 to +swath/2, two heads the port (head 0) and starboard (head 1)
  halves.
  Delta latitude/longitude: the sounding's position minus the ping's, degrees.
  Ellipsoid height: of the reference point, up positive = mean water level
  height (--ellipsoid-height) + tide + reference level; z - ellipsoid height
  is the depth below the ellipsoid, which the tide does not change.
  Two-way time: seconds, 2 x slant range / --sound-speed.

Angle conventions (--roll, --pitch, --heading, --installation; degrees):
  The angles are the attitude-sensor mounting, the values of the Attitude 1
  row of the calibration window, as right-handed rotations in the vessel
  frame: positive roll turns the starboard side down, positive pitch turns
  the bow up, positive heading turns clockwise seen from above (bow to
  starboard). The sonar's fan is the vessel frame turned by
    M = Rz(heading) * Ry(pitch) * Rx(roll)   (roll first, then pitch, then heading),
  so a beam at angle a from the vertical points along M * (0, sin a, cos a).
  --roll, --pitch, --heading give the true mounting: the seafloor is met at
  range R along the truly turned beam. --installation gives the angles the
  installation text ("#IIP" attitude group, R, P and H) carries, the ones the
  survey was processed with: every recorded sounding is the point at the same
  range R along the beam turned by the installation angles.
  With the installation equal to the truth the recorded soundings lie on the
  seafloor. Otherwise, with an error d = truth - installation (radians):
  roll d : the true seafloor lies to port of the recorded soundings by about
           d * depth, and their starboard side reads too shoal by d * across;
  pitch d: the true seafloor lies ahead of them by about d * depth;
  heading d: the true fan is turned clockwise, seen from above, by d about
           the reference point.
  Typing the true angles into the window's Attitude 1 boxes takes the error
  out; what the first-order recalculation leaves is about R * d^2 / 2 (R the
  slant range: 1.5 cm at 100 m and 1 degree), exactly so while the
  installation pitch and heading are 0 (a heading error alone: any
  installation).
  --model rigid (default) is that geometry. --model first-order, a test aid,
  puts the true point where the first-order correction by the errors takes
  the recorded one (across - r*depth, depth + r*across; then depth * (1 - p^2),
  along + p*depth; placed with the heading error), which the recalculation
  undoes to float precision.
)";

bool parseNumbers(const QString &text, int count, QVector<double> *out)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != count)
        return false;
    out->clear();
    for (const QString &p : parts) {
        bool ok = false;
        out->append(p.trimmed().toDouble(&ok));
        if (!ok)
            return false;
    }
    return true;
}

double number(const QCommandLineParser &parser, const QString &name, bool *ok)
{
    bool good = false;
    const double v = parser.value(name).toDouble(&good);
    if (!good) {
        QTextStream(stderr) << "nexra_survey: bad value for --" << name << ": " << parser.value(name) << "\n";
        *ok = false;
    }
    return v;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("nexra_survey"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(kDescription));
    parser.addHelpOption();
    const QList<QCommandLineOption> options{
        {QStringLiteral("out"), QStringLiteral("Folder to write the survey into (created when missing)."), QStringLiteral("dir"), QStringLiteral("survey")},
        {QStringLiteral("origin"), QStringLiteral("Seafloor origin and default line centre, degrees."), QStringLiteral("lat,lon"), QStringLiteral("60,5")},
        {QStringLiteral("line"), QStringLiteral("A line from start to end, degrees; repeatable."), QStringLiteral("lat1,lon1,lat2,lon2")},
        {QStringLiteral("line-cm"), QStringLiteral("A line in projected centimetres of --projection; repeatable."), QStringLiteral("n1,e1,n2,e2")},
        {QStringLiteral("projection"), QStringLiteral("Target CRS of --line-cm (PROJ definition)."), QStringLiteral("crs"), nexra::SurveyProjection::defaultTargetCrs()},
        {QStringLiteral("speed"), QStringLiteral("Speed over ground, m/s."), QStringLiteral("m/s"), QStringLiteral("4")},
        {QStringLiteral("ping-rate"), QStringLiteral("Pings per second."), QStringLiteral("Hz"), QStringLiteral("2")},
        {QStringLiteral("pings-per-file"), QStringLiteral("Split each line into files of this many pings (0: one file)."), QStringLiteral("n"), QStringLiteral("0")},
        {QStringLiteral("start-time"), QStringLiteral("Time of the first ping, seconds since the epoch."), QStringLiteral("s"), QStringLiteral("1600000000")},
        {QStringLiteral("beams"), QStringLiteral("Beams per head and ping."), QStringLiteral("n"), QStringLiteral("256")},
        {QStringLiteral("swath"), QStringLiteral("Whole fan angle, degrees."), QStringLiteral("deg"), QStringLiteral("120")},
        {QStringLiteral("heads"), QStringLiteral("Receiver heads, 1 or 2."), QStringLiteral("n"), QStringLiteral("1")},
        {QStringLiteral("sound-speed"), QStringLiteral("Sound speed, m/s."), QStringLiteral("m/s"), QStringLiteral("1500")},
        {QStringLiteral("depth"), QStringLiteral("Depth at the origin, metres below the mean water level."), QStringLiteral("m"), QStringLiteral("50")},
        {QStringLiteral("slope-east"), QStringLiteral("Depth increase per metre to the east."), QStringLiteral("m/m"), QStringLiteral("0")},
        {QStringLiteral("slope-north"), QStringLiteral("Depth increase per metre to the north."), QStringLiteral("m/m"), QStringLiteral("0")},
        {QStringLiteral("feature"), QStringLiteral("A Gaussian mound (height > 0) or hole at east,north metres from the origin; repeatable."), QStringLiteral("e,n,radius,height")},
        {QStringLiteral("roll"), QStringLiteral("True attitude-sensor roll mounting, degrees (starboard down positive)."), QStringLiteral("deg"), QStringLiteral("0")},
        {QStringLiteral("pitch"), QStringLiteral("True attitude-sensor pitch mounting, degrees (bow up positive)."), QStringLiteral("deg"), QStringLiteral("0")},
        {QStringLiteral("heading"), QStringLiteral("True attitude-sensor heading mounting, degrees (clockwise positive)."), QStringLiteral("deg"), QStringLiteral("0")},
        {QStringLiteral("installation"), QStringLiteral("Attitude mounting written into the installation text, the one the survey was processed with, degrees."), QStringLiteral("roll,pitch,heading"), QStringLiteral("0,0,0")},
        {QStringLiteral("model"), QStringLiteral("Mounting model: rigid or first-order."), QStringLiteral("model"), QStringLiteral("rigid")},
        {QStringLiteral("reference-level"), QStringLiteral("Water level below the reference point, metres."), QStringLiteral("m"), QStringLiteral("1.5")},
        {QStringLiteral("ellipsoid-height"), QStringLiteral("Mean water level above the ellipsoid, metres."), QStringLiteral("m"), QStringLiteral("40")},
        {QStringLiteral("tide"), QStringLiteral("Tide amplitude, metres (period 12.42 h)."), QStringLiteral("m"), QStringLiteral("0")},
        {QStringLiteral("no-other-datagrams"), QStringLiteral("Write only \"#IIP\" and \"#MRZ\" datagrams.")},
    };
    parser.addOptions(options);
    parser.process(app);

    QTextStream err(stderr);
    bool ok = true;
    nexra::SurveyConfig config;
    QVector<double> v;
    if (!parseNumbers(parser.value(QStringLiteral("origin")), 2, &v)) {
        err << "nexra_survey: --origin needs lat,lon\n";
        return 2;
    }
    config.seafloor.origin = {v[0], v[1]};
    config.seafloor.depth = number(parser, QStringLiteral("depth"), &ok);
    config.seafloor.slopeEast = number(parser, QStringLiteral("slope-east"), &ok);
    config.seafloor.slopeNorth = number(parser, QStringLiteral("slope-north"), &ok);
    for (const QString &f : parser.values(QStringLiteral("feature"))) {
        if (!parseNumbers(f, 4, &v)) {
            err << "nexra_survey: --feature needs e,n,radius,height\n";
            return 2;
        }
        config.seafloor.features.append({v[0], v[1], v[2], v[3]});
    }

    config.sonar.beamCount = int(number(parser, QStringLiteral("beams"), &ok));
    config.sonar.swathAngle = number(parser, QStringLiteral("swath"), &ok);
    config.sonar.headCount = int(number(parser, QStringLiteral("heads"), &ok));
    config.sonar.soundSpeed = number(parser, QStringLiteral("sound-speed"), &ok);
    config.sonar.referenceLevel = float(number(parser, QStringLiteral("reference-level"), &ok));
    config.sonar.waterEllipsoidHeight = number(parser, QStringLiteral("ellipsoid-height"), &ok);
    config.sonar.tideAmplitude = number(parser, QStringLiteral("tide"), &ok);
    config.sonar.otherDatagrams = !parser.isSet(QStringLiteral("no-other-datagrams"));
    config.startTime = number(parser, QStringLiteral("start-time"), &ok);

    config.mounting.truth.roll = number(parser, QStringLiteral("roll"), &ok);
    config.mounting.truth.pitch = number(parser, QStringLiteral("pitch"), &ok);
    config.mounting.truth.heading = number(parser, QStringLiteral("heading"), &ok);
    if (!parseNumbers(parser.value(QStringLiteral("installation")), 3, &v)) {
        err << "nexra_survey: --installation needs roll,pitch,heading\n";
        return 2;
    }
    config.mounting.installation = {v[0], v[1], v[2]};
    const QString model = parser.value(QStringLiteral("model"));
    if (model == QLatin1String("rigid")) {
        config.mounting.model = nexra::Mounting::Rigid;
    } else if (model == QLatin1String("first-order")) {
        config.mounting.model = nexra::Mounting::FirstOrder;
    } else {
        err << "nexra_survey: --model is rigid or first-order\n";
        return 2;
    }

    nexra::SurveyLine lineTemplate;
    lineTemplate.speed = number(parser, QStringLiteral("speed"), &ok);
    lineTemplate.pingRate = number(parser, QStringLiteral("ping-rate"), &ok);
    lineTemplate.pingsPerFile = int(number(parser, QStringLiteral("pings-per-file"), &ok));
    if (!ok)
        return 2;
    if (lineTemplate.speed <= 0 || lineTemplate.pingRate <= 0 || config.sonar.beamCount < 1
        || config.sonar.beamCount > 4000 || config.sonar.headCount < 1 || config.sonar.headCount > 2) {
        err << "nexra_survey: speed and ping rate must be positive, beams 1 to 4000, heads 1 or 2\n";
        return 2;
    }

    for (const QString &l : parser.values(QStringLiteral("line"))) {
        if (!parseNumbers(l, 4, &v)) {
            err << "nexra_survey: --line needs lat1,lon1,lat2,lon2\n";
            return 2;
        }
        nexra::SurveyLine line = lineTemplate;
        line.start = {v[0], v[1]};
        line.end = {v[2], v[3]};
        config.lines << line;
    }
    if (parser.isSet(QStringLiteral("line-cm"))) {
        const nexra::SurveyProjection projection(parser.value(QStringLiteral("projection")));
        if (!projection.isValid()) {
            err << "nexra_survey: cannot use the projection " << parser.value(QStringLiteral("projection")) << "\n";
            return 2;
        }
        for (const QString &l : parser.values(QStringLiteral("line-cm"))) {
            if (!parseNumbers(l, 4, &v)) {
                err << "nexra_survey: --line-cm needs n1,e1,n2,e2\n";
                return 2;
            }
            nexra::SurveyLine line = lineTemplate;
            line.start = projection.geographic(v[0], v[1]);
            line.end = projection.geographic(v[2], v[3]);
            config.lines << line;
        }
    }
    if (config.lines.isEmpty()) {
        const nexra::GeoPoint o = config.seafloor.origin;
        for (double headingDeg : {180.0, 90.0, 45.0}) {
            const double h = headingDeg * 0.017453292519943295;
            nexra::SurveyLine line = lineTemplate;
            line.start = nexra::offsetPosition(o.latitude, o.longitude, h, 0, -300);
            line.end = nexra::offsetPosition(o.latitude, o.longitude, h, 0, 300);
            config.lines << line;
        }
    }

    const nexra::SurveyGenerator generator(config);
    QString error;
    QStringList paths;
    if (!generator.write(parser.value(QStringLiteral("out")), &paths, &error)) {
        err << "nexra_survey: " << error << "\n";
        return 1;
    }
    QTextStream out(stdout);
    const auto &files = generator.files();
    for (int i = 0; i < files.size(); ++i)
        out << paths.at(i) << " pings " << files.at(i).pingCount << " soundings "
            << files.at(i).soundingCount << "\n";
    return 0;
}
