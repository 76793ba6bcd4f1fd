#include "RadiographView.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTest>
#include <QWheelEvent>

// The Radiograph tab's view: what each key, wheel notch and drag does to the
// zoom and the window, and that a zoomed-out view renders only as many
// pixels as it shows.
class tst_RadiographView : public QObject
{
    Q_OBJECT

private slots:
    void actions_data();
    void actions();
};

namespace {
// A 400 × 500 gradient over the whole 16-bit range, as a decoder hands it.
QImage gradient()
{
    QImage values(400, 500, QImage::Format_Grayscale16);
    for (int y = 0; y < values.height(); ++y) {
        auto *row = reinterpret_cast<quint16 *>(values.scanLine(y));
        for (int x = 0; x < values.width(); ++x)
            row[x] = quint16((x + y * values.width()) * 65535LL / (400 * 500 - 1));
    }
    return values;
}

void send(QWidget *view, QEvent *event)
{
    QApplication::sendEvent(view, event);
}

void key(QWidget *view, Qt::Key key, Qt::KeyboardModifiers modifiers = {})
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    send(view, &press);
}

void rightDrag(QWidget *view, QPoint by)
{
    const QPointF from(100, 100);
    const QPointF to = from + by;
    QMouseEvent press(QEvent::MouseButtonPress, from, from, Qt::RightButton, Qt::RightButton, {});
    QMouseEvent move(QEvent::MouseMove, to, to, Qt::NoButton, Qt::RightButton, {});
    QMouseEvent release(QEvent::MouseButtonRelease, to, to, Qt::RightButton, Qt::NoButton, {});
    send(view, &press);
    send(view, &move);
    send(view, &release);
}

// "+", "-", "1", "F", "R", "I" are keys; "^Up" etc. with Ctrl; "wheel"
// one notch away; "drag:X,Y" a right-drag.
void act(QWidget *view, const QString &action)
{
    static const QHash<QString, Qt::Key> keys { { "+", Qt::Key_Plus },  { "-", Qt::Key_Minus },
                                                { "1", Qt::Key_1 },     { "F", Qt::Key_F },
                                                { "R", Qt::Key_R },     { "I", Qt::Key_I },
                                                { "Up", Qt::Key_Up },   { "Down", Qt::Key_Down },
                                                { "Left", Qt::Key_Left }, { "Right", Qt::Key_Right } };
    if (action.startsWith(u'^')) {
        key(view, keys.value(action.mid(1)), Qt::ControlModifier);
    } else if (action == u"wheel") {
        const QPointF at(100, 125);
        QWheelEvent wheel(at, at, {}, QPoint(0, 120), Qt::NoButton, {}, Qt::NoScrollPhase, false);
        send(view, &wheel);
    } else if (action.startsWith(u"drag:")) {
        const QStringList by = action.mid(5).split(u',');
        rightDrag(view, QPoint(by[0].toInt(), by[1].toInt()));
    } else {
        key(view, keys.value(action));
    }
}
} // namespace

void tst_RadiographView::actions_data()
{
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<double>("zoom");
    QTest::addColumn<bool>("fits");
    QTest::addColumn<double>("center");
    QTest::addColumn<double>("width");
    QTest::addColumn<bool>("inverted");
    QTest::addColumn<bool>("moved");
    // The image is drawn from at the largest halving not finer than needed.
    QTest::addColumn<QSize>("shownSize");

    // 400 × 500 in 200 × 250 fits at 0.5; the first window is 32768/65536,
    // so one window step is 1024 and a right-drag moves one step per 4 px.
    const QSize half(200, 250);
    QTest::newRow("fits at first") << QStringList() << 0.5 << true << 32768.0 << 65536.0 << false << false << half;
    QTest::newRow("+ zooms in") << QStringList { "+" } << 0.625 << false << 32768.0 << 65536.0 << false << false
                                << QSize(400, 500);
    QTest::newRow("- zooms out") << QStringList { "-" } << 0.4 << false << 32768.0 << 65536.0 << false << false
                                 << half;
    QTest::newRow("wheel zooms in") << QStringList { "wheel" } << 0.625 << false << 32768.0 << 65536.0 << false
                                    << false << QSize(400, 500);
    QTest::newRow("1 is 1:1") << QStringList { "1" } << 1.0 << false << 32768.0 << 65536.0 << false << false
                              << QSize(400, 500);
    QTest::newRow("F fits again") << QStringList { "1", "F" } << 0.5 << true << 32768.0 << 65536.0 << false
                                  << false << half;
    QTest::newRow("right-drag right widens") << QStringList { "drag:40,0" } << 0.5 << true << 32768.0 << 75776.0
                                             << false << true << half;
    QTest::newRow("right-drag down raises the centre")
            << QStringList { "drag:0,40" } << 0.5 << true << 43008.0 << 65536.0 << false << true << half;
    QTest::newRow("Ctrl+Up lowers the centre") << QStringList { "^Up" } << 0.5 << true << 31744.0 << 65536.0
                                               << false << true << half;
    QTest::newRow("Ctrl+Right widens") << QStringList { "^Right" } << 0.5 << true << 32768.0 << 66560.0 << false
                                       << true << half;
    QTest::newRow("I inverts") << QStringList { "I" } << 0.5 << true << 32768.0 << 65536.0 << true << true << half;
    QTest::newRow("R resets the window") << QStringList { "drag:40,40", "I", "R" } << 0.5 << true << 32768.0
                                         << 65536.0 << false << false << half;
}

void tst_RadiographView::actions()
{
    QFETCH(QStringList, actions);
    QFETCH(double, zoom);
    QFETCH(bool, fits);
    QFETCH(double, center);
    QFETCH(double, width);
    QFETCH(bool, inverted);
    QFETCH(bool, moved);
    QFETCH(QSize, shownSize);

    RadiographView view;
    view.resize(200, 250);
    const QImage values = gradient();
    const RadiographWindow initial { 32768.0, 65536.0, false };
    const QImage firstView = initial.render(values);
    view.setRadiograph(values, initial, firstView);
    for (const QString &action : actions)
        act(&view, action);

    QCOMPARE(view.zoom(), zoom);
    QCOMPARE(view.fitsWindow(), fits);
    QCOMPARE(view.window().center, center);
    QCOMPARE(view.window().width, width);
    QCOMPARE(view.window().inverted, inverted);
    QCOMPARE(view.windowMoved(), moved);
    QCOMPARE(view.shownImage().size(), shownSize);
    QCOMPARE(view.shownImage().format(), QImage::Format_Grayscale8);
    // The first view is the file's own until the window moves; after that
    // it is the window's rendering of the values, wherever it is drawn from.
    const QImage expected = moved ? view.window().render(values) : firstView;
    const int x = shownSize.width() - 1;
    const int y = shownSize.height() / 2;
    const int scale = values.width() / shownSize.width();
    QVERIFY(std::abs(qGray(view.shownImage().pixel(x, y)) - qGray(expected.pixel(x * scale, y * scale))) <= 1);
}

QTEST_MAIN(tst_RadiographView)
#include "tst_radiographview.moc"
