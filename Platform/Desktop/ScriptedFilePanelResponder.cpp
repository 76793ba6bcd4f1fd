#include "ScriptedFilePanelResponder.h"

ScriptedFilePanelResponder::ScriptedFilePanelResponder()
{
    FilePanel::setResponder([this](const FilePanel &panel) {
        m_panels.append(panel);
        if (m_choices.empty())
            return QStringList();
        const QStringList next = m_choices.front();
        m_choices.pop_front();
        return next;
    });
}

ScriptedFilePanelResponder::~ScriptedFilePanelResponder()
{
    FilePanel::setResponder({});
}

void ScriptedFilePanelResponder::choose(const QString &path)
{
    m_choices.push_back({ path });
}

void ScriptedFilePanelResponder::chooseAll(const QStringList &paths)
{
    m_choices.push_back(paths);
}

void ScriptedFilePanelResponder::cancel()
{
    m_choices.push_back({});
}
