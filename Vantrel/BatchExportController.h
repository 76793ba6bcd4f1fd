#pragma once

#include "VantrelExport.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <memory>

class QCheckBox;
class QDialog;
class QLineEdit;

namespace Ui {
class BatchExport;
}

// The Batch Export window: how many days to look back and whether to erase
// the charts already in the export folder. OK selects the patient files of
// the database folder changed within that many days and hands each one to
// the application controller as a "BatchOpen" notification.
class VANTREL_EXPORT BatchExportController : public QObject
{
    Q_OBJECT

public:
    // Registers the defaults of "Batch Export Days" and "Auto Delete".
    explicit BatchExportController(QObject *parent = nullptr);
    ~BatchExportController() override;

    // The window, loaded from the "BatchExport" interface file on first use.
    QDialog *window();
    void showWindow();

    QLineEdit *howManyDaysField();
    QCheckBox *eraseOldFilesCheckBox();

    // Closes the window, stores the two choices, runs the batch.
    void doOK();
    // Closes the window; nothing is stored.
    void doCancel();
    void doBatchExport();
    // Removes the .jpg files (any letter case) at the top of the export
    // folder; sub-folders and their files stay. A file that stays is named
    // in the batch's summary.
    void doErasePreviouslyExportedFiles();

    // The files of folder (searched deeply) with exactly this extension that
    // changed less than days × 24 hours before now, in the order of the walk.
    static QStringList recentlyChangedFiles(const QString &folder, const QString &extension,
                                            qint64 days,
                                            const QDateTime &now = QDateTime::currentDateTimeUtc());

protected:
    virtual void windowDidLoad();
    // Erasing is offered only when the charts go to files.
    void windowDidBecomeKey();
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::unique_ptr<Ui::BatchExport> m_ui;
    QPointer<QDialog> m_window;
};
