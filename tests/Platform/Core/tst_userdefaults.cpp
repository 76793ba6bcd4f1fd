#include "UserDefaults.h"

#include <QTemporaryDir>
#include <QTest>

class tst_UserDefaults : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void registeredDefaultAnswersUntilStored();
    void storedValueWinsOverLaterRegistration();
    void valuesSurviveReopening();
    void typedGetters_data();
    void typedGetters();
    void datesKeepTheirExactValue();
    void removeFallsBackToDefault();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString path() const { return m_dir->filePath(QStringLiteral("defaults.ini")); }
};

void tst_UserDefaults::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void tst_UserDefaults::cleanup()
{
    m_dir.reset();
}

void tst_UserDefaults::registeredDefaultAnswersUntilStored()
{
    UserDefaults defaults(path());
    defaults.registerDefaults({ { "Auto Save", true }, { "Days", 7 } });
    QVERIFY(defaults.boolForKey("Auto Save"));
    QVERIFY(!defaults.hasStoredValue("Auto Save"));
    defaults.setBool(false, "Auto Save");
    QVERIFY(!defaults.boolForKey("Auto Save"));
    QCOMPARE(defaults.integerForKey("Days"), 7);
    QCOMPARE(defaults.integerForKey("Missing"), 0);
    QVERIFY(defaults.stringForKey("Missing").isEmpty());
}

void tst_UserDefaults::storedValueWinsOverLaterRegistration()
{
    {
        UserDefaults defaults(path());
        defaults.setString("/data/patients", "Database Folder");
        QVERIFY(defaults.synchronize());
    }
    UserDefaults defaults(path());
    defaults.registerDefaults({ { "Database Folder", "/home/default" } });
    QCOMPARE(defaults.stringForKey("Database Folder"), QStringLiteral("/data/patients"));
}

void tst_UserDefaults::valuesSurviveReopening()
{
    {
        UserDefaults defaults(path());
        defaults.setBool(true, "Flag");
        defaults.setInteger(42, "Count");
        defaults.setString("text with spaces", "Text");
    }
    UserDefaults defaults(path());
    QVERIFY(defaults.boolForKey("Flag"));
    QCOMPARE(defaults.integerForKey("Count"), 42);
    QCOMPARE(defaults.stringForKey("Text"), QStringLiteral("text with spaces"));
}

void tst_UserDefaults::typedGetters_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<bool>("asBool");
    QTest::addColumn<qint64>("asInteger");
    QTest::newRow("YES") << QVariant("YES") << true << qint64(1);
    QTest::newRow("true") << QVariant("true") << true << qint64(1);
    QTest::newRow("false") << QVariant("false") << false << qint64(0);
    QTest::newRow("number text") << QVariant("12") << false << qint64(12);
    QTest::newRow("one") << QVariant("1") << true << qint64(1);
    QTest::newRow("integer") << QVariant(3) << true << qint64(3);
}

void tst_UserDefaults::typedGetters()
{
    QFETCH(QVariant, stored);
    QFETCH(bool, asBool);
    QFETCH(qint64, asInteger);
    {
        UserDefaults defaults(path());
        defaults.setObject(stored, "Key");
    }
    const UserDefaults defaults(path()); // read back as the INI file gives it
    QCOMPARE(defaults.boolForKey("Key"), asBool);
    QCOMPARE(defaults.integerForKey("Key"), asInteger);
}

void tst_UserDefaults::datesKeepTheirExactValue()
{
    const AbsoluteDate date(700000000.523456789);
    {
        UserDefaults defaults(path());
        defaults.setDate(date, "Last Check");
    }
    const UserDefaults defaults(path());
    QCOMPARE(defaults.dateForKey("Last Check"), std::optional(date));
    QVERIFY(!defaults.dateForKey("Never Set"));
}

void tst_UserDefaults::removeFallsBackToDefault()
{
    UserDefaults defaults(path());
    defaults.registerDefaults({ { "Days", 7 } });
    defaults.setInteger(30, "Days");
    defaults.removeObjectForKey("Days");
    QCOMPARE(defaults.integerForKey("Days"), 7);
}

QTEST_APPLESS_MAIN(tst_UserDefaults)
#include "tst_userdefaults.moc"
