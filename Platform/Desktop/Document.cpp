#include "Document.h"

#include "Alert.h"
#include "AtomicFile.h"
#include "DocumentController.h"
#include "FilePanel.h"
#include "FileWatcher.h"
#include "Logging.h"
#include "RegularFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QPrinter>
#include <QScopedValueRollback>
#include <QWidget>

namespace {
// Two paths for one file: the same file when both exist, else the same
// absolute path.
bool isSamePath(const QString &first, const QString &second)
{
    const QFileInfo a(first);
    const QFileInfo b(second);
    if (a.exists() && b.exists())
        return a.canonicalFilePath() == b.canonicalFilePath();
    return QDir::cleanPath(a.absoluteFilePath()) == QDir::cleanPath(b.absoluteFilePath());
}
} // namespace

class Document::WindowWatcher : public QObject
{
public:
    explicit WindowWatcher(Document *document)
        : QObject(document)
        , m_document(document)
    {
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        return m_document->handleWindowEvent(event);
    }

private:
    Document *m_document;
};

Document::Document(QObject *parent)
    : QObject(parent)
{
}

Document::~Document()
{
    if (m_documentController)
        m_documentController->removeDocument(this);
    if (QWidget *window = m_window.data()) {
        // A subclass is gone by now: its window must not call back into it
        // (a field losing focus would report the end of editing).
        window->removeEventFilter(m_windowWatcher);
        window->blockSignals(true);
        const QList<QObject *> children = window->findChildren<QObject *>();
        for (QObject *child : children)
            child->blockSignals(true);
        delete window;
    }
}

void Document::setFileURL(const QUrl &url)
{
    if (url == m_fileURL)
        return;
    m_fileURL = url;
    updateWindowTitle();
    emit fileURLChanged(url);
}

void Document::setFileName(const QString &path)
{
    setFileURL(path.isEmpty() ? QUrl() : QUrl::fromLocalFile(path));
}

QString Document::displayName() const
{
    if (!m_fileURL.isEmpty())
        return QFileInfo(fileName()).fileName();
    if (m_untitledNumber > 1)
        return tr("Untitled %1").arg(m_untitledNumber);
    return tr("Untitled");
}

bool Document::readFromURL(const QUrl &url, const QString &type, QString *error)
{
    if (!url.isLocalFile()) {
        if (error)
            *error = tr("Only local files can be opened.");
        return false;
    }
    return readFromFile(url.toLocalFile(), type, error);
}

bool Document::initWithContentsOfURL(const QUrl &url, const QString &type, QString *error)
{
    if (!readFromURL(url, type, error))
        return false;
    setFileType(type);
    setFileURL(url);
    recordFileState(url.toLocalFile());
    updateChangeCount(ChangeCleared);
    return true;
}

bool Document::revertToContentsOfURL(const QUrl &url, const QString &type, QString *error)
{
    if (!readFromURL(url, type, error))
        return false;
    recordFileState(url.toLocalFile());
    updateChangeCount(ChangeCleared);
    return true;
}

bool Document::isRecordedFile(const QString &path) const
{
    return !m_fileState.isNull() && isSamePath(path, m_fileState.path())
            && isSamePath(path, fileName());
}

void Document::recordFileState(const QString &path)
{
    // The state of the very bytes read or written: a stat or a read after
    // the fact could see another program's file instead.
    m_fileState = !m_lastTransfer.isNull() && isSamePath(m_lastTransfer.path(), path)
            ? m_lastTransfer
            : FileState::ofFile(path);
    m_lastTransfer = FileState();
    m_unreadableChange = FileState();
    if (!m_fileWatcher) {
        m_fileWatcher = new FileWatcher(this);
        connect(m_fileWatcher, &FileWatcher::fileMayHaveChanged, this, &Document::checkFileOnDisk);
    }
    m_fileWatcher->watch(m_fileState.path());
    setFileChangedOnDisk(false);
}

bool Document::isFileChangedSinceRecorded() const
{
    return !m_fileState.isNull()
            && !FileState::ofFile(m_fileState.path()).hasSameContentAs(m_fileState);
}

void Document::setFileChangedOnDisk(bool changed)
{
    if (changed == m_fileChangedOnDisk)
        return;
    m_fileChangedOnDisk = changed;
    emit fileChangedOnDisk(changed);
}

void Document::checkFileOnDisk()
{
    // A save under way compares for itself, and its own write is no change.
    if (m_closed || m_saving || m_fileState.isNull() || !isSamePath(fileName(), m_fileState.path()))
        return;
    const FileState onDisk = FileState::ofFile(m_fileState.path());
    if (onDisk.hasSameContentAs(m_fileState)) {
        setFileChangedOnDisk(false);
        return;
    }
    if (!isDocumentEdited() && onDisk.exists() && !onDisk.hasSameContentAs(m_unreadableChange)) {
        QString error;
        if (revertToContentsOfURL(m_fileURL, m_fileType, &error)) {
            qCInfo(lcPlatform, "\"%s\" was changed by another program and has been read again",
                   qPrintable(fileName()));
            return;
        }
        // Perhaps caught half-written; a later change is read again.
        qCWarning(lcPlatform, "\"%s\" was changed by another program and could not be read: %s",
                  qPrintable(fileName()), qPrintable(error));
        m_unreadableChange = onDisk;
    }
    setFileChangedOnDisk(true);
}

bool Document::mayReplaceChangedFile()
{
    if (!isFileChangedSinceRecorded())
        return true;
    const Alert alert = Alert::alertWithMessageText(
            tr("This patient file has been changed by another program since you opened it."),
            tr("Save Anyway"), tr("Revert"), tr("Cancel"), tr("Saving now replaces those changes."));
    switch (alert.runModal()) {
    case Alert::DefaultReturn:
        return true;
    case Alert::AlternateReturn: {
        QString error;
        if (!revertToContentsOfURL(m_fileURL, m_fileType, &error))
            presentError(tr("The document “%1” could not be reverted.").arg(displayName()), error);
        return false;
    }
    default:
        return false;
    }
}

void Document::updateChangeCount(ChangeType change)
{
    const bool wasEdited = isDocumentEdited();
    switch (change) {
    case ChangeDone:
        ++m_changeCount;
        break;
    case ChangeUndone:
        --m_changeCount;
        break;
    case ChangeCleared:
        m_changeCount = 0;
        break;
    }
    if (m_window)
        m_window->setWindowModified(isDocumentEdited());
    if (wasEdited != isDocumentEdited())
        emit documentEditedChanged(isDocumentEdited());
}

QByteArray Document::dataRepresentationOfType(const QString &type)
{
    qCWarning(lcPlatform, "%s cannot write type \"%s\"", metaObject()->className(),
              qPrintable(type));
    return {};
}

bool Document::loadDataRepresentation(const QByteArray &, const QString &type)
{
    qCWarning(lcPlatform, "%s cannot read type \"%s\"", metaObject()->className(),
              qPrintable(type));
    return false;
}

bool Document::readFromFile(const QString &path, const QString &type, QString *error)
{
    QByteArray data;
    QString reason;
    if (!RegularFile::read(path, &data, &reason)) {
        if (error)
            *error = tr("The file “%1” couldn’t be opened: %2").arg(QFileInfo(path).fileName(), reason);
        return false;
    }
    if (!loadDataRepresentation(data, type)) {
        if (error)
            *error = tr("The file “%1” couldn’t be opened because it isn’t in the correct format.")
                             .arg(QFileInfo(path).fileName());
        return false;
    }
    m_lastTransfer = FileState::ofBytes(path, data);
    return true;
}

bool Document::writeToFile(const QString &path, const QString &type, QString *error)
{
    const QByteArray data = dataRepresentationOfType(type);
    if (data.isNull()) {
        if (error)
            *error = tr("The document’s contents could not be prepared for saving.");
        return false;
    }
    QString reason;
    if (!AtomicFile::write(path, data, &reason)) {
        if (error)
            *error = tr("The file “%1” couldn’t be written: %2").arg(QFileInfo(path).fileName(), reason);
        return false;
    }
    m_lastTransfer = FileState::ofBytes(path, data);
    return true;
}

QString Document::windowNibName() const
{
    return {};
}

QWidget *Document::createWindow()
{
    return nullptr;
}

void Document::windowControllerDidLoadNib()
{
}

void Document::makeWindowControllers()
{
    if (m_window || m_closed)
        return;
    QWidget *window = createWindow();
    if (!window)
        return;
    m_window = window;
    m_windowWatcher = new WindowWatcher(this);
    window->installEventFilter(m_windowWatcher);
    updateWindowTitle();
    window->setWindowModified(isDocumentEdited());
    windowControllerDidLoadNib();
}

void Document::showWindows()
{
    makeWindowControllers();
    if (!m_window)
        return;
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    if (m_documentController)
        m_documentController->noteDocumentBroughtToFront(this);
}

void Document::updateWindowTitle()
{
    if (m_window)
        m_window->setWindowTitle(displayName() + QStringLiteral("[*]"));
}

bool Document::handleWindowEvent(QEvent *event)
{
    if (m_closed)
        return false;
    switch (event->type()) {
    case QEvent::Close:
        // The window's close box is the Close command: the document
        // decides, after asking about unsaved changes.
        event->ignore();
        performClose();
        return true;
    case QEvent::WindowActivate:
        if (m_documentController)
            m_documentController->noteDocumentBroughtToFront(this);
        return false;
    default:
        return false;
    }
}

void Document::saveDocument()
{
    saveDocumentWithCompletion({});
}

void Document::saveDocumentWithCompletion(SaveCompletion completion)
{
    if (m_fileURL.isEmpty())
        runModalSavePanelForSaveOperation(SaveOperation, std::move(completion));
    else
        saveToURL(m_fileURL, m_fileType, SaveOperation, std::move(completion));
}

void Document::saveDocumentAs()
{
    runModalSavePanelForSaveOperation(SaveAsOperation, {});
}

void Document::saveDocumentTo()
{
    runModalSavePanelForSaveOperation(SaveToOperation, {});
}

void Document::saveToURL(const QUrl &url, const QString &type, SaveOperationType operation,
                         SaveCompletion completion)
{
    const QScopedValueRollback<bool> saving(m_saving, true);
    const QString path = url.isLocalFile() ? url.toLocalFile() : QString();
    const bool replacesOwnFile = !path.isEmpty() && isRecordedFile(path);
    if (replacesOwnFile && !mayReplaceChangedFile()) {
        if (completion)
            completion(this, false);
        return;
    }

    QString error;
    bool saved = false;
    if (path.isEmpty())
        error = tr("Only local files can be written.");
    else
        saved = writeToFile(path, type, &error);

    if (saved && operation != SaveToOperation) {
        setFileType(type);
        setFileURL(url);
        updateChangeCount(ChangeCleared);
    }
    if (saved && (operation != SaveToOperation || replacesOwnFile))
        recordFileState(path);
    if (!saved)
        presentSaveError(error);
    if (completion)
        completion(this, saved);
}

void Document::presentSaveError(const QString &error)
{
    qCWarning(lcPlatform, "Saving \"%s\" failed: %s", qPrintable(displayName()),
              qPrintable(error));
    presentError(tr("The document “%1” could not be saved.").arg(displayName()), error);
}

void Document::presentError(const QString &message, const QString &error)
{
    const qsizetype lineBreak = error.indexOf(u'\n');
    if (lineBreak < 0) {
        Alert::alertWithMessageText(message, QString(), QString(), QString(), error).runModal();
        return;
    }
    Alert::alertWithMessageText(error.left(lineBreak), QString(), QString(), QString(),
                                error.mid(lineBreak + 1))
            .runModal();
}

void Document::runModalSavePanelForSaveOperation(SaveOperationType operation,
                                                 SaveCompletion completion)
{
    QString type = m_fileType;
    if (type.isEmpty() && m_documentController)
        type = m_documentController->defaultType();

    FilePanel panel = FilePanel::savePanel();
    if (!type.isEmpty())
        panel.setAllowedFileTypes({ type });
    auto proposeFromLocation = [this, &panel] {
        if (m_fileURL.isEmpty()) {
            panel.setNameFieldStringValue(displayName());
        } else {
            const QFileInfo location(fileName());
            panel.setDirectory(location.absolutePath());
            panel.setNameFieldStringValue(location.fileName());
        }
    };
    proposeFromLocation();
    const QUrl before = m_fileURL;
    if (!prepareSavePanel(panel)) {
        if (completion)
            completion(this, false);
        return;
    }
    // A subclass may propose a location while preparing; the panel shows it.
    if (m_fileURL != before && !m_fileURL.isEmpty())
        proposeFromLocation();

    m_lastSavePanelType = type;
    if (panel.runModal() != FilePanel::OKButton) {
        if (completion)
            completion(this, false);
        return;
    }
    saveToURL(QUrl::fromLocalFile(panel.filename()), fileTypeFromLastRunSavePanel(), operation,
              std::move(completion));
}

bool Document::prepareSavePanel(FilePanel &)
{
    return true;
}

QString Document::fileTypeFromLastRunSavePanel() const
{
    return m_lastSavePanelType.isEmpty() ? m_fileType : m_lastSavePanelType;
}

void Document::canCloseDocument(CloseCompletion completion)
{
    if (!isDocumentEdited()) {
        if (completion)
            completion(this, true);
        return;
    }
    const Alert alert = Alert::alertWithMessageText(
            tr("Do you want to save the changes you made in the document “%1”?")
                    .arg(displayName()),
            tr("Save"), tr("Cancel"), tr("Don't Save"),
            tr("Your changes will be lost if you don't save them."));
    QPointer<Document> guard(this);
    alert.beginSheetModalForWindow(m_window, [guard, completion](int returnCode) {
        if (!guard || !completion)
            return;
        if (returnCode == Alert::AlternateReturn) {
            completion(guard, false);
            return;
        }
        if (returnCode == Alert::OtherReturn) {
            completion(guard, true);
            return;
        }
        // Some save paths finish without calling back (a subclass may run its
        // own panel completion); answer once, from the outcome, in any case.
        auto answered = std::make_shared<bool>(false);
        guard->saveDocumentWithCompletion([answered, completion](Document *document, bool saved) {
            if (*answered)
                return;
            *answered = true;
            completion(document, saved);
        });
        if (!*answered && guard) {
            *answered = true;
            completion(guard, !guard->isDocumentEdited());
        }
    });
}

void Document::close()
{
    if (m_closed)
        return;
    m_closed = true;
    if (m_fileWatcher)
        m_fileWatcher->watch(QString());
    emit aboutToClose(this);
    const bool windowWasOnScreen = m_window && m_window->isVisible();
    if (DocumentController *controller = m_documentController.data()) {
        controller->removeDocument(this);
        if (windowWasOnScreen)
            controller->documentWindowDidClose();
    }
    if (m_window) {
        m_window->removeEventFilter(m_windowWatcher);
        m_window->hide();
        m_window->deleteLater();
    }
    deleteLater();
}

void Document::performClose()
{
    canCloseDocument([](Document *document, bool shouldClose) {
        if (shouldClose)
            document->close();
    });
}

void Document::printDocument()
{
    printDocumentWithSettings({}, true, {});
}

void Document::printDocumentWithSettings(const QVariantMap &, bool showPrintPanel,
                                         PrintCompletion completion)
{
    printShowingPrintPanel(showPrintPanel);
    if (completion)
        completion(this, true);
}

void Document::printShowingPrintPanel(bool)
{
    qCDebug(lcPlatform, "%s has nothing to print", metaObject()->className());
}

DocumentController *Document::documentController() const
{
    return m_documentController.data();
}

QPrinter &Document::printInfo()
{
    if (!m_printInfo)
        m_printInfo = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_printInfo;
}
