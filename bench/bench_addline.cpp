// The body of "ADDLINE": the raw-file list cleared, then every named path
// added with the duplicate check, for growing numbers of paths. The time per
// path stays flat when the check is linear overall; BM_ListSearchAdd, the
// same work with a search of the list, shows the quadratic growth it avoids.
#include "bench_support.h"
#include "crosslinedata.h"

#include <benchmark/benchmark.h>

#include <QStringList>

#include <cstdio>

namespace {

// count paths as a caller names them, every tenth one a repeat of an earlier.
QStringList namedPaths(int count)
{
    QStringList paths;
    paths.reserve(count);
    for (int i = 0; i < count; ++i) {
        const int line = (i % 10 == 9) ? i / 2 : i;
        paths << QStringLiteral("/data/survey 2026/block %1/line%2.nexra").arg(line % 97).arg(line);
    }
    return paths;
}

void BM_AddLine(benchmark::State &state)
{
    const QStringList paths = namedPaths(int(state.range(0)));
    CrossLineData data;
    for (auto _ : state) {
        data.clearData();
        for (const QString &path : paths)
            data.addRawFile(path);
        benchmark::DoNotOptimize(data.rawFiles().size());
    }
    state.SetComplexityN(state.range(0));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_ListSearchAdd(benchmark::State &state)
{
    const QStringList paths = namedPaths(int(state.range(0)));
    for (auto _ : state) {
        QStringList list;
        for (const QString &path : paths) {
            if (!path.isEmpty() && !list.contains(path, Qt::CaseSensitive))
                list.append(path);
        }
        benchmark::DoNotOptimize(list.size());
    }
    state.SetComplexityN(state.range(0));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_AddLine)->RangeMultiplier(4)->Range(5000, 320000)->Unit(benchmark::kMillisecond)
    ->UseRealTime()->Complexity(benchmark::oN);
BENCHMARK(BM_ListSearchAdd)->RangeMultiplier(2)->Range(5000, 20000)->Unit(benchmark::kMillisecond)
    ->UseRealTime()->Complexity(benchmark::oNSquared);

} // namespace

int main(int argc, char **argv)
{
    return bench::runBenchmarks(argc, argv, RIDUR_BENCH_DATA_DIR, [](const bench::Times &) {
        std::printf("BM_AddLine should grow as N, BM_ListSearchAdd as N^2 (see the BigO rows)\n");
    });
}
