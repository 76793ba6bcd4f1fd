#include "DateFormatter.h"
#include "Gender.h"
#include "MaturixDocument.h"
#include "MaturixGraphView.h"
#include "PatientFile.h"
#include "PatientWindowFixture.h"
#include "ScriptedFilePanelResponder.h"
#include "TestSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLabel>
#include <QMimeData>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <ctime>

namespace {
QDate today()
{
    return QDate::currentDate();
}

QString shortDate(const QDate &date)
{
    return DateFormatter().shortDateString(AbsoluteDate::fromLocalDate(date));
}

AbsoluteDate localDate(int y, int m, int d)
{
    return AbsoluteDate::fromLocalDate(QDate(y, m, d));
}

// A patient file with examinations on the first of January of these years.
QByteArray patientFile(const QList<int> &examYears)
{
    std::unique_ptr<PatientRecord> record = PatientRecord::blank();
    record->setReferenceString(QStringLiteral("AB-12"));
    for (int year : examYears) {
        record->addTRRecord();
        record->trRecordsArray().back()->setExamDate(localDate(year, 1, 1));
    }
    return PatientFile::write(*record);
}

} // namespace

class tst_MaturixDocument : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void newDocumentDefaults();
    void firstEndOfEditingNormalisesIdentifier();
    void emptyIdentifierKeepsLookUpPending();
    void editingGuard_data();
    void editingGuard();
    void sexSwitchesStandardsAndRange();
    void twoDigitBirthYear();
    void heightWithOneDecimal();
    void typedEntries_data();
    void typedEntries();
    void reorderKeepsExaminationOnShow();
    void rereadKeepsExaminationOnShow_data();
    void rereadKeepsExaminationOnShow();
    void stepping();
    void arrowKeysStep();
    void removal_data();
    void removal();
    void removingTheOnlyExaminationDoesNothing();
    void chartClickSelectsNearestExamination_data();
    void chartClickSelectsNearestExamination();
    void setGenderThenDisplayUpdate();
    void staleStandardIndexShowsNotAssessed();
    void saveCloseReopen();
    void unchangedFileSavesIdentically();
    void corruptFileIsRefused();
    void highlightOnlyOnScreen();
    void windowFitsALaptopScreen();
    void keyboardReachesEveryControl();

private:
    MaturixDocument *newDocument();
    MaturixDocument *openDocument(const QString &path);
    QLineEdit *field(MaturixDocument *document, const char *name) const;
    QComboBox *popUp(MaturixDocument *document, const char *name) const;
    // Types into a field as a user would, then ends editing with Return.
    void type(MaturixDocument *document, const char *name, const QString &text);
    void choose(MaturixDocument *document, const char *name, int item);
    QString counter(MaturixDocument *document) const;

    std::unique_ptr<PatientWindowFixture> m_fixture;
};

void tst_MaturixDocument::initTestCase()
{
    QVERIFY(QLocale::system().name() == u"en_US");
}

void tst_MaturixDocument::init()
{
    m_fixture = std::make_unique<PatientWindowFixture>();
}

void tst_MaturixDocument::cleanup()
{
    m_fixture.reset();
}

MaturixDocument *tst_MaturixDocument::newDocument()
{
    return m_fixture->newDocument();
}

MaturixDocument *tst_MaturixDocument::openDocument(const QString &path)
{
    return m_fixture->openDocument(path);
}

QLineEdit *tst_MaturixDocument::field(MaturixDocument *document, const char *name) const
{
    return document->window()->findChild<QLineEdit *>(QString::fromLatin1(name));
}

QComboBox *tst_MaturixDocument::popUp(MaturixDocument *document, const char *name) const
{
    return document->window()->findChild<QComboBox *>(QString::fromLatin1(name));
}

void tst_MaturixDocument::type(MaturixDocument *document, const char *name, const QString &text)
{
    QLineEdit *edit = field(document, name);
    QVERIFY(edit);
    edit->setFocus();
    edit->selectAll();
    if (text.isEmpty())
        QTest::keyClick(edit, Qt::Key_Backspace);
    else
        QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

void tst_MaturixDocument::choose(MaturixDocument *document, const char *name, int item)
{
    QComboBox *box = popUp(document, name);
    QVERIFY(box);
    box->setCurrentIndex(item);
    emit box->activated(item); // as a user's choice in the list
}

QString tst_MaturixDocument::counter(MaturixDocument *document) const
{
    return field(document, "examNumberField")->text();
}

void tst_MaturixDocument::newDocumentDefaults()
{
    MaturixDocument *document = newDocument();
    QVERIFY(document);
    QCOMPARE(document->windowNibName(), QStringLiteral("MyDocument"));
    QVERIFY(document->isBlank());
    QVERIFY(document->lookUpRequired());
    QCOMPARE(counter(document), QStringLiteral("1 of 1"));
    QCOMPARE(field(document, "examDateField")->text(), shortDate(today()));
    QCOMPARE(field(document, "heightField")->text(), QString());
    QCOMPARE(field(document, "ageField")->text(), QStringLiteral("-"));
    QVERIFY(popUp(document, "unspecifiedMaturixPopUp")->isVisible());
    QVERIFY(!popUp(document, "maleMaturixPopUp")->isVisible());
    QVERIFY(!popUp(document, "femaleMaturixPopUp")->isVisible());
    QCOMPARE(popUp(document, "maleMaturixPopUp")->count(), 32);
    QCOMPARE(popUp(document, "maleMaturixPopUp")->itemText(9), QStringLiteral("2y 8m"));
    QCOMPARE(popUp(document, "femaleMaturixPopUp")->count(), 28);
    QCOMPARE(popUp(document, "femaleMaturixPopUp")->itemText(0), QStringLiteral("-"));
    QCOMPARE(popUp(document, "genderPopUp")->count(), 3);
    QCOMPARE(document->patientRecord()->trRecordsArray().size(), std::size_t(1));
    QCOMPARE(document->graphView()->maxX(), 20.0);
    QVERIFY(!document->isDocumentEdited());
}

void tst_MaturixDocument::firstEndOfEditingNormalisesIdentifier()
{
    MaturixDocument *document = newDocument();
    type(document, "referenceIDField", QStringLiteral("ab/12"));
    QCOMPARE(field(document, "referenceIDField")->text(), QStringLiteral("AB-12"));
    QVERIFY(!document->isBlank());
    QVERIFY(!document->lookUpRequired());
    QVERIFY(document->isDocumentEdited());
    QVERIFY(m_fixture->alerts.alerts().isEmpty());

    // Later ends of editing keep the identifier as typed.
    m_fixture->alerts.answer(1);
    type(document, "referenceIDField", QStringLiteral("cd/34"));
    QCOMPARE(field(document, "referenceIDField")->text(), QStringLiteral("cd/34"));
    QCOMPARE(document->preferredFileName(), QStringLiteral("cd-34"));
    QCOMPARE(document->patientRecord()->referenceString(), QStringLiteral("cd/34"));
}

void tst_MaturixDocument::emptyIdentifierKeepsLookUpPending()
{
    MaturixDocument *document = newDocument();
    type(document, "birthDateField", QStringLiteral("1/15/2010"));
    QVERIFY(!document->isBlank());
    QVERIFY(document->lookUpRequired());
    QCOMPARE(document->patientRecord()->birthDate(), std::optional(localDate(2010, 1, 15)));
    type(document, "referenceIDField", QStringLiteral("x1"));
    QVERIFY(!document->lookUpRequired());
}

void tst_MaturixDocument::editingGuard_data()
{
    QTest::addColumn<QByteArray>("fieldName");
    QTest::addColumn<QString>("initial");
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("asks");
    QTest::addColumn<bool>("changes");
    const QByteArray id("referenceIDField");
    const QByteArray birth("birthDateField");
    QTest::newRow("identifier, modify") << id << "AB-12" << "key" << 1 << true << true;
    QTest::newRow("identifier, cancel") << id << "AB-12" << "key" << 0 << true << false;
    QTest::newRow("birth date, cancel") << birth << "1/15/10" << "key" << 0 << true << false;
    QTest::newRow("empty identifier") << id << "" << "key" << 0 << false << true;
    QTest::newRow("exam date never asks") << QByteArray("examDateField") << "1/15/10" << "key" << 0
                                          << false << true;
    QTest::newRow("Ctrl+V, cancel") << id << "AB-12" << "Ctrl+V" << 0 << true << false;
    QTest::newRow("menu paste, cancel") << id << "AB-12" << "menu paste" << 0 << true << false;
    QTest::newRow("menu paste, modify") << id << "AB-12" << "menu paste" << 1 << true << true;
    QTest::newRow("menu paste, empty") << id << "" << "menu paste" << 0 << false << true;
    QTest::newRow("drop, cancel") << birth << "1/15/10" << "drop" << 0 << true << false;
    QTest::newRow("drop, modify") << id << "AB-12" << "drop" << 1 << true << true;
    QTest::newRow("input method, cancel") << birth << "1/15/10" << "input method" << 0 << true
                                          << false;
    QTest::newRow("input method, modify") << id << "AB-12" << "input method" << 1 << true << true;
}

void tst_MaturixDocument::editingGuard()
{
    QFETCH(QByteArray, fieldName);
    QFETCH(QString, initial);
    QFETCH(QString, source);
    QFETCH(int, answer);
    QFETCH(bool, asks);
    QFETCH(bool, changes);
    MaturixDocument *document = newDocument();
    QLineEdit *edit = field(document, fieldName.constData());
    edit->setText(initial);
    edit->setFocus();
    edit->end(false);
    m_fixture->alerts.answer(answer);
    QGuiApplication::clipboard()->setText(QStringLiteral("7"));
    // Each way a user changes a field's text, inserting "7" at its end.
    if (source == u"key") {
        QTest::keyClick(edit, Qt::Key_7);
    } else if (source == u"Ctrl+V") {
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    } else if (source == u"menu paste") {
        edit->paste(); // what the context menu's Paste does
    } else if (source == u"drop") {
        QMimeData data;
        data.setText(QStringLiteral("7"));
        const QPoint end(edit->width() - 1, edit->height() / 2);
        QDragEnterEvent enter(end, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(edit, &enter);
        QDropEvent drop(end, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(edit, &drop);
    } else {
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("7"));
        QCoreApplication::sendEvent(edit, &commit);
    }
    QCOMPARE(m_fixture->alerts.alerts().size(), asks ? 1 : 0);
    if (asks) {
        const auto &alert = m_fixture->alerts.alerts().first();
        QCOMPARE(alert.messageText, QStringLiteral("This entry has already been defined"));
        QCOMPARE(alert.informativeText, QStringLiteral("Are you sure you want to modify this item?"));
        QCOMPARE(alert.buttonTitles, (QStringList { "Modify", "Cancel" }));
        QVERIFY(!alert.sheet);
    }
    QCOMPARE(edit->text(), changes ? initial + u'7' : initial);
    QCOMPARE(document->isDocumentEdited(), changes);
    // Once editing has begun, further changes do not ask again; after a
    // refusal the next change asks anew.
    m_fixture->alerts.answer(answer);
    edit->paste();
    QCOMPARE(m_fixture->alerts.alerts().size(), asks ? (changes ? 1 : 2) : 0);
}

void tst_MaturixDocument::sexSwitchesStandardsAndRange()
{
    MaturixDocument *document = newDocument();
    choose(document, "genderPopUp", Gender::Male);
    QCOMPARE(document->patientRecord()->gender(), Gender::Male);
    QVERIFY(popUp(document, "maleMaturixPopUp")->isVisible());
    QVERIFY(!popUp(document, "femaleMaturixPopUp")->isVisible());
    QVERIFY(!popUp(document, "unspecifiedMaturixPopUp")->isVisible());
    QCOMPARE(document->graphView()->maxX(), 20.0);
    QCOMPARE(document->graphView()->maxY(), 20.0);
    QVERIFY(document->isDocumentEdited());

    choose(document, "genderPopUp", Gender::Female);
    QVERIFY(popUp(document, "femaleMaturixPopUp")->isVisible());
    QVERIFY(!popUp(document, "maleMaturixPopUp")->isVisible());
    QCOMPARE(document->graphView()->maxX(), 18.0);
    QCOMPARE(document->graphView()->maxY(), 18.0);

    choose(document, "genderPopUp", Gender::Unspecified);
    QVERIFY(popUp(document, "unspecifiedMaturixPopUp")->isVisible());
    QVERIFY(!popUp(document, "femaleMaturixPopUp")->isVisible());
    QCOMPARE(document->graphView()->maxX(), 18.0); // the last range stays

    choose(document, "genderPopUp", Gender::Male);
    choose(document, "maleMaturixPopUp", 19);
    QCOMPARE(document->patientRecord()->examination(0)->maturixIndex(), 19);
}

void tst_MaturixDocument::twoDigitBirthYear()
{
    MaturixDocument *document = newDocument();
    type(document, "birthDateField", QStringLiteral("3/14/10"));
    QCOMPARE(document->patientRecord()->birthDate(), std::optional(localDate(2010, 3, 14)));
    QCOMPARE(field(document, "birthDateField")->text(), QStringLiteral("3/14/10"));
}

void tst_MaturixDocument::heightWithOneDecimal()
{
    MaturixDocument *document = newDocument();
    type(document, "heightField", QStringLiteral("140"));
    QCOMPARE(document->patientRecord()->examination(0)->height(), 140.0);
    QCOMPARE(field(document, "heightField")->text(), QStringLiteral("140.0"));
    type(document, "heightField", QString());
    QCOMPARE(document->patientRecord()->examination(0)->height(), 0.0);
    QCOMPARE(field(document, "heightField")->text(), QString());
}

void tst_MaturixDocument::typedEntries_data()
{
    // Typed over a birth date of 7/21/12, an examination of 1/10/22 and a
    // height of 150 cm: what the record then holds (a calendar date, a
    // height), what the field shows, and what the notice beside it says.
    QTest::addColumn<QByteArray>("fieldName");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("notice");
    const QByteArray birth("birthDateField");
    const QByteArray exam("examDateField");
    const QByteArray height("heightField");
    const QDate keptBirth(2012, 7, 21);
    const QDate keptExam(2022, 1, 10);
    QTest::newRow("birth date") << birth << "3/14/10" << QVariant(QDate(2010, 3, 14)) << "3/14/10" << "";
    QTest::newRow("birth date, ISO") << birth << "2010-03-14" << QVariant(QDate(2010, 3, 14))
                                     << "3/14/10" << "";
    QTest::newRow("birth date cleared") << birth << "" << QVariant(QDate()) << "" << "";
    QTest::newRow("no 31 February") << birth << "2/31/16" << QVariant(keptBirth) << "7/21/12"
                                    << "is not a date";
    QTest::newRow("day before month") << birth << "15/1/2015" << QVariant(keptBirth) << "7/21/12"
                                      << "is not a date";
    QTest::newRow("another style") << birth << "31 Jan 2016" << QVariant(keptBirth) << "7/21/12"
                                   << "is not a date";
    QTest::newRow("separators lost") << birth << "42012" << QVariant(keptBirth) << "7/21/12"
                                     << "is not a date";
    QTest::newRow("birth in the future, kept") << birth << "1/1/2099" << QVariant(QDate(2099, 1, 1))
                                               << "1/1/99" << "in the future";
    QTest::newRow("examination date") << exam << "1/15/2015" << QVariant(QDate(2015, 1, 15))
                                      << "1/15/15" << "";
    QTest::newRow("examination, impossible") << exam << "13/1/2015" << QVariant(keptExam)
                                             << "1/10/22" << "is not a date";
    QTest::newRow("examination before birth, kept") << exam << "1/1/11" << QVariant(QDate(2011, 1, 1))
                                                    << "1/1/11" << "before the birth date";
    QTest::newRow("29 cm") << height << "29" << QVariant(150.0) << "150.0" << "outside 30 to 250 cm";
    QTest::newRow("30 cm") << height << "30" << QVariant(30.0) << "30.0" << "";
    QTest::newRow("250 cm") << height << "250" << QVariant(250.0) << "250.0" << "";
    QTest::newRow("251 cm") << height << "251" << QVariant(150.0) << "150.0" << "outside";
    QTest::newRow("999 cm") << height << "999" << QVariant(150.0) << "150.0" << "outside";
    QTest::newRow("exponent") << height << "1e3" << QVariant(150.0) << "150.0" << "not a height";
    QTest::newRow("letters") << height << "130.0zz" << QVariant(150.0) << "150.0" << "not a height";
    QTest::newRow("a separator alone") << height << "." << QVariant(150.0) << "150.0" << "not a height";
    QTest::newRow("decimal comma") << height << "130,5" << QVariant(130.5) << "130.5" << "";
    QTest::newRow("kept to the tenth shown") << height << "130.04" << QVariant(130.0) << "130.0" << "";
    QTest::newRow("empty is not measured") << height << "" << QVariant(0.0) << "" << "";
    QTest::newRow("0 is not measured") << height << "0" << QVariant(0.0) << "" << "";
}

void tst_MaturixDocument::typedEntries()
{
    QFETCH(QByteArray, fieldName);
    QFETCH(QString, typed);
    QFETCH(QVariant, stored);
    QFETCH(QString, shown);
    QFETCH(QString, notice);
    MaturixDocument *document = newDocument();
    type(document, "birthDateField", QStringLiteral("7/21/12"));
    type(document, "examDateField", QStringLiteral("1/10/22"));
    type(document, "heightField", QStringLiteral("150"));
    type(document, fieldName.constData(), typed);

    const PatientRecord *record = document->patientRecord();
    const TRRecord *exam = record->examination(0);
    const auto calendarDate = [](const std::optional<AbsoluteDate> &date) {
        return date ? date->toLocalDateTime().date() : QDate();
    };
    if (fieldName == "heightField")
        QCOMPARE(exam->height(), stored.toDouble());
    else
        QCOMPARE(calendarDate(fieldName == "birthDateField" ? record->birthDate() : exam->examDate()),
                 stored.toDate());
    QCOMPARE(field(document, fieldName.constData())->text(), shown);
    const QString noticeName = QString::fromLatin1(fieldName).replace(QStringLiteral("Field"), QStringLiteral("Notice"));
    const auto *label = document->window()->findChild<QLabel *>(noticeName);
    QVERIFY(label);
    QVERIFY2(notice.isEmpty() ? label->text().isEmpty() : label->text().contains(notice),
             qPrintable(label->text()));
    // The age is computed from what the fields show.
    QCOMPARE(field(document, "ageField")->text(), document->chronologicalAgeStringForRecord(0));
}

void tst_MaturixDocument::reorderKeepsExaminationOnShow()
{
    MaturixDocument *document = newDocument();
    type(document, "birthDateField", QStringLiteral("1/1/2000"));
    type(document, "examDateField", QStringLiteral("1/1/2010"));
    document->doNewRecord();
    QCOMPARE(counter(document), QStringLiteral("2 of 2"));
    const TRRecord *added = document->patientRecord()->examination(1);
    type(document, "examDateField", QStringLiteral("1/1/2005"));
    // The edited examination moved to the front and is still on show.
    QCOMPARE(document->patientRecord()->examination(0), added);
    QCOMPARE(document->currentExam(), 0u);
    QCOMPARE(counter(document), QStringLiteral("1 of 2"));
    QCOMPARE(field(document, "examDateField")->text(), QStringLiteral("1/1/05"));
    QCOMPARE(field(document, "ageField")->text(), QStringLiteral("5y 0m"));
}

void tst_MaturixDocument::rereadKeepsExaminationOnShow_data()
{
    QTest::addColumn<QList<int>>("written"); // by another program, examination years
    QTest::addColumn<QString>("counter");
    QTest::addColumn<QString>("examDate");

    QTest::newRow("an earlier examination added") << QList<int> { 2008, 2010, 2012, 2014 }
                                                  << "3 of 4" << "1/1/12";
    QTest::newRow("the examination on show removed: the latest")
            << QList<int> { 2010, 2014 } << "2 of 2" << "1/1/14";
    QTest::newRow("no examination left: a new one") << QList<int>() << "1 of 1"
                                                    << shortDate(today());
}

void tst_MaturixDocument::rereadKeepsExaminationOnShow()
{
    QFETCH(QList<int>, written);
    QFETCH(QString, counter);
    QFETCH(QString, examDate);

    const QString path = m_fixture->dir.filePath(QStringLiteral("AB-12.maturix"));
    QVERIFY(writeFile(path, patientFile({ 2010, 2012, 2014 })));
    MaturixDocument *document = openDocument(path);
    QVERIFY(document);
    document->showExamination(1);
    QCOMPARE(this->counter(document), QStringLiteral("2 of 3"));

    // Another Maturix process writes the file; the notification brings it.
    const QString other = m_fixture->dir.filePath(QStringLiteral("other.maturix"));
    QVERIFY(writeFile(other, patientFile(written)));
    const CliResult converted = runCli({ QStringLiteral("convert"), other, path });
    QVERIFY2(converted.status == 0, converted.err.constData());

    QTRY_COMPARE_WITH_TIMEOUT(this->counter(document), counter, 30000);
    QCOMPARE(field(document, "examDateField")->text(), examDate);
    QCOMPARE(document->patientRecord()->trRecordsArray().size(),
             std::size_t(std::max<qsizetype>(written.size(), 1)));
    QVERIFY(!document->isDocumentEdited());
    QVERIFY(m_fixture->alerts.alerts().isEmpty());
}

void tst_MaturixDocument::stepping()
{
    MaturixDocument *document = newDocument();
    type(document, "examDateField", QStringLiteral("1/1/2001"));
    document->doPreviousRecord();
    document->doNextRecord();
    QCOMPARE(counter(document), QStringLiteral("1 of 1"));
    document->doNewRecord();
    type(document, "examDateField", QStringLiteral("1/1/2002"));
    document->doNewRecord();
    type(document, "examDateField", QStringLiteral("1/1/2003"));
    QCOMPARE(counter(document), QStringLiteral("3 of 3"));
    document->doNextRecord();
    QCOMPARE(document->currentExam(), 2u);
    document->doPreviousRecord();
    document->doPreviousRecord();
    QCOMPARE(counter(document), QStringLiteral("1 of 3"));
    QCOMPARE(field(document, "examDateField")->text(), QStringLiteral("1/1/01"));
    document->doPreviousRecord();
    QCOMPARE(document->currentExam(), 0u);
    // A step writes the field back first.
    field(document, "heightField")->setText(QStringLiteral("80.5"));
    document->doNextRecord();
    QCOMPARE(document->patientRecord()->examination(0)->height(), 80.5);
}

void tst_MaturixDocument::arrowKeysStep()
{
    MaturixDocument *document = newDocument();
    document->doNewRecord();
    document->window()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(document->window()));
    // Through the window, as the system delivers keys, so that shortcuts apply.
    document->tabView()->setFocus();
    QWindow *window = document->window()->windowHandle();
    // A button's shortcut clicks it after its short press animation.
    QTest::keyClick(window, Qt::Key_Left);
    QTRY_COMPARE(document->currentExam(), 0u);
    QTest::keyClick(window, Qt::Key_Right);
    QTRY_COMPARE(document->currentExam(), 1u);
    // In a text field the arrows move the cursor instead.
    field(document, "heightField")->setFocus();
    QTest::keyClick(window, Qt::Key_Left);
    QTest::qWait(300);
    QCOMPARE(document->currentExam(), 1u);
}

void tst_MaturixDocument::removal_data()
{
    QTest::addColumn<int>("onShow");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("expectedCurrent");
    QTest::addColumn<QString>("expectedDate");
    QTest::newRow("first: the former second shows") << 0 << 1 << 0 << "1/1/02";
    QTest::newRow("last: the one before shows") << 2 << 1 << 1 << "1/1/02";
    QTest::newRow("middle") << 1 << 1 << 0 << "1/1/01";
    QTest::newRow("cancel keeps everything") << 1 << 0 << 1 << "1/1/02";
}

void tst_MaturixDocument::removal()
{
    QFETCH(int, onShow);
    QFETCH(int, answer);
    QFETCH(int, expectedCurrent);
    QFETCH(QString, expectedDate);
    MaturixDocument *document = newDocument();
    type(document, "examDateField", QStringLiteral("1/1/2001"));
    for (const char *date : { "1/1/2002", "1/1/2003" }) {
        document->doNewRecord();
        type(document, "examDateField", QString::fromLatin1(date));
    }
    while (document->currentExam() > quint64(onShow))
        document->doPreviousRecord();
    QSignalSpy effect(document, &VantrelDocument::examinationRemovedAt);
    m_fixture->alerts.answer(answer);
    document->doDeleteRecord();
    QCOMPARE(m_fixture->alerts.alerts().size(), 1);
    const auto &alert = m_fixture->alerts.alerts().first();
    QCOMPARE(alert.messageText, QStringLiteral("Are you sure you want to remove this exam?"));
    QCOMPARE(alert.buttonTitles, (QStringList { "Remove", "Cancel" }));
    QCOMPARE(alert.informativeText, QString());
    QVERIFY(alert.sheet);
    QCOMPARE(document->currentExam(), quint64(expectedCurrent));
    QCOMPARE(field(document, "examDateField")->text(), expectedDate);
    const int remaining = answer == 1 ? 2 : 3;
    QCOMPARE(document->patientRecord()->trRecordsArray().size(), std::size_t(remaining));
    QCOMPARE(counter(document), QStringLiteral("%1 of %2").arg(expectedCurrent + 1).arg(remaining));
    QCOMPARE(effect.count(), answer == 1 ? 1 : 0);
}

void tst_MaturixDocument::removingTheOnlyExaminationDoesNothing()
{
    MaturixDocument *document = newDocument();
    document->doDeleteRecord();
    QVERIFY(m_fixture->alerts.alerts().isEmpty());
    QCOMPARE(document->patientRecord()->trRecordsArray().size(), std::size_t(1));
    QVERIFY(!document->isDocumentEdited());
}

void tst_MaturixDocument::chartClickSelectsNearestExamination_data()
{
    QTest::addColumn<QList<int>>("monthsOfAge"); // -1: undated
    QTest::addColumn<double>("x");
    QTest::addColumn<int>("expected");
    QTest::newRow("118 and 125 months, click at 10 years") << QList<int> { 118, 125 } << 10.0 << 0;
    QTest::newRow("nearer later exam") << QList<int> { 100, 125 } << 10.0 << 1;
    QTest::newRow("equal distances keep the earlier") << QList<int> { 117, 123 } << 10.0 << 0;
    QTest::newRow("fraction under the kept whole months") << QList<int> { 116, 123 } << 9.9583333 << 0;
    QTest::newRow("undated never chosen") << QList<int> { -1, 130 } << 0.0 << 1;
    QTest::newRow("far outside the axes") << QList<int> { 12, 200 } << 80.0 << 1;
    QTest::newRow("no dated exam: the first") << QList<int> { -1, -1 } << 5.0 << 0;
}

void tst_MaturixDocument::chartClickSelectsNearestExamination()
{
    QFETCH(QList<int>, monthsOfAge);
    QFETCH(double, x);
    QFETCH(int, expected);
    MaturixDocument *document = newDocument();
    PatientRecord *record = document->patientRecord();
    record->setBirthDate(localDate(2000, 1, 1));
    record->trRecordsArray().clear();
    for (int months : monthsOfAge) {
        record->addTRRecord();
        record->trRecordsArray().back()->setExamDate(
                months < 0 ? std::nullopt
                           : std::optional(AbsoluteDate::fromLocalDate(QDate(2000, 1, 1).addMonths(months))));
    }
    document->synchronizeFromData();
    document->doNextRecord(); // the click starts elsewhere than its choice
    document->setCurrentRecordFromClick(QPointF(x, 3.0));
    QCOMPARE(document->currentExam(), quint64(expected));
}

void tst_MaturixDocument::setGenderThenDisplayUpdate()
{
    MaturixDocument *document = newDocument();
    document->setGender(Gender::Female);
    QCOMPARE(document->patientRecord()->gender(), Gender::Unspecified); // not touched yet
    document->directUpdateDisplayAndSetDirty();
    QCOMPARE(document->patientRecord()->gender(), Gender::Female);
    QVERIFY(popUp(document, "femaleMaturixPopUp")->isVisible());
    QVERIFY(document->isDocumentEdited());
    document->setMaturix(QStringLiteral("6y 10m"));
    document->directUpdateDisplay();
    QCOMPARE(document->patientRecord()->examination(0)->maturixIndex(), 15);
    document->setGender(9);
    document->directUpdateDisplay();
    QCOMPARE(document->patientRecord()->gender(), Gender::Unspecified);
}

void tst_MaturixDocument::staleStandardIndexShowsNotAssessed()
{
    MaturixDocument *document = newDocument();
    choose(document, "genderPopUp", Gender::Male);
    choose(document, "maleMaturixPopUp", 30);
    QCOMPARE(document->patientRecord()->examination(0)->maturixIndex(), 30);
    choose(document, "genderPopUp", Gender::Female);
    QCOMPARE(popUp(document, "femaleMaturixPopUp")->currentIndex(), 0);
    QCOMPARE(document->maturixStringForRecord(0), QStringLiteral("-"));
    QCOMPARE(document->maturixForRecord(0), -1.0);
}

void tst_MaturixDocument::saveCloseReopen()
{
    MaturixDocument *document = newDocument();
    type(document, "referenceIDField", QStringLiteral("ab/12"));
    type(document, "nameField", QStringLiteral("Doe^Jane"));
    type(document, "birthDateField", QStringLiteral("1/15/2010"));
    choose(document, "genderPopUp", Gender::Male);
    type(document, "examDateField", QStringLiteral("3/14/2020"));
    choose(document, "maleMaturixPopUp", 19);
    type(document, "heightField", QStringLiteral("150.3"));
    document->doNewRecord();
    type(document, "examDateField", QString());

    const QString path = m_fixture->dir.filePath(QStringLiteral("AB-12.maturix"));
    bool saved = false;
    document->saveToURL(QUrl::fromLocalFile(path), QStringLiteral("maturix"), Document::SaveOperation,
                        [&](Document *, bool didSave) { saved = didSave; });
    QVERIFY(saved);
    QVERIFY(!document->isDocumentEdited());
    const QByteArray bytes = contents(path);
    document->close();

    MaturixDocument *reopened = openDocument(path);
    QVERIFY(reopened);
    const PatientRecord *record = reopened->patientRecord();
    QCOMPARE(record->referenceString(), QStringLiteral("AB-12"));
    QCOMPARE(record->nameString(), QStringLiteral("Doe^Jane"));
    QCOMPARE(record->birthDate(), std::optional(localDate(2010, 1, 15)));
    QCOMPARE(record->gender(), Gender::Male);
    QCOMPARE(record->trRecordsArray().size(), std::size_t(2));
    QCOMPARE(record->examination(0)->examDate(), std::optional(localDate(2020, 3, 14)));
    QCOMPARE(record->examination(0)->maturixIndex(), 19);
    QCOMPARE(record->examination(0)->height(), 150.3000030517578125);
    QVERIFY(!record->examination(1)->examDate());
    // The window shows the last examination, and the file is not blank.
    QCOMPARE(reopened->currentExam(), 1u);
    QVERIFY(!reopened->isBlank());
    QVERIFY(!reopened->lookUpRequired());
    QCOMPARE(field(reopened, "referenceIDField")->text(), QStringLiteral("AB-12"));
    QCOMPARE(field(reopened, "nameField")->text(), QStringLiteral("Doe^Jane"));
    QCOMPARE(reopened->dataRepresentationOfType(QStringLiteral("maturix")), bytes);
}

void tst_MaturixDocument::unchangedFileSavesIdentically()
{
    // Dates with a time of day and a height the field shows rounded must
    // survive being shown and saved again.
    PatientRecord patient;
    patient.setReferenceString(QStringLiteral("T-1"));
    patient.setBirthDate(AbsoluteDate(284000000.25));
    patient.setGender(Gender::Female);
    patient.examination(0)->setExamDate(AbsoluteDate(700000000.523));
    patient.examination(0)->setHeight(140.25);
    patient.examination(0)->setMaturixIndex(18);
    const QString path = m_fixture->dir.filePath(QStringLiteral("T-1.maturix"));
    const QByteArray original = PatientFile::write(patient);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(original);
    file.close();

    MaturixDocument *document = openDocument(path);
    QVERIFY(document);
    document->doPreviousRecord();
    document->synchronizeToData();
    QCOMPARE(document->dataRepresentationOfType(QStringLiteral("maturix")), original);
}

void tst_MaturixDocument::corruptFileIsRefused()
{
    const QString path = m_fixture->dir.filePath(QStringLiteral("broken.maturix"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::fromHex("040b73747265616d7479706564"));
    file.close();
    QString error;
    QVERIFY(!m_fixture->controller.openDocumentWithContentsOfFile(path, true, &error));
    QVERIFY2(error.contains(QStringLiteral("broken.maturix")), qPrintable(error));
    QVERIFY(m_fixture->controller.documents().isEmpty());

    // Opened with the Open command, a text file is named in plain words; the
    // technical reason is the alert's informative text and goes to the log.
    const QString text = m_fixture->dir.filePath(QStringLiteral("x.maturix"));
    QVERIFY(writeFile(text, "hello\n"));
    const QString reason = QStringLiteral("not a typedstream archive (streamer version 104) at byte 0");
    ScriptedFilePanelResponder panels;
    panels.choose(text);
    QTest::ignoreMessage(QtWarningMsg, qPrintable(text + QStringLiteral(": ") + reason));
    m_fixture->controller.openDocument();
    QCOMPARE(m_fixture->alerts.alerts().size(), 1);
    QCOMPARE(m_fixture->alerts.alerts()[0].messageText, QStringLiteral("“x.maturix” is not a Maturix patient file."));
    QCOMPARE(m_fixture->alerts.alerts()[0].informativeText, reason);
    QVERIFY(m_fixture->controller.documents().isEmpty());
}

void tst_MaturixDocument::highlightOnlyOnScreen()
{
    MaturixDocument *document = newDocument();
    // Outside any drawing there is no screen to mark.
    QVERIFY(!document->shouldShowGraphHilite());
    QVERIFY(document->showGraphHilite());
    QCOMPARE(document->graphView()->owningDocument(), document);
}

void tst_MaturixDocument::windowFitsALaptopScreen()
{
    QWidget *window = newDocument()->window();
    // 1366 x 768 less a desktop panel (about 700 pixels left) and a title bar.
    const QSize laptop(1366, 700 - 40);
    const QSize hint = window->sizeHint();
    QVERIFY2(hint.width() <= laptop.width() && hint.height() <= laptop.height(),
             qPrintable(QStringLiteral("%1 x %2").arg(hint.width()).arg(hint.height())));
    // A smaller window keeps every field and a legible chart.
    window->resize(window->minimumSizeHint());
    QVERIFY(window->minimumSizeHint().height() < laptop.height() - 80);
    QCoreApplication::sendPostedEvents();
    for (const QWidget *child : window->findChildren<QWidget *>()) {
        if (child->isVisible())
            QVERIFY2(window->rect().contains(QRect(child->mapTo(window, QPoint()), child->size())),
                     qPrintable(child->objectName()));
    }
}

void tst_MaturixDocument::keyboardReachesEveryControl()
{
    const QString path = m_fixture->dir.filePath(QStringLiteral("K-1.maturix"));
    PatientRecord record;
    record.setReferenceString(QStringLiteral("K-1"));
    record.setBirthDate(localDate(2015, 6, 1));
    QVERIFY(writeFile(path, PatientFile::write(record)));
    MaturixDocument *document = openDocument(path);
    QWidget *window = document->window();
    QVERIFY(QTest::qWaitForWindowActive(window));
    // An opened patient starts in the examination, where typing asks nothing.
    QCOMPARE(QApplication::focusWidget(), field(document, "examDateField"));

    field(document, "heightField")->setFocus();
    QStringList reached;
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        reached << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(reached, (QStringList { "previousStudyButton", "nextStudyButton", "newStudyButton",
                                     "deleteStudyButton" }));
}

int main(int argc, char *argv[])
{
    // Dates as a US user types them, in a zone with daylight saving.
    qputenv("LC_ALL", "en_US.UTF-8");
    qputenv("TZ", "Europe/Zurich");
    tzset();
    QApplication app(argc, argv);
    tst_MaturixDocument test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_maturixdocument.moc"
