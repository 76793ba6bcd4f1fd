#include "PatientFile.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QtTest>

namespace {

constexpr double birth2010 = 285206400.0;  // 2010-01-15T00:00:00Z
constexpr double exam2020 = 605836800.0;   // 2020-03-14T00:00:00Z

// The documented example patient.
std::unique_ptr<PatientRecord> examplePatient()
{
    auto record = PatientRecord::blank();
    record->setReferenceString(QStringLiteral("AB-12"));
    record->setNameString(QStringLiteral("Doe^Jane"));
    record->setBirthDate(AbsoluteDate(birth2010));
    record->setGender(1);
    auto first = std::make_unique<TRRecord>(TRRecord::blank());
    first->setExamDate(AbsoluteDate(exam2020));
    first->setMaturixIndex(19);
    first->setHeight(140.0);
    record->trRecordsArray().push_back(std::move(first));
    record->trRecordsArray().push_back(std::make_unique<TRRecord>(TRRecord::blank()));
    return record;
}

// A written example with the version byte of a class replaced and, for
// PatientRecord versions before 3, the name group removed.
QByteArray withPatientVersion(QByteArray bytes, char version)
{
    const qsizetype at = bytes.indexOf("PatientRecord") + 13;
    bytes[at] = version;
    if (version < 3) {
        const QByteArray nameGroup = QByteArray::fromHex("928496960844") + "oe^Jane\x86";
        bytes.replace(bytes.lastIndexOf(nameGroup), nameGroup.size(), QByteArray());
    }
    return bytes;
}

} // namespace

class TestPatientFile : public QObject
{
    Q_OBJECT

private slots:
    void readsExampleFiles_data();
    void readsExampleFiles();
    void writesTheDocumentedExample();
    void saveReloadSaveIsIdentical_data();
    void saveReloadSaveIsIdentical();
    void heightIsSinglePrecision();
    void datesKeepTheirExactDouble_data();
    void datesKeepTheirExactDouble();
    void upgradesGenderOfOldVersions_data();
    void upgradesGenderOfOldVersions();
    void patientWithoutExaminations();
    void refusesOtherArchives();
    void refusesWrongContent_data();
    void refusesWrongContent();
    void refusesEveryTruncation();
    void survivesEveryByteCorruption();
};

void TestPatientFile::readsExampleFiles_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint64>("patientVersion");
    QTest::addColumn<qint64>("examVersion");
    QTest::addColumn<double>("height");
    QTest::newRow("v3") << "patient-v3-example.bin" << "Doe^Jane" << qint64(3) << qint64(1) << 140.0;
    QTest::newRow("v2") << "patient-v2.bin" << "" << qint64(2) << qint64(1) << 140.0;
    QTest::newRow("v1, gender stored one lower") << "patient-v1.bin" << "" << qint64(1) << qint64(1) << 140.0;
    QTest::newRow("TRRecord v0, no height") << "patient-v3-trrecord-v0.bin" << "Doe^Jane" << qint64(3) << qint64(0) << 0.0;
}

void TestPatientFile::readsExampleFiles()
{
    QFETCH(QString, file);
    QFETCH(QString, name);
    QFETCH(qint64, patientVersion);
    QFETCH(qint64, examVersion);
    QFETCH(double, height);
    QString error;
    PatientFile::Versions versions;
    const auto record = PatientFile::read(sampleBytes(file), &error, &versions);
    QVERIFY2(record, qPrintable(error));
    QCOMPARE(versions.patientRecord, patientVersion);
    QCOMPARE(versions.trRecord, examVersion);
    QCOMPARE(record->referenceString(), QStringLiteral("AB-12"));
    QCOMPARE(record->nameString(), name);
    QCOMPARE(record->birthDate(), std::optional(AbsoluteDate(birth2010)));
    QCOMPARE(record->gender(), qint64(1));
    const PatientRecord::Examinations &exams = record->trRecordsArray();
    QCOMPARE(exams.size(), size_t(2));
    QCOMPARE(exams[0]->examDate(), std::optional(AbsoluteDate(exam2020)));
    QCOMPARE(exams[0]->maturixIndex(), qint64(19));
    QCOMPARE(exams[0]->height(), height);
    QCOMPARE(exams[1]->examDate(), std::nullopt);
    QCOMPARE(exams[1]->maturixIndex(), qint64(0));
    QCOMPARE(exams[1]->height(), 0.0);
}

void TestPatientFile::writesTheDocumentedExample()
{
    QCOMPARE(PatientFile::write(*examplePatient()).toHex(' '), sampleBytes(QStringLiteral("patient-v3-example.bin")).toHex(' '));
}

void TestPatientFile::saveReloadSaveIsIdentical_data()
{
    QTest::addColumn<QString>("file");
    for (const QString &file : QDir(sampleDirectory()).entryList({ QStringLiteral("patient-*") }))
        QTest::newRow(qPrintable(file)) << file;
}

void TestPatientFile::saveReloadSaveIsIdentical()
{
    QFETCH(QString, file);
    const QByteArray original = sampleBytes(file);
    const QByteArray saved = PatientFile::write(*PatientFile::read(original));
    QCOMPARE(PatientFile::write(*PatientFile::read(saved)).toHex(), saved.toHex());
    // A file in the current versions comes back byte for byte.
    if (file == u"patient-v3-example.bin")
        QCOMPARE(saved.toHex(), original.toHex());
}

void TestPatientFile::heightIsSinglePrecision()
{
    auto record = examplePatient();
    record->trRecordsArray()[0]->setHeight(150.3);
    const auto reloaded = PatientFile::read(PatientFile::write(*record));
    QCOMPARE(reloaded->trRecordsArray()[0]->height(), 150.3000030517578125);
}

void TestPatientFile::datesKeepTheirExactDouble_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("midnight, integer form") << birth2010 << QByteArray::fromHex("82 80 e7 ff 10");
    QTest::newRow("10:15, not float-exact") << 605873700.0 << QByteArray::fromHex("83 00000012730ec241");
    QTest::newRow("fraction") << 700000000.523 << QByteArray();
    QTest::newRow("sub-millisecond") << 605873700.0001234 << QByteArray();
    QTest::newRow("before 2001") << -31536000.25 << QByteArray();
    QTest::newRow("multiple of 32 s") << 285206432.0 << QByteArray::fromHex("82 a0 e7 ff 10");
}

void TestPatientFile::datesKeepTheirExactDouble()
{
    QFETCH(double, seconds);
    QFETCH(QByteArray, stored);
    auto record = examplePatient();
    record->setBirthDate(AbsoluteDate(seconds));
    const QByteArray bytes = PatientFile::write(*record);
    if (!stored.isEmpty())
        QVERIFY(bytes.contains(QByteArray::fromHex("840164") + stored));
    const auto reloaded = PatientFile::read(bytes);
    QCOMPARE(reloaded->birthDate()->secondsSinceReferenceDate(), seconds);
    QCOMPARE(PatientFile::write(*reloaded), bytes);
}

void TestPatientFile::upgradesGenderOfOldVersions_data()
{
    QTest::addColumn<char>("version");
    QTest::addColumn<qint64>("stored");
    QTest::addColumn<qint64>("loaded");
    QTest::newRow("v0 stores gender - 1") << char(0) << qint64(1) << qint64(2);
    QTest::newRow("v1 stores gender - 1") << char(1) << qint64(1) << qint64(2);
    QTest::newRow("v1 unspecified") << char(1) << qint64(-1) << qint64(0);
    QTest::newRow("v2 as stored") << char(2) << qint64(1) << qint64(1);
    QTest::newRow("v3 as stored") << char(3) << qint64(1) << qint64(1);
    QTest::newRow("v3 negative, sign-extended") << char(3) << qint64(-5) << qint64(-5);
}

void TestPatientFile::upgradesGenderOfOldVersions()
{
    QFETCH(char, version);
    QFETCH(qint64, stored);
    QFETCH(qint64, loaded);
    auto record = examplePatient();
    record->setGender(stored);
    QString error;
    const auto reloaded = PatientFile::read(withPatientVersion(PatientFile::write(*record), version), &error);
    QVERIFY2(reloaded, qPrintable(error));
    QCOMPARE(reloaded->gender(), loaded);
    QCOMPARE(reloaded->nameString(), version >= 3 ? QStringLiteral("Doe^Jane") : QString());
}

void TestPatientFile::patientWithoutExaminations()
{
    auto record = PatientRecord::blank();
    PatientFile::Versions versions;
    const auto reloaded = PatientFile::read(PatientFile::write(*record), nullptr, &versions);
    QVERIFY(reloaded);
    QVERIFY(reloaded->trRecordsArray().empty());
    QVERIFY(reloaded->referenceString().isEmpty());
    QCOMPARE(reloaded->birthDate(), std::nullopt);
    QCOMPARE(versions.patientRecord, qint64(3));
    QCOMPARE(versions.trRecord, std::nullopt);
}

void TestPatientFile::refusesOtherArchives()
{
    for (const QString &file : QDir(sampleDirectory()).entryList({ QStringLiteral("real-*") })) {
        QString error;
        QVERIFY2(!PatientFile::read(sampleBytes(file), &error), qPrintable(file));
        QVERIFY2(!error.isEmpty(), qPrintable(file));
    }
}

void TestPatientFile::refusesWrongContent_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("reason");
    const QByteArray example = sampleBytes(QStringLiteral("patient-v3-example.bin"));
    const auto replaced = [&](const QByteArray &from, const QByteArray &to) {
        QByteArray bytes = example;
        const qsizetype at = bytes.indexOf(from);
        if (at < 0)
            qFatal("pattern not in example");
        return bytes.replace(at, from.size(), to);
    };
    const auto hex = [](const char *text) { return QByteArray::fromHex(text); };
    QTest::newRow("future PatientRecord version") << replaced("PatientRecord\x03", "PatientRecord\x04") << "PatientRecord version 4";
    QTest::newRow("future TRRecord version") << replaced("TRRecord\x01", "TRRecord\x02") << "TRRecord version 2";
    QTest::newRow("name missing in v3") << withPatientVersion(example, 2).replace("PatientRecord\x02", "PatientRecord\x03")
                                        << "ends before";
    QTest::newRow("extra name in v2") << replaced("PatientRecord\x03", "PatientRecord\x02") << "more than its version";
    QTest::newRow("height stored as double") << replaced(hex("840166 818c00"), hex("840164 818c00")) << "\"d\" value group";
    QTest::newRow("gender as q") << replaced(hex("840169 01"), hex("840171 01")) << "\"q\" value group";
    QTest::newRow("other root class") << replaced("PatientRecord", "PatientRecorx") << "PatientRecorx, expected PatientRecord";
    QTest::newRow("date where the name belongs") << replaced(hex("92 84 96 96 08 446f655e4a616e65 86"), hex("92 84 98 98 08 86")) << "nameString";
    QTest::newRow("string that is no UTF-8") << replaced("AB-12", "AB\xff-1") << "not valid UTF-8";
    QTest::newRow("array count beyond elements") << replaced(hex("99 02 92"), hex("99 03 92")) << "claims 3 elements";
    QTest::newRow("negative array count") << replaced(hex("99 02 92"), hex("99 ff 92")) << "claims -1 elements";
    QTest::newRow("nil examination") << replaced(hex("92 84 9d 92 85 99 00 9d 00 86"), hex("92 85")) << "no TRRecord object";
    QTest::newRow("trailing group") << example + hex("99 01") << "exactly one root object";
    QTest::newRow("nil root") << example.left(16) + hex("840140 85") << "no PatientRecord object";
    // Text of the file in a reason is escaped and never taken for a placeholder.
    QTest::newRow("class name with control bytes") << replaced("PatientRecord", QByteArray("P%2t\x81\x00ntRec%1", 13))
                                                   << R"(of class P%2t\x81\x00ntRec%1, expected PatientRecord)";
    QTest::newRow("struct where the gender belongs") << replaced(hex("840169 01"), hex("8406 7b25323d697d 01"))
                                                     << R"(PatientRecord holds a "{%2=i}" value group at byte 97 where "i")";
}

void TestPatientFile::refusesWrongContent()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, reason);
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    QString error;
    PatientFile::Versions versions;
    QVERIFY(!PatientFile::read(data, &error, &versions));
    QVERIFY2(error.contains(reason), qPrintable(error));
    QCOMPARE(versions.patientRecord, std::nullopt);
}

void TestPatientFile::refusesEveryTruncation()
{
    const QByteArray example = sampleBytes(QStringLiteral("patient-v3-example.bin"));
    for (qsizetype length = 0; length < example.size(); ++length) {
        QString error;
        QVERIFY2(!PatientFile::read(example.left(length), &error), qPrintable(QString::number(length)));
        QVERIFY(!error.isEmpty());
    }
}

void TestPatientFile::survivesEveryByteCorruption()
{
    // Whatever a single byte becomes, the reader answers: a record or a
    // reason, never a crash or a hang.
    const QByteArray example = sampleBytes(QStringLiteral("patient-v3-example.bin"));
    int refused = 0;
    for (qsizetype at = 0; at < example.size(); ++at) {
        for (int value = 0; value < 256; ++value) {
            QByteArray bytes = example;
            bytes[at] = char(value);
            QString error;
            if (!PatientFile::read(bytes, &error)) {
                QVERIFY(!error.isEmpty());
                ++refused;
            }
        }
    }
    QVERIFY(refused > 0);
}

QTEST_GUILESS_MAIN(TestPatientFile)
#include "tst_patientfile.moc"
