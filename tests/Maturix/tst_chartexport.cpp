#include "ChartExport.h"
#include "FilePanel.h"
#include "MaturixDocument.h"
#include "MaturixGraphView.h"
#include "NotificationCenter.h"
#include "PreferenceKeys.h"
#include "ScriptedAlertResponder.h"
#include "ScriptedFilePanelResponder.h"
#include "TestSupport.h"
#include "UserDefaults.h"
#include "VantrelAppController.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QPrinter>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>

#include <sys/stat.h>

namespace {
// A patient with three assessed examinations, the first one on show.
void fillIn(MaturixDocument *document, const QString &identifier)
{
    document->setIdentifier(identifier);
    document->setGender(1);
    document->setBirthDate(AbsoluteDate::fromLocalDate(QDate(2012, 3, 9)));
    QComboBox *standards = document->window()->findChild<QComboBox *>(QStringLiteral("maleMaturixPopUp"));
    for (int i = 0; i < 3; ++i) {
        if (i > 0)
            document->doNewRecord();
        document->setExamDate(AbsoluteDate::fromLocalDate(QDate(2020 + i, 5, 1)));
        standards->setCurrentIndex(12 + 2 * i);
        document->directUpdateDisplayAndSetDirty();
    }
    document->doPreviousRecord();
    document->doPreviousRecord();
}

// The application controller with its status line recorded.
class RecordingController : public VantrelAppController
{
public:
    QStringList statuses;
    void showStatusString(const QString &status) override { statuses.append(status); }
};
} // namespace

class tst_ChartExport : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void unattendedExport_data();
    void unattendedExport();
    void interactiveExportUsesPanelWithoutAutoSave();
    void documentExportShowsLatestExamination();
    void folderFallbacks_data();
    void folderFallbacks();
    void failedExportIsReported();
    void exportsStayPrivateAndInTheirFolder_data();
    void exportsStayPrivateAndInTheirFolder();
    void exportToOsirixPostsChartMessage();
    void reportPaths_data();
    void reportPaths();
    void exportedChartHasNoHighlight();
    void chartOfWindowNeverShown();
    void printingToPdf();
    void recentlyPrintedOnceWithin30Seconds();

private:
    MaturixDocument *newDocument(const QString &identifier);
    QString exportFolder() const { return m_home->filePath(QStringLiteral("Exports")); }
    UserDefaults &defaults() { return UserDefaults::standardUserDefaults(); }

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<RecordingController> m_controller;
    std::unique_ptr<ScriptedAlertResponder> m_alerts;
};

void tst_ChartExport::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    qputenv("HOME", m_home->path().toLocal8Bit());
    QVERIFY(QDir(m_home->path()).mkpath(QStringLiteral("Exports")));
    UserDefaults::setStandardUserDefaults(
            std::make_unique<UserDefaults>(m_home->filePath(QStringLiteral("defaults.ini"))));
    // The controller registers its own defaults first, as at launch.
    m_controller = std::make_unique<RecordingController>();
    defaults().registerDefaults({ { PreferenceKeys::DataFileExtension, QStringLiteral("maturix") },
                                  { PreferenceKeys::ExportDirectory, QStringLiteral("~/Exports/") },
                                  { PreferenceKeys::AutoSave, true },
                                  { PreferenceKeys::ExportToOsiriX, false } });
    m_controller->setDefaultType(QStringLiteral("maturix"));
    m_controller->setDocumentFactory([](const QString &) { return new MaturixDocument; });
    m_alerts = std::make_unique<ScriptedAlertResponder>();
}

void tst_ChartExport::cleanup()
{
    for (Document *document : m_controller->documents())
        document->close();
    m_controller.reset();
    m_alerts.reset();
    UserDefaults::setStandardUserDefaults(nullptr);
    m_home.reset();
}

MaturixDocument *tst_ChartExport::newDocument(const QString &identifier)
{
    auto *document = qobject_cast<MaturixDocument *>(m_controller->openUntitledDocumentAndDisplay(true));
    if (!document || !QTest::qWaitForWindowExposed(document->window()))
        return nullptr;
    fillIn(document, identifier);
    return document;
}

void tst_ChartExport::unattendedExport_data()
{
    QTest::addColumn<QString>("identifier");
    QTest::addColumn<bool>("singleTab");
    QTest::addColumn<bool>("existing");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("written");

    QTest::newRow("one tab") << "AB/12" << true << false << 1 << "AB-12.jpg" << true;
    QTest::newRow("two tabs") << "AB/12" << false << false << 1 << "AB-12 Chart.jpg" << true;
    QTest::newRow("no identifier") << "" << true << false << 1 << ".jpg" << true;
    QTest::newRow("overwrite") << "X1" << false << true << 1 << "X1 Chart.jpg" << true;
    QTest::newRow("skip") << "X1" << false << true << 0 << "X1 Chart.jpg" << false;
}

void tst_ChartExport::unattendedExport()
{
    QFETCH(QString, identifier);
    QFETCH(bool, singleTab);
    QFETCH(bool, existing);
    QFETCH(int, answer);
    QFETCH(QString, fileName);
    QFETCH(bool, written);

    MaturixDocument *document = newDocument(identifier);
    // The window has a Chart and a Table tab; a window with one tab keeps
    // the bare identifier.
    while (singleTab && document->tabView()->count() > 1)
        document->tabView()->removeTab(1);
    const QString path = exportFolder() + u'/' + fileName;
    if (existing)
        QVERIFY(writeFile(path, "old"));
    m_alerts->answer(answer);

    QVERIFY(document->autoExport());

    QCOMPARE(m_alerts->alerts().size(), existing ? 1 : 0);
    if (existing) {
        QCOMPARE(m_alerts->alerts()[0].messageText, QStringLiteral("A file with that name already exists"));
        QCOMPARE(m_alerts->alerts()[0].informativeText,
                 QStringLiteral("A file named '%1' is already present in '%2/'.").arg(fileName, exportFolder()));
    }
    QImage image;
    QCOMPARE(image.loadFromData(contents(path), "JPEG"), written);
    // The chart alone, at its size in the window.
    if (written)
        QCOMPARE(image.size(), document->graphView()->size());
    QCOMPARE(QDir(exportFolder()).entryList(QDir::Files | QDir::Hidden), QStringList { fileName });
}

void tst_ChartExport::interactiveExportUsesPanelWithoutAutoSave()
{
    defaults().setBool(false, PreferenceKeys::AutoSave);
    MaturixDocument *document = newDocument(QStringLiteral("X1"));
    const QString chosen = m_home->filePath(QStringLiteral("chosen.jpg"));
    ScriptedFilePanelResponder panels;
    panels.choose(chosen);

    QVERIFY(document->doExport(true));

    QCOMPARE(panels.panels().size(), 1);
    QCOMPARE(panels.panels()[0].prompt(), QStringLiteral("Export"));
    QCOMPARE(panels.panels()[0].title(), QStringLiteral("Export"));
    QVERIFY(QImage::fromData(contents(chosen), "JPEG").width() > 0);
    QVERIFY(QDir(exportFolder()).isEmpty());
}

void tst_ChartExport::documentExportShowsLatestExamination()
{
    defaults().setBool(false, PreferenceKeys::AutoSave);
    MaturixDocument *document = newDocument(QStringLiteral("X1"));
    QCOMPARE(document->currentExam(), quint64(0));
    document->exportChart();
    QCOMPARE(document->currentExam(), quint64(2));
    QVERIFY(QFileInfo::exists(exportFolder() + QStringLiteral("/X1 Chart.jpg")));
}

void tst_ChartExport::folderFallbacks_data()
{
    QTest::addColumn<QString>("configured");
    QTest::addColumn<bool>("desktop");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("statusShown");
    QTest::newRow("made again") << "~/Gone/" << false << "Gone/" << false;
    QTest::newRow("Desktop") << "~/Blocker/Gone" << true << "Desktop/" << false;
    QTest::newRow("home") << "~/Blocker/Gone" << false << "" << true;
}

void tst_ChartExport::folderFallbacks()
{
    QFETCH(QString, configured);
    QFETCH(bool, desktop);
    QFETCH(QString, folder);
    QFETCH(bool, statusShown);
    defaults().setString(configured, PreferenceKeys::ExportDirectory);
    // A file where the folder would have to be made.
    QVERIFY(writeFile(m_home->filePath(QStringLiteral("Blocker")), "file"));
    if (desktop)
        QVERIFY(QDir(m_home->path()).mkpath(QStringLiteral("Desktop")));
    MaturixDocument *document = newDocument(QStringLiteral("X1"));

    QVERIFY(document->autoExport());
    const QString path = QDir(m_home->path()).filePath(folder + QStringLiteral("X1 Chart.jpg"));
    QVERIFY(QFileInfo::exists(path));
    QCOMPARE(document->statusText(), QStringLiteral("Exported to %1").arg(QDir::cleanPath(path)));
    QCOMPARE(m_controller->statuses.size(), statusShown ? 1 : 0);
    if (statusShown)
        QVERIFY(m_controller->statuses[0].contains(QDir::cleanPath(m_home->path())));
}

void tst_ChartExport::failedExportIsReported()
{
    MaturixDocument *document = newDocument(QStringLiteral("X1"));
    // A folder where the chart should go: the write fails, the folder stays.
    const QString path = exportFolder() + QStringLiteral("/X1 Chart.jpg");
    QVERIFY(QDir().mkpath(path));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("could not be exported")));
    m_alerts->answer(1); // Overwrite
    QVERIFY(!document->autoExport());
    QCOMPARE(m_controller->statuses.size(), 1);
    QVERIFY(m_controller->statuses[0].contains(path));

    // Interactive, through the save panel: an alert names the file.
    defaults().setBool(false, PreferenceKeys::AutoSave);
    ScriptedFilePanelResponder panels;
    panels.choose(path);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("could not be exported")));
    QVERIFY(!document->doExport(true));
    QCOMPARE(m_alerts->messageTexts().last(), QStringLiteral("The chart could not be exported"));
    QVERIFY(m_alerts->alerts().last().informativeText.contains(path));
}

void tst_ChartExport::exportsStayPrivateAndInTheirFolder_data()
{
    QTest::addColumn<int>("folderMode");
    QTest::addColumn<QString>("link"); // at the destination: "", "to a file" or "dangling"
    QTest::addColumn<int>("fileMode"); // 0: refused, nothing written

    QTest::newRow("private folder") << 0755 << "" << 0600;
    QTest::newRow("group-writable folder") << 0775 << "" << 0660;
    QTest::newRow("link to a file elsewhere") << 0755 << "to a file" << 0;
    QTest::newRow("dangling link") << 0755 << "dangling" << 0;
}

// An unattended export, under the usual umask.
void tst_ChartExport::exportsStayPrivateAndInTheirFolder()
{
    QFETCH(int, folderMode);
    QFETCH(QString, link);
    QFETCH(int, fileMode);

    QCOMPARE(::chmod(QFile::encodeName(exportFolder()).constData(), mode_t(folderMode)), 0);
    const QString path = exportFolder() + QStringLiteral("/X1 Chart.jpg");
    const QString outside = m_home->filePath(QStringLiteral("outside.jpg"));
    if (link == QStringLiteral("to a file"))
        QVERIFY(writeFile(outside, "another file"));
    if (!link.isEmpty())
        QVERIFY(QFile::link(outside, path));
    m_alerts->answer(1); // Overwrite, if asked
    MaturixDocument *document = newDocument(QStringLiteral("X1"));
    if (fileMode == 0)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("symbolic link")));

    const mode_t savedMask = ::umask(022);
    const bool exported = bool(document->autoExport());
    ::umask(savedMask);

    QCOMPARE(QDir(exportFolder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
             QStringList { QStringLiteral("X1 Chart.jpg") });
    QCOMPARE(exported, fileMode != 0);
    if (fileMode == 0) {
        QCOMPARE(QFileInfo(path).symLinkTarget(), outside);
        QCOMPARE(contents(outside), link == QStringLiteral("to a file") ? QByteArray("another file") : QByteArray());
        QCOMPARE(QFileInfo::exists(outside), link == QStringLiteral("to a file"));
        QVERIFY(m_controller->statuses.last().contains(path));
        return;
    }
    struct stat status;
    QCOMPARE(::lstat(QFile::encodeName(path).constData(), &status), 0);
    QCOMPARE(int(status.st_mode & 07777), fileMode);
}

void tst_ChartExport::reportPaths_data()
{
    QTest::addColumn<QString>("chart");
    QTest::addColumn<QList<QDate>>("dates");
    QTest::addColumn<QStringList>("paths");

    const QDate may(2024, 5, 2);
    const QDate april(2022, 4, 20);
    QTest::newRow("dated") << "/x/AB-12 Chart.jpg" << QList<QDate> { may, april }
                           << QStringList { "/x/AB-12 Chart SR 2024-05-02.dcm", "/x/AB-12 Chart SR 2022-04-20.dcm" };
    QTest::newRow("undated by number") << "/x/ab.jpeg" << QList<QDate> { may, QDate() }
                                       << QStringList { "/x/ab SR 2024-05-02.dcm", "/x/ab SR 2.dcm" };
    QTest::newRow("same day by number") << "/x/AB.x.jpg" << QList<QDate> { may, april, may }
                                        << QStringList { "/x/AB.x SR 1.dcm", "/x/AB.x SR 2022-04-20.dcm",
                                                         "/x/AB.x SR 3.dcm" };
}

void tst_ChartExport::reportPaths()
{
    QFETCH(QString, chart);
    QFETCH(QList<QDate>, dates);
    QFETCH(QStringList, paths);
    QCOMPARE(ChartExport::reportPaths(chart, dates), paths);
}

void tst_ChartExport::exportToOsirixPostsChartMessage()
{
    defaults().setBool(true, PreferenceKeys::ExportToOsiriX);
    MaturixDocument *document = newDocument(QStringLiteral("AB/12"));
    document->setOsiriXStudyID(QStringLiteral("1.2.3"));
    QList<QVariant> messages;
    QObject context;
    NotificationCenter::defaultCenter().addObserver(
            QStringLiteral("BatchExportToOsirix"), &context,
            [&messages](const Notification &notification) { messages.append(notification.object); });

    QVERIFY(document->doExport(true));

    QCOMPARE(messages.size(), 1);
    const QVariantMap message = messages[0].toMap();
    // With the sex, so that the chart is filed under the whole patient.
    QCOMPARE(message.keys(), (QStringList { "DateOfBirth", "DateOfStudy", "Gender", "Identifier",
                                            "JPEG", "OsiriXStudyID", "StudyDescription" }));
    // The identifier as shown: a new document's first edit normalised it.
    QCOMPARE(message["Identifier"].toString(), QStringLiteral("AB-12"));
    QCOMPARE(message["OsiriXStudyID"].toString(), QStringLiteral("1.2.3"));
    QCOMPARE(message["StudyDescription"].toString(), QStringLiteral("Maturix Chart"));
    QCOMPARE(message["DateOfBirth"].value<AbsoluteDate>().toLocalDateTime().date(), QDate(2012, 3, 9));
    QVERIFY(QImage::fromData(message["JPEG"].toByteArray(), "JPEG").width() > 0);
    QVERIFY(QDir(exportFolder()).isEmpty());
    QVERIFY(m_alerts->alerts().isEmpty());
}

void tst_ChartExport::exportedChartHasNoHighlight()
{
    MaturixDocument *document = newDocument(QStringLiteral("X1"));
    auto *chart = document->graphView();
    const QImage onScreen = chart->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage exported = QImage::fromData(document->getJPEGData(), "JPEG").convertToFormat(QImage::Format_RGB32);
    QCOMPARE(exported.size(), onScreen.size());
    QVERIFY(document->showGraphHilite());

    // The two differ only where the screen marks the examination on show:
    // a small grey disc, absent from the export.
    QRect differing;
    int count = 0;
    for (int y = 0; y < onScreen.height(); ++y) {
        for (int x = 0; x < onScreen.width(); ++x) {
            const QColor a = onScreen.pixelColor(x, y);
            const QColor b = exported.pixelColor(x, y);
            if (std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue()) > 60) {
                differing |= QRect(x, y, 1, 1);
                ++count;
            }
        }
    }
    QVERIFY2(count > 20, qPrintable(QString::number(count)));
    QVERIFY2(differing.width() < 30 && differing.height() < 30,
             qPrintable(QStringLiteral("%1x%2").arg(differing.width()).arg(differing.height())));
    const QColor disc = onScreen.pixelColor(differing.center());
    QVERIFY(disc.red() == disc.green() && disc.green() == disc.blue() && disc.red() < 230);
}

// Batch export draws windows that are never shown: the chart is the same.
void tst_ChartExport::chartOfWindowNeverShown()
{
    const QImage shown = QImage::fromData(newDocument(QStringLiteral("X1"))->getJPEGData(), "JPEG");
    auto *hidden = qobject_cast<MaturixDocument *>(m_controller->openUntitledDocumentAndDisplay(false));
    hidden->makeWindowControllers();
    fillIn(hidden, QStringLiteral("X1"));
    const QImage drawn = QImage::fromData(hidden->getJPEGData(), "JPEG");
    QVERIFY(!hidden->window()->isVisible());
    QCOMPARE(drawn.size(), shown.size());
    int differing = 0;
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x)
            differing += qGray(shown.pixel(x, y)) / 32 != qGray(drawn.pixel(x, y)) / 32;
    }
    QVERIFY2(differing < shown.width() * shown.height() / 100, qPrintable(QString::number(differing)));
}

void tst_ChartExport::printingToPdf()
{
    MaturixDocument *document = newDocument(QStringLiteral("AB/12"));
    QCOMPARE(document->currentExam(), quint64(0));
    const QString pdf = m_home->filePath(QStringLiteral("out.pdf"));
    document->printInfo().setOutputFormat(QPrinter::PdfFormat);
    document->printInfo().setOutputFileName(pdf);

    document->printDocumentWithSettings({}, false, {});

    // The latest examination is on show, and stays.
    QCOMPARE(document->currentExam(), quint64(2));
    QCOMPARE(document->printInfo().docName(), QStringLiteral("AB-12"));
    const QByteArray bytes = contents(pdf);
    QCOMPARE(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r"), 1);
    // The title in the document information, as UTF-16.
    QVERIFY(bytes.contains(QByteArray("\0A\0B\0-\0001\0002", 10)));
    QVERIFY(m_alerts->alerts().isEmpty());
}

void tst_ChartExport::recentlyPrintedOnceWithin30Seconds()
{
    MaturixDocument *document = newDocument(QStringLiteral("X1"));
    document->printInfo().setOutputFormat(QPrinter::PdfFormat);
    document->printInfo().setOutputFileName(m_home->filePath(QStringLiteral("out.pdf")));

    document->printDocumentWithSettings({}, false, {});
    QVERIFY(m_alerts->alerts().isEmpty());
    document->printDocumentWithSettings({}, false, {});
    QCOMPARE(m_alerts->messageTexts(), QStringList { "Recently Printed" });
    QCOMPARE(m_alerts->alerts()[0].informativeText,
             QStringLiteral("This document was printed in the last 30 seconds."));
    QCOMPARE(m_alerts->alerts()[0].buttonTitles, QStringList { "OK" });
}

int main(int argc, char *argv[])
{
    qputenv("LC_ALL", "en_US.UTF-8");
    qputenv("TZ", "Europe/Zurich");
    tzset();
    QApplication app(argc, argv);
    tst_ChartExport test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_chartexport.moc"
