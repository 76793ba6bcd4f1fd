#include "GraphicsContext.h"
#include "KVGraphView.h"
#include "RenderedView.h"
#include "SetColor.h"

#include <QPainterPath>
#include <QTest>

#include <functional>

// Mapping, tick labels, markers and the clip of the graph primitives.
class tst_KVPrimitiveGraphView : public QObject
{
    Q_OBJECT

private slots:
    void mapping_data();
    void mapping();
    void emptyRangeMapsToTheAxisStart();
    void tickLabel_data();
    void tickLabel();
    void markers_data();
    void markers();
    void plotMarkChoosesByCode_data();
    void plotMarkChoosesByCode();
    void drawGraphClipsAroundThePlottingArea();
    void rendersAtAnySize();
};

namespace {

// A graph view whose data drawing a test supplies.
class DataView : public KVGraphView
{
public:
    std::function<void(DataView &)> data;

    void drawGraph() override
    {
        KVGraphView::drawGraph();
        if (data)
            data(*this);
    }
};

enum class Marker { Cross, X, Triangle, Circle, Square };

struct Probe
{
    int x;
    int y;
    bool ink;
};

// Pixels on and off each marker centred on the view point (170.5, 115.5).
QList<Probe> probesFor(Marker marker)
{
    switch (marker) {
    case Marker::Cross:
        return {{166, 115, true}, {174, 115, true}, {170, 111, true}, {170, 119, true},
                {166, 111, false}, {174, 119, false}, {164, 115, false}, {170, 121, false}};
    case Marker::X:
        return {{166, 111, true}, {174, 119, true}, {174, 111, true}, {166, 119, true},
                {166, 115, false}, {170, 111, false}, {170, 119, false}};
    case Marker::Triangle:
        return {{170, 110, true}, {166, 110, true}, {174, 110, true}, {170, 120, true},
                {166, 112, true}, {174, 112, true}, {170, 115, false}, {165, 120, false},
                {175, 120, false}, {166, 117, false}};
    case Marker::Circle:
        return {{170, 110, true}, {170, 120, true}, {165, 115, true}, {175, 115, true},
                {170, 115, false}, {165, 110, false}, {175, 120, false}};
    case Marker::Square:
        return {{170, 110, true}, {170, 120, true}, {165, 115, true}, {175, 115, true},
                {165, 110, true}, {175, 120, true}, {170, 115, false}, {167, 113, false}};
    }
    return {};
}

void checkMarker(const RenderedView &rendered, Marker marker, bool red)
{
    for (const Probe &probe : probesFor(marker)) {
        const int ink = rendered.inkIn(probe.x, probe.y, probe.x + 1, probe.y + 1);
        if (probe.ink != (ink == 1) || (red && probe.ink && !rendered.isWhite(probe.x, probe.y)
                                        && rendered.pixel(probe.x, probe.y).green() > 128))
            QFAIL(qPrintable(QStringLiteral("pixel (%1, %2): expected %3")
                                 .arg(probe.x)
                                 .arg(probe.y)
                                 .arg(probe.ink ? "red ink" : "no ink")));
    }
}

} // namespace

Q_DECLARE_METATYPE(Marker)

void tst_KVPrimitiveGraphView::mapping_data()
{
    QTest::addColumn<QSizeF>("size");
    QTest::addColumn<QPointF>("xRange");
    QTest::addColumn<QPointF>("yRange");
    QTest::addColumn<QPointF>("data");
    QTest::addColumn<QPointF>("point");

    QTest::newRow("origin of 300x200") << QSizeF(300, 200) << QPointF(0, 30) << QPointF(0, 25)
                                       << QPointF(0, 0) << QPointF(50.5, 40.5);
    QTest::newRow("far corner") << QSizeF(300, 200) << QPointF(0, 30) << QPointF(0, 25)
                                << QPointF(30, 25) << QPointF(290.5, 190.5);
    QTest::newRow("offset ranges") << QSizeF(300, 200) << QPointF(0.5, 20) << QPointF(-5, 5)
                                   << QPointF(10.25, 0) << QPointF(170.5, 115.5);
    QTest::newRow("beyond the range is not clamped")
        << QSizeF(300, 200) << QPointF(0, 30) << QPointF(0, 25) << QPointF(-15, 50)
        << QPointF(-69.5, 340.5);
    QTest::newRow("reversed axis") << QSizeF(300, 200) << QPointF(30, 0) << QPointF(0, 25)
                                   << QPointF(0, 0) << QPointF(290.5, 40.5);
    QTest::newRow("chart size") << QSizeF(560, 420) << QPointF(0, 18) << QPointF(0, 18)
                                << QPointF(9, 4.5) << QPointF(300.5, 133.0);
}

void tst_KVPrimitiveGraphView::mapping()
{
    QFETCH(QSizeF, size);
    QFETCH(QPointF, xRange);
    QFETCH(QPointF, yRange);
    QFETCH(QPointF, data);
    QFETCH(QPointF, point);

    KVGraphView view;
    view.resize(size.toSize());
    view.setMinX(xRange.x());
    view.setMaxX(xRange.y());
    view.setMinY(yRange.x());
    view.setMaxY(yRange.y());
    RenderedView rendered(view);
    QCOMPARE(view.graphRect(), QRectF(50, 40, size.width() - 60, size.height() - 50));

    QCOMPARE(view.pointForX(data.x(), data.y()), point);
    const QPointF back = view.coordinateForPoint(point);
    QCOMPARE(back.x(), data.x());
    QCOMPARE(back.y(), data.y());
}

void tst_KVPrimitiveGraphView::emptyRangeMapsToTheAxisStart()
{
    KVGraphView view;
    view.resize(300, 200);
    view.setMinX(7);
    view.setMaxX(7);
    view.setMinY(3);
    view.setMaxY(3);
    RenderedView rendered(view);
    QCOMPARE(view.pointForX(100, -100), QPointF(50.5, 40.5));
    QCOMPARE(view.coordinateForPoint({200, 100}), QPointF(7, 3));

    // A view too small for any plotting area does not divide by zero either.
    view.resize(60, 50);
    view.setMaxX(17);
    RenderedView tiny(view);
    QCOMPARE(view.graphRect().size(), QSizeF(0, 0));
    QCOMPARE(view.coordinateForPoint({30, 30}), QPointF(7, 3));
}

void tst_KVPrimitiveGraphView::tickLabel_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<qint64>("places");
    QTest::addColumn<QString>("label");

    QTest::newRow("whole") << 20.0 << qint64(0) << "20";
    QTest::newRow("two places") << 2.5 << qint64(2) << "2.50";
    QTest::newRow("one place") << 20.0 << qint64(1) << "20.0";
    QTest::newRow("halves round to even") << 2.5 << qint64(0) << "2";
    QTest::newRow("5.5 rounds up") << 5.5 << qint64(0) << "6";
    QTest::newRow("accumulated sum") << (0.1 + 0.1 + 0.1) << qint64(1) << "0.3";
    QTest::newRow("negative") << -1.75 << qint64(1) << "-1.8";
    QTest::newRow("negative places count as none") << 12.25 << qint64(-3) << "12";
    QTest::newRow("huge places") << 0.5 << qint64(1000000000) << "0.50000000000000000";
}

void tst_KVPrimitiveGraphView::tickLabel()
{
    QFETCH(double, value);
    QFETCH(qint64, places);
    QFETCH(QString, label);
    QCOMPARE(KVPrimitiveGraphView::tickLabel(value, places), label);
}

void tst_KVPrimitiveGraphView::markers_data()
{
    QTest::addColumn<Marker>("marker");
    QTest::newRow("cross") << Marker::Cross;
    QTest::newRow("x") << Marker::X;
    QTest::newRow("triangle") << Marker::Triangle;
    QTest::newRow("circle") << Marker::Circle;
    QTest::newRow("square") << Marker::Square;
}

void tst_KVPrimitiveGraphView::markers()
{
    QFETCH(Marker, marker);
    DataView view;
    view.resize(300, 200);
    view.data = [marker](DataView &v) {
        SetColor::setColorRed();
        const QPointF p(170.5, 115.5);
        switch (marker) {
        case Marker::Cross:
            v.plotCrossAtPoint(p);
            break;
        case Marker::X:
            v.plotXAtPoint(p);
            break;
        case Marker::Triangle:
            v.plotTriangleAtPoint(p);
            break;
        case Marker::Circle:
            v.plotCircleAtPoint(p);
            break;
        case Marker::Square:
            v.plotSquareAtPoint(p);
            break;
        }
    };
    RenderedView rendered(view);
    checkMarker(rendered, marker, true);
    // No bigger than 10 x 10 around the point, plus half a line.
    QVERIFY(QRect(165, 110, 11, 11).contains(rendered.inkBounds(150, 95, 190, 135)));
}

void tst_KVPrimitiveGraphView::plotMarkChoosesByCode_data()
{
    QTest::addColumn<qint64>("code");
    QTest::addColumn<Marker>("marker");
    QTest::newRow("0 is a cross") << qint64(0) << Marker::Cross;
    QTest::newRow("1 is a cross") << qint64(1) << Marker::Cross;
    QTest::newRow("2 is an x") << qint64(2) << Marker::X;
    QTest::newRow("3 is a triangle") << qint64(3) << Marker::Triangle;
    QTest::newRow("4 is a circle") << qint64(4) << Marker::Circle;
    QTest::newRow("5 is a square") << qint64(5) << Marker::Square;
    QTest::newRow("9 is a cross") << qint64(9) << Marker::Cross;
    QTest::newRow("-1 is a cross") << qint64(-1) << Marker::Cross;
}

void tst_KVPrimitiveGraphView::plotMarkChoosesByCode()
{
    QFETCH(qint64, code);
    QFETCH(Marker, marker);
    DataView view;
    view.resize(300, 200);
    // (15, 12.5) of the default ranges is the view point (170.5, 115.5).
    view.data = [code](DataView &v) { v.plotMark(code, 15, 12.5); };
    RenderedView rendered(view);
    checkMarker(rendered, marker, false);
}

void tst_KVPrimitiveGraphView::drawGraphClipsAroundThePlottingArea()
{
    DataView view;
    view.resize(300, 200);
    view.data = [](DataView &v) {
        SetColor::setColorRed();
        QPainterPath all;
        all.addRect(v.bounds());
        GraphicsContext::fillPath(all);
    };
    RenderedView rendered(view);
    const auto red = [&](int x, int y) { return rendered.pixel(x, y) == QColor(Qt::red); };
    // (40, 30, 250, 170): 10 beyond the plotting area left, below and above,
    // flush on the right.
    QVERIFY(red(40, 100));
    QVERIFY(!red(39, 100));
    QVERIFY(red(289, 100));
    QVERIFY(!red(290, 100));
    QVERIFY(red(100, 30));
    QVERIFY(!red(100, 29));
    QVERIFY(red(100, 199));
    QVERIFY(!red(10, 5));
}

void tst_KVPrimitiveGraphView::rendersAtAnySize()
{
    KVGraphView view;
    view.resize(300, 200);
    RenderedView doubled(view, 2.0);
    QCOMPARE(doubled.image().size(), QSize(600, 400));
    // The x axis at y = 40.5 becomes two rows (80, 81), black; the y axis at
    // x = 50.5 two columns (100, 101), gray.
    QVERIFY(doubled.isBlack(300, 80));
    QVERIFY(doubled.isBlack(300, 81));
    QVERIFY(doubled.isWhite(300, 82));
    QVERIFY(doubled.isWhite(300, 79));
    QVERIFY(doubled.isGray(100, 200));
    QVERIFY(doubled.isGray(101, 200));
    QVERIFY(doubled.isWhite(102, 200));
    // A major x tick at 5 (view x 90.5) is 5 units long: rows 71 to 80.
    QVERIFY(doubled.isBlack(180, 72));
    QVERIFY(doubled.isWhite(180, 69));

    // Text keeps its size relative to the drawing on devices of any
    // resolution (printers): the labels are sized in view units.
    view.setXTitle("Chronological Age");
    QImage screen(300, 200, QImage::Format_ARGB32);
    QImage print = screen;
    print.setDotsPerMeterX(11811); // 300 dpi
    print.setDotsPerMeterY(11811);
    for (QImage *image : {&screen, &print}) {
        image->fill(Qt::white);
        QPainter painter(image);
        view.renderInto(painter, QRectF(0, 0, 300, 200));
    }
    QCOMPARE(print, screen);

    RenderedView half(view, 0.5);
    QCOMPARE(half.image().size(), QSize(150, 100));
    QVERIFY(half.inkIn(75, 19, 76, 22) > 0);
}

QTEST_MAIN(tst_KVPrimitiveGraphView)
#include "tst_kvprimitivegraphview.moc"
