#include "PatientFile.h"
#include "TestSupport.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>

namespace {

QString pydicom(const QString &name)
{
    return QStringLiteral(PYDICOM_TEST_FILES "/") + name;
}

using Changes = QList<std::pair<DcmTagKey, const char *>>;

} // namespace

Q_DECLARE_METATYPE(Changes)

namespace {

// A copy of a pydicom sample with some header elements changed.
bool writeChanged(const QString &sample, const Changes &changes, const QString &path)
{
    DcmFileFormat file;
    if (file.loadFile(QFile::encodeName(sample).constData()).bad())
        return false;
    for (const auto &[tag, value] : changes)
        file.getDataset()->putAndInsertString(tag, value);
    return file.saveFile(QFile::encodeName(path).constData(), file.getDataset()->getOriginalXfer()).good();
}

// MR_small with a VOI LUT of two entries: values up to 600 black, the rest
// white, as the window 601,1 draws them.
bool writeWithVoiLut(const QString &path)
{
    DcmFileFormat file;
    if (file.loadFile(QStringLiteral(PYDICOM_TEST_FILES "/MR_small.dcm").toUtf8().constData()).bad())
        return false;
    DcmItem *lut = nullptr;
    const Uint16 descriptor[] = { 2, 600, 16 };
    const Uint16 data[] = { 0, 65535 };
    return file.getDataset()->findOrCreateSequenceItem(DCM_VOILUTSequence, lut, -2).good()
            && lut->putAndInsertUint16Array(DCM_LUTDescriptor, descriptor, 3).good()
            && lut->putAndInsertUint16Array(DCM_LUTData, data, 2).good()
            && file.saveFile(QFile::encodeName(path).constData(), EXS_LittleEndianExplicit).good();
}

} // namespace

// `maturix-cli image` and `import`, as a script runs them on DICOM images.
class tst_CliRadiograph : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void decodesLikeUncompressed_data();
    void decodesLikeUncompressed();
    void firstViewThroughVoiLut();
    void plausiblePicture_data();
    void plausiblePicture();
    void failures_data();
    void failures();
    void importTwiceGivesOneExamination();
    void importSecondStudy_data();
    void importSecondStudy();

private:
    // The PNG written for the image, or a null image (and the failure logged).
    QImage picture(const QString &dicom, const QStringList &options = {});

    QTemporaryDir m_dir;
    QImage m_reference;
};

QImage tst_CliRadiograph::picture(const QString &dicom, const QStringList &options)
{
    const QString out = m_dir.filePath(QStringLiteral("out.png"));
    QFile::remove(out);
    const CliResult result = runCli(QStringList { "image", dicom, "--png", out } + options);
    if (result.status != 0 || !result.err.isEmpty()) {
        qWarning("%d %s", result.status, result.err.constData());
        return QImage();
    }
    return QImage(out);
}

void tst_CliRadiograph::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_reference = picture(pydicom("MR_small.dcm"));
    QCOMPARE(m_reference.size(), QSize(64, 64));
    QCOMPARE(m_reference.format(), QImage::Format_Grayscale8);
}

void tst_CliRadiograph::decodesLikeUncompressed_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("inverted");
    const Changes monochrome1 { { DCM_PhotometricInterpretation, "MONOCHROME1" } };
    QVERIFY(writeChanged(pydicom("MR_small.dcm"), monochrome1, m_dir.filePath("mono1.dcm")));
    QTest::newRow("big endian") << pydicom("MR_small_bigendian.dcm") << QStringList() << false;
    QTest::newRow("RLE") << pydicom("MR_small_RLE.dcm") << QStringList() << false;
    QTest::newRow("JPEG-LS lossless") << pydicom("MR_small_jpeg_ls_lossless.dcm") << QStringList() << false;
    QTest::newRow("JPEG 2000 lossless") << pydicom("MR_small_jp2klossless.dcm") << QStringList() << false;
    // The file's own window, given by hand, draws the first view again.
    QTest::newRow("the file's window") << pydicom("MR_small.dcm") << QStringList { "--window", "600,1600" }
                                       << false;
    QTest::newRow("MONOCHROME1") << m_dir.filePath("mono1.dcm") << QStringList() << true;
}

void tst_CliRadiograph::firstViewThroughVoiLut()
{
    QVERIFY(writeWithVoiLut(m_dir.filePath("voilut.dcm")));
    const QImage image = picture(m_dir.filePath("voilut.dcm"));
    QVERIFY(!image.isNull());
    QCOMPARE(image, picture(pydicom("MR_small.dcm"), { "--window", "601,1" }));
}

void tst_CliRadiograph::decodesLikeUncompressed()
{
    QFETCH(QString, file);
    QFETCH(QStringList, options);
    QFETCH(bool, inverted);
    QImage expected = m_reference;
    if (inverted)
        expected.invertPixels();
    QCOMPARE(picture(file, options), expected);
}

void tst_CliRadiograph::plausiblePicture_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QSize>("size");
    QTest::newRow("JPEG lossy") << pydicom("JPEG-lossy.dcm") << QSize(256, 1024);
    QTest::newRow("JPEG extended") << pydicom("JPGExtended.dcm") << QSize(256, 1024);
    QTest::newRow("JPEG 2000") << pydicom("JPEG2000.dcm") << QSize(256, 1024);
    QTest::newRow("JPEG 2000 with rescale") << pydicom("693_J2KI.dcm") << QSize(512, 512);
}

void tst_CliRadiograph::plausiblePicture()
{
    QFETCH(QString, file);
    QFETCH(QSize, size);
    const QImage image = picture(file);
    QCOMPARE(image.size(), size);
    // Not blank: most grey levels in use, neither all black nor all white.
    QSet<int> levels;
    qint64 sum = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            levels.insert(qGray(image.pixel(x, y)));
            sum += qGray(image.pixel(x, y));
        }
    QVERIFY2(levels.size() > 64, qPrintable(QString::number(levels.size())));
    const double mean = double(sum) / (size.width() * size.height());
    QVERIFY2(mean > 10 && mean < 245, qPrintable(QString::number(mean)));
}

void tst_CliRadiograph::failures_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("reason");
    QVERIFY(writeFile(m_dir.filePath("notes.dcm"), "Bone age: 9y 6m\n"));
    QTest::newRow("not DICOM") << m_dir.filePath("notes.dcm") << QStringList() << 1 << "not a DICOM file";
    QTest::newRow("no pixels") << pydicom("rtplan.dcm") << QStringList() << 1 << "without an image";
    QTest::newRow("colour") << pydicom("SC_rgb_small_odd.dcm") << QStringList() << 1 << "a colour image";
    QTest::newRow("folder") << m_dir.path() << QStringList() << 1 << "not a regular file";
    QTest::newRow("missing") << m_dir.filePath("none.dcm") << QStringList() << 1 << "no such file";
    QTest::newRow("one number") << pydicom("MR_small.dcm") << QStringList { "--window", "600" } << 2
                                << "--window takes CENTER,WIDTH";
    QTest::newRow("no width") << pydicom("MR_small.dcm") << QStringList { "--window", "600,0" } << 2
                              << "--window takes CENTER,WIDTH";
}

void tst_CliRadiograph::failures()
{
    QFETCH(QString, file);
    QFETCH(QStringList, options);
    QFETCH(int, status);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString out = dir.filePath("out.png");
    const CliResult result = runCli(QStringList { "image", file, "--png", out } + options);
    QCOMPARE(result.status, status);
    QVERIFY2(result.err.contains(reason.toUtf8()), result.err.constData());
    QCOMPARE(result.err.count('\n'), qsizetype(1));
    QVERIFY(QDir(dir.path()).isEmpty(QDir::Files | QDir::Hidden));
}

void tst_CliRadiograph::importTwiceGivesOneExamination()
{
    QTemporaryDir database;
    const QString dicom = m_dir.filePath("patient.dcm");
    QVERIFY(writeChanged(pydicom("MR_small_RLE.dcm"),
                         { { DCM_PatientID, "12/345 b" }, { DCM_PatientBirthDate, "20150302" },
                           { DCM_PatientSex, "M" }, { DCM_PatientName, "Doe^John" } },
                         dicom));
    const QString path = database.filePath("12-345 b.maturix");
    for (int time = 0; time < 2; ++time) {
        const CliResult result = runCli({ "import", dicom, "--database", database.path() });
        QCOMPARE(result.err, QByteArray());
        QCOMPARE(result.status, 0);
        QCOMPARE(result.out, (path + u'\n').toUtf8());
    }
    QCOMPARE(QDir(database.path()).entryList(QDir::Files | QDir::Hidden), QStringList { "12-345 b.maturix" });
    const std::unique_ptr<PatientRecord> record = PatientFile::read(contents(path));
    QVERIFY(record);
    QCOMPARE(record->referenceString(), QStringLiteral("12/345 b"));
    QCOMPARE(record->nameString(), QStringLiteral("Doe, John"));
    QCOMPARE(record->birthDate()->toLocalDateTime().date(), QDate(2015, 3, 2));
    QCOMPARE(record->gender(), 1);
    QCOMPARE(record->trRecordsArray().size(), size_t(1));
    QCOMPARE(record->trRecordsArray().front()->examDate()->toLocalDateTime().date(), QDate(2004, 8, 26));
}

void tst_CliRadiograph::importSecondStudy_data()
{
    QTest::addColumn<Changes>("changes");
    QTest::addColumn<QString>("refusal");
    QTest::addColumn<size_t>("examinations");
    // The first study: MR_small's patient (female) born 2015-03-02, of 2004-08-26.
    QTest::newRow("another date") << Changes { { DCM_StudyDate, "20240105" } } << QString() << size_t(2);
    QTest::newRow("another birth date")
            << Changes { { DCM_StudyDate, "20240105" }, { DCM_PatientBirthDate, "20150304" } }
            << "birth date: 2015-03-02 in the patient file, 2015-03-04 in the image" << size_t(1);
    QTest::newRow("another sex") << Changes { { DCM_StudyDate, "20240105" }, { DCM_PatientSex, "M" } }
                                 << "sex: female in the patient file, male in the image" << size_t(1);
    QTest::newRow("no sex") << Changes { { DCM_StudyDate, "20240105" }, { DCM_PatientSex, "" } }
                            << QString() << size_t(2);
}

void tst_CliRadiograph::importSecondStudy()
{
    QFETCH(Changes, changes);
    QFETCH(QString, refusal);
    QFETCH(size_t, examinations);
    QTemporaryDir database;
    const QString first = m_dir.filePath("first.dcm");
    const QString second = m_dir.filePath("second.dcm");
    QVERIFY(writeChanged(pydicom("MR_small.dcm"), { { DCM_PatientBirthDate, "20150302" } }, first));
    QVERIFY(writeChanged(first, changes, second));
    QCOMPARE(runCli({ "import", first, "--database", database.path() }).status, 0);
    const QString path = database.filePath("4MR1.maturix");
    const QByteArray before = contents(path);
    const CliResult result = runCli({ "import", second, "--database", database.path() });
    QCOMPARE(result.status, refusal.isEmpty() ? 0 : 1);
    QVERIFY2(result.err.contains(refusal.toUtf8()), result.err.constData());
    if (!refusal.isEmpty())
        QCOMPARE(contents(path), before);
    const std::unique_ptr<PatientRecord> record = PatientFile::read(contents(path));
    QVERIFY(record);
    QCOMPARE(record->trRecordsArray().size(), examinations);
    QCOMPARE(record->gender(), 2);
}

QTEST_GUILESS_MAIN(tst_CliRadiograph)
#include "tst_cliradiograph.moc"
