#include "VantrelDocument.h"
#include "VantrelGraphView.h"

#include <QApplication>
#include <QPainter>
#include <QTest>

#include <memory>
#include <vector>

namespace {

class ClickRecordingDocument : public VantrelDocument
{
public:
    std::vector<QPointF> clicks;

    void setCurrentRecordFromClick(const QPointF &point) override { clicks.push_back(point); }
};

// The plotting area exists only once the chart has been drawn.
void drawOnce(VantrelGraphView &view)
{
    QImage image(view.size(), QImage::Format_ARGB32);
    QPainter painter(&image);
    view.renderInto(painter, QRectF(QPointF(0, 0), image.size()));
}

} // namespace

class tst_VantrelGraphView : public QObject
{
    Q_OBJECT

private slots:
    void clickReachesDocumentInDataCoordinates_data();
    void clickReachesDocumentInDataCoordinates();
    void clickWithoutDocumentIsHarmless();
    void documentIsNotOwned();
    void baseDocumentShowsFirstExamination();
};

void tst_VantrelGraphView::clickReachesDocumentInDataCoordinates_data()
{
    // Widget positions (y downwards) in a 300 x 200 chart with x 0-30 and
    // y 0-25: the plotting area is (50, 40, 240, 150) in y-up view points.
    QTest::addColumn<QPoint>("position");
    QTest::addColumn<QPointF>("expected");
    // The view point (50.5, 40.5) is the data origin; y-up 40.5 is widget
    // row 200 - 40.5 = 159.5, so the press at row 159 lands half a unit
    // above it.
    QTest::newRow("next to origin") << QPoint(50, 160) << QPointF(-0.5 / 240 * 30, -0.5 / 150 * 25);
    QTest::newRow("inside") << QPoint(170, 85)
                            << QPointF((170 - 50.5) / 240 * 30, (115 - 40.5) / 150 * 25);
    // No hit test: margins and the area below the x axis still count.
    QTest::newRow("left margin") << QPoint(5, 100)
                                 << QPointF((5 - 50.5) / 240 * 30, (100 - 40.5) / 150 * 25);
    QTest::newRow("below x axis") << QPoint(295, 195)
                                  << QPointF((295 - 50.5) / 240 * 30, (5 - 40.5) / 150 * 25);
}

void tst_VantrelGraphView::clickReachesDocumentInDataCoordinates()
{
    QFETCH(QPoint, position);
    QFETCH(QPointF, expected);
    ClickRecordingDocument document;
    VantrelGraphView view;
    view.resize(300, 200);
    view.setOwningDocument(&document);
    QCOMPARE(view.owningDocument(), &document);
    drawOnce(view);

    QTest::mouseClick(&view, Qt::LeftButton, {}, position);
    QCOMPARE(document.clicks.size(), std::size_t(1));
    QCOMPARE(document.clicks[0].x(), expected.x());
    QCOMPARE(document.clicks[0].y(), expected.y());
    // The data point maps back to the press position in view coordinates.
    QCOMPARE(view.pointForX(document.clicks[0].x(), document.clicks[0].y()),
             view.convertPointFromWidget(position));
}

void tst_VantrelGraphView::clickWithoutDocumentIsHarmless()
{
    VantrelGraphView view;
    view.resize(300, 200);
    drawOnce(view);
    QCOMPARE(view.owningDocument(), nullptr);
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(100, 100));
}

void tst_VantrelGraphView::documentIsNotOwned()
{
    VantrelGraphView view;
    view.resize(300, 200);
    drawOnce(view);
    {
        ClickRecordingDocument document;
        view.setOwningDocument(&document);
    }
    // The chart forgets a document that has gone instead of calling it.
    QCOMPARE(view.owningDocument(), nullptr);
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(100, 100));
}

void tst_VantrelGraphView::baseDocumentShowsFirstExamination()
{
    // The framework's own choice: every click shows the first examination.
    class CountingDocument : public VantrelDocument
    {
    public:
        quint64 lastExam() const override { return 3; }
    } document;
    document.doNextRecord();
    QCOMPARE(document.currentExam(), quint64(1));
    VantrelGraphView view;
    view.resize(300, 200);
    view.setOwningDocument(&document);
    drawOnce(view);
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(280, 20));
    QCOMPARE(document.currentExam(), quint64(0));
}

QTEST_MAIN(tst_VantrelGraphView)
#include "tst_vantrelgraphview.moc"
