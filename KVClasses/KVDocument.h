#pragma once

#include "KVClassesExport.h"

#include "Document.h"

#include <QPointer>
#include <QWidget>


// A document that knows whether it is still blank: new and never filled
// in. Opening a file replaces a blank, unchanged current document, and
// printing prints one designated view.
class KVCLASSES_EXPORT KVDocument : public Document
{
    Q_OBJECT

public:
    explicit KVDocument(QObject *parent = nullptr);
    ~KVDocument() override;

    QString windowNibName() const override;
    // Closes the current document first when it is blank and unchanged.
    bool initWithContentsOfURL(const QUrl &url, const QString &type, QString *error) override;
    // Prints printableView, scaled to fit the page, with the document's print
    // settings, and printedText under it, wrapped to the page width; the
    // print panel first when asked for. Without the panel and without a
    // printer, the user is told instead.
    void printShowingPrintPanel(bool showPanels) override;
    // The text printed under printableView; none here.
    virtual QString printedText() { return {}; }

    bool isBlank() const { return m_docIsBlank; }
    QWidget *printableView() const { return m_printableView.data(); }
    void setPrintableView(QWidget *view) { m_printableView = view; }

protected:
    QWidget *createWindow() override;
    // A window built from an interface file's generated form class.
    template<typename Form>
    static QWidget *windowFromForm()
    {
        auto *window = new QWidget;
        Form form;
        form.setupUi(window);
        return window;
    }

    // Subclasses clear it when the user first fills the document in.
    bool m_docIsBlank = true;
    QPointer<QWidget> m_printableView;

private:
    // A print that did not happen, told to the user and the log.
    static void reportPrintFailure(const QString &messageText, const QString &informativeText);
};
