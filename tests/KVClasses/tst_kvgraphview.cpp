#include "GraphicsContext.h"
#include "KVGraphView.h"
#include "RenderedView.h"

#include <QTest>

#include <cmath>
#include <limits>

// The frame of a graph view rendered into an image: plotting area, axis
// lines, tick positions, labels, titles and the colours they are drawn in.
class tst_KVGraphView : public QObject
{
    Q_OBJECT

private slots:
    void defaults();
    void settersDoNotAskForARedraw();
    void plottingAreaOf300x200();
    void axesAndTickColours_data();
    void axesAndTickColours();
    void majorXTickPositions_data();
    void majorXTickPositions();
    void majorYTickPositions();
    void minorTicks();
    void labelsFollowTheDecimalPlaces_data();
    void labelsFollowTheDecimalPlaces();
    void labelsSitUnderAndBesideTheirTicks();
    void titles();
    void unusableIntervalsDrawNoTicks_data();
    void unusableIntervalsDrawNoTicks();
};

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

// Centres of the runs of ink along a line of pixels from first, count steps
// of step, weighted by darkness, measured along that line.
QList<double> inkCentres(const RenderedView &rendered, QPoint first, QPoint step, int count)
{
    QList<double> centres;
    double weight = 0.0;
    double moment = 0.0;
    for (int k = 0; k <= count; ++k) {
        const QPoint p = first + k * step;
        const double ink = k < count ? 1.0 - qGray(rendered.pixel(p.x(), p.y()).rgb()) / 255.0 : 0.0;
        if (ink > 0.05) {
            weight += ink;
            moment += ink * (QPoint::dotProduct(p, step) + 0.5);
        } else if (weight > 0.0) {
            centres << moment / weight;
            weight = moment = 0.0;
        }
    }
    return centres;
}

QList<double> inkCentres(const RenderedView &rendered, int x0, int x1, int y)
{
    return inkCentres(rendered, {x0, y}, {1, 0}, x1 - x0);
}

QList<double> inkCentresUp(const RenderedView &rendered, int x, int y0, int y1)
{
    return inkCentres(rendered, {x, y0}, {0, 1}, y1 - y0);
}

void compareCentres(const QList<double> &actual, const QList<double> &expected)
{
    QCOMPARE(actual.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i)
        if (qAbs(actual[i] - expected[i]) > 0.1)
            QFAIL(qPrintable(QStringLiteral("tick %1 at %2, expected %3")
                                 .arg(i)
                                 .arg(actual[i])
                                 .arg(expected[i])));
}

} // namespace

void tst_KVGraphView::defaults()
{
    KVGraphView view;
    QCOMPARE(view.minX(), 0.0);
    QCOMPARE(view.maxX(), 30.0);
    QCOMPARE(view.majorXInterval(), 5.0);
    QCOMPARE(view.minorXInterval(), 0.0);
    QCOMPARE(view.majorXIntervalDecimalPlaces(), 0);
    QCOMPARE(view.minY(), 0.0);
    QCOMPARE(view.maxY(), 25.0);
    QCOMPARE(view.majorYInterval(), 5.0);
    QCOMPARE(view.minorYInterval(), 0.0);
    QCOMPARE(view.majorYIntervalDecimalPlaces(), 0);
    QVERIFY(view.xTitle().isEmpty());
    QVERIFY(view.yTitle().isEmpty());
    QVERIFY(view.referenceTitle().isEmpty());
}

void tst_KVGraphView::settersDoNotAskForARedraw()
{
    KVGraphView view;
    view.setMaxX(18);
    view.setXTitle("Age");
    QVERIFY(!view.needsDisplay());
    QCOMPARE(view.maxX(), 18.0);
    QCOMPARE(view.xTitle(), QStringLiteral("Age"));
}

void tst_KVGraphView::plottingAreaOf300x200()
{
    KVGraphView view;
    view.resize(300, 200);
    RenderedView rendered(view);
    QCOMPARE(view.graphRect(), QRectF(50, 40, 240, 150));
    QCOMPARE(view.pointForX(view.minX(), view.minY()), QPointF(50.5, 40.5));
    QCOMPARE(view.coordinateForPoint({50.5, 40.5}), QPointF(0, 0));

    // The x axis is the one-unit row y = 40 from x = 50.5 to 290.5; the y
    // axis the column x = 50 from y = 40.5 to 190.5. Nothing above or to the
    // right of the plotting area.
    QVERIFY(rendered.isBlack(51, 40));
    QVERIFY(rendered.isBlack(289, 40));
    QVERIFY(rendered.isWhite(291, 40));
    QVERIFY(rendered.isWhite(150, 41));
    QVERIFY(rendered.isGray(50, 41));
    QVERIFY(rendered.isGray(50, 189));
    QVERIFY(rendered.isWhite(50, 191));
    QVERIFY(rendered.isWhite(51, 100));
    QCOMPARE(rendered.inkIn(51, 41, 300, 200), 0);
}

void tst_KVGraphView::axesAndTickColours_data()
{
    QTest::addColumn<double>("minorY");
    QTest::addColumn<bool>("majorYBlack");
    // Without minor y ticks the major y ticks keep the gray that the x title
    // left set; minor y ticks end with black, which the major ones then use.
    QTest::newRow("no minor y ticks") << 0.0 << false;
    QTest::newRow("minor y ticks") << 1.0 << true;
}

void tst_KVGraphView::axesAndTickColours()
{
    QFETCH(double, minorY);
    QFETCH(bool, majorYBlack);
    KVGraphView view;
    view.resize(300, 200);
    view.setMinorYInterval(minorY);
    RenderedView rendered(view);

    QVERIFY(rendered.isBlack(150, 40));  // x axis
    QVERIFY(rendered.isBlack(90, 37));   // major x tick at 5
    QVERIFY(rendered.isGray(50, 103));   // y axis, between ticks
    QCOMPARE(rendered.isBlack(47, 70), majorYBlack); // major y tick at 5
    QCOMPARE(rendered.isGray(47, 70), !majorYBlack);
    if (minorY > 0)
        QVERIFY(rendered.isGray(47, 46)); // minor y tick at 1
    else
        QVERIFY(rendered.isWhite(47, 46));
}

void tst_KVGraphView::majorXTickPositions_data()
{
    QTest::addColumn<double>("minX");
    QTest::addColumn<double>("maxX");
    QTest::addColumn<double>("interval");
    QTest::addColumn<QList<double>>("values");

    QTest::newRow("defaults") << 0.0 << 30.0 << 5.0 << QList<double>{0, 5, 10, 15, 20, 25, 30};
    QTest::newRow("0-20 every 2")
        << 0.0 << 20.0 << 2.0 << QList<double>{0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20};
    // floor(20.5) = 20 does not exceed the maximum, so a last tick falls half
    // a unit beyond the axis end.
    QTest::newRow("from 0.5") << 0.5 << 20.0 << 5.0
                              << QList<double>{0.5, 5.5, 10.5, 15.5, 20.5};
    QTest::newRow("0-18 every 2 (female chart)")
        << 0.0 << 18.0 << 2.0 << QList<double>{0, 2, 4, 6, 8, 10, 12, 14, 16, 18};
}

void tst_KVGraphView::majorXTickPositions()
{
    QFETCH(double, minX);
    QFETCH(double, maxX);
    QFETCH(double, interval);
    QFETCH(QList<double>, values);
    KVGraphView view;
    view.resize(300, 200);
    view.setMinX(minX);
    view.setMaxX(maxX);
    view.setMajorXInterval(interval);
    RenderedView rendered(view);

    QList<double> expected;
    for (double x : values)
        expected << (x - minX) / (maxX - minX) * 240.0 + 50.5;
    // Ticks run 5 down from the axis: the rows 36 to 39 hold only ticks.
    for (int y = 36; y <= 39; ++y)
        compareCentres(inkCentres(rendered, 48, 300, y), expected);
    QCOMPARE(rendered.inkIn(0, 34, 300, 35), 0); // they end at 35.5
    // Each has its label below it.
    for (double px : expected)
        QVERIFY(rendered.inkIn(int(px) - 8, 20, int(px) + 9, 34) > 0);
}

void tst_KVGraphView::majorYTickPositions()
{
    KVGraphView view;
    view.resize(300, 200);
    view.setMinY(0);
    view.setMaxY(20);
    view.setMajorYInterval(2);
    RenderedView rendered(view);
    QList<double> expected;
    for (int k = 0; k <= 10; ++k)
        expected << k * 2 / 20.0 * 150.0 + 40.5;
    for (int x = 46; x <= 49; ++x)
        compareCentres(inkCentresUp(rendered, x, 38, 200), expected);
}

void tst_KVGraphView::minorTicks()
{
    KVGraphView view;
    view.resize(300, 200);
    view.setMinorXInterval(1);
    RenderedView rendered(view);
    // One every 8 units from 50.5 to 290.5, gray where no major tick lies
    // over them; the major ticks stay black.
    QList<double> expected;
    for (int k = 0; k <= 30; ++k)
        expected << 50.5 + 8 * k;
    compareCentres(inkCentres(rendered, 48, 300, 37), expected);
    QVERIFY(rendered.isGray(58, 37));
    QVERIFY(rendered.isGray(282, 37));
    QVERIFY(rendered.isBlack(90, 37));
    QVERIFY(rendered.isBlack(290, 37));

    // Minor ticks stop at the maximum itself, without flooring.
    view.setMinX(0.5);
    view.setMaxX(20);
    view.setMinorXInterval(5);
    view.setMajorXInterval(100);
    RenderedView shifted(view);
    compareCentres(inkCentres(shifted, 48, 300, 37),
                   {50.5, 50.5 + 5 / 19.5 * 240, 50.5 + 10 / 19.5 * 240, 50.5 + 15 / 19.5 * 240});
}

void tst_KVGraphView::labelsFollowTheDecimalPlaces_data()
{
    QTest::addColumn<qint64>("places");
    QTest::addColumn<QString>("label");
    QTest::newRow("none") << qint64(0) << "2";
    QTest::newRow("one") << qint64(1) << "2.5";
    QTest::newRow("two") << qint64(2) << "2.50";
}

void tst_KVGraphView::labelsFollowTheDecimalPlaces()
{
    QFETCH(qint64, places);
    QFETCH(QString, label);
    KVGraphView view;
    view.resize(300, 200);
    view.setMinX(0);
    view.setMaxX(5);
    view.setMajorXInterval(2.5);
    view.setMajorXIntervalDecimalPlaces(places);
    view.setMajorYIntervalDecimalPlaces(places);
    RenderedView rendered(view);

    // The x label of the tick at 2.5 (view x 170.5) is as wide as its text.
    const QFont font = GraphicsContext::labelFont(10);
    const double width = GraphicsContext::sizeOfText(label, font).width();
    const QRect ink = rendered.inkBounds(130, 0, 211, 34);
    QVERIFY(!ink.isEmpty());
    QVERIFY2(qAbs(ink.width() - width) <= 2.5,
             qPrintable(QStringLiteral("ink %1 wide, text %2").arg(ink.width()).arg(width)));
    QVERIFY(qAbs(ink.center().x() + 0.5 - 170.5) <= 1.5);

    // The y labels grow to the left of their ticks the same way.
    const double yWidth =
        GraphicsContext::sizeOfText(KVPrimitiveGraphView::tickLabel(5, places), font).width();
    const QRect yInk = rendered.inkBounds(0, 60, 46, 81);
    QVERIFY(qAbs(yInk.width() - yWidth) <= 2.5);
}

void tst_KVGraphView::labelsSitUnderAndBesideTheirTicks()
{
    KVGraphView view;
    view.resize(300, 200);
    RenderedView rendered(view);
    const QFont font = GraphicsContext::labelFont(10);
    const QSizeF size = GraphicsContext::sizeOfText("10", font);

    // "10" under the x tick at 130.5, centred, its line box ending 2 below
    // the tick's end at 35.5; and "10" left of the y tick at 100.5, its line
    // box ending 2 left of the tick's end at 45.5, centred on it.
    const QPointF xOrigin(130.5 - size.width() / 2, 35.5 - 2 - size.height());
    const QPointF yOrigin(45.5 - 2 - size.width(), 100.5 - size.height() / 2);
    const QRect xInk = rendered.inkBounds(100, 0, 161, 35);
    const QRect yInk = rendered.inkBounds(0, 85, 45, 116);

    // Where the glyphs' ink lies in such a line box (y-up); the tight box is
    // rounded out and faint edge pixels do not count as ink, hence 1.5.
    const QFontMetricsF metrics(font);
    const QRectF glyphs = metrics.tightBoundingRect("10");
    const auto expectedInk = [&](const QPointF &origin) {
        const double baseline = origin.y() + metrics.descent();
        return QRectF(origin.x() + glyphs.left(), baseline - glyphs.bottom(), glyphs.width(),
                      glyphs.height());
    };
    for (const auto &[ink, origin] : {std::pair(xInk, xOrigin), std::pair(yInk, yOrigin)}) {
        const QRectF expected = expectedInk(origin);
        const QRectF actual(ink.x(), ink.y(), ink.width(), ink.height());
        QVERIFY2(qAbs(actual.left() - expected.left()) <= 1.5
                     && qAbs(actual.right() - expected.right()) <= 1.5
                     && qAbs(actual.top() - expected.top()) <= 1.5
                     && qAbs(actual.bottom() - expected.bottom()) <= 1.5,
                 qPrintable(QStringLiteral("ink (%1, %2, %3, %4), expected (%5, %6, %7, %8)")
                                .arg(actual.x())
                                .arg(actual.y())
                                .arg(actual.width())
                                .arg(actual.height())
                                .arg(expected.x())
                                .arg(expected.y())
                                .arg(expected.width())
                                .arg(expected.height())));
    }
}

void tst_KVGraphView::titles()
{
    KVGraphView view;
    view.resize(300, 200);
    RenderedView untitled(view);

    view.setXTitle("Age");
    view.setYTitle("Bone");
    view.setReferenceTitle("Ref");
    RenderedView titled(view);

    const QFont font12 = GraphicsContext::labelFont(12);
    const QSizeF xSize = GraphicsContext::sizeOfText("Age", font12);
    const QSizeF ySize = GraphicsContext::sizeOfText("Bone", font12);
    const QSizeF refSize = GraphicsContext::sizeOfText("Ref", GraphicsContext::labelFont(10));

    // Nothing beyond the frame without titles.
    QCOMPARE(untitled.inkIn(0, 0, 300, 18), 0);
    QCOMPARE(untitled.inkIn(0, 0, 25, 200), 0);

    // X title flush with the right and bottom edges.
    const QRect x = titled.inkBounds(150, 0, 300, 18);
    QVERIFY(!x.isEmpty());
    QVERIFY(x.left() >= 300 - xSize.width() - 1);
    QVERIFY(x.right() <= 299);
    QVERIFY(x.top() >= 0 && x.top() + x.height() <= xSize.height());

    // Y title along the left edge, reading upwards, ending 2 below the top.
    const QRect y = titled.inkBounds(0, 30, 25, 200);
    QVERIFY(!y.isEmpty());
    QVERIFY(y.left() >= 0 && y.left() + y.width() <= ySize.height() + 1);
    QVERIFY(y.top() + y.height() <= 198);
    QVERIFY(y.top() >= 198 - ySize.width() - 1);
    QVERIFY(y.height() > y.width()); // rotated, not lying flat

    // Reference title at the lower-left corner.
    const QRect ref = titled.inkBounds(0, 0, 100, 18);
    QVERIFY(!ref.isEmpty());
    QVERIFY(ref.left() <= 2 && ref.right() <= refSize.width());
    QVERIFY(ref.top() >= 0 && ref.top() + ref.height() <= refSize.height());

    // Titles are black although the x title leaves gray as the current
    // colour.
    int darkest = 255;
    for (int py = x.top(); py <= x.bottom(); ++py)
        for (int px = x.left(); px <= x.right(); ++px)
            darkest = qMin(darkest, qGray(titled.pixel(px, py).rgb()));
    QVERIFY(darkest < 64);
}

void tst_KVGraphView::unusableIntervalsDrawNoTicks_data()
{
    QTest::addColumn<double>("minX");
    QTest::addColumn<double>("maxX");
    QTest::addColumn<double>("major");
    QTest::addColumn<double>("minor");

    QTest::newRow("zero major") << 0.0 << 30.0 << 0.0 << 0.0;
    QTest::newRow("negative major") << 0.0 << 30.0 << -5.0 << 0.0;
    QTest::newRow("NaN major") << 0.0 << 30.0 << notANumber << 0.0;
    QTest::newRow("infinite major") << 0.0 << 30.0 << inf << 0.0;
    QTest::newRow("negative minor") << 0.0 << 30.0 << 0.0 << -1.0;
    QTest::newRow("NaN minor") << 0.0 << 30.0 << 0.0 << notANumber;
    QTest::newRow("billions of ticks") << 0.0 << 30.0 << 1e-9 << 1e-9;
    QTest::newRow("below the value's precision") << 1e17 << 1e17 + 64 << 1.0 << 1.0;
    QTest::newRow("infinite range") << 0.0 << inf << 5.0 << 1.0;
    QTest::newRow("NaN range") << notANumber << 30.0 << 5.0 << 1.0;
}

void tst_KVGraphView::unusableIntervalsDrawNoTicks()
{
    QFETCH(double, minX);
    QFETCH(double, maxX);
    QFETCH(double, major);
    QFETCH(double, minor);
    KVGraphView view;
    view.resize(300, 200);
    view.setMinX(minX);
    view.setMaxX(maxX);
    view.setMajorXInterval(major);
    view.setMinorXInterval(minor);
    view.setMinY(minX);
    view.setMaxY(maxX);
    view.setMajorYInterval(major);
    view.setMinorYInterval(minor);
    RenderedView rendered(view);

    if (std::isfinite(minX) && std::isfinite(maxX)) {
        QVERIFY(rendered.isBlack(150, 40)); // the axes are still drawn
        QVERIFY(rendered.isGray(50, 103));
    }
    if (minX == 1e17) {
        // The loop gives up once adding the interval changes nothing: at
        // most the first tick.
        QVERIFY(inkCentres(rendered, 48, 300, 37).size() <= 1);
        QVERIFY(inkCentresUp(rendered, 47, 38, 200).size() <= 1);
        return;
    }
    QCOMPARE(rendered.inkIn(48, 36, 300, 40), 0); // no x ticks
    QCOMPARE(rendered.inkIn(0, 0, 300, 34), 0);   // no x labels
    QCOMPARE(rendered.inkIn(0, 41, 50, 200), 0);  // no y ticks or labels
}

QTEST_MAIN(tst_KVGraphView)
#include "tst_kvgraphview.moc"
