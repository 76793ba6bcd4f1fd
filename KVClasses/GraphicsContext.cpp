#include "GraphicsContext.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QTextOption>

#include <vector>

namespace {

struct Entry
{
    QPainter *painter;
    bool drawingToScreen;
};

// Drawing happens on the main thread only.
std::vector<Entry> &stack()
{
    static std::vector<Entry> entries;
    return entries;
}

QPen strokePen(qreal lineWidth)
{
    // Butt caps and mitred joins: a one-unit line ends where it is told to.
    return QPen(GraphicsContext::currentColor(), lineWidth, Qt::SolidLine, Qt::FlatCap,
                Qt::MiterJoin);
}

} // namespace

GraphicsContext::Scope::Scope(QPainter &painter, bool drawingToScreen)
{
    stack().push_back({&painter, drawingToScreen});
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    setCurrentColor(Qt::black);
}

GraphicsContext::Scope::~Scope()
{
    stack().pop_back();
}

QPainter *GraphicsContext::currentPainter()
{
    return stack().empty() ? nullptr : stack().back().painter;
}

bool GraphicsContext::currentContextDrawingToScreen()
{
    return !stack().empty() && stack().back().drawingToScreen;
}

void GraphicsContext::saveGraphicsState()
{
    if (QPainter *painter = currentPainter())
        painter->save();
}

void GraphicsContext::restoreGraphicsState()
{
    if (QPainter *painter = currentPainter())
        painter->restore();
}

void GraphicsContext::setCurrentColor(const QColor &color)
{
    QPainter *painter = currentPainter();
    if (!painter)
        return;
    painter->setPen(QPen(color, 1.0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    painter->setBrush(color);
}

QColor GraphicsContext::currentColor()
{
    QPainter *painter = currentPainter();
    return painter ? painter->brush().color() : QColor(Qt::black);
}

void GraphicsContext::setImageInterpolation(ImageInterpolation interpolation)
{
    if (QPainter *painter = currentPainter())
        painter->setRenderHint(QPainter::SmoothPixmapTransform,
                               interpolation == ImageInterpolation::High);
}

GraphicsContext::ImageInterpolation GraphicsContext::imageInterpolation()
{
    QPainter *painter = currentPainter();
    return painter && painter->testRenderHint(QPainter::SmoothPixmapTransform)
        ? ImageInterpolation::High
        : ImageInterpolation::None;
}

void GraphicsContext::strokeLine(const QPointF &from, const QPointF &to, qreal lineWidth)
{
    QPainterPath path(from);
    path.lineTo(to);
    strokePath(path, lineWidth);
}

void GraphicsContext::strokePath(const QPainterPath &path, qreal lineWidth)
{
    if (QPainter *painter = currentPainter())
        painter->strokePath(path, strokePen(lineWidth));
}

void GraphicsContext::fillPath(const QPainterPath &path)
{
    if (QPainter *painter = currentPainter())
        painter->fillPath(path, currentColor());
}

QFont GraphicsContext::labelFont(int size)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    // A pixel size is in the painter's units before its transform, unlike a
    // point size, which the device resolution would scale a second time.
    font.setPixelSize(size);
    // Hinting would snap glyphs differently at each scale; screen, image and
    // paper should lay out the same.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

QSizeF GraphicsContext::sizeOfText(const QString &text, const QFont &font)
{
    if (text.isEmpty())
        return {0.0, 0.0};
    const QFontMetricsF metrics(font);
    return {metrics.horizontalAdvance(text), metrics.height()};
}

namespace {

// Runs draw with the painter set up for text whose line box has its top-left
// corner at the y-up point topLeft: the y-up flip undone locally, so that
// glyphs stand upright, and the text black.
template<typename Draw>
void drawUpright(const QPointF &topLeft, const QFont &font, Draw draw)
{
    QPainter *painter = GraphicsContext::currentPainter();
    if (!painter)
        return;
    painter->save();
    painter->translate(topLeft);
    painter->scale(1.0, -1.0);
    painter->setFont(font);
    painter->setPen(Qt::black);
    draw(*painter);
    painter->restore();
}

} // namespace

void GraphicsContext::drawText(const QString &text, const QPointF &origin, const QFont &font)
{
    if (text.isEmpty())
        return;
    const QFontMetricsF metrics(font);
    drawUpright(QPointF(origin.x(), origin.y() + metrics.height()), font,
                [&](QPainter &painter) { painter.drawText(QPointF(0.0, metrics.ascent()), text); });
}

void GraphicsContext::drawText(const QString &text, const QRectF &rect, const QFont &font,
                               qreal tabStop)
{
    if (text.isEmpty())
        return;
    QTextOption option(Qt::AlignLeft | Qt::AlignTop);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    if (tabStop > 0.0)
        option.setTabs({QTextOption::Tab(tabStop, QTextOption::LeftTab)});
    drawUpright(QPointF(rect.x(), rect.y() + rect.height()), font, [&](QPainter &painter) {
        painter.drawText(QRectF(0.0, 0.0, rect.width(), rect.height()), text, option);
    });
}
