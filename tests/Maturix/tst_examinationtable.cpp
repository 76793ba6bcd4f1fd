#include "ExaminationTableModel.h"
#include "ExaminationTableView.h"
#include "Gender.h"
#include "MaturixDocument.h"
#include "MaturixGraphView.h"
#include "NotificationCenter.h"
#include "PatientFile.h"
#include "PatientWindowFixture.h"
#include "PreferenceKeys.h"
#include "ScriptedFilePanelResponder.h"
#include "TableText.h"
#include "TestSupport.h"
#include "UserDefaults.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSortFilterProxyModel>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>

// The patient window's Table tab: the table follows the window and the
// window follows the table; blind reading in the window, chart and table.
class tst_ExaminationTable : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void tableFollowsTheWindow();
    void sortingKeepsTheExaminationOnShow();
    void choosingARowMovesTheCurrentExamination();
    void copyAndExport();
    void blindReadingHidesTheAgeUntilMatched();

private:
    // A boy born 1/15/2000 with examinations on 1/15/2008 (standard 17,
    // 130 cm), 1/15/2009 (18, not measured) and 7/15/2010 (20, 140 cm).
    MaturixDocument *openPatient();
    QLineEdit *field(MaturixDocument *document, const char *name) const;
    // The examination whose row is selected.
    quint64 selectedExamination(MaturixDocument *document) const;
    QString cell(MaturixDocument *document, quint64 exam, int column) const;

    std::unique_ptr<PatientWindowFixture> m_fixture;
};

void tst_ExaminationTable::init()
{
    m_fixture = std::make_unique<PatientWindowFixture>();
}

void tst_ExaminationTable::cleanup()
{
    m_fixture.reset();
}

MaturixDocument *tst_ExaminationTable::openPatient()
{
    auto record = PatientRecord::blank();
    record->setReferenceString(QStringLiteral("AB-12"));
    record->setGender(Gender::Male);
    record->setBirthDate(AbsoluteDate::fromLocalDate(QDate(2000, 1, 15)));
    const std::tuple<QDate, qint64, double> exams[] = {
        { QDate(2008, 1, 15), 17, 130.0 },
        { QDate(2009, 1, 15), 18, 0.0 },
        { QDate(2010, 7, 15), 20, 140.0 },
    };
    for (const auto &[date, index, height] : exams) {
        record->addTRRecord();
        TRRecord &exam = *record->trRecordsArray().back();
        exam.setExamDate(AbsoluteDate::fromLocalDate(date));
        exam.setMaturixIndex(index);
        exam.setHeight(height);
    }
    const QString path = m_fixture->dir.filePath(QStringLiteral("AB-12.maturix"));
    if (!writeFile(path, PatientFile::write(*record)))
        return nullptr;
    return m_fixture->openDocument(path);
}

QLineEdit *tst_ExaminationTable::field(MaturixDocument *document, const char *name) const
{
    return document->window()->findChild<QLineEdit *>(QString::fromLatin1(name));
}

quint64 tst_ExaminationTable::selectedExamination(MaturixDocument *document) const
{
    ExaminationTableView *table = document->examinationTable();
    const QModelIndexList rows = table->selectionModel()->selectedRows();
    if (rows.size() != 1)
        return quint64(-1);
    return quint64(table->sortedModel()->mapToSource(rows.first()).row());
}

QString tst_ExaminationTable::cell(MaturixDocument *document, quint64 exam, int column) const
{
    QAbstractItemModel *model = document->examinationTable()->sortedModel()->sourceModel();
    return model->index(int(exam), column).data().toString();
}

void tst_ExaminationTable::tableFollowsTheWindow()
{
    MaturixDocument *document = openPatient();
    QVERIFY(document);
    QTabWidget *tabs = document->tabView();
    QCOMPARE(tabs->count(), 3);
    QCOMPARE(tabs->tabText(0), QStringLiteral("Chart"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("Table"));
    QCOMPARE(tabs->tabText(2), QStringLiteral("Radiograph"));
    QCOMPARE(document->examinationTable()->model()->rowCount(), 3);
    QCOMPARE(selectedExamination(document), 2u);
    QCOMPARE(cell(document, 2, ExaminationTableModel::HeightVelocity), QStringLiteral("-"));

    // An edit shows in the table as soon as the field is left.
    field(document, "heightField")->setText(QStringLiteral("143.0"));
    document->controlTextDidEndEditing(field(document, "heightField"));
    QCOMPARE(cell(document, 2, ExaminationTableModel::Height), QStringLiteral("143.0"));
    document->doPreviousRecord();
    field(document, "heightField")->setText(QStringLiteral("136"));
    document->doNextRecord();
    // 7 cm in 546 days.
    QCOMPARE(cell(document, 2, ExaminationTableModel::HeightVelocity), QStringLiteral("4.7"));
    QCOMPARE(selectedExamination(document), 2u);

    document->doNewRecord();
    QCOMPARE(document->examinationTable()->model()->rowCount(), 4);
    QCOMPARE(selectedExamination(document), 3u);
}

void tst_ExaminationTable::sortingKeepsTheExaminationOnShow()
{
    MaturixDocument *document = openPatient();
    QVERIFY(document);
    document->doPreviousRecord();
    ExaminationTableView *table = document->examinationTable();
    for (int column : { int(ExaminationTableModel::ExamDate), int(ExaminationTableModel::Height) }) {
        for (Qt::SortOrder order : { Qt::DescendingOrder, Qt::AscendingOrder }) {
            table->sortByColumn(column, order);
            QCOMPARE(selectedExamination(document), 1u);
            QCOMPARE(document->currentExam(), 1u);
        }
    }
    // The unmeasured examination sorts after the measured ones.
    table->sortByColumn(ExaminationTableModel::Height, Qt::AscendingOrder);
    QCOMPARE(table->sortedModel()->mapToSource(table->sortedModel()->index(2, 0)).row(), 1);
}

void tst_ExaminationTable::choosingARowMovesTheCurrentExamination()
{
    MaturixDocument *document = openPatient();
    QVERIFY(document);
    ExaminationTableView *table = document->examinationTable();
    document->tabView()->setCurrentIndex(1);
    table->sortByColumn(ExaminationTableModel::ExamDate, Qt::DescendingOrder);
    // A height typed but not yet entered belongs to the examination on show.
    field(document, "heightField")->setText(QStringLiteral("141.5"));

    const QRect lastRow = table->visualRect(table->sortedModel()->index(2, 3));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, lastRow.center());
    QCOMPARE(document->currentExam(), 0u);
    QCOMPARE(field(document, "examDateField")->text(), QStringLiteral("1/15/08"));
    QCOMPARE(field(document, "ageField")->text(), QStringLiteral("8y 0m"));
    QCOMPARE(field(document, "examNumberField")->text(), QStringLiteral("1 of 3"));
    QCOMPARE(document->patientRecord()->examination(2)->height(), 141.5);
    QCOMPARE(selectedExamination(document), 0u);

    // Keyboard: one row up in this order is the next examination.
    QTest::keyClick(table, Qt::Key_Up);
    QCOMPARE(document->currentExam(), 1u);
}

void tst_ExaminationTable::copyAndExport()
{
    MaturixDocument *document = openPatient();
    QVERIFY(document);
    ExaminationTableView *table = document->examinationTable();
    QAbstractItemModel *model = table->sortedModel();
    table->sortByColumn(ExaminationTableModel::ExamDate, Qt::DescendingOrder);
    table->selectionModel()->select(model->index(2, 0), QItemSelectionModel::Select
                                                                | QItemSelectionModel::Rows);
    table->copy();
    // Header and the two selected rows as shown, newest first.
    QCOMPARE(QApplication::clipboard()->text(), TableText::tabSeparated(*model, { 0, 2 }));
    const QStringList lines = QApplication::clipboard()->text().split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines.at(1).startsWith(QStringLiteral("AB-12\t\t7/15/10\t10y 6m\t11y 0m\t")));
    // The Copy button takes the whole table, whatever is selected.
    document->window()->findChild<QAbstractButton *>(QStringLiteral("copyTableButton"))->click();
    QCOMPARE(QApplication::clipboard()->text(), TableText::tabSeparated(*model));

    table->sortByColumn(ExaminationTableModel::ExamDate, Qt::AscendingOrder);
    ScriptedFilePanelResponder panels;
    const QString exports = m_fixture->dir.filePath(QStringLiteral("Exports"));
    UserDefaults::standardUserDefaults().setString(exports, PreferenceKeys::ExportDirectory);
    const QString path = m_fixture->dir.filePath(QStringLiteral("table.csv"));
    panels.choose(path);
    document->doExportTable();
    QCOMPARE(panels.panels().size(), 1);
    QCOMPARE(panels.panels().first().nameFieldStringValue(), QStringLiteral("AB-12 Table.csv"));
    QCOMPARE(panels.panels().first().directory(), exports);
    QCOMPARE(contents(path), TableText::csv(*model).toUtf8());
    QCOMPARE(document->statusText(), QStringLiteral("Exported to %1").arg(path));

    // A folder that cannot be written says so and leaves nothing behind.
    panels.choose(m_fixture->dir.filePath(QStringLiteral("missing/table.csv")));
    document->doExportTable();
    QCOMPARE(m_fixture->alerts.messageTexts(), QStringList { "The table could not be exported." });
    QVERIFY(!QFile::exists(m_fixture->dir.filePath(QStringLiteral("missing"))));
}

void tst_ExaminationTable::blindReadingHidesTheAgeUntilMatched()
{
    UserDefaults::standardUserDefaults().setBool(true, PreferenceKeys::BlindReading);
    MaturixDocument *document = openPatient();
    QVERIFY(document);
    auto *note = document->window()->findChild<QLabel *>(QStringLiteral("blindReadingField"));
    QVERIFY(note && note->isVisible());
    // Matched examinations show their ages.
    QCOMPARE(field(document, "ageField")->text(), QStringLiteral("10y 6m"));

    document->doNewRecord();
    field(document, "examDateField")->setText(QStringLiteral("1/15/2011"));
    document->controlTextDidEndEditing(field(document, "examDateField"));
    const auto legend = [document](int line) { return document->graphView()->legendLines().at(line); };
    QCOMPARE(field(document, "ageField")->text(), QString());
    QCOMPARE(legend(2), QStringLiteral("Chronological Age:\t"));
    QCOMPARE(legend(3), QStringLiteral("Mean Bone Age (Dev):\t"));
    QCOMPARE(legend(1), QStringLiteral("Examination Date:\t1/15/11"));
    QCOMPARE(cell(document, 3, ExaminationTableModel::ChronologicalAge), QString());
    QCOMPARE(cell(document, 3, ExaminationTableModel::MeanBoneAgeAndSD), QString());
    QCOMPARE(cell(document, 3, ExaminationTableModel::ExamDate), QStringLiteral("1/15/11"));
    QCOMPARE(cell(document, 2, ExaminationTableModel::ChronologicalAge), QStringLiteral("10y 6m"));
    QCOMPARE(field(document, "examDateField")->isReadOnly(), false);
    QCOMPARE(field(document, "birthDateField")->text(), QStringLiteral("1/15/00"));

    // Matching the standard shows the age at once; nothing stored changed.
    auto *standards = document->window()->findChild<QComboBox *>(QStringLiteral("maleMaturixPopUp"));
    standards->setCurrentIndex(20);
    emit standards->activated(20);
    QCOMPARE(field(document, "ageField")->text(), QStringLiteral("11y 0m"));
    QCOMPARE(legend(2), QStringLiteral("Chronological Age:\t11y 0m"));
    QCOMPARE(cell(document, 3, ExaminationTableModel::ChronologicalAge), QStringLiteral("11y 0m"));

    // Back to not assessed hides it again; turning blind reading off shows it.
    standards->setCurrentIndex(0);
    emit standards->activated(0);
    QCOMPARE(field(document, "ageField")->text(), QString());
    UserDefaults::standardUserDefaults().setBool(false, PreferenceKeys::BlindReading);
    NotificationCenter::defaultCenter().post(PreferenceKeys::BlindReading, false);
    QCOMPARE(field(document, "ageField")->text(), QStringLiteral("11y 0m"));
    QCOMPARE(legend(2), QStringLiteral("Chronological Age:\t11y 0m"));
    QCOMPARE(cell(document, 3, ExaminationTableModel::ChronologicalAge), QStringLiteral("11y 0m"));
    QVERIFY(!note->isVisible());
}

int main(int argc, char *argv[])
{
    // Dates as a US user types them, in a zone with daylight saving.
    qputenv("LC_ALL", "en_US.UTF-8");
    qputenv("TZ", "Europe/Zurich");
    tzset();
    QApplication app(argc, argv);
    tst_ExaminationTable test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_examinationtable.moc"
