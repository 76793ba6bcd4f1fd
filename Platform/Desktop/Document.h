#pragma once

#include "FileState.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <functional>
#include <memory>

class DocumentController;
class FilePanel;
class FileWatcher;
class QPrinter;
#include <QWidget>

// One document: its file location and type, its change count, reading and
// writing its bytes, saving (with a save panel when it needs a location),
// closing with the question about unsaved changes, and printing. Subclasses
// supply the bytes (dataRepresentationOfType / loadDataRepresentation) and
// the window (createWindow, then windowControllerDidLoadNib).
//
// Completions are always called on the main thread; a save or a close that
// runs a panel or an alert completes before the call returns, except for an
// alert shown as a sheet on the document's window.
//
// The file is shared with other programs (a database folder on a file
// server): the document remembers the state of its file when it reads or
// writes it, asks before a save replaces a file that changed since, and
// watches the file while it has one. An unchanged document takes a change
// quietly; one with edits says so (fileChangedOnDisk) and asks at the next
// save.
//
// A closed document deletes itself later (deleteLater); hold it by QPointer.
class Document : public QObject
{
    Q_OBJECT

public:
    enum ChangeType { ChangeDone, ChangeUndone, ChangeCleared };
    enum SaveOperationType { SaveOperation, SaveAsOperation, SaveToOperation };

    using SaveCompletion = std::function<void(Document *document, bool didSave)>;
    using CloseCompletion = std::function<void(Document *document, bool shouldClose)>;
    using PrintCompletion = std::function<void(Document *document, bool didPrint)>;

    explicit Document(QObject *parent = nullptr);
    ~Document() override;

    // File location; empty for an untitled document.
    QUrl fileURL() const { return m_fileURL; }
    virtual void setFileURL(const QUrl &url);
    QString fileName() const { return m_fileURL.toLocalFile(); }
    void setFileName(const QString &path);
    QString fileType() const { return m_fileType; }
    void setFileType(const QString &type) { m_fileType = type; }
    // The file's name, or "Untitled" (numbered from the second one on).
    QString displayName() const;

    // Reading a document from a file: the location, type and a clean change
    // count are set only when the read succeeds.
    virtual bool initWithContentsOfURL(const QUrl &url, const QString &type, QString *error);

    // Change count; the window title shows the edited state.
    void updateChangeCount(ChangeType change);
    bool isDocumentEdited() const { return m_changeCount != 0; }

    // The bytes of the document. A null array means they could not be made.
    virtual QByteArray dataRepresentationOfType(const QString &type);
    virtual bool loadDataRepresentation(const QByteArray &data, const QString &type);
    // On failure, `error` is the reason; or a sentence for the reader, a line
    // break and the technical reason, which the alert shows as its message
    // and informative text.
    virtual bool readFromFile(const QString &path, const QString &type, QString *error);
    // Atomic: a failed write leaves an existing file as it was.
    virtual bool writeToFile(const QString &path, const QString &type, QString *error);

    // Reads the file again in place of the contents, edits included; on
    // success the change count is clean and the file's state is taken anew.
    // A failed read leaves the contents as they were. Subclasses refine it
    // to show what was read.
    virtual bool revertToContentsOfURL(const QUrl &url, const QString &type, QString *error);

    // Another program changed the file and the document could not take the
    // change quietly: it has edits, or the file is gone or unreadable.
    bool isFileChangedOnDisk() const { return m_fileChangedOnDisk; }
    // Looks at the file now (the watcher calls it): an unchanged document
    // reloads a changed file; otherwise isFileChangedOnDisk is set.
    void checkFileOnDisk();

    // The name of the window's interface file.
    virtual QString windowNibName() const;
    QWidget *window() const { return m_window.data(); }
    // Builds the window once (createWindow, then windowControllerDidLoadNib).
    void makeWindowControllers();
    // Shows the window (building it first) and brings it to the front.
    void showWindows();

    // Saving.
    void saveDocument();
    void saveDocumentWithCompletion(SaveCompletion completion);
    void saveDocumentAs();
    void saveDocumentTo();
    virtual void saveToURL(const QUrl &url, const QString &type, SaveOperationType operation,
                           SaveCompletion completion);
    // Asks for a location with the save panel, then saves there.
    virtual void runModalSavePanelForSaveOperation(SaveOperationType operation,
                                                   SaveCompletion completion);
    // Called before the save panel is shown; false cancels the save.
    virtual bool prepareSavePanel(FilePanel &panel);
    // The type to save under after the save panel.
    virtual QString fileTypeFromLastRunSavePanel() const;

    // Closing.
    virtual void canCloseDocument(CloseCompletion completion);
    virtual void close();
    // The Close command: asks about unsaved changes, then closes.
    void performClose();
    bool isClosed() const { return m_closed; }

    // Printing: the Print command reaches printDocumentWithSettings, whose
    // base calls printShowingPrintPanel, which prints nothing here.
    void printDocument();
    virtual void printDocumentWithSettings(const QVariantMap &settings, bool showPrintPanel,
                                           PrintCompletion completion);
    virtual void printShowingPrintPanel(bool showPanels);
    QPrinter &printInfo();

    DocumentController *documentController() const;

signals:
    void fileURLChanged(const QUrl &url);
    void documentEditedChanged(bool edited);
    void fileChangedOnDisk(bool changed);
    void aboutToClose(Document *document);

protected:
    // Builds the window of windowNibName(); null for a document without one.
    virtual QWidget *createWindow();
    // The window has been built; set it up.
    virtual void windowControllerDidLoadNib();

private:
    friend class DocumentController;
    // Watches the window for its close box and its activation, apart from
    // the document's own event filtering, which subclasses are free to use.
    class WindowWatcher;
    bool handleWindowEvent(QEvent *event);

    void updateWindowTitle();
    bool readFromURL(const QUrl &url, const QString &type, QString *error);
    void presentSaveError(const QString &error);
    // An error of two lines is a sentence for the reader and its reason.
    static void presentError(const QString &message, const QString &error);

    // Whether the file on disk differs from what this document last read
    // or wrote (changed, moved or deleted by another program).
    bool isFileChangedSinceRecorded() const;
    // Whether path is the file whose state this document recorded, at its
    // own location.
    bool isRecordedFile(const QString &path) const;
    // Takes the state of the file just read or written at path, and watches it.
    void recordFileState(const QString &path);
    void setFileChangedOnDisk(bool changed);
    // Before a save replaces the recorded file: false when the save must
    // not go ahead (the user reverted or cancelled).
    bool mayReplaceChangedFile();

    QUrl m_fileURL;
    QString m_fileType;
    int m_changeCount = 0;
    bool m_closed = false;
    int m_untitledNumber = 0;
    QPointer<QWidget> m_window;
    QObject *m_windowWatcher = nullptr;
    std::unique_ptr<QPrinter> m_printInfo;
    QString m_lastSavePanelType;
    QPointer<DocumentController> m_documentController;

    FileState m_fileState;
    // The bytes last read or written by readFromFile / writeToFile, until
    // the caller records them as the file's state.
    FileState m_lastTransfer;
    // A change that could not be read, so that it is not read again and again.
    FileState m_unreadableChange;
    bool m_fileChangedOnDisk = false;
    bool m_saving = false;
    FileWatcher *m_fileWatcher = nullptr;
};
