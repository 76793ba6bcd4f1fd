#pragma once

#include "KVClassesExport.h"

#include <QColor>
#include <QFont>
#include <QPointF>
#include <QSizeF>

class QPainter;
class QPainterPath;
class QString;

// The painter that is drawing now, so that drawing code (graph views, charts,
// the palette) strokes, fills and writes without being handed a painter.
// Painters are made current by a Scope; scopes nest (an image drawn while the
// screen is painting) and the innermost one is current.
//
// Coordinates are those of the painter as the view set it up: y upwards.
// Strokes and fills use the current colour, kept in the painter's pen and
// brush so that saving and restoring the graphics state also restores it.
// Text is always black and upright, whatever the current colour.
class KVCLASSES_EXPORT GraphicsContext
{
public:
    enum class ImageInterpolation { None, High };

    // Makes a painter current for the lifetime of the scope. Drawing starts
    // with black as the current colour and with antialiasing on.
    class KVCLASSES_EXPORT Scope
    {
    public:
        Scope(QPainter &painter, bool drawingToScreen);
        ~Scope();
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;
    };

    // Null when nothing is drawing; every operation below is then a no-op.
    static QPainter *currentPainter();
    // False for images, printing and exports: screen-only decoration
    // (highlights) asks this.
    static bool currentContextDrawingToScreen();

    static void saveGraphicsState();
    static void restoreGraphicsState();

    static void setCurrentColor(const QColor &color);
    static QColor currentColor();

    static void setImageInterpolation(ImageInterpolation interpolation);
    static ImageInterpolation imageInterpolation();

    static void strokeLine(const QPointF &from, const QPointF &to, qreal lineWidth = 1.0);
    static void strokePath(const QPainterPath &path, qreal lineWidth = 1.0);
    // Filling closes open subpaths.
    static void fillPath(const QPainterPath &path);

    // The standard label font at a size in view units (points), so that text
    // keeps its size relative to the drawing on screen, images and paper.
    static QFont labelFont(int size);
    // Width and line height; an empty text measures zero.
    static QSizeF sizeOfText(const QString &text, const QFont &font);
    // Draws with the lower-left corner of the text's line box at origin.
    static void drawText(const QString &text, const QPointF &origin, const QFont &font);
    // Draws inside rect (y-up), from its top edge down, wrapping at its
    // width; with a tab stop, every tab moves to that distance from the
    // rectangle's left edge (a left-aligned column).
    static void drawText(const QString &text, const QRectF &rect, const QFont &font,
                         qreal tabStop = 0.0);
};
