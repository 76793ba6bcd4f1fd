#include "PreferencesController.h"

#include "AbsoluteDate.h"
#include "Alert.h"
#include "Bundle.h"
#include "DateFormatter.h"
#include "FilePanel.h"
#include "KVVersion.h"
#include "NotificationCenter.h"
#include "PacsPreferences.h"
#include "PacsSender.h"
#include "PreferenceKeys.h"
#include "Script.h"
#include "UserDefaults.h"
#include "VantrelAppController.h"
#include "Workspace.h"
#include "ui_Preferences.h"

#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QTextCursor>

namespace {
const QString viewerIdentifier = QStringLiteral("com.quellmar.osirix");
const QString versionCheckSuccessfulNotification = QStringLiteral("VersionCheckSuccessful");

// Positions of the pop-up items; the export items' positions are their tags.
enum ExportTarget { ExportToFolder = 0, ExportToOsiriX = 1, ExportToPACS = 2 };
enum Interval { Daily = 0, Weekly = 1, Monthly = 2 };

QString abbreviatingWithTilde(const QString &path)
{
    const QString home = QDir::homePath();
    if (path == home)
        return QStringLiteral("~");
    if (path.startsWith(home + u'/'))
        return u'~' + path.mid(home.size());
    return path;
}

// "{a}, {b}", as a template writes them.
QString placeholderList(const QStringList &names)
{
    return u'{' + names.join(QStringLiteral("}, {")) + u'}';
}

QString defaultReportTemplate()
{
    const VantrelAppController *controller = VantrelAppController::sharedController();
    return controller ? controller->defaultReportTemplate() : QString();
}

VantrelAppController::ReportPreview reportPreview(const QString &templateText)
{
    const VantrelAppController *controller = VantrelAppController::sharedController();
    return controller ? controller->reportPreview(templateText)
                      : VantrelAppController::ReportPreview();
}

} // namespace

PreferencesController::PreferencesController(QObject *parent)
    : QObject(parent)
{
}

PreferencesController::~PreferencesController()
{
    delete m_window.data();
}

QDialog *PreferencesController::window()
{
    if (!m_window) {
        m_ui = std::make_unique<Ui::Preferences>();
        m_window = new QDialog;
        m_ui->setupUi(m_window);
        windowDidLoad();
    }
    return m_window;
}

void PreferencesController::showWindow()
{
    QDialog *preferences = window();
    preferences->show();
    preferences->raise();
    preferences->activateWindow();
}

void PreferencesController::windowDidLoad()
{
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &PreferencesController::doOK);
    // Escape and the window's close button cancel too.
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, m_window, &QDialog::reject);
    connect(m_window, &QDialog::rejected, this, &PreferencesController::doCancel);
    connect(m_ui->exportToPopUp, &QComboBox::activated, this, &PreferencesController::doChangeExportTo);
    connect(m_ui->chooseSaveFolderButton, &QPushButton::clicked, this,
            &PreferencesController::doChooseSaveFolder);
    connect(m_ui->chooseExportFolderButton, &QPushButton::clicked, this,
            &PreferencesController::doChooseExportFolder);
    connect(m_ui->showSaveFolderButton, &QPushButton::clicked, this,
            &PreferencesController::doShowSaveFolder);
    connect(m_ui->showExportFolderButton, &QPushButton::clicked, this,
            &PreferencesController::doShowExportFolder);
    connect(m_ui->installOsirixPluginButton, &QPushButton::clicked, this,
            &PreferencesController::doInstallPlugin);
    connect(m_ui->testConnectionButton, &QPushButton::clicked, this,
            &PreferencesController::doTestConnection);
    connect(m_ui->checkNowButton, &QPushButton::clicked, this, &PreferencesController::doUpdate);
    connect(m_ui->checkSyntaxButton, &QPushButton::clicked, this,
            [this] { checkSyntax(m_ui->checkSyntaxButton); });
    connect(m_ui->reportTemplateField, &QPlainTextEdit::textChanged, this,
            &PreferencesController::updateReportPreview);
    connect(m_ui->resetReportTemplateButton, &QPushButton::clicked, this,
            &PreferencesController::doResetReportTemplate);
    m_window->installEventFilter(this);

    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = m_window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        m_window->move(frame.topLeft());
    }
    resetDefaults();
    windowDidBecomeKey();
    NotificationCenter::defaultCenter().addObserver(
            versionCheckSuccessfulNotification, this,
            [this](const Notification &notification) { versionCheckSuccessful(notification); });
}

void PreferencesController::windowDidBecomeKey()
{
    // Another patient may be on show since the window was last in front.
    updateReportPreview();
    if (osirixIsInstalled()) {
        m_ui->installOsirixPluginButton->setText(tr("Install OsiriX Plugin"));
        m_ui->osirixExplanationField->setText(
                tr("Once installed, the plugin will be available the next time OsiriX is launched."));
    } else {
        m_ui->installOsirixPluginButton->setText(tr("Download"));
        m_ui->osirixExplanationField->setText(tr("OsiriX may be downloaded from ")
                                              + Bundle::mainBundle().viewerDownloadURL());
    }
}

bool PreferencesController::eventFilter(QObject *watched, QEvent *event)
{
    // The type first: while the dialog is being destroyed it still sends
    // events here, and is no longer a QDialog that m_window may be read as.
    if (event->type() == QEvent::WindowActivate && watched == m_window)
        windowDidBecomeKey();
    return QObject::eventFilter(watched, event);
}

void PreferencesController::resetDefaults()
{
    window();
    const UserDefaults &defaults = UserDefaults::standardUserDefaults();
    m_ui->defaultSaveFolderField->setText(
            abbreviatingWithTilde(defaults.stringForKey(PreferenceKeys::SaveDirectory)));
    m_ui->defaultExportFolderField->setText(
            abbreviatingWithTilde(defaults.stringForKey(PreferenceKeys::ExportDirectory)));
    m_ui->autoSaveCheckBox->setChecked(defaults.boolForKey(PreferenceKeys::AutoSave));
    m_ui->blindReadingCheckBox->setChecked(defaults.boolForKey(PreferenceKeys::BlindReading));
    m_ui->exportToPopUp->setCurrentIndex(defaults.boolForKey(PreferenceKeys::ExportToPACS)
                                                 ? ExportToPACS
                                                 : defaults.boolForKey(PreferenceKeys::ExportToOsiriX)
                                                 ? ExportToOsiriX
                                                 : ExportToFolder);
    doChangeExportTo();
    const PacsAddress pacs = PacsPreferences::address();
    m_ui->pacsCalledAETitleField->setText(pacs.calledAETitle);
    m_ui->pacsHostField->setText(pacs.host);
    m_ui->pacsPortField->setValue(pacs.port);
    m_ui->pacsCallingAETitleField->setText(pacs.callingAETitle);
    m_ui->pacsRetrievePortField->setValue(PacsPreferences::retrievePort());
    m_ui->pacsConnectionStatusField->clear();
    m_ui->launchScriptField->setPlainText(defaults.stringForKey(PreferenceKeys::LaunchScript));
    checkSyntax(this);
    m_ui->autoCheckVersionCheckBox->setChecked(
            defaults.boolForKey(PreferenceKeys::AutomaticVersionCheck));
    switch (defaults.integerForKey(PreferenceKeys::VersionCheckInterval)) {
    case 1:
        m_ui->checkVersionIntervalPopUp->setCurrentIndex(Daily);
        break;
    case 7:
        m_ui->checkVersionIntervalPopUp->setCurrentIndex(Weekly);
        break;
    default:
        m_ui->checkVersionIntervalPopUp->setCurrentIndex(Monthly);
        break;
    }
    updateVersionLastChecked();
    m_ui->exportStructuredReportCheckBox->setChecked(
            defaults.boolForKey(PreferenceKeys::ExportStructuredReport));
    const QString reportTemplate = defaults.stringForKey(PreferenceKeys::ReportTemplate);
    m_ui->reportTemplateField->setPlainText(reportTemplate.isEmpty() ? defaultReportTemplate()
                                                                     : reportTemplate);
}

void PreferencesController::doOK()
{
    window();
    // A template that names no value would give reports without it: it is
    // corrected before anything is stored.
    const QString reportTemplate = m_ui->reportTemplateField->toPlainText();
    const QStringList unknown = reportPreview(reportTemplate).unknownPlaceholders;
    if (!unknown.isEmpty()) {
        m_ui->sectionTabs->setCurrentWidget(m_ui->reportTab);
        Alert::alertWithMessageText(tr("The report template names an unknown placeholder."),
                                    tr("OK"), QString(), QString(),
                                    tr("%1 stands for no value of the report. Correct it, or use "
                                       "the default template.")
                                            .arg(placeholderList(unknown)))
                .runModal();
        m_ui->reportTemplateField->setFocus();
        return;
    }
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    // The built-in template is stored as none, so that a better one of a
    // later version reaches the site.
    defaults.setString(reportTemplate == defaultReportTemplate() ? QString() : reportTemplate,
                       PreferenceKeys::ReportTemplate);
    defaults.setBool(m_ui->exportStructuredReportCheckBox->isChecked(),
                     PreferenceKeys::ExportStructuredReport);
    defaults.setString(abbreviatingWithTilde(m_ui->defaultSaveFolderField->text()),
                       PreferenceKeys::SaveDirectory);
    defaults.setString(abbreviatingWithTilde(m_ui->defaultExportFolderField->text()),
                       PreferenceKeys::ExportDirectory);
    defaults.setBool(m_ui->autoSaveCheckBox->isChecked(), PreferenceKeys::AutoSave);
    defaults.setBool(m_ui->exportToPopUp->currentIndex() == ExportToOsiriX,
                     PreferenceKeys::ExportToOsiriX);
    defaults.setBool(m_ui->exportToPopUp->currentIndex() == ExportToPACS,
                     PreferenceKeys::ExportToPACS);
    PacsPreferences::setAddress(pacsAddressInFields());
    PacsPreferences::setRetrievePort(quint16(m_ui->pacsRetrievePortField->value()));
    defaults.setString(m_ui->launchScriptField->toPlainText(), PreferenceKeys::LaunchScript);
    defaults.setBool(m_ui->autoCheckVersionCheckBox->isChecked(),
                     PreferenceKeys::AutomaticVersionCheck);
    const int interval = m_ui->checkVersionIntervalPopUp->currentIndex();
    defaults.setInteger(interval == Daily ? 1 : interval == Weekly ? 7 : 31,
                        PreferenceKeys::VersionCheckInterval);
    const bool blindReading = m_ui->blindReadingCheckBox->isChecked();
    const bool blindReadingChanged = blindReading != defaults.boolForKey(PreferenceKeys::BlindReading);
    defaults.setBool(blindReading, PreferenceKeys::BlindReading);
    defaults.synchronize();
    if (blindReadingChanged)
        NotificationCenter::defaultCenter().post(PreferenceKeys::BlindReading, blindReading);
    m_ui->scriptErrorField->clear();
    m_ui->pacsConnectionStatusField->clear();
    m_window->hide();
}

void PreferencesController::doCancel()
{
    window()->hide();
    resetDefaults();
}

void PreferencesController::doChangeExportTo()
{
    m_ui->exportTabView->setCurrentIndex(m_ui->exportToPopUp->currentIndex());
}

PacsAddress PreferencesController::pacsAddressInFields() const
{
    PacsAddress address;
    // Spaces around an AE title carry no meaning in DICOM.
    address.calledAETitle = m_ui->pacsCalledAETitleField->text().trimmed();
    address.host = m_ui->pacsHostField->text().trimmed();
    address.port = quint16(m_ui->pacsPortField->value());
    address.callingAETitle = m_ui->pacsCallingAETitleField->text().trimmed();
    return address;
}

void PreferencesController::doTestConnection()
{
    window();
    m_ui->testConnectionButton->setEnabled(false);
    m_ui->pacsConnectionStatusField->setText(tr("Testing…"));
    PacsSender::echoInBackground(pacsAddressInFields(), this, [this](const PacsResult &result) {
        m_ui->testConnectionButton->setEnabled(true);
        m_ui->pacsConnectionStatusField->setText(
                result.confirmed ? tr("The PACS answered.") : result.reason);
        emit connectionTested(result.confirmed);
    });
}

void PreferencesController::chooseFolder(QLineEdit *field)
{
    FilePanel panel = FilePanel::openPanel();
    panel.setCanChooseFiles(false);
    panel.setCanChooseDirectories(true);
    panel.setCanCreateDirectories(true);
    panel.setDirectory(VantrelAppController::expandTilde(field->text()));
    panel.beginSheetModalForWindow(m_window, [&panel, field](int result) {
        if (result == FilePanel::OKButton)
            field->setText(abbreviatingWithTilde(panel.filename()));
    });
}

void PreferencesController::doChooseSaveFolder()
{
    window();
    chooseFolder(m_ui->defaultSaveFolderField);
}

void PreferencesController::doChooseExportFolder()
{
    window();
    chooseFolder(m_ui->defaultExportFolderField);
}

void PreferencesController::doShowSaveFolder()
{
    window();
    showFolder(m_ui->defaultSaveFolderField->text());
}

void PreferencesController::doShowExportFolder()
{
    window();
    showFolder(m_ui->defaultExportFolderField->text());
}

void PreferencesController::showFolder(const QString &path)
{
    const QFileInfo folder(VantrelAppController::expandTilde(path));
    if (folder.isDir()) {
        Workspace::sharedWorkspace().selectFile(folder.absoluteFilePath());
        return;
    }
    Alert::alertWithMessageText(tr("Folder Missing"), tr("OK"), QString(), QString(),
                                tr("The specified folder is not currently available."))
            .runModal();
}

bool PreferencesController::osirixIsInstalled()
{
    return Workspace::sharedWorkspace().isApplicationInstalled(viewerIdentifier);
}

void PreferencesController::doInstallPlugin()
{
    window();
    if (m_ui->installOsirixPluginButton->text() == tr("Download")) {
        Workspace::sharedWorkspace().openURL(QUrl(Bundle::mainBundle().viewerDownloadURL()));
        return;
    }
    NotificationCenter::defaultCenter().post(VantrelAppController::installPluginNotificationName());
}

void PreferencesController::doUpdate()
{
    KVVersion::kvVersion()->checkVersion(true);
}

void PreferencesController::updateVersionLastChecked()
{
    window();
    const std::optional<AbsoluteDate> date =
            UserDefaults::standardUserDefaults().dateForKey(PreferenceKeys::LastVersionCheckDate);
    const QDateTime when = date ? date->toLocalDateTime() : QDateTime();
    if (!date || *date <= AbsoluteDate::distantPast() || !when.isValid()) {
        m_ui->versionLastCheckedField->setText(tr("Never"));
        return;
    }
    const QLocale locale = QLocale::system();
    m_ui->versionLastCheckedField->setText(
            tr("%1 at %2").arg(DateFormatter(locale).shortDateString(*date),
                               locale.toString(when.time(), QLocale::ShortFormat)));
}

void PreferencesController::versionCheckSuccessful(const Notification &)
{
    UserDefaults::standardUserDefaults().setDate(AbsoluteDate::now(),
                                                 PreferenceKeys::LastVersionCheckDate);
    updateVersionLastChecked();
}

void PreferencesController::checkSyntax(const QObject *sender)
{
    window();
    m_ui->scriptErrorField->clear();
    const QString source = m_ui->launchScriptField->toPlainText();
    if (source.isEmpty())
        return;
    Script script(source);
    Script::Error error;
    if (script.compile(&error)) {
        // Replacing identical text would only lose the undo history.
        if (script.formattedSource() != source)
            m_ui->launchScriptField->setPlainText(script.formattedSource());
        return;
    }
    if (sender == this)
        return;
    if (error.rangeStart >= 0) {
        QTextCursor cursor(m_ui->launchScriptField->document());
        cursor.setPosition(int(error.rangeStart));
        cursor.setPosition(int(error.rangeStart + error.rangeLength), QTextCursor::KeepAnchor);
        m_ui->launchScriptField->setTextCursor(cursor);
    }
    m_ui->scriptErrorField->setText(error.briefMessage);
    m_ui->launchScriptField->setFocus();
}

void PreferencesController::doResetReportTemplate()
{
    window();
    m_ui->reportTemplateField->setPlainText(defaultReportTemplate());
}

void PreferencesController::updateReportPreview()
{
    window();
    const VantrelAppController::ReportPreview preview =
            reportPreview(m_ui->reportTemplateField->toPlainText());
    m_ui->reportPreviewCaption->setText(
            preview.documentName.isEmpty()
                    ? tr("Preview for a sample examination:")
                    : tr("Preview for the examination on show in “%1”:")
                              .arg(preview.documentName));
    m_ui->reportPreviewField->setText(preview.paragraph);
    const qsizetype unknown = preview.unknownPlaceholders.size();
    m_ui->reportTemplateErrorField->setText(
            unknown == 0 ? QString()
                         : (unknown == 1 ? tr("Unknown placeholder %1")
                                         : tr("Unknown placeholders %1"))
                                   .arg(placeholderList(preview.unknownPlaceholders)));
}
