#include "KVDocument.h"

#include "Alert.h"
#include "DocumentController.h"
#include "Logging.h"
#include "View.h"
#include "ui_KVDocument.h"

#include <QFont>
#include <QFontMetricsF>
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
        // The panel offers a PDF file too, so it prints even without a printer.
        QPrintDialog dialog(&printer, window());
        dialog.setOption(QAbstractPrintDialog::PrintToFile);
        dialog.setWindowModality(Qt::WindowModal);
        if (dialog.exec() != QDialog::Accepted)
            return;
    } else if (printer.printerName().isEmpty() && printer.outputFileName().isEmpty()) {
        // No printer on this computer, and no file chosen in an earlier panel.
        reportPrintFailure(tr("No Printer"),
                           tr("“%1” was not printed, because no printer is set up. "
                              "Print… in the File menu can print it to a PDF file.")
                                   .arg(printer.docName()));
        return;
    }
    QPainter painter;
    if (!painter.begin(&printer)) {
        reportPrintFailure(tr("Printing Failed"),
                           tr("“%1” could not be printed to “%2”.")
                                   .arg(printer.docName(), printer.outputFileName().isEmpty()
                                                                   ? printer.printerName()
                                                                   : printer.outputFileName()));
        return;
    }
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    const QSizeF size = view->size();
    if (size.isEmpty())
        return;
    // The text takes the lines it needs at the foot of the page, a blank line
    // apart from the view; the view is scaled to the rest, keeping its proportions.
    const QString text = printedText();
    const QFont font(view->font(), painter.device());
    const QFontMetricsF metrics(font, painter.device());
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
    const QRectF column(0, 0, page.width(), page.height());
    const double textHeight =
            text.isEmpty() ? 0.0 : metrics.boundingRect(column, flags, text).height();
    const double gap = text.isEmpty() ? 0.0 : metrics.lineSpacing();
    const double room = std::max(page.height() - textHeight - gap, page.height() / 2);
    const double scale = std::min(page.width() / size.width(), room / size.height());
    const QRectF target(0, 0, size.width() * scale, size.height() * scale);
    painter.save();
    if (auto *drawing = qobject_cast<View *>(view)) {
        drawing->renderInto(painter, target);
    } else {
        painter.scale(scale, scale);
        view->render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    }
    painter.restore();
    painter.setFont(font);
    if (!text.isEmpty())
        painter.drawText(QRectF(0, target.bottom() + gap, page.width(),
                                page.height() - target.bottom() - gap),
                         flags, text);
    painter.end();
}

void KVDocument::reportPrintFailure(const QString &messageText, const QString &informativeText)
{
    qCWarning(lcDocument, "%s: %s", qPrintable(messageText), qPrintable(informativeText));
    Alert::alertWithMessageText(messageText, tr("OK"), QString(), QString(), informativeText)
            .runModal();
}
