#include "AtomicFile.h"
#include "ChartSample.h"
#include "DicomFileCheck.h"
#include "SecondaryCaptureWriter.h"

#include <dcmtk/dcmdata/dcmetinf.h>

#include <QTemporaryDir>
#include <QTest>

using namespace ChartSample;

// The plug-in's way of filing a chart in the viewer's incoming folder.
static bool writeAsThePlugInDoes(const SecondaryCaptureWriter &writer, const QString &path,
                                 QString *error)
{
    const QByteArray bytes = writer.data(error);
    return !bytes.isEmpty() && AtomicFile::write(path, bytes, error);
}

static QImage throughJpeg(const QImage &image)
{
    return QImage::fromData(jpeg(image), "JPEG");
}

class tst_SecondaryCaptureWriter : public QObject
{
    Q_OBJECT

private slots:
    void writesValidImageOfPatient_data();
    void writesValidImageOfPatient();
    void cleansValuesPastTheirLimits_data();
    void cleansValuesPastTheirLimits();
    void refusesWhatCannotBeStored_data();
    void refusesWhatCannotBeStored();
};

void tst_SecondaryCaptureWriter::writesValidImageOfPatient_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QDate>("birthDate");
    QTest::addColumn<QString>("photometric");
    QTest::addColumn<QColor>("expected");
    QTest::addColumn<int>("tolerance");

    QTest::newRow("chart JPEG 600x450") << throughJpeg(chart(QImage::Format_RGB32)) << "Doe^Jane"
                                        << QDate(2014, 3, 9) << "RGB" << bandColour << 6;
    // Stored B, G, R, A in memory: the file must still say R, G, B.
    QTest::newRow("32-bit with alpha") << chart(QImage::Format_ARGB32) << "Doe^Jane"
                                       << QDate(2014, 3, 9) << "RGB" << bandColour << 0;
    // Rows of 3 × 601 bytes are padded to 1 804 in memory.
    QTest::newRow("24-bit with padded rows")
        << chart(QImage::Format_RGB888, QSize(601, 450)) << "Doe^Jane" << QDate(2014, 3, 9) << "RGB"
        << bandColour << 0;
    QTest::newRow("greyscale, no birth date")
        << chart(QImage::Format_Grayscale8) << "Doe^Jane" << QDate() << "MONOCHROME2"
        << QColor(qGray(bandColour.rgb()), qGray(bandColour.rgb()), qGray(bandColour.rgb())) << 1;
    QTest::newRow("name beyond ASCII")
        << chart(QImage::Format_RGB32) << QString::fromUtf8("Müller^Zoë") << QDate(2015, 12, 31)
        << "RGB" << bandColour << 0;
}

void tst_SecondaryCaptureWriter::writesValidImageOfPatient()
{
    QFETCH(QImage, image);
    QFETCH(QString, name);
    QFETCH(QDate, birthDate);
    QFETCH(QString, photometric);
    QFETCH(QColor, expected);
    QFETCH(int, tolerance);

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("VNL-10001-1.dcm"));
    const QDateTime captured(QDate(2026, 12, 8), QTime(9, 30, 15));
    SecondaryCaptureWriter writer(image, captured);
    writer.setPatientsName(name);
    writer.setPatientID(QStringLiteral("12-345-6"));
    if (birthDate.isValid())
        writer.setPatientsBirthDate(birthDate);
    writer.setStudyDescription(QStringLiteral("Maturix Chart"));
    QString error;
    QVERIFY2(writeAsThePlugInDoes(writer, path, &error), qPrintable(error));
    // Nothing but the finished file is left in the folder, readable by its
    // owner alone.
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
        QStringList { QStringLiteral("VNL-10001-1.dcm") });
    QCOMPARE(QFile::permissions(path) & ~(QFile::ReadUser | QFile::WriteUser),
        QFile::ReadOwner | QFile::WriteOwner);

    const DicomFileCheck check(path);
    QVERIFY(check.loaded);
    const QStringList findings = check.verifierErrors() + check.verifierWarnings();
    QVERIFY2(findings.isEmpty(), qPrintable(findings.join(u'\n')));
    // Identified under our own root, written by our own implementation.
    QVERIFY(check.string(DCM_SOPInstanceUID).startsWith(QStringLiteral("2.25.")));
    OFString implementation;
    check.file.getMetaInfo()->findAndGetOFString(DCM_ImplementationVersionName, implementation);
    QVERIFY(QByteArray(implementation.c_str()).startsWith("MATURIX_"));
    QCOMPARE(check.string(DCM_PatientName), name);
    QCOMPARE(check.string(DCM_PatientID), QStringLiteral("12-345-6"));
    QCOMPARE(check.string(DCM_PatientBirthDate),
        birthDate.isValid() ? birthDate.toString(QStringLiteral("yyyyMMdd")) : QString());
    QCOMPARE(check.string(DCM_StudyDescription), QStringLiteral("Maturix Chart"));
    QCOMPARE(check.string(DCM_SeriesDescription), QStringLiteral("Maturix Chart"));
    QCOMPARE(check.string(DCM_StudyDate), QStringLiteral("20261208"));
    QCOMPARE(check.string(DCM_SeriesTime), QStringLiteral("093015"));
    QCOMPARE(check.string(DCM_PhotometricInterpretation), photometric);
    QCOMPARE(check.string(DCM_BurnedInAnnotation), QStringLiteral("YES"));
    QCOMPARE(check.integer(DCM_SamplesPerPixel), photometric == "RGB" ? 3L : 1L);
    QCOMPARE(check.integer(DCM_Columns), long(image.width()));
    QCOMPARE(check.integer(DCM_Rows), long(image.height()));
    QCOMPARE(QString::fromLatin1(DcmXfer(check.file.getDataset()->getOriginalXfer()).getXferID()),
        QStringLiteral("1.2.840.10008.1.2.1"));

    const QColor inside = check.pixel(inBand.x(), inBand.y());
    QVERIFY2(isNear(inside, expected, tolerance), qPrintable(inside.name()));
    QCOMPARE(check.pixel(10, 10).lightness() >= 250, true);
    QCOMPARE(check.pixel(image.width() - 1, image.height() - 1).lightness() >= 250, true);
}

// Whatever a name or identifier holds, the chart is written, with the
// nearest valid values.
void tst_SecondaryCaptureWriter::cleansValuesPastTheirLimits_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("patientID");
    QTest::addColumn<QString>("writtenName");
    QTest::addColumn<QString>("writtenID");

    const QString x70(70, u'X');
    // A backslash would split a value into two.
    QTest::newRow("backslash") << "Doe\\Jane" << "12\\345" << "Doe/Jane" << "12/345";
    QTest::newRow("control characters") << "Doe^Ja\tne\n" << "\x1b" "12\r345" << "Doe^Jane" << "12345";
    QTest::newRow("LO 64") << "Doe" << x70 << "Doe" << x70.left(64);
    QTest::newRow("PN 64 per group") << x70 + "^Jane" << "1" << x70.left(64) << "1";
    QTest::newRow("PN five components")
        << "A^B^C^D^E^F^G" << "1" << "A^B^C^D^E F G" << "1";
    QTest::newRow("PN three groups") << "A=B=C=D" << "1" << "A=B=C D" << "1";
    // Lengths count bytes of UTF-8, and a character is never cut.
    QTest::newRow("beyond ASCII") << QString(40, QChar(0xe9)) << QString(40, QChar(0xe9))
                                  << QString(32, QChar(0xe9)) << QString(32, QChar(0xe9));
    QTest::newRow("spaces") << "  Doe^Jane  " << "  12  " << "Doe^Jane" << "12";
}

void tst_SecondaryCaptureWriter::cleansValuesPastTheirLimits()
{
    QFETCH(QString, name);
    QFETCH(QString, patientID);
    QFETCH(QString, writtenName);
    QFETCH(QString, writtenID);

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("cleaned.dcm"));
    SecondaryCaptureWriter writer(chart(QImage::Format_RGB32));
    writer.setPatientsName(name);
    writer.setPatientID(patientID);
    QString error;
    QVERIFY2(writeAsThePlugInDoes(writer, path, &error), qPrintable(error));
    const DicomFileCheck check(path);
    const QStringList errors = check.verifierErrors();
    QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n')));
    QCOMPARE(check.string(DCM_PatientName), writtenName);
    QCOMPARE(check.string(DCM_PatientID), writtenID);
}

void tst_SecondaryCaptureWriter::refusesWhatCannotBeStored_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<QString>("patientID");
    QTest::addColumn<bool>("linked"); // a symbolic link, to nowhere, where the file is to go

    QTest::newRow("no picture") << QImage() << "12-345-6" << false;
    // Writing through it would put the file wherever the link points.
    QTest::newRow("link at the destination") << chart(QImage::Format_RGB32) << "12-345-6" << true;
}

void tst_SecondaryCaptureWriter::refusesWhatCannotBeStored()
{
    QFETCH(QImage, image);
    QFETCH(QString, patientID);
    QFETCH(bool, linked);

    QTemporaryDir folder;
    QTemporaryDir elsewhere;
    const QString path = folder.filePath(QStringLiteral("refused.dcm"));
    const QString target = elsewhere.filePath(QStringLiteral("refused.dcm"));
    if (linked)
        QVERIFY(QFile::link(target, path));
    SecondaryCaptureWriter writer(image);
    writer.setPatientID(patientID);
    QString error;
    QVERIFY(!writeAsThePlugInDoes(writer, path, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
        linked ? QStringList { QStringLiteral("refused.dcm") } : QStringList {});
    QVERIFY(QDir(elsewhere.path()).isEmpty());
}

QTEST_MAIN(tst_SecondaryCaptureWriter)
#include "tst_secondarycapturewriter.moc"
