#include "VantrelDocument.h"

#include "Alert.h"
#include "Assertion.h"
#include "Bundle.h"
#include "CFormat.h"
#include "ChartExport.h"
#include "DateFormatter.h"
#include "DisappearingItemEffect.h"
#include "DocumentController.h"
#include "ExaminationReports.h"
#include "FilePanel.h"
#include "GraphicsContext.h"
#include "Logging.h"
#include "NotificationCenter.h"
#include "PacsChart.h"
#include "PacsExport.h"
#include "PreferenceKeys.h"
#include "RegularFile.h"
#include "Scheduler.h"
#include "UserDefaults.h"
#include "VantrelAppController.h"
#include "Workspace.h"
#include "ui_VantrelDocument.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QClipboard>
#include <QDropEvent>
#include <QFocusEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QLineEdit>
#include <QPrinter>
#include <QTabWidget>

namespace {
// A second print within this many seconds is questioned.
constexpr double recentPrintSeconds = 30.0;

// Whether a key press in a text field would change its text.
bool keyChangesText(const QKeyEvent *event)
{
    if (event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Cut)
        || event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo)
        || event->matches(QKeySequence::Delete) || event->matches(QKeySequence::DeleteEndOfWord)
        || event->matches(QKeySequence::DeleteStartOfWord))
        return true;
    if (event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete)
        return true;
    const QString text = event->text();
    return !text.isEmpty() && text.at(0).isPrint()
            && !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier));
}

// Whether an event that reaches a text field is about to change its text:
// a key, a drop, an input method's text, or a middle click that pastes the
// selection where the window system has one.
bool changesText(const QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        return keyChangesText(static_cast<const QKeyEvent *>(event));
    case QEvent::Drop:
        return static_cast<const QDropEvent *>(event)->mimeData()->hasText();
    case QEvent::InputMethod: {
        const auto *input = static_cast<const QInputMethodEvent *>(event);
        return !input->commitString().isEmpty() || !input->preeditString().isEmpty();
    }
    case QEvent::MouseButtonRelease:
        return static_cast<const QMouseEvent *>(event)->button() == Qt::MiddleButton
                && QGuiApplication::clipboard()->supportsSelection();
    default:
        return false;
    }
}

bool autoSaveIsOn()
{
    return UserDefaults::standardUserDefaults().boolForKey(PreferenceKeys::AutoSave);
}

// A patient file directly in the database folder (never in a sub-folder).
QString patientFilePath(const QString &name, const QString &extension)
{
    return VantrelAppController::databaseFolder() + u'/' + name + u'.' + extension;
}
// The study of a chart message as the DICOM writer takes it.
DicomStudy dicomStudy(const QVariantMap &study)
{
    DicomStudy dicom;
    dicom.studyInstanceUID = study.value(QStringLiteral("StudyInstanceUID")).toString();
    dicom.accessionNumber = study.value(QStringLiteral("AccessionNumber")).toString();
    dicom.studyID = study.value(QStringLiteral("StudyID")).toString();
    const QVariant date = study.value(QStringLiteral("DateOfSourceStudy"));
    if (date.metaType() == QMetaType::fromType<AbsoluteDate>())
        dicom.studyDateTime = date.value<AbsoluteDate>().toLocalDateTime();
    return dicom;
}
} // namespace

VantrelDocument::VantrelDocument(QObject *parent)
    : KVAutoNameDocument(parent), m_lastPrintedDate(AbsoluteDate::distantPast())
{
}

VantrelDocument::~VantrelDocument() = default;

QString VantrelDocument::windowNibName() const
{
    return QStringLiteral("VantrelDocument");
}

QWidget *VantrelDocument::createWindow()
{
    return windowFromForm<Ui::VantrelDocument>();
}

void VantrelDocument::setDataFileExtension(const QString &extension)
{
    m_dataFileExtension = extension;
}

bool VantrelDocument::shouldShowGraphHilite() const
{
    return m_showGraphHilite && GraphicsContext::currentContextDrawingToScreen();
}

void VantrelDocument::windowControllerDidLoadNib()
{
    KVAutoNameDocument::windowControllerDidLoadNib();
    QWidget *root = window();
    if (!REQUIRE_VALUE(root, "Vantrel/VantrelDocument"))
        return;

    m_referenceIDField = root->findChild<QLineEdit *>(QStringLiteral("referenceIDField"));
    m_birthDateField = root->findChild<QLineEdit *>(QStringLiteral("birthDateField"));
    m_examDateField = root->findChild<QLineEdit *>(QStringLiteral("examDateField"));
    m_ageField = root->findChild<QLineEdit *>(QStringLiteral("ageField"));
    m_examNumberField = root->findChild<QLineEdit *>(QStringLiteral("examNumberField"));
    addFileChangedNotice();
    m_tabView = root->findChild<QTabWidget *>(QStringLiteral("tabView"));
    m_previousStudyButton = root->findChild<QAbstractButton *>(QStringLiteral("previousStudyButton"));
    m_nextStudyButton = root->findChild<QAbstractButton *>(QStringLiteral("nextStudyButton"));

    printInfo().setPageOrientation(QPageLayout::Portrait);
    m_lastPrintedDate = AbsoluteDate::distantPast();
    m_dataFileExtension =
            UserDefaults::standardUserDefaults().stringForKey(QStringLiteral("DataFile Extension"));
    setName(QString());
    setOsiriXStudyID(QString());

    const QString datePlaceholder = QLocale::system().dateFormat(QLocale::ShortFormat);
    for (QLineEdit *field : { m_birthDateField.data(), m_examDateField.data() }) {
        if (field)
            field->setPlaceholderText(datePlaceholder);
    }

    if (m_previousStudyButton) {
        m_previousStudyButton->setShortcut(QKeySequence(Qt::Key_Left));
        connect(m_previousStudyButton, &QAbstractButton::clicked, this,
                &VantrelDocument::doPreviousRecord);
    }
    if (m_nextStudyButton) {
        m_nextStudyButton->setShortcut(QKeySequence(Qt::Key_Right));
        connect(m_nextStudyButton, &QAbstractButton::clicked, this, &VantrelDocument::doNextRecord);
    }
    if (auto *button = root->findChild<QAbstractButton *>(QStringLiteral("newStudyButton")))
        connect(button, &QAbstractButton::clicked, this, &VantrelDocument::doNewRecord);
    if (auto *button = root->findChild<QAbstractButton *>(QStringLiteral("deleteStudyButton")))
        connect(button, &QAbstractButton::clicked, this, &VantrelDocument::doDeleteRecord);

    // The document is the delegate of every editable text field of its window.
    for (QLineEdit *field : root->findChildren<QLineEdit *>()) {
        if (!field->isReadOnly())
            connectTextField(field);
    }

    m_currentDataPointsVisible = true;
    m_showGraphHilite = true;
    m_lookUpRequired = false;
    m_closeRequested = false;
    m_currentExam = 0;
}

void VantrelDocument::connectTextField(QLineEdit *field)
{
    field->installEventFilter(this);
    m_textsAtRest.insert(field, field->text());
    connect(field, &QLineEdit::textEdited, this, [this, field] {
        if (m_fieldBeingEdited == field)
            return;
        // A change that no event announced first (the context menu's Paste,
        // Delete or Undo): ask now and take the change back when refused.
        const QString before = m_textsAtRest.value(field);
        m_askingBeforeEditing = true;
        const bool allowed = shouldModify(field, before);
        m_askingBeforeEditing = false;
        if (!allowed) {
            field->setText(before);
            return;
        }
        beginEditing(field);
    });
    // The text before an edit, for the question above. QLineEdit reports an
    // edit before the change of text, so this still holds the old text then.
    connect(field, &QLineEdit::textChanged, this, [this, field] {
        if (m_fieldBeingEdited != field)
            m_textsAtRest.insert(field, field->text());
    });
    // The end of editing (Return, or the focus leaving the field) is taken
    // from the field's events, so that the question before an edit, which
    // also takes the focus, is not taken for one.
}

void VantrelDocument::endEditing(QLineEdit *field)
{
    m_fieldBeingEdited = nullptr;
    m_textsAtRest.insert(field, field->text());
    controlTextDidEndEditing(field);
}

void VantrelDocument::beginEditing(QLineEdit *field)
{
    m_fieldBeingEdited = field;
    controlTextDidBeginEditing(field);
}

bool VantrelDocument::eventFilter(QObject *watched, QEvent *event)
{
    auto *field = qobject_cast<QLineEdit *>(watched);
    if (!field || field->isReadOnly())
        return KVAutoNameDocument::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<const QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            endEditing(field);
    } else if (event->type() == QEvent::FocusOut) {
        // Not for the field's own context menu, which edits it further, nor
        // for the question before an edit, which is no end of one.
        if (static_cast<const QFocusEvent *>(event)->reason() != Qt::PopupFocusReason
            && !m_askingBeforeEditing)
            endEditing(field);
    } else if (m_fieldBeingEdited != field && changesText(event)) {
        if (!askBeforeEditing(field)) {
            event->ignore();
            return true; // the change never reaches the field
        }
        beginEditing(field);
    }
    return KVAutoNameDocument::eventFilter(watched, event);
}

bool VantrelDocument::askBeforeEditing(QLineEdit *field)
{
    // The question takes the keyboard from the field. Afterwards the field
    // has it again as it was, selection included, so that the key that asked
    // replaces what the user had selected.
    const bool hadFocus = field->hasFocus();
    const QString text = field->text();
    const int cursor = field->cursorPosition();
    const int selectionStart = field->selectionStart();
    const int selectionLength = field->selectionLength();
    m_askingBeforeEditing = true;
    const bool allowed = controlTextShouldBeginEditing(field);
    m_askingBeforeEditing = false;
    if (hadFocus && field->window()) {
        field->window()->activateWindow();
        field->setFocus(Qt::OtherFocusReason);
    }
    if (field->text() == text) {
        if (selectionStart >= 0)
            field->setSelection(selectionStart, selectionLength);
        else
            field->setCursorPosition(cursor);
    }
    return allowed;
}

bool VantrelDocument::controlTextShouldBeginEditing(QLineEdit *control)
{
    return shouldModify(control, control ? control->text() : QString());
}

bool VantrelDocument::shouldModify(QLineEdit *control, const QString &currentText)
{
    const bool guarded = control && (control == m_referenceIDField || control == m_birthDateField);
    if (!guarded || currentText.isEmpty())
        return true;
    const Alert alert = Alert::alertWithMessageText(
            tr("This entry has already been defined"), tr("Modify"), tr("Cancel"), QString(),
            tr("Are you sure you want to modify this item?"));
    return alert.runModal() == Alert::DefaultReturn;
}

void VantrelDocument::controlTextDidBeginEditing(QLineEdit *)
{
    updateChangeCount(ChangeDone);
}

void VantrelDocument::controlTextDidEndEditing(QLineEdit *)
{
    const QString key = preferredFileName().toUpper();
    if (isBlank()) {
        if (m_referenceIDField)
            m_referenceIDField->setText(key);
        m_docIsBlank = false;
    }
    if (m_lookUpRequired && !key.isEmpty()) {
        m_lookUpRequired = false;
        if (lookUp(key, true))
            return; // the patient's file replaces this document
        // A file the user chose not to open is no new patient.
        if (fileURL().isEmpty() && !RegularFile::isRegularFile(patientFilePath(key, m_dataFileExtension)))
            newPatientNotOnFile(m_referenceIDField ? m_referenceIDField->text() : key);
    }
    // The window then shows what the record holds, as the calculations use it.
    updateArrayOrder();
}

quint64 VantrelDocument::lastExam() const
{
    return 0;
}

void VantrelDocument::addExamination() { }

void VantrelDocument::deleteCurrentExamination() { }

void VantrelDocument::commitEditing()
{
    if (QLineEdit *field = m_fieldBeingEdited)
        endEditing(field);
}

void VantrelDocument::doNewRecord()
{
    // Asked for from the keyboard, the field being typed in keeps the focus:
    // its editing ends here, as a click would end it, so that what was typed
    // belongs to the examination it was typed for.
    commitEditing();
    updateChangeCount(ChangeDone);
    synchronizeToData();
    addExamination();
    synchronizeFromData();
    if (m_examDateField) {
        m_examDateField->setFocus();
        m_examDateField->selectAll();
    }
}

void VantrelDocument::doDeleteRecord()
{
    if (lastExam() == 0) {
        Workspace::sharedWorkspace().beep();
        return;
    }
    const Alert alert = Alert::alertWithMessageText(tr("Are you sure you want to remove this exam?"),
                                                    tr("Remove"), tr("Cancel"), QString(), QString());
    QPointer<VantrelDocument> self(this);
    alert.beginSheetModalForWindow(window(), [self](int returnCode) {
        if (self)
            self->deleteAlertDidEnd(returnCode);
    });
}

void VantrelDocument::deleteAlertDidEnd(int returnCode)
{
    if (returnCode != Alert::DefaultReturn)
        return;
    updateChangeCount(ChangeDone);
    // Edits not yet in the model are dropped with the examination.
    synchronizeFromData();
    deleteCurrentExamination();
    if (m_currentExam > 0)
        --m_currentExam;
    synchronizeFromData();
    showRemovalEffect();
}

void VantrelDocument::showRemovalEffect()
{
    if (!m_examNumberField || !window())
        return;
    const QRect frame = m_examNumberField->geometry();
    const QPoint inParent(frame.x() + frame.width(), frame.y() + frame.height() / 2);
    const QWidget *parent = m_examNumberField->parentWidget();
    const QPoint inWindow = parent ? parent->mapTo(window(), inParent) : inParent;
    DisappearingItemEffect::showAt(window(), inWindow);
    emit examinationRemovedAt(inWindow);
}

void VantrelDocument::doNextRecord()
{
    if (m_currentExam == lastExam())
        return;
    synchronizeToData();
    ++m_currentExam;
    synchronizeFromData();
}

void VantrelDocument::doPreviousRecord()
{
    if (m_currentExam == 0)
        return;
    synchronizeToData();
    --m_currentExam;
    synchronizeFromData();
}

void VantrelDocument::setCurrentRecordFromClick(const QPointF &)
{
    synchronizeToData();
    m_currentExam = 0;
    synchronizeFromData();
}

void VantrelDocument::synchronizeFromData() { }

void VantrelDocument::synchronizeToData() { }

void VantrelDocument::updateArrayOrder() { }

void VantrelDocument::directUpdateDisplayAndSetDirty()
{
    updateChangeCount(ChangeDone);
    directUpdateDisplay();
}

void VantrelDocument::directUpdateDisplay()
{
    updateDisplay();
}

void VantrelDocument::updateDisplay()
{
    synchronizeToData();
    if (m_examNumberField)
        m_examNumberField->setText(CFormat::string(tr("%ld of %ld").toUtf8().constData(),
                                                   long(m_currentExam + 1), long(lastExam() + 1)));
}

// ---- Patient files in the database folder ----------------------------------

bool VantrelDocument::lookUp(const QString &key, bool askForConfirmation)
{
    if (!autoSaveIsOn())
        return false;
    VantrelAppController *controller = VantrelAppController::sharedController();
    if (!controller || !controller->fileIsInCachedDatabaseFiles(key))
        return false;
    // The cache is only a quick test; the file itself decides.
    const QString path = patientFilePath(key, m_dataFileExtension);
    if (!RegularFile::isRegularFile(path))
        return false;
    if (askForConfirmation) {
        const Alert alert = Alert::alertWithMessageText(
                tr("Patient Data Found"), tr("Open"), tr("Cancel"), QString(),
                tr("A previously saved data file is available for patient '%1'.  Would you like "
                   "to open it?")
                        .arg(key.toUpper()));
        if (alert.runModal() != Alert::DefaultReturn)
            return false;
    }
    // Not inside the end of editing that asked, and after its caller is done.
    Scheduler::shared().performAfterDelay(0.0, this,
                                          [this, path] { deferredOpenLookedUpFile(path); });
    return true;
}

void VantrelDocument::deferredOpenLookedUpFile(const QString &path)
{
    QString error;
    Document *opened = DocumentController::sharedDocumentController()
                               ->openDocumentWithContentsOfFile(path, true, &error);
    if (!opened) {
        // Closing anyway would throw away what was typed into this one.
        qCWarning(lcDocument, "The patient file \"%s\" could not be opened: %s", qPrintable(path),
                  qPrintable(error));
        return;
    }
    // The patient's file is this very document: it stays.
    if (opened == this)
        return;
    auto *patient = qobject_cast<VantrelDocument *>(opened);
    // A new document's reading goes on in the patient's own document.
    if (isDocumentEdited() && fileURL().isEmpty() && patient
        && patient->addExaminationsTypedIn(*this))
        updateChangeCount(ChangeCleared);
    // Anything else unsaved is asked about, as on any close.
    if (isDocumentEdited())
        performClose();
    else
        close();
}

bool VantrelDocument::addExaminationsTypedIn(VantrelDocument &)
{
    return false;
}

QString VantrelDocument::preferredFileName() const
{
    if (!m_referenceIDField)
        return QString();
    return m_referenceIDField->text().replace(u'/', u'-');
}

bool VantrelDocument::prepareSavePanel(FilePanel &panel)
{
    const QString folder = VantrelAppController::databaseFolder();
    panel.setDirectory(folder);
    panel.setAllowedFileTypes({ m_dataFileExtension });
    const QString name = preferredFileName();
    // Without an extension: the panel adds the type's own.
    if (fileURL().isEmpty() && !name.isEmpty())
        setFileName(folder + u'/' + name);
    return true;
}

void VantrelDocument::runModalSavePanelForSaveOperation(SaveOperationType operation,
                                                        SaveCompletion completion)
{
    const QString name = preferredFileName();
    const QString folder = VantrelAppController::databaseFolder();
    // Save As and Save To ask where, whatever the preference.
    if (operation == SaveOperation && autoSaveIsOn() && !name.isEmpty()
        && QFileInfo(folder).isDir()) {
        saveAutomatically(patientFilePath(name, m_dataFileExtension), operation,
                          std::move(completion));
        return;
    }
    KVAutoNameDocument::runModalSavePanelForSaveOperation(operation, std::move(completion));
}

bool VantrelDocument::mayReplaceWithAutomaticSave(const QString &path) const
{
    const QFileInfo target(path);
    if (!target.exists())
        return true;
    if (!fileURL().isEmpty()
        && QFileInfo(fileName()).canonicalFilePath() == target.canonicalFilePath())
        return true;
    // Another patient's file, or this identifier's file that the user chose
    // not to open: replacing it loses the examinations it holds.
    const Alert alert = Alert::alertWithMessageText(
            tr("A patient file named “%1” already exists.").arg(target.fileName()),
            tr("Replace"), tr("Cancel"), QString(), tr("Replacing it removes its examinations."));
    return alert.runModal() == Alert::DefaultReturn;
}

void VantrelDocument::saveAutomatically(const QString &path, SaveOperationType operation,
                                        SaveCompletion completion)
{
    if (!mayReplaceWithAutomaticSave(path)) {
        if (completion)
            completion(this, false);
        return;
    }
    auto saved = std::make_shared<bool>(false);
    saveToURL(QUrl::fromLocalFile(path), QFileInfo(path).suffix(), operation,
              [saved, completion](Document *document, bool didSave) {
                  *saved = didSave;
                  if (completion)
                      completion(document, didSave);
              });
    // A failed save has been reported; the document stays open with its
    // changes rather than vanish.
    if (!*saved)
        return;
    if (m_closeRequested) {
        close();
        return;
    }
    // The user goes on in a document read from its file, on the same
    // examination. Its window is up before this one goes, so the
    // application never runs out of windows; should the file not read,
    // this document, now tied to it, stays.
    DocumentController *controller = DocumentController::sharedDocumentController();
    QString error;
    Document *reopened = controller->makeDocumentWithContentsOfURL(
            QUrl::fromLocalFile(path), controller->typeForContentsOfURL(QUrl::fromLocalFile(path)),
            &error);
    if (!reopened) {
        qCWarning(lcDocument, "The saved patient file \"%s\" could not be reopened: %s",
                  qPrintable(path), qPrintable(error));
        return;
    }
    controller->addDocument(reopened);
    reopened->showWindows();
    if (auto *document = qobject_cast<VantrelDocument *>(reopened))
        document->showExaminationDated(examDateForRecord(m_currentExam), m_currentExam);
    close();
}

void VantrelDocument::saveToURL(const QUrl &url, const QString &type, SaveOperationType operation,
                                SaveCompletion completion)
{
    // The file holds what the window shows.
    synchronizeToData();
    m_lookUpRequired = false;
    auto saved = std::make_shared<bool>(false);
    KVAutoNameDocument::saveToURL(url, type, operation,
                                  [saved, completion](Document *document, bool didSave) {
                                      *saved = didSave;
                                      if (completion)
                                          completion(document, didSave);
                                  });
    if (!url.isEmpty()) {
        if (VantrelAppController *controller = VantrelAppController::sharedController())
            controller->addToCachedDatabaseFiles(QFileInfo(url.toLocalFile()).fileName());
    }
    // Tied to its file now, the document goes on in its window, as one read
    // from the file would.
    if (*saved && operation != SaveToOperation)
        m_docIsBlank = false;
}

QString VantrelDocument::fileTypeFromLastRunSavePanel() const
{
    return m_dataFileExtension;
}

void VantrelDocument::canCloseDocument(CloseCompletion completion)
{
    const auto answer = [this, &completion](bool shouldClose) {
        if (!shouldClose)
            m_closeRequested = false;
        if (completion)
            completion(this, shouldClose);
    };
    if (!isDocumentEdited()) {
        m_closeRequested = true;
        answer(true);
        return;
    }
    const bool automatic = autoSaveIsOn() && !preferredFileName().isEmpty();
    const Alert alert = Alert::alertWithMessageText(
            tr("Save changes to document?"), automatic ? tr("Save") : tr("Save As..."),
            tr("Don't Save"), tr("Cancel"), QString());
    switch (alert.runModal()) {
    case Alert::AlternateReturn:
        answer(true);
        return;
    case Alert::OtherReturn:
        answer(false);
        return;
    default:
        break;
    }
    if (automatic) {
        // The document being closed is not opened again after its save.
        m_closeRequested = true;
        saveDocument();
    } else {
        saveDocumentAs();
    }
    // Closing goes ahead only once the changes are safe: a cancelled panel,
    // a refused replacement or a failed write keeps the document open.
    answer(!isDocumentEdited());
}

bool VantrelDocument::revertToContentsOfURL(const QUrl &url, const QString &type, QString *error)
{
    const std::optional<AbsoluteDate> shownDate = examDateForRecord(m_currentExam);
    const quint64 shownExam = m_currentExam;
    if (!KVAutoNameDocument::revertToContentsOfURL(url, type, error))
        return false;
    // Whatever was being typed is gone with the rest of the edits.
    m_fieldBeingEdited = nullptr;
    showExaminationDated(shownDate, shownExam);
    return true;
}

void VantrelDocument::showExaminationDated(const std::optional<AbsoluteDate> &date,
                                           quint64 formerIndex)
{
    m_currentExam = lastExam();
    if (date) {
        // Of several examinations of that date, the one at the same place.
        if (formerIndex <= lastExam() && examDateForRecord(formerIndex) == date) {
            m_currentExam = formerIndex;
        } else {
            for (quint64 exam = 0; exam <= lastExam(); ++exam) {
                if (examDateForRecord(exam) == date) {
                    m_currentExam = exam;
                    break;
                }
            }
        }
    }
    synchronizeFromData();
}

std::optional<AbsoluteDate> VantrelDocument::examDateForRecord(quint64) const
{
    return std::nullopt;
}

void VantrelDocument::addFileChangedNotice()
{
    auto *layout = qobject_cast<QBoxLayout *>(window()->layout());
    if (!layout)
        return;
    m_fileChangedNotice = new QLabel(window());
    m_fileChangedNotice->setObjectName(QStringLiteral("fileChangedNotice"));
    m_fileChangedNotice->setWordWrap(true);
    m_fileChangedNotice->setTextFormat(Qt::PlainText);
    QFont font = m_fileChangedNotice->font();
    font.setBold(true);
    m_fileChangedNotice->setFont(font);
    layout->insertWidget(0, m_fileChangedNotice);
    connect(this, &Document::fileChangedOnDisk, this, &VantrelDocument::updateFileChangedNotice);
    updateFileChangedNotice();
}

void VantrelDocument::updateFileChangedNotice()
{
    if (!m_fileChangedNotice)
        return;
    m_fileChangedNotice->setVisible(isFileChangedOnDisk());
    if (!isFileChangedOnDisk())
        return;
    m_fileChangedNotice->setText(QFileInfo::exists(fileName())
                                         ? tr("The patient file has been changed by another "
                                              "program. Saving asks before replacing those "
                                              "changes.")
                                         : tr("The patient file has been moved or deleted by "
                                              "another program."));
}

void VantrelDocument::documentShouldClose(Document *document, bool shouldClose)
{
    if (document && shouldClose)
        document->close();
}

void VantrelDocument::setName(const QString &name)
{
    m_patientName = name;
}

void VantrelDocument::setIdentifier(const QString &identifier)
{
    if (m_referenceIDField)
        m_referenceIDField->setText(identifier);
}

void VantrelDocument::setBirthDate(const std::optional<AbsoluteDate> &date)
{
    if (m_birthDateField)
        m_birthDateField->setText(shortDateString(date));
}

void VantrelDocument::setExamDate(const std::optional<AbsoluteDate> &date)
{
    if (m_examDateField)
        m_examDateField->setText(shortDateString(date));
}

void VantrelDocument::setOsiriXStudyID(const QString &studyID)
{
    m_osiriXStudyID = studyID;
}

QString VantrelDocument::shortDateString(const std::optional<AbsoluteDate> &date) const
{
    return date ? DateFormatter().shortDateString(*date) : QString();
}

std::optional<AbsoluteDate> VantrelDocument::birthDateFromText(const QString &text) const
{
    // A two-digit year puts a birth in the past: "3/14/10" is 2010.
    return DateFormatter().dateFromString(text, DateFormatter::TwoDigitYears::InThePast);
}

std::optional<AbsoluteDate> VantrelDocument::examDateFromText(const QString &text) const
{
    return DateFormatter().dateFromString(text, DateFormatter::TwoDigitYears::Nearest);
}

// ---- Chart export ----------------------------------------------------------

QByteArray VantrelDocument::getJPEGData()
{
    if (!m_currentDataPointsVisible || !m_tabView)
        return {};
    // The capture never shows the mark of the examination on show; the
    // window shows it again afterwards. It is what the selected tab shows
    // (the chart, or the table), alone.
    m_showGraphHilite = false;
    const QByteArray data = ChartExport::jpegData(ChartExport::pageImage(m_tabView->currentWidget()));
    m_showGraphHilite = true;
    m_tabView->update();
    return data;
}

bool VantrelDocument::doExport(bool interactive)
{
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    if (defaults.boolForKey(PreferenceKeys::ExportToOsiriX)) {
        doExportToOsirix();
        return true;
    }
    if (defaults.boolForKey(PreferenceKeys::ExportToPACS)) {
        doExportToPACS(interactive);
        return true;
    }
    const QByteArray jpeg = getJPEGData();
    if (jpeg.isEmpty()) {
        // Nothing to export is no failure; a chart that could not be encoded is.
        if (!m_currentDataPointsVisible) {
            m_exportResult = missingChartResult();
            return true;
        }
        reportExportFailure(ChartExport::exportFolder(), tr("The chart could not be drawn."),
                            interactive);
        return false;
    }

    bool homeFallback = false;
    const QString folder = ChartExport::exportFolder(&homeFallback);
    const bool namedAutomatically =
            defaults.boolForKey(PreferenceKeys::AutoSave) && !preferredFileName().isEmpty();
    if (interactive && !namedAutomatically) {
        FilePanel panel = FilePanel::savePanel();
        panel.setPrompt(tr("Export"));
        panel.setTitle(tr("Export"));
        panel.setDirectory(folder);
        panel.setAllowedFileTypes({ QStringLiteral("jpg"), QStringLiteral("jpeg") });
        if (panel.runModal() != FilePanel::OKButton)
            return true;
        return writeExport(panel.filename(), jpeg, interactive);
    }

    if (homeFallback) {
        if (auto *controller = VantrelAppController::sharedController())
            controller->showStatusString(tr("No export or Desktop folder: charts go to %1").arg(folder));
    }
    const QString fileName = ChartExport::chartFileName(preferredFileName(), m_tabView);
    const QString path = folder + u'/' + fileName;
    if (QFileInfo::exists(path)) {
        const Alert alert = Alert::alertWithMessageText(
                tr("A file with that name already exists"), tr("Overwrite"), tr("Skip"), QString(),
                tr("A file named '%1' is already present in '%2/'.").arg(fileName, folder));
        if (alert.runModal() != Alert::DefaultReturn) {
            m_exportResult = ExportResult::skipped(tr("%1 was already there and was kept").arg(path));
            return true;
        }
    }
    return writeExport(path, jpeg, interactive);
}

bool VantrelDocument::writeExport(const QString &path, const QByteArray &jpeg, bool interactive)
{
    QString error;
    if (!ChartExport::writeAtomically(path, jpeg, &error)) {
        reportExportFailure(path, error, interactive);
        return false;
    }
    const std::optional<qsizetype> reports = writeStructuredReports(path, interactive);
    if (!reports)
        return false;
    showStatus(*reports == 0 ? tr("Exported to %1").arg(path)
                             : tr("Exported to %1, with %2 structured reports beside it")
                                       .arg(path, QString::number(*reports)));
    return true;
}

void VantrelDocument::showStatus(const QString &status)
{
    if (!m_statusLine) {
        auto *layout = window() ? qobject_cast<QBoxLayout *>(window()->layout()) : nullptr;
        if (!layout)
            return;
        m_statusLine = new QLabel(window());
        m_statusLine->setObjectName(QStringLiteral("statusLine"));
        m_statusLine->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(m_statusLine);
    }
    m_statusLine->setText(status);
}

void VantrelDocument::reportExportFailure(const QString &path, const QString &error,
                                          bool interactive)
{
    qCWarning(lcDocument, "The chart could not be exported to \"%s\": %s", qPrintable(path),
              qPrintable(error));
    m_exportResult = ExportResult::failed(tr("%1: %2").arg(path, error));
    if (interactive) {
        Alert::alertWithMessageText(tr("The chart could not be exported"), tr("OK"), QString(),
                                    QString(),
                                    tr("It could not be written to \u201c%1\u201d: %2").arg(path, error))
                .runModal();
    } else if (auto *controller = VantrelAppController::sharedController()) {
        controller->showStatusString(tr("The chart could not be exported to %1").arg(path));
    }
}

// Why getJPEGData() gave nothing: a chart that is not shown is skipped, one
// that could not be encoded has failed.
ExportResult VantrelDocument::missingChartResult() const
{
    if (!m_currentDataPointsVisible)
        return ExportResult::skipped(tr("the chart is not shown"));
    return ExportResult::failed(tr("The chart could not be drawn."));
}

ExportResult VantrelDocument::autoExport()
{
    m_exportResult = ExportResult::exported();
    if (!doExport(false) && m_exportResult)
        m_exportResult = ExportResult::failed(tr("the chart could not be exported"));
    return m_exportResult;
}

QVariantMap VantrelDocument::chartMessage(const QByteArray &jpeg) const
{
    QVariantMap message;
    if (!m_patientName.isEmpty())
        message.insert(QStringLiteral("Name"), m_patientName);
    if (!m_osiriXStudyID.isEmpty())
        message.insert(QStringLiteral("OsiriXStudyID"), m_osiriXStudyID);
    message.insert(QStringLiteral("Identifier"), m_referenceIDField ? m_referenceIDField->text() : QString());
    message.insert(QStringLiteral("StudyDescription"),
                   tr("%1 Chart").arg(Bundle::mainBundle().name()));
    if (m_birthDateField) {
        if (const auto birth = birthDateFromText(m_birthDateField->text()))
            message.insert(QStringLiteral("DateOfBirth"), QVariant::fromValue(*birth));
    }
    if (m_examDateField) {
        if (const auto study = examDateFromText(m_examDateField->text()))
            message.insert(QStringLiteral("DateOfStudy"), QVariant::fromValue(*study));
    }
    // Beyond the design's keys: the identity and study the chart is filed
    // under, so that it lands beside the study it belongs to.
    const QVariantMap study = chartStudy();
    for (auto value = study.cbegin(); value != study.cend(); ++value)
        message.insert(value.key(), value.value());
    if (const qint64 sex = patientSex(); sex == 1 || sex == 2)
        message.insert(QStringLiteral("Gender"), sex);
    message.insert(QStringLiteral("JPEG"), jpeg);
    return message;
}

QVariantMap VantrelDocument::chartStudy() const
{
    const QVariantMap study = sourceStudy();
    const QString identifier = m_referenceIDField ? m_referenceIDField->text() : QString();
    const QString patientID = study.value(QStringLiteral("PatientID")).toString();
    if (patientID.isEmpty() || QString(patientID).replace(u'/', u'-') != identifier)
        return {};
    return study;
}

void VantrelDocument::doExportToPACS(bool interactive)
{
    const QByteArray jpeg = getJPEGData();
    if (jpeg.isEmpty()) {
        m_exportResult = missingChartResult();
        return;
    }
    // Chart and reports land in one study, a new one when the examination
    // came from none.
    const DicomStudy study = dicomStudy(chartStudy()).knownOrNew(PacsChart::description);
    const QString identifier = filedPatientID();
    PacsChart chart(QImage::fromData(jpeg, "JPEG"), m_patientName, identifier);
    chart.setStudy(study);
    if (const auto birth = shownBirthDate())
        chart.setPatientsBirthDate(*birth);
    chart.setPatientsSex(int(patientSex()));
    m_exportResult = ExportResult::queued();
    PacsExport::Chart exported;
    exported.patient = m_patientName.isEmpty() ? identifier
                                               : tr("%1 (%2)").arg(m_patientName, identifier);
    exported.dicom = chart.data(&exported.dicomError);
    if (const QList<BoneAgeResult> results = examinationResults(); !results.isEmpty())
        exported.reports = examinationReports(study).data(results, &exported.reportsError);
    // Should the PACS not take it, the chart can still go where a file export puts it.
    exported.jpeg = jpeg;
    exported.filePath = ChartExport::exportFolder() + u'/'
            + ChartExport::chartFileName(preferredFileName(), m_tabView);
    PacsExport::shared().exportChart(exported, interactive);
}

QString VantrelDocument::filedPatientID() const
{
    return chartStudy()
            .value(QStringLiteral("PatientID"), m_referenceIDField ? m_referenceIDField->text() : QString())
            .toString();
}

std::optional<QDate> VantrelDocument::shownBirthDate() const
{
    if (!m_birthDateField)
        return std::nullopt;
    if (const auto birth = birthDateFromText(m_birthDateField->text()))
        return birth->toLocalDateTime().date();
    return std::nullopt;
}

ExaminationReports VantrelDocument::examinationReports(const DicomStudy &study) const
{
    ExaminationReports reports(m_patientName, filedPatientID());
    if (const auto birth = shownBirthDate())
        reports.setPatientsBirthDate(*birth);
    reports.setPatientsSex(int(patientSex()));
    reports.setStudy(study);
    return reports;
}

std::optional<qsizetype> VantrelDocument::writeStructuredReports(const QString &chartPath, bool interactive)
{
    const QList<BoneAgeResult> results = examinationResults();
    if (results.isEmpty()
        || !UserDefaults::standardUserDefaults().boolForKey(PreferenceKeys::ExportStructuredReport))
        return 0;
    QString error;
    const QList<QByteArray> reports = examinationReports(dicomStudy(chartStudy())).data(results, &error);
    if (reports.isEmpty()) {
        reportExportFailure(chartPath, error, interactive);
        return std::nullopt;
    }
    QList<QDate> dates;
    for (const BoneAgeResult &result : results)
        dates.append(result.examDate);
    const QStringList paths = ChartExport::reportPaths(chartPath, dates);
    QStringList existing;
    for (const QString &path : paths) {
        if (QFileInfo::exists(path))
            existing.append(QFileInfo(path).fileName());
    }
    const bool replace = existing.isEmpty()
            || Alert::alertWithMessageText(
                       tr("Structured report files with these names already exist"), tr("Overwrite"),
                       tr("Keep Them"), QString(),
                       tr("Already present in '%1/':\n%2")
                               .arg(QFileInfo(chartPath).absolutePath(), existing.join(u'\n')))
                            .runModal()
                    == Alert::DefaultReturn;
    qsizetype written = 0;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        if (!replace && QFileInfo::exists(paths.at(i)))
            continue;
        if (!ChartExport::writeAtomically(paths.at(i), reports.at(i), &error)) {
            reportExportFailure(paths.at(i), error, interactive);
            return std::nullopt;
        }
        ++written;
    }
    return written;
}

void VantrelDocument::doExportToOsirix()
{
    const QByteArray jpeg = getJPEGData();
    if (jpeg.isEmpty()) {
        m_exportResult = missingChartResult();
        return;
    }
    m_exportResult = ExportResult::queued();
    NotificationCenter::defaultCenter().post(QStringLiteral("BatchExportToOsirix"),
                                             chartMessage(jpeg));
}

// ---- Printing --------------------------------------------------------------

void VantrelDocument::printDocumentWithSettings(const QVariantMap &settings, bool showPrintPanel,
                                                PrintCompletion completion)
{
    const AbsoluteDate now = AbsoluteDate::now();
    if (m_lastPrintedDate.secondsSinceReferenceDate() - now.secondsSinceReferenceDate()
        > -recentPrintSeconds) {
        Alert::alertWithMessageText(tr("Recently Printed"), tr("OK"), QString(), QString(),
                                    tr("This document was printed in the last 30 seconds."))
                .runModal();
    }
    // The printout always shows the latest examination, which stays on show.
    synchronizeToData();
    m_currentExam = lastExam();
    synchronizeFromData();
    // The print job is named after the patient, an untitled one after its window.
    const QString title = preferredFileName();
    if (m_printableView && !title.isEmpty())
        m_printableView->window()->setWindowTitle(title + QStringLiteral("[*]"));
    m_lastPrintedDate = now;
    KVAutoNameDocument::printDocumentWithSettings(settings, showPrintPanel, std::move(completion));
}
