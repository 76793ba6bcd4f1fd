#include "Alert.h"

#include "Logging.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>
#include <memory>

namespace {
Alert::Responder &currentResponder()
{
    static Alert::Responder responder;
    return responder;
}

// The button that Escape presses: the one titled Cancel, as users expect; an
// alert with a single button closes with it. Nothing else, so that Escape
// never picks a destructive choice such as "Don't Save".
QAbstractButton *escapeButton(const QList<QAbstractButton *> &buttons)
{
    const QString cancel = QCoreApplication::translate("KVVersion", "Cancel");
    for (QAbstractButton *button : buttons) {
        if (button->text() == cancel || button->text() == u"Cancel")
            return button;
    }
    return buttons.size() == 1 ? buttons.first() : nullptr;
}

// Builds the message box; the buttons are in answer order (default first).
QMessageBox *makeMessageBox(const Alert &alert, QWidget *parent,
                            QList<QAbstractButton *> *buttons)
{
    auto *box = new QMessageBox(parent);
    box->setIcon(QMessageBox::Warning);
    // File names, decoders' reasons and servers' answers are shown as
    // written: rich text would render markup and load what it names.
    box->setTextFormat(Qt::PlainText);
    box->setText(alert.messageText());
    box->setInformativeText(alert.informativeText());
    for (QLabel *label : box->findChildren<QLabel *>())
        label->setTextFormat(Qt::PlainText);
    const QStringList titles = alert.buttonTitles();
    for (int i = 0; i < titles.size(); ++i) {
        const QMessageBox::ButtonRole role = i == 0 ? QMessageBox::AcceptRole
                : i == 1                            ? QMessageBox::RejectRole
                                                    : QMessageBox::DestructiveRole;
        buttons->append(box->addButton(titles.at(i), role));
    }
    box->setDefaultButton(qobject_cast<QPushButton *>(buttons->first()));
    box->setEscapeButton(escapeButton(*buttons));
    return box;
}

int answerOf(QMessageBox *box, const QList<QAbstractButton *> &buttons)
{
    const int index = int(buttons.indexOf(box->clickedButton()));
    // Closed without a button (window manager): treat like the Cancel path
    // when there is one, otherwise like the default button.
    if (index < 0) {
        QAbstractButton *escape = escapeButton(buttons);
        return escape ? int(buttons.indexOf(escape)) : 0;
    }
    return index;
}
} // namespace

Alert Alert::alertWithMessageText(const QString &messageText, const QString &defaultButton,
                                  const QString &alternateButton, const QString &otherButton,
                                  const QString &informativeText)
{
    Alert alert;
    alert.setMessageText(messageText);
    alert.setInformativeText(informativeText);
    alert.addButton(defaultButton.isEmpty()
                                     ? QCoreApplication::translate("KVVersion", "OK")
                                     : defaultButton,
                    DefaultReturn);
    if (!alternateButton.isEmpty())
        alert.addButton(alternateButton, AlternateReturn);
    // The other button answers -1 even when there is no alternate one.
    if (!otherButton.isEmpty())
        alert.addButton(otherButton, OtherReturn);
    return alert;
}

void Alert::addButtonWithTitle(const QString &title)
{
    static constexpr int codes[] = { DefaultReturn, AlternateReturn, OtherReturn };
    addButton(title, codes[std::min<qsizetype>(m_buttonTitles.size(), 2)]);
}

void Alert::addButton(const QString &title, int returnCode)
{
    if (m_buttonTitles.size() >= 3) {
        qCWarning(lcPlatform, "Alert \"%s\": more than three buttons", qPrintable(m_messageText));
        return;
    }
    m_buttonTitles.append(title);
    m_returnCodes.append(returnCode);
}

int Alert::runModal() const
{
    if (m_buttonTitles.isEmpty()) {
        Alert withOk = *this;
        withOk.addButtonWithTitle(QCoreApplication::translate("KVVersion", "OK"));
        return withOk.runModal();
    }
    if (currentResponder())
        return currentResponder()(*this, false);

    QList<QAbstractButton *> buttons;
    QMessageBox *box = makeMessageBox(*this, nullptr, &buttons);
    box->setWindowModality(Qt::ApplicationModal);
    box->exec();
    const int index = answerOf(box, buttons);
    delete box;
    return returnCodeOfButton(index);
}

void Alert::beginSheetModalForWindow(QWidget *window, Completion completion) const
{
    if (m_buttonTitles.isEmpty()) {
        Alert withOk = *this;
        withOk.addButtonWithTitle(QCoreApplication::translate("KVVersion", "OK"));
        withOk.beginSheetModalForWindow(window, std::move(completion));
        return;
    }
    if (currentResponder()) {
        const int answer = currentResponder()(*this, window != nullptr);
        if (completion)
            completion(answer);
        return;
    }
    if (!window) {
        const int answer = runModal();
        if (completion)
            completion(answer);
        return;
    }

    auto buttons = std::make_shared<QList<QAbstractButton *>>();
    QMessageBox *box = makeMessageBox(*this, window, buttons.get());
    box->setWindowModality(Qt::WindowModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QMessageBox::finished, box,
                     [box, buttons, codes = m_returnCodes, completion = std::move(completion)](int) {
                         const int answer = codes.value(answerOf(box, *buttons), DefaultReturn);
                         if (completion)
                             completion(answer);
                     });
    box->open();
}

void Alert::setResponder(Responder responder)
{
    currentResponder() = std::move(responder);
}

bool Alert::hasResponder()
{
    return bool(currentResponder());
}
