#pragma once
// Shared by the benchmark programs: a console reporter that keeps the real
// time per iteration of every benchmark and hands them to a summary at the
// end, and a main that sets up a quiet, sandboxed environment.
#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QString>

#include <benchmark/benchmark.h>
#include <log4cplus/initializer.h>
#include <log4cplus/logger.h>
#include <log4cplus/nullappender.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <utility>

namespace bench {

// Benchmark name without its arguments -> real time per iteration, in the
// benchmark's own unit.
using Times = std::map<std::string, double>;

class SummaryReporter : public benchmark::ConsoleReporter
{
public:
    explicit SummaryReporter(std::function<void(const Times &)> summary) : summary(std::move(summary)) {}

    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            const std::string name = run.benchmark_name();
            times[name.substr(0, name.find('/'))] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        summary(times);
    }

private:
    std::function<void(const Times &)> summary;
    Times times;
};

// The time of a benchmark that ran, or 0.
inline double timeOf(const Times &times, const char *name)
{
    const auto it = times.find(name);
    return it == times.end() ? 0.0 : it->second;
}

// Runs the benchmarks with the logs silenced and a "ProgramData" of their own
// under the data folder.
inline int runBenchmarks(int argc, char **argv, const char *dataDir,
                         std::function<void(const Times &)> summary)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    log4cplus::Initializer logInit;
    log4cplus::Logger::getRoot().addAppender(log4cplus::SharedAppenderPtr(new log4cplus::NullAppender));
    const QByteArray programData = QByteArray(dataDir) + "/ProgramData";
    QDir().mkpath(QString::fromUtf8(programData));
    setenv("ProgramData", programData.constData(), 1);

    benchmark::Initialize(&argc, argv);
    SummaryReporter reporter(std::move(summary));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

} // namespace bench
