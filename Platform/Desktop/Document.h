#pragma once

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
    void presentSaveError(const QString &error);

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
};
