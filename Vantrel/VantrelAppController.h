#pragma once

#include "VantrelExport.h"

#include "AbsoluteDate.h"
#include "BatchSummary.h"
#include "ExportResult.h"
#include "DocumentController.h"
#include "Notification.h"

#include <QPointer>
#include <QStringList>
#include <QVariantMap>

#include <memory>

class AboutController;
class BatchExportController;
class OsirixLinkRequest;
class PreferencesController;
class QAction;
class VantrelDocument;
class WaitController;

// The application's one controller: its shared document controller and the
// receiver of the application's events. It registers the preference
// defaults, runs the launch sequence (first-run questions, splash window,
// start-up script, database cache, automatic version check), keeps the
// database cache and the batch-open queue, and carries the menu commands
// that are not a document's own.
//
// Documents reach it through sharedController() for the database cache.
class VANTREL_EXPORT VantrelAppController : public DocumentController
{
    Q_OBJECT

public:
    explicit VantrelAppController(QObject *parent = nullptr);
    ~VantrelAppController() override;

    // The running application's controller; null when the shared document
    // controller is not one.
    static VantrelAppController *sharedController();

    // Registers the defaults of the application's own preferences.
    static void initialize();
    // "Save Directory" with a leading "~" expanded.
    static QString databaseFolder();
    static QString expandTilde(const QString &path);
    // The local notification that asks for the viewer plug-in to be installed.
    static QString installPluginNotificationName() { return QStringLiteral("Install Plugin"); }

    // Subscriptions and queues, once the controller is set up.
    virtual void awakeFromNib();
    // The launch sequence, once the event loop runs.
    virtual void applicationDidFinishLaunching();
    virtual void applicationWillTerminate();

    // The Open command's panel starts in the database folder.
    int runModalOpenPanel(FilePanel &panel, const QStringList &types) override;
    // Commands whose title begins with "Export", and Copy Report, need a
    // current document.
    bool validateMenuItem(const QAction *item) const;
    // Files handed over by the desktop or a later start: opened and shown.
    void applicationOpenFiles(const QStringList &paths);
    // Opens, prints with the default printer without a panel, closes.
    // True in every case, as the desktop expects.
    bool applicationPrintFile(const QString &path);

    // The database cache: patient files in the database folder by their
    // relative path without extension.
    void cacheDatabaseFiles();
    bool fileIsInCachedDatabaseFiles(const QString &name) const;
    void addToCachedDatabaseFiles(const QString &path);
    QStringList cachedDatabaseFiles() const { return m_cachedDatabaseArray; }

    // The version check.
    void autoCheckForNewVersion();
    // The controller itself as sender means the automatic, quiet check.
    void doCheckForNewVersion(const QObject *sender);
    void versionCheckSuccessful(const Notification &notification);
    void versionCheckUnsuccessful(const Notification &notification);

    void doLaunchScript();

    // The batch-open queue: "BatchOpen" carries one patient file's path.
    // Files are taken one per turn of the event loop: each is opened without
    // showing its window, exported and closed again, while a progress window
    // counts them. A file the user already has open is exported and stays.
    void batchOpen(const Notification &notification);
    void delayBatchOpen();
    // The progress window's Cancel: the files not yet taken are dropped,
    // and the summary tells what was done before.
    void cancelBatch();
    // A problem of the batch that is no export (an old chart that could not
    // be removed), told in the batch's summary.
    void noteBatchProblem(const QString &note);
    // Unless a batch is still under way: its summary, as an alert when
    // anything went wrong, else on the status line.
    void reportBatchIfIdle();
    QStringList batchQueue() const { return m_batchArray; }
    WaitController *batchProgress() const { return m_batchProgress.get(); }

    // Menu commands.
    void doSplashAboutBox();
    void doPreferences();
    void doBatchExport();
    void doExport();
    void doCloseAllDocuments();
    void doGoToWebSite();
    void doMailAuthor();

    // The mail address of the support command, with its subject.
    static QUrl supportMailURL();

    AboutController *aboutController() const;
    BatchExportController *batchExportController() const;

    // ---- The link with the viewer's plug-in -------------------------------
    // The name of every message between the application and the plug-in:
    // the application's identifier with ".osirixLink" appended.
    static QString osirixLinkNotificationName();

    // A link request from the bus, handed to the main loop without waiting.
    void notifiedOfLinkFromOsirix(const Notification &notification);
    // What became of a link request.
    enum class LinkOutcome {
        Ignored, // unusable request: logged, no document touched
        Filled, // an empty document now holds the request's patient
        Deferred, // the patient's own file opens; deferredNewRecord follows
        Added, // the patient's open document has a new examination
    };
    // Applies a link request: a new examination in the patient's open
    // document; else the patient's file from the database folder, or an
    // empty document filled in. Never another patient's document.
    virtual LinkOutcome doLinkFromOsirix(const Notification &notification);
    // A new examination in the patient's file that the look-up opened.
    void deferredNewRecord(const Notification &notification);

    // The chart-return queue: "BatchExportToOsirix" carries one chart
    // message; the first leaves 1 s after it was queued, each further one
    // 4 s after the previous.
    void batchExportToOsirix(const Notification &notification);
    void delayBatchExportToOsirix();
    // Tells on the status line whether the chart reached the viewer; a chart
    // that did not is offered as a file when the queue has run dry.
    void reportChartReturn(const QVariantMap &message, bool heard);
    void offerLostChartReturns();
    QList<QVariantMap> exportToOsirixQueue() const { return m_exportToOsirixArray; }

    // The plug-in bundle the application carries; empty when it has none.
    QString nameOfInstallableOsirixPlugin() const;
    // Whether the installed plug-in has the version (CFBundleVersion, as a
    // string) of the application's copy. Without a plug-in to install there
    // is nothing to update.
    virtual bool osirixPluginVersionCurrent() const;
    // Copies the application's plug-in into the viewer's plug-in folder,
    // replacing an older copy, and tells the user the outcome.
    virtual void doInstallOsirixPlugin();
    // The viewer's plug-in folder: the XDG data folder's "OsiriX/Plugins".
    static QString installedOsirixPluginsFolder();
    // ------------------------------------------------------------------------

    // Progress and failures of background steps on the About window's
    // status line.
    virtual void showStatusString(const QString &status);

    // ---- The report paragraph, as Preferences previews its template --------
    struct ReportPreview
    {
        QString paragraph;
        // The document whose examination on show was filled in; empty for
        // the sample examination.
        QString documentName;
        // Names in braces that are no placeholder, in order, once each.
        QStringList unknownPlaceholders;
    };
    // The built-in template; the base knows no report.
    virtual QString defaultReportTemplate() const { return {}; }
    // The template filled in for the examination on show in the front
    // document, or for a sample examination when none has anything to report.
    virtual ReportPreview reportPreview(const QString &templateText) const
    {
        Q_UNUSED(templateText)
        return {};
    }

protected:
    // Starts the shared version checker; verbose checks report to the user.
    virtual void checkVersion(bool verbose);
    virtual AbsoluteDate currentDate() const;
    // The application's copy of the plug-in: "OsiriX Plugins" among its
    // resources.
    virtual QString applicationOsirixPluginsFolder() const;
    // The first document front to back, if it is a patient document.
    VantrelDocument *frontDocument() const;
    // A document has been filled in from a link request; a subclass takes
    // what it knows more of.
    virtual void didFillFromLinkRequest(VantrelDocument *document,
                                        const OsirixLinkRequest &request);
    // The open document of the patient with that identifier.
    VantrelDocument *documentForPatient(const QString &identifier) const;
    // The front document when it holds nothing, else a new one.
    VantrelDocument *documentForNewPatient();
    // A link request's patient and study into a document that holds no other
    // patient; its study as a new examination of the patient's own document.
    void fillFromLinkRequest(VantrelDocument *document, const OsirixLinkRequest &request);
    void addExaminationFromLinkRequest(VantrelDocument *document, const OsirixLinkRequest &request);

private:
    void askFirstRunQuestions();
    void offerOsirixPluginUpdate();
    void subscribeToVersionCheck();
    void subscribeToOsirixLink();
    void scheduleBatchOpen();
    void exportPatientFile(const QString &path);
    void recordBatchResult(const QString &item, const ExportResult &result);
    BatchSummary &batchSummary();
    Document *readWindowlessDocument(const QString &path, QString *error);
    void showBatchProgress();
    void endBatch();
    void finishPacsExport();

    QPointer<PreferencesController> m_preferencesController;
    QPointer<AboutController> m_aboutController;
    QPointer<BatchExportController> m_batchExportController;
    std::unique_ptr<WaitController> m_batchProgress;
    qint64 m_batchTotal = 0;
    qint64 m_batchDone = 0;
    bool m_batchOpenScheduled = false;
    QStringList m_cachedDatabaseArray;
    QStringList m_batchArray;
    QList<QVariantMap> m_exportToOsirixArray;
    // Beside each queued chart message: the batch's patient file it comes
    // from, empty for a chart that is no batch's.
    QStringList m_exportToOsirixBatchItems;
    // The batch under way: what it came to, where the charts go, and the
    // patient file being exported.
    BatchSummary m_batchSummary;
    bool m_batchToPacs = false;
    QString m_batchDestination;
    QString m_batchItem;
    QList<QVariantMap> m_lostChartReturns;
    bool m_subscribedToVersionCheck = false;
};
