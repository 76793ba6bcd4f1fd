#include "DocumentController.h"

#include "Alert.h"
#include "Document.h"
#include "FilePanel.h"
#include "Logging.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QWidget>

#include <algorithm>
#include <memory>

namespace {
QPointer<DocumentController> &sharedController()
{
    static QPointer<DocumentController> controller;
    return controller;
}


QUrl normalized(const QUrl &url)
{
    if (!url.isLocalFile())
        return url;
    const QFileInfo info(url.toLocalFile());
    const QString canonical = info.canonicalFilePath();
    return QUrl::fromLocalFile(canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath())
                                                   : canonical);
}
} // namespace

DocumentController::DocumentController(QObject *parent)
    : QObject(parent)
{
    if (!sharedController())
        sharedController() = this;
}

DocumentController::~DocumentController()
{
    const QList<QPointer<Document>> documents = m_documents;
    for (const QPointer<Document> &document : documents) {
        if (document)
            document->m_documentController = nullptr;
    }
    m_documents.clear();
}

DocumentController *DocumentController::sharedDocumentController()
{
    if (!sharedController())
        new DocumentController(QCoreApplication::instance());
    return sharedController();
}

QString DocumentController::typeForContentsOfURL(const QUrl &url) const
{
    const QString suffix = QFileInfo(url.toLocalFile()).suffix();
    return suffix.isEmpty() ? m_defaultType : suffix;
}

Document *DocumentController::makeDocumentForType(const QString &type)
{
    return m_factory ? m_factory(type) : nullptr;
}

Document *DocumentController::makeDocumentOrFail(const QString &type, QString *error)
{
    Document *document = makeDocumentForType(type);
    if (!document && error)
        *error = tr("No document can be made for the type “%1”.").arg(type);
    return document;
}

Document *DocumentController::makeUntitledDocumentOfType(const QString &type, QString *error)
{
    Document *document = makeDocumentOrFail(type, error);
    if (document)
        document->setFileType(type);
    return document;
}

Document *DocumentController::makeDocumentWithContentsOfURL(const QUrl &url, const QString &type,
                                                            QString *error)
{
    Document *document = makeDocumentOrFail(type, error);
    if (!document)
        return nullptr;
    if (!document->initWithContentsOfURL(url, type, error)) {
        delete document;
        return nullptr;
    }
    return document;
}

Document *DocumentController::openDocumentWithContentsOfURL(const QUrl &url, bool display,
                                                            QString *error)
{
    if (Document *open = documentForURL(url)) {
        if (display)
            open->showWindows();
        return open;
    }
    return adopt(makeDocumentWithContentsOfURL(url, typeForContentsOfURL(url), error), display);
}

Document *DocumentController::openDocumentWithContentsOfFile(const QString &path, bool display,
                                                             QString *error)
{
    return openDocumentWithContentsOfURL(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()),
                                         display, error);
}

Document *DocumentController::openUntitledDocumentAndDisplay(bool display, QString *error)
{
    return adopt(makeUntitledDocumentOfType(m_defaultType, error), display);
}

Document *DocumentController::adopt(Document *document, bool display)
{
    if (!document)
        return nullptr;
    addDocument(document);
    if (display)
        document->showWindows();
    return document;
}

void DocumentController::addDocument(Document *document)
{
    if (!document || m_documents.contains(document))
        return;
    if (document->fileURL().isEmpty() && document->m_untitledNumber == 0)
        document->m_untitledNumber = ++m_untitledCount;
    document->m_documentController = this;
    if (!document->parent())
        document->setParent(this);
    m_documents.append(document);
    emit documentAdded(document);
}

void DocumentController::removeDocument(Document *document)
{
    const qsizetype removed = m_documents.removeAll(document);
    if (document && document->m_documentController == this)
        document->m_documentController = nullptr;
    if (removed > 0)
        emit documentRemoved(document);
}

void DocumentController::noteDocumentBroughtToFront(Document *document)
{
    const qsizetype index = m_documents.indexOf(document);
    if (index > 0)
        m_documents.move(index, 0);
}

void DocumentController::documentWindowDidClose()
{
    // Decided once the current event is handled: a window that takes the
    // closed one's place at once (a look-up opening the patient's file)
    // keeps the application running.
    QMetaObject::invokeMethod(this, &DocumentController::terminateIfNoDocumentWindowIsLeft,
                              Qt::QueuedConnection);
}

void DocumentController::terminateIfNoDocumentWindowIsLeft()
{
    if (!currentDocument() && applicationShouldTerminateAfterLastWindowClosed())
        QCoreApplication::quit();
}

bool DocumentController::applicationShouldTerminateAfterLastWindowClosed() const
{
    return QGuiApplication::quitOnLastWindowClosed();
}

QList<Document *> DocumentController::documents() const
{
    QList<Document *> withWindows;
    QList<Document *> without;
    for (const QPointer<Document> &document : m_documents) {
        if (!document || document->isClosed())
            continue;
        (document->window() ? withWindows : without).append(document);
    }
    return withWindows + without;
}

Document *DocumentController::currentDocument() const
{
    for (Document *document : documents()) {
        if (document->window() && document->window()->isVisible())
            return document;
    }
    return nullptr;
}

Document *DocumentController::documentForURL(const QUrl &url) const
{
    if (url.isEmpty())
        return nullptr;
    const QUrl wanted = normalized(url);
    for (Document *document : documents()) {
        if (!document->fileURL().isEmpty() && normalized(document->fileURL()) == wanted)
            return document;
    }
    return nullptr;
}

Document *DocumentController::documentForFileName(const QString &path) const
{
    return path.isEmpty() ? nullptr : documentForURL(QUrl::fromLocalFile(path));
}

bool DocumentController::hasEditedDocuments() const
{
    const QList<Document *> all = documents();
    return std::any_of(all.begin(), all.end(),
                       [](const Document *document) { return document->isDocumentEdited(); });
}

void DocumentController::closeAllDocuments(CloseAllCompletion completion)
{
    auto pending = std::make_shared<QList<QPointer<Document>>>();
    for (Document *document : documents())
        pending->append(document);

    // Each document answers through its completion, perhaps later (a sheet);
    // the next one is asked only after the previous has closed.
    auto next = std::make_shared<std::function<void()>>();
    *next = [pending, next, completion]() {
        while (!pending->isEmpty() && (!pending->first() || pending->first()->isClosed()))
            pending->removeFirst();
        if (pending->isEmpty()) {
            *next = nullptr; // breaks the self-reference
            if (completion)
                completion(true);
            return;
        }
        Document *document = pending->takeFirst();
        auto answered = std::make_shared<bool>(false);
        document->canCloseDocument([next, answered, completion](Document *doc, bool shouldClose) {
            if (*answered)
                return;
            *answered = true;
            if (!shouldClose) {
                std::function<void()> keep = *next;
                *next = nullptr;
                if (completion)
                    completion(false);
                return;
            }
            if (doc)
                doc->close();
            std::function<void()> step = *next;
            if (step)
                step();
        });
    };
    std::function<void()> start = *next;
    start();
}

void DocumentController::newDocument()
{
    QString error;
    if (!openUntitledDocumentAndDisplay(true, &error))
        presentOpenError(QString(), error);
}

int DocumentController::runModalOpenPanel(FilePanel &panel, const QStringList &types)
{
    panel.setAllowedFileTypes(types);
    return panel.runModal();
}

void DocumentController::openDocument()
{
    FilePanel panel = FilePanel::openPanel();
    panel.setAllowsMultipleSelection(true);
    const QStringList types = m_defaultType.isEmpty() ? QStringList() : QStringList { m_defaultType };
    if (runModalOpenPanel(panel, types) != FilePanel::OKButton)
        return;
    for (const QString &path : panel.filenames()) {
        QString error;
        if (!openDocumentWithContentsOfFile(path, true, &error))
            presentOpenError(path, error);
    }
}

void DocumentController::presentOpenError(const QString &path, const QString &error)
{
    // An error of two lines is a sentence for the reader and its technical
    // reason; one line is the reason alone.
    const qsizetype lineBreak = error.indexOf(u'\n');
    QString message = lineBreak >= 0 ? error.left(lineBreak) : QString();
    const QString reason = lineBreak >= 0 ? error.mid(lineBreak + 1) : error;
    if (message.isEmpty())
        message = path.isEmpty() ? tr("A new document could not be made.")
                                 : tr("The document “%1” could not be opened.").arg(QFileInfo(path).fileName());
    qCWarning(lcDocument, "%s: %s", qUtf8Printable(path.isEmpty() ? message : path), qUtf8Printable(reason));
    Alert::alertWithMessageText(message, QString(), QString(), QString(), reason).runModal();
}
