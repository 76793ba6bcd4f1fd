#include "PacsFindDialog.h"

#include "Alert.h"
#include "DocumentController.h"
#include "PacsPreferences.h"
#include "PacsRetrieve.h"
#include "PacsStudyQuery.h"
#include "RetrievedStudyCache.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// The earliest date of the date fields stands for "no limit".
const QDate anyDate(1900, 1, 1);

QDateEdit *dateField(const QString &accessibleName)
{
    auto *field = new QDateEdit;
    field->setCalendarPopup(true);
    field->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    field->setMinimumDate(anyDate);
    field->setSpecialValueText(QObject::tr("Any"));
    field->setDate(anyDate);
    field->setAccessibleName(accessibleName);
    return field;
}

QDate limit(const QDateEdit *field)
{
    return field->date() == anyDate ? QDate() : field->date();
}

} // namespace

PacsFindDialog::PacsFindDialog(QWidget *parent)
    : QDialog(parent)
    , m_patientID(new QLineEdit)
    , m_patientName(new QLineEdit)
    , m_fromDate(dateField(tr("From")))
    , m_toDate(dateField(tr("To")))
    , m_modality(new QComboBox)
    , m_findButton(new QPushButton(tr("&Find")))
    , m_studies(new QTreeWidget)
    , m_retrieveButton(new QPushButton(tr("&Retrieve")))
    , m_cancelButton(new QPushButton(tr("Cancel")))
    , m_progress(new QProgressBar)
    , m_status(new QLabel)
{
    setWindowTitle(tr("Find in PACS"));
    m_patientID->setAccessibleName(tr("Patient ID"));
    m_patientName->setAccessibleName(tr("Patient's name"));
    m_patientName->setPlaceholderText(tr("FAMILY^GIVEN; * and ? match any text"));
    m_modality->setAccessibleName(tr("Modality"));
    m_modality->addItem(tr("CR or DX"), QStringList { QStringLiteral("CR"), QStringLiteral("DX") });
    m_modality->addItem(QStringLiteral("CR"), QStringList { QStringLiteral("CR") });
    m_modality->addItem(QStringLiteral("DX"), QStringList { QStringLiteral("DX") });
    m_modality->addItem(tr("Any"), QStringList());

    auto *dates = new QHBoxLayout;
    dates->addWidget(m_fromDate);
    dates->addWidget(new QLabel(tr("to")));
    dates->addWidget(m_toDate);
    auto *form = new QFormLayout;
    form->addRow(tr("Patient &ID:"), m_patientID);
    form->addRow(tr("&Name:"), m_patientName);
    form->addRow(tr("Study date:"), dates);
    form->addRow(tr("&Modality:"), m_modality);

    m_studies->setAccessibleName(tr("Studies"));
    m_studies->setRootIsDecorated(false);
    m_studies->setHeaderLabels({ tr("Date"), tr("Description"), tr("Modality"), tr("Images") });
    m_studies->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    m_progress->setAccessibleName(tr("Retrieval progress"));
    m_progress->setVisible(false);
    m_status->setWordWrap(true);
    m_retrieveButton->setEnabled(false);
    m_findButton->setDefault(true);

    auto *buttons = new QDialogButtonBox;
    buttons->addButton(m_findButton, QDialogButtonBox::ActionRole);
    buttons->addButton(m_retrieveButton, QDialogButtonBox::AcceptRole);
    buttons->addButton(m_cancelButton, QDialogButtonBox::RejectRole);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_studies, 1);
    layout->addWidget(m_progress);
    layout->addWidget(m_status);
    layout->addWidget(buttons);
    resize(560, 420);

    connect(m_findButton, &QPushButton::clicked, this, &PacsFindDialog::find);
    connect(m_retrieveButton, &QPushButton::clicked, this, &PacsFindDialog::retrieve);
    connect(m_cancelButton, &QPushButton::clicked, this, &PacsFindDialog::reject);
    connect(m_studies, &QTreeWidget::itemSelectionChanged, this,
            [this] { m_retrieveButton->setEnabled(!m_busy && m_studies->currentItem()); });
    connect(m_studies, &QTreeWidget::itemActivated, this, &PacsFindDialog::retrieve);
}

PacsFindDialog::~PacsFindDialog()
{
    if (m_cancelRetrieval)
        m_cancelRetrieval->store(true);
}

void PacsFindDialog::showDialog(QWidget *parent)
{
    static QPointer<PacsFindDialog> dialog;
    if (!dialog) {
        dialog = new PacsFindDialog(parent);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
    }
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void PacsFindDialog::reject()
{
    // Cancel stops a retrieval first; a second Cancel closes.
    if (m_cancelRetrieval) {
        m_cancelRetrieval->store(true);
        setStatus(tr("Cancelling…"));
        return;
    }
    QDialog::reject();
}

void PacsFindDialog::find()
{
    const PacsAddress address = PacsPreferences::address();
    const QString invalid = address.validationError();
    if (!invalid.isEmpty()) {
        setStatus(tr("Set the PACS in Preferences first. %1").arg(invalid));
        return;
    }
    PacsStudyQuery query;
    query.patientID = m_patientID->text().trimmed();
    query.patientName = m_patientName->text().trimmed();
    if (query.patientID.isEmpty() && query.patientName.isEmpty()) {
        setStatus(tr("Type a patient ID or name."));
        return;
    }
    query.fromDate = limit(m_fromDate);
    query.toDate = limit(m_toDate);
    query.modalities = m_modality->currentData().toStringList();
    setBusy(true);
    setStatus(tr("Asking %1…").arg(address.toString()));
    query.runInBackground(address, this, [this](const PacsStudyQuery::Answer &answer) {
        setBusy(false);
        if (!answer.result.confirmed) {
            setStatus(answer.result.reason);
            return;
        }
        showStudies(answer.studies);
    });
}

void PacsFindDialog::showStudies(const QList<PacsStudy> &studies)
{
    m_found = studies;
    m_studies->clear();
    for (const PacsStudy &study : studies) {
        auto *item = new QTreeWidgetItem(m_studies);
        item->setText(0, study.studyDate.isValid() ? study.studyDate.toString(Qt::ISODate) : QString());
        item->setText(1, study.studyDescription);
        item->setText(2, study.modalities.join(QStringLiteral(", ")));
        item->setText(3, study.numberOfImages >= 0 ? QString::number(study.numberOfImages) : QString());
    }
    if (!studies.isEmpty())
        m_studies->setCurrentItem(m_studies->topLevelItem(0));
    if (studies.isEmpty())
        setStatus(tr("No study found."));
    else
        setStatus(studies.size() == 1 ? tr("1 study found.") : tr("%1 studies found.").arg(studies.size()));
}

void PacsFindDialog::retrieve()
{
    const int row = m_studies->indexOfTopLevelItem(m_studies->currentItem());
    if (m_busy || row < 0 || row >= m_found.size())
        return;
    const PacsStudy study = m_found.at(row);
    RetrievedStudyCache::removeOldStudies();
    const QString folder = RetrievedStudyCache::folderForStudy(study.studyInstanceUID);
    setBusy(true);
    m_progress->setRange(0, 0);
    m_progress->setVisible(true);
    setStatus(tr("Retrieving the study of %1…").arg(study.studyDate.toString(Qt::ISODate)));
    m_cancelRetrieval = PacsRetrieve::retrieveInBackground(
            PacsPreferences::address(), study.studyInstanceUID, folder, PacsPreferences::retrievePort(), this,
            [this](int received, int total) {
                if (total > 0) {
                    m_progress->setRange(0, total);
                    m_progress->setValue(received);
                }
            },
            [this](const PacsRetrieve::Answer &answer) {
                retrieved(answer.image, answer.files.size(), answer.result.confirmed,
                          answer.result.reason);
            });
}

void PacsFindDialog::retrieved(const QString &image, qsizetype count, bool confirmed,
                               const QString &reason)
{
    m_cancelRetrieval.reset();
    setBusy(false);
    m_progress->setVisible(false);
    if (!confirmed)
        setStatus(reason);
    else if (image.isEmpty())
        setStatus(tr("The study holds no image."));
    else
        setStatus(count == 1 ? tr("Retrieved 1 image.") : tr("Retrieved %1 images.").arg(count));
    // What did arrive of an incomplete study is still shown.
    if (image.isEmpty())
        return;
    QString error;
    if (!DocumentController::sharedDocumentController()->openDocumentWithContentsOfFile(image, true,
                                                                                       &error))
        Alert::alertWithMessageText(tr("The retrieved image could not be opened."), QString(),
                                    QString(), QString(), error)
                .runModal();
}

void PacsFindDialog::setBusy(bool busy)
{
    m_busy = busy;
    m_findButton->setEnabled(!busy);
    m_retrieveButton->setEnabled(!busy && m_studies->currentItem());
}

void PacsFindDialog::setStatus(const QString &text)
{
    m_status->setText(text);
}
