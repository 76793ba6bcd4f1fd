#pragma once

#include "PacsStudy.h"

#include <QDialog>
#include <QList>

#include <atomic>
#include <memory>

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;

// File > Find in PACS…: finds a patient's studies in the PACS of the
// preferences, retrieves the chosen one into the cache and opens its image
// as an opened file would be.
class PacsFindDialog : public QDialog
{
    Q_OBJECT

public:
    explicit PacsFindDialog(QWidget *parent = nullptr);
    ~PacsFindDialog() override;

    // One dialog for the application, brought forward when already open.
    static void showDialog(QWidget *parent);

protected:
    void reject() override;

private:
    void find();
    void showStudies(const QList<PacsStudy> &studies);
    void retrieve();
    void retrieved(const QString &image, qsizetype count, bool confirmed, const QString &reason);
    void setBusy(bool busy);
    void setStatus(const QString &text);

    QLineEdit *m_patientID;
    QLineEdit *m_patientName;
    QDateEdit *m_fromDate;
    QDateEdit *m_toDate;
    QComboBox *m_modality;
    QPushButton *m_findButton;
    QTreeWidget *m_studies;
    QPushButton *m_retrieveButton;
    QPushButton *m_cancelButton;
    QProgressBar *m_progress;
    QLabel *m_status;
    QList<PacsStudy> m_found;
    std::shared_ptr<std::atomic_bool> m_cancelRetrieval;
    bool m_busy = false;
};
