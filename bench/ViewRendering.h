#pragma once

#include "View.h"

#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

// Renders a view into a white image, as an export or a printout draws it,
// once per benchmark iteration; the benchmark's argument is the number of
// pixels per point (1 for an image, 4 for a printer page).
inline void renderViewRepeatedly(benchmark::State &state, View &view)
{
    const int scale = int(state.range(0));
    QImage image(view.width() * scale, view.height() * scale, QImage::Format_RGB32);
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter painter(&image);
        view.renderInto(painter, QRectF(QPointF(0, 0), image.size()));
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}
