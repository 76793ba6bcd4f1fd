#include "KVGraphView.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

namespace {

// The frame of a chart-sized graph view (0-20 on both axes, ticks every 2,
// minor ticks every 0.5, three titles), rendered into a white image at the
// given pixels per point: 1 for the screen and the JPEG export, 4 for a
// printer page.
void renderFrame(benchmark::State &state)
{
    KVGraphView view;
    view.resize(560, 420);
    view.setMaxX(20);
    view.setMaxY(20);
    view.setMajorXInterval(2);
    view.setMajorYInterval(2);
    view.setMinorXInterval(0.5);
    view.setMinorYInterval(0.5);
    view.setXTitle("Chronological Age (Years)");
    view.setYTitle("Bone Age (Years)");
    view.setReferenceTitle("Ref: Greulich and Pyle, 2nd ed; Stanford, CA: 1959");
    const int scale = int(state.range(0));
    QImage image(560 * scale, 420 * scale, QImage::Format_RGB32);
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter painter(&image);
        view.renderInto(painter, QRectF(QPointF(0, 0), image.size()));
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(renderFrame)->Arg(1)->Arg(4)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
