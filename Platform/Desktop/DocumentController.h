#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>

#include <functional>

class Document;
class FilePanel;

// The application's documents: making new and opened documents, the list of
// open documents in front-to-back window order, the current document, and
// closing them all. The first controller made becomes the shared one (the
// application makes its own subclass early); without one, a plain
// controller is made on first use.
class DocumentController : public QObject
{
    Q_OBJECT

public:
    using DocumentFactory = std::function<Document *(const QString &type)>;
    using CloseAllCompletion = std::function<void(bool didCloseAll)>;

    explicit DocumentController(QObject *parent = nullptr);
    ~DocumentController() override;

    static DocumentController *sharedDocumentController();

    // Makes an empty document of a type; the application installs it.
    void setDocumentFactory(DocumentFactory factory) { m_factory = std::move(factory); }
    QString defaultType() const { return m_defaultType; }
    void setDefaultType(const QString &type) { m_defaultType = type; }
    // A file's type is its extension; without one, the default type.
    QString typeForContentsOfURL(const QUrl &url) const;

    virtual Document *makeDocumentForType(const QString &type);
    virtual Document *makeUntitledDocumentOfType(const QString &type, QString *error);
    virtual Document *makeDocumentWithContentsOfURL(const QUrl &url, const QString &type,
                                                    QString *error);

    // A document already open for the file is brought forward (when
    // displayed) and returned instead of being read again.
    virtual Document *openDocumentWithContentsOfURL(const QUrl &url, bool display, QString *error);
    Document *openDocumentWithContentsOfFile(const QString &path, bool display,
                                             QString *error = nullptr);
    Document *openUntitledDocumentAndDisplay(bool display, QString *error = nullptr);

    void addDocument(Document *document);
    void removeDocument(Document *document);

    // Front to back: the document whose window was activated or shown last
    // first; documents without a window come last, in the order added.
    QList<Document *> documents() const;
    // The front document with a visible window, or none.
    Document *currentDocument() const;
    Document *documentForURL(const QUrl &url) const;
    Document *documentForFileName(const QString &path) const;
    bool hasEditedDocuments() const;

    // Asks each document in turn (front to back) whether it may close and
    // closes it; stops at the first that may not.
    void closeAllDocuments(CloseAllCompletion completion);

    // Whether closing the last document window on screen ends the
    // application: on a desktop without a global menu bar nothing would be
    // left to reach it by. Follows QGuiApplication::quitOnLastWindowClosed.
    // Documents opened without a window never end it.
    virtual bool applicationShouldTerminateAfterLastWindowClosed() const;

    // Commands of the File menu. Failures are shown as alerts.
    void newDocument();
    void openDocument();
    // Runs the open panel of the Open command; FilePanel::OKButton or
    // CancelButton.
    virtual int runModalOpenPanel(FilePanel &panel, const QStringList &types);

signals:
    void documentAdded(Document *document);
    void documentRemoved(Document *document);

protected:
    // The alert for a file that could not be opened (an empty path: a new
    // document that could not be made).
    void presentOpenError(const QString &path, const QString &error);

private:
    friend class Document;
    void noteDocumentBroughtToFront(Document *document);
    void documentWindowDidClose();
    void terminateIfNoDocumentWindowIsLeft();
    Document *makeDocumentOrFail(const QString &type, QString *error);
    Document *adopt(Document *document, bool display);

    QList<QPointer<Document>> m_documents;
    DocumentFactory m_factory;
    QString m_defaultType;
    int m_untitledCount = 0;
};
