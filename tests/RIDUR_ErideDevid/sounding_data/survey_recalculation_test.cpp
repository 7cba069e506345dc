// The recalculation takes a known attitude misalignment out of a simulated
// survey: two crossing lines over a known seafloor, loaded through the data
// object with a corridor around one of them, recalculated with the deltas
// that undo the misalignment, and compared with the ground truth of every
// sounding and with each other.
//
// Sign convention: the errors are the true mounting minus the installation
// the recorded data assume, right-handed. Taking out a positive roll error
// moves a sounding to port by depth * roll and deepens the starboard side by
// across * roll; a positive pitch error moves it forward by depth * pitch; a
// positive heading error turns the fan clockwise, seen from above, about the
// ping position. The data object takes the pitch delta negated (the window
// hands it the loaded minus the edited pitch).
#include "crosslinedata_test_support.h"

#include "cprojection.h"
#include "surveygenerator.h"

#include <QHash>

#include <algorithm>
#include <cmath>
#include <ostream>

namespace {

constexpr double kDegToRad = 0.017453292519943295;
constexpr double kSeafloorOriginLat = 60.0;
constexpr double kSeafloorOriginLon = 5.0;
constexpr double kHalfLineLength = 200.0; // metres
constexpr float kCorridorWidth = 40.0f;   // projected metres: 20 m at 60 degrees

struct SurveyCase {
    const char *name;
    double roll, pitch, heading; // mounting error, degrees
    nexra::Mounting::Model model;
    // Largest disagreement of a recalculated sounding with the truth: depth
    // in metres, horizontal position in metres.
    double depthTolerance, positionTolerance;
};

// Float metres: a few units in the last place at 60 m to 120 m of slant
// range. Positions are placed in whole centimetres along and across:
// at most sqrt(2) cm off, plus a millimetre for the float offsets.
constexpr double kFloatDepth = 5e-5;
constexpr double kWholeCentimetres = 0.0142 + 0.001;

const SurveyCase surveyCases[] = {
    {"Roll", 1.0, 0.0, 0.0, nexra::Mounting::FirstOrder, kFloatDepth, kWholeCentimetres},
    {"NegativeRoll", -0.75, 0.0, 0.0, nexra::Mounting::FirstOrder, kFloatDepth, kWholeCentimetres},
    {"Pitch", 0.0, 1.5, 0.0, nexra::Mounting::FirstOrder, kFloatDepth, kWholeCentimetres},
    {"Heading", 0.0, 0.0, 2.0, nexra::Mounting::FirstOrder, kFloatDepth, kWholeCentimetres},
    {"AllThree", 0.8, -0.6, -1.2, nexra::Mounting::FirstOrder, kFloatDepth, kWholeCentimetres},
    // A rigidly rotated mount: the small-angle recalculation leaves about
    // R * angle^2 / 2 (1.5 cm at 100 m and 1 degree).
    {"RigidRoll", 1.0, 0.0, 0.0, nexra::Mounting::Rigid, 0.03, 0.03},
};

void PrintTo(const SurveyCase &c, std::ostream *os)
{
    *os << c.name;
}

nexra::SurveyConfig surveyConfig(const SurveyCase &c)
{
    nexra::SurveyConfig cfg;
    cfg.seafloor.origin = {kSeafloorOriginLat, kSeafloorOriginLon};
    cfg.seafloor.depth = 50;
    cfg.seafloor.slopeEast = 0.002;
    cfg.seafloor.slopeNorth = -0.001;
    cfg.sonar.beamCount = 256;
    cfg.sonar.swathAngle = 120;
    cfg.mounting.truth = {c.roll, c.pitch, c.heading};
    cfg.mounting.model = c.model;
    // Line 0 runs north along the cross line, line 1 east across it.
    for (double headingDeg : {0.0, 90.0}) {
        nexra::SurveyLine line;
        const double h = headingDeg * kDegToRad;
        line.start = nexra::offsetPosition(kSeafloorOriginLat, kSeafloorOriginLon, h, 0, -kHalfLineLength);
        line.end = nexra::offsetPosition(kSeafloorOriginLat, kSeafloorOriginLon, h, 0, kHalfLineLength);
        cfg.lines << line;
    }
    return cfg;
}

quint64 soundingKey(qint64 timeMs, int head, int beam)
{
    return (quint64(timeMs) << 16) ^ (quint64(head) << 12) ^ quint64(beam);
}

// What the first-order model predicts the recorded sounding to be off by.
struct Prediction {
    double depthError = 0; // recorded minus true depth, metres
    double shift = 0;      // horizontal distance recorded to true, metres
};

Prediction predict(const SoundingData &s, const SurveyCase &c)
{
    const double r = c.roll * kDegToRad;
    const double e = c.pitch * kDegToRad;
    const double x = s.along, y = s.across, z = s.depth;
    const double y1 = y - r * z;
    const double z1 = z + r * y;
    const double z2 = (1.0 - e * e) * z1;
    const double x2 = x + e * z2;
    const double h = double(s.heading) * kDegToRad;
    const double h2 = (double(s.heading) + c.heading) * kDegToRad;
    const double north = x * std::cos(h) - y * std::sin(h);
    const double east = x * std::sin(h) + y * std::cos(h);
    const double north2 = x2 * std::cos(h2) - y1 * std::sin(h2);
    const double east2 = x2 * std::sin(h2) + y1 * std::cos(h2);
    return {z - z2, std::hypot(east2 - east, north2 - north)};
}

struct Placed {
    double east = 0, north = 0; // local metres
    double depth = 0;
};

} // namespace

class SurveyRecalculation : public ::testing::TestWithParam<SurveyCase>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        data.setProjectionFile(writeProjectionDefinition(dir));
        generator.reset(new nexra::SurveyGenerator(surveyConfig(GetParam())));
        QStringList paths;
        QString error;
        ASSERT_TRUE(generator->write(dir.path(), &paths, &error)) << error.toStdString();
        ASSERT_EQ(paths.size(), 2);
        lineFiles = paths;

        for (int file = 0; file < generator->files().size(); ++file) {
            generator->forEachSounding(file, [this](const nexra::GeneratedSounding &g) {
                truth.insert(soundingKey(g.timeMs, g.head, g.beam), g);
            });
        }

        // The cross line along line 0, in projected centimetres.
        const nexra::SurveyLine &line = generator->config().lines.at(0);
        double sn = 0, se = 0, en = 0, ee = 0;
        CProjection::instance()->geographicToProjected(line.start.latitude, line.start.longitude, &sn, &se);
        CProjection::instance()->geographicToProjected(line.end.latitude, line.end.longitude, &en, &ee);
        data.setCrossLine(qint32(se), qint32(sn), qint32(ee), qint32(en));
        data.setCorridorWidth(kCorridorWidth);
        for (const QString &p : qAsConst(lineFiles))
            data.addRawFile(p);
        data.generateRegionData();
        data.loadCorridorData();
        for (const QString &p : qAsConst(lineFiles))
            loaded << data.corridorDepths(p);

        const SurveyCase &c = GetParam();
        data.setAttitudeCorrections(float(c.roll), float(-c.pitch), float(c.heading), 0);
        data.recalculatedDepths();
        for (const QString &p : qAsConst(lineFiles))
            recalculated << data.corridorDepths(p);
    }

    const nexra::GeneratedSounding &truthOf(const SoundingData &s) const
    {
        static const nexra::GeneratedSounding none;
        auto it = truth.constFind(soundingKey(s.timeMs, s.rxIndex, s.beamIndex));
        EXPECT_NE(it, truth.constEnd());
        return it == truth.constEnd() ? none : *it;
    }

    Placed place(const SoundingData &s) const
    {
        double latitude = 0, longitude = 0;
        CProjection::instance()->projectedToGeographic(s.northing, s.easting, &latitude, &longitude);
        Placed p;
        generator->toLocal(latitude, longitude, &p.east, &p.north);
        p.depth = s.depth;
        return p;
    }

    Placed truePlace(const nexra::GeneratedSounding &g) const
    {
        Placed p;
        generator->toLocal(g.trueLatitude, g.trueLongitude, &p.east, &p.north);
        p.depth = g.trueDepth;
        return p;
    }

    // Largest depth difference of soundings of line 0 and line 1 that lie
    // within maxDistance metres of each other.
    double largestPairDifference(const QList<QList<SoundingData>> &lines, double maxDistance, int *pairs) const
    {
        QVector<Placed> a, b;
        for (const SoundingData &s : lines.at(0))
            a << place(s);
        for (const SoundingData &s : lines.at(1))
            b << place(s);
        double largest = 0;
        *pairs = 0;
        for (const Placed &p : qAsConst(a)) {
            for (const Placed &q : qAsConst(b)) {
                if (std::hypot(p.east - q.east, p.north - q.north) > maxDistance)
                    continue;
                ++*pairs;
                largest = std::max(largest, std::fabs(p.depth - q.depth));
            }
        }
        return largest;
    }

    QTemporaryDir dir;
    CrossLineData data;
    std::unique_ptr<nexra::SurveyGenerator> generator;
    QStringList lineFiles;
    QHash<quint64, nexra::GeneratedSounding> truth;
    QList<QList<SoundingData>> loaded, recalculated;
};

TEST_P(SurveyRecalculation, RecalculatedSoundingsLieOnTheTrueSeafloor)
{
    const SurveyCase &c = GetParam();
    for (int line = 0; line < 2; ++line) {
        SCOPED_TRACE(line);
        const QList<SoundingData> &list = recalculated.at(line);
        // Line 0 runs inside the corridor; line 1 crosses it with its whole swath.
        ASSERT_GT(list.size(), 1000);
        ASSERT_EQ(list.size(), loaded.at(line).size());
        double worstDepth = 0, worstPosition = 0;
        for (const SoundingData &s : list) {
            const nexra::GeneratedSounding &g = truthOf(s);
            const Placed p = place(s);
            const Placed t = truePlace(g);
            worstDepth = std::max(worstDepth, std::fabs(p.depth - t.depth));
            worstPosition = std::max(worstPosition, std::hypot(p.east - t.east, p.north - t.north));
        }
        EXPECT_LE(worstDepth, c.depthTolerance);
        EXPECT_LE(worstPosition, c.positionTolerance);
    }
}

TEST_P(SurveyRecalculation, LoadedSoundingsAreOffByTheMisalignment)
{
    const SurveyCase &c = GetParam();
    // The model's own second-order terms for the rigid mount, float
    // precision otherwise.
    const double tolerance = c.model == nexra::Mounting::Rigid ? c.depthTolerance : 2 * kFloatDepth;
    double largestDepthError = 0, largestShift = 0;
    for (int line = 0; line < 2; ++line) {
        SCOPED_TRACE(line);
        for (const SoundingData &s : loaded.at(line)) {
            const nexra::GeneratedSounding &g = truthOf(s);
            const Prediction expected = predict(s, c);
            const Placed p = place(s);
            const Placed t = truePlace(g);
            const double depthError = p.depth - t.depth;
            const double shift = std::hypot(p.east - t.east, p.north - t.north);
            EXPECT_NEAR(depthError, expected.depthError, tolerance);
            EXPECT_NEAR(shift, expected.shift, tolerance + 0.002);
            largestDepthError = std::max(largestDepthError, std::fabs(depthError));
            largestShift = std::max(largestShift, shift);
            if (HasFailure())
                return;
        }
    }
    // The misalignment shows: a roll deepens or shoals the outer beams by
    // across * roll (over a metre at 1 degree and 80 m), every angle moves
    // soundings by about depth * angle or offset * angle.
    if (c.roll != 0) {
        EXPECT_GT(largestDepthError, 0.5 * std::fabs(c.roll));
    }
    EXPECT_GT(largestShift, 0.5);
}

TEST_P(SurveyRecalculation, CrossingLinesAgreeOnlyWhenRecalculated)
{
    const SurveyCase &c = GetParam();
    // Soundings of the two lines within 30 cm of each other: the seafloor
    // slope accounts for at most 0.7 mm between them.
    constexpr double kNeighbourhood = 0.3;
    const double slopeShare = 0.0023 * (kNeighbourhood + 2 * c.positionTolerance);
    int pairs = 0;
    const double recalculatedDifference = largestPairDifference(recalculated, kNeighbourhood, &pairs);
    ASSERT_GT(pairs, 100);
    EXPECT_LE(recalculatedDifference, slopeShare + 2 * c.depthTolerance);

    if (c.roll != 0) {
        // Line 1 puts its outer beams on line 0's nadir: they disagree by
        // about across * roll.
        const double loadedDifference = largestPairDifference(loaded, kNeighbourhood, &pairs);
        ASSERT_GT(pairs, 100);
        EXPECT_GT(loadedDifference, 0.5 * std::fabs(c.roll));
    }
}

INSTANTIATE_TEST_SUITE_P(Misalignments, SurveyRecalculation, ::testing::ValuesIn(surveyCases),
                         [](const ::testing::TestParamInfo<SurveyCase> &info) { return std::string(info.param.name); });
