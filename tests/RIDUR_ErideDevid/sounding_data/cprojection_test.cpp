#include "cprojection.h"
#include "log_capture.h"
#include "platformpaths.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextStream>

#include <gtest/gtest.h>

#ifdef Q_OS_UNIX
#include "non_regular_files.h"
#endif

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <thread>

namespace {

const char *const defaultLines = "<RUZ_Edudorivud>\nEPSG:4326\n+proj=merc +units=cm +ellps=WGS84\n";

// Geographic points and their Mercator coordinates on WGS 84 in centimetres,
// computed with PROJ's own tool:
//   cs2cs -f %.6f EPSG:4326 "proj=merc units=cm ellps=WGS84 type=crs"
// (input latitude longitude, output easting northing; `proj -f %.6f
// +proj=merc +units=cm +ellps=WGS84` on longitude latitude agrees).
struct MercatorPoint {
    double latitude;
    double longitude;
    double easting;
    double northing;
};

void PrintTo(const MercatorPoint &p, std::ostream *os)
{
    *os << "lat " << p.latitude << " lon " << p.longitude;
}

const MercatorPoint mercatorPoints[] = {
    {0, 0, 0.000000, 0.000000},
    {60, 5, 55659745.396637, 836269854.850075},
    {-33.9, 18.4, 204827863.059623, -399155139.021282},
    {45.5, -73.6, -819311452.238494, 567009395.575391},
    {85, 179.9, 2002637639.370992, 1992923911.337915},
    {-80, -179.5, -1998184859.739261, -1549657073.972372},
    {10.123456, 100.654321, 1120478775.986270, 112534222.843871},
    {59.9, 10.75, 119668452.602769, 834050572.844997},
};

const char *const cs2csTarget = "proj=merc units=cm ellps=WGS84 type=crs";

QString defaultFilePath()
{
    return programDataFolder() + QStringLiteral("dar_eravi6.txt");
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// A folder for definition files.
class ProjectionTest : public ::testing::Test {
protected:
    static CProjection *projection() { return CProjection::instance(); }

    std::string definition(const QByteArray &content, const char *name = "def.txt")
    {
        const QString path = dir.filePath(QLatin1String(name));
        EXPECT_TRUE(writeFile(path, content));
        return path.toStdString();
    }

    void expectDefaultConversion()
    {
        double northing = 0, easting = 0;
        EXPECT_EQ(projection()->geographicToProjected(60, 5, &northing, &easting), 0);
        EXPECT_NEAR(northing, 836269854.850075, 1e-3);
        EXPECT_NEAR(easting, 55659745.396637, 1e-3);
    }

    void expectPassThrough()
    {
        double a = 1, b = 1;
        EXPECT_EQ(projection()->geographicToProjected(60, 5, &a, &b), 0);
        EXPECT_EQ(a, 60.0);
        EXPECT_EQ(b, 5.0);
        EXPECT_EQ(projection()->projectedToGeographic(123.5, -7.25, &a, &b), 0);
        EXPECT_EQ(a, 123.5);
        EXPECT_EQ(b, -7.25);
    }

    QTemporaryDir dir;
};

// Runs the check in a fresh process of this test program (its own sandbox),
// where the service has not been created yet, whatever ran before in this
// one. The check reports what went wrong on stderr.
template <typename Check>
void expectOnFirstUse(Check check)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::_Exit(check() ? 0 : 1), ::testing::ExitedWithCode(0), "");
}

bool near(const char *what, double value, double expected, double tolerance)
{
    if (std::fabs(value - expected) <= tolerance)
        return true;
    fprintf(stderr, "%s: %.9f, expected %.9f\n", what, value, expected);
    return false;
}

bool sameContent(const QString &path, const QByteArray &expected)
{
    const QByteArray content = readAll(path);
    if (content == expected)
        return true;
    fprintf(stderr, "%s holds \"%s\"\n", qPrintable(path), content.constData());
    return false;
}

} // namespace

using ProjectionFirstUse = ProjectionTest;

TEST_F(ProjectionFirstUse, WritesTheDefaultFileWhenMissing)
{
    expectOnFirstUse([] {
        QFile::remove(defaultFilePath());
        double northing = 1, easting = 1;
        const int result = CProjection::instance()->geographicToProjected(0, 0, &northing, &easting);
        return result == 0 && sameContent(defaultFilePath(), defaultLines)
            && near("northing", northing, 0.0, 1e-6) && near("easting", easting, 0.0, 1e-6);
    });
}

TEST_F(ProjectionFirstUse, KeepsAnExistingDefaultFile)
{
    expectOnFirstUse([] {
        const QByteArray metres = "<other>\nEPSG:4326\n+proj=merc +units=m +ellps=WGS84\n";
        if (!writeFile(defaultFilePath(), metres))
            return false;
        double northing = 0, easting = 0;
        const int result = CProjection::instance()->geographicToProjected(60, 5, &northing, &easting);
        return result == 0 && sameContent(defaultFilePath(), metres)
            && near("easting", easting, 556597.45396637, 1e-5);
    });
}

#ifdef Q_OS_UNIX
// The resource folder of the program-data folder, and what is planted in it.
QString suiteProjFolder()
{
    return programDataFolder() + QStringLiteral("proj4");
}

bool convertsWithTheDefault()
{
    double northing = 0, easting = 0;
    return CProjection::instance()->geographicToProjected(60, 5, &northing, &easting) == 0
        && near("northing", northing, 836269854.850075, 1e-3)
        && near("easting", easting, 55659745.396637, 1e-3);
}

bool noErrorLogged(const LogCapture &log)
{
    const QStringList errors = log.messages(log4cplus::ERROR_LOG_LEVEL);
    for (const QString &error : errors)
        fprintf(stderr, "logged: %s\n", qPrintable(error));
    return errors.isEmpty();
}

struct PlantedResource {
    const char *name;
    // Into the suite's proj4 folder, with the installed PROJ's folder at hand.
    bool (*plant)(const QString &folder, const QString &installed);
};

void PrintTo(const PlantedResource &p, std::ostream *os)
{
    *os << p.name;
}

const PlantedResource unusableFolders[] = {
    {"DatabaseFifo",
     [](const QString &folder, const QString &) { return specialfiles::makeFifo(folder + "/proj.db"); }},
    {"DatabaseFolder",
     [](const QString &folder, const QString &) { return QDir().mkpath(folder + "/proj.db"); }},
    {"IniFifo", [](const QString &folder, const QString &installed) {
         return QFile::copy(installed + "/proj.db", folder + "/proj.db")
             && specialfiles::makeFifo(folder + "/proj.ini");
     }},
};

class ProjectionResourceFolder : public ProjectionTest,
                                 public ::testing::WithParamInterface<PlantedResource> {};

// The suite's folder is passed over: PROJ's own resources serve, at once.
TEST_P(ProjectionResourceFolder, NotAFileThereIsPassedOver)
{
    const PlantedResource planted = GetParam();
    expectOnFirstUse([planted] {
        const QString folder = suiteProjFolder();
        const QString installed = projResourceFolder();
        if (!QDir().mkpath(folder) || !planted.plant(folder, installed))
            return false;
        LogCapture log(QStringLiteral("CrossLineData"));
        FifoUnblocker databaseUnblocker(folder + "/proj.db", std::chrono::seconds(10));
        FifoUnblocker iniUnblocker(folder + "/proj.ini", std::chrono::seconds(10));
        const bool converts = convertsWithTheDefault();
        databaseUnblocker.dismiss();
        iniUnblocker.dismiss();
        if (databaseUnblocker.fired() || iniUnblocker.fired())
            fprintf(stderr, "PROJ waited on a FIFO\n");
        return converts && noErrorLogged(log) && !databaseUnblocker.fired() && !iniUnblocker.fired();
    });
}

INSTANTIATE_TEST_SUITE_P(Planted, ProjectionResourceFolder, ::testing::ValuesIn(unusableFolders),
                         [](const auto &info) { return std::string(info.param.name); });

// A regular proj.db that PROJ cannot use: the log tells why nothing converts.
struct DatabaseContent {
    const char *name;
    QByteArray content;
};

void PrintTo(const DatabaseContent &d, std::ostream *os)
{
    *os << d.name;
}

class ProjectionUnusableDatabase : public ProjectionTest,
                                   public ::testing::WithParamInterface<DatabaseContent> {};

TEST_P(ProjectionUnusableDatabase, IsLogged)
{
    const QByteArray content = GetParam().content;
    expectOnFirstUse([content] {
        const QString folder = suiteProjFolder();
        if (!QDir().mkpath(folder) || !writeFile(folder + "/proj.db", content))
            return false;
        LogCapture log(QStringLiteral("CrossLineData"));
        CProjection::instance();
        const QStringList errors = log.messages(log4cplus::ERROR_LOG_LEVEL);
        const QString database = QStringLiteral("CProjection: no PROJ resource database in %1: ").arg(folder);
        const QString transformation =
            QStringLiteral("CProjection: no transformation from \"EPSG:4326\" to \"+proj=merc "
                           "+units=cm +ellps=WGS84\" (%1): ").arg(defaultFilePath());
        // Each followed by PROJ's own words.
        const bool told = errors.size() == 2 && errors[0].startsWith(database)
            && errors[0].size() > database.size() && errors[1].startsWith(transformation)
            && errors[1].size() > transformation.size();
        if (!told)
            fprintf(stderr, "logged: %s\n", qPrintable(errors.join(QStringLiteral(" | "))));
        return told;
    });
}

INSTANTIATE_TEST_SUITE_P(Databases, ProjectionUnusableDatabase,
                         ::testing::Values(DatabaseContent{"Empty", QByteArray()},
                                           DatabaseContent{"Garbage", QByteArray(4096, 'Z')}),
                         [](const auto &info) { return std::string(info.param.name); });

// What may be at the place of the default definition file. Nothing is
// written there or where a link leads; a link to a file is read.
struct DefaultPlace {
    const char *name;
    bool (*make)(const QString &path, const QString &scratch);
    double easting; // at latitude 60, longitude 5; 0 where nothing converts
    bool told;      // the place is other than a file
};

void PrintTo(const DefaultPlace &p, std::ostream *os)
{
    *os << p.name;
}

const DefaultPlace defaultPlaces[] = {
    {"LinkToNothing", [](const QString &path, const QString &scratch) {
         return QFile::link(scratch + "/nothing.txt", path);
     }, 0, true},
    {"LinkToMetres", [](const QString &path, const QString &scratch) {
         return writeFile(scratch + "/metres.txt", "<t>\nEPSG:4326\n+proj=merc +units=m +ellps=WGS84\n")
             && QFile::link(scratch + "/metres.txt", path);
     }, 556597.45396637, false},
    {"Fifo", [](const QString &path, const QString &) { return specialfiles::makeFifo(path); }, 0, true},
};

class ProjectionDefaultPlace : public ProjectionTest,
                               public ::testing::WithParamInterface<DefaultPlace> {};

TEST_P(ProjectionDefaultPlace, IsLeftAsItIs)
{
    const DefaultPlace place = GetParam();
    expectOnFirstUse([place] {
        const QString scratch = programDataFolder() + QStringLiteral("scratch");
        if (!QDir().mkpath(scratch) || !place.make(defaultFilePath(), scratch))
            return false;
        const QString before = specialfiles::describe(defaultFilePath());
        const QStringList scratchBefore = QDir(scratch).entryList(QDir::AllEntries | QDir::System);
        LogCapture log(QStringLiteral("CrossLineData"));
        FifoUnblocker unblocker(defaultFilePath(), std::chrono::seconds(10));
        double northing = 0, easting = 0;
        CProjection::instance()->geographicToProjected(60, 5, &northing, &easting);
        unblocker.dismiss();

        const QStringList warnings = log.messages(log4cplus::WARN_LOG_LEVEL);
        const QStringList expectedWarnings =
            place.told ? QStringList{QStringLiteral("CProjection: %1 is not a regular file; the default "
                                                    "definition is not written").arg(defaultFilePath())}
                       : QStringList();
        bool ok = true;
        if (unblocker.fired()) {
            fprintf(stderr, "waited on the FIFO\n");
            ok = false;
        }
        if (specialfiles::describe(defaultFilePath()) != before
            || QDir(scratch).entryList(QDir::AllEntries | QDir::System) != scratchBefore) {
            fprintf(stderr, "written: %s\n", qPrintable(specialfiles::describe(defaultFilePath())));
            ok = false;
        }
        if (warnings != expectedWarnings) {
            fprintf(stderr, "warnings: %s\n", qPrintable(warnings.join(QStringLiteral(" | "))));
            ok = false;
        }
        // Without a definition points pass through: the easting is the longitude.
        return near("easting", easting, place.easting ? place.easting : 5.0, 1e-5) && ok;
    });
}

INSTANTIATE_TEST_SUITE_P(Places, ProjectionDefaultPlace, ::testing::ValuesIn(defaultPlaces),
                         [](const auto &info) { return std::string(info.param.name); });
#endif

class ProjectionConversion : public ProjectionTest,
                             public ::testing::WithParamInterface<MercatorPoint> {};

TEST_P(ProjectionConversion, MatchesCs2csTable)
{
    const MercatorPoint &p = GetParam();
    ASSERT_EQ(projection()->loadProjectionFile(definition(defaultLines)), 0);
    double northing = 0, easting = 0;
    EXPECT_EQ(projection()->geographicToProjected(p.latitude, p.longitude, &northing, &easting), 0);
    EXPECT_NEAR(northing, p.northing, 1e-3);
    EXPECT_NEAR(easting, p.easting, 1e-3);

    double latitude = 0, longitude = 0;
    EXPECT_EQ(projection()->projectedToGeographic(p.northing, p.easting, &latitude, &longitude), 0);
    EXPECT_NEAR(latitude, p.latitude, 1e-9);
    EXPECT_NEAR(longitude, p.longitude, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Mercator, ProjectionConversion, ::testing::ValuesIn(mercatorPoints));

// Runs PROJ's command-line tool on the same points, forward and inverse.
TEST_F(ProjectionTest, AgreesWithCs2csAtRunTime)
{
    const QString cs2cs = QStandardPaths::findExecutable(QStringLiteral("cs2cs"));
    if (cs2cs.isEmpty())
        GTEST_SKIP() << "cs2cs is not on PATH";
    ASSERT_EQ(projection()->loadProjectionFile(definition(defaultLines)), 0);

    const auto run = [&](const QStringList &options, const QByteArray &input) {
        QProcess process;
        process.start(cs2cs, options + QStringList{QStringLiteral("-f"), QStringLiteral("%.9f"),
                                                   QStringLiteral("EPSG:4326"),
                                                   QLatin1String(cs2csTarget)});
        process.write(input);
        process.closeWriteChannel();
        EXPECT_TRUE(process.waitForFinished(30000));
        return QString::fromUtf8(process.readAllStandardOutput()).split(
            QLatin1Char('\n'), Qt::SkipEmptyParts);
    };

    QByteArray forwardInput;
    QByteArray inverseInput;
    for (const MercatorPoint &p : mercatorPoints) {
        forwardInput += QByteArray::number(p.latitude, 'f', 9) + ' '
            + QByteArray::number(p.longitude, 'f', 9) + '\n';
        inverseInput += QByteArray::number(p.easting, 'f', 6) + ' '
            + QByteArray::number(p.northing, 'f', 6) + '\n';
    }
    const QStringList forward = run({}, forwardInput);
    const QStringList inverse = run({QStringLiteral("-I")}, inverseInput);
    const int count = int(std::size(mercatorPoints));
    ASSERT_EQ(forward.size(), count);
    ASSERT_EQ(inverse.size(), count);

    for (int i = 0; i < count; ++i) {
        const MercatorPoint &p = mercatorPoints[i];
        const QStringList f = forward[i].simplified().split(QLatin1Char(' '));
        const QStringList g = inverse[i].simplified().split(QLatin1Char(' '));
        ASSERT_GE(f.size(), 2) << forward[i].toStdString();
        ASSERT_GE(g.size(), 2) << inverse[i].toStdString();
        double northing = 0, easting = 0, latitude = 0, longitude = 0;
        EXPECT_EQ(projection()->geographicToProjected(p.latitude, p.longitude, &northing, &easting), 0);
        EXPECT_EQ(projection()->projectedToGeographic(p.northing, p.easting, &latitude, &longitude), 0);
        EXPECT_NEAR(easting, f[0].toDouble(), 1e-4) << i;
        EXPECT_NEAR(northing, f[1].toDouble(), 1e-4) << i;
        EXPECT_NEAR(latitude, g[0].toDouble(), 1e-9) << i;
        EXPECT_NEAR(longitude, g[1].toDouble(), 1e-9) << i;
    }
}

TEST_F(ProjectionTest, RoundTripKeepsPositions)
{
    for (double latitude = -84; latitude <= 84; latitude += 12.5) {
        for (double longitude = -179; longitude <= 179; longitude += 23.75) {
            double northing = 0, easting = 0, lat = 0, lon = 0;
            ASSERT_EQ(projection()->geographicToProjected(latitude, longitude, &northing, &easting), 0);
            ASSERT_EQ(projection()->projectedToGeographic(northing, easting, &lat, &lon), 0);
            EXPECT_NEAR(lat, latitude, 1e-9);
            EXPECT_NEAR(lon, longitude, 1e-9);
        }
    }
}

// Result of loading a definition file, and whether the default definition
// (Mercator in centimetres) is in force afterwards; -1 leaves no
// transformation, so points pass through.
struct DefinitionCase {
    const char *name;
    QByteArray content;
    int result;
};

void PrintTo(const DefinitionCase &c, std::ostream *os)
{
    *os << c.name;
}

const DefinitionCase definitionCases[] = {
    {"AnyTag", "whatever the tag\nEPSG:4326\n+proj=merc +units=cm +ellps=WGS84\n", 0},
    {"EmptyTag", "\nEPSG:4326\n+proj=merc +units=cm +ellps=WGS84", 0},
    {"CrLfLines", "<RUZ_Edudorivud>\r\nEPSG:4326\r\n+proj=merc +units=cm +ellps=WGS84\r\n", 0},
    {"LinesAfterTheThirdIgnored", QByteArray(defaultLines) + "garbage\n+proj=nonsense\n", 0},
    {"TwoLines", "<RUZ_Edudorivud>\nEPSG:4326\n", -1},
    {"EmptyFile", "", -1},
    {"UnknownCode", "<RUZ_Edudorivud>\nEPSG:99999999\n+proj=merc +units=cm +ellps=WGS84\n", -1},
    {"Garbage", "\x01\x02\xff\n\xfe garbage ###\n+proj=no_such_projection\n", -1},
    {"Tag511", QByteArray(511, 't') + '\n' + "EPSG:4326\n+proj=merc +units=cm +ellps=WGS84\n", 0},
    {"Tag512", QByteArray(512, 't') + '\n' + "EPSG:4326\n+proj=merc +units=cm +ellps=WGS84\n", -1},
    // The CR of a CR LF end does not count: these load as with LF ends.
    {"Tag511CrLf", QByteArray(511, 't') + "\r\nEPSG:4326\r\n+proj=merc +units=cm +ellps=WGS84\r\n", 0},
    {"Tag512CrLf", QByteArray(512, 't') + "\r\nEPSG:4326\r\n+proj=merc +units=cm +ellps=WGS84\r\n", -1},
};

class ProjectionDefinitionFile : public ProjectionTest,
                                 public ::testing::WithParamInterface<DefinitionCase> {};

TEST_P(ProjectionDefinitionFile, GivesResultCode)
{
    const DefinitionCase &c = GetParam();
    ASSERT_EQ(projection()->loadProjectionFile(definition(defaultLines, "default.txt")), 0);
    EXPECT_EQ(projection()->loadProjectionFile(definition(c.content)), c.result);
    if (c.result == 0)
        expectDefaultConversion();
    else
        expectPassThrough();
}

INSTANTIATE_TEST_SUITE_P(Files, ProjectionDefinitionFile, ::testing::ValuesIn(definitionCases),
                         [](const auto &info) { return std::string(info.param.name); });

// A definition that gives no transformation is logged: the pair, the file
// and PROJ's own words after it; one that gives one is not.
TEST_F(ProjectionTest, FailedTransformationIsLogged)
{
    const struct {
        const char *name;
        QByteArray content;
        const char *source; // empty: a transformation is made
        const char *target;
    } cases[] = {
        {"unknown.txt", "<t>\nEPSG:99999999\n+proj=merc +units=cm +ellps=WGS84\n", "EPSG:99999999",
         "+proj=merc +units=cm +ellps=WGS84"},
        {"two-lines.txt", "<t>\nEPSG:4326\n", "EPSG:4326", ""},
        {"good.txt", defaultLines, nullptr, nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = definition(c.content, c.name);
        LogCapture log(QStringLiteral("CrossLineData"));
        projection()->loadProjectionFile(path);
        const QStringList errors = log.messages(log4cplus::ERROR_LOG_LEVEL);
        if (!c.source) {
            EXPECT_TRUE(errors.isEmpty()) << errors.join(' ').toStdString();
            continue;
        }
        const QString told = QStringLiteral("CProjection: no transformation from \"%1\" to \"%2\" (%3): ")
                                 .arg(QLatin1String(c.source), QLatin1String(c.target),
                                      QString::fromStdString(path));
        ASSERT_EQ(errors.size(), 1);
        EXPECT_TRUE(errors[0].startsWith(told)) << errors[0].toStdString();
        EXPECT_GT(errors[0].size(), told.size()) << "without PROJ's message";
    }
}

TEST_F(ProjectionTest, MissingFileKeepsTheCrsPair)
{
    ASSERT_EQ(projection()->loadProjectionFile(definition(defaultLines)), 0);
    EXPECT_EQ(projection()->loadProjectionFile(dir.filePath("missing.txt").toStdString()), 0);
    expectDefaultConversion();

    // After a failed load the missing file makes the same failing pair again.
    ASSERT_EQ(projection()->loadProjectionFile(definition("<t>\nEPSG:4326\n")), -1);
    EXPECT_EQ(projection()->loadProjectionFile(dir.filePath("missing.txt").toStdString()), -1);
    expectPassThrough();
}

#ifdef Q_OS_UNIX
class ProjectionNotAFile : public ProjectionTest,
                           public ::testing::WithParamInterface<specialfiles::Kind> {};

// Taken for a missing file: loaded at once, the CRS pair kept.
TEST_P(ProjectionNotAFile, IsTakenForAMissingFile)
{
    const QString path = dir.filePath("def.txt");
    if (!GetParam().make(path, dir.path()))
        GTEST_SKIP() << "cannot make it here";
    ASSERT_EQ(projection()->loadProjectionFile(definition(defaultLines, "default.txt")), 0);

    FifoUnblocker unblocker(path, std::chrono::seconds(10));
    EXPECT_EQ(projection()->loadProjectionFile(path.toStdString()), 0);
    unblocker.dismiss();
    EXPECT_FALSE(unblocker.fired()) << "the load waited on the FIFO";
    expectDefaultConversion();
}

INSTANTIATE_TEST_SUITE_P(Files, ProjectionNotAFile, ::testing::ValuesIn(specialfiles::notAFile),
                         [](const auto &info) { return std::string(info.param.name); });
#endif

#ifdef Q_OS_LINUX
// The peak resident size of this process, in kB.
qint64 residentPeakKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// A gigabyte without a line end (a sparse file, all NUL bytes): its first
// line is cut at 511 characters and the rest is never read into memory.
TEST_F(ProjectionTest, HugeFileWithoutLineEndIsReadOnlyToTheLineLimit)
{
    ASSERT_EQ(projection()->loadProjectionFile(definition(defaultLines, "default.txt")), 0);
    QFile huge(dir.filePath("huge.txt"));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    ASSERT_TRUE(huge.resize(qint64(1) << 30));
    huge.close();

    const qint64 before = residentPeakKb();
    ASSERT_GT(before, 0);
    EXPECT_EQ(projection()->loadProjectionFile(huge.fileName().toStdString()), -1);
    EXPECT_LT(residentPeakKb() - before, 256 * 1024);
    expectPassThrough();
}
#endif

// Cut at the NUL, the name would lead to a definition in metres.
TEST_F(ProjectionTest, NameWithANulIsTakenForAMissingFile)
{
    ASSERT_EQ(projection()->loadProjectionFile(definition(defaultLines, "default.txt")), 0);
    std::string named = definition("<t>\nEPSG:4326\n+proj=merc +units=m +ellps=WGS84\n", "metres.txt");
    named += std::string(1, '\0') + ".txt";
    EXPECT_EQ(projection()->loadProjectionFile(named), 0);
    expectDefaultConversion();
}

TEST_F(ProjectionTest, FailedLoadRecoversWithTheNextGoodFile)
{
    ASSERT_EQ(projection()->loadProjectionFile(definition("<t>\nEPSG:4326\n", "bad.txt")), -1);
    expectPassThrough();
    EXPECT_EQ(projection()->loadProjectionFile(definition(defaultLines)), 0);
    expectDefaultConversion();
}

TEST_F(ProjectionTest, LinesAreCutAt511Characters)
{
    // A 511-character source line is taken whole.
    QByteArray source = "+proj=longlat +datum=WGS84";
    source += QByteArray(511 - source.size(), ' ');
    EXPECT_EQ(projection()->loadProjectionFile(
                  definition("<t>\n" + source + "\n+proj=merc +units=cm +ellps=WGS84\n")), 0);
    expectDefaultConversion();

    // One more character: the target line after it reads as empty.
    EXPECT_EQ(projection()->loadProjectionFile(
                  definition("<t>\n" + source + " \n+proj=merc +units=cm +ellps=WGS84\n")), -1);

    // A 512-character target line loses its last character: "+units=mm"
    // becomes "+units=m".
    QByteArray target = "+proj=merc +ellps=WGS84";
    target += QByteArray(512 - target.size() - 9, ' ') + "+units=mm";
    ASSERT_EQ(target.size(), 512);
    EXPECT_EQ(projection()->loadProjectionFile(definition("<t>\nEPSG:4326\n" + target + "\n")), 0);
    double northing = 0, easting = 0;
    EXPECT_EQ(projection()->geographicToProjected(60, 5, &northing, &easting), 0);
    EXPECT_NEAR(easting, 556597.45396637, 1e-5);
}

TEST_F(ProjectionTest, ForwardErrorOnlyWhenPointFails)
{
    ASSERT_EQ(projection()->loadProjectionFile(definition(defaultLines)), 0);
    double northing = 0, easting = 0;
    EXPECT_EQ(projection()->geographicToProjected(91, 0, &northing, &easting), -1);
    EXPECT_EQ(northing, HUGE_VAL);
    EXPECT_EQ(easting, HUGE_VAL);

    // A NaN coming out is not an error.
    EXPECT_EQ(projection()->geographicToProjected(std::nan(""), 5, &northing, &easting), 0);
    EXPECT_TRUE(std::isnan(northing));
}

TEST_F(ProjectionTest, InverseErrorWritesBothOutputs)
{
    ASSERT_EQ(projection()->loadProjectionFile(definition(defaultLines)), 0);
    double latitude = 0, longitude = 0;
    EXPECT_EQ(projection()->projectedToGeographic(HUGE_VAL, 0, &latitude, &longitude), -1);
    EXPECT_EQ(latitude, HUGE_VAL);
    EXPECT_EQ(longitude, HUGE_VAL);
}

TEST_F(ProjectionTest, UsesTheProjectedCrsOfTheFile)
{
    // UTM zone 32 north in metres, a projected target other than the default.
    ASSERT_EQ(projection()->loadProjectionFile(definition("<t>\nEPSG:4326\nEPSG:32632\n")), 0);
    double northing = 0, easting = 0;
    EXPECT_EQ(projection()->geographicToProjected(0, 9, &northing, &easting), 0);
    EXPECT_NEAR(easting, 500000.0, 1e-6);
    EXPECT_NEAR(northing, 0.0, 1e-6);
}

// Conversions from two threads at once, and a conversion waits for
// projectionMutex.
using ThreadedProjection = ProjectionTest;

TEST_F(ThreadedProjection, ConvertsFromTwoThreads)
{
    ASSERT_EQ(projection()->loadProjectionFile(definition(defaultLines)), 0);
    std::atomic<int> mismatches{0};
    const auto work = [&]() {
        for (int round = 0; round < 200; ++round) {
            for (const MercatorPoint &p : mercatorPoints) {
                double northing = 0, easting = 0, latitude = 0, longitude = 0;
                CProjection::instance()->geographicToProjected(p.latitude, p.longitude,
                                                                &northing, &easting);
                CProjection::instance()->projectedToGeographic(p.northing, p.easting,
                                                                &latitude, &longitude);
                if (std::abs(northing - p.northing) > 1e-3 || std::abs(easting - p.easting) > 1e-3
                    || std::abs(latitude - p.latitude) > 1e-9
                    || std::abs(longitude - p.longitude) > 1e-9)
                    ++mismatches;
            }
        }
    };
    std::thread first(work);
    std::thread second(work);
    first.join();
    second.join();
    EXPECT_EQ(mismatches.load(), 0);
}

TEST_F(ThreadedProjection, LoadsWhileAnotherThreadConverts)
{
    const std::string centimetres = definition(defaultLines, "cm.txt");
    const std::string metres = definition("<t>\nEPSG:4326\n+proj=merc +units=m +ellps=WGS84\n", "m.txt");
    ASSERT_EQ(projection()->loadProjectionFile(centimetres), 0);
    std::atomic<bool> stop{false};
    std::atomic<int> unexpected{0};
    std::thread converter([&]() {
        while (!stop) {
            double northing = 0, easting = 0;
            CProjection::instance()->geographicToProjected(60, 5, &northing, &easting);
            if (std::abs(easting - 55659745.396637) > 1e-3 && std::abs(easting - 556597.45396637) > 1e-5)
                ++unexpected;
        }
    });
    for (int i = 0; i < 50; ++i)
        projection()->loadProjectionFile(i % 2 ? centimetres : metres);
    stop = true;
    converter.join();
    EXPECT_EQ(unexpected.load(), 0);
}

TEST_F(ThreadedProjection, ConversionWaitsForTheMutex)
{
    projection();
    std::atomic<bool> done{false};
    std::thread converter;
    {
        std::lock_guard<std::mutex> lock(projectionMutex);
        converter = std::thread([&]() {
            double northing = 0, easting = 0;
            CProjection::instance()->geographicToProjected(60, 5, &northing, &easting);
            done = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_FALSE(done.load());
    }
    converter.join();
    EXPECT_TRUE(done.load());
}
