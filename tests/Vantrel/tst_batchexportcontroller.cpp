#include "BatchExportController.h"

#include "NotificationCenter.h"
#include "PreferenceKeys.h"
#include "ScriptedAlertResponder.h"
#include "TestSupport.h"
#include "UserDefaults.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <sys/stat.h>

namespace {
constexpr qint64 day = 86400;

// A file whose last change lies that many seconds in the past.
bool writeChangedAgo(const QString &path, qint64 secondsAgo)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return writeFile(path, "patient") && file.open(QIODevice::ReadWrite)
            && file.setFileTime(QDateTime::currentDateTime().addSecs(-secondsAgo),
                                QFileDevice::FileModificationTime);
}
// The paths handed on as "BatchOpen" while it exists.
struct BatchOpenRecorder : QObject
{
    QStringList opened;
    BatchOpenRecorder()
    {
        NotificationCenter::defaultCenter().addObserver(
                QStringLiteral("BatchOpen"), this,
                [this](const Notification &notification) { opened.append(notification.object.toString()); });
    }
};
} // namespace

class tst_BatchExportController : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void registeredDefaultsFillTheWindow();
    void selection_data();
    void selection();
    void namedPipeIsPassedOver();
    void erasing_data();
    void erasing();
    void missingExportFolderStopsTheBatch();
    void cancelStoresNothing();

private:
    QStringList runBatch(bool erase, const QString &days = QStringLiteral("7"));
    QString home(const QString &relative) const { return m_home->filePath(relative); }
    UserDefaults &defaults() { return UserDefaults::standardUserDefaults(); }

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<ScriptedAlertResponder> m_alerts;
    std::unique_ptr<BatchExportController> m_controller;
};

void tst_BatchExportController::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    qputenv("HOME", m_home->path().toLocal8Bit());
    UserDefaults::setStandardUserDefaults(std::make_unique<UserDefaults>(home("defaults.ini")));
    defaults().registerDefaults({ { PreferenceKeys::DataFileExtension, QStringLiteral("maturix") },
                                  { PreferenceKeys::SaveDirectory, QStringLiteral("~/Patients/") },
                                  { PreferenceKeys::ExportDirectory, QStringLiteral("~/Exports/") },
                                  { PreferenceKeys::ExportToOsiriX, false } });
    QVERIFY(QDir(m_home->path()).mkpath("Patients") && QDir(m_home->path()).mkpath("Exports"));
    m_alerts = std::make_unique<ScriptedAlertResponder>();
    m_controller = std::make_unique<BatchExportController>();
}

void tst_BatchExportController::cleanup()
{
    m_controller.reset();
    m_alerts.reset();
    UserDefaults::setStandardUserDefaults(nullptr);
    m_home.reset();
}

// Presses OK with the given choices; answers the paths handed on.
QStringList tst_BatchExportController::runBatch(bool erase, const QString &days)
{
    BatchOpenRecorder recorder;
    m_controller->showWindow();
    m_controller->howManyDaysField()->setText(days);
    m_controller->eraseOldFilesCheckBox()->setChecked(erase);
    m_controller->doOK();
    recorder.opened.sort();
    return recorder.opened;
}

void tst_BatchExportController::registeredDefaultsFillTheWindow()
{
    QCOMPARE(defaults().integerForKey(PreferenceKeys::BatchExportDays), 7);
    QCOMPARE(m_controller->howManyDaysField()->text(), QStringLiteral("7"));
    QVERIFY(!m_controller->eraseOldFilesCheckBox()->isChecked());
}

void tst_BatchExportController::selection_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<qint64>("secondsAgo");
    QTest::addColumn<bool>("selected");

    QTest::newRow("6 days") << "A1.maturix" << 6 * day << true;
    QTest::newRow("8 days") << "A1.maturix" << 8 * day << false;
    QTest::newRow("just under 7 days") << "A1.maturix" << 7 * day - 60 << true;
    QTest::newRow("just over 7 days") << "A1.maturix" << 7 * day + 60 << false;
    QTest::newRow("sub-folder") << "old/2019/B2.maturix" << day << true;
    QTest::newRow("extension case") << "C3.Maturix" << day << false;
    QTest::newRow("other extension") << "C3.maturix.bak" << day << false;
}

void tst_BatchExportController::selection()
{
    QFETCH(QString, file);
    QFETCH(qint64, secondsAgo);
    QFETCH(bool, selected);
    const QString path = home("Patients/" + file);
    QVERIFY(writeChangedAgo(path, secondsAgo));

    const QStringList opened = runBatch(false);

    QCOMPARE(opened, selected ? QStringList { path } : QStringList {});
    QVERIFY(!m_controller->window()->isVisible());
    QCOMPARE(defaults().integerForKey(PreferenceKeys::BatchExportDays), 7);
    QVERIFY(m_alerts->alerts().isEmpty());
}

void tst_BatchExportController::namedPipeIsPassedOver()
{
    QVERIFY(QDir().mkpath(home("Patients")));
    QCOMPARE(::mkfifo(QFile::encodeName(home("Patients/x.maturix")).constData(), 0600), 0);
    QVERIFY(writeChangedAgo(home("Patients/A1.maturix"), day));
    QCOMPARE(runBatch(false), QStringList { home("Patients/A1.maturix") });
}

void tst_BatchExportController::erasing_data()
{
    QTest::addColumn<bool>("exportToOsirix");
    QTest::addColumn<bool>("erase");
    QTest::addColumn<QStringList>("left");

    const QStringList all { "photo.JPG", "photo.jpeg", "photo.jpg", "sub/photo.jpg" };
    QTest::newRow("erase") << false << true << QStringList { "photo.jpeg", "sub/photo.jpg" };
    QTest::newRow("keep") << false << false << all;
    QTest::newRow("to the viewer") << true << true << all;
}

void tst_BatchExportController::erasing()
{
    QFETCH(bool, exportToOsirix);
    QFETCH(bool, erase);
    QFETCH(QStringList, left);
    defaults().setBool(exportToOsirix, PreferenceKeys::ExportToOsiriX);
    for (const QString &name : { "photo.JPG", "photo.jpeg", "photo.jpg", "sub/photo.jpg" })
        QVERIFY(writeChangedAgo(home("Exports/") + name, day));
    QVERIFY(writeChangedAgo(home("Patients/A1.maturix"), day));

    const QStringList opened = runBatch(erase);

    QCOMPARE(m_controller->eraseOldFilesCheckBox()->isEnabled(), !exportToOsirix);
    QCOMPARE(defaults().boolForKey(PreferenceKeys::AutoDelete), erase);
    QStringList remaining;
    QDir exports(home("Exports"));
    for (const QString &name : { "photo.JPG", "photo.jpeg", "photo.jpg", "sub/photo.jpg" }) {
        if (exports.exists(name))
            remaining.append(name);
    }
    QCOMPARE(remaining, left);
    QCOMPARE(opened, QStringList { home("Patients/A1.maturix") });
}

void tst_BatchExportController::missingExportFolderStopsTheBatch()
{
    QVERIFY(writeChangedAgo(home("Patients/A1.maturix"), day));
    QVERIFY(QDir(home("Exports")).removeRecursively());

    QCOMPARE(runBatch(true), QStringList {});
    QCOMPARE(m_alerts->messageTexts(), QStringList { "The export folder is not available" });
    QCOMPARE(m_alerts->alerts()[0].informativeText,
             QStringLiteral("You can select a new export folder by choosing the Preferences menu item."));

    // Charts for the viewer need no folder.
    defaults().setBool(true, PreferenceKeys::ExportToOsiriX);
    QCOMPARE(runBatch(true).size(), 1);
}

void tst_BatchExportController::cancelStoresNothing()
{
    QVERIFY(writeChangedAgo(home("Patients/A1.maturix"), day));
    BatchOpenRecorder recorder;
    m_controller->showWindow();
    m_controller->howManyDaysField()->setText(QStringLiteral("30"));
    m_controller->eraseOldFilesCheckBox()->setChecked(true);

    m_controller->window()->reject();

    QVERIFY(!m_controller->window()->isVisible());
    QVERIFY(recorder.opened.isEmpty());
    QVERIFY(!defaults().hasStoredValue(PreferenceKeys::BatchExportDays));
    QVERIFY(!defaults().hasStoredValue(PreferenceKeys::AutoDelete));
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    tst_BatchExportController test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_batchexportcontroller.moc"
