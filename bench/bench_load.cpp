// Load of a generated survey (a few hundred megabytes, from the page cache)
// through the data object, beside the plain sequential read of the same files
// with a buffer of the same size as the depth reader's.
#include "bench_support.h"
#include "cprojection.h"
#include "crosslinedata.h"
#include "surveygenerator.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Bump when the survey below changes, so that old data is written again.
const char *const kSurveyVersion = "load-1";

struct Survey {
    QStringList files;
    qint64 bytes = 0;
    QString projectionFile;
};

nexra::SurveyConfig surveyConfig()
{
    nexra::SurveyConfig cfg;
    cfg.seafloor.origin = {60.0, 5.0};
    cfg.seafloor.depth = 60;
    cfg.seafloor.slopeEast = 0.01;
    cfg.seafloor.features = {{100, 50, 40, 8}, {-300, -200, 80, -6}};
    cfg.sonar.beamCount = 512;
    cfg.sonar.swathAngle = 130;
    cfg.mounting.truth.roll = 0.5;
    // Four lines of 1200 pings crossing at the origin: about 300 MB.
    for (double headingDeg : {0.0, 90.0, 45.0, 135.0}) {
        nexra::SurveyLine line;
        const double h = headingDeg * 0.017453292519943295;
        line.start = nexra::offsetPosition(60.0, 5.0, h, 0, -1200);
        line.end = nexra::offsetPosition(60.0, 5.0, h, 0, 1199.9);
        cfg.lines << line;
    }
    return cfg;
}

const Survey &survey()
{
    static const Survey s = [] {
        Survey out;
        const QString folder = QStringLiteral(RIDUR_BENCH_DATA_DIR);
        const QString stamp = folder + QStringLiteral("/version");
        const nexra::SurveyGenerator generator(surveyConfig());
        QFile version(stamp);
        const bool current = version.open(QIODevice::ReadOnly) && version.readAll() == kSurveyVersion;
        version.close();
        if (!current) {
            std::fprintf(stderr, "writing the benchmark survey into %s\n", qPrintable(folder));
            QString error;
            if (!generator.write(folder, nullptr, &error)) {
                std::fprintf(stderr, "%s\n", qPrintable(error));
                std::exit(1);
            }
            if (version.open(QIODevice::WriteOnly | QIODevice::Truncate))
                version.write(kSurveyVersion);
        }
        for (const auto &f : generator.files()) {
            const QString path = QDir(folder).filePath(f.name);
            out.files << path;
            out.bytes += QFileInfo(path).size();
        }
        out.projectionFile = folder + QStringLiteral("/projection.txt");
        QFile projection(out.projectionFile);
        if (projection.open(QIODevice::WriteOnly | QIODevice::Truncate))
            projection.write("bench\nEPSG:4326\n+proj=merc +units=cm +ellps=WGS84\n");
        return out;
    }();
    return s;
}

// Reads every file once, so that both benchmarks start from the page cache.
void warmUp(const Survey &s)
{
    std::vector<char> buffer(CrossLineData::depthBufferSize);
    for (const QString &path : s.files) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            while (file.read(buffer.data(), qint64(buffer.size())) > 0) {
            }
    }
}

void BM_PlainRead(benchmark::State &state)
{
    const Survey &s = survey();
    warmUp(s);
    std::vector<char> buffer(CrossLineData::depthBufferSize);
    for (auto _ : state) {
        qint64 total = 0;
        for (const QString &path : s.files) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly)) {
                state.SkipWithError("cannot open a survey file");
                return;
            }
            qint64 n;
            while ((n = file.read(buffer.data(), qint64(buffer.size()))) > 0)
                total += n;
        }
        benchmark::DoNotOptimize(total);
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(state.iterations() * s.bytes);
}

// The same files read datagram by datagram as the readers frame them (the
// length, then the rest into the same buffer), without decoding anything.
void BM_PlainDatagramRead(benchmark::State &state)
{
    const Survey &s = survey();
    warmUp(s);
    std::vector<char> buffer(CrossLineData::depthBufferSize);
    for (auto _ : state) {
        qint64 total = 0;
        for (const QString &path : s.files) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly)) {
                state.SkipWithError("cannot open a survey file");
                return;
            }
            quint32 length = 0;
            while (file.read(buffer.data(), 4) == 4) {
                std::memcpy(&length, buffer.data(), 4);
                if (length < 8 || length > buffer.size()
                    || file.read(buffer.data() + 4, length - 4) != qint64(length - 4))
                    break;
                total += length;
            }
        }
        benchmark::DoNotOptimize(total);
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(state.iterations() * s.bytes);
}

void BM_Load(benchmark::State &state)
{
    const Survey &s = survey();
    warmUp(s);
    CrossLineData data;
    data.setProjectionFile(s.projectionFile);
    // A west-east cross line through the origin, 2 km long, corridor 20 m.
    double northing = 0, easting = 0;
    CProjection::instance()->geographicToProjected(60.0, 5.0, &northing, &easting);
    data.setCrossLine(qint32(easting) - 100000, qint32(northing), qint32(easting) + 100000,
                      qint32(northing));
    data.setCorridorWidth(20.0f);
    for (const QString &path : s.files)
        data.addRawFile(path);
    for (auto _ : state)
        data.loadRegionData();
    state.SetBytesProcessed(state.iterations() * s.bytes);
    data.loadCorridorData();
    qint64 kept = 0;
    for (const QString &path : s.files)
        kept += data.corridorDepths(path).size();
    state.counters["kept"] = double(kept);
    state.counters["files"] = s.files.size();
    state.counters["MB"] = double(s.bytes) / 1e6;
}

BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_PlainDatagramRead)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

} // namespace

// Prints the usual table, then the throughputs and the ratio of the load to
// the plain read.
int main(int argc, char **argv)
{
    return bench::runBenchmarks(argc, argv, RIDUR_BENCH_DATA_DIR, [](const bench::Times &times) {
        const double plain = bench::timeOf(times, "BM_PlainRead");
        const double framed = bench::timeOf(times, "BM_PlainDatagramRead");
        const double load = bench::timeOf(times, "BM_Load");
        if (plain <= 0 || load <= 0)
            return;
        const double mb = double(survey().bytes) / 1e6;
        std::printf("plain read %.0f MB/s, load %.0f MB/s, load / plain read = %.2f (target <= 1.3)\n",
                    mb / (plain / 1e3), mb / (load / 1e3), load / plain);
        if (framed > 0)
            std::printf("datagram-framed plain read %.0f MB/s, load / framed read = %.2f\n",
                        mb / (framed / 1e3), load / framed);
    });
}
