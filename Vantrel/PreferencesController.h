#pragma once

#include "PacsAddress.h"
#include "VantrelExport.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class QDialog;
class QLineEdit;
struct Notification;

namespace Ui {
class Preferences;
}

// The Preferences window: database and export folders, automatic saving,
// the export target (a folder, the DICOM viewer, whose plug-in it also
// installs, or a PACS, whose connection it tests), the start-up script with
// its syntax check, the automatic version check, and the report template
// with a live preview. Edits stay in the controls until OK stores them;
// Cancel shows the stored values again.
class VANTREL_EXPORT PreferencesController : public QObject
{
    Q_OBJECT

public:
    explicit PreferencesController(QObject *parent = nullptr);
    ~PreferencesController() override;

    // The window, loaded from the "Preferences" interface file on first use.
    QDialog *window();
    void showWindow();

    // Shows the stored preferences in the controls.
    void resetDefaults();
    void doOK();
    void doCancel();
    void doChangeExportTo();
    void doChooseSaveFolder();
    void doChooseExportFolder();
    void doShowSaveFolder();
    void doShowExportFolder();
    // Shows the folder in the file manager, or says that it is missing.
    void showFolder(const QString &path);
    // Whether the DICOM viewer has a desktop entry.
    static bool osirixIsInstalled();
    // Installs the plug-in, or opens the viewer's download page when the
    // button offers the download.
    void doInstallPlugin();
    // Asks the PACS in the fields (not yet stored) for a verification
    // echo in the background, and shows that it answered or why not.
    void doTestConnection();
    // Checks for a new version now, telling the user the outcome.
    void doUpdate();
    void updateVersionLastChecked();
    void versionCheckSuccessful(const Notification &notification);
    // Checks the script's syntax. Called by this controller itself it only
    // formats the script; from a control it also selects the fault and says
    // what it is.
    void checkSyntax(const QObject *sender);
    // Puts the built-in report template in the field.
    void doResetReportTemplate();
    // The template in the field filled in, and its unknown placeholders as
    // an error.
    void updateReportPreview();

signals:
    // A connection test has ended and its outcome is on show.
    void connectionTested(bool succeeded);

protected:
    virtual void windowDidLoad();
    void windowDidBecomeKey();
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void chooseFolder(QLineEdit *field);
    PacsAddress pacsAddressInFields() const;

    std::unique_ptr<Ui::Preferences> m_ui;
    QPointer<QDialog> m_window;
};
