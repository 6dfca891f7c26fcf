// One step of a left-button drag on the main window: the move event reaches the display,
// the circle moves, Pelmint measures, the labels are set and the display repaints.

// Standard library
#include <algorithm>
#include <vector>

// Qt
#include <QApplication>
#include <QMouseEvent>

// Ours
#include "Services.h"
#include "frmMain.h"

#include <benchmark/benchmark.h>

namespace {

class CountedMessages : public MessageBox {
public:
    int shown = 0;

protected:
    void present(const QString&, int, const QString&) override { ++shown; }
};

void BM_DragStep(benchmark::State& state) {
    const auto messages = std::make_shared<CountedMessages>();
    Services services;
    services.messages = messages;
    services.chooseVideoConfFile = [](QWidget*) {
        return QString();
    };
    frmMain window(services);
    window.resize(900, 700); // the whole 512 x 480 image on screen
    window.Form_Load();
    std::uint8_t* pixels = window.KeshImage1.bufferAddress();
    for (int i = 0; i < window.KeshImage1.width() * window.KeshImage1.height(); ++i) {
        pixels[i] = static_cast<std::uint8_t>(i * 31);
    }
    QWidget* viewport = window.KeshDisplayEx1->viewport();

    int step = 0;
    for (auto _ : state) {
        const QPoint at(100 + step % 300, 100 + (step / 300) % 250);
        ++step;
        QMouseEvent move(QEvent::MouseMove, at, viewport->mapToGlobal(at), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &move);
    }
    if (messages->shown != 0) {
        state.SkipWithError("a message box was shown during the drag");
    }
    state.SetLabel("512 x 480, radius 50");
}

BENCHMARK(BM_DragStep)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true)
    ->ComputeStatistics("max", [](const std::vector<double>& v) {
        return *std::max_element(v.begin(), v.end());
    });

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
