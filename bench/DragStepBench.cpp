// One step of a left-button drag on the main window (the move reaches the display, the
// circle moves, Pelmint measures, the texts follow and the window repaints) side by side
// with the least a Qt program can do per motion: repaint a 512 x 480 image. Run it under
// an X server (QT_QPA_PLATFORM=xcb) to include the drawing; process CPU time is reported.

// Standard library
#include <algorithm>
#include <string>
#include <vector>

// Qt
#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <QWidget>

// Ours
#include "CircleListPanel.h"
#include "RecipeFile.h"
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

// Counts the paint events of every widget, i.e. the rectangles repainted.
class PaintCounter : public QObject {
public:
    PaintCounter() { qApp->installEventFilter(this); }
    ~PaintCounter() override { qApp->removeEventFilter(this); }
    long count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++count;
        }
        return QObject::eventFilter(watched, event);
    }
};

class MinimalImageWidget : public QWidget {
public:
    MinimalImageWidget() : image_(512, 480, QImage::Format_RGB32) {
        for (int y = 0; y < image_.height(); ++y) {
            for (int x = 0; x < image_.width(); ++x) {
                const int grey = (x * 31 + y) & 0xFF;
                image_.setPixel(x, y, qRgb(grey, grey, grey));
            }
        }
        setAttribute(Qt::WA_OpaquePaintEvent);
        resize(image_.size());
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.drawImage(0, 0, image_);
    }
    void mouseMoveEvent(QMouseEvent*) override { update(); }

private:
    QImage image_;
};

QPoint stepPosition(int step) {
    return QPoint(100 + step % 300, 100 + (step / 300) % 250);
}

void moveOnce(QWidget* target, int step) {
    const QPoint at = stepPosition(step);
    QMouseEvent move(QEvent::MouseMove, at, target->mapToGlobal(at), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    QCoreApplication::processEvents();
}

void report(benchmark::State& state, const PaintCounter& paints) {
    state.counters["paints_per_step"] =
        benchmark::Counter(static_cast<double>(paints.count), benchmark::Counter::kAvgIterations);
}

void BM_MinimalImageWidget(benchmark::State& state) {
    MinimalImageWidget widget;
    widget.show();
    QCoreApplication::processEvents();
    PaintCounter paints;
    int step = 0;
    for (auto _ : state) {
        moveOnce(&widget, step++);
    }
    report(state, paints);
}

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
    window.KeshDisplayEx1->showImage(window.KeshImage1);
    // A part of several circles: every one is measured and judged at each step.
    const int circles = static_cast<int>(state.range(0));
    if (circles > 1) {
        InspectionRecipe recipe;
        recipe.circles.clear();
        for (int i = 0; i < circles; ++i) {
            recipe.circles.push_back(
                {QString::number(i + 1), 40 + (i % 4) * 120, 40 + (i / 4) * 110, 30, 128, 20});
        }
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("part.gavrel-recipe"));
        if (!RecipeFile::write(path, recipe).isEmpty() || !window.openRecipe(path)) {
            state.SkipWithError("the recipe could not be used");
            return;
        }
    }
    QCoreApplication::processEvents();
    QWidget* viewport = window.KeshDisplayEx1->viewport();

    PaintCounter paints;
    int step = 0;
    for (auto _ : state) {
        moveOnce(viewport, step++);
    }
    if (messages->shown != 0) {
        state.SkipWithError("a message box was shown during the drag");
    }
    report(state, paints);
    state.SetLabel(circles > 1 ? "512 x 480, " + std::to_string(circles) + " circles"
                               : std::string("512 x 480, radius 50"));
}

void configure(benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMicrosecond)
        ->MeasureProcessCPUTime()
        ->Repetitions(5)
        ->ReportAggregatesOnly(true)
        ->ComputeStatistics("max", [](const std::vector<double>& v) {
            return *std::max_element(v.begin(), v.end());
        });
}

BENCHMARK(BM_MinimalImageWidget)->Apply(configure);
BENCHMARK(BM_DragStep)->Arg(1)->Arg(16)->Apply(configure);

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
