#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// The open and save panels. runModal answers OKButton once the user has
// chosen, CancelButton otherwise; the choice is then in filename() (and
// filenames() for an open panel). Production shows a QFileDialog; a test
// installs a responder that chooses instead and sees every panel's set-up.
class FilePanel
{
public:
    enum Kind { OpenPanel, SavePanel };
    static constexpr int OKButton = 1;
    static constexpr int CancelButton = 0;

    using Completion = std::function<void(int result)>;
    // Chooses instead of the user: the chosen paths, or an empty list for
    // Cancel.
    using Responder = std::function<QStringList(const FilePanel &panel)>;

    static FilePanel openPanel();
    static FilePanel savePanel();

    Kind kind() const { return m_kind; }

    QString directory() const { return m_directory; }
    void setDirectory(const QString &directory) { m_directory = directory; }
    // The proposed name of a save panel.
    QString nameFieldStringValue() const { return m_nameFieldStringValue; }
    void setNameFieldStringValue(const QString &name) { m_nameFieldStringValue = name; }
    QString prompt() const { return m_prompt; }
    void setPrompt(const QString &prompt) { m_prompt = prompt; }
    QString title() const { return m_title; }
    void setTitle(const QString &title) { m_title = title; }
    QString message() const { return m_message; }
    void setMessage(const QString &message) { m_message = message; }

    // Extensions without the dot; empty means any file. A save panel adds
    // the first one to a chosen name that has none of them.
    QStringList allowedFileTypes() const { return m_allowedFileTypes; }
    void setAllowedFileTypes(const QStringList &types) { m_allowedFileTypes = types; }

    bool canChooseFiles() const { return m_canChooseFiles; }
    void setCanChooseFiles(bool can) { m_canChooseFiles = can; }
    bool canChooseDirectories() const { return m_canChooseDirectories; }
    void setCanChooseDirectories(bool can) { m_canChooseDirectories = can; }
    bool canCreateDirectories() const { return m_canCreateDirectories; }
    void setCanCreateDirectories(bool can) { m_canCreateDirectories = can; }
    bool allowsMultipleSelection() const { return m_allowsMultipleSelection; }
    void setAllowsMultipleSelection(bool allows) { m_allowsMultipleSelection = allows; }

    int runModal();
    // Sheet on a window; the scripted responder and the fallback without a
    // window answer before this returns.
    void beginSheetModalForWindow(QWidget *window, Completion completion);

    QString filename() const { return m_filenames.value(0); }
    QStringList filenames() const { return m_filenames; }

    static void setResponder(Responder responder);

private:
    explicit FilePanel(Kind kind);
    QStringList chooseWithDialog(QWidget *parent);
    int finish(const QStringList &chosen);

    Kind m_kind;
    QString m_directory;
    QString m_nameFieldStringValue;
    QString m_prompt;
    QString m_title;
    QString m_message;
    QStringList m_allowedFileTypes;
    bool m_canChooseFiles = true;
    bool m_canChooseDirectories = false;
    bool m_canCreateDirectories = true;
    bool m_allowsMultipleSelection = false;
    QStringList m_filenames;
};
