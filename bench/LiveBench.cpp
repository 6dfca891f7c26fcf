// Live inspection from the test pattern at 640 x 480 and 60 frames a second: how many frames
// a second the window shows, measures and judges, the median time from a frame's arrival to
// its verdict on screen, and the process's CPU use in cores.

// Standard library
#include <chrono>
#include <string>

// Qt
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

// Ours
#include "RecipeFile.h"
#include "Services.h"
#include "frmMain.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>

namespace {

class CountedMessages : public MessageBox {
public:
    int shown = 0;

protected:
    void present(const QString&, int, const QString&) override { ++shown; }
};

// Runs the event loop as the program does: woken by each event, never polling.
void runEventLoop(std::chrono::milliseconds duration) {
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void BM_LiveTestPattern(benchmark::State& state) {
    QTemporaryDir folder;
    const QString ini = folder.filePath(QStringLiteral("pattern.ini"));
    QFile file(ini);
    if (!file.open(QIODevice::WriteOnly)) {
        state.SkipWithError("no temporary folder");
        return;
    }
    file.write("[Video]\nPipeline=videotestsrc pattern=ball is-live=true ! "
               "video/x-raw,width=640,height=480,framerate=60/1\n");
    file.close();

    const auto messages = std::make_shared<CountedMessages>();
    Services services;
    services.messages = messages;
    services.chooseVideoConfFile = [&](QWidget*) {
        return ini;
    };
    frmMain window(services);
    window.resize(900, 700);
    window.Form_Load();
    if (!window.liveAction()->isEnabled()) {
        state.SkipWithError("the test pattern did not open");
        return;
    }
    // A part of several circles: every frame measures and judges each of them.
    const int circles = static_cast<int>(state.range(1));
    if (circles > 1) {
        InspectionRecipe recipe;
        recipe.circles.clear();
        for (int i = 0; i < circles; ++i) {
            recipe.circles.push_back(
                {QString::number(i + 1), 40 + (i % 4) * 120, 40 + (i / 4) * 110, 30, 128, 20});
        }
        const QString path = folder.filePath(QStringLiteral("part.gavrel-recipe"));
        if (!RecipeFile::write(path, recipe).isEmpty() || !window.openRecipe(path)) {
            state.SkipWithError("the recipe could not be used");
            return;
        }
    }
    const auto seconds = std::chrono::seconds(state.range(0));
    double fps = 0;
    double latency = 0;
    double cores = 0;
    for (auto _ : state) {
        window.liveAction()->trigger();
        runEventLoop(std::chrono::milliseconds(500)); // the pipeline settles
        const std::uint64_t before = window.liveMeter().framesJudged();
        const double cpuBefore = processCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        runEventLoop(seconds);
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        fps = static_cast<double>(window.liveMeter().framesJudged() - before) / wall;
        cores = (processCpuSeconds() - cpuBefore) / wall;
        latency = window.liveMeter().medianLatencyMs();
        window.liveAction()->trigger();
    }
    if (messages->shown != 0) {
        state.SkipWithError("a message box was shown while live");
    }
    state.counters["fps"] = fps;
    state.counters["verdict_ms_median"] = latency;
    state.counters["cpu_cores"] = cores;
    state.SetLabel("640 x 480 at 60 fps, " + std::to_string(circles) + " circle(s)");
}

BENCHMARK(BM_LiveTestPattern)
    ->Args({5, 1})
    ->Args({5, 16})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Gavrel"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
