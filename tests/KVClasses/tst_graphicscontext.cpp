#include "GraphicsContext.h"
#include "SetColor.h"
#include "View.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTest>

// The current painter, its colour state and upright black text in a y-up
// painter.
class tst_GraphicsContext : public QObject
{
    Q_OBJECT

private slots:
    void withoutPainterEverythingIsANoOp();
    void scopesNestAndStartBlack();
    void restoringTheStateRestoresTheColour();
    void strokeAndFillUseTheCurrentColour();
    void imageInterpolation();
    void textIsUprightAndBlackInAFlippedPainter();
    void emptyTextMeasuresZero();
    void textInARectangleIsTopAlignedWithATabColumn();
    void viewsDrawYUpAndTellTheScreenFromOtherPainters();
};

namespace {

QImage whiteImage(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::white);
    return image;
}

void flip(QPainter &painter, int height)
{
    painter.translate(0, height);
    painter.scale(1, -1);
}

QRect inkBounds(const QImage &image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 192)
                box |= QRect(x, y, 1, 1);
    return box;
}

} // namespace

void tst_GraphicsContext::withoutPainterEverythingIsANoOp()
{
    QVERIFY(!GraphicsContext::currentPainter());
    QVERIFY(!GraphicsContext::currentContextDrawingToScreen());
    SetColor::setColorRed();
    GraphicsContext::saveGraphicsState();
    GraphicsContext::strokeLine({0, 0}, {10, 10});
    GraphicsContext::drawText("text", {0, 0}, GraphicsContext::labelFont(10));
    GraphicsContext::restoreGraphicsState();
    QCOMPARE(GraphicsContext::currentColor(), QColor(Qt::black));
}

void tst_GraphicsContext::scopesNestAndStartBlack()
{
    QImage screen = whiteImage(10, 10);
    QImage offscreen = whiteImage(10, 10);
    QPainter outer(&screen);
    QPainter inner(&offscreen);
    {
        GraphicsContext::Scope screenScope(outer, true);
        SetColor::setColorRed();
        QCOMPARE(GraphicsContext::currentPainter(), &outer);
        QVERIFY(GraphicsContext::currentContextDrawingToScreen());
        {
            GraphicsContext::Scope imageScope(inner, false);
            QCOMPARE(GraphicsContext::currentPainter(), &inner);
            QVERIFY(!GraphicsContext::currentContextDrawingToScreen());
            QCOMPARE(GraphicsContext::currentColor(), QColor(Qt::black));
        }
        QCOMPARE(GraphicsContext::currentPainter(), &outer);
        QVERIFY(GraphicsContext::currentContextDrawingToScreen());
        QCOMPARE(GraphicsContext::currentColor(), QColor(Qt::red));
    }
    QVERIFY(!GraphicsContext::currentPainter());
}

void tst_GraphicsContext::restoringTheStateRestoresTheColour()
{
    QImage image = whiteImage(10, 10);
    QPainter painter(&image);
    GraphicsContext::Scope scope(painter, false);
    SetColor::setColorBlue();
    GraphicsContext::saveGraphicsState();
    SetColor::setColorGray();
    QCOMPARE(GraphicsContext::currentColor(), QColor::fromRgbF(0.5, 0.5, 0.5));
    GraphicsContext::restoreGraphicsState();
    QCOMPARE(GraphicsContext::currentColor(), QColor(Qt::blue));
}

void tst_GraphicsContext::strokeAndFillUseTheCurrentColour()
{
    QImage image = whiteImage(20, 20);
    {
        QPainter painter(&image);
        flip(painter, 20);
        GraphicsContext::Scope scope(painter, false);
        SetColor::setColorRed();
        // One-unit line on pixel centres: exactly one row, butt ends.
        GraphicsContext::strokeLine({2.0, 3.5}, {12.0, 3.5});
        SetColor::setColorBlue();
        QPainterPath triangle({2, 10});
        triangle.lineTo(18, 10);
        triangle.lineTo(18, 19);
        GraphicsContext::fillPath(triangle);
    }
    const int row = 20 - 1 - 3;
    QCOMPARE(image.pixelColor(2, row), QColor(Qt::red));
    QCOMPARE(image.pixelColor(11, row), QColor(Qt::red));
    QCOMPARE(image.pixelColor(12, row), QColor(Qt::white));
    QCOMPARE(image.pixelColor(1, row), QColor(Qt::white));
    QCOMPARE(image.pixelColor(5, row - 1), QColor(Qt::white));
    QCOMPARE(image.pixelColor(5, row + 1), QColor(Qt::white));
    // Filled (closed back to the start), not stroked.
    QCOMPARE(image.pixelColor(16, 20 - 1 - 12), QColor(Qt::blue));
    QCOMPARE(image.pixelColor(4, 20 - 1 - 17), QColor(Qt::white));
}

void tst_GraphicsContext::imageInterpolation()
{
    QImage image = whiteImage(4, 4);
    QPainter painter(&image);
    GraphicsContext::Scope scope(painter, false);
    GraphicsContext::setImageInterpolation(GraphicsContext::ImageInterpolation::High);
    QVERIFY(painter.testRenderHint(QPainter::SmoothPixmapTransform));
    QCOMPARE(GraphicsContext::imageInterpolation(), GraphicsContext::ImageInterpolation::High);
    GraphicsContext::setImageInterpolation(GraphicsContext::ImageInterpolation::None);
    QVERIFY(!painter.testRenderHint(QPainter::SmoothPixmapTransform));
}

void tst_GraphicsContext::textIsUprightAndBlackInAFlippedPainter()
{
    const QFont font = GraphicsContext::labelFont(12);
    const QString text = QStringLiteral("Bone Age");
    const QSizeF size = GraphicsContext::sizeOfText(text, font);
    const QPointF origin(10.0, 5.0);

    QImage flipped = whiteImage(120, 40);
    {
        QPainter painter(&flipped);
        flip(painter, 40);
        GraphicsContext::Scope scope(painter, false);
        SetColor::setColorRed();
        GraphicsContext::drawText(text, origin, font);
    }
    // The same text drawn the ordinary way, its line box's top-left at the
    // point that the y-up origin names.
    QImage plain = whiteImage(120, 40);
    {
        QPainter painter(&plain);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setFont(font);
        painter.setPen(Qt::black);
        const QFontMetricsF metrics(font);
        painter.drawText(QPointF(origin.x(), 40 - origin.y() - size.height() + metrics.ascent()),
                         text);
    }
    const QRect ink = inkBounds(flipped);
    QVERIFY(!ink.isEmpty());
    QCOMPARE(ink, inkBounds(plain));
    // Within the measured line box.
    QVERIFY(ink.left() >= origin.x() - 1 && ink.right() <= origin.x() + size.width() + 1);
    QVERIFY(ink.bottom() <= 40 - origin.y() && ink.top() >= 40 - origin.y() - size.height());
    // Black whatever the current colour.
    int darkest = 255;
    for (int y = ink.top(); y <= ink.bottom(); ++y)
        for (int x = ink.left(); x <= ink.right(); ++x) {
            const QColor c = flipped.pixelColor(x, y);
            QCOMPARE(c.red(), c.blue());
            darkest = qMin(darkest, c.red());
        }
    QVERIFY(darkest < 64);
}

void tst_GraphicsContext::emptyTextMeasuresZero()
{
    QCOMPARE(GraphicsContext::sizeOfText(QString(), GraphicsContext::labelFont(12)),
             QSizeF(0, 0));
    QVERIFY(GraphicsContext::sizeOfText("0", GraphicsContext::labelFont(10)).height() > 0);
}

void tst_GraphicsContext::textInARectangleIsTopAlignedWithATabColumn()
{
    const QFont font = GraphicsContext::labelFont(9);
    const QRectF rect(20, 40, 200, 60); // y-up: top edge at 100
    QImage image = whiteImage(300, 120);
    {
        QPainter painter(&image);
        flip(painter, 120);
        GraphicsContext::Scope scope(painter, false);
        GraphicsContext::drawText("Id:\tAB", rect, font, 110);
        GraphicsContext::drawText("Age:\tX", rect.translated(0, -14), font, 110);
        GraphicsContext::drawText(QString("Word ").repeated(12), QRectF(20, 0, 100, 30), font);
    }
    const auto inkOf = [&](int x0, int x1, int top, int bottom) {
        QImage part = image.copy(x0, top, x1 - x0, bottom - top);
        return inkBounds(part).translated(x0, top);
    };
    // Line 1 within the first 14 units below the rectangle's top (image row
    // 20); labels start at the left edge, values at the tab 110 further on.
    const QRect label = inkOf(0, 120, 0, 34);
    const QRect value = inkOf(120, 300, 0, 34);
    QVERIFY(!label.isEmpty() && !value.isEmpty());
    QVERIFY(qAbs(label.left() - 20) <= 1);
    QVERIFY(qAbs(value.left() - 130) <= 1);
    QVERIFY(label.top() >= 20 && label.bottom() < 20 + 14);
    // Line 2 is 14 lower, its value in the same column.
    const QRect second = inkOf(120, 300, 34, 60);
    QVERIFY(qAbs(second.left() - 130) <= 1);
    // Long text wraps inside its rectangle's width.
    const QRect wrapped = inkOf(0, 300, 90, 120);
    QVERIFY(wrapped.right() < 120);
    QVERIFY(wrapped.height() > GraphicsContext::sizeOfText("W", font).height());
}

void tst_GraphicsContext::viewsDrawYUpAndTellTheScreenFromOtherPainters()
{
    // Marks its lowest row and records where it was drawn.
    class MarkingView : public View
    {
    public:
        QList<bool> toScreen;
        void drawRect(const QRectF &) override
        {
            toScreen << GraphicsContext::currentContextDrawingToScreen();
            GraphicsContext::strokeLine({0.0, 0.5}, {bounds().width(), 0.5});
        }
    };
    MarkingView view;
    view.resize(20, 10);

    QImage image = whiteImage(40, 20);
    {
        QPainter painter(&image);
        view.renderInto(painter, QRectF(0, 0, 40, 20));
    }
    QCOMPARE(view.toScreen, QList<bool>{false});
    QCOMPARE(image.pixelColor(20, 19), QColor(Qt::black));
    QCOMPARE(image.pixelColor(20, 18), QColor(Qt::black));
    QCOMPARE(image.pixelColor(20, 17), QColor(Qt::white));

    const QImage grabbed = view.grab().toImage();
    QCOMPARE(view.toScreen, (QList<bool>{false, true}));
    QCOMPARE(grabbed.pixelColor(10, grabbed.height() - 1), QColor(Qt::black));
    QVERIFY(grabbed.pixelColor(10, grabbed.height() - 2) != QColor(Qt::black));

    // Mouse positions come in y downwards.
    QCOMPARE(view.convertPointFromWidget({3, 0}), QPointF(3, 10));
    QCOMPARE(view.convertPointFromWidget({3, 7.5}), QPointF(3, 2.5));
}

QTEST_MAIN(tst_GraphicsContext)
#include "tst_graphicscontext.moc"
