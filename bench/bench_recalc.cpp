// Recalculation of about a hundred thousand kept soundings, beside the bare
// forward projection of the same number of points (the floor: every sounding
// is projected again), and the per-line chart data built from the same
// soundings.
#include "bench_support.h"
#include "cprojection.h"
#include "crosslinedata.h"
#include "displaydata.h"
#include "surveygenerator.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Bump when the survey below changes, so that old data is written again.
const char *const kSurveyVersion = "recalc-1";

// One line of 400 pings of 256 beams heading north, all inside a corridor
// around it: 102,400 kept soundings.
nexra::SurveyConfig surveyConfig()
{
    nexra::SurveyConfig cfg;
    cfg.seafloor.origin = {60.0, 5.0};
    cfg.seafloor.depth = 40;
    cfg.seafloor.slopeEast = 0.01;
    cfg.sonar.beamCount = 256;
    cfg.mounting.truth.roll = 0.5;
    nexra::SurveyLine line;
    line.start = nexra::offsetPosition(60.0, 5.0, 0.0, 0, -400);
    line.end = nexra::offsetPosition(60.0, 5.0, 0.0, 0, 399.9);
    cfg.lines << line;
    return cfg;
}

// The survey loaded through the data object, with its corridor lists built.
struct Loaded {
    CrossLineData data;
    QStringList files;
    qint64 kept = 0;
    std::vector<double> latitudes, longitudes; // the kept soundings' ping positions
};

Loaded &loaded()
{
    static Loaded *l = [] {
        auto *out = new Loaded;
        const QString folder = QStringLiteral(RIDUR_BENCH_DATA_DIR);
        const nexra::SurveyGenerator generator(surveyConfig());
        const QString stamp = folder + QStringLiteral("/version");
        QFile version(stamp);
        const bool current = version.open(QIODevice::ReadOnly) && version.readAll() == kSurveyVersion;
        version.close();
        if (!current) {
            QString error;
            if (!generator.write(folder, nullptr, &error)) {
                std::fprintf(stderr, "%s\n", qPrintable(error));
                std::exit(1);
            }
            if (version.open(QIODevice::WriteOnly | QIODevice::Truncate))
                version.write(kSurveyVersion);
        }
        const QString projectionFile = folder + QStringLiteral("/projection.txt");
        QFile projection(projectionFile);
        if (projection.open(QIODevice::WriteOnly | QIODevice::Truncate))
            projection.write("bench\nEPSG:4326\n+proj=merc +units=cm +ellps=WGS84\n");
        projection.close();

        out->data.setProjectionFile(projectionFile);
        const nexra::SurveyLine &line = generator.config().lines.at(0);
        double sn = 0, se = 0, en = 0, ee = 0;
        CProjection::instance()->geographicToProjected(line.start.latitude, line.start.longitude, &sn, &se);
        CProjection::instance()->geographicToProjected(line.end.latitude, line.end.longitude, &en, &ee);
        out->data.setCrossLine(qint32(se), qint32(sn), qint32(ee), qint32(en));
        // 400 projected metres: 200 m at 60 degrees, wider than the swath.
        out->data.setCorridorWidth(400.0f);
        for (const auto &f : generator.files()) {
            out->files << QDir(folder).filePath(f.name);
            out->data.addRawFile(out->files.last());
        }
        out->data.generateRegionData();
        out->data.loadCorridorData();
        for (const QString &path : qAsConst(out->files)) {
            for (const SoundingData &s : out->data.corridorDepths(path)) {
                out->latitudes.push_back(s.latitude);
                out->longitudes.push_back(s.longitude);
            }
        }
        out->kept = qint64(out->latitudes.size());
        return out;
    }();
    return *l;
}

void BM_ProjectionForward(benchmark::State &state)
{
    Loaded &l = loaded();
    CProjection *projection = CProjection::instance();
    const size_t n = l.latitudes.size();
    for (auto _ : state) {
        double northing = 0, easting = 0;
        for (size_t i = 0; i < n; ++i) {
            projection->geographicToProjected(l.latitudes[i], l.longitudes[i], &northing, &easting);
            benchmark::DoNotOptimize(northing);
            benchmark::DoNotOptimize(easting);
        }
    }
    state.SetItemsProcessed(state.iterations() * qint64(n));
    state.counters["soundings"] = double(n);
}

void BM_Recalculation(benchmark::State &state)
{
    Loaded &l = loaded();
    l.data.setAttitudeCorrections(1.0f, 0.5f, 0.5f, 0);
    for (auto _ : state)
        l.data.recalculatedDepths();
    state.SetItemsProcessed(state.iterations() * l.kept);
    state.counters["soundings"] = double(l.kept);
}

void BM_SetOriginalData(benchmark::State &state)
{
    Loaded &l = loaded();
    l.data.loadCorridorData();
    DisplayData display;
    for (auto _ : state)
        display.setOriginalData(&l.data);
    state.SetItemsProcessed(state.iterations() * l.kept);
    state.counters["soundings"] = double(l.kept);
}

BENCHMARK(BM_ProjectionForward)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_Recalculation)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_SetOriginalData)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

} // namespace

// Prints the usual table, then the ratio of the recalculation to the bare
// projections.
int main(int argc, char **argv)
{
    return bench::runBenchmarks(argc, argv, RIDUR_BENCH_DATA_DIR, [](const bench::Times &times) {
        const double bare = bench::timeOf(times, "BM_ProjectionForward");
        const double recalc = bench::timeOf(times, "BM_Recalculation");
        if (bare > 0 && recalc > 0)
            std::printf("%lld soundings: projections %.1f ms, recalculation %.1f ms, "
                        "recalculation / projections = %.2f (target <= 1.5)\n",
                        static_cast<long long>(loaded().kept), bare, recalc, recalc / bare);
        const double display = bench::timeOf(times, "BM_SetOriginalData");
        if (display > 0)
            std::printf("setOriginalData %.1f ms\n", display);
    });
}
