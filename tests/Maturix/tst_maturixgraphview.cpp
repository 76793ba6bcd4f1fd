#include "Gender.h"
#include "GraphicsContext.h"
#include "MaturixAssessment.h"
#include "MaturixGraphView.h"
#include "PatientChartSource.h"
#include "PatientFile.h"
#include "RenderedView.h"

#include <QFile>
#include <QTest>

#include <cmath>
#include <memory>

namespace {

const QDate birth(2010, 1, 15);

struct Exam
{
    QDate date; // invalid: no exam date
    qint64 maturixIndex;
};

std::unique_ptr<PatientRecord> makeRecord(qint64 gender, const std::vector<Exam> &exams)
{
    auto record = PatientRecord::blank();
    record->setReferenceString(QStringLiteral("AB-12"));
    record->setBirthDate(AbsoluteDate::fromLocalDate(birth));
    record->setGender(gender);
    for (const Exam &exam : exams) {
        record->addTRRecord();
        TRRecord *e = record->examination(record->trRecordsArray().size() - 1);
        e->setExamDate(exam.date.isValid() ? std::optional(AbsoluteDate::fromLocalDate(exam.date))
                                           : std::nullopt);
        e->setMaturixIndex(exam.maturixIndex);
    }
    return record;
}

// The record's chart at the size of an export, drawn into a white image.
struct Chart
{
    explicit Chart(const MaturixChartSource &source, QSize size = QSize(600, 450))
    {
        view.resize(size);
        view.setChartSource(&source);
        if (const PatientRecord *record = source.assessment().patientRecord())
            view.setRangeForGender(record->gender());
    }
    RenderedView render() { return RenderedView(view); }
    QPoint pixelFor(double x, double y) const
    {
        const QPointF p = view.pointForX(x, y);
        return QPoint(int(std::floor(p.x())), int(std::floor(p.y())));
    }

    MaturixGraphView view;
};

// A source that shows the highlight when asked, on whichever examination.
class HiliteSource : public PatientChartSource
{
public:
    HiliteSource(const PatientRecord *record, quint64 current, bool screenOnly)
        : PatientChartSource(record), m_current(current), m_screenOnly(screenOnly)
    {
    }
    quint64 currentExam() const override { return m_current; }
    bool shouldShowGraphHilite() const override
    {
        return !m_screenOnly || GraphicsContext::currentContextDrawingToScreen();
    }

private:
    quint64 m_current;
    bool m_screenOnly;
};

bool near(const QColor &c, int r, int g, int b)
{
    return qAbs(c.red() - r) <= 2 && qAbs(c.green() - g) <= 2 && qAbs(c.blue() - b) <= 2;
}

// Positions along one row (or column) where ink starts, in y-up pixels.
QList<int> inkRuns(const RenderedView &image, bool alongX, int fixed, int from, int to)
{
    QList<int> starts;
    bool inRun = false;
    for (int v = from; v < to; ++v) {
        const bool ink = alongX ? image.inkIn(v, fixed, v + 1, fixed + 1) > 0
                                : image.inkIn(fixed, v, fixed + 1, v + 1) > 0;
        if (ink && !inRun)
            starts.append(v);
        inRun = ink;
    }
    return starts;
}

// The six legend lines hang from the legend rectangle's top edge, 14
// points apart, and reach below the rectangle itself.
QRectF legendArea(const QRectF &legend)
{
    return QRectF(legend.x(), legend.bottom() - 6 * 14, legend.width(), 6 * 14);
}

int inkInRect(const RenderedView &image, const QRectF &r)
{
    return image.inkIn(int(r.left()), int(r.top()), int(std::ceil(r.right())),
                       int(std::ceil(r.bottom())));
}

} // namespace

class tst_MaturixGraphView : public QObject
{
    Q_OBJECT

private slots:
    void initialSettings();
    void rangeForGender_data();
    void rangeForGender();
    void axisRangeByPixels_data();
    void axisRangeByPixels();
    void bandColour_data();
    void bandColour();
    void marksAtExaminations();
    void unplottedExaminations();
    void highlightDisc();
    void highlightOnlyOnScreen();
    void legendPosition_data();
    void legendPosition();
    void legendTabColumnAndLines();
    void noSexDrawsFrameAndLegendOnly();
    void clearedSexResetsLegend();
    void exampleFile();
    void patientChartSource();
};

void tst_MaturixGraphView::initialSettings()
{
    MaturixGraphView view;
    QCOMPARE(view.xTitle(), QStringLiteral("Chronological Age (Years)"));
    QCOMPARE(view.yTitle(), QStringLiteral("Bone Age (Years)"));
    QCOMPARE(view.referenceTitle(),
             QStringLiteral("Ref: Greulich and Pyle, 2nd ed; Stanford, CA: 1959"));
    QCOMPARE(view.minX(), 0.0);
    QCOMPARE(view.maxX(), 20.0);
    QCOMPARE(view.majorXInterval(), 2.0);
    QCOMPARE(view.minY(), 0.0);
    QCOMPARE(view.maxY(), 20.0);
    QCOMPARE(view.majorYInterval(), 2.0);
    QCOMPARE(view.minorXInterval(), 0.0);
    QCOMPARE(view.minorYInterval(), 0.0);
    QCOMPARE(view.majorXIntervalDecimalPlaces(), qint64(0));
    QCOMPARE(view.majorYIntervalDecimalPlaces(), qint64(0));
    QCOMPARE(view.chartSource(), nullptr);
}

void tst_MaturixGraphView::rangeForGender_data()
{
    QTest::addColumn<qint64>("before");
    QTest::addColumn<qint64>("gender");
    QTest::addColumn<double>("range");
    QTest::newRow("male") << qint64(Gender::Female) << qint64(Gender::Male) << 20.0;
    QTest::newRow("female") << qint64(Gender::Male) << qint64(Gender::Female) << 18.0;
    QTest::newRow("unspecified keeps female") << qint64(Gender::Female) << qint64(0) << 18.0;
    QTest::newRow("unspecified keeps male") << qint64(Gender::Male) << qint64(0) << 20.0;
    QTest::newRow("unknown code keeps") << qint64(Gender::Female) << qint64(7) << 18.0;
}

void tst_MaturixGraphView::rangeForGender()
{
    QFETCH(qint64, before);
    QFETCH(qint64, gender);
    QFETCH(double, range);
    MaturixGraphView view;
    view.setRangeForGender(before);
    view.setRangeForGender(gender);
    QCOMPARE(view.maxX(), range);
    QCOMPARE(view.maxY(), range);
    QCOMPARE(view.minX(), 0.0);
    QCOMPARE(view.minY(), 0.0);
    QCOMPARE(view.majorXInterval(), 2.0);
    QCOMPARE(view.majorYInterval(), 2.0);
}

// A boy's chart and a girl's: the axis range and the band's colour, 25 %
// blue or red over white.
static void addSexes()
{
    QTest::addColumn<qint64>("gender");
    QTest::addColumn<int>("range");
    QTest::addColumn<QColor>("band");
    QTest::newRow("boy") << qint64(Gender::Male) << 20 << QColor(191, 191, 255);
    QTest::newRow("girl") << qint64(Gender::Female) << 18 << QColor(255, 191, 191);
}

void tst_MaturixGraphView::axisRangeByPixels_data()
{
    addSexes();
}

void tst_MaturixGraphView::axisRangeByPixels()
{
    QFETCH(qint64, gender);
    QFETCH(int, range);
    const auto record = makeRecord(gender, {});
    PatientChartSource source(record.get());
    Chart chart(source);
    const RenderedView image = chart.render();
    QCOMPARE(chart.view.maxX(), double(range));
    QCOMPARE(chart.view.maxY(), double(range));

    // Ticks every 2 from 0 to the range, and none beyond: the row 3 points
    // below the x axis and the column 3 points left of the y axis cross
    // only the ticks.
    QList<int> expectedX;
    QList<int> expectedY;
    for (int v = 0; v <= range; v += 2) {
        expectedX.append(chart.pixelFor(v, 0).x());
        expectedY.append(chart.pixelFor(0, v).y());
    }
    const QPoint origin = chart.pixelFor(0, 0);
    QCOMPARE(inkRuns(image, true, origin.y() - 3, origin.x() - 2, image.image().width()),
             expectedX);
    QCOMPARE(inkRuns(image, false, origin.x() - 3, origin.y() - 2, image.image().height()),
             expectedY);
}

void tst_MaturixGraphView::bandColour_data()
{
    addSexes();
}

void tst_MaturixGraphView::bandColour()
{
    QFETCH(qint64, gender);
    QFETCH(QColor, band);
    const auto record = makeRecord(gender, {});
    PatientChartSource source(record.get());
    Chart chart(source);
    const RenderedView image = chart.render();
    const MaturixAssessment &assessment = source.assessment();
    const quint64 n = assessment.maturixData().numberOfRecordsForGender(gender);
    QVERIFY(n > 4);
    for (quint64 i : { quint64(2), n / 2, n - 2 }) {
        const double age = assessment.chronologicalAgeForIndex(i, gender);
        const double mean = assessment.meanMaturixForIndex(i, gender);
        const double sd = assessment.standardDeviationForIndex(i, gender);
        for (double k : { 1.0, -1.0 }) {
            const QPoint inside = chart.pixelFor(age, mean + k * sd);
            const QColor c = image.pixel(inside.x(), inside.y());
            QVERIFY2(near(c, band.red(), band.green(), band.blue()),
                     qPrintable(QStringLiteral("%1 SD at row %2: %3").arg(k).arg(i).arg(c.name())));
            const QPoint outside = chart.pixelFor(age, mean + 3.0 * k * sd);
            QVERIFY(image.isWhite(outside.x(), outside.y()));
        }
        // The mean curve runs under the band and is tinted by it: darker
        // than the band, not the plain gray.
        const QPoint onMean = chart.pixelFor(age, mean);
        QColor darkest = Qt::white;
        for (int dy = -1; dy <= 1; ++dy) {
            const QColor m = image.pixel(onMean.x(), onMean.y() + dy);
            if (qGray(m.rgb()) < qGray(darkest.rgb()))
                darkest = m;
        }
        QVERIFY(qGray(darkest.rgb()) < qGray(band.rgb()) - 20);
        // A quarter of full blue (or red) over any gray adds 64 to that
        // channel alone; a line drawn over the band would weaken the tint.
        QVERIFY2(qAbs(darkest.blue() - darkest.red()) >= 58, qPrintable(darkest.name()));
    }
    // Before the first row and after the last there is no band.
    const QPoint before = chart.pixelFor(assessment.chronologicalAgeForIndex(0, gender) - 0.5,
                                         assessment.meanMaturixForIndex(0, gender));
    QVERIFY(image.isWhite(before.x(), before.y()));
}

void tst_MaturixGraphView::marksAtExaminations()
{
    // Bone ages well away from the mean, so that the crosses stand alone.
    const std::vector<Exam> exams = { { QDate(2015, 1, 20), 20 }, { QDate(2022, 6, 1), 17 } };
    const auto record = makeRecord(Gender::Male, exams);
    const auto unassessed = makeRecord(Gender::Male, { { exams[0].date, 0 }, { exams[1].date, 0 } });
    PatientChartSource source(record.get());
    PatientChartSource emptySource(unassessed.get());
    Chart chart(source);
    Chart empty(emptySource);
    const RenderedView image = chart.render();
    const RenderedView without = empty.render();
    for (quint64 i = 0; i < exams.size(); ++i) {
        const double a = source.assessment().chronologicalAgeForRecord(i);
        const double b = source.assessment().maturixForRecord(i);
        const QPoint p = chart.pixelFor(a, b);
        // A 10-point cross: ink on all four arms, none in the corners.
        QVERIFY(image.inkIn(p.x() + 3, p.y() - 1, p.x() + 5, p.y() + 2) > 0);
        QVERIFY(image.inkIn(p.x() - 4, p.y() - 1, p.x() - 2, p.y() + 2) > 0);
        QVERIFY(image.inkIn(p.x() - 1, p.y() + 3, p.x() + 2, p.y() + 5) > 0);
        QVERIFY(image.inkIn(p.x() - 1, p.y() - 4, p.x() + 2, p.y() - 2) > 0);
        QCOMPARE(image.inkIn(p.x() + 3, p.y() + 3, p.x() + 5, p.y() + 5), 0);
        QCOMPARE(without.inkIn(p.x() - 6, p.y() - 6, p.x() + 7, p.y() + 7), 0);
        // Black on top of the band.
        int darkest = 255;
        for (int dy = -1; dy <= 1; ++dy)
            darkest = std::min(darkest, qGray(image.pixel(p.x() + 3, p.y() + dy).rgb()));
        QVERIFY(darkest < 130);
    }
}

void tst_MaturixGraphView::unplottedExaminations()
{
    // No exam date (age 0) and not assessed (bone age -1): no mark, and
    // neither counts for the legend.
    const auto record = makeRecord(Gender::Male, { { QDate(), 16 }, { QDate(2020, 3, 14), 0 } });
    PatientChartSource source(record.get());
    Chart chart(source);
    const RenderedView image = chart.render();
    QCOMPARE(chart.view.minSD(), 0.0);
    const QPoint atZero = chart.pixelFor(0.0, 7.0);
    QCOMPARE(image.inkIn(atZero.x() + 2, atZero.y() - 6, atZero.x() + 7, atZero.y() + 7), 0);

    // Outside the ages of the reference table the standard deviation is 0:
    // a plotted examination there has no deviation and leaves the legend.
    const auto baby = makeRecord(Gender::Male, { { QDate(2010, 7, 15), 1 } });
    PatientChartSource babySource(baby.get());
    Chart babyChart(babySource);
    QCOMPARE(babySource.assessment().standardDeviationForRecord(0), 0.0);
    const RenderedView babyImage = babyChart.render();
    QCOMPARE(babyChart.view.minSD(), 0.0);
    const QPoint mark = babyChart.pixelFor(babySource.assessment().chronologicalAgeForRecord(0), 0.0);
    QVERIFY(babyImage.inkIn(mark.x() - 1, mark.y() + 2, mark.x() + 2, mark.y() + 5) > 0);
}

void tst_MaturixGraphView::highlightDisc()
{
    const auto record = makeRecord(Gender::Male, { { QDate(2015, 1, 20), 20 }, { QDate(2022, 6, 1), 17 } });
    for (quint64 current : { quint64(0), quint64(1) }) {
        HiliteSource source(record.get(), current, false);
        Chart chart(source);
        const RenderedView image = chart.render();
        for (quint64 i = 0; i < 2; ++i) {
            const QPoint p = chart.pixelFor(source.assessment().chronologicalAgeForRecord(i),
                                            source.assessment().maturixForRecord(i));
            // Inside the disc (radius 10) and beyond the cross's arms.
            const bool disc = image.isGray(p.x() + 7, p.y()) && image.isGray(p.x(), p.y() - 7)
                    && image.isGray(p.x() + 4, p.y() + 4);
            QCOMPARE(disc, i == current);
            // Nothing of it beyond its radius.
            QVERIFY(!image.isGray(p.x() + 12, p.y()));
        }
    }
}

void tst_MaturixGraphView::highlightOnlyOnScreen()
{
    const auto record = makeRecord(Gender::Male, { { QDate(2015, 1, 20), 20 } });
    HiliteSource source(record.get(), 0, true);
    Chart chart(source);
    const RenderedView image = chart.render();
    const QPoint mark = chart.pixelFor(source.assessment().chronologicalAgeForRecord(0),
                                       source.assessment().maturixForRecord(0));
    QVERIFY(!image.isGray(mark.x() + 7, mark.y()));

    // The window's own drawing asks the same source and gets the disc.
    const QImage screen = chart.view.grab().toImage();
    QCOMPARE(screen.size(), QSize(600, 450));
    const QColor c = screen.pixelColor(mark.x() + 7, screen.height() - 1 - mark.y());
    QVERIFY2(qAbs(c.red() - 128) <= 1 && c.red() == c.green() && c.green() == c.blue(),
             qPrintable(c.name()));

    // An export made from the same chart afterwards again has none.
    const RenderedView again = chart.render();
    QVERIFY(!again.isGray(mark.x() + 7, mark.y()));
}

void tst_MaturixGraphView::legendPosition_data()
{
    QTest::addColumn<qint64>("gender");
    QTest::addColumn<QList<qint64>>("indexes");
    QTest::addColumn<bool>("upperLeft");
    // A boy of 10y 1m: SD 0.94 years, mean 10.0. Standard 16 is 7.0 years
    // (-3.4 SD), 17 is 8.0 years (-2.3 SD), 20 is 11.0 years (+1.0 SD).
    QTest::newRow("within 3 SD") << qint64(Gender::Male) << QList<qint64> { 17 } << false;
    QTest::newRow("more than 3 SD below") << qint64(Gender::Male) << QList<qint64> { 16 } << true;
    QTest::newRow("lowest of several counts") << qint64(Gender::Male) << QList<qint64> { 20, 16, 17 }
                                              << true;
    QTest::newRow("above the mean") << qint64(Gender::Male) << QList<qint64> { 20 } << false;
    // A girl of 10y 1m: SD 0.9 years; standard 15 is 82 months (-3.3 SD).
    QTest::newRow("girl below") << qint64(Gender::Female) << QList<qint64> { 15 } << true;
}

void tst_MaturixGraphView::legendPosition()
{
    QFETCH(qint64, gender);
    QFETCH(QList<qint64>, indexes);
    QFETCH(bool, upperLeft);
    std::vector<Exam> exams;
    for (qint64 index : indexes)
        exams.push_back({ QDate(2020, 3, 1), index });
    const auto record = makeRecord(gender, exams);
    PatientChartSource source(record.get());
    Chart chart(source);
    const RenderedView image = chart.render();

    double lowest = 0.0;
    for (quint64 i = 0; i < exams.size(); ++i) {
        const MaturixAssessment &a = source.assessment();
        lowest = std::min(lowest, (a.maturixForRecord(i) - a.chronologicalAgeForRecord(i))
                                          / a.standardDeviationForRecord(i));
    }
    QCOMPARE(chart.view.minSD(), lowest);
    QCOMPARE(lowest < -3.0, upperLeft);

    const QRectF bounds = chart.view.bounds();
    const QRectF left(80, bounds.height() - 70, 200, 60);
    const QRectF right(bounds.width() - 210, 80, 200, 60);
    QCOMPARE(MaturixGraphView::legendRect(bounds, lowest), upperLeft ? left : right);
    // Six lines, 14 points apart, below the rectangle's top edge.
    const QRectF legend = upperLeft ? left : right;
    const QRectF other = upperLeft ? right : left;
    QVERIFY(inkInRect(image, legendArea(legend)) > 200);
    QCOMPARE(inkInRect(image, legendArea(other)), 0);
}

void tst_MaturixGraphView::legendTabColumnAndLines()
{
    const auto record = makeRecord(Gender::Male, { { QDate(2020, 3, 1), 19 } });
    PatientChartSource source(record.get());
    Chart chart(source);
    const RenderedView image = chart.render();
    const QRectF legend = MaturixGraphView::legendRect(chart.view.bounds(), 0.0);
    const int left = int(legend.x());
    const int top = int(legend.bottom());

    // Six text lines, each within its own 14-point band from the top.
    for (int line = 0; line < 6; ++line) {
        const int bandTop = top - 14 * line;
        const QRect ink = image.inkBounds(left, bandTop - 14, left + 200, bandTop);
        QVERIFY2(!ink.isEmpty(), qPrintable(QStringLiteral("line %1").arg(line + 1)));
        // The label starts at the rectangle's left edge.
        QVERIFY(ink.left() <= left + 2);
    }
    QCOMPARE(image.inkIn(left, top - 6 * 14 - 14, left + 200, top - 6 * 14), 0);
    QCOMPARE(image.inkIn(left, top, left + 200, top + 10), 0);

    // "Identifier:" is short: the value "AB-12" starts at the tab stop.
    const QRect label = image.inkBounds(left, top - 14, left + 100, top);
    QVERIFY(label.right() < left + 70);
    const QRect value = image.inkBounds(left + 70, top - 14, left + 200, top);
    QVERIFY(qAbs(value.left() - (left + 110)) <= 1);
}

void tst_MaturixGraphView::noSexDrawsFrameAndLegendOnly()
{
    // An assessed exam that would be plotted for a boy.
    const auto record = makeRecord(Gender::Unspecified, { { QDate(2020, 3, 1), 16 } });
    PatientChartSource source(record.get());
    Chart chart(source);
    const RenderedView image = chart.render();
    QCOMPARE(chart.view.maxX(), 20.0);
    const QRectF g = chart.view.graphRect();
    const QRectF legend = MaturixGraphView::legendRect(chart.view.bounds(), 0.0);
    const QRectF text = legendArea(legend);
    int nonWhite = 0;
    for (int y = int(g.y()) + 2; y < int(g.bottom()); ++y)
        for (int x = int(g.x()) + 2; x < int(g.right()); ++x)
            if (!text.contains(x, y) && !image.isWhite(x, y))
                ++nonWhite;
    QCOMPARE(nonWhite, 0);
    QVERIFY(inkInRect(image, legendArea(legend)) > 200);
    // The frame is there: axis lines and titles.
    const QPoint origin = chart.pixelFor(0, 0);
    QVERIFY(image.inkIn(origin.x() + 10, origin.y(), origin.x() + 20, origin.y() + 1) > 0);
    QVERIFY(image.inkIn(0, 0, 300, 14) > 0);

    // The same without any record at all.
    MaturixGraphView bare;
    bare.resize(600, 450);
    const RenderedView bareImage(bare);
    QVERIFY(inkInRect(bareImage, legendArea(legend)) > 100);
}

void tst_MaturixGraphView::clearedSexResetsLegend()
{
    const auto record = makeRecord(Gender::Male, { { QDate(2020, 3, 1), 16 } });
    PatientChartSource source(record.get());
    Chart chart(source);
    chart.render();
    QVERIFY(chart.view.minSD() < -3.0);
    record->setGender(Gender::Unspecified);
    const RenderedView image = chart.render();
    QCOMPARE(chart.view.minSD(), 0.0);
    const QRectF right = MaturixGraphView::legendRect(chart.view.bounds(), 0.0);
    QVERIFY(inkInRect(image, legendArea(right)) > 200);
}

void tst_MaturixGraphView::exampleFile()
{
    QFile file(QStringLiteral(MATURIX_TESTDATA_DIR "/typedstream/patient-v3-example.bin"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QString error;
    PatientFile::Versions versions;
    const auto record = PatientFile::read(file.readAll(), &error, &versions);
    QVERIFY2(record, qPrintable(error));
    PatientChartSource source(record.get());
    QCOMPARE(source.lastExam(), quint64(1));
    Chart chart(source);
    const RenderedView image = chart.render();
    // The dated exam (10y 1m, standard 10 years) is marked; the undated one
    // is not, and the legend stays at the lower right.
    const QPoint p = chart.pixelFor(source.assessment().chronologicalAgeForRecord(0), 10.0);
    QVERIFY(image.inkIn(p.x() + 3, p.y() - 1, p.x() + 5, p.y() + 2) > 0);
    QVERIFY(!image.isGray(p.x() + 7, p.y()));
    QCOMPARE(chart.view.minSD(), std::min(0.0, (10.0 - source.assessment().chronologicalAgeForRecord(0))
                                                       / source.assessment().standardDeviationForRecord(0)));
    const QRectF right = MaturixGraphView::legendRect(chart.view.bounds(), 0.0);
    QVERIFY(inkInRect(image, legendArea(right)) > 200);
}

void tst_MaturixGraphView::patientChartSource()
{
    PatientChartSource none(nullptr);
    QCOMPARE(none.lastExam(), quint64(0));
    const auto empty = makeRecord(Gender::Male, {});
    QCOMPARE(PatientChartSource(empty.get()).lastExam(), quint64(0));
    const auto three = makeRecord(Gender::Male, { { QDate(2015, 1, 1), 1 }, { QDate(2016, 1, 1), 1 },
                                                  { QDate(2017, 1, 1), 1 } });
    PatientChartSource source(three.get());
    QCOMPARE(source.lastExam(), quint64(2));
    QCOMPARE(source.currentExam(), quint64(2));
    QVERIFY(!source.shouldShowGraphHilite());
    QCOMPARE(source.assessment().patientRecord(), three.get());
}

QTEST_MAIN(tst_MaturixGraphView)
#include "tst_maturixgraphview.moc"
