#include "Bundle.h"
#include "DateFormatter.h"
#include "NotificationCenter.h"
#include "PreferenceKeys.h"
#include "PreferencesController.h"
#include "ScriptedAlertResponder.h"
#include "ScriptedFilePanelResponder.h"
#include "TestSupport.h"
#include "UserDefaults.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

namespace {
// Addresses the program hands to the desktop, caught before they reach it.
class OpenedUrls : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

} // namespace

class tst_PreferencesController : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void loadsAndStores_data();
    void loadsAndStores();
    void cancelKeepsStoredValues_data();
    void cancelKeepsStoredValues();
    void exportPopUpShowsItsPage();
    void pacsTarget();
    void folderButtons();
    void installButton_data();
    void installButton();
    void syntaxCheck_data();
    void syntaxCheck();
    void lastCheckLine();

private:
    template<typename T>
    T *control(const char *name)
    {
        T *found = m_controller->window()->findChild<T *>(QString::fromLatin1(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }
    UserDefaults &defaults() { return UserDefaults::standardUserDefaults(); }

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<PreferencesController> m_controller;
    OpenedUrls m_opened;
};

void tst_PreferencesController::initTestCase()
{
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &m_opened, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &m_opened, "open");
}

void tst_PreferencesController::cleanupTestCase()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

void tst_PreferencesController::init()
{
    // A home of its own, with no desktop entries but those a test writes.
    m_home = std::make_unique<QTemporaryDir>();
    qputenv("HOME", m_home->path().toUtf8());
    qputenv("XDG_DATA_HOME", (m_home->path() + "/.local/share").toUtf8());
    qputenv("XDG_DATA_DIRS", (m_home->path() + "/system").toUtf8());
    auto userDefaults = std::make_unique<UserDefaults>(m_home->filePath("prefs.ini"));
    userDefaults->registerDefaults({
            { PreferenceKeys::SaveDirectory, "~/Desktop/" },
            { PreferenceKeys::ExportDirectory, "~/Desktop/" },
            { PreferenceKeys::AutoSave, false },
            { PreferenceKeys::ExportToOsiriX, false },
            { PreferenceKeys::ExportToPACS, false },
            { PreferenceKeys::PACSCalledAETitle, "" },
            { PreferenceKeys::PACSHost, "" },
            { PreferenceKeys::PACSPort, 104 },
            { PreferenceKeys::PACSCallingAETitle, "MATURIX" },
            { PreferenceKeys::LaunchScript, "" },
            { PreferenceKeys::AutomaticVersionCheck, false },
            { PreferenceKeys::VersionCheckInterval, 0 },
            { PreferenceKeys::LastVersionCheckDate, AbsoluteDate::distantPast().secondsSinceReferenceDate() },
    });
    UserDefaults::setStandardUserDefaults(std::move(userDefaults));
    m_opened.urls.clear();
    m_controller = std::make_unique<PreferencesController>();
}

void tst_PreferencesController::cleanup()
{
    m_controller.reset();
    UserDefaults::setStandardUserDefaults(nullptr);
}

void tst_PreferencesController::loadsAndStores_data()
{
    QTest::addColumn<QVariant>("interval");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<qint64>("stored");
    QTest::addColumn<bool>("flags");

    QTest::newRow("daily") << QVariant(1) << "Daily" << qint64(1) << true;
    QTest::newRow("weekly") << QVariant(7) << "Weekly" << qint64(7) << false;
    QTest::newRow("monthly") << QVariant(31) << "Monthly" << qint64(31) << true;
    QTest::newRow("first run not done") << QVariant() << "Monthly" << qint64(31) << false;
    QTest::newRow("hand-edited") << QVariant(12) << "Monthly" << qint64(31) << true;
}

void tst_PreferencesController::loadsAndStores()
{
    QFETCH(QVariant, interval);
    QFETCH(QString, shown);
    QFETCH(qint64, stored);
    QFETCH(bool, flags);

    const QString home = QDir::homePath();
    if (interval.isValid())
        defaults().setObject(interval, PreferenceKeys::VersionCheckInterval);
    defaults().setString(home + "/Patients", PreferenceKeys::SaveDirectory);
    defaults().setString("/srv/charts", PreferenceKeys::ExportDirectory);
    defaults().setBool(flags, PreferenceKeys::AutoSave);
    defaults().setBool(flags, PreferenceKeys::BlindReading);
    defaults().setBool(flags, PreferenceKeys::ExportToOsiriX);
    defaults().setBool(!flags, PreferenceKeys::AutomaticVersionCheck);
    defaults().setString("var x = 1;\n", PreferenceKeys::LaunchScript);

    m_controller->showWindow();
    QCOMPARE(control<QLineEdit>("defaultSaveFolderField")->text(), QStringLiteral("~/Patients"));
    QCOMPARE(control<QLineEdit>("defaultExportFolderField")->text(), QStringLiteral("/srv/charts"));
    QCOMPARE(control<QCheckBox>("autoSaveCheckBox")->isChecked(), flags);
    QCOMPARE(control<QCheckBox>("blindReadingCheckBox")->isChecked(), flags);
    QCOMPARE(control<QComboBox>("exportToPopUp")->currentIndex(), flags ? 1 : 0);
    QCOMPARE(control<QStackedWidget>("exportTabView")->currentIndex(), flags ? 1 : 0);
    QCOMPARE(control<QCheckBox>("autoCheckVersionCheckBox")->isChecked(), !flags);
    QCOMPARE(control<QComboBox>("checkVersionIntervalPopUp")->currentText(), shown);
    QCOMPARE(control<QPlainTextEdit>("launchScriptField")->toPlainText(), QStringLiteral("var x = 1;\n"));

    // A path typed in full is stored with the home folder abbreviated.
    control<QLineEdit>("defaultExportFolderField")->setText(home + "/Charts");
    control<QPlainTextEdit>("launchScriptField")->setPlainText("var y = 2;");
    // Open windows follow blind reading as soon as it changes.
    control<QCheckBox>("blindReadingCheckBox")->setChecked(!flags);
    QObject observer;
    QVariantList blindReadingPosted;
    NotificationCenter::defaultCenter().addObserver(
            PreferenceKeys::BlindReading, &observer,
            [&](const Notification &notification) { blindReadingPosted.append(notification.object); });
    m_controller->doOK();
    QCOMPARE(blindReadingPosted, QVariantList { !flags });
    QCOMPARE(defaults().boolForKey(PreferenceKeys::BlindReading), !flags);
    QVERIFY(!m_controller->window()->isVisible());
    QCOMPARE(defaults().stringForKey(PreferenceKeys::SaveDirectory), QStringLiteral("~/Patients"));
    QCOMPARE(defaults().stringForKey(PreferenceKeys::ExportDirectory), QStringLiteral("~/Charts"));
    QCOMPARE(defaults().boolForKey(PreferenceKeys::AutoSave), flags);
    QCOMPARE(defaults().boolForKey(PreferenceKeys::ExportToOsiriX), flags);
    QCOMPARE(defaults().boolForKey(PreferenceKeys::AutomaticVersionCheck), !flags);
    QCOMPARE(defaults().integerForKey(PreferenceKeys::VersionCheckInterval), stored);
    QCOMPARE(defaults().stringForKey(PreferenceKeys::LaunchScript), QStringLiteral("var y = 2;"));
    // On disk, not only in memory.
    QCOMPARE(UserDefaults(defaults().fileName()).integerForKey(PreferenceKeys::VersionCheckInterval),
             stored);
}

void tst_PreferencesController::cancelKeepsStoredValues_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancel button") << "Cancel button";
    QTest::newRow("Escape") << "Escape";
    QTest::newRow("window closed") << "window closed";
}

void tst_PreferencesController::cancelKeepsStoredValues()
{
    QFETCH(QString, how);
    m_controller->showWindow();
    control<QLineEdit>("defaultSaveFolderField")->setText("/elsewhere");
    control<QCheckBox>("autoSaveCheckBox")->setChecked(true);
    control<QComboBox>("checkVersionIntervalPopUp")->setCurrentIndex(0);
    if (how == u"Cancel button")
        control<QDialogButtonBox>("buttonBox")->button(QDialogButtonBox::Cancel)->click();
    else if (how == u"Escape")
        QTest::keyClick(m_controller->window(), Qt::Key_Escape);
    else
        m_controller->window()->close();
    QVERIFY(!m_controller->window()->isVisible());
    for (const QString &key : { PreferenceKeys::SaveDirectory, PreferenceKeys::AutoSave,
                                PreferenceKeys::VersionCheckInterval })
        QVERIFY2(!defaults().hasStoredValue(key), qPrintable(key));
    m_controller->showWindow();
    QCOMPARE(control<QLineEdit>("defaultSaveFolderField")->text(), QStringLiteral("~/Desktop/"));
    QVERIFY(!control<QCheckBox>("autoSaveCheckBox")->isChecked());
    QCOMPARE(control<QComboBox>("checkVersionIntervalPopUp")->currentText(), QStringLiteral("Monthly"));
}

void tst_PreferencesController::exportPopUpShowsItsPage()
{
    m_controller->showWindow();
    auto *popUp = control<QComboBox>("exportToPopUp");
    auto *pages = control<QStackedWidget>("exportTabView");
    QCOMPARE(pages->currentIndex(), 0);
    QTest::keyClick(popUp, Qt::Key_Down);
    QCOMPARE(popUp->currentIndex(), 1);
    QCOMPARE(pages->currentWidget(), control<QPushButton>("installOsirixPluginButton")->parentWidget());
    m_controller->doOK();
    QVERIFY(defaults().boolForKey(PreferenceKeys::ExportToOsiriX));
    m_controller->showWindow();
    QTest::keyClick(popUp, Qt::Key_Up);
    QCOMPARE(pages->currentWidget(), control<QLineEdit>("defaultExportFolderField")->parentWidget());
    m_controller->doOK();
    QVERIFY(!defaults().boolForKey(PreferenceKeys::ExportToOsiriX));
}

void tst_PreferencesController::pacsTarget()
{
    defaults().setBool(true, PreferenceKeys::ExportToPACS);
    defaults().setString("ARCHIVE", PreferenceKeys::PACSCalledAETitle);
    defaults().setString("pacs.example", PreferenceKeys::PACSHost);
    defaults().setInteger(11112, PreferenceKeys::PACSPort);
    m_controller->showWindow();
    QCOMPARE(control<QComboBox>("exportToPopUp")->currentIndex(), 2);
    QCOMPARE(control<QStackedWidget>("exportTabView")->currentWidget(),
             control<QPushButton>("testConnectionButton")->parentWidget());
    QCOMPARE(control<QLineEdit>("pacsCalledAETitleField")->text(), QStringLiteral("ARCHIVE"));
    QCOMPARE(control<QLineEdit>("pacsHostField")->text(), QStringLiteral("pacs.example"));
    QCOMPARE(control<QSpinBox>("pacsPortField")->value(), 11112);
    QCOMPARE(control<QLineEdit>("pacsCallingAETitleField")->text(), QStringLiteral("MATURIX"));

    // The test asks the PACS in the fields, before OK: here nothing listens.
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    control<QLineEdit>("pacsCalledAETitleField")->setText(" STORE ");
    control<QLineEdit>("pacsHostField")->setText("127.0.0.1");
    control<QSpinBox>("pacsPortField")->setValue(port);
    control<QSpinBox>("pacsRetrievePortField")->setValue(11113);
    QSignalSpy tested(m_controller.get(), &PreferencesController::connectionTested);
    control<QPushButton>("testConnectionButton")->click();
    QTRY_COMPARE_WITH_TIMEOUT(tested.size(), 1, 20000);
    QCOMPARE(tested.takeFirst().at(0).toBool(), false);
    QVERIFY(control<QPushButton>("testConnectionButton")->isEnabled());
    QVERIFY2(control<QLabel>("pacsConnectionStatusField")->text().contains("cannot be reached"),
             qPrintable(control<QLabel>("pacsConnectionStatusField")->text()));
    QCOMPARE(defaults().stringForKey(PreferenceKeys::PACSHost), QStringLiteral("pacs.example"));

    m_controller->doOK();
    QCOMPARE(defaults().stringForKey(PreferenceKeys::PACSCalledAETitle), QStringLiteral("STORE"));
    QCOMPARE(defaults().stringForKey(PreferenceKeys::PACSHost), QStringLiteral("127.0.0.1"));
    QCOMPARE(defaults().integerForKey(PreferenceKeys::PACSPort), qint64(port));
    QCOMPARE(defaults().integerForKey(PreferenceKeys::PACSRetrievePort), qint64(11113));
    QVERIFY(defaults().boolForKey(PreferenceKeys::ExportToPACS));
    QVERIFY(!defaults().boolForKey(PreferenceKeys::ExportToOsiriX));

    // A result belongs to the fields it was tested with, not to the next visit.
    m_controller->showWindow();
    QVERIFY(control<QLabel>("pacsConnectionStatusField")->text().isEmpty());
    control<QComboBox>("exportToPopUp")->setCurrentIndex(1);
    m_controller->doOK();
    QVERIFY(!defaults().boolForKey(PreferenceKeys::ExportToPACS));
    QVERIFY(defaults().boolForKey(PreferenceKeys::ExportToOsiriX));
}

void tst_PreferencesController::folderButtons()
{
    ScriptedAlertResponder alerts;
    ScriptedFilePanelResponder panels;
    QVERIFY(QDir().mkpath(QDir::homePath() + "/Patient Files"));
    m_controller->showWindow();

    // The chooser picks folders only, may create them, and starts where the
    // field points; Cancel changes nothing.
    panels.choose(QDir::homePath() + "/Patient Files");
    panels.cancel();
    control<QPushButton>("chooseSaveFolderButton")->click();
    control<QPushButton>("chooseExportFolderButton")->click();
    QCOMPARE(panels.panels().size(), 2);
    const FilePanel &panel = panels.panels().first();
    QVERIFY(panel.canChooseDirectories() && !panel.canChooseFiles() && panel.canCreateDirectories());
    QCOMPARE(panel.directory(), QDir::homePath() + "/Desktop/");
    QCOMPARE(control<QLineEdit>("defaultSaveFolderField")->text(), QStringLiteral("~/Patient Files"));
    QCOMPARE(control<QLineEdit>("defaultExportFolderField")->text(), QStringLiteral("~/Desktop/"));

    // The database folder exists and is shown; the export folder does not.
    control<QPushButton>("showSaveFolderButton")->click();
    QCOMPARE(m_opened.urls, QList<QUrl> { QUrl::fromLocalFile(QDir::homePath() + "/Patient Files") });
    QVERIFY(alerts.alerts().isEmpty());
    QVERIFY(writeFile(QDir::homePath() + "/Desktop", "a file, not a folder"));
    control<QPushButton>("showExportFolderButton")->click();
    QCOMPARE(m_opened.urls.size(), 1);
    QCOMPARE(alerts.alerts().size(), 1);
    const ScriptedAlertResponder::Record &alert = alerts.alerts().first();
    QCOMPARE(alert.messageText, QStringLiteral("Folder Missing"));
    QCOMPARE(alert.informativeText, QStringLiteral("The specified folder is not currently available."));
    QCOMPARE(alert.buttonTitles, QStringList { "OK" });
}

void tst_PreferencesController::installButton_data()
{
    QTest::addColumn<QString>("desktopEntryFolder");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("explanation");

    const QString download = Bundle::mainBundle().viewerDownloadURL();
    QTest::newRow("viewer in the user's applications")
            << ".local/share/applications" << "Install OsiriX Plugin"
            << "Once installed, the plugin will be available the next time OsiriX is launched.";
    QTest::newRow("viewer in the system's applications")
            << "system/applications" << "Install OsiriX Plugin"
            << "Once installed, the plugin will be available the next time OsiriX is launched.";
    QTest::newRow("viewer not installed") << "" << "Download"
                                          << "OsiriX may be downloaded from " + download;
}

void tst_PreferencesController::installButton()
{
    QFETCH(QString, desktopEntryFolder);
    QFETCH(QString, title);
    QFETCH(QString, explanation);

    if (!desktopEntryFolder.isEmpty()) {
        QVERIFY(QDir(m_home->path()).mkpath(desktopEntryFolder));
        QVERIFY(writeFile(m_home->filePath(desktopEntryFolder + "/com.quellmar.osirix.desktop"),
                          "[Desktop Entry]\nType=Application\nName=OsiriX\nExec=osirix\n"));
    }
    int installRequests = 0;
    NotificationCenter::defaultCenter().addObserver(QStringLiteral("Install Plugin"), this,
                                                    [&](const Notification &) { ++installRequests; });
    m_controller->showWindow();
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(m_controller->window(), &activate);
    auto *button = control<QPushButton>("installOsirixPluginButton");
    QCOMPARE(button->text(), title);
    QCOMPARE(control<QLabel>("osirixExplanationField")->text(), explanation);

    button->click();
    NotificationCenter::defaultCenter().removeObservers(this);
    const bool installs = title != u"Download";
    QCOMPARE(installRequests, installs ? 1 : 0);
    QCOMPARE(m_opened.urls, installs ? QList<QUrl>() : QList<QUrl> { QUrl(Bundle::mainBundle().viewerDownloadURL()) });
}

void tst_PreferencesController::syntaxCheck_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<bool>("fromButton");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<bool>("message");

    const QString broken = QStringLiteral("var a = 1;\nvar b = ;\nvar c = 3;\n");
    QTest::newRow("sound script") << "var a = 1;\nconsole.log(a);\n" << true << "" << false;
    QTest::newRow("fault, checked by the user") << broken << true << "var b = ;" << true;
    QTest::newRow("fault, checked on loading") << broken << false << "" << false;
    QTest::newRow("empty script") << "" << true << "" << false;
}

void tst_PreferencesController::syntaxCheck()
{
    QFETCH(QString, source);
    QFETCH(bool, fromButton);
    QFETCH(QString, selected);
    QFETCH(bool, message);

    defaults().setString(source, PreferenceKeys::LaunchScript);
    m_controller->showWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_controller->window()));
    auto *script = control<QPlainTextEdit>("launchScriptField");
    auto *error = control<QLabel>("scriptErrorField");
    error->setText("left over");
    if (fromButton)
        control<QPushButton>("checkSyntaxButton")->click();
    else
        m_controller->resetDefaults();
    QCOMPARE(script->toPlainText(), source);
    QCOMPARE(script->textCursor().selectedText(), selected);
    QCOMPARE(!error->text().isEmpty(), message);
    if (message) {
        QVERIFY(!error->text().contains(u'\n'));
        QCOMPARE(QApplication::focusWidget(), script);
    }
    // OK stores a faulty script all the same, and clears the message.
    m_controller->doOK();
    QCOMPARE(defaults().stringForKey(PreferenceKeys::LaunchScript), source);
    QCOMPARE(error->text(), QString());
}

void tst_PreferencesController::lastCheckLine()
{
    auto *line = control<QLabel>("versionLastCheckedField");
    QCOMPARE(line->text(), QStringLiteral("Never"));

    const QDateTime when(QDate(2026, 3, 14), QTime(15, 9));
    defaults().setDate(AbsoluteDate::fromDateTime(when), PreferenceKeys::LastVersionCheckDate);
    m_controller->updateVersionLastChecked();
    const QLocale locale = QLocale::system();
    QCOMPARE(line->text(), DateFormatter(locale).shortDateString(AbsoluteDate::fromDateTime(when))
                                   + " at " + locale.toString(when.time(), QLocale::ShortFormat));
    const QString march = line->text();

    // A successful check, however started, records its time.
    NotificationCenter::defaultCenter().post(QStringLiteral("VersionCheckSuccessful"));
    const AbsoluteDate checked = *defaults().dateForKey(PreferenceKeys::LastVersionCheckDate);
    QVERIFY(qAbs(checked.secondsSinceReferenceDate() - AbsoluteDate::now().secondsSinceReferenceDate()) < 60);
    QVERIFY(line->text() != march && line->text() != u"Never");

    defaults().setDate(AbsoluteDate::distantPast(), PreferenceKeys::LastVersionCheckDate);
    m_controller->updateVersionLastChecked();
    QCOMPARE(line->text(), QStringLiteral("Never"));
}

QTEST_MAIN(tst_PreferencesController)
#include "tst_preferencescontroller.moc"
