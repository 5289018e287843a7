#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include "ui/GaugeRenderer.h"
#include "ui/SquareGauge.h"
#include "ui/sni/IconPixmaps.h"

namespace brimlet::bench {
namespace {

// A face as it is while a model writes: all three bars filled in part, one dot lit.
GaugeFace pulsingFace(double alpha) {
    GaugeFace face;
    face.used = {0.37, 0.88, 0.05};
    face.lit = {true, false};
    face.pulseAlpha = alpha;
    return face;
}

// While a dot pulses, every animation step (twelve a second) changes the face; the Linux item then
// announces a new icon, and the host reads the bitmaps of every offered size.
void BM_SquareIconPixmaps(benchmark::State& state) {
    double alpha = 0.35;
    for (auto _ : state) {
        alpha = alpha > 0.99 ? 0.35 : alpha + 0.01;
        benchmark::DoNotOptimize(squareIconPixmaps(pulsingFace(alpha)));
    }
}
BENCHMARK(BM_SquareIconPixmaps);

// One size only, as the XEmbed icon draws it for its cell.
void BM_SquareImage22(benchmark::State& state) {
    double alpha = 0.35;
    for (auto _ : state) {
        alpha = alpha > 0.99 ? 0.35 : alpha + 0.01;
        benchmark::DoNotOptimize(squareGauge::image(pulsingFace(alpha), 22));
    }
}
BENCHMARK(BM_SquareImage22);

// The 41 x 22 point picture at twice its size, as the macOS item takes it.
void BM_WideImage(benchmark::State& state) {
    double alpha = 0.35;
    for (auto _ : state) {
        alpha = alpha > 0.99 ? 0.35 : alpha + 0.01;
        benchmark::DoNotOptimize(GaugeRenderer::imageOf(pulsingFace(alpha)));
    }
}
BENCHMARK(BM_WideImage);

}  // namespace
}  // namespace brimlet::bench

// Painting needs a GUI application; the offscreen platform needs no display.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QGuiApplication application(qtArgc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
