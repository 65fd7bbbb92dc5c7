// The program's step and warm-up beside the straightforward reference, for
// the same fires, in one run: each pair is printed with the ratio of their
// times at the end.
//   quendar_bench [--benchmark_filter=...]

#include "bench/BenchFire.h"
#include "bench/baseline/BaselineStep.h"
#include "grid/SpatialHashGrid.h"
#include "sim/Constants.h"
#include "sim/ParticleSystem.h"
#include "sim/Startup.h"

#include <Inventor/nodes/SoSeparator.h>

#include <Inventor/SoDB.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Size {
    int32_t generators, particles;
};
constexpr Size kSizes[] = {{1, 400}, {2, 1000}, {3, 3000}, {3, 12000}};

std::string sizeName(const Size &size) {
    return std::to_string(size.generators) + "x" + std::to_string(size.particles);
}

// Steady running: a warmed-up fire, stepped again and again.
void stepProgram(benchmark::State &state, Size size) {
    BenchFire fire = emittedFire(size.generators, size.particles);
    warmUp(*fire.system);
    notifyAfterEachStep(*fire.system, fire.particleGroup);
    for (auto _ : state) fire.system->step();
    releaseFire(fire);
}

void stepStraightforward(benchmark::State &state, Size size) {
    BenchFire fire = emittedFire(size.generators, size.particles);
    warmUp(*fire.system);   // the same state either way; the program's is quicker to reach
    useStraightforwardScene(*fire.system);
    auto grid = std::make_unique<SpatialHashGrid>(kGridCellSize);
    for (auto _ : state) baselineStep(*fire.system, *grid);
    releaseFire(fire);
}

void warmUpProgram(benchmark::State &state, Size size) {
    for (auto _ : state) {
        state.PauseTiming();
        BenchFire fire = emittedFire(size.generators, size.particles);
        state.ResumeTiming();
        warmUp(*fire.system);
        state.PauseTiming();
        releaseFire(fire);
        state.ResumeTiming();
    }
}

void warmUpStraightforward(benchmark::State &state, Size size) {
    auto grid = std::make_unique<SpatialHashGrid>(kGridCellSize);
    for (auto _ : state) {
        state.PauseTiming();
        BenchFire fire = emittedFire(size.generators, size.particles);
        useStraightforwardScene(*fire.system);
        state.ResumeTiming();
        baselineWarmUp(*fire.system, *grid);
        state.PauseTiming();
        releaseFire(fire);
        state.ResumeTiming();
    }
}

// The console report, then one line per pair: straightforward time over the
// program's time.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
            times_[run.benchmark_name()] = run.real_accumulated_time / static_cast<double>(run.iterations);
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%-22s %14s %14s %8s\n", "case", "straightforward", "program", "ratio");
        for (const char *kind : {"step", "warm_up"}) {
            for (const Size &size : kSizes) {
                const std::string name = std::string(kind) + "/" + sizeName(size);
                const auto base = times_.find(name + "/straightforward");
                const auto fast = times_.find(name + "/program");
                if (base == times_.end() || fast == times_.end()) continue;
                std::printf("%-22s %12.3f ms %11.3f ms %7.2fx\n", name.c_str(), base->second * 1e3,
                            fast->second * 1e3, base->second / fast->second);
            }
        }
        std::fflush(stdout);
    }

private:
    std::map<std::string, double> times_;   // seconds per iteration
};

}  // namespace

int main(int argc, char **argv) {
    SoDB::init();
    for (const Size &size : kSizes) {
        const std::string name = sizeName(size);
        benchmark::RegisterBenchmark(("step/" + name + "/straightforward").c_str(), stepStraightforward, size)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("step/" + name + "/program").c_str(), stepProgram, size)
            ->Unit(benchmark::kMillisecond);
    }
    for (const Size &size : kSizes) {
        const std::string name = sizeName(size);
        benchmark::RegisterBenchmark(("warm_up/" + name + "/straightforward").c_str(), warmUpStraightforward, size)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("warm_up/" + name + "/program").c_str(), warmUpProgram, size)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
