#pragma once

#include "ExaminationTableView.h"
#include "MaturixAssessment.h"
#include "MaturixChartSource.h"
#include "MaturixGraphView.h"
#include "PacsStudyQuery.h"
#include "PatientRecord.h"
#include "RadiographView.h"
#include "VantrelDocument.h"

#include <QComboBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>

#include <memory>
#include <optional>

class ExaminationTableModel;
class RadiographImage;

// One open patient file with its window: the patient and examinations, the
// standards of the patient's sex, the chart and every derived value of an
// examination. The window's fields for the examination on show take
// precedence: every step writes them back into the record first.
class MaturixDocument : public VantrelDocument, public MaturixChartSource
{
    Q_OBJECT

public:
    explicit MaturixDocument(QObject *parent = nullptr);
    ~MaturixDocument() override;

    QString windowNibName() const override;
    qint64 patientSex() const override;

    QByteArray dataRepresentationOfType(const QString &type) override;
    bool loadDataRepresentation(const QByteArray &data, const QString &type) override;
    // Reads the file; when it is no patient file, the error says so and gives
    // the decoder's reason on a second line.
    bool readFromFile(const QString &path, const QString &type, QString *error) override;

    // The patient; null until a file is read or the window is loaded.
    PatientRecord *patientRecord() const { return m_patientRecord.get(); }
    const MaturixData &database() const { return m_assessment.maturixData(); }
    const std::vector<double> &maleChronologicalAgeDataPoints() const
    {
        return m_assessment.maleChronologicalAgeDataPoints();
    }
    const std::vector<double> &femaleChronologicalAgeDataPoints() const
    {
        return m_assessment.femaleChronologicalAgeDataPoints();
    }
    MaturixGraphView *graphView() const { return m_graphView.data(); }

    // The chart's view of the document.
    const MaturixAssessment &assessment() const override { return m_assessment; }
    quint64 currentExam() const override { return m_currentExam; }
    bool shouldShowGraphHilite() const override { return VantrelDocument::shouldShowGraphHilite(); }

    quint64 lastExam() const override;
    void addExamination() override;
    void deleteCurrentExamination() override;
    void synchronizeFromData() override;
    void synchronizeToData() override;
    void updateArrayOrder() override;
    void setCurrentRecordFromClick(const QPointF &point) override;
    void updateDisplay() override;
    std::optional<AbsoluteDate> examDateForRecord(quint64 exam) const override;
    // The examinations of a new patient document that hold a standard or a
    // height become new examinations of this patient.
    bool addExaminationsTypedIn(VantrelDocument &typed) override;
    QVariantMap sourceStudy() const override;
    void setSourceStudy(const QVariantMap &study) override;
    QList<BoneAgeResult> examinationResults() const override;

    // The document's own export: the latest examination is put on show first,
    // then the chart is exported without a save panel.
    void exportChart();

    // Makes that very examination current, found by identity.
    void setCurrentRecordFromRecord(const TRRecord *record);
    // Shows the name in the window too, where the record takes it from.
    void setName(const QString &name) override;
    // Selects a sex in the window; the record takes it at the next
    // synchronizeToData.
    void setGender(qint64 gender);
    // Selects the standard with that title in the list of the sex on show.
    void setMaturix(const QString &title);

    // Makes the examination current, the window's edits stored first: what
    // a click in the chart or the choice of a row in the table does.
    void showExamination(quint64 exam);
    ExaminationTableView *examinationTable() const { return m_examinationTable.data(); }
    // Asks for a file and writes the table to it as CSV.
    void doExportTable();
    // Asks for a file and writes the patient's results to it as a FHIR
    // Bundle, for a health record to import.
    void doExportFhir();

    // The site's report template: "Report Template", else the built-in one.
    static QString reportTemplate();
    // The report paragraph of the examination on show, from the site's
    // template; empty with the reason when the template names a placeholder
    // that does not exist.
    QString reportParagraph(QString *problem) const;
    // Examination > Copy Report: the editing under way ends, then the
    // paragraph goes to the clipboard as plain text.
    void doCopyReport();
    // The printout's report paragraph under the chart.
    QString printedText() override;

    // The radiograph of the examination on show, kept for this session with
    // the study the examination came from (its source study's instance UID);
    // an examination without one has none. The patient file does not hold it.
    void setRadiograph(std::shared_ptr<const RadiographImage> radiograph);
    const RadiographImage *radiograph() const;
    RadiographView *radiographView() const { return m_radiographView.data(); }

    QString examDateStringForRecord(quint64 i) const { return m_assessment.examDateStringForRecord(i); }
    double chronologicalAgeForRecord(quint64 i) const { return m_assessment.chronologicalAgeForRecord(i); }
    QString chronologicalAgeStringForRecord(quint64 i) const
    {
        return m_assessment.chronologicalAgeStringForRecord(i);
    }
    double maturixForRecord(quint64 i) const { return m_assessment.maturixForRecord(i); }
    QString maturixStringForRecord(quint64 i) const { return m_assessment.maturixStringForRecord(i); }
    double meanMaturixForRecord(quint64 i) const { return m_assessment.meanMaturixForRecord(i); }
    double standardDeviationForRecord(quint64 i) const
    {
        return m_assessment.standardDeviationForRecord(i);
    }
    QString meanMaturixAndSDStringForRecord(quint64 i) const
    {
        return m_assessment.meanMaturixAndSDStringForRecord(i);
    }
    double heightForRecord(quint64 i) const { return m_assessment.heightForRecord(i); }
    double percentageHeightAchievedForRecord(quint64 i) const
    {
        return m_assessment.percentageHeightAchievedForRecord(i);
    }
    QString percentageHeightAchievedStringForRecord(quint64 i) const
    {
        return m_assessment.percentageHeightAchievedStringForRecord(i);
    }
    double chronologicalAgeForIndex(quint64 index, qint64 gender) const
    {
        return m_assessment.chronologicalAgeForIndex(index, gender);
    }
    double meanMaturixForIndex(quint64 index, qint64 gender) const
    {
        return m_assessment.meanMaturixForIndex(index, gender);
    }
    double standardDeviationForIndex(quint64 index, qint64 gender) const
    {
        return m_assessment.standardDeviationForIndex(index, gender);
    }

protected:
    QWidget *createWindow() override;
    // Files dropped on the window open as File > Open opens them.
    bool eventFilter(QObject *watched, QEvent *event) override;
    void windowControllerDidLoadNib() override;
    // Offers, once, to fill the name, birth date and sex from the PACS of
    // the preferences while they are all still empty.
    void newPatientNotOnFile(const QString &identifier) override;

private:
    void setPatientRecord(std::unique_ptr<PatientRecord> record);
    QComboBox *standardsPopUpForGender(qint64 gender) const;
    QString heightText(double height) const;
    // Beside each date and the height: why the last entry was not taken, or
    // else a warning about the dates stored.
    void updateNotices();
    // The Study Instance UID the examination on show came from; empty if none.
    QString studyOfCurrentExam() const;
    void showRadiographOfCurrentExam();
    // The PACS's answer for the identifier: fills what is still empty.
    void fillFromPacs(const QString &identifier, const PacsStudyQuery::Answer &answer);

    bool m_pacsFillOffered = false;
    QPointer<QComboBox> m_genderPopUp;
    QPointer<QComboBox> m_maleMaturixPopUp;
    QPointer<QComboBox> m_femaleMaturixPopUp;
    QPointer<QComboBox> m_unspecifiedMaturixPopUp;
    QPointer<QLineEdit> m_heightField;
    QPointer<QLineEdit> m_nameField;
    QPointer<MaturixGraphView> m_graphView;
    QPointer<ExaminationTableView> m_examinationTable;
    QPointer<QLabel> m_blindReadingField;
    QPointer<QLabel> m_birthDateNotice;
    QPointer<QLabel> m_examDateNotice;
    QPointer<QLabel> m_heightNotice;
    // Why an entry was refused, until its field is typed in again; those of an
    // examination only while that examination is on show (compared, never
    // dereferenced).
    QString m_birthDateProblem;
    QString m_examDateProblem;
    QString m_heightProblem;
    const TRRecord *m_problemExam = nullptr;
    QPointer<RadiographView> m_radiographView;
    // The chart beside the radiograph, so that both can be read at once.
    QPointer<MaturixGraphView> m_radiographChartView;
    QHash<QString, std::shared_ptr<const RadiographImage>> m_radiographs;
    // Held so that its address cannot pass to another image while compared.
    std::shared_ptr<const RadiographImage> m_radiographOnShow;
    std::unique_ptr<PatientRecord> m_patientRecord;
    MaturixAssessment m_assessment;
    // Reads m_assessment, so it goes first.
    std::unique_ptr<ExaminationTableModel> m_examinationTableModel;
    QString m_loadError;
};
