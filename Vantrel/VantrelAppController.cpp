#include "VantrelAppController.h"

#include "AboutController.h"
#include "Alert.h"
#include "AtomicFile.h"
#include "BatchExportController.h"
#include "Bundle.h"
#include "ChartExport.h"
#include "DistributedNotificationCenter.h"
#include "Document.h"
#include "FilePanel.h"
#include "KVVersion.h"
#include "Logging.h"
#include "NotificationCenter.h"
#include "OsirixLinkRequest.h"
#include "PacsAddress.h"
#include "PacsExport.h"
#include "PreferenceKeys.h"
#include "PreferencesController.h"
#include "RegularFile.h"
#include "Scheduler.h"
#include "Script.h"
#include "UserDefaults.h"
#include "VantrelDocument.h"
#include "WaitController.h"
#include "Workspace.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <QWidget>

#include <cmath>
#include <filesystem>
#include <optional>

namespace {
const QString batchOpenNotification = QStringLiteral("BatchOpen");
const QString batchExportToOsirixNotification = QStringLiteral("BatchExportToOsirix");
const QString linkRequestObject = QStringLiteral("OsirixLink");
const QString chartReturnObject = QStringLiteral("OsirixLinkReturn");
const QString pluginInfoFileName = QStringLiteral("Info.json");
constexpr double secondsPerDay = 86400.0;

UserDefaults &defaults()
{
    return UserDefaults::standardUserDefaults();
}

// The title as shown, without its mnemonic marker.
QString plainTitle(const QAction *item)
{
    QString title = item->text();
    title.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    return title;
}
} // namespace

VantrelAppController::VantrelAppController(QObject *parent)
    : DocumentController(parent)
{
    initialize();
}

VantrelAppController::~VantrelAppController() = default;

VantrelAppController *VantrelAppController::sharedController()
{
    return qobject_cast<VantrelAppController *>(DocumentController::sharedDocumentController());
}

void VantrelAppController::initialize()
{
    const QString desktop = QStringLiteral("~/Desktop/");
    defaults().registerDefaults({
            { PreferenceKeys::SaveDirectory, desktop },
            { PreferenceKeys::ExportDirectory, desktop },
            { PreferenceKeys::AutoSave, false },
            { PreferenceKeys::ExportToOsiriX, false },
            { PreferenceKeys::ExportToPACS, false },
            { PreferenceKeys::PACSCalledAETitle, QString() },
            { PreferenceKeys::PACSHost, QString() },
            { PreferenceKeys::PACSPort, int(PacsAddress::defaultPort) },
            { PreferenceKeys::PACSRetrievePort, 0 },
            { PreferenceKeys::PACSCallingAETitle, PacsAddress::defaultCallingAETitle },
            { PreferenceKeys::LaunchScript, QString() },
            { PreferenceKeys::AutomaticVersionCheck, false },
            { PreferenceKeys::VersionCheckInterval, 0 },
            { PreferenceKeys::LastVersionCheckDate, AbsoluteDate::distantPast().secondsSinceReferenceDate() },
    });
}

QString VantrelAppController::expandTilde(const QString &path)
{
    if (path == u'~')
        return QDir::homePath();
    if (path.startsWith(QStringLiteral("~/")))
        return QDir::homePath() + path.mid(1);
    return path;
}

QString VantrelAppController::databaseFolder()
{
    return expandTilde(defaults().stringForKey(PreferenceKeys::SaveDirectory));
}

void VantrelAppController::awakeFromNib()
{
    NotificationCenter &center = NotificationCenter::defaultCenter();
    center.addObserver(batchOpenNotification, this,
                       [this](const Notification &notification) { batchOpen(notification); });
    m_batchArray.clear();

    center.addObserver(batchExportToOsirixNotification, this,
                       [this](const Notification &notification) { batchExportToOsirix(notification); });
    m_exportToOsirixArray.clear();
    m_exportToOsirixBatchItems.clear();
    center.addObserver(installPluginNotificationName(), this, [this](const Notification &) {
        doInstallOsirixPlugin();
    });
    subscribeToOsirixLink();
}

void VantrelAppController::subscribeToOsirixLink()
{
    DistributedNotificationCenter::defaultCenter().addObserver(
            osirixLinkNotificationName(), linkRequestObject, this,
            [this](const Notification &notification) { notifiedOfLinkFromOsirix(notification); });
}

void VantrelAppController::applicationDidFinishLaunching()
{
    if (defaults().integerForKey(PreferenceKeys::VersionCheckInterval) == 0)
        askFirstRunQuestions();
    offerOsirixPluginUpdate();
    doSplashAboutBox();

    Scheduler &scheduler = Scheduler::shared();
    scheduler.performAfterDelay(0.5, this, [this] { doLaunchScript(); });
    m_cachedDatabaseArray.clear();
    scheduler.performAfterDelay(1.5, this, [this] { cacheDatabaseFiles(); });
    scheduler.performAfterDelay(2.0, this, [this] { autoCheckForNewVersion(); });
}

void VantrelAppController::askFirstRunQuestions()
{
    const Alert updates = Alert::alertWithMessageText(
            tr("Periodically check for updates?"), tr("Check"), tr("Don't Check"), QString(),
            // The menu that holds Preferences here.
            tr("You can change this setting later by choosing Preferences from the %1 menu.")
                    .arg(tr("Settings")));
    if (updates.runModal() == Alert::DefaultReturn)
        defaults().setBool(true, PreferenceKeys::AutomaticVersionCheck);
    defaults().setInteger(31, PreferenceKeys::VersionCheckInterval);

    const Alert database = Alert::alertWithMessageText(
            tr("Set Up Database?"), tr("Yes"), tr("No"), QString(),
            tr("Would you like to automatically configure the default database?\n\n"
               "You can alter the default settings later in the preferences."));
    if (database.runModal() == Alert::DefaultReturn) {
        const QString folder = QStringLiteral("~/Documents/%1 Data").arg(Bundle::mainBundle().name());
        // A folder that cannot be made is left to the user: the setting
        // stands, and the cache scan simply finds nothing there.
        AtomicFile::createPrivateFolder(expandTilde(folder));
        defaults().setString(folder, PreferenceKeys::SaveDirectory);
        defaults().setBool(true, PreferenceKeys::AutoSave);
    }
    defaults().synchronize();
}

void VantrelAppController::offerOsirixPluginUpdate()
{
    // The same test as Preferences' install button.
    if (!PreferencesController::osirixIsInstalled()
        || !defaults().boolForKey(PreferenceKeys::ExportToOsiriX) || osirixPluginVersionCurrent())
        return;
    const Alert alert = Alert::alertWithMessageText(
            tr("Update OsiriX Plugin"), tr("Update"), tr("Cancel"), QString(),
            tr("This is a recommended update of the OsiriX plugin."));
    if (alert.runModal() == Alert::DefaultReturn) {
        doInstallOsirixPlugin();
    } else {
        defaults().setBool(false, PreferenceKeys::ExportToOsiriX);
        defaults().synchronize();
    }
}

void VantrelAppController::applicationWillTerminate()
{
    NotificationCenter::defaultCenter().removeObservers(this);
    DistributedNotificationCenter::defaultCenter().removeObservers(this);
    Scheduler::shared().cancelAll(this);
    m_subscribedToVersionCheck = false;
    m_exportToOsirixArray.clear();
    // Charts of a batch still waiting for the viewer are lost with the queue.
    for (const QString &item : std::exchange(m_exportToOsirixBatchItems, {})) {
        if (!item.isEmpty())
            m_batchSummary.addFailure(item, tr("not sent to OsiriX before the application quit"));
    }
    m_batchArray.clear();
    endBatch();
    finishPacsExport();
    m_cachedDatabaseArray.clear();
}

void VantrelAppController::finishPacsExport()
{
    PacsExport &pacs = PacsExport::shared();
    if (!pacs.isBusy())
        return;
    // A chart still on its way would be lost with the process, and its
    // failure never told: the answers, and the offer to keep the charts as
    // files, come before the application ends.
    // The export's progress panel is up meanwhile: a PACS has 30 s to
    // answer, and its Cancel ends the wait at once, the charts on their way
    // offered as files.
    QEventLoop loop;
    connect(&pacs, &PacsExport::idle, &loop, &QEventLoop::quit);
    if (pacs.isBusy())
        loop.exec();
}

void VantrelAppController::showStatusString(const QString &status)
{
    if (m_aboutController)
        m_aboutController->showStatusString(status);
}

AbsoluteDate VantrelAppController::currentDate() const
{
    return AbsoluteDate::now();
}

// ---- Database cache --------------------------------------------------------

void VantrelAppController::cacheDatabaseFiles()
{
    if (!defaults().boolForKey(PreferenceKeys::AutoSave))
        return;
    showStatusString(tr("Caching database..."));

    const QString folder = databaseFolder();
    const QString extension = defaults().stringForKey(PreferenceKeys::DataFileExtension);
    // The walk takes each entry's kind from the directory listing itself:
    // no file is examined one by one, which matters for a large database.
    const QString root = QDir::cleanPath(folder);
    const qsizetype prefix = root.size() + 1;
    QDirIterator walk(root, QDir::Files | QDir::Hidden | QDir::System,
                      QDirIterator::Subdirectories);
    while (walk.hasNext()) {
        const QString path = walk.next();
        if (walk.fileInfo().suffix() != extension || !RegularFile::isRegularFile(walk.fileInfo()))
            continue;
        m_cachedDatabaseArray.append(
                path.mid(prefix).chopped(extension.isEmpty() ? 0 : extension.size() + 1));
    }

    Scheduler &scheduler = Scheduler::shared();
    scheduler.performAfterDelay(1.0, this, [this] { showStatusString(QString()); });
    if (m_cachedDatabaseArray.isEmpty())
        scheduler.performAfterDelay(10.0, this, [this] { cacheDatabaseFiles(); });
}

bool VantrelAppController::fileIsInCachedDatabaseFiles(const QString &name) const
{
    return m_cachedDatabaseArray.contains(name);
}

void VantrelAppController::addToCachedDatabaseFiles(const QString &path)
{
    const QString fileName = path.section(u'/', -1);
    const qsizetype dot = fileName.lastIndexOf(u'.');
    const QString name = dot > 0 ? fileName.left(dot) : fileName;
    if (!m_cachedDatabaseArray.contains(name))
        m_cachedDatabaseArray.append(name);
}

// ---- Version check ---------------------------------------------------------

void VantrelAppController::autoCheckForNewVersion()
{
    const qint64 interval = defaults().integerForKey(PreferenceKeys::VersionCheckInterval);
    if (!defaults().boolForKey(PreferenceKeys::AutomaticVersionCheck))
        return;
    const AbsoluteDate last = defaults()
                                      .dateForKey(PreferenceKeys::LastVersionCheckDate)
                                      .value_or(AbsoluteDate::distantPast());
    const double age = std::abs(currentDate().secondsSinceReferenceDate()
                                - last.secondsSinceReferenceDate());
    if (age > double(interval) * secondsPerDay)
        doCheckForNewVersion(this);
}

void VantrelAppController::subscribeToVersionCheck()
{
    // Once: a second subscription would report every outcome twice.
    if (m_subscribedToVersionCheck)
        return;
    m_subscribedToVersionCheck = true;
    NotificationCenter &center = NotificationCenter::defaultCenter();
    center.addObserver(KVVersion::versionCheckSuccessfulNotification(), this,
                       [this](const Notification &n) { versionCheckSuccessful(n); });
    center.addObserver(KVVersion::versionCheckUnsuccessfulNotification(), this,
                       [this](const Notification &n) { versionCheckUnsuccessful(n); });
}

void VantrelAppController::doCheckForNewVersion(const QObject *sender)
{
    subscribeToVersionCheck();
    if (sender == this) {
        showStatusString(tr("Checking for new version..."));
        checkVersion(false);
    } else {
        checkVersion(true);
    }
}

void VantrelAppController::checkVersion(bool verbose)
{
    KVVersion::kvVersion()->checkVersion(verbose);
}

void VantrelAppController::versionCheckSuccessful(const Notification &)
{
    showStatusString(tr("Version check successful..."));
    defaults().setDate(currentDate(), PreferenceKeys::LastVersionCheckDate);
    defaults().synchronize();
    if (m_preferencesController)
        m_preferencesController->updateVersionLastChecked();
}

void VantrelAppController::versionCheckUnsuccessful(const Notification &)
{
    showStatusString(tr("Version check unsuccessful..."));
}

// ---- Start-up script -------------------------------------------------------

void VantrelAppController::doLaunchScript()
{
    const QString source = defaults().stringForKey(PreferenceKeys::LaunchScript);
    if (source.isEmpty())
        return;
    showStatusString(tr("Running startup script..."));
    // A script that never ends is stopped by the script's time limit and
    // reported like any other error, so the application stays usable.
    Script script(source);
    Script::Error error;
    script.execute(&error);
    if (error.message.isEmpty())
        return;
    showStatusString(tr("Startup script error"));
    qCWarning(lcApplication, "Startup script error: %s", qPrintable(error.message));
}

// ---- Batch open ------------------------------------------------------------

void VantrelAppController::batchOpen(const Notification &notification)
{
    m_batchArray.append(notification.object.toString());
    if (m_batchTotal == 0) {
        // Where unattended exports go, as the document decides it.
        const bool toOsirix = defaults().boolForKey(PreferenceKeys::ExportToOsiriX);
        m_batchToPacs = !toOsirix && defaults().boolForKey(PreferenceKeys::ExportToPACS);
        m_batchDestination = toOsirix ? tr("OsiriX") : ChartExport::exportFolder();
    }
    // Charts bound for a PACS are reported in one summary at the end.
    PacsExport::shared().beginBatch();
    ++m_batchTotal;
    showBatchProgress();
    scheduleBatchOpen();
}

void VantrelAppController::scheduleBatchOpen()
{
    if (m_batchOpenScheduled)
        return;
    m_batchOpenScheduled = true;
    Scheduler::shared().performAfterDelay(0.0, this, [this] {
        m_batchOpenScheduled = false;
        delayBatchOpen();
    });
}

void VantrelAppController::delayBatchOpen()
{
    if (m_batchArray.isEmpty()) {
        endBatch();
        return;
    }
    exportPatientFile(m_batchArray.takeFirst());
    ++m_batchDone;
    if (m_batchArray.isEmpty()) {
        endBatch();
        return;
    }
    showBatchProgress();
    scheduleBatchOpen();
}

void VantrelAppController::exportPatientFile(const QString &path)
{
    // A document the user already has open stays open: closing it would
    // throw away whatever is being edited in it.
    Document *alreadyOpen = documentForFileName(path);
    QString error;
    Document *document = alreadyOpen ? alreadyOpen : readWindowlessDocument(path, &error);
    const QString item = QFileInfo(path).fileName();
    if (!document) {
        qCWarning(lcApplication, "Batch open of \"%s\" failed: %s", qPrintable(path),
                  qPrintable(error));
        batchSummary().addFailure(item, tr("could not be opened: %1").arg(error));
        return;
    }
    // The chart is drawn in the window, which is built but never shown.
    document->makeWindowControllers();
    auto *patient = qobject_cast<VantrelDocument *>(document);
    m_batchItem = item;
    recordBatchResult(item, patient ? patient->autoExport()
                                    : ExportResult::skipped(tr("it holds no patient")));
    m_batchItem.clear();
    if (!alreadyOpen)
        document->close();
}

// The summary that counts the batch: the PACS's own when the charts go
// there, so that the batch ends in one.
BatchSummary &VantrelAppController::batchSummary()
{
    return m_batchToPacs ? PacsExport::shared().batchSummary() : m_batchSummary;
}

void VantrelAppController::recordBatchResult(const QString &item, const ExportResult &result)
{
    switch (result.outcome) {
    case ExportResult::Outcome::Exported:
        batchSummary().addDone();
        break;
    case ExportResult::Outcome::Queued:
        // Counted once the viewer's queue or the PACS has sent it.
        break;
    case ExportResult::Outcome::Skipped:
        batchSummary().addFailure(item, tr("skipped: %1").arg(result.reason));
        break;
    case ExportResult::Outcome::Failed:
        batchSummary().addFailure(item, tr("could not be written: %1").arg(result.reason));
        break;
    }
}

Document *VantrelAppController::readWindowlessDocument(const QString &path, QString *error)
{
    const QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    const QString type = typeForContentsOfURL(url);
    std::unique_ptr<Document> document(makeDocumentForType(type));
    if (!document) {
        *error = tr("No document can be made for the type \u201c%1\u201d.").arg(type);
        return nullptr;
    }
    // The plain read: an empty untitled window the user has on screen does
    // not give way to a document that is never shown, since closing it could
    // leave the application without a window.
    if (!document->Document::initWithContentsOfURL(url, type, error))
        return nullptr;
    addDocument(document.get());
    return document.release();
}

void VantrelAppController::showBatchProgress()
{
    if (!m_batchProgress) {
        m_batchProgress = std::make_unique<WaitController>(tr("Exporting charts"));
        m_batchProgress->setCancellable(true);
        connect(m_batchProgress.get(), &WaitController::cancelled, this,
                &VantrelAppController::cancelBatch);
        m_batchProgress->setDeterminate();
        m_batchProgress->showWindow();
    }
    m_batchProgress->setProgressBarMax(m_batchTotal);
    m_batchProgress->setProgressBarValue(m_batchDone);
    m_batchProgress->setStatusString(tr("Exporting charts: %1 of %2").arg(m_batchDone).arg(m_batchTotal));
}

void VantrelAppController::cancelBatch()
{
    const qsizetype untried = std::exchange(m_batchArray, {}).size();
    batchSummary().addUntried(untried, tr("Cancelled: %1 more patient files were not exported").arg(untried));
    endBatch();
}

void VantrelAppController::noteBatchProblem(const QString &note)
{
    // Only a batch into the export folder erases, before it begins.
    m_batchSummary.addNote(note);
}

void VantrelAppController::reportBatchIfIdle()
{
    const bool chartsOnTheirWay = std::any_of(m_exportToOsirixBatchItems.cbegin(),
                                              m_exportToOsirixBatchItems.cend(),
                                              [](const QString &item) { return !item.isEmpty(); });
    if (m_batchTotal > 0 || chartsOnTheirWay || m_batchSummary.isEmpty())
        return;
    const BatchSummary summary = std::exchange(m_batchSummary, {});
    if (summary.wentWell()) {
        showStatusString(tr("Charts exported: %1, to %2").arg(summary.doneCount()).arg(m_batchDestination));
        return;
    }
    Alert::alertWithMessageText(summary.countText(tr("Charts exported: %1 of %2")), tr("OK"), QString(),
                                QString(), tr("Not exported:\n%1").arg(summary.problemLines().join(u'\n')))
            .runModal();
}

void VantrelAppController::endBatch()
{
    PacsExport::shared().endBatch();
    m_batchTotal = 0;
    m_batchDone = 0;
    // The window may be ending the batch from its own Cancel button.
    if (m_batchProgress) {
        m_batchProgress->dismiss();
        m_batchProgress.release()->deleteLater();
    }
    reportBatchIfIdle();
}

// ---- Documents handed over by the desktop ------------------------------------

int VantrelAppController::runModalOpenPanel(FilePanel &panel, const QStringList &types)
{
    panel.setDirectory(databaseFolder());
    return DocumentController::runModalOpenPanel(panel, types);
}

void VantrelAppController::applicationOpenFiles(const QStringList &paths)
{
    QStringList failures;
    QStringList reasons;
    for (const QString &path : paths) {
        QString error;
        if (openDocumentWithContentsOfFile(path, true, &error)) {
            qCDebug(lcApplication, "Opened \"%s\"", qPrintable(path));
        } else {
            failures.append(path);
            reasons.append(error);
        }
    }
    // Asked only to come forward, or nothing opened: the front window rises,
    // or a new patient opens. A window exists before any alert is shown, so
    // that closing the alert never closes the application's last window.
    if (paths.isEmpty() || failures.size() == paths.size()) {
        if (Document *front = documents().value(0))
            front->showWindows();
        else
            openUntitledDocumentAndDisplay(true);
    }
    for (qsizetype i = 0; i < failures.size(); ++i)
        presentOpenError(failures[i], reasons[i]);
}

bool VantrelAppController::applicationPrintFile(const QString &path)
{
    const bool alreadyOpen = documentForFileName(path) != nullptr;
    QString error;
    Document *document = openDocumentWithContentsOfFile(path, true, &error);
    if (!document) {
        qCWarning(lcApplication, "Printing \"%s\" failed: %s", qPrintable(path),
                  qPrintable(error));
        return true;
    }
    document->printDocumentWithSettings({}, false, {});
    // A document that was open before keeps its window and its edits; the
    // last window stays too (opening may have replaced a blank one), since
    // closing it would end the running application.
    if (!alreadyOpen && documents().size() > 1)
        document->close();
    return true;
}

// ---- Menus -----------------------------------------------------------------

bool VantrelAppController::validateMenuItem(const QAction *item) const
{
    const QString title = plainTitle(item);
    if (title.startsWith(tr("Export")) || title == tr("Copy Report"))
        return currentDocument() != nullptr;
    return true;
}

AboutController *VantrelAppController::aboutController() const
{
    return m_aboutController;
}

void VantrelAppController::doSplashAboutBox()
{
    if (!m_aboutController)
        m_aboutController = new AboutController(this);
    m_aboutController->showWindow();
}

void VantrelAppController::doPreferences()
{
    if (!m_preferencesController)
        m_preferencesController = new PreferencesController(this);
    m_preferencesController->showWindow();
}

BatchExportController *VantrelAppController::batchExportController() const
{
    return m_batchExportController;
}

void VantrelAppController::doBatchExport()
{
    if (!m_batchExportController)
        m_batchExportController = new BatchExportController(this);
    m_batchExportController->showWindow();
}

void VantrelAppController::doExport()
{
    if (auto *document = qobject_cast<VantrelDocument *>(currentDocument()))
        document->doExport(true);
}

void VantrelAppController::doCloseAllDocuments()
{
    closeAllDocuments([](bool) {});
}

void VantrelAppController::doGoToWebSite()
{
    Workspace::sharedWorkspace().openURL(QUrl(Bundle::mainBundle().webSite()));
}

QUrl VantrelAppController::supportMailURL()
{
    const Bundle &bundle = Bundle::mainBundle();
    QUrl url(QStringLiteral("mailto:") + bundle.supportEmail());
    url.setQuery(QStringLiteral("subject=Technical Support Query for %1 %2")
                         .arg(bundle.name(), bundle.shortVersion()));
    return url;
}

void VantrelAppController::doMailAuthor()
{
    Workspace::sharedWorkspace().openURL(supportMailURL());
}

// ---- The link with the viewer's plug-in ------------------------------------

namespace {
std::filesystem::path fileSystemPath(const QString &path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

QString describe(const std::error_code &error)
{
    return QString::fromLocal8Bit(error.message());
}

// A plug-in bundle's CFBundleVersion; none without a readable property list
// or a version string.
std::optional<QString> bundleVersion(const QString &bundle)
{
    QFile info(QDir(bundle).filePath(pluginInfoFileName));
    if (!info.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QJsonValue version =
            QJsonDocument::fromJson(info.readAll()).object().value(QLatin1String("CFBundleVersion"));
    if (!version.isString())
        return std::nullopt;
    return version.toString();
}

// Copies the source beside the target under a hidden name and swaps it in by
// renaming, so that a failure at any step leaves the old copy as it was.
bool replaceWithCopy(const QString &source, const QString &target, QString *error)
{
    const QFileInfo targetInfo(target);
    // Hidden names: the viewer lists only visible entries as plug-ins.
    const QString pattern =
            targetInfo.dir().filePath(u'.' + targetInfo.fileName() + QStringLiteral("-XXXXXX"));
    QTemporaryDir staging(pattern);
    if (!staging.isValid()) {
        *error = staging.errorString();
        return false;
    }
    std::error_code code;
    const std::filesystem::path copy = fileSystemPath(staging.filePath(targetInfo.fileName()));
    std::filesystem::copy(fileSystemPath(source), copy, std::filesystem::copy_options::recursive,
                          code);
    if (code) {
        *error = describe(code);
        return false;
    }

    QTemporaryDir retired(pattern);
    const std::filesystem::path old = fileSystemPath(retired.filePath(targetInfo.fileName()));
    bool movedOld = false;
    if (targetInfo.exists() || targetInfo.isSymLink()) {
        if (retired.isValid())
            std::filesystem::rename(fileSystemPath(target), old, code);
        movedOld = retired.isValid() && !code;
        if (!movedOld)
            qCWarning(lcLink, "Remove old plugin failed: %s",
                      qPrintable(retired.isValid() ? describe(code) : retired.errorString()));
    }
    std::filesystem::rename(copy, fileSystemPath(target), code);
    if (code) {
        *error = describe(code);
        if (movedOld)
            std::filesystem::rename(old, fileSystemPath(target), code);
        return false;
    }
    if (movedOld && !retired.remove())
        qCWarning(lcLink, "Remove old plugin failed: %s", qPrintable(retired.path()));
    return true;
}
} // namespace

QString VantrelAppController::osirixLinkNotificationName()
{
    return Bundle::mainBundle().identifier() + QStringLiteral(".osirixLink");
}

VantrelDocument *VantrelAppController::frontDocument() const
{
    return qobject_cast<VantrelDocument *>(documents().value(0));
}

void VantrelAppController::notifiedOfLinkFromOsirix(const Notification &notification)
{
    QMetaObject::invokeMethod(
            this, [this, notification] { doLinkFromOsirix(notification); }, Qt::QueuedConnection);
}

VantrelAppController::LinkOutcome
VantrelAppController::doLinkFromOsirix(const Notification &notification)
{
    QString fault;
    const std::optional<OsirixLinkRequest> request =
            OsirixLinkRequest::fromUserInfo(notification.userInfo, &fault);
    if (!request) {
        qCWarning(lcLink, "Link request ignored: %s", qPrintable(fault));
        return LinkOutcome::Ignored;
    }
    // The patient's own document, wherever it is, takes the study; its
    // unsaved edits stay.
    if (VantrelDocument *patient = documentForPatient(request->identifier)) {
        patient->showWindows();
        addExaminationFromLinkRequest(patient, *request);
        return LinkOutcome::Added;
    }
    VantrelDocument *document = documentForNewPatient();
    if (!document)
        return LinkOutcome::Ignored;
    if (document->lookUp(request->identifier, false)) {
        Scheduler::shared().performAfterDelay(
                0.1, this, [this, notification] { deferredNewRecord(notification); });
        return LinkOutcome::Deferred;
    }
    fillFromLinkRequest(document, *request);
    return LinkOutcome::Filled;
}

void VantrelAppController::fillFromLinkRequest(VantrelDocument *document,
                                               const OsirixLinkRequest &request)
{
    document->setIdentifier(request.identifier);
    if (request.birthDate)
        document->setBirthDate(request.birthDate);
    document->setExamDate(request.studyDate);
    document->setSourceStudy(request.sourceStudy());
    document->setName(request.name.value_or(QString()));
    document->setOsiriXStudyID(request.studyID);
    document->directUpdateDisplayAndSetDirty();
    didFillFromLinkRequest(document, request);
}

void VantrelAppController::didFillFromLinkRequest(VantrelDocument *, const OsirixLinkRequest &) { }

void VantrelAppController::addExaminationFromLinkRequest(VantrelDocument *document,
                                                         const OsirixLinkRequest &request)
{
    // Who the patient is stays as the document has it.
    document->doNewRecord();
    if (request.name)
        document->setName(*request.name);
    document->setExamDate(request.studyDate);
    document->setSourceStudy(request.sourceStudy());
    document->directUpdateDisplayAndSetDirty();
}

VantrelDocument *VantrelAppController::documentForPatient(const QString &identifier) const
{
    for (Document *open : documents()) {
        auto *document = qobject_cast<VantrelDocument *>(open);
        // A document without a window is being exported in a batch.
        if (!document || !document->window() || document->preferredFileName() != identifier)
            continue;
        // A file of another name is another patient's, whatever its field says.
        if (document->fileName().isEmpty()
            || QFileInfo(document->fileName()).completeBaseName() == identifier)
            return document;
    }
    return nullptr;
}

VantrelDocument *VantrelAppController::documentForNewPatient()
{
    // The front document only when it holds nothing: an untouched new one.
    // Any other is another patient's, or holds what someone typed.
    VantrelDocument *front = frontDocument();
    if (front && front->fileURL().isEmpty() && !front->isDocumentEdited()
        && front->preferredFileName().isEmpty())
        return front;
    QString error;
    Document *opened = openUntitledDocumentAndDisplay(true, &error);
    if (!opened) {
        qCWarning(lcLink, "Link request ignored: no document opens: %s", qPrintable(error));
        return nullptr;
    }
    auto *document = qobject_cast<VantrelDocument *>(opened);
    if (!document)
        qCWarning(lcLink, "Link request ignored: the new document holds no patient");
    return document;
}

void VantrelAppController::deferredNewRecord(const Notification &notification)
{
    const std::optional<OsirixLinkRequest> request =
            OsirixLinkRequest::fromUserInfo(notification.userInfo, nullptr);
    if (!request)
        return;
    if (VantrelDocument *patient = documentForPatient(request->identifier)) {
        addExaminationFromLinkRequest(patient, *request);
        return;
    }
    // The patient's file did not open after all: the patient goes to a
    // document of its own, so that the request is not lost.
    qCWarning(lcLink, "The patient's file did not open; the patient goes to a new document");
    if (VantrelDocument *document = documentForNewPatient())
        fillFromLinkRequest(document, *request);
}

void VantrelAppController::batchExportToOsirix(const Notification &notification)
{
    qCInfo(lcLink, "Batch export to osirix");
    if (notification.object.metaType() != QMetaType::fromType<QVariantMap>()) {
        qCWarning(lcLink, "Chart message ignored: not a dictionary");
        return;
    }
    if (m_exportToOsirixArray.isEmpty()) {
        qCInfo(lcLink, "Initialise delayed batch export");
        Scheduler::shared().performAfterDelay(1.0, this, [this] { delayBatchExportToOsirix(); });
    }
    m_exportToOsirixArray.append(notification.object.toMap());
    m_exportToOsirixBatchItems.append(m_batchItem);
}

void VantrelAppController::delayBatchExportToOsirix()
{
    qCInfo(lcLink, "Delayed batch export");
    if (m_exportToOsirixArray.isEmpty()) {
        qCInfo(lcLink, "Zero items in array, exiting");
        offerLostChartReturns();
        return;
    }
    qCInfo(lcLink, "Sending notification to OsiriX plugin");
    const QString batchItem = m_exportToOsirixBatchItems.takeFirst();
    const QVariantMap message = m_exportToOsirixArray.takeFirst();
    // The plug-in owns the link's name on the bus while it listens.
    const bool heard = Workspace::sharedWorkspace().isApplicationRunning(osirixLinkNotificationName());
    const bool sent = DistributedNotificationCenter::defaultCenter().postNotification(
            osirixLinkNotificationName(), chartReturnObject, message);
    reportChartReturn(message, heard && sent);
    if (!batchItem.isEmpty()) {
        if (!sent)
            m_batchSummary.addFailure(batchItem, tr("could not be sent to OsiriX: no session bus"));
        else if (!heard)
            m_batchSummary.addFailure(batchItem, tr("could not be sent to OsiriX: the viewer is not running"));
        else
            m_batchSummary.addDone();
        reportBatchIfIdle();
    }
    Scheduler::shared().performAfterDelay(4.0, this, [this] { delayBatchExportToOsirix(); });
    qCInfo(lcLink, "Queue next delayed batch export");
}

namespace {
QString patientOfChartReturn(const QVariantMap &message)
{
    const QString name = message.value(QStringLiteral("Name")).toString();
    const QString identifier = message.value(QStringLiteral("Identifier")).toString();
    return name.isEmpty() ? identifier
                          : VantrelAppController::tr("%1 (%2)").arg(name, identifier);
}
} // namespace

void VantrelAppController::reportChartReturn(const QVariantMap &message, bool heard)
{
    const QString patient = patientOfChartReturn(message);
    if (heard) {
        showStatusString(tr("The chart of %1 went to the viewer.").arg(patient));
        return;
    }
    // Messages are not kept for a listener to come: this chart is lost, and
    // the user is offered it as a file once the queue has run dry.
    showStatusString(tr("The viewer is not running: the chart of %1 is lost.").arg(patient));
    if (!message.value(QStringLiteral("JPEG")).toByteArray().isEmpty())
        m_lostChartReturns.append(message);
}

void VantrelAppController::offerLostChartReturns()
{
    if (m_lostChartReturns.isEmpty())
        return;
    const QList<QVariantMap> lost = std::exchange(m_lostChartReturns, {});
    QStringList patients;
    for (const QVariantMap &message : lost)
        patients.append(patientOfChartReturn(message));
    const int answer = Alert::alertWithMessageText(
            tr("The viewer is not running"), lost.size() > 1 ? tr("Write Files") : tr("Write File"),
            tr("Don't Write"), QString(),
            tr("These charts did not reach the viewer and are lost:\n%1\n\nWrite them as files "
               "into the export folder?").arg(patients.join(u'\n')))
            .runModal();
    if (answer != Alert::DefaultReturn)
        return;
    const QString folder = ChartExport::exportFolder();
    QStringList failures;
    for (const QVariantMap &message : lost) {
        const QString preferredName =
                message.value(QStringLiteral("Identifier")).toString().replace(u'/', u'-');
        const QString path = folder + u'/' + ChartExport::chartFileName(preferredName, nullptr);
        QString error;
        if (!ChartExport::writeAtomically(path, message.value(QStringLiteral("JPEG")).toByteArray(),
                                          &error))
            failures.append(tr("%1: %2").arg(path, error));
    }
    if (!failures.isEmpty())
        Alert::alertWithMessageText(tr("Some charts could not be written"), tr("OK"), QString(),
                                    QString(), failures.join(u'\n'))
                .runModal();
}

QString VantrelAppController::applicationOsirixPluginsFolder() const
{
    return Bundle::mainBundle().pathForResource(QStringLiteral("OsiriX Plugins"));
}

QString VantrelAppController::installedOsirixPluginsFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
            .absoluteFilePath(QStringLiteral("OsiriX/Plugins"));
}

QString VantrelAppController::nameOfInstallableOsirixPlugin() const
{
    return QDir(applicationOsirixPluginsFolder())
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name)
            .value(0);
}

bool VantrelAppController::osirixPluginVersionCurrent() const
{
    const QString name = nameOfInstallableOsirixPlugin();
    if (name.isEmpty())
        return true;
    const QString installed = QDir(installedOsirixPluginsFolder()).filePath(name);
    if (!QFileInfo::exists(installed))
        return false;
    const std::optional<QString> version = bundleVersion(installed);
    return version && version == bundleVersion(QDir(applicationOsirixPluginsFolder()).filePath(name));
}

void VantrelAppController::doInstallOsirixPlugin()
{
    const QString name = nameOfInstallableOsirixPlugin();
    const QString folder = installedOsirixPluginsFolder();
    if (!QFileInfo(folder).isDir()) {
        std::error_code code;
        std::filesystem::create_directories(fileSystemPath(folder), code);
        if (code)
            qCWarning(lcLink, "Create directory failed: %s", qPrintable(describe(code)));
    }

    QString error = tr("No plug-in among the application's resources");
    const bool installed =
            !name.isEmpty()
            && replaceWithCopy(QDir(applicationOsirixPluginsFolder()).filePath(name),
                               QDir(folder).filePath(name), &error);
    if (installed) {
        Alert::alertWithMessageText(
                tr("Installation Succeeded"), tr("OK"), QString(), QString(),
                tr("The plugin will be available the next time OsiriX is launched."))
                .runModal();
        return;
    }
    qCWarning(lcLink, "Copy plugin failed: %s", qPrintable(error));
    Alert::alertWithMessageText(tr("Installation Failed"), tr("OK"), QString(), QString(), QString())
            .runModal();
}
