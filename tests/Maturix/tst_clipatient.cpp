#include "ExaminationTableModel.h"
#include "MaturixAssessment.h"
#include "PatientFile.h"
#include "TableText.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>
#include <sys/stat.h>

namespace {

// A new shared string of an archive, its length in the four-byte form.
QByteArray newSharedString(const QByteArray &text)
{
    QByteArray bytes { "\x84\x82" };
    const auto size = quint32(text.size());
    for (int shift = 0; shift < 32; shift += 8)
        bytes.append(char(size >> shift));
    return bytes + text;
}

// A little-endian archive header followed by a new shared string: the
// start of every crafted archive below.
QByteArray archiveWithTypeString(const QByteArray &type)
{
    return QByteArray::fromHex("040b73747265616d747970656481e803") + newSharedString(type);
}

constexpr qsizetype craftedSize = 16 * 1024 * 1024;

// Groups of type string #0 (whose first use, with its values, ends the
// archive so far) until the archive has grown to the crafted size.
QByteArray repeatedUntilFull(QByteArray archive, const QByteArray &group)
{
    while (archive.size() + group.size() <= craftedSize)
        archive += group;
    return archive;
}

// A byte that a terminal takes for a command: C0 other than the line end,
// DEL, or C1 in UTF-8.
bool holdsControlCharacters(const QByteArray &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto byte = quint8(text[i]);
        if ((byte < 0x20 && byte != '\n') || byte == 0x7f
            || (byte == 0xc2 && i + 1 < text.size() && quint8(text[i + 1]) >= 0x80 && quint8(text[i + 1]) < 0xa0))
            return true;
    }
    return false;
}

// What the command writes when its standard output is a terminal.
QByteArray onTerminal(const QStringList &arguments)
{
    const int terminal = posix_openpt(O_RDWR | O_NOCTTY);
    if (terminal < 0 || grantpt(terminal) != 0 || unlockpt(terminal) != 0)
        return {};
    QProcess process;
    process.setStandardOutputFile(QString::fromLocal8Bit(ptsname(terminal)));
    process.start(QStringLiteral(MATURIX_CLI), arguments);
    process.waitForFinished(60000);
    fcntl(terminal, F_SETFL, O_NONBLOCK);
    QByteArray out;
    char buffer[4096];
    for (ssize_t n; (n = read(terminal, buffer, sizeof buffer)) > 0;)
        out.append(buffer, n);
    close(terminal);
    return out;
}

} // namespace

class tst_CliPatient : public QObject
{
    Q_OBJECT

private slots:
    void showJson_data();
    void showJson();
    void showText();
    void showCsvIsTheTable();
    void betweenVisitsFollowDates_data();
    void betweenVisitsFollowDates();
    void refusesBadFiles_data();
    void refusesBadFiles();
    void refusesHostileFiles_data();
    void refusesHostileFiles();
    void usageErrors_data();
    void usageErrors();
    void convertRoundTrips();
    void jsonDates_data();
    void jsonDates();
    void convertRefusesBadJson_data();
    void convertRefusesBadJson();
    void convertNeverLeavesHalfFiles();
    void dump();
    void fileTextIsPrintedEscaped();
};

void tst_CliPatient::showJson_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("patientVersion");
    QTest::addColumn<int>("examVersion");
    QTest::addColumn<double>("height");
    QTest::newRow("v3") << "patient-v3-example.bin" << "Doe^Jane" << 3 << 1 << 140.0;
    QTest::newRow("v2") << "patient-v2.bin" << "" << 2 << 1 << 140.0;
    QTest::newRow("v1") << "patient-v1.bin" << "" << 1 << 1 << 140.0;
    QTest::newRow("TRRecord v0") << "patient-v3-trrecord-v0.bin" << "Doe^Jane" << 3 << 0 << 0.0;
}

void tst_CliPatient::showJson()
{
    QFETCH(QString, file);
    QFETCH(QString, name);
    QFETCH(int, patientVersion);
    QFETCH(int, examVersion);
    QFETCH(double, height);
    const CliResult result = runCli({ QStringLiteral("show"), sample(file), QStringLiteral("--json") });
    QCOMPARE(result.status, 0);
    QVERIFY(result.err.isEmpty());
    QJsonParseError error;
    const QJsonObject patient = QJsonDocument::fromJson(result.out, &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(patient.value("referenceString").toString(), QStringLiteral("AB-12"));
    QVERIFY(patient.value("nameString").isString());
    QCOMPARE(patient.value("nameString").toString(), name);
    QCOMPARE(patient.value("birthDate").toString(), QStringLiteral("2010-01-15T00:00:00Z"));
    QCOMPARE(patient.value("gender").toInteger(), 1);
    const QJsonObject versions = patient.value("versions").toObject();
    QCOMPARE(versions.value("PatientRecord").toInteger(), patientVersion);
    QCOMPARE(versions.value("TRRecord").toInteger(), examVersion);
    const QJsonArray exams = patient.value("exams").toArray();
    QCOMPARE(exams.size(), 2);
    const QJsonObject first = exams[0].toObject();
    QCOMPARE(first.value("examDate").toString(), QStringLiteral("2020-03-14T00:00:00Z"));
    QCOMPARE(first.value("maturixIndex").toInteger(), 19);
    QCOMPARE(first.value("height").toDouble(), height);
    // The derived values of the assess command, for a boy at 10y 1m.
    QCOMPARE(first.value("chronologicalAgeString").toString(), QStringLiteral("10y 1m"));
    QCOMPARE(first.value("maturix").toDouble(), 10.0);
    for (const char *key : { "chronologicalAge", "maturixString", "meanMaturix", "standardDeviation",
                             "meanMaturixAndSDString", "percentageHeightAchieved",
                             "percentageHeightAchievedString" })
        QVERIFY2(first.contains(QLatin1String(key)), key);
    const QJsonObject second = exams[1].toObject();
    QVERIFY(second.value("examDate").isNull());
    QCOMPARE(second.value("maturixIndex").toInteger(), 0);
}

void tst_CliPatient::showText()
{
    const CliResult result = runCli({ QStringLiteral("show"), sample(QStringLiteral("patient-v1.bin")) });
    QCOMPARE(result.status, 0);
    const QString text = QString::fromUtf8(result.out);
    QVERIFY(text.contains(QStringLiteral("Reference: AB-12\n")));
    QVERIFY(text.contains(QStringLiteral("Versions: PatientRecord 1, TRRecord 1\n")));
    QVERIFY(text.contains(QStringLiteral("Exam date: 2020-03-14T00:00:00Z (605836800 s)")));
    QVERIFY(text.contains(QStringLiteral("Adult height reached: 78.4% of 178.6 cm")));
    QCOMPARE(text.count(QStringLiteral("Examination ")), 2);
}

void tst_CliPatient::showCsvIsTheTable()
{
    PatientRecord record;
    record.setReferenceString(QStringLiteral("AB-12"));
    record.setNameString(QStringLiteral("Doe, \"Jr\" Zoë"));
    record.setGender(2);
    record.setBirthDate(AbsoluteDate::fromLocalDate(QDate(2004, 6, 1)));
    record.examination(0)->setExamDate(AbsoluteDate::fromLocalDate(QDate(2014, 6, 1)));
    record.examination(0)->setMaturixIndex(18);
    record.examination(0)->setHeight(138.5);
    record.addTRRecord();
    record.examination(1)->setExamDate(AbsoluteDate::fromLocalDate(QDate(2015, 6, 1)));
    record.examination(1)->setMaturixIndex(19);
    record.addTRRecord();
    record.examination(2)->setExamDate(std::nullopt);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("patient.maturix"));
    QVERIFY(writeFile(path, PatientFile::write(record)));

    const CliResult result = runCli({ QStringLiteral("show"), path, QStringLiteral("--csv") });
    QCOMPARE(result.status, 0);
    QVERIFY(result.err.isEmpty());
    MaturixAssessment assessment;
    assessment.setPatientRecord(&record);
    QCOMPARE(result.out, TableText::csv(ExaminationTableModel(&assessment)).toUtf8());
    QVERIFY(result.out.contains("AB-12,\"Doe, \"\"Jr\"\" Zo\xc3\xab\","));
    QCOMPARE(result.out.count("\r\n"), 4);
}

void tst_CliPatient::betweenVisitsFollowDates_data()
{
    // Positions in date order of the examinations as the file keeps them.
    QTest::addColumn<QList<int>>("fileOrder");
    QTest::newRow("date order") << QList<int> { 0, 1, 2, 3 };
    QTest::newRow("latest first") << QList<int> { 2, 1, 0, 3 };
    QTest::newRow("undated first, then backwards") << QList<int> { 3, 2, 0, 1 };
    QTest::newRow("shuffled") << QList<int> { 1, 3, 2, 0 };
}

// Each visit is compared with the one before it in time, however the file
// orders them; the table lists them by date.
void tst_CliPatient::betweenVisitsFollowDates()
{
    QFETCH(QList<int>, fileOrder);
    struct Visit
    {
        std::optional<QDate> date;
        qint64 standard;
        double height;
        QString advance;
        QString velocity;
    };
    // The second visit is six weeks after the first: too soon to compare.
    const QList<Visit> visits {
        { QDate(2014, 6, 1), 18, 138.5, "-", "-" },
        { QDate(2014, 7, 15), 19, 139.0, "-", "-" },
        { QDate(2015, 6, 1), 20, 144.0, "1.14", "5.7" },
        { std::nullopt, 0, 0.0, "-", "-" },
    };
    auto record = PatientRecord::blank();
    record->setReferenceString(QStringLiteral("AB-12"));
    record->setGender(2);
    record->setBirthDate(AbsoluteDate::fromLocalDate(QDate(2004, 6, 1)));
    for (const int visit : fileOrder) {
        auto exam = std::make_unique<TRRecord>(TRRecord::blank());
        if (visits[visit].date)
            exam->setExamDate(AbsoluteDate::fromLocalDate(*visits[visit].date));
        exam->setMaturixIndex(visits[visit].standard);
        exam->setHeight(visits[visit].height);
        record->trRecordsArray().push_back(std::move(exam));
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("patient.maturix"));
    QVERIFY(writeFile(path, PatientFile::write(*record)));

    const CliResult csv = runCli({ QStringLiteral("show"), path, QStringLiteral("--csv") });
    QCOMPARE(csv.status, 0);
    QStringList rows = QString::fromUtf8(csv.out).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QCOMPARE(rows.size(), visits.size() + 1);
    rows.removeFirst();
    for (int r = 0; r < visits.size(); ++r) {
        const QStringList fields = rows[r].split(u',');
        // The height, two columns on it, then the two between visits.
        QCOMPARE(fields.mid(fields.size() - 5, 1),
                 QStringList { visits[r].height > 0 ? QString::number(visits[r].height, 'f', 1) : "-" });
        QCOMPARE(fields.mid(fields.size() - 2), (QStringList { visits[r].advance, visits[r].velocity }));
    }

    const CliResult json = runCli({ QStringLiteral("show"), path, QStringLiteral("--json") });
    QCOMPARE(json.status, 0);
    const QJsonArray exams = QJsonDocument::fromJson(json.out).object().value("exams").toArray();
    QCOMPARE(exams.size(), fileOrder.size());
    for (int i = 0; i < exams.size(); ++i) {
        const QJsonObject exam = exams[i].toObject();
        const Visit &visit = visits[fileOrder[i]];
        QCOMPARE(exam.value("maturixAdvanceString").toString(), visit.advance);
        QCOMPARE(exam.value("heightVelocityString").toString(), visit.velocity);
        QCOMPARE(exam.value("maturixAdvance").isNull(), visit.advance == u"-");
    }
}

void tst_CliPatient::refusesBadFiles_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("reason");
    const QByteArray example = contents(sample(QStringLiteral("patient-v3-example.bin")));
    QTest::newRow("truncated") << example.left(100) << "truncated";
    QTest::newRow("empty") << QByteArray() << "empty file";
    QTest::newRow("text") << QByteArray("hello\n") << "not a typedstream archive";
    QTest::newRow("another archive") << contents(sample(QStringLiteral("real-crabstep-NSArray.bin")))
                                     << "expected PatientRecord";
    QTest::newRow("absurd length") << example.left(0x41) + QByteArray::fromHex("84012b 82ffffff7f") << "truncated";
}

void tst_CliPatient::refusesBadFiles()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bad.bin"));
    QVERIFY(writeFile(path, data));
    for (const QStringList &arguments : { QStringList { "show", path }, QStringList { "show", path, "--json" },
                                          QStringList { "convert", path, dir.filePath("out.json") } }) {
        const CliResult result = runCli(arguments);
        QCOMPARE(result.status, 1);
        QVERIFY(result.out.isEmpty());
        QCOMPARE(result.err.count('\n'), 1);
        QVERIFY2(result.err.contains(path.toUtf8()) && result.err.contains(reason.toUtf8()), result.err.constData());
    }
    QVERIFY(!QFile::exists(dir.filePath("out.json")));
    const CliResult missing = runCli({ QStringLiteral("show"), dir.filePath("none.bin") });
    QCOMPARE(missing.status, 1);
}

void tst_CliPatient::refusesHostileFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason"); // empty: described, as the archive is well-formed
    QTest::newRow("16 MB type string") << "long type" << "type string holds more than";
    QTest::newRow("values nested 190 deep") << "deep" << "";
    QTest::newRow("long type string used again and again") << "padded type" << "MB of memory to read";
    QTest::newRow("16 MB of values") << "values" << "MB of memory to read";
    QTest::newRow("named pipe") << "pipe" << "it is a named pipe, not a regular file";
    QTest::newRow("device") << "/dev/zero" << "it is a device, not a regular file";
    QTest::newRow("folder") << "folder" << "it is a folder, not a regular file";
    QTest::newRow("over 64 MB") << "large" << "it is larger than 64 MB";
    QTest::newRow("JSON over 4 MB") << "large json" << "it is larger than 4 MB";
}

// Each is refused at once, with its reason, or described, within a modest
// address space and under 256 MB of memory.
void tst_CliPatient::refusesHostileFiles()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("hostile.maturix"));
    if (kind == "long type") {
        QVERIFY(writeFile(path, archiveWithTypeString(QByteArray(craftedSize - 32, 'i'))));
    } else if (kind == "padded type") {
        const QByteArray padded = archiveWithTypeString(QByteArray(1 << 18, '!') + 'c') + '\1';
        QVERIFY(writeFile(path, repeatedUntilFull(padded, QByteArray::fromHex("9201"))));
    } else if (kind == "values") {
        const QByteArray values(4096, 'x');
        const QByteArray many = archiveWithTypeString("{=" + QByteArray(4096, 'c') + '}') + values;
        QVERIFY(writeFile(path, repeatedUntilFull(many, char(0x92) + values)));
    } else if (kind == "deep") {
        // An object holding an object, and so on, the innermost holding
        // 290 000 one-byte values.
        QByteArray deep = archiveWithTypeString("@") + QByteArray::fromHex("84848401410085");
        for (int level = 1; level < 190; ++level)
            deep += QByteArray::fromHex("928493");
        const QByteArray values(4096, 'x');
        deep += newSharedString("{=" + QByteArray(4096, 'c') + '}') + values;
        for (int group = 0; group < 70; ++group)
            deep += char(0x94) + values;
        QVERIFY(writeFile(path, deep + QByteArray(190, char(0x86))));
    } else if (kind == "pipe") {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (kind == "folder") {
        QVERIFY(QDir(dir.path()).mkdir("hostile.maturix"));
    } else if (kind.startsWith("large")) {
        if (kind.endsWith("json"))
            path = dir.filePath(QStringLiteral("hostile.json"));
        QFile large(path);
        QVERIFY(large.open(QIODevice::WriteOnly) && large.resize(qint64(kind.endsWith("json") ? 5 : 65) << 20));
    } else {
        path = kind;
    }
    const QString peak = dir.filePath(QStringLiteral("peak"));
    QStringList limited { "-f", "%M", "-o", peak, "prlimit", "--as=1073741824", MATURIX_CLI };
#ifdef __SANITIZE_ADDRESS__
    // The sanitizer's shadow memory needs far more address space than any
    // limit that means something; the ordinary build measures the memory.
    limited = QStringList { "-f", "%M", "-o", peak, MATURIX_CLI };
    const bool measured = false;
#else
    const bool measured = true;
#endif
    const CliResult result = runCli(limited + QStringList { reason.isEmpty() ? "dump" : "show", path },
                                    QProcessEnvironment::systemEnvironment(), 60000,
                                    QStringLiteral("/usr/bin/time"));
    if (reason.isEmpty()) {
        QCOMPARE(result.status, 0);
        QVERIFY(result.out.contains("[190] "));
    } else {
        QCOMPARE(result.status, 1);
        QVERIFY(result.out.isEmpty());
        QVERIFY2(result.err.contains(path.toUtf8()) && result.err.contains(reason.toUtf8()),
                 result.err.constData());
    }
    // The last line; a line about the exit status may come before it.
    if (!measured)
        return;
    const qint64 peakKilobytes = contents(peak).trimmed().split('\n').last().toLongLong();
    QVERIFY2(peakKilobytes > 0 && peakKilobytes < 256 * 1024, qPrintable(QString::number(peakKilobytes)));
}

void tst_CliPatient::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("show without file") << QStringList { "show" };
    QTest::newRow("show with two files") << QStringList { "show", "a", "b" };
    QTest::newRow("show unknown option") << QStringList { "show", "a", "--xml" };
    QTest::newRow("show as JSON and CSV") << QStringList { "show", "a", "--json", "--csv" };
    QTest::newRow("convert one file") << QStringList { "convert", "a" };
    QTest::newRow("dump without file") << QStringList { "dump" };
}

void tst_CliPatient::usageErrors()
{
    QFETCH(QStringList, arguments);
    const CliResult result = runCli(arguments);
    QCOMPARE(result.status, 2);
    QVERIFY(result.out.isEmpty());
    QVERIFY(!result.err.isEmpty());
}

void tst_CliPatient::convertRoundTrips()
{
    QTemporaryDir dir;
    const QString json = dir.filePath(QStringLiteral("p.json"));
    const QString bin = dir.filePath(QStringLiteral("p.bin"));
    const QString example = sample(QStringLiteral("patient-v3-example.bin"));
    QCOMPARE(runCli({ "convert", example, json }).status, 0);
    QCOMPARE(runCli({ "convert", json, bin }).status, 0);
    QCOMPARE(contents(bin).toHex(), contents(example).toHex());
    // The JSON file is what show --json prints, but in the current versions.
    const CliResult shown = runCli({ "show", example, "--json" });
    QCOMPARE(contents(json), shown.out);

    // Older versions are written in the current ones.
    QCOMPARE(runCli({ "convert", sample(QStringLiteral("patient-v1.bin")), bin }).status, 0);
    PatientFile::Versions versions;
    const auto record = PatientFile::read(contents(bin), nullptr, &versions);
    QVERIFY(record);
    QCOMPARE(versions.patientRecord, qint64(3));
    QCOMPARE(record->gender(), qint64(1));
}

void tst_CliPatient::jsonDates_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("shown");
    QTest::newRow("midnight") << "2010-01-15T00:00:00Z" << 285206400.0 << "2010-01-15T00:00:00Z";
    QTest::newRow("milliseconds") << "2020-03-14T10:15:00.523Z" << 605873700.523 << "2020-03-14T10:15:00.523Z";
    QTest::newRow("long fraction, nearest double") << "2022-03-06T10:26:40.123456789Z" << 668255200.123456789
                                                   << "2022-03-06T10:26:40.123Z";
    QTest::newRow("before 2001 with fraction") << "2000-12-31T23:59:59.25Z" << -0.75 << "2000-12-31T23:59:59.250Z";
    QTest::newRow("one fractional digit") << "1999-12-31T23:59:59.5Z" << -31622400.5 << "1999-12-31T23:59:59.500Z";
    QTest::newRow("leap day") << "2008-02-29T12:00:00Z" << 225979200.0 << "2008-02-29T12:00:00Z";
}

void tst_CliPatient::jsonDates()
{
    QFETCH(QString, text);
    QFETCH(double, seconds);
    QFETCH(QString, shown);
    QTemporaryDir dir;
    const QString json = dir.filePath(QStringLiteral("in.json"));
    const QString bin = dir.filePath(QStringLiteral("out.bin"));
    QVERIFY(writeFile(json, QStringLiteral(R"({"referenceString":"R","birthDate":"%1","gender":2,"exams":[{"examDate":"%1","maturixIndex":3,"height":150.3}]})")
                                    .arg(text)
                                    .toUtf8()));
    const CliResult converted = runCli({ "convert", json, bin });
    QVERIFY2(converted.status == 0, converted.err.constData());
    const auto record = PatientFile::read(contents(bin));
    QVERIFY(record);
    QCOMPARE(record->birthDate()->secondsSinceReferenceDate(), seconds);
    QCOMPARE(record->trRecordsArray().at(0)->height(), 150.3000030517578125);
    QVERIFY(record->nameString().isEmpty());
    const QJsonObject patient = QJsonDocument::fromJson(runCli({ "show", bin, "--json" }).out).object();
    QCOMPARE(patient.value("birthDate").toString(), shown);
    QCOMPARE(patient.value("exams").toArray().at(0).toObject().value("height").toDouble(), 150.3000030517578125);
}

void tst_CliPatient::convertRefusesBadJson_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("reason");
    QTest::newRow("not JSON") << QByteArray("{") << "invalid JSON";
    QTest::newRow("not an object") << QByteArray("[]") << "not an object";
    QTest::newRow("date without zone") << QByteArray(R"({"birthDate":"2010-01-15T00:00:00"})") << "birthDate";
    QTest::newRow("no such day") << QByteArray(R"({"birthDate":"2010-02-30T00:00:00Z"})") << "birthDate";
    QTest::newRow("gender text") << QByteArray(R"({"gender":"male"})") << "gender";
    QTest::newRow("gender fraction") << QByteArray(R"({"gender":1.5})") << "gender";
    QTest::newRow("index beyond 32 bits") << QByteArray(R"({"exams":[{"maturixIndex":3000000000}]})")
                                          << "exams[0].maturixIndex";
    QTest::newRow("height text") << QByteArray(R"({"exams":[{"height":"tall"}]})") << "exams[0].height";
    QTest::newRow("height beyond float") << QByteArray(R"({"exams":[{"height":1e300}]})") << "exams[0].height";
    QTest::newRow("exam not an object") << QByteArray(R"({"exams":[1]})") << "exams[0]";
    QTest::newRow("exams not a list") << QByteArray(R"({"exams":{}})") << "exams";
}

void tst_CliPatient::convertRefusesBadJson()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString in = dir.filePath(QStringLiteral("in.json"));
    const QString out = dir.filePath(QStringLiteral("out.bin"));
    QVERIFY(writeFile(in, json));
    const CliResult result = runCli({ "convert", in, out });
    QCOMPARE(result.status, 1);
    QVERIFY2(result.err.contains(reason.toUtf8()), result.err.constData());
    QVERIFY(!QFile::exists(out));
}

void tst_CliPatient::convertNeverLeavesHalfFiles()
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("keep.bin"));
    QVERIFY(writeFile(out, "earlier"));
    const QString bad = dir.filePath(QStringLiteral("bad.bin"));
    QVERIFY(writeFile(bad, "garbage"));
    QCOMPARE(runCli({ "convert", bad, out }).status, 1);
    QCOMPARE(contents(out), QByteArray("earlier"));
    const CliResult unwritable = runCli({ "convert", sample(QStringLiteral("patient-v2.bin")), dir.filePath("no/such/dir/x.bin") });
    QCOMPARE(unwritable.status, 1);
    QVERIFY(unwritable.err.contains("no/such/dir/x.bin"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot).size(), 2);
}

void tst_CliPatient::dump()
{
    const CliResult nib = runCli({ "dump", sample(QStringLiteral("real-applesample-PathDemo-objects.nib")) });
    QCOMPARE(nib.status, 0);
    QVERIFY(nib.out.startsWith("typedstream big-endian, streamer version 4, system version 1000\n"));
    QVERIFY(nib.out.contains("@ #0 NSIBObjectData v224 #1 : NSObject v0 #2"));
    const CliResult patient = runCli({ "dump", sample(QStringLiteral("patient-v3-example.bin")) });
    QCOMPARE(patient.status, 0);
    QVERIFY(patient.out.contains("@ #13 TRRecord -> #11"));
    QVERIFY(patient.out.contains("+ 8 bytes \"Doe^Jane\""));
    const CliResult text = runCli({ "dump", sample(QStringLiteral("README.md")) });
    QCOMPARE(text.status, 1);
    QVERIFY(text.out.isEmpty());
}

void tst_CliPatient::fileTextIsPrintedEscaped()
{
    auto patient = PatientRecord::blank();
    patient->setReferenceString(QStringLiteral("A") + QChar(0) + QStringLiteral("B\u009b%2"));
    patient->setNameString(QStringLiteral("N%1\u0085\u00e9"));
    patient->trRecordsArray().push_back(std::make_unique<TRRecord>(TRRecord::blank()));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("odd.bin"));
    QByteArray bytes = PatientFile::write(*patient);
    QVERIFY(writeFile(path, bytes));
    // A class name of the same length, with placeholders and bytes no text has.
    const QString renamed = dir.filePath(QStringLiteral("renamed.bin"));
    QVERIFY(writeFile(renamed, bytes.replace("TRRecord", QByteArray("TR%2R\x81\x00" "d", 8))));

    const CliResult shown = runCli({ "show", path });
    QCOMPARE(shown.status, 0);
    QVERIFY2(shown.out.contains("Reference: A\\x00B\\x9b%2\n") && shown.out.contains("Name: N%1\\x85\xc3\xa9\n"),
             shown.out.constData());
    // JSON keeps the exact text, with the controls as escapes.
    const CliResult json = runCli({ "show", path, "--json" });
    const QJsonObject object = QJsonDocument::fromJson(json.out).object();
    QCOMPARE(object.value("referenceString").toString(), patient->referenceString());
    QCOMPARE(object.value("nameString").toString(), patient->nameString());
    const CliResult dumped = runCli({ "dump", renamed });
    QCOMPARE(dumped.status, 0);
    QVERIFY2(dumped.out.contains(R"("A\x00B\x9b%2")") && dumped.out.contains(R"(TR%2R\x81\x00d v1 #)"),
             dumped.out.constData());
    // The table goes to a file as it is, but never raw to a terminal.
    QByteArray table = onTerminal({ "show", path, "--csv" });
    QVERIFY2(table.contains("A\\x00B\\x9b%2,N%1\\x85\xc3\xa9,"), table.constData());
    QVERIFY(!holdsControlCharacters(table.replace('\r', "")));
    const CliResult refused = runCli({ "show", renamed });
    QCOMPARE(refused.status, 1);
    QCOMPARE(refused.err.count('\n'), 1);
    QVERIFY2(refused.err.contains(R"(of class TR%2R\x81\x00d, expected TRRecord)"), refused.err.constData());
    for (const CliResult &result : { shown, json, dumped, refused }) {
        QVERIFY(!holdsControlCharacters(result.out) && !holdsControlCharacters(result.err));
        QVERIFY2(!result.err.contains("QString::arg"), result.err.constData());
    }
}

QTEST_GUILESS_MAIN(tst_CliPatient)
#include "tst_clipatient.moc"
