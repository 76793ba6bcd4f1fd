#include "PatientRecord.h"

#include <QTest>

class tst_PatientRecord : public QObject
{
    Q_OBJECT

private slots:
    void newRecordDefaults();
    void blankRecordIsAllZero();
    void addAndDelete();
    void compare_data();
    void compare();
    void sortKeepsIdentityAndPutsUndatedLast();
};

void tst_PatientRecord::newRecordDefaults()
{
    const double before = AbsoluteDate::now().secondsSinceReferenceDate();
    const PatientRecord record;
    const double after = AbsoluteDate::now().secondsSinceReferenceDate();
    QVERIFY(record.referenceString().isEmpty());
    QVERIFY(record.nameString().isEmpty());
    QVERIFY(!record.birthDate());
    QCOMPARE(record.gender(), 0);
    QCOMPARE(record.trRecordsArray().size(), std::size_t(1));
    const TRRecord &exam = *record.trRecordsArray().front();
    QVERIFY(exam.examDate());
    QVERIFY(exam.examDate()->secondsSinceReferenceDate() >= before - 0.001);
    QVERIFY(exam.examDate()->secondsSinceReferenceDate() <= after + 0.001);
    QCOMPARE(exam.maturixIndex(), 0);
    QCOMPARE(exam.height(), 0.0);
}

void tst_PatientRecord::blankRecordIsAllZero()
{
    const auto record = PatientRecord::blank();
    QVERIFY(record->trRecordsArray().empty());
    QVERIFY(!record->birthDate());
    const TRRecord exam = TRRecord::blank();
    QVERIFY(!exam.examDate());
    QCOMPARE(exam.maturixIndex(), 0);
    QCOMPARE(exam.height(), 0.0);
}

void tst_PatientRecord::addAndDelete()
{
    PatientRecord record;
    TRRecord *first = record.examination(0);
    record.addTRRecord();
    record.addTRRecord();
    QCOMPARE(record.trRecordsArray().size(), std::size_t(3));
    QCOMPARE(record.examination(0), first);
    QVERIFY(!record.examination(3));
    TRRecord *third = record.examination(2);
    record.deleteTRRecord(1);
    QCOMPARE(record.trRecordsArray().size(), std::size_t(2));
    QCOMPARE(record.examination(1), third);
    record.deleteTRRecord(5); // out of range: nothing happens
    QCOMPARE(record.trRecordsArray().size(), std::size_t(2));
}

void tst_PatientRecord::compare_data()
{
    QTest::addColumn<QVariant>("left");
    QTest::addColumn<QVariant>("right");
    QTest::addColumn<int>("result");
    QTest::newRow("earlier") << QVariant(10.0) << QVariant(20.0) << -1;
    QTest::newRow("later") << QVariant(20.0) << QVariant(10.0) << 1;
    QTest::newRow("same") << QVariant(10.5) << QVariant(10.5) << 0;
    QTest::newRow("undated after dated") << QVariant() << QVariant(10.0) << 1;
    QTest::newRow("dated before undated") << QVariant(-1e9) << QVariant() << -1;
    QTest::newRow("both undated") << QVariant() << QVariant() << 0;
}

void tst_PatientRecord::compare()
{
    QFETCH(QVariant, left);
    QFETCH(QVariant, right);
    QFETCH(int, result);
    TRRecord a = TRRecord::blank();
    TRRecord b = TRRecord::blank();
    if (left.isValid())
        a.setExamDate(AbsoluteDate(left.toDouble()));
    if (right.isValid())
        b.setExamDate(AbsoluteDate(right.toDouble()));
    QCOMPARE(a.compare(b), result);
}

void tst_PatientRecord::sortKeepsIdentityAndPutsUndatedLast()
{
    PatientRecord record;
    record.trRecordsArray().clear();
    const QList<QVariant> dates { 300.0, QVariant(), 100.0, QVariant(), 200.0 };
    QList<TRRecord *> made;
    for (const QVariant &date : dates) {
        record.addTRRecord();
        TRRecord *exam = record.trRecordsArray().back().get();
        exam->setExamDate(date.isValid() ? std::optional(AbsoluteDate(date.toDouble()))
                                         : std::nullopt);
        made.append(exam);
    }
    record.sortExaminationsByDate();
    const QList<TRRecord *> expected { made[2], made[4], made[0], made[1], made[3] };
    for (qsizetype k = 0; k < expected.size(); ++k)
        QCOMPARE(record.examination(quint64(k)), expected[k]);

    PatientRecord single;
    TRRecord *only = single.examination(0);
    single.sortExaminationsByDate();
    QCOMPARE(single.examination(0), only);
}

QTEST_APPLESS_MAIN(tst_PatientRecord)
#include "tst_patientrecord.moc"
