#include "FilePanel.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace {
FilePanel::Responder &currentResponder()
{
    static FilePanel::Responder responder;
    return responder;
}
} // namespace

FilePanel::FilePanel(Kind kind)
    : m_kind(kind)
{
}

FilePanel FilePanel::openPanel()
{
    return FilePanel(OpenPanel);
}

FilePanel FilePanel::savePanel()
{
    return FilePanel(SavePanel);
}

QStringList FilePanel::chooseWithDialog(QWidget *parent)
{
    QFileDialog dialog(parent, m_title);
    dialog.setAcceptMode(m_kind == SavePanel ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (!m_directory.isEmpty())
        dialog.setDirectory(m_directory);
    if (m_kind == SavePanel) {
        dialog.setFileMode(QFileDialog::AnyFile);
        if (!m_nameFieldStringValue.isEmpty())
            dialog.selectFile(m_nameFieldStringValue);
    } else if (m_canChooseDirectories && !m_canChooseFiles) {
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
    } else {
        dialog.setFileMode(m_allowsMultipleSelection ? QFileDialog::ExistingFiles
                                                     : QFileDialog::ExistingFile);
    }
    if (!m_allowedFileTypes.isEmpty()) {
        QStringList patterns;
        for (const QString &type : m_allowedFileTypes)
            patterns.append(QStringLiteral("*.") + type);
        dialog.setNameFilter(patterns.join(u' '));
    }
    dialog.setOption(QFileDialog::ReadOnly, !m_canCreateDirectories);
    if (!m_prompt.isEmpty())
        dialog.setLabelText(QFileDialog::Accept, m_prompt);
    if (!m_message.isEmpty())
        dialog.setLabelText(QFileDialog::LookIn, m_message);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

int FilePanel::finish(const QStringList &chosen)
{
    m_filenames.clear();
    for (const QString &path : chosen) {
        QString absolute = QDir::cleanPath(QDir(m_directory).absoluteFilePath(path));
        if (m_kind == SavePanel && !m_allowedFileTypes.isEmpty()
            && !m_allowedFileTypes.contains(QFileInfo(absolute).suffix()))
            absolute += u'.' + m_allowedFileTypes.first();
        m_filenames.append(absolute);
    }
    if (m_kind != OpenPanel || m_allowsMultipleSelection || m_filenames.size() <= 1)
        return m_filenames.isEmpty() ? CancelButton : OKButton;
    m_filenames = m_filenames.mid(0, 1);
    return OKButton;
}

int FilePanel::runModal()
{
    if (currentResponder())
        return finish(currentResponder()(*this));
    return finish(chooseWithDialog(nullptr));
}

void FilePanel::beginSheetModalForWindow(QWidget *window, Completion completion)
{
    // A window-modal dialog that runs its own loop: the caller's completion
    // sees the choice exactly as after runModal.
    const int result = currentResponder() ? finish(currentResponder()(*this))
                                          : finish(chooseWithDialog(window));
    if (completion)
        completion(result);
}

void FilePanel::setResponder(Responder responder)
{
    currentResponder() = std::move(responder);
}
