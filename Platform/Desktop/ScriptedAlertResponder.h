#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <deque>

// Answers every alert while it exists, in the order of the queued answers,
// and records each alert's texts. When the queue runs dry it answers with
// the default button (1). Only one may exist at a time.
class ScriptedAlertResponder
{
public:
    struct Record
    {
        QString messageText;
        QString informativeText;
        QStringList buttonTitles;
        bool sheet = false;
        int answer = 0;
    };

    ScriptedAlertResponder();
    ~ScriptedAlertResponder();
    ScriptedAlertResponder(const ScriptedAlertResponder &) = delete;
    ScriptedAlertResponder &operator=(const ScriptedAlertResponder &) = delete;

    // Queues the next answer: 1 default, 0 alternate, -1 other.
    void answer(int returnCode);
    // Queues the answer of the button with this title; an alert without such
    // a button is answered with the default button and noted as unmatched.
    void answerWithButton(const QString &title);

    const QList<Record> &alerts() const { return m_alerts; }
    QStringList messageTexts() const;
    int pendingAnswers() const { return int(m_answers.size()); }
    // Alerts whose queued button title was not among their buttons.
    int unmatchedAnswers() const { return m_unmatched; }
    void clear();

private:
    struct Answer
    {
        int returnCode;
        QString buttonTitle;
    };

    std::deque<Answer> m_answers;
    QList<Record> m_alerts;
    int m_unmatched = 0;
};
