#include "RadiographView.h"

#include <QMouseEvent>
#include <QApplication>
#include <QPixmap>

#include <benchmark/benchmark.h>

namespace {

// A 4,000 × 5,000 16-bit radiograph: a ramp with a fine texture, so that
// neither the lookup nor the scaling meets one value only.
const QImage &largeRadiograph()
{
    static const QImage values = [] {
        QImage image(4000, 5000, QImage::Format_Grayscale16);
        for (int y = 0; y < image.height(); ++y) {
            auto *row = reinterpret_cast<quint16 *>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                row[x] = quint16((x * 7 + y * 11 + (x * y) % 251) & 0xFFFF);
        }
        return image;
    }();
    return values;
}

// One step of a window/level right-drag as the user makes it: the mouse
// moves, the window renders, the view paints into a widget-sized pixmap.
// Argument: 0 the image fitted into the view, 1 shown at 1:1.
void windowLevelDragStep(benchmark::State &state)
{
    RadiographView view;
    view.resize(1000, 800);
    const RadiographWindow initial { 32768.0, 65536.0, false };
    view.setRadiograph(largeRadiograph(), initial, initial.render(largeRadiograph()));
    if (state.range(0) == 1)
        view.zoomToActualSize();
    QPixmap pixmap(view.size());
    QPointF at(500, 400);
    QMouseEvent press(QEvent::MouseButtonPress, at, at, Qt::RightButton, Qt::RightButton, {});
    QApplication::sendEvent(&view, &press);
    int direction = 1;
    for (auto _ : state) {
        direction = -direction;
        at += QPointF(4 * direction, 0);
        QMouseEvent move(QEvent::MouseMove, at, at, Qt::NoButton, Qt::RightButton, {});
        QApplication::sendEvent(&view, &move);
        view.render(&pixmap);
        benchmark::DoNotOptimize(pixmap.cacheKey());
    }
}
BENCHMARK(windowLevelDragStep)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The window over every pixel of the image, for comparison.
void renderWholeImage(benchmark::State &state)
{
    const RadiographWindow window { 30000.0, 20000.0, false };
    for (auto _ : state)
        benchmark::DoNotOptimize(window.render(largeRadiograph()).constBits());
}
BENCHMARK(renderWholeImage)->Unit(benchmark::kMillisecond);

} // namespace
