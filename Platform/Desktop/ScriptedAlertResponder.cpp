#include "ScriptedAlertResponder.h"

#include "Alert.h"

ScriptedAlertResponder::ScriptedAlertResponder()
{
    Alert::setResponder([this](const Alert &alert, bool sheet) {
        int code = Alert::DefaultReturn;
        if (!m_answers.empty()) {
            const Answer next = m_answers.front();
            m_answers.pop_front();
            code = next.returnCode;
            if (!next.buttonTitle.isNull()) {
                const qsizetype index = alert.buttonTitles().indexOf(next.buttonTitle);
                if (index < 0) {
                    ++m_unmatched;
                    code = Alert::DefaultReturn;
                } else {
                    code = alert.returnCodeOfButton(index);
                }
            }
        }
        m_alerts.append({ alert.messageText(), alert.informativeText(), alert.buttonTitles(),
                          sheet, code });
        return code;
    });
}

ScriptedAlertResponder::~ScriptedAlertResponder()
{
    Alert::setResponder({});
}

void ScriptedAlertResponder::answer(int returnCode)
{
    m_answers.push_back({ returnCode, QString() });
}

void ScriptedAlertResponder::answerWithButton(const QString &title)
{
    m_answers.push_back({ Alert::DefaultReturn, title.isNull() ? QStringLiteral("") : title });
}

QStringList ScriptedAlertResponder::messageTexts() const
{
    QStringList texts;
    for (const Record &record : m_alerts)
        texts.append(record.messageText);
    return texts;
}

void ScriptedAlertResponder::clear()
{
    m_answers.clear();
    m_alerts.clear();
    m_unmatched = 0;
}
