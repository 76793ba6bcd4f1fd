#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// A question or a message with up to three buttons: the default button
// (answer 1), the alternate button (answer 0) and the other button (answer
// -1). It runs application-modal (runModal) or as a sheet on a document's
// window (beginSheetModalForWindow). Production shows a QMessageBox; a test
// installs a responder that answers instead and sees every alert's texts.
class Alert
{
public:
    static constexpr int DefaultReturn = 1;
    static constexpr int AlternateReturn = 0;
    static constexpr int OtherReturn = -1;

    using Completion = std::function<void(int returnCode)>;
    // Answers an alert instead of the user; gets the alert and whether it
    // was shown as a sheet.
    using Responder = std::function<int(const Alert &alert, bool sheet)>;

    Alert() = default;
    // An empty default button title means "OK"; empty alternate and other
    // titles mean no such button.
    static Alert alertWithMessageText(const QString &messageText, const QString &defaultButton,
                                      const QString &alternateButton, const QString &otherButton,
                                      const QString &informativeText);

    QString messageText() const { return m_messageText; }
    void setMessageText(const QString &text) { m_messageText = text; }
    QString informativeText() const { return m_informativeText; }
    void setInformativeText(const QString &text) { m_informativeText = text; }

    // The titles in the order default, alternate, other; at most three.
    QStringList buttonTitles() const { return m_buttonTitles; }
    // The buttons answer 1, 0 and -1 in the order they are added.
    void addButtonWithTitle(const QString &title);
    // What pressing the button at this position answers.
    int returnCodeOfButton(qsizetype index) const { return m_returnCodes.value(index, DefaultReturn); }

    // Blocks until answered; DefaultReturn, AlternateReturn or OtherReturn.
    int runModal() const;
    // Document-modal: returns at once and calls the completion when the
    // alert is answered. Without a window it runs application-modal (and
    // the completion has then been called on return).
    void beginSheetModalForWindow(QWidget *window, Completion completion) const;

    static void setResponder(Responder responder);
    static bool hasResponder();

private:
    void addButton(const QString &title, int returnCode);

    QString m_messageText;
    QString m_informativeText;
    QStringList m_buttonTitles;
    QList<int> m_returnCodes;
};
