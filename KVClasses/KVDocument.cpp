#include "KVDocument.h"

#include "DocumentController.h"
#include "Logging.h"
#include "View.h"
#include "ui_KVDocument.h"

#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

KVDocument::KVDocument(QObject *parent)
    : Document(parent)
{
}

KVDocument::~KVDocument() = default;

QString KVDocument::windowNibName() const
{
    return QStringLiteral("KVDocument");
}

QWidget *KVDocument::createWindow()
{
    return windowFromForm<Ui::KVDocument>();
}

bool KVDocument::initWithContentsOfURL(const QUrl &url, const QString &type, QString *error)
{
    // An empty untitled window gives way to the document being opened.
    if (Document *current = DocumentController::sharedDocumentController()->currentDocument()) {
        auto *blank = qobject_cast<KVDocument *>(current);
        if (blank && blank != this && !blank->isDocumentEdited() && blank->isBlank())
            blank->close();
    }
    if (!Document::initWithContentsOfURL(url, type, error))
        return false;
    m_docIsBlank = false;
    return true;
}

void KVDocument::printShowingPrintPanel(bool showPanels)
{
    QWidget *view = m_printableView.data();
    if (!view) {
        qCWarning(lcDocument, "%s: nothing to print", qPrintable(displayName()));
        return;
    }
    QPrinter &printer = printInfo();
    // The print job carries the title of the window that holds the view.
    printer.setDocName(view->window()->windowTitle().remove(QStringLiteral("[*]")));
    if (showPanels) {
        QPrintDialog dialog(&printer, window());
        dialog.setWindowModality(Qt::WindowModal);
        if (dialog.exec() != QDialog::Accepted)
            return;
    }
    QPainter painter;
    if (!painter.begin(&printer)) {
        qCWarning(lcDocument, "%s: the printer could not be started", qPrintable(displayName()));
        return;
    }
    // The view is scaled to one page, keeping its proportions.
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    const QSizeF size = view->size();
    if (size.isEmpty())
        return;
    const double scale = std::min(page.width() / size.width(), page.height() / size.height());
    const QRectF target(0, 0, size.width() * scale, size.height() * scale);
    if (auto *drawing = qobject_cast<View *>(view)) {
        drawing->renderInto(painter, target);
    } else {
        painter.scale(scale, scale);
        view->render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    }
    painter.end();
}
