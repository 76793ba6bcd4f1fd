#include "ScriptedAlertResponder.h"
#include "UserDefaults.h"
#include "VantrelDocument.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

namespace {
// The base alone, with a model of nothing but a count of examinations; it
// records the hooks the base calls, in order.
class CountingDocument : public VantrelDocument
{
public:
    quint64 examinations = 1;
    QStringList calls;

    quint64 lastExam() const override { return examinations ? examinations - 1 : 0; }
    void addExamination() override
    {
        calls << "add";
        m_currentExam = examinations++;
    }
    void deleteCurrentExamination() override
    {
        calls << "delete";
        --examinations;
    }
    void synchronizeFromData() override
    {
        calls << "from";
        updateDisplay();
    }
    void synchronizeToData() override { calls << "to"; }
    void updateArrayOrder() override { calls << "order"; }
    bool lookUp(const QString &key, bool ask) override
    {
        calls << QStringLiteral("lookUp %1 %2").arg(key).arg(ask);
        return false;
    }
    // What a subclass's window load and reading a file set.
    void setFlags(bool blank, bool lookUpRequired)
    {
        m_docIsBlank = blank;
        m_lookUpRequired = lookUpRequired;
    }
    QLineEdit *field(const char *name) const
    {
        return window()->findChild<QLineEdit *>(QString::fromLatin1(name));
    }
};
} // namespace

class tst_VantrelDocument : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void windowSetUp();
    void hookOrder_data();
    void hookOrder();
    void endOfEditing_data();
    void endOfEditing();
    void settersWriteTheFields();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<CountingDocument> m_document;
    std::unique_ptr<ScriptedAlertResponder> m_alerts;
};

void tst_VantrelDocument::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    UserDefaults::setStandardUserDefaults(
            std::make_unique<UserDefaults>(m_dir->filePath(QStringLiteral("defaults.ini"))));
    UserDefaults::standardUserDefaults().setString(QStringLiteral("vnl"),
                                                   QStringLiteral("DataFile Extension"));
    m_alerts = std::make_unique<ScriptedAlertResponder>();
    m_document = std::make_unique<CountingDocument>();
    m_document->makeWindowControllers();
    QVERIFY(m_document->window());
}

void tst_VantrelDocument::cleanup()
{
    m_document.reset();
    m_alerts.reset();
    UserDefaults::setStandardUserDefaults(nullptr);
    m_dir.reset();
}

void tst_VantrelDocument::windowSetUp()
{
    CountingDocument &document = *m_document;
    QCOMPARE(document.windowNibName(), QStringLiteral("VantrelDocument"));
    for (const char *name : { "referenceIDField", "birthDateField", "examDateField", "ageField",
                              "examNumberField" })
        QVERIFY2(document.field(name), name);
    QVERIFY(document.tabView());
    QCOMPARE(document.dataFileExtension(), QStringLiteral("vnl"));
    QVERIFY(document.currentDataPointsVisible());
    QVERIFY(document.showGraphHilite());
    QVERIFY(!document.lookUpRequired());
    QCOMPARE(document.currentExam(), 0u);
    QVERIFY(document.lastPrintedDate() < AbsoluteDate(-6.3e10)); // the distant past
    QVERIFY(document.patientName().isEmpty());
    QVERIFY(document.osiriXStudyID().isEmpty());
}

void tst_VantrelDocument::hookOrder_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<quint64>("examinations");
    QTest::addColumn<quint64>("start");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<quint64>("current");

    // Every display refresh pushes the window into the model first, so each
    // "from" is followed by the refresh's "to".
    QTest::newRow("new examination") << 0 << quint64(1) << quint64(0)
                                     << QStringList { "to", "add", "from", "to" } << quint64(1);
    QTest::newRow("next") << 1 << quint64(3) << quint64(1) << QStringList { "to", "from", "to" }
                          << quint64(2);
    QTest::newRow("next at the end") << 1 << quint64(3) << quint64(2) << QStringList {} << quint64(2);
    QTest::newRow("previous") << 2 << quint64(3) << quint64(1) << QStringList { "to", "from", "to" }
                              << quint64(0);
    QTest::newRow("previous at the start") << 2 << quint64(3) << quint64(0) << QStringList {} << quint64(0);
    QTest::newRow("chart click shows the first") << 3 << quint64(3) << quint64(2)
                                                 << QStringList { "to", "from", "to" } << quint64(0);
    QTest::newRow("remove drops unsaved edits first") << 4 << quint64(3) << quint64(2)
                                                      << QStringList { "from", "to", "delete", "from", "to" }
                                                      << quint64(1);
    QTest::newRow("remove the only one: nothing") << 4 << quint64(1) << quint64(0) << QStringList {}
                                                  << quint64(0);
}

void tst_VantrelDocument::hookOrder()
{
    QFETCH(int, action);
    QFETCH(quint64, examinations);
    QFETCH(quint64, start);
    QFETCH(QStringList, calls);
    QFETCH(quint64, current);
    CountingDocument &document = *m_document;
    document.examinations = examinations;
    while (document.currentExam() < start)
        document.doNextRecord();
    document.calls.clear();
    switch (action) {
    case 0: document.doNewRecord(); break;
    case 1: document.doNextRecord(); break;
    case 2: document.doPreviousRecord(); break;
    case 3: document.setCurrentRecordFromClick(QPointF(12.0, 4.0)); break;
    case 4: document.doDeleteRecord(); break;
    }
    QCOMPARE(document.calls, calls);
    QCOMPARE(document.currentExam(), current);
    QCOMPARE(document.field("examNumberField")->text(),
             calls.isEmpty() ? document.field("examNumberField")->text()
                             : QStringLiteral("%1 of %2").arg(current + 1).arg(document.lastExam() + 1));
    QCOMPARE(document.isDocumentEdited(), action == 0 || (action == 4 && !calls.isEmpty()));
}

void tst_VantrelDocument::endOfEditing_data()
{
    QTest::addColumn<QString>("identifier");
    QTest::addColumn<bool>("blank");
    QTest::addColumn<bool>("lookUpRequired");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QStringList>("calls");

    // No file found: the window is brought in line with the record all the same.
    QTest::newRow("blank, look-up pending") << "ab/12" << true << true << "AB-12"
                                            << QStringList { "lookUp AB-12 1", "order" };
    QTest::newRow("blank, no look-up") << "ab/12" << true << false << "AB-12" << QStringList { "order" };
    QTest::newRow("empty identifier keeps the look-up") << "" << true << true << ""
                                                        << QStringList { "order" };
    QTest::newRow("not blank: as typed") << "ab/12" << false << false << "ab/12"
                                         << QStringList { "order" };
}

void tst_VantrelDocument::endOfEditing()
{
    QFETCH(QString, identifier);
    QFETCH(bool, blank);
    QFETCH(bool, lookUpRequired);
    QFETCH(QString, shown);
    QFETCH(QStringList, calls);

    CountingDocument &document = *m_document;
    document.setFlags(blank, lookUpRequired);
    document.field("referenceIDField")->setText(identifier);
    document.calls.clear();
    document.controlTextDidEndEditing(document.field("examDateField"));
    QCOMPARE(document.calls, calls);
    QCOMPARE(document.field("referenceIDField")->text(), shown);
    QVERIFY(!document.isBlank());
    QCOMPARE(document.lookUpRequired(), lookUpRequired && identifier.isEmpty());
}

void tst_VantrelDocument::settersWriteTheFields()
{
    CountingDocument &document = *m_document;
    document.setIdentifier(QStringLiteral("AB-12"));
    QCOMPARE(document.field("referenceIDField")->text(), QStringLiteral("AB-12"));
    const AbsoluteDate date = AbsoluteDate::fromLocalDate(QDate(2010, 3, 14));
    document.setBirthDate(date);
    QCOMPARE(document.field("birthDateField")->text(),
             QLocale::system().toString(QDate(2010, 3, 14), QLocale::ShortFormat));
    document.setBirthDate(std::nullopt);
    QVERIFY(document.field("birthDateField")->text().isEmpty());
    document.setExamDate(date);
    QVERIFY(!document.field("examDateField")->text().isEmpty());
    document.setName(QStringLiteral("Doe^Jane"));
    document.setName(document.patientName());
    QCOMPARE(document.patientName(), QStringLiteral("Doe^Jane"));
    document.setOsiriXStudyID(QStringLiteral("1.2.3"));
    QCOMPARE(document.osiriXStudyID(), QStringLiteral("1.2.3"));
    QCOMPARE(document.calls, QStringList {}); // setters never reach the model
}

QTEST_MAIN(tst_VantrelDocument)
#include "tst_vantreldocument.moc"
