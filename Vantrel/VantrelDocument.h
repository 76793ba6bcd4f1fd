#pragma once

#include "BoneAgeResult.h"
#include "ExportResult.h"
#include "VantrelExport.h"

#include "AbsoluteDate.h"
#include "KVAutoNameDocument.h"

#include <QAbstractButton>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPointF>
#include <QPointer>
#include <QTabWidget>

#include <optional>

class ExaminationReports;
struct DicomStudy;

// The patient document every assessment extends: the identifier, birth-date,
// examination-date, age and counter fields, stepping through examinations,
// adding and removing them, and the refresh of the counter. It never touches
// the patient model: it calls hooks that the subclass implements.
//
// The window's elements are found by object name once the window is built
// ("referenceIDField", "birthDateField", "examDateField", "ageField",
// "examNumberField", "tabView", "previousStudyButton", "nextStudyButton"),
// the way an interface file connects its outlets.
class VANTREL_EXPORT VantrelDocument : public KVAutoNameDocument
{
    Q_OBJECT

public:
    explicit VantrelDocument(QObject *parent = nullptr);
    ~VantrelDocument() override;

    QString windowNibName() const override;

    QString dataFileExtension() const { return m_dataFileExtension; }
    void setDataFileExtension(const QString &extension);
    // True only while showGraphHilite is set and the drawing goes to the screen.
    bool shouldShowGraphHilite() const;
    bool showGraphHilite() const { return m_showGraphHilite; }
    bool currentDataPointsVisible() const { return m_currentDataPointsVisible; }
    void setCurrentDataPointsVisible(bool visible) { m_currentDataPointsVisible = visible; }
    bool lookUpRequired() const { return m_lookUpRequired; }

    // Editing of the document's text fields; the window routes its fields'
    // events here, as a text field's delegate would receive them.
    bool controlTextShouldBeginEditing(QLineEdit *control);
    void controlTextDidBeginEditing(QLineEdit *control);
    void controlTextDidEndEditing(QLineEdit *control);

    quint64 currentExam() const { return m_currentExam; }
    virtual quint64 lastExam() const;
    virtual void addExamination();
    virtual void deleteCurrentExamination();

    // Ends the editing of the field being typed in, as a click elsewhere
    // would, so that what was typed reaches the record.
    void commitEditing();
    void doNewRecord();
    void doDeleteRecord();
    void deleteAlertDidEnd(int returnCode);
    void doNextRecord();
    void doPreviousRecord();
    // A click in the chart, in data coordinates. The base shows the first
    // examination.
    virtual void setCurrentRecordFromClick(const QPointF &point);

    virtual void synchronizeFromData();
    virtual void synchronizeToData();
    virtual void updateArrayOrder();

    void directUpdateDisplayAndSetDirty();
    void directUpdateDisplay();
    virtual void updateDisplay();

    // ---- Patient files in the database folder ------------------------------
    // Finding an existing patient file for a new identifier (the upper-cased
    // preferred file name). Answers whether the file will be opened: on a
    // later pass of the main loop, in place of this document.
    virtual bool lookUp(const QString &key, bool askForConfirmation);
    // Opens the patient's file in place of this document: a reading typed
    // here goes with it; anything else unsaved is asked about first.
    void deferredOpenLookedUpFile(const QString &path);
    // Adds the examinations that hold a reading typed into the new document
    // typed, and shows the last of them. False when this document cannot
    // take them (the base knows no examinations).
    virtual bool addExaminationsTypedIn(VantrelDocument &typed);
    // The identifier with every "/" replaced by "-", as typed otherwise.
    QString preferredFileName() const;

    // The save panel starts in the database folder and proposes the
    // identifier-derived name.
    bool prepareSavePanel(FilePanel &panel) override;
    // A save of an untitled document with "Auto Save" on, an identifier and
    // a database folder goes there without a panel, and the file is shown
    // again in a new window unless closing. Save As always asks where.
    void runModalSavePanelForSaveOperation(SaveOperationType operation,
                                           SaveCompletion completion) override;
    // Every save: the window into the model first; afterwards the
    // application's cache knows the name.
    void saveToURL(const QUrl &url, const QString &type, SaveOperationType operation,
                   SaveCompletion completion) override;
    QString fileTypeFromLastRunSavePanel() const override;
    // "Save changes to document?": Save (automatic save) or Save As... (panel).
    void canCloseDocument(CloseCompletion completion) override;
    // A should-close completion for callers: closes when shouldClose is set.
    void documentShouldClose(Document *document, bool shouldClose);
    // Reads the file again and shows it; the examination on show stays on
    // show, found by its date, when the file still holds it, else the
    // latest one.
    bool revertToContentsOfURL(const QUrl &url, const QString &type, QString *error) override;
    // An examination's date, to find it again after a reload; the base
    // knows none.
    virtual std::optional<AbsoluteDate> examDateForRecord(quint64 exam) const;
    // Shows the examination of that date (of several, the one at
    // formerIndex if it is one of them); without one, the latest.
    void showExaminationDated(const std::optional<AbsoluteDate> &date, quint64 formerIndex);

    QString patientName() const { return m_patientName; }
    QString osiriXStudyID() const { return m_osiriXStudyID; }
    // A subclass that shows the name in its window overrides this.
    virtual void setName(const QString &name);
    void setIdentifier(const QString &identifier);
    void setBirthDate(const std::optional<AbsoluteDate> &date);
    void setExamDate(const std::optional<AbsoluteDate> &date);
    void setOsiriXStudyID(const QString &studyID);

    QTabWidget *tabView() const { return m_tabView.data(); }
    AbsoluteDate lastPrintedDate() const { return m_lastPrintedDate; }

    // Chart export. The capture of the tab view without the mark of the
    // examination on show; empty when the chart may not be exported.
    QByteArray getJPEGData();
    // The Export command (interactive) and unattended exports: a JPEG file,
    // or the chart message to the viewer when "Export to OsiriX" is on.
    // Answers false only when a file could not be written.
    Q_INVOKABLE virtual bool doExport(bool interactive);
    void doExportToOsirix();
    // The chart to the PACS of the preferences, filed under the patient,
    // and beside it in its study the examinations' structured reports.
    void doExportToPACS(bool interactive);
    // Every examination's results, for the structured reports that go with
    // the chart; the base keeps no examinations, hence none.
    virtual QList<BoneAgeResult> examinationResults() const { return {}; }
    // The sex code shown (0 unspecified, 1 male, 2 female), for exports that
    // file the chart under the patient; the base knows none.
    virtual qint64 patientSex() const { return 0; }
    // The study the examination on show came from, as a link request named
    // it ("PatientID", "StudyInstanceUID", "AccessionNumber", "StudyID",
    // "DateOfSourceStudy"); kept with the examination for this session only.
    // The base keeps no examinations, hence none.
    virtual QVariantMap sourceStudy() const { return {}; }
    virtual void setSourceStudy(const QVariantMap &study) { Q_UNUSED(study) }
    // The unattended export (batch, automatic): what became of the chart.
    ExportResult autoExport();
    // The line at the foot of the window: where an export went.
    void showStatus(const QString &status);
    QString statusText() const { return m_statusLine ? m_statusLine->text() : QString(); }
    // The chart message for the viewer: name, study, identifier, description,
    // dates and the JPEG data.
    QVariantMap chartMessage(const QByteArray &jpeg) const;
    // The source study while it is still this patient's (the identifier
    // shown is the one it came with); else empty: the chart then starts a
    // study of its own.
    QVariantMap chartStudy() const;

    // Warns about printing twice within 30 seconds, shows the latest
    // examination and titles the printout with the preferred file name.
    void printDocumentWithSettings(const QVariantMap &settings, bool showPrintPanel,
                                   PrintCompletion completion) override;

signals:
    // The counter's disappearing effect after a removal, at this window point.
    void examinationRemovedAt(const QPoint &windowPoint);

protected:
    QWidget *createWindow() override;
    void windowControllerDidLoadNib() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

    // Dates as the window shows and reads them: the short date style.
    QString shortDateString(const std::optional<AbsoluteDate> &date) const;
    std::optional<AbsoluteDate> birthDateFromText(const QString &text) const;
    std::optional<AbsoluteDate> examDateFromText(const QString &text) const;
    // A new document's identifier has no patient file in the database
    // folder; the base has nothing more to offer.
    virtual void newPatientNotOnFile(const QString &identifier) { Q_UNUSED(identifier) }

    QPointer<QLineEdit> m_referenceIDField;
    QPointer<QLineEdit> m_birthDateField;
    QPointer<QLineEdit> m_examDateField;
    QPointer<QLineEdit> m_ageField;
    QPointer<QLineEdit> m_examNumberField;
    QPointer<QTabWidget> m_tabView;
    QPointer<QAbstractButton> m_previousStudyButton;
    QPointer<QAbstractButton> m_nextStudyButton;
    QString m_dataFileExtension;
    QString m_patientName;
    QString m_osiriXStudyID;
    bool m_showGraphHilite = false;
    bool m_currentDataPointsVisible = false;
    bool m_lookUpRequired = false;
    bool m_closeRequested = false;
    quint64 m_currentExam = 0;
    AbsoluteDate m_lastPrintedDate;
    // What the export under way came to, beyond its plain answer.
    ExportResult m_exportResult;

private:
    ExportResult missingChartResult() const;
    void reportExportFailure(const QString &path, const QString &error, bool interactive);
    // Writes an exported picture and says where it went, or why not.
    bool writeExport(const QString &path, const QByteArray &jpeg, bool interactive);
    // With "Export Structured Report" on: the examinations' reports as files
    // beside the exported chart. An existing file is replaced only when the
    // user agrees. Answers the number written, none on a failure (reported).
    std::optional<qsizetype> writeStructuredReports(const QString &chartPath, bool interactive);
    // The identifier the chart and its reports are filed under: as the
    // viewer gave it where known ("AB/12", not the file-name form "AB-12").
    QString filedPatientID() const;
    std::optional<QDate> shownBirthDate() const;
    // The patient's reports, filed in the study as the chart is.
    ExaminationReports examinationReports(const DicomStudy &study) const;
    // Whether the automatic save may write to path: a file this document was
    // not read from is replaced only when the user agrees.
    bool mayReplaceWithAutomaticSave(const QString &path) const;
    void saveAutomatically(const QString &path, SaveOperationType operation,
                           SaveCompletion completion);
    void connectTextField(QLineEdit *field);
    void beginEditing(QLineEdit *field);
    void endEditing(QLineEdit *field);
    // The editing guard for a change on its way to the field.
    bool askBeforeEditing(QLineEdit *field);
    // The editing guard for a field whose text is currentText.
    bool shouldModify(QLineEdit *control, const QString &currentText);
    void showRemovalEffect();
    // The window's line that says another program changed the file.
    void addFileChangedNotice();
    void updateFileChangedNotice();

    QPointer<QLabel> m_fileChangedNotice;
    QPointer<QLabel> m_statusLine;
    QPointer<QLineEdit> m_fieldBeingEdited;
    bool m_askingBeforeEditing = false;
    // Each text field's text when no editing was under way. Keys are never
    // dereferenced, so an entry that outlives its field does no harm.
    QHash<const QLineEdit *, QString> m_textsAtRest;
};
