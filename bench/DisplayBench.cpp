// The display's share of one drag step, and the cost of delivering pointer moves.

// Standard library
#include <cstdint>

#include <benchmark/benchmark.h>

// Qt
#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>

// Ours
#include "CircleFigure.h"
#include "KeshDisplayEx.h"
#include "KeshImage.h"

namespace {

constexpr quint32 kBlue = 0x00FF0000;

struct Scene {
    Scene() {
        std::uint8_t* pixels = image.bufferAddress();
        for (int i = 0; i < image.width() * image.height(); ++i) {
            pixels[i] = static_cast<std::uint8_t>(i * 7);
        }
        display.resize(image.width(), image.height());
        display.show();
        display.prepare();
        display.showImage(image);
        QCoreApplication::processEvents();
    }

    void drawStep(int x, int y, int radius) {
        display.clearFigures();
        display.setFigureColor(kBlue);
        circle.setCenterX(x);
        circle.setCenterY(y);
        circle.setRadius(radius);
        display.drawCircle(circle);
    }

    KeshImage image;
    KeshDisplayEx display;
    CircleFigure circle;
};

// clearFigures + setFigureColor + drawCircle, then a synchronous repaint of the whole view.
void BM_DragStepRepaint(benchmark::State& state) {
    Scene scene;
    const int radius = static_cast<int>(state.range(0));
    int step = 0;
    for (auto _ : state) {
        scene.drawStep(256 + step % 8, 240, radius);
        scene.display.viewport()->repaint();
        ++step;
    }
}
BENCHMARK(BM_DragStepRepaint)->Arg(3)->Arg(50)->Arg(200)->Unit(benchmark::kMicrosecond);

// The same step rendered into an image instead of the window's backing store.
void BM_DragStepRender(benchmark::State& state) {
    Scene scene;
    const int radius = static_cast<int>(state.range(0));
    QImage target(scene.display.size(), QImage::Format_ARGB32_Premultiplied);
    int step = 0;
    for (auto _ : state) {
        scene.drawStep(256 + step % 8, 240, radius);
        scene.display.render(&target);
        ++step;
    }
}
BENCHMARK(BM_DragStepRender)->Arg(3)->Arg(50)->Arg(200)->Unit(benchmark::kMicrosecond);

// Figure bookkeeping alone, without painting: what a handler pays per move.
void BM_DragStepFiguresOnly(benchmark::State& state) {
    Scene scene;
    const int radius = static_cast<int>(state.range(0));
    int step = 0;
    for (auto _ : state) {
        scene.drawStep(256 + step % 8, 240, radius);
        ++step;
    }
    QCoreApplication::processEvents();
}
BENCHMARK(BM_DragStepFiguresOnly)
    ->Arg(3)
    ->Arg(50)
    ->Arg(200)
    ->Arg(1000000)
    ->Unit(benchmark::kMicrosecond);

// Showing the image again, as after every grab or load.
void BM_ShowImage(benchmark::State& state) {
    Scene scene;
    for (auto _ : state) {
        scene.display.showImage(scene.image);
    }
    QCoreApplication::processEvents();
}
BENCHMARK(BM_ShowImage)->Unit(benchmark::kMicrosecond);

// N left-button moves delivered to the display; with a handler doing the drag step, the
// repaints coalesce into the one processEvents() at the end.
void BM_DeliverMoves(benchmark::State& state) {
    Scene scene;
    const bool withHandler = state.range(1) != 0;
    if (withHandler) {
        QObject::connect(&scene.display, &KeshDisplayEx::mouseMove, &scene.display,
                         [&scene](int, int, int x, int y) { scene.drawStep(x, y, 50); });
    }
    const int moves = static_cast<int>(state.range(0));
    QWidget* viewport = scene.display.viewport();
    for (auto _ : state) {
        for (int i = 0; i < moves; ++i) {
            const QPointF at(100 + i % 300, 100 + i % 200);
            QMouseEvent move(QEvent::MouseMove, at, viewport->mapToGlobal(at), Qt::NoButton,
                             Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(viewport, &move);
        }
        QCoreApplication::processEvents();
    }
    state.SetItemsProcessed(state.iterations() * moves);
}
BENCHMARK(BM_DeliverMoves)
    ->Args({1000, 0})
    ->Args({1000, 1})
    ->Args({10000, 1})
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
