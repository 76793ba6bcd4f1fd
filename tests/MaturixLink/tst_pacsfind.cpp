#include "DicomUid.h"
#include "OrthancServer.h"
#include "PacsRetrieve.h"
#include "PacsSender.h"
#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcmetinf.h>
#include <dcmtk/dcmdata/dcuid.h>

namespace {

struct SampleImage
{
    QString file;
    QString studyInstanceUID;
    QString sopInstanceUID;
};

// A sample image made into an image of the patient (new identifiers, the
// study's date, modality and description), written in its own transfer
// syntax; its path.
QString imageOf(const SampleImage &image, const QString &folder, const QString &patientID,
                const QString &patientName, const QString &studyDate, const QString &modality, const QString &description,
                const char *sopClass = nullptr)
{
    DcmFileFormat file;
    if (file.loadFile(QFile::encodeName(QStringLiteral(PYDICOM_TEST_FILES "/") + image.file).constData()).bad())
        return {};
    DcmDataset *data = file.getDataset();
    auto put = [data](const DcmTagKey &tag, const QString &value) {
        data->putAndInsertString(tag, value.toUtf8().constData());
    };
    put(DCM_PatientID, patientID);
    put(DCM_PatientName, patientName);
    put(DCM_PatientBirthDate, QStringLiteral("20100314"));
    put(DCM_PatientSex, QStringLiteral("F"));
    put(DCM_StudyInstanceUID, image.studyInstanceUID);
    put(DCM_SeriesInstanceUID, QString::fromLatin1(DicomUid::generate()));
    put(DCM_SOPInstanceUID, image.sopInstanceUID);
    if (sopClass)
        put(DCM_SOPClassUID, QString::fromLatin1(sopClass));
    put(DCM_StudyDate, studyDate);
    put(DCM_Modality, modality);
    put(DCM_StudyDescription, description);
    // The meta header follows the new identifiers.
    file.getMetaInfo()->clear();
    const QString path = QDir(folder).filePath(image.sopInstanceUID + QStringLiteral(".dcm"));
    const E_TransferSyntax transferSyntax = data->getOriginalXfer();
    return file.saveFile(QFile::encodeName(path).constData(), transferSyntax).good() ? path : QString();
}

QString sopInstanceUIDOf(const QString &path)
{
    DcmFileFormat file;
    OFString uid;
    if (file.loadFile(QFile::encodeName(path).constData()).good())
        file.getDataset()->findAndGetOFString(DCM_SOPInstanceUID, uid);
    return QString::fromLatin1(uid.c_str());
}

} // namespace

// Finding a patient's studies in a PACS and fetching one, as maturix-cli
// does, against a real Orthanc holding two studies of one patient.
class tst_PacsFind : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void find_data();
    void find();
    void fetch_data();
    void fetch();
    void cancelLeavesNothing();

private:
    QString pacs() const
    {
        return QStringLiteral("%1@127.0.0.1:%2").arg(OrthancServer::aeTitle).arg(m_server.dicomPort());
    }

    QTemporaryDir m_dir;
    OrthancServer m_server;
    QString m_handStudy = QString::fromLatin1(DicomUid::generate());
    QString m_followUpStudy = QString::fromLatin1(DicomUid::generate());
    QList<SampleImage> m_handImages;
    // Another patient's radiograph, as the PACS holds it: JPEG 2000.
    SampleImage m_compressed { "MR_small_jp2klossless.dcm", QString::fromLatin1(DicomUid::generate()),
                               QString::fromLatin1(DicomUid::generate()) };
};

void tst_PacsFind::initTestCase()
{
    QVERIFY2(m_server.start(), "Orthanc did not start");
    m_handImages = { { "CT_small.dcm", m_handStudy, QString::fromLatin1(DicomUid::generate()) },
                     { "MR_small.dcm", m_handStudy, QString::fromLatin1(DicomUid::generate()) } };
    const SampleImage followUp { "MR_small.dcm", m_followUpStudy, QString::fromLatin1(DicomUid::generate()) };
    QList<QByteArray> files;
    auto read = [](const QString &path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    for (const SampleImage &image : std::as_const(m_handImages))
        files.append(read(imageOf(image, m_dir.path(), "FIND-1", "Doe^Jane", "20200314", "CR", "Left hand")));
    files.append(read(imageOf(followUp, m_dir.path(), "FIND-1", "Doe^Jane", "20210601", "DX", "Follow-up")));
    for (const PacsResult &result : PacsSender::store(*PacsAddress::fromString(pacs()), files))
        QVERIFY2(result.confirmed, qPrintable(result.reason));

    // DCMTK's storescu, as our sender proposes only uncompressed syntaxes.
    const QString compressed = imageOf(m_compressed, m_dir.path(), "FIND-2", "Roe^Ann", "20220101", "CR", "Hand",
                                       UID_ComputedRadiographyImageStorage);
    QProcess storescu;
    storescu.start(QStringLiteral("storescu"), { "-xv", "-aec", OrthancServer::aeTitle, "127.0.0.1",
                                                 QString::number(m_server.dicomPort()), compressed });
    QVERIFY(storescu.waitForFinished());
    QCOMPARE(storescu.exitCode(), 0);
}

void tst_PacsFind::find_data()
{
    QTest::addColumn<QStringList>("arguments");
    // "DATE UID MODALITIES IMAGES DESCRIPTION" per line, the latest first.
    QTest::addColumn<QStringList>("lines");

    const QString hand = QStringLiteral("2020-03-14\t%1\tCR\t2\tLeft hand").arg(m_handStudy);
    const QString followUp = QStringLiteral("2021-06-01\t%1\tDX\t1\tFollow-up").arg(m_followUpStudy);
    QTest::newRow("by identifier") << QStringList { "--id", "FIND-1" } << QStringList { followUp, hand };
    QTest::newRow("by name, wildcard") << QStringList { "--name", "DOE^J*" } << QStringList { followUp, hand };
    QTest::newRow("date range") << QStringList { "--id", "FIND-1", "--from", "2020-01-01", "--to", "2020-12-31" }
                                << QStringList { hand };
    QTest::newRow("from a date on") << QStringList { "--id", "FIND-1", "--from", "2021-06-01" }
                                    << QStringList { followUp };
    QTest::newRow("modality") << QStringList { "--id", "FIND-1", "--modality", "dx" } << QStringList { followUp };
    QTest::newRow("no such patient") << QStringList { "--id", "NOBODY" } << QStringList();
}

void tst_PacsFind::find()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, lines);

    const CliResult result = runCli(QStringList { "find", "--pacs", pacs() } + arguments);
    QCOMPARE(result.err, QByteArray());
    QCOMPARE(result.status, 0);
    QCOMPARE(QString::fromUtf8(result.out).split(u'\n', Qt::SkipEmptyParts), lines);
}

void tst_PacsFind::fetch_data()
{
    QTest::addColumn<QString>("study");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("instances");

    QStringList hand;
    for (const SampleImage &image : std::as_const(m_handImages))
        hand.append(image.sopInstanceUID);
    hand.sort();
    const QStringList move { "--move", QString::number(m_server.retrievePort()) };
    QTest::newRow("C-GET") << m_handStudy << QStringList() << hand;
    QTest::newRow("C-MOVE to our port") << m_handStudy << move << hand;
    QTest::newRow("C-GET, JPEG 2000 radiograph") << m_compressed.studyInstanceUID << QStringList()
                                                 << QStringList { m_compressed.sopInstanceUID };
    QTest::newRow("C-MOVE, JPEG 2000 radiograph") << m_compressed.studyInstanceUID << move
                                                  << QStringList { m_compressed.sopInstanceUID };
}

void tst_PacsFind::fetch()
{
    QFETCH(QString, study);
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, instances);

    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("study"));
    const CliResult result = runCli(QStringList { "fetch", "--pacs", pacs(), "--study", study, "--to", folder }
                                    + arguments);
    QCOMPARE(result.err, QByteArray());
    QCOMPARE(result.status, 0);

    QStringList received;
    for (const QString &path : QString::fromUtf8(result.out).split(u'\n', Qt::SkipEmptyParts)) {
        QCOMPARE(QFileInfo(path).dir().path(), folder);
        received.append(sopInstanceUIDOf(path));
    }
    received.sort();
    QCOMPARE(received, instances);
}

// Cancelled after the first image: no part of the study is left to be
// mistaken for all of it.
void tst_PacsFind::cancelLeavesNothing()
{
    QTemporaryDir dir;
    const PacsRetrieve::Answer answer = PacsRetrieve::retrieve(
            *PacsAddress::fromString(pacs()), m_handStudy, dir.path(), 0,
            [](int received, int) { return received < 1; });
    QVERIFY(!answer.result.confirmed);
    QCOMPARE(answer.result.reason, QStringLiteral("The retrieval was cancelled."));
    QCOMPARE(answer.files, QStringList());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
}

QTEST_GUILESS_MAIN(tst_PacsFind)
#include "tst_pacsfind.moc"
