#include "ViewerImage.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// Sample studies shipped with pydicom, read in place.
static QString sampleStudy(const QString &name)
{
    return QStringLiteral(PYDICOM_TEST_FILES "/") + name;
}

class tst_ViewerImage : public QObject
{
    Q_OBJECT

private slots:
    void answersStudyKeyPaths_data();
    void answersStudyKeyPaths();
    void refusesFileThatIsNotDicom();
};

void tst_ViewerImage::answersStudyKeyPaths_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("patientID");
    QTest::addColumn<QDateTime>("date");
    QTest::addColumn<QString>("sex");

    QTest::newRow("CT") << "CT_small.dcm"
                        << "CompressedSamples^CT1"
                        << "1CT1" << QDateTime(QDate(2004, 1, 19), QTime(7, 27, 30)) << "O";
    QTest::newRow("MR") << "MR_small.dcm"
                        << "CompressedSamples^MR1"
                        << "4MR1" << QDateTime(QDate(2004, 8, 26), QTime(18, 50, 59)) << "F";
}

void tst_ViewerImage::answersStudyKeyPaths()
{
    QFETCH(QString, file);
    QFETCH(QString, name);
    QFETCH(QString, patientID);
    QFETCH(QDateTime, date);
    QFETCH(QString, sex);
    if (!QFile::exists(sampleStudy(file)))
        QSKIP("pydicom's sample files are not installed (python3-pydicom)");

    QString error;
    const auto image = ViewerImage::imageWithContentsOfFile(sampleStudy(file), &error);
    QVERIFY2(image, qPrintable(error));
    QCOMPARE(image->valueForKeyPath(QStringLiteral("series.study.name")).toString(), name);
    QCOMPARE(
        image->valueForKeyPath(QStringLiteral("series.study.patientID")).toString(), patientID);
    QCOMPARE(image->valueForKeyPath(QStringLiteral("series.study.date")).toDateTime(), date);
    QCOMPARE(image->valueForKeyPath(QStringLiteral("series.study.patientSex")).toString(), sex);
    // Both studies hold an empty birth date: no value at all.
    QVERIFY(!image->valueForKeyPath(QStringLiteral("series.study.dateOfBirth")).isValid());
    QVERIFY(!image->valueForKeyPath(QStringLiteral("series.study.nothing")).isValid());
}

void tst_ViewerImage::refusesFileThatIsNotDicom()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("notes.dcm"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("not a DICOM file at all");
    file.close();
    QString error;
    QVERIFY(!ViewerImage::imageWithContentsOfFile(path, &error));
    QVERIFY(!error.isEmpty());
}

QTEST_APPLESS_MAIN(tst_ViewerImage)
#include "tst_viewerimage.moc"
