#include "KVPropertyListReader.h"

#include <QDateTime>
#include <QTest>

class tst_KVPropertyListReader : public QObject
{
    Q_OBJECT

private slots:
    void readsEveryType();
    void refuses_data();
    void refuses();
};

// As the platform writes it: declaration, DOCTYPE, tab indentation.
void tst_KVPropertyListReader::readsEveryType()
{
    const QByteArray document = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>array</key>
	<array>
		<integer>-42</integer>
		<integer>18446744073709551615</integer>
		<real>2.5</real>
		<true/>
		<false/>
	</array>
	<key>data</key>
	<data>
	SGVsbG8s
	IHdvcmxk
	</data>
	<key>date</key>
	<date>2026-12-08T09:30:00Z</date>
	<!-- a comment -->
	<key>empty</key>
	<string></string>
	<key>nested</key>
	<dict>
		<key>text</key>
		<string>Charts &amp; tables, café</string>
	</dict>
</dict>
</plist>
)";
    QString error;
    const QVariant value = KVPropertyListReader::propertyListFromData(document, &error);
    QVERIFY2(value.isValid(), qPrintable(error));
    const QVariantMap root = value.toMap();
    QCOMPARE(root.keys(), (QStringList { "array", "data", "date", "empty", "nested" }));
    const QVariantList array = root.value("array").toList();
    QCOMPARE(array, (QVariantList { qlonglong(-42), qulonglong(18446744073709551615ull), 2.5, true, false }));
    QCOMPARE(array.at(0).typeId(), QMetaType::LongLong);
    QCOMPARE(array.at(3).typeId(), QMetaType::Bool);
    QCOMPARE(root.value("data").toByteArray(), QByteArray("Hello, world"));
    QCOMPARE(root.value("date").toDateTime(), QDateTime(QDate(2026, 12, 8), QTime(9, 30), Qt::UTC));
    QCOMPARE(root.value("empty").typeId(), QMetaType::QString);
    QCOMPARE(root.value("nested").toMap().value("text").toString(), QStringLiteral("Charts & tables, café"));
}

void tst_KVPropertyListReader::refuses_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("not XML") << QByteArray("version=2.1");
    QTest::newRow("not UTF-8") << QByteArray("<plist><string>caf\xe9</string></plist>");
    QTest::newRow("unterminated") << QByteArray("<plist><dict><key>a</key><string>b</string>");
    QTest::newRow("two roots") << QByteArray("<plist><true/><false/></plist>");
    QTest::newRow("text after") << QByteArray("<plist><true/></plist>junk");
    QTest::newRow("key without value") << QByteArray("<plist><dict><key>a</key></dict></plist>");
    QTest::newRow("value without key") << QByteArray("<plist><dict><string>a</string></dict></plist>");
    QTest::newRow("key in array") << QByteArray("<plist><array><key>a</key></array></plist>");
    QTest::newRow("element in string") << QByteArray("<plist><string><b>a</b></string></plist>");
    QTest::newRow("unknown element") << QByteArray("<plist><html/></plist>");
    QTest::newRow("bad integer") << QByteArray("<plist><integer>12abc</integer></plist>");
    QTest::newRow("integer too large") << QByteArray("<plist><integer>99999999999999999999</integer></plist>");
    QTest::newRow("bad real") << QByteArray("<plist><real>two</real></plist>");
    QTest::newRow("bad date") << QByteArray("<plist><date>yesterday</date></plist>");
    QTest::newRow("bad data") << QByteArray("<plist><data>!!!</data></plist>");
    QTest::newRow("text in boolean") << QByteArray("<plist><true>no</true></plist>");
    QTest::newRow("declared entity")
            << QByteArray("<!DOCTYPE plist [<!ENTITY a \"x\">]><plist><string>&a;</string></plist>");
    QTest::newRow("undeclared entity") << QByteArray("<plist><string>&a;</string></plist>");
    const int depth = KVPropertyListReader::maximumDepth + 1;
    QTest::newRow("too deep") << "<plist>" + QByteArray("<array>").repeated(depth)
                    + QByteArray("</array>").repeated(depth) + "</plist>";
}

void tst_KVPropertyListReader::refuses()
{
    QFETCH(QByteArray, document);
    QString error;
    QVERIFY(!KVPropertyListReader::propertyListFromData(document, &error).isValid());
    QVERIFY(!error.isEmpty());
}

QTEST_APPLESS_MAIN(tst_KVPropertyListReader)
#include "tst_kvpropertylistreader.moc"
