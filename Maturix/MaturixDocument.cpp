#include "MaturixDocument.h"

#include "Alert.h"
#include "AtomicFile.h"
#include "BoneAgeResults.h"
#include "CFormat.h"
#include "ChartExport.h"
#include "EntryCheck.h"
#include "ExaminationTableModel.h"
#include "FhirBundle.h"
#include "FilePanel.h"
#include "Gender.h"
#include "GregorianCalendar.h"
#include "Logging.h"
#include "MaturixGraphView.h"
#include "NotificationCenter.h"
#include "PacsPreferences.h"
#include "PatientFile.h"
#include "PreferenceKeys.h"
#include "PrintableText.h"
#include "RadiographImage.h"
#include "RadiographImport.h"
#include "ReportParagraph.h"
#include "Scheduler.h"
#include "TableText.h"
#include "UserDefaults.h"
#include "VantrelAppController.h"
#include "ui_MyDocument.h"

#include <QClipboard>
#include <QComboBox>
#include <QDropEvent>
#include <QMimeData>
#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonDocument>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPrinter>
#include <QScreen>
#include <QSplitter>
#include <QSortFilterProxyModel>

#include <algorithm>
#include <cmath>

namespace {
// Room left above a window for its title bar and frame, which the window
// system adds outside the window's own size.
constexpr int titleBarAllowance = 48;

// The assessment document's texts live in the "TRDocument" table.
QString localized(const char *text)
{
    return QCoreApplication::translate("TRDocument", text);
}

// Sex codes are the pop-up's item indexes; anything else shows as not set.
int genderItem(qint64 gender)
{
    return gender == Gender::Male || gender == Gender::Female ? int(gender) : Gender::Unspecified;
}
} // namespace

MaturixDocument::MaturixDocument(QObject *parent)
    : VantrelDocument(parent)
{
}

MaturixDocument::~MaturixDocument()
{
    // The chart may still be asked to draw while the window goes away.
    if (m_graphView)
        m_graphView->setChartSource(nullptr);
    if (m_radiographChartView)
        m_radiographChartView->setChartSource(nullptr);
}

QString MaturixDocument::windowNibName() const
{
    return QStringLiteral("MyDocument");
}

QWidget *MaturixDocument::createWindow()
{
    return windowFromForm<Ui::MyDocument>();
}

void MaturixDocument::setPatientRecord(std::unique_ptr<PatientRecord> record)
{
    // Examinations read from a file come from no study of this session.
    m_radiographs.clear();
    m_patientRecord = std::move(record);
    m_assessment.setPatientRecord(m_patientRecord.get());
}

QByteArray MaturixDocument::dataRepresentationOfType(const QString &)
{
    if (!m_patientRecord)
        return {};
    return PatientFile::write(*m_patientRecord);
}

bool MaturixDocument::loadDataRepresentation(const QByteArray &data, const QString &)
{
    QString error;
    std::unique_ptr<PatientRecord> record = PatientFile::read(data, &error);
    if (!record) {
        m_loadError = error;
        return false;
    }
    // The record on show is replaced only by a complete one.
    setPatientRecord(std::move(record));
    // Read again into an open window: as on opening, a file holding no
    // examination still gets one to show and edit.
    if (window() && m_patientRecord->trRecordsArray().empty())
        m_patientRecord->addTRRecord();
    m_loadError.clear();
    return true;
}

bool MaturixDocument::readFromFile(const QString &path, const QString &type, QString *error)
{
    m_loadError.clear();
    if (VantrelDocument::readFromFile(path, type, error))
        return true;
    // The reader learns what the file is not; the decoder's reason, which
    // quotes the file's bytes escaped, follows on a line of its own.
    if (error && !m_loadError.isEmpty())
        *error = QCoreApplication::translate("MaturixDocument", "“%1” is not a Maturix patient file.")
                         .arg(PrintableText::escaped(QFileInfo(path).fileName()))
                + u'\n' + m_loadError;
    return false;
}

void MaturixDocument::windowControllerDidLoadNib()
{
    VantrelDocument::windowControllerDidLoadNib();
    QWidget *root = window();
    m_genderPopUp = root->findChild<QComboBox *>(QStringLiteral("genderPopUp"));
    m_maleMaturixPopUp = root->findChild<QComboBox *>(QStringLiteral("maleMaturixPopUp"));
    m_femaleMaturixPopUp = root->findChild<QComboBox *>(QStringLiteral("femaleMaturixPopUp"));
    m_unspecifiedMaturixPopUp = root->findChild<QComboBox *>(QStringLiteral("unspecifiedMaturixPopUp"));
    m_heightField = root->findChild<QLineEdit *>(QStringLiteral("heightField"));
    m_nameField = root->findChild<QLineEdit *>(QStringLiteral("nameField"));
    m_graphView = root->findChild<MaturixGraphView *>(QStringLiteral("graphView"));

    // Item positions are the sex codes and the standards' indexes.
    if (m_genderPopUp)
        m_genderPopUp->addItems({ localized("Not Set"), localized("Male"), localized("Female") });
    if (m_maleMaturixPopUp)
        m_maleMaturixPopUp->addItems(m_assessment.standardTitlesForGender(Gender::Male));
    if (m_femaleMaturixPopUp)
        m_femaleMaturixPopUp->addItems(m_assessment.standardTitlesForGender(Gender::Female));
    if (m_unspecifiedMaturixPopUp)
        m_unspecifiedMaturixPopUp->addItems(m_assessment.standardTitlesForGender(Gender::Unspecified));
    for (QComboBox *popUp : { m_genderPopUp.data(), m_maleMaturixPopUp.data(),
                              m_femaleMaturixPopUp.data(), m_unspecifiedMaturixPopUp.data() }) {
        if (popUp)
            connect(popUp, &QComboBox::activated, this,
                    &MaturixDocument::directUpdateDisplayAndSetDirty);
    }

    printInfo().setPageOrientation(QPageLayout::Landscape);
    // Any text reaches the field, so that what cannot be taken is refused
    // with a reason instead of being silently cut to something else.
    if (m_heightField)
        m_heightField->setPlaceholderText(QStringLiteral("0.0"));
    m_birthDateNotice = root->findChild<QLabel *>(QStringLiteral("birthDateNotice"));
    m_examDateNotice = root->findChild<QLabel *>(QStringLiteral("examDateNotice"));
    m_heightNotice = root->findChild<QLabel *>(QStringLiteral("heightNotice"));
    for (QLabel *notice : { m_birthDateNotice.data(), m_examDateNotice.data(), m_heightNotice.data() }) {
        if (notice)
            notice->setTextFormat(Qt::PlainText); // quotes what was typed
    }
    // Typing in a field again withdraws the reason its last entry was refused.
    const auto withdraw = [this](QLineEdit *field, QString *problem) {
        if (field)
            connect(field, &QLineEdit::textEdited, this, [this, problem] {
                problem->clear();
                updateNotices();
            });
    };
    withdraw(m_birthDateField, &m_birthDateProblem);
    withdraw(m_examDateField, &m_examDateProblem);
    withdraw(m_heightField, &m_heightProblem);
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        // A smaller screen gets a smaller window (its free area less a title
        // bar), never below what the fields and a legible chart need.
        const QRect available = screen->availableGeometry();
        const QSize room = available.size() - QSize(0, titleBarAllowance);
        root->resize(root->size().boundedTo(room).expandedTo(root->minimumSizeHint()));
        QRect frame = root->frameGeometry();
        frame.moveCenter(available.center());
        root->move(frame.topLeft());
    }

    if (m_graphView) {
        m_graphView->setOwningDocument(this);
        m_graphView->setChartSource(this);
        setPrintableView(m_graphView);
    }

    root->setAcceptDrops(true);
    root->installEventFilter(this);
    m_radiographView = root->findChild<RadiographView *>(QStringLiteral("radiographView"));
    m_radiographChartView = root->findChild<MaturixGraphView *>(QStringLiteral("radiographChartView"));
    // The image takes the larger share; the chart stays legible beside it.
    if (auto *splitter = root->findChild<QSplitter *>(QStringLiteral("radiographSplitter"))) {
        splitter->setStretchFactor(0, 3);
        splitter->setStretchFactor(1, 2);
    }
    if (m_radiographChartView) {
        m_radiographChartView->setOwningDocument(this);
        m_radiographChartView->setChartSource(this);
    }

    m_examinationTable = root->findChild<ExaminationTableView *>(QStringLiteral("examinationTable"));
    if (m_examinationTable) {
        m_examinationTableModel = std::make_unique<ExaminationTableModel>(&m_assessment);
        m_examinationTable->setExaminationModel(m_examinationTableModel.get());
        connect(m_examinationTable, &ExaminationTableView::examinationChosen, this,
                &MaturixDocument::showExamination);
        if (auto *copy = root->findChild<QAbstractButton *>(QStringLiteral("copyTableButton")))
            connect(copy, &QAbstractButton::clicked, m_examinationTable, &ExaminationTableView::copyAll);
        if (auto *save = root->findChild<QAbstractButton *>(QStringLiteral("exportTableButton")))
            connect(save, &QAbstractButton::clicked, this, &MaturixDocument::doExportTable);
    }
    if (auto *copyReport = root->findChild<QAbstractButton *>(QStringLiteral("copyReportButton")))
        connect(copyReport, &QAbstractButton::clicked, this, &MaturixDocument::doCopyReport);
    m_blindReadingField = root->findChild<QLabel *>(QStringLiteral("blindReadingField"));
    NotificationCenter::defaultCenter().addObserver(PreferenceKeys::BlindReading, this,
                                                    [this](const Notification &) { directUpdateDisplay(); });

    if (!m_patientRecord) {
        setPatientRecord(std::make_unique<PatientRecord>());
        m_lookUpRequired = true;
    }
    // A file holding no examination still gets one to show and edit.
    if (m_patientRecord->trRecordsArray().empty())
        m_patientRecord->addTRRecord();
    m_currentExam = lastExam();
    synchronizeFromData();
    // An opened patient starts in the examination on show; a new one in its
    // identifier, the first field of the window.
    if (!m_lookUpRequired && m_examDateField)
        m_examDateField->setFocus();
}

QVariantMap MaturixDocument::sourceStudy() const
{
    const TRRecord *exam = m_patientRecord ? m_patientRecord->examination(m_currentExam) : nullptr;
    return exam ? exam->sourceStudy() : QVariantMap();
}

void MaturixDocument::setSourceStudy(const QVariantMap &study)
{
    if (TRRecord *exam = m_patientRecord ? m_patientRecord->examination(m_currentExam) : nullptr)
        exam->setSourceStudy(study);
}

QList<BoneAgeResult> MaturixDocument::examinationResults() const
{
    return BoneAgeResults::ofPatient(m_assessment);
}

quint64 MaturixDocument::lastExam() const
{
    if (!m_patientRecord || m_patientRecord->trRecordsArray().empty())
        return 0;
    return m_patientRecord->trRecordsArray().size() - 1;
}

void MaturixDocument::addExamination()
{
    if (!m_patientRecord)
        return;
    m_patientRecord->addTRRecord();
    m_currentExam = m_patientRecord->trRecordsArray().size() - 1;
}

void MaturixDocument::deleteCurrentExamination()
{
    if (m_patientRecord)
        m_patientRecord->deleteTRRecord(m_currentExam);
}

QComboBox *MaturixDocument::standardsPopUpForGender(qint64 gender) const
{
    if (gender == Gender::Male)
        return m_maleMaturixPopUp.data();
    if (gender == Gender::Female)
        return m_femaleMaturixPopUp.data();
    return nullptr;
}

QString MaturixDocument::heightText(double height) const
{
    // Rounded as the C library rounds, with the locale's decimal separator.
    return height > 0.0
            ? CFormat::string("%.1f", height).replace(u'.', QLocale::system().decimalPoint())
            : QString();
}

void MaturixDocument::synchronizeFromData()
{
    PatientRecord *record = m_patientRecord.get();
    if (!record || !window())
        return;
    setName(record->nameString());
    if (m_nameField)
        m_nameField->setText(record->nameString());
    if (m_referenceIDField)
        m_referenceIDField->setText(record->referenceString());
    if (m_birthDateField)
        m_birthDateField->setText(shortDateString(record->birthDate()));
    if (m_genderPopUp)
        m_genderPopUp->setCurrentIndex(genderItem(record->gender()));
    if (const TRRecord *exam = record->examination(m_currentExam)) {
        if (m_examDateField)
            m_examDateField->setText(shortDateString(exam->examDate()));
        if (m_heightField)
            m_heightField->setText(heightText(exam->height()));
        // Never past the end of a list: a stale index shows as not assessed.
        if (QComboBox *standards = standardsPopUpForGender(record->gender()))
            standards->setCurrentIndex(int(m_assessment.validMaturixIndexForRecord(m_currentExam)));
    }
    updateDisplay();
}

std::optional<AbsoluteDate> MaturixDocument::examDateForRecord(quint64 exam) const
{
    const TRRecord *record = m_patientRecord ? m_patientRecord->examination(exam) : nullptr;
    return record ? record->examDate() : std::nullopt;
}

bool MaturixDocument::addExaminationsTypedIn(VantrelDocument &typed)
{
    auto *source = qobject_cast<MaturixDocument *>(&typed);
    if (!source || !source->m_patientRecord || !m_patientRecord)
        return false;
    source->synchronizeToData();
    synchronizeToData();
    const PatientRecord &from = *source->m_patientRecord;
    // A standard is a place in the list of the patient's sex: a patient of
    // no sex yet takes the sex it was read for; a patient of the other sex
    // keeps the date and height, and the reading has to be made again.
    const TRRecord *shown = nullptr;
    for (const auto &exam : from.trRecordsArray()) {
        if (exam->maturixIndex() <= 0 && exam->height() <= 0.0)
            continue; // nothing read: the blank examination of a new window
        if (m_patientRecord->gender() == Gender::Unspecified && exam->maturixIndex() > 0)
            m_patientRecord->setGender(from.gender());
        const bool sameSex = m_patientRecord->gender() == from.gender();
        m_patientRecord->addTRRecord();
        TRRecord *added = m_patientRecord->trRecordsArray().back().get();
        added->setExamDate(exam->examDate());
        added->setHeight(exam->height());
        added->setMaturixIndex(sameSex ? exam->maturixIndex() : 0);
        if (!sameSex && exam->maturixIndex() > 0)
            qCWarning(lcDocument, "A standard read for the other sex was not carried into \"%s\"",
                      qPrintable(fileName()));
        shown = added;
    }
    if (shown) {
        m_patientRecord->sortExaminationsByDate();
        setCurrentRecordFromRecord(shown);
        updateChangeCount(ChangeDone);
        synchronizeFromData();
    }
    return true;
}

void MaturixDocument::setName(const QString &name)
{
    VantrelDocument::setName(name);
    // Unchanged text is left alone, so a field being typed in keeps its cursor.
    if (m_nameField && m_nameField->text() != name)
        m_nameField->setText(name);
}

void MaturixDocument::synchronizeToData()
{
    PatientRecord *record = m_patientRecord.get();
    if (!record || !window())
        return;
    if (m_nameField)
        setName(m_nameField->text());
    record->setNameString(m_patientName);
    if (m_referenceIDField)
        record->setReferenceString(m_referenceIDField->text());
    // A field still showing the stored value keeps it exactly (a date's time
    // of day, a height's hundredths); only a changed text is read. Text that
    // cannot be taken never replaces the stored value: the field shows that
    // again and the reason appears beside it.
    if (m_birthDateField && m_birthDateField->text() != shortDateString(record->birthDate())) {
        const EntryCheck::DateEntry entry = EntryCheck::readDate(
                m_birthDateField->text(), DateFormatter::TwoDigitYears::InThePast);
        m_birthDateProblem = entry.problem;
        if (entry.problem.isEmpty())
            record->setBirthDate(entry.date);
        else
            m_birthDateField->setText(shortDateString(record->birthDate()));
    }
    if (m_genderPopUp)
        record->setGender(std::max(0, m_genderPopUp->currentIndex()));
    TRRecord *exam = record->examination(m_currentExam);
    if (!exam)
        return;
    if (m_examDateField && m_examDateField->text() != shortDateString(exam->examDate())) {
        const EntryCheck::DateEntry entry = EntryCheck::readDate(
                m_examDateField->text(), DateFormatter::TwoDigitYears::Nearest);
        m_examDateProblem = entry.problem;
        m_problemExam = exam;
        if (entry.problem.isEmpty())
            exam->setExamDate(entry.date);
        else
            m_examDateField->setText(shortDateString(exam->examDate()));
    }
    if (m_heightField && m_heightField->text() != heightText(exam->height())) {
        const EntryCheck::HeightEntry entry = EntryCheck::readHeight(m_heightField->text());
        m_heightProblem = entry.problem;
        m_problemExam = exam;
        if (entry.problem.isEmpty())
            exam->setHeight(entry.height);
        else
            m_heightField->setText(heightText(exam->height()));
    }
    if (QComboBox *standards = standardsPopUpForGender(record->gender()))
        exam->setMaturixIndex(std::max(0, standards->currentIndex()));
}

void MaturixDocument::updateDisplay()
{
    VantrelDocument::updateDisplay();
    if (!m_patientRecord)
        return;
    m_assessment.setBlindReading(
            UserDefaults::standardUserDefaults().boolForKey(PreferenceKeys::BlindReading));
    if (m_blindReadingField)
        m_blindReadingField->setVisible(m_assessment.blindReading());
    if (m_ageField)
        m_ageField->setText(m_assessment.hidesAgeForRecord(m_currentExam)
                                    ? QString()
                                    : chronologicalAgeStringForRecord(m_currentExam));
    const qint64 gender = m_patientRecord->gender();
    if (m_graphView)
        m_graphView->setRangeForGender(gender);
    if (m_maleMaturixPopUp)
        m_maleMaturixPopUp->setVisible(gender == Gender::Male);
    if (m_femaleMaturixPopUp)
        m_femaleMaturixPopUp->setVisible(gender == Gender::Female);
    if (m_unspecifiedMaturixPopUp)
        m_unspecifiedMaturixPopUp->setVisible(gender != Gender::Male && gender != Gender::Female);
    if (m_graphView)
        m_graphView->setNeedsDisplay();
    if (m_radiographChartView) {
        m_radiographChartView->setRangeForGender(gender);
        m_radiographChartView->setNeedsDisplay();
    }
    showRadiographOfCurrentExam();
    if (m_examinationTableModel)
        m_examinationTableModel->refresh();
    if (m_examinationTable)
        m_examinationTable->selectExamination(m_currentExam);
    updateNotices();
}

void MaturixDocument::updateNotices()
{
    if (!m_patientRecord)
        return;
    const TRRecord *exam = m_patientRecord->examination(m_currentExam);
    if (exam != m_problemExam) {
        m_examDateProblem.clear();
        m_heightProblem.clear();
        m_problemExam = exam;
    }
    const std::optional<AbsoluteDate> birth = m_patientRecord->birthDate();
    const auto show = [](QLabel *notice, const QString &problem, const QString &warning) {
        if (!notice)
            return;
        notice->setText(problem.isEmpty() ? warning : problem);
        notice->setVisible(!notice->text().isEmpty()); // its line only when it says something
    };
    show(m_birthDateNotice, m_birthDateProblem, EntryCheck::birthDateWarning(birth));
    show(m_examDateNotice, m_examDateProblem,
         exam ? EntryCheck::examDateWarning(birth, exam->examDate()) : QString());
    show(m_heightNotice, m_heightProblem, QString());
}

void MaturixDocument::setCurrentRecordFromRecord(const TRRecord *record)
{
    if (!m_patientRecord)
        return;
    const auto &exams = m_patientRecord->trRecordsArray();
    for (std::size_t i = 0; i < exams.size(); ++i) {
        if (exams[i].get() == record) {
            m_currentExam = i;
            return;
        }
    }
}

void MaturixDocument::updateArrayOrder()
{
    if (!m_patientRecord)
        return;
    const TRRecord *current = m_patientRecord->examination(m_currentExam);
    synchronizeToData();
    m_patientRecord->sortExaminationsByDate();
    setCurrentRecordFromRecord(current);
    synchronizeFromData();
}

void MaturixDocument::setCurrentRecordFromClick(const QPointF &point)
{
    if (!m_patientRecord || !m_patientRecord->birthDate())
        return;
    const AbsoluteDate birth = *m_patientRecord->birthDate();
    // The best distance is kept in whole months, so a later examination wins
    // only when it is nearer by more than the fraction. Without a dated
    // examination the first one stays chosen.
    long long bestDistance = 999999;
    quint64 chosen = 0;
    const auto &exams = m_patientRecord->trRecordsArray();
    for (std::size_t i = 0; i < exams.size(); ++i) {
        if (!exams[i]->examDate())
            continue; // an undated examination has no place on the chart
        const double months = double(GregorianCalendar::monthsBetween(birth, *exams[i]->examDate()));
        const double distance = std::fabs(months - point.x() * 12.0);
        if (double(bestDistance) > distance) {
            chosen = i;
            bestDistance = (long long)distance;
        }
    }
    showExamination(chosen);
}

void MaturixDocument::exportChart()
{
    synchronizeToData();
    m_currentExam = lastExam();
    synchronizeFromData();
    doExport(false);
}

qint64 MaturixDocument::patientSex() const
{
    // As the window shows it, as the record will take it.
    return m_genderPopUp ? std::max(0, m_genderPopUp->currentIndex()) : m_patientRecord->gender();
}

void MaturixDocument::setGender(qint64 gender)
{
    if (m_genderPopUp)
        m_genderPopUp->setCurrentIndex(genderItem(gender));
}

void MaturixDocument::setMaturix(const QString &title)
{
    if (!m_genderPopUp)
        return;
    if (QComboBox *standards = standardsPopUpForGender(m_genderPopUp->currentIndex())) {
        const int item = standards->findText(title);
        if (item >= 0)
            standards->setCurrentIndex(item);
    }
}

void MaturixDocument::showExamination(quint64 exam)
{
    if (!m_patientRecord || exam > lastExam())
        return;
    synchronizeToData();
    m_currentExam = exam;
    synchronizeFromData();
}

void MaturixDocument::doExportTable()
{
    if (!m_examinationTable)
        return;
    // The table then holds what the fields show.
    directUpdateDisplay();
    FilePanel panel = FilePanel::savePanel();
    panel.setDirectory(ChartExport::exportFolder());
    panel.setAllowedFileTypes({ QStringLiteral("csv") });
    const QString name = preferredFileName().toUpper();
    panel.setNameFieldStringValue(name.isEmpty() ? tr("Table.csv") : tr("%1 Table.csv").arg(name));
    panel.beginSheetModalForWindow(window(), [this, &panel](int result) {
        if (result != FilePanel::OKButton)
            return;
        QString error;
        // As shown: in the order the table is sorted by.
        if (TableText::writeCsv(panel.filename(), *m_examinationTable->sortedModel(), &error)) {
            showStatus(tr("Exported to %1").arg(panel.filename()));
            return;
        }
        Alert::alertWithMessageText(tr("The table could not be exported."), QString(), QString(),
                                    QString(), tr("“%1”: %2").arg(panel.filename(), error))
                .beginSheetModalForWindow(window(), {});
    });
}

void MaturixDocument::doExportFhir()
{
    if (!m_patientRecord)
        return;
    // The record then holds what the fields show.
    directUpdateDisplay();
    QStringList leftOut;
    const QByteArray json =
            QJsonDocument(FhirBundle::ofPatient(m_assessment, &leftOut)).toJson(QJsonDocument::Indented);
    FilePanel panel = FilePanel::savePanel();
    panel.setTitle(tr("Export FHIR"));
    panel.setPrompt(tr("Export"));
    panel.setDirectory(ChartExport::exportFolder());
    panel.setAllowedFileTypes({ QStringLiteral("json") });
    const QString name = preferredFileName().toUpper();
    panel.setNameFieldStringValue(name.isEmpty() ? tr("FHIR.json") : tr("%1 FHIR.json").arg(name));
    panel.beginSheetModalForWindow(window(), [this, &panel, &json, &leftOut](int result) {
        if (result != FilePanel::OKButton)
            return;
        QString error;
        if (AtomicFile::write(panel.filename(), json, &error)) {
            const QString status = tr("Exported to %1").arg(panel.filename());
            showStatus(leftOut.isEmpty() ? status : status + tr("; ") + leftOut.join(tr("; ")));
            return;
        }
        Alert::alertWithMessageText(tr("The FHIR Bundle could not be exported."), QString(), QString(),
                                    QString(), tr("“%1”: %2").arg(panel.filename(), error))
                .beginSheetModalForWindow(window(), {});
    });
}

QString MaturixDocument::reportTemplate()
{
    const QString stored =
            UserDefaults::standardUserDefaults().stringForKey(PreferenceKeys::ReportTemplate);
    return stored.isEmpty() ? ReportParagraph::defaultTemplate() : stored;
}

QString MaturixDocument::reportParagraph(QString *problem) const
{
    const QString templateText = reportTemplate();
    const QStringList unknown = ReportParagraph::unknownPlaceholders(templateText);
    if (!unknown.isEmpty()) {
        // A paragraph without the part that names it could pass unnoticed
        // into a report.
        *problem = tr("The report template in Preferences names an unknown placeholder: {%1}.")
                           .arg(unknown.join(QStringLiteral("}, {")));
        return {};
    }
    return ReportParagraph(m_assessment, m_currentExam).text(templateText);
}

void MaturixDocument::doCopyReport()
{
    commitEditing();
    directUpdateDisplay();
    QString problem;
    const QString paragraph = reportParagraph(&problem);
    if (!problem.isEmpty()) {
        Alert::alertWithMessageText(tr("The report could not be copied."), QString(), QString(),
                                    QString(), problem)
                .beginSheetModalForWindow(window(), {});
        return;
    }
    if (paragraph.isEmpty()) {
        showStatus(tr("The examination on show has nothing to report yet."));
        return;
    }
    QGuiApplication::clipboard()->setText(paragraph);
    showStatus(tr("Report copied."));
}

QString MaturixDocument::printedText()
{
    QString problem;
    const QString paragraph = reportParagraph(&problem);
    if (!problem.isEmpty()) {
        qCWarning(lcDocument, "No report paragraph printed for \"%s\": %s",
                  qPrintable(displayName()), qPrintable(problem));
        showStatus(tr("The report paragraph was not printed. %1").arg(problem));
    }
    return paragraph;
}

namespace {
QString studyInstanceUIDOf(const TRRecord *exam)
{
    return exam ? exam->sourceStudy().value(QStringLiteral("StudyInstanceUID")).toString() : QString();
}
} // namespace

QString MaturixDocument::studyOfCurrentExam() const
{
    return studyInstanceUIDOf(m_patientRecord ? m_patientRecord->examination(m_currentExam) : nullptr);
}

void MaturixDocument::setRadiograph(std::shared_ptr<const RadiographImage> radiograph)
{
    const QString study = studyOfCurrentExam();
    if (study.isEmpty())
        return;
    m_radiographs.insert(study, std::move(radiograph));
    showRadiographOfCurrentExam();
}

const RadiographImage *MaturixDocument::radiograph() const
{
    const QString study = studyOfCurrentExam();
    return study.isEmpty() ? nullptr : m_radiographs.value(study).get();
}

void MaturixDocument::showRadiographOfCurrentExam()
{
    if (!m_radiographView)
        return;
    const QString study = studyOfCurrentExam();
    std::shared_ptr<const RadiographImage> shown = study.isEmpty() ? nullptr : m_radiographs.value(study);
    // Zoom and window stay while the same image stays on show.
    if (shown == m_radiographOnShow)
        return;
    m_radiographOnShow = shown;
    if (shown)
        m_radiographView->setRadiograph(shown->values(), shown->initialWindow(), shown->firstView());
    else
        m_radiographView->clear();
}

bool MaturixDocument::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != window() || (event->type() != QEvent::DragEnter && event->type() != QEvent::Drop))
        return VantrelDocument::eventFilter(watched, event);
    auto *drop = static_cast<QDropEvent *>(event);
    QStringList paths;
    for (const QUrl &url : drop->mimeData()->urls()) {
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    }
    if (paths.isEmpty())
        return VantrelDocument::eventFilter(watched, event);
    drop->acceptProposedAction();
    if (event->type() == QEvent::Drop) {
        // After the drop has ended: opening may ask questions.
        Scheduler::shared().performAfterDelay(0.0, this, [paths] {
            if (VantrelAppController *controller = VantrelAppController::sharedController())
                controller->applicationOpenFiles(paths);
        });
    }
    return true;
}

void MaturixDocument::newPatientNotOnFile(const QString &identifier)
{
    if (m_pacsFillOffered || !m_nameField || !m_birthDateField || !m_nameField->text().isEmpty()
        || !m_birthDateField->text().isEmpty())
        return;
    const PacsAddress pacs = PacsPreferences::address();
    if (!pacs.validationError().isEmpty())
        return;
    m_pacsFillOffered = true;
    const Alert alert = Alert::alertWithMessageText(
            tr("Fill the patient from the PACS?"), tr("Fill"), tr("Don't Fill"), QString(),
            tr("There is no file of patient '%1' in the database folder. The name, birth date and "
               "sex can be asked of the PACS %2.")
                    .arg(identifier, pacs.toString()));
    if (alert.runModal() != Alert::DefaultReturn)
        return;
    showStatus(tr("Asking the PACS %1 for patient '%2'…").arg(pacs.toString(), identifier));
    PacsStudyQuery query;
    query.patientID = identifier;
    query.runInBackground(pacs, this, [this, identifier](const PacsStudyQuery::Answer &answer) {
        fillFromPacs(identifier, answer);
    });
}

void MaturixDocument::fillFromPacs(const QString &identifier, const PacsStudyQuery::Answer &answer)
{
    if (!answer.result.confirmed) {
        showStatus(tr("The PACS could not be asked for patient '%1': %2").arg(identifier, answer.result.reason));
        return;
    }
    // An identifier holding a wildcard matches others: only this patient counts.
    const auto study = std::find_if(answer.studies.begin(), answer.studies.end(),
                                    [&](const PacsStudy &s) { return s.patientID == identifier; });
    if (study == answer.studies.end()) {
        showStatus(tr("The PACS has no study of patient '%1'.").arg(identifier));
        return;
    }
    // The user may have gone on meanwhile: another patient, or fields filled by hand.
    if (!m_referenceIDField || m_referenceIDField->text() != identifier)
        return;
    const RadiographImage::Patient patient { study->patientID, study->patientName,
                                             study->patientBirthDate, study->patientSex };
    if (m_nameField && m_nameField->text().isEmpty() && !patient.name.isEmpty())
        setName(RadiographImport::displayName(patient.name));
    if (m_birthDateField && m_birthDateField->text().isEmpty() && patient.birthDate.isValid())
        setBirthDate(AbsoluteDate::fromLocalDate(patient.birthDate));
    if (patientSex() == Gender::Unspecified)
        setGender(RadiographImport::genderOf(patient));
    directUpdateDisplayAndSetDirty();
    showStatus(tr("Patient '%1' filled from the PACS.").arg(identifier));
}
