#include "PatientFile.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Pixel (x, y) of the chart's y-up coordinates.
QColor chartPixel(const QImage &image, int x, int y)
{
    return image.pixelColor(x, image.height() - 1 - y);
}

bool isInk(const QImage &image, int x, int y)
{
    return qGray(chartPixel(image, x, y).rgb()) < 192;
}

// Pixels tinted blue (a boy's band) and red (a girl's).
std::pair<int, int> tintedPixels(const QImage &image)
{
    int blue = 0;
    int red = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            blue += c.blue() > c.red() + 40;
            red += c.red() > c.blue() + 40;
        }
    return { blue, red };
}

} // namespace

class tst_CliRender : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void formats_data();
    void formats();
    void pngShowsChartWithoutHighlight();
    void girlChart();
    void jpegAtHighestQuality();
    void failures_data();
    void failures();
    void failureKeepsExistingOutput();
    void help();

private:
    CliResult run(const QStringList &arguments);

    QTemporaryDir m_dir;
};

CliResult tst_CliRender::run(const QStringList &arguments)
{
    // As from a shell without any display or login session: the command must
    // draw off screen on its own, and say nothing beyond its one line.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR" })
        environment.remove(QString::fromLatin1(name));
    return runCli(QStringList { QStringLiteral("render") } + arguments, environment);
}

void tst_CliRender::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void tst_CliRender::formats_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("sizeArguments");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QByteArray>("format");
    QTest::newRow("png default") << "chart.png" << QStringList() << QSize(600, 450) << QByteArray("png");
    QTest::newRow("jpg default") << "chart.jpg" << QStringList() << QSize(600, 450) << QByteArray("jpeg");
    QTest::newRow("pdf default") << "chart.pdf" << QStringList() << QSize(600, 450) << QByteArray("pdf");
    QTest::newRow("png sized") << "small.png" << QStringList { "--width", "320", "--height", "240" }
                               << QSize(320, 240) << QByteArray("png");
    QTest::newRow("jpeg inline sizes") << "wide.JPEG" << QStringList { "--width=800", "--height=300" }
                                       << QSize(800, 300) << QByteArray("jpeg");
    QTest::newRow("pdf sized") << "page.pdf" << QStringList { "--height", "500", "--width", "700" }
                               << QSize(700, 500) << QByteArray("pdf");
    QTest::newRow("upper-case ending") << "CHART.PNG" << QStringList() << QSize(600, 450)
                                       << QByteArray("png");
}

void tst_CliRender::formats()
{
    QFETCH(QString, name);
    QFETCH(QStringList, sizeArguments);
    QFETCH(QSize, size);
    QFETCH(QByteArray, format);
    QTemporaryDir dir;
    const QString out = dir.filePath(name);
    const CliResult result = run(QStringList { sample("patient-v3-example.bin"), "-o", out } + sizeArguments);
    QCOMPARE(result.err, QByteArray());
    QCOMPARE(result.status, 0);
    // The output and nothing else (no temporary file left behind).
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList { name });
    if (format == "pdf") {
        const QByteArray pdf = contents(out);
        QVERIFY(pdf.startsWith("%PDF-"));
        // One page of exactly W x H points.
        QCOMPARE(pdf.count("/Type /Page\n") + pdf.count("/Type /Page "), qsizetype(1));
        const QRegularExpression box(QStringLiteral("/MediaBox \\[\\s*0\\s+0\\s+([0-9.]+)\\s+([0-9.]+)\\s*\\]"));
        const QRegularExpressionMatch match = box.match(QString::fromLatin1(pdf));
        QVERIFY2(match.hasMatch(), "no media box");
        QCOMPARE(match.captured(1).toDouble(), double(size.width()));
        QCOMPARE(match.captured(2).toDouble(), double(size.height()));
        return;
    }
    QImageReader reader(out);
    QCOMPARE(reader.format(), format);
    const QImage image = reader.read();
    QCOMPARE(image.size(), size);
    // On white: the corners hold nothing of the chart.
    QVERIFY(qGray(image.pixel(size.width() - 1, 0)) > 250);
    QVERIFY(qGray(image.pixel(size.width() / 2, 2)) > 250);
}

void tst_CliRender::pngShowsChartWithoutHighlight()
{
    const QString out = m_dir.filePath(QStringLiteral("look.png"));
    QCOMPARE(run({ sample("patient-v3-example.bin"), "--output", out }).status, 0);
    const QImage image(out);
    QCOMPARE(image.size(), QSize(600, 450));
    // The plotting area of a 600 x 450 view is (50, 40, 540, 400), 0-20
    // years for a boy; the examination is at 10y 1m (10.16 years), bone
    // age 10.
    const double age = 3711.0 / 365.25; // days from 15 Jan 2010 to 14 Mar 2020
    const int px = int(age / 20 * 540 + 50.5);
    const int py = int(10.0 / 20 * 400 + 40.5);
    QVERIFY(isInk(image, px + 3, py) || isInk(image, px + 3, py - 1));
    QVERIFY(isInk(image, px, py + 3) || isInk(image, px - 1, py + 3));
    // No grey disc behind it: an export has no highlight.
    int gray = 0;
    for (int y = py - 9; y <= py + 9; ++y)
        for (int x = px - 9; x <= px + 9; ++x) {
            const QColor c = chartPixel(image, x, y);
            if (qAbs(c.red() - 128) <= 2 && c.red() == c.green() && c.green() == c.blue())
                ++gray;
        }
    QVERIFY2(gray < 10, qPrintable(QString::number(gray)));
    // The blue band, and no red.
    const auto [blue, red] = tintedPixels(image);
    QVERIFY(blue > 20000);
    QCOMPARE(red, 0);
}

void tst_CliRender::girlChart()
{
    // A girl with three examinations, written as a patient file.
    PatientRecord record;
    record.setReferenceString(QStringLiteral("G-7"));
    record.setBirthDate(AbsoluteDate::fromLocalDate(QDate(2008, 5, 1)));
    record.setGender(2);
    record.trRecordsArray().clear();
    const QDate dates[] = { QDate(2012, 5, 2), QDate(2016, 5, 2), QDate(2020, 5, 2) };
    const qint64 indexes[] = { 11, 15, 21 };
    for (int i = 0; i < 3; ++i) {
        record.addTRRecord();
        record.examination(i)->setExamDate(AbsoluteDate::fromLocalDate(dates[i]));
        record.examination(i)->setMaturixIndex(indexes[i]);
    }
    const QString in = m_dir.filePath(QStringLiteral("girl.bin"));
    QVERIFY(writeFile(in, PatientFile::write(record)));
    const QString out = m_dir.filePath(QStringLiteral("girl.png"));
    const CliResult result = run({ in, "-o", out });
    QCOMPARE(result.err, QByteArray());
    QCOMPARE(result.status, 0);
    const QImage image(out);
    QCOMPARE(image.size(), QSize(600, 450));
    const auto [blue, red] = tintedPixels(image);
    QVERIFY(red > 20000);
    QCOMPARE(blue, 0);
    // 0-18 years: the tick for 2 lies at 2/18 of the axis, not 2/20.
    const int below = 40 - 3;
    QVERIFY(isInk(image, int(2.0 / 18 * 540 + 50.5), below));
    QVERIFY(!isInk(image, int(2.0 / 20 * 540 + 50.5), below));
}

void tst_CliRender::jpegAtHighestQuality()
{
    const QString png = m_dir.filePath(QStringLiteral("same.png"));
    const QString jpg = m_dir.filePath(QStringLiteral("same.jpg"));
    QCOMPARE(run({ sample("patient-v3-example.bin"), "-o", png }).status, 0);
    QCOMPARE(run({ sample("patient-v3-example.bin"), "-o", jpg }).status, 0);
    const QImage lossless = QImage(png).convertToFormat(QImage::Format_RGB32);
    const QImage lossy = QImage(jpg).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(lossy.size(), lossless.size());
    double total = 0.0;
    for (int y = 0; y < lossless.height(); ++y)
        for (int x = 0; x < lossless.width(); ++x) {
            const QRgb a = lossless.pixel(x, y);
            const QRgb b = lossy.pixel(x, y);
            total += qAbs(qRed(a) - qRed(b)) + qAbs(qGreen(a) - qGreen(b)) + qAbs(qBlue(a) - qBlue(b));
        }
    const double mean = total / (3.0 * lossless.width() * lossless.height());
    // The same drawing, compressed as little as JPEG allows (quality 90
    // already differs about seven times as much).
    QVERIFY2(mean < 0.15, qPrintable(QString::number(mean)));
}

void tst_CliRender::failures_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("status");
    const QString good = sample("patient-v3-example.bin");
    const QString missing = QStringLiteral("/nonexistent/patient.bin");
    QTest::newRow("missing file") << QStringList { missing, "-o", "OUT.png" } << "OUT.png" << 1;
    QTest::newRow("not a patient file") << QStringList { "GARBAGE", "-o", "OUT.png" } << "OUT.png" << 1;
    QTest::newRow("bad json") << QStringList { "GARBAGE.json", "-o", "OUT.pdf" } << "OUT.pdf" << 1;
    QTest::newRow("unwritable output") << QStringList { good, "-o", "no-such-folder/OUT.png" }
                                       << "no-such-folder/OUT.png" << 1;
    QTest::newRow("unknown ending") << QStringList { good, "-o", "OUT.gif" } << "OUT.gif" << 2;
    QTest::newRow("no ending") << QStringList { good, "-o", "OUT" } << "OUT" << 2;
    QTest::newRow("no output") << QStringList { good } << "" << 2;
    QTest::newRow("empty output") << QStringList { good, "-o", "" } << "" << 2;
    QTest::newRow("two files") << QStringList { good, good, "-o", "OUT.png" } << "OUT.png" << 2;
    QTest::newRow("no file") << QStringList { "-o", "OUT.png" } << "OUT.png" << 2;
    QTest::newRow("zero width") << QStringList { good, "-o", "OUT.png", "--width", "0" } << "OUT.png" << 2;
    QTest::newRow("negative height") << QStringList { good, "-o", "OUT.png", "--height", "-5" }
                                     << "OUT.png" << 2;
    QTest::newRow("fractional width") << QStringList { good, "-o", "OUT.png", "--width", "1.5" }
                                      << "OUT.png" << 2;
    QTest::newRow("text height") << QStringList { good, "-o", "OUT.png", "--height", "tall" }
                                 << "OUT.png" << 2;
    QTest::newRow("huge width") << QStringList { good, "-o", "OUT.png", "--width", "10001" }
                                << "OUT.png" << 2;
    QTest::newRow("missing value") << QStringList { good, "-o", "OUT.png", "--width" } << "OUT.png" << 2;
    QTest::newRow("repeated output") << QStringList { good, "-o", "OUT.png", "--output", "B.png" }
                                     << "OUT.png" << 2;
    QTest::newRow("unknown option") << QStringList { good, "-o", "OUT.png", "--scale", "2" }
                                    << "OUT.png" << 2;
    // A bad size is a usage error even when the file is bad too.
    QTest::newRow("usage before file") << QStringList { missing, "-o", "OUT.png", "--width", "0" }
                                       << "OUT.png" << 2;
}

void tst_CliRender::failures()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, output);
    QFETCH(int, status);
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("GARBAGE"), "not a typedstream at all"));
    QVERIFY(writeFile(dir.filePath("GARBAGE.json"), "{ \"exams\": "));
    for (QString &argument : arguments) {
        if (argument.startsWith(u"OUT") || argument.startsWith(u"GARBAGE") || argument.startsWith(u"B.")
            || argument.startsWith(u"no-such-folder"))
            argument = dir.filePath(argument);
    }
    const CliResult result = run(arguments);
    QCOMPARE(result.status, status);
    QCOMPARE(result.out, QByteArray());
    QVERIFY2(result.err.startsWith("maturix-cli render: "), result.err.constData());
    QCOMPARE(result.err.count('\n'), qsizetype(1));
    QVERIFY(result.err.endsWith('\n'));
    // Nothing written: the folder holds only the two inputs.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden).size(),
             qsizetype(2));
    if (!output.isEmpty())
        QVERIFY(!QFile::exists(dir.filePath(output)));
}

void tst_CliRender::failureKeepsExistingOutput()
{
    const QString out = m_dir.filePath(QStringLiteral("kept.png"));
    QVERIFY(writeFile(out, "an earlier chart"));
    const CliResult result = run({ QStringLiteral("/nonexistent/patient.bin"), "-o", out });
    QCOMPARE(result.status, 1);
    QCOMPARE(contents(out), QByteArray("an earlier chart"));
}

void tst_CliRender::help()
{
    const CliResult result = run({ "--help" });
    QCOMPARE(result.status, 0);
    QVERIFY(result.out.startsWith("Usage: maturix-cli render FILE -o OUT"));
    QCOMPARE(result.err, QByteArray());
}

QTEST_MAIN(tst_CliRender)
#include "tst_clirender.moc"
