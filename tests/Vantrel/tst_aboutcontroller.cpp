#include "AboutController.h"
#include "Bundle.h"
#include "Scheduler.h"

#include <QApplication>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QTest>

class tst_AboutController : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void showsIdentityStatusAndGradient();
    void closesByItselfOrOnClick_data();
    void closesByItselfOrOnClick();
};

static void sendMouse(QWidget *window, QEvent::Type type, QPoint local, Qt::MouseButtons buttons)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, local, window->mapToGlobal(local), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(window, &event);
}

void tst_AboutController::init()
{
    Scheduler::shared().setManualClock(true);
}

void tst_AboutController::showsIdentityStatusAndGradient()
{
    // The application's icon, as every window shows it.
    QPixmap applicationIcon(64, 64);
    applicationIcon.fill(Qt::red);
    QApplication::setWindowIcon(QIcon(applicationIcon));
    AboutController about;
    about.showWindow();
    QWidget *window = about.window();
    const Bundle &bundle = Bundle::mainBundle();
    auto text = [window](const char *name) {
        return window->findChild<QLabel *>(QString::fromLatin1(name))->text();
    };
    QCOMPARE(text("nameField"), bundle.name() + u' ' + bundle.shortVersion());
    // The compiler's date: month abbreviation, day, year.
    const QRegularExpression build(QStringLiteral("^Build %1 \\([A-Z][a-z]{2} \\d{1,2} \\d{4}\\)$")
                                           .arg(QRegularExpression::escape(bundle.buildVersion())));
    QVERIFY2(build.match(text("versionField")).hasMatch(), qPrintable(text("versionField")));
    QCOMPARE(text("copyrightField"), bundle.copyright());
    const QPixmap icon = window->findChild<QLabel *>(QStringLiteral("iconField"))->pixmap();
    QCOMPARE(icon.toImage().pixelColor(32, 32), QColor(Qt::red));

    about.showStatusString(QStringLiteral("Caching database..."));
    QCOMPARE(text("statusField"), QStringLiteral("Caching database..."));
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(window, &activate);
    QCOMPARE(about.statusString(), QString());

    // Light grey at the top, mid grey at the bottom.
    const QImage image = window->grab().toImage();
    QVERIFY(qAbs(QColor(image.pixel(2, 0)).red() - 204) <= 1);
    QVERIFY(qAbs(QColor(image.pixel(2, image.height() / 10)).red() - 179) <= 1);
    QVERIFY(qAbs(QColor(image.pixel(2, image.height() - 1)).red() - 128) <= 1);
}

void tst_AboutController::closesByItselfOrOnClick_data()
{
    QTest::addColumn<bool>("press");
    QTest::addColumn<bool>("drag");
    QTest::addColumn<double>("holdSeconds");
    QTest::addColumn<bool>("openAfterRelease");

    QTest::newRow("untouched") << false << false << 2.9 << true;
    QTest::newRow("click") << true << false << 0.05 << false;
    QTest::newRow("long click") << true << false << 0.5 << false;
    QTest::newRow("drag for half a second") << true << true << 0.5 << true;
    QTest::newRow("drag released within 0.1 s") << true << true << 0.05 << false;
}

void tst_AboutController::closesByItselfOrOnClick()
{
    QFETCH(bool, press);
    QFETCH(bool, drag);
    QFETCH(double, holdSeconds);
    QFETCH(bool, openAfterRelease);

    AboutController about;
    about.showWindow();
    QWidget *window = about.window();
    const QPoint start = window->pos();
    if (press)
        sendMouse(window, QEvent::MouseButtonPress, QPoint(50, 50), Qt::LeftButton);
    if (drag)
        sendMouse(window, QEvent::MouseMove, QPoint(80, 70), Qt::LeftButton);
    Scheduler::shared().advanceBy(holdSeconds);
    if (press)
        sendMouse(window, QEvent::MouseButtonRelease, QPoint(80, 70), Qt::NoButton);
    QCOMPARE(window->isVisible(), openAfterRelease);
    QCOMPARE(window->pos() - start, drag ? QPoint(30, 20) : QPoint());

    // Three seconds after loading it goes, dragged or not.
    Scheduler::shared().advanceBy(3.0 - holdSeconds);
    QVERIFY(!window->isVisible());
}

QTEST_MAIN(tst_AboutController)
#include "tst_aboutcontroller.moc"
