#include "Alert.h"
#include "FilePanel.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// The production path: real message boxes and file dialogs, answered by
// pressing their buttons once they are up.
class tst_AlertDialogs : public QObject
{
    Q_OBJECT

private slots:
    void buttonsAnswerInDesignOrder_data();
    void buttonsAnswerInDesignOrder();
    void escapeNeverChoosesDontSave();
    void sheetCompletesWhenAnswered();
    void savePanelAddsExtension();

private:
    // Runs action on the next modal widget that shows up.
    template<typename Widget>
    void whenShown(std::function<void(Widget *)> action);
};

template<typename Widget>
void tst_AlertDialogs::whenShown(std::function<void(Widget *)> action)
{
    auto *timer = new QTimer(this);
    timer->setInterval(10);
    connect(timer, &QTimer::timeout, this, [timer, action] {
        auto *widget = qobject_cast<Widget *>(QApplication::activeModalWidget());
        if (!widget || !widget->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        action(widget);
    });
    timer->start();
}

static QPushButton *buttonTitled(QMessageBox *box, const QString &title)
{
    for (QAbstractButton *button : box->buttons()) {
        if (button->text() == title)
            return qobject_cast<QPushButton *>(button);
    }
    return nullptr;
}

void tst_AlertDialogs::buttonsAnswerInDesignOrder_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("answer");
    QTest::newRow("default") << "Save" << 1;
    QTest::newRow("alternate") << "Don't Save" << 0;
    QTest::newRow("other") << "Cancel" << -1;
}

void tst_AlertDialogs::buttonsAnswerInDesignOrder()
{
    QFETCH(QString, button);
    QFETCH(int, answer);
    QString shownText, shownInformative;
    whenShown<QMessageBox>([&](QMessageBox *box) {
        shownText = box->text();
        shownInformative = box->informativeText();
        QCOMPARE(box->defaultButton(), buttonTitled(box, QStringLiteral("Save")));
        buttonTitled(box, button)->click();
    });
    const Alert alert = Alert::alertWithMessageText(
            QStringLiteral("Save changes to document?"), QStringLiteral("Save"),
            QStringLiteral("Don't Save"), QStringLiteral("Cancel"), QStringLiteral("Details"));
    QCOMPARE(alert.runModal(), answer);
    QCOMPARE(shownText, QStringLiteral("Save changes to document?"));
    QCOMPARE(shownInformative, QStringLiteral("Details"));
}

void tst_AlertDialogs::escapeNeverChoosesDontSave()
{
    whenShown<QMessageBox>([](QMessageBox *box) { QTest::keyClick(box, Qt::Key_Escape); });
    const Alert alert = Alert::alertWithMessageText(
            QStringLiteral("Save changes to document?"), QStringLiteral("Save"),
            QStringLiteral("Don't Save"), QStringLiteral("Cancel"), QString());
    QCOMPARE(alert.runModal(), Alert::OtherReturn); // Cancel, not Don't Save

    whenShown<QMessageBox>([](QMessageBox *box) { QTest::keyClick(box, Qt::Key_Escape); });
    QCOMPARE(Alert::alertWithMessageText(QStringLiteral("Installation Failed"), QString(),
                                         QString(), QString(), QString())
                     .runModal(),
             Alert::DefaultReturn);
}

void tst_AlertDialogs::sheetCompletesWhenAnswered()
{
    QWidget window;
    window.show();
    int answer = 99;
    bool done = false;
    whenShown<QMessageBox>([](QMessageBox *box) {
        QCOMPARE(box->windowModality(), Qt::WindowModal);
        buttonTitled(box, QStringLiteral("Remove"))->click();
    });
    Alert::alertWithMessageText(QStringLiteral("Are you sure you want to remove this exam?"),
                                QStringLiteral("Remove"), QStringLiteral("Cancel"), QString(),
                                QString())
            .beginSheetModalForWindow(&window, [&](int code) {
                answer = code;
                done = true;
            });
    QVERIFY(!done); // a sheet returns at once
    QTRY_VERIFY(done);
    QCOMPARE(answer, Alert::DefaultReturn);
}

void tst_AlertDialogs::savePanelAddsExtension()
{
    QTemporaryDir dir;
    QString shownDirectory;
    whenShown<QFileDialog>([&](QFileDialog *dialog) {
        shownDirectory = dialog->directory().absolutePath();
        auto *name = dialog->findChild<QLineEdit *>();
        QVERIFY(name);
        QCOMPARE(name->text(), QStringLiteral("AB-12"));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    FilePanel panel = FilePanel::savePanel();
    panel.setDirectory(dir.path());
    panel.setNameFieldStringValue(QStringLiteral("AB-12"));
    panel.setAllowedFileTypes({ QStringLiteral("maturix") });
    QCOMPARE(panel.runModal(), FilePanel::OKButton);
    QCOMPARE(shownDirectory, QDir(dir.path()).absolutePath());
    QCOMPARE(panel.filename(), QDir(dir.path()).absoluteFilePath(QStringLiteral("AB-12.maturix")));

    whenShown<QFileDialog>([](QFileDialog *dialog) { dialog->reject(); });
    QCOMPARE(panel.runModal(), FilePanel::CancelButton);
    QVERIFY(panel.filename().isEmpty());
}

QTEST_MAIN(tst_AlertDialogs)
#include "tst_alertdialogs.moc"
