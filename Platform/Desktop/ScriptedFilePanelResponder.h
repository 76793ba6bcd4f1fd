#pragma once

#include "FilePanel.h"

#include <QList>
#include <QStringList>

#include <deque>

// Answers every open and save panel while it exists, in the order of the
// queued choices, and records each panel as it was set up. When the queue
// runs dry it cancels. Only one may exist at a time.
class ScriptedFilePanelResponder
{
public:
    ScriptedFilePanelResponder();
    ~ScriptedFilePanelResponder();
    ScriptedFilePanelResponder(const ScriptedFilePanelResponder &) = delete;
    ScriptedFilePanelResponder &operator=(const ScriptedFilePanelResponder &) = delete;

    // A relative path is taken inside the panel's starting folder.
    void choose(const QString &path);
    void chooseAll(const QStringList &paths);
    void cancel();

    const QList<FilePanel> &panels() const { return m_panels; }
    int pendingChoices() const { return int(m_choices.size()); }

private:
    std::deque<QStringList> m_choices;
    QList<FilePanel> m_panels;
};
