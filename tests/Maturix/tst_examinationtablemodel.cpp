#include "ExaminationTableModel.h"
#include "Gender.h"
#include "MaturixAssessment.h"
#include "TableText.h"

#include <QFile>
#include <QSortFilterProxyModel>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>

namespace {
struct Visit
{
    QDate date;
    qint64 index;
    double height;
};

// A boy born 2000-01-15 followed over years; standards 17, 18, 20 and 22 are
// 8, 9, 11 and 12.5 years.
std::unique_ptr<PatientRecord> followedBoy()
{
    auto record = PatientRecord::blank();
    record->setReferenceString(QStringLiteral("ID-7"));
    record->setNameString(QStringLiteral("Doe, \"Jr\""));
    record->setGender(Gender::Male);
    record->setBirthDate(AbsoluteDate::fromLocalDate(QDate(2000, 1, 15)));
    const Visit visits[] = {
        { QDate(2008, 1, 15), 17, 130.0 },
        { QDate(2008, 3, 14), 18, 131.0 }, // under three months later
        { QDate(2009, 1, 15), 0, 0.0 }, // not assessed, not measured
        { QDate(2010, 1, 15), 20, 140.0 },
        { QDate(2011, 7, 15), 22, 146.0 },
        { QDate(), 22, 150.0 }, // undated
    };
    for (const Visit &visit : visits) {
        record->addTRRecord();
        TRRecord &exam = *record->trRecordsArray().back();
        exam.setExamDate(visit.date.isValid() ? std::optional(AbsoluteDate::fromLocalDate(visit.date))
                                              : std::nullopt);
        exam.setMaturixIndex(visit.index);
        exam.setHeight(visit.height);
    }
    return record;
}

QStringList rowTexts(const QAbstractItemModel &model, int row)
{
    QStringList texts;
    for (int c = 0; c < model.columnCount(); ++c)
        texts.append(model.index(row, c).data().toString());
    return texts;
}
} // namespace

class tst_ExaminationTableModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void rows_data();
    void rows();
    void sortsNumbersAsNumbers_data();
    void sortsNumbersAsNumbers();
    void blindReadingHidesAgeColumns();
    void text();
    void csvKeepsFormulasAsText_data();
    void csvKeepsFormulasAsText();

private:
    std::unique_ptr<PatientRecord> m_record;
    MaturixAssessment m_assessment;
};

void tst_ExaminationTableModel::initTestCase()
{
    QVERIFY(QLocale::system().name() == u"en_US");
}

void tst_ExaminationTableModel::init()
{
    m_record = followedBoy();
    m_assessment.setPatientRecord(m_record.get());
    m_assessment.setBlindReading(false);
}

void tst_ExaminationTableModel::rows_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QStringList>("texts");

    // Identifier, name, date, age, bone age, SD score, mean (SD), bone age
    // - age, height, percentage, predicted height, advance, velocity.
    const QStringList patient { QStringLiteral("ID-7"), QStringLiteral("Doe, \"Jr\"") };
    QTest::newRow("first visit: nothing to compare with")
            << 0
            << patient + QStringList { "1/15/08", "8y 0m", "8y 0m", "+0.3", "7y 8m (10.8m)",
                                       "+0y 0m", "130.0", "72.3%", "179.8", "-", "-" };
    QTest::newRow("under three months after the first")
            << 1
            << patient + QStringList { "3/14/08", "8y 1m", "9y 0m", "+1.2", "7y 10m (10.8m)",
                                       "+0y 10m", "131.0", "75.2%", "174.2", "-", "-" };
    QTest::newRow("not assessed, not measured")
            << 2
            << patient + QStringList { "1/15/09", "9y 0m", "-", "-", "8y 8m (11.0m)", "-", "-",
                                       "-", "-", "-", "-" };
    QTest::newRow("after the unassessed, unmeasured one")
            << 3
            << patient + QStringList { "1/15/10", "10y 0m", "11y 0m", "+1.2", "9y 10m (11.4m)",
                                       "+1y 0m", "140.0", "80.4%", "174.1", "-", "-" };
    // 546 days: 1.5 years of bone age and 6 cm in 1.495 years.
    QTest::newRow("eighteen months later")
            << 4
            << patient + QStringList { "7/15/11", "11y 6m", "12y 6m", "+1.1", "11y 6m (10.5m)",
                                       "+1y 0m", "146.0", "82.8%", "176.3", "1.00", "4.0" };
    QTest::newRow("undated") << 5
                             << patient + QStringList { "", "-", "12y 6m", "-", "-", "-", "150.0",
                                                        "82.8%", "181.2", "-", "-" };
}

void tst_ExaminationTableModel::rows()
{
    QFETCH(int, row);
    QFETCH(QStringList, texts);
    ExaminationTableModel model(&m_assessment);
    QCOMPARE(model.rowCount(), 6);
    QCOMPARE(model.columnCount(), int(ExaminationTableModel::ColumnCount));
    QCOMPARE(rowTexts(model, row), texts);
}

void tst_ExaminationTableModel::sortsNumbersAsNumbers_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QList<int>>("order");

    // Missing values sort after every value.
    QTest::newRow("date, undated last") << int(ExaminationTableModel::ExamDate)
                                        << QList<int> { 0, 1, 2, 3, 4, 5 };
    QTest::newRow("height: 99.5 before 130") << int(ExaminationTableModel::Height)
                                             << QList<int> { 1, 0, 3, 4, 5, 2 };
}

void tst_ExaminationTableModel::sortsNumbersAsNumbers()
{
    QFETCH(int, column);
    QFETCH(QList<int>, order);
    m_record->examination(1)->setHeight(99.5);
    ExaminationTableModel model(&m_assessment);
    QSortFilterProxyModel sorted;
    sorted.setSourceModel(&model);
    sorted.setSortRole(ExaminationTableModel::SortRole);
    sorted.sort(column, Qt::AscendingOrder);
    QList<int> got;
    for (int r = 0; r < sorted.rowCount(); ++r)
        got.append(sorted.mapToSource(sorted.index(r, 0)).row());
    QCOMPARE(got, order);
}

void tst_ExaminationTableModel::blindReadingHidesAgeColumns()
{
    m_assessment.setBlindReading(true);
    ExaminationTableModel model(&m_assessment);
    const QStringList unmatched = rowTexts(model, 2);
    for (int c = 0; c < model.columnCount(); ++c) {
        QCOMPARE(unmatched.at(c).isEmpty(), ExaminationTableModel::givesAgeAway(c));
        if (ExaminationTableModel::givesAgeAway(c))
            QVERIFY(!model.index(2, c).data(ExaminationTableModel::SortRole).isValid());
    }
    QCOMPARE(unmatched.at(ExaminationTableModel::ExamDate), QStringLiteral("1/15/09"));
    // Matched examinations keep their ages; matching reveals this one's.
    QCOMPARE(model.index(3, ExaminationTableModel::ChronologicalAge).data().toString(),
             QStringLiteral("10y 0m"));
    m_record->examination(2)->setMaturixIndex(18);
    QCOMPARE(model.index(2, ExaminationTableModel::ChronologicalAge).data().toString(),
             QStringLiteral("9y 0m"));
}

void tst_ExaminationTableModel::text()
{
    ExaminationTableModel model(&m_assessment);
    const QString csv = TableText::csv(model, { 0 });
    const QStringList csvLines = csv.split(QStringLiteral("\r\n"));
    QCOMPARE(csvLines.size(), 3); // header, row, and the empty rest after the last CR LF
    QVERIFY(csvLines.at(0).startsWith(u"Identifier,Name,Date,Age,Bone Age,"));
    QVERIFY2(csvLines.at(1).startsWith(u"ID-7,\"Doe, \"\"Jr\"\"\",1/15/08,8y 0m,"),
             qPrintable(csvLines.at(1)));

    const QString tabs = TableText::tabSeparated(model);
    const QStringList tabLines = tabs.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(tabLines.size(), 7);
    QCOMPARE(tabLines.at(3).split(u'\t'), rowTexts(model, 2));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("table.csv"));
    QString error;
    QVERIFY(TableText::writeCsv(path, model, &error));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), TableText::csv(model).toUtf8());
    QVERIFY(!TableText::writeCsv(dir.filePath(QStringLiteral("missing/table.csv")), model, &error));
    QVERIFY(!error.isEmpty());
}

void tst_ExaminationTableModel::csvKeepsFormulasAsText_data()
{
    QTest::addColumn<QString>("identifier");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("copied");
    QTest::newRow("plain") << "AB-12" << "AB-12" << "AB-12";
    QTest::newRow("negative number") << "-5" << "-5" << "-5";
    QTest::newRow("formula") << "=1+1" << "'=1+1" << "'=1+1";
    QTest::newRow("minus formula") << "-1+cmd" << "'-1+cmd" << "'-1+cmd";
    QTest::newRow("plus formula") << "+SUM(A1)" << "'+SUM(A1)" << "'+SUM(A1)";
    QTest::newRow("at") << "@SUM(A1)" << "'@SUM(A1)" << "'@SUM(A1)";
    QTest::newRow("formula with comma") << "=A1,B1" << "\"'=A1,B1\"" << "'=A1,B1";
    QTest::newRow("tab first") << "\t=A1" << "'\t=A1" << "' =A1";
}

// A name or identifier from another system's file is never run by the
// spreadsheet that opens the table or takes the copied rows; the computed
// values keep their text.
void tst_ExaminationTableModel::csvKeepsFormulasAsText()
{
    QFETCH(QString, identifier);
    QFETCH(QString, field);
    QFETCH(QString, copied);
    m_record->setReferenceString(identifier);
    ExaminationTableModel model(&m_assessment);
    const QString row = TableText::csv(model, { 0 }).split(QStringLiteral("\r\n")).at(1);
    QVERIFY2(row.startsWith(field + u','), qPrintable(row));
    QVERIFY2(row.endsWith(u",+0.3,7y 8m (10.8m),+0y 0m,130.0,72.3%,179.8,-,-"), qPrintable(row));
    const QString pasted = TableText::tabSeparated(model, { 0 }).split(u'\n').at(1);
    QVERIFY2(pasted.startsWith(copied + u'\t'), qPrintable(pasted));
}

int main(int argc, char *argv[])
{
    // Dates as a US user reads them, in a zone with daylight saving.
    qputenv("LC_ALL", "en_US.UTF-8");
    qputenv("TZ", "Europe/Zurich");
    tzset();
    QCoreApplication app(argc, argv);
    tst_ExaminationTableModel test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_examinationtablemodel.moc"
