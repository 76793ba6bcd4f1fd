#include "Assertion.h"
#include "WaitController.h"

#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QTest>

class tst_WaitController : public QObject
{
    Q_OBJECT

private slots:
    void loadsStatusFromInterfaceFile();
    void barFollowsValueAndMaximum();
    void indeterminateAndBack();
    void missingStatusIsAssertion();
    void destroyingHidesPanel();
};

static QProgressBar *bar(WaitController &controller)
{
    return controller.window()->findChild<QProgressBar *>(QStringLiteral("progressBar"));
}

void tst_WaitController::loadsStatusFromInterfaceFile()
{
    WaitController controller(QStringLiteral("Downloading update..."));
    QCOMPARE(controller.statusString(), QStringLiteral("Downloading update..."));
    controller.showWindow();
    QWidget *window = controller.window();
    QVERIFY(window->isVisible());
    QVERIFY(window->windowFlags() & Qt::WindowStaysOnTopHint);
    auto *label = window->findChild<QLabel *>(QStringLiteral("statusText"));
    QVERIFY(label);
    QCOMPARE(label->text(), QStringLiteral("Downloading update..."));
    controller.setStatusString(QStringLiteral("Almost there"));
    QCOMPARE(label->text(), QStringLiteral("Almost there"));
    controller.dismiss();
    QVERIFY(!window->isVisible());
}

void tst_WaitController::barFollowsValueAndMaximum()
{
    WaitController controller(QStringLiteral("x"));
    // Beyond the range of int: the bar still shows the right share.
    const qint64 total = qint64(6) * 1024 * 1024 * 1024;
    controller.setProgressBarMax(total);
    controller.setProgressBarValue(total / 4);
    QCOMPARE(controller.progressBarMax(), double(total));
    QCOMPARE(controller.progressBarValue(), double(total / 4));
    QProgressBar *progress = bar(controller);
    QCOMPARE(double(progress->value()) / progress->maximum(), 0.25);
    controller.setProgressBarValue(total * 2);
    QCOMPARE(progress->value(), progress->maximum());
    controller.setProgressBarMax(0);
    QCOMPARE(progress->value(), 0);
}

void tst_WaitController::indeterminateAndBack()
{
    WaitController controller(QStringLiteral("x"));
    controller.setProgressBarMax(10);
    controller.setProgressBarValue(5);
    controller.setIndeterminate();
    QVERIFY(controller.isIndeterminate());
    QCOMPARE(bar(controller)->maximum(), 0);
    controller.setDeterminate();
    QVERIFY(!controller.isIndeterminate());
    QCOMPARE(double(bar(controller)->value()) / bar(controller)->maximum(), 0.5);
}

void tst_WaitController::missingStatusIsAssertion()
{
    QList<Assertion::Failure> failures;
    Assertion::setHandler([&](const Assertion::Failure &f) { failures.append(f); });
    WaitController controller(QStringLiteral("kept"));
    controller.setStatusString(QString());
    Assertion::setHandler({});
    QCOMPARE(failures.size(), 1);
    QCOMPARE(QString::fromLatin1(failures[0].description), QStringLiteral("Value==nil"));
    QCOMPARE(QString::fromLatin1(failures[0].module), QStringLiteral("KVClasses/WaitController"));
    QCOMPARE(controller.statusString(), QStringLiteral("kept"));
    // An empty string is a string.
    controller.setStatusString(QStringLiteral(""));
    QCOMPARE(controller.statusString(), QString());
}

void tst_WaitController::destroyingHidesPanel()
{
    auto controller = std::make_unique<WaitController>(QStringLiteral("x"));
    controller->showWindow();
    QPointer<QWidget> window = controller->window();
    QVERIFY(window->isVisible());
    controller.reset();
    QVERIFY(window.isNull() || !window->isVisible());
}

QTEST_MAIN(tst_WaitController)
#include "tst_waitcontroller.moc"
