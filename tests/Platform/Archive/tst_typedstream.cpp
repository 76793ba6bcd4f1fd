#include "Archiver.h"
#include "PrintableText.h"
#include "TestSupport.h"
#include "TypedStreamPrinter.h"
#include "Unarchiver.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <cmath>
#include <limits>

namespace {

const QByteArray header = QByteArray::fromHex("040b73747265616d747970656481e803");

QByteArray written(const std::function<void(Archiver &)> &encode)
{
    Archiver archiver;
    encode(archiver);
    return archiver.archivedData().mid(header.size());
}

// The single top-level object of an archive.
const TypedStreamEntry *rootObject(const Unarchiver &archive)
{
    return archive.entry(archive.groups().at(0).values.at(0).reference);
}

} // namespace

class TestTypedStream : public QObject
{
    Q_OBJECT

private slots:
    void compactIntegers_data();
    void compactIntegers();
    void realCompaction_data();
    void realCompaction();
    void writerReproducesMacOSArchives_data();
    void writerReproducesMacOSArchives();
    void walksEveryRealArchive();
    void decodesFoundationValues();
    void unsignedAndSmallIntegers();
    void sharesClassesAndStrings();
    void objectMayReferToItself();
    void rejectsMalformedStreams_data();
    void rejectsMalformedStreams();
    void boundsObjectNesting();
    void boundsValueCount();
    void printableText_data();
    void printableText();
    void fileTextInReasonsIsEscapedNotFormatted_data();
    void fileTextInReasonsIsEscapedNotFormatted();
};

void TestTypedStream::compactIntegers_data()
{
    QTest::addColumn<qint64>("value");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("1") << qint64(1) << QByteArray::fromHex("01");
    QTest::newRow("19") << qint64(19) << QByteArray::fromHex("13");
    QTest::newRow("-1") << qint64(-1) << QByteArray::fromHex("ff");
    QTest::newRow("127") << qint64(127) << QByteArray::fromHex("7f");
    QTest::newRow("-110") << qint64(-110) << QByteArray::fromHex("92");
    QTest::newRow("-111") << qint64(-111) << QByteArray::fromHex("8191ff");
    QTest::newRow("128") << qint64(128) << QByteArray::fromHex("818000");
    QTest::newRow("1000") << qint64(1000) << QByteArray::fromHex("81e803");
    QTest::newRow("32767") << qint64(32767) << QByteArray::fromHex("81ff7f");
    QTest::newRow("-32767") << qint64(-32767) << QByteArray::fromHex("810180");
    QTest::newRow("-32768") << qint64(-32768) << QByteArray::fromHex("82 0080ffff");
    QTest::newRow("285206400") << qint64(285206400) << QByteArray::fromHex("8280e7ff10");
    QTest::newRow("-9000000000") << qint64(-9000000000) << QByteArray::fromHex("8700e68ee7fdffffff");
}

void TestTypedStream::compactIntegers()
{
    QFETCH(qint64, value);
    QFETCH(QByteArray, bytes);
    QCOMPARE(written([&](Archiver &a) { a.writeInteger(value); }).toHex(), bytes.toHex());

    Unarchiver archive;
    QVERIFY2(archive.read(header + QByteArray::fromHex("840171") + bytes), qPrintable(archive.errorString()));
    QCOMPARE(archive.groups().at(0).values.at(0).integer, value);
}

void TestTypedStream::realCompaction_data()
{
    QTest::addColumn<char>("code");
    QTest::addColumn<double>("value");
    QTest::addColumn<QByteArray>("bytes");
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("0.0") << 'd' << 0.0 << QByteArray::fromHex("00");
    QTest::newRow("-0.0 loses its sign") << 'd' << -0.0 << QByteArray::fromHex("00");
    QTest::newRow("1.0") << 'd' << 1.0 << QByteArray::fromHex("01");
    QTest::newRow("float 140") << 'f' << 140.0 << QByteArray::fromHex("818c00");
    QTest::newRow("midnight date") << 'd' << 285206400.0 << QByteArray::fromHex("8280e7ff10");
    QTest::newRow("float 3.5") << 'f' << 3.5 << QByteArray::fromHex("8300006040");
    QTest::newRow("100.5") << 'd' << 100.5 << QByteArray::fromHex("830000000000205940");
    // Integral, but not exact as a float: the original writer stores it raw.
    QTest::newRow("10:15 date") << 'd' << 605873700.0 << QByteArray::fromHex("83 00000012730ec241");
    QTest::newRow("rounds to 2^31 as float") << 'd' << 2147483600.0 << QByteArray::fromHex("83 000000f4ffffdf41");
    QTest::newRow("1e10") << 'd' << 1e10 << QByteArray::fromHex("83 000000205fa00242");
    QTest::newRow("-2147483646") << 'd' << -2147483646.0 << QByteArray::fromHex("83 000080ffffffdfc1");
    QTest::newRow("nan") << 'd' << nan << QByteArray::fromHex("83000000000000f87f");
    QTest::newRow("infinity") << 'f' << inf << QByteArray::fromHex("830000807f");
}

void TestTypedStream::realCompaction()
{
    QFETCH(char, code);
    QFETCH(double, value);
    QFETCH(QByteArray, bytes);
    const QByteArray out = written([&](Archiver &a) {
        if (code == 'f')
            a.writeFloat(float(value));
        else
            a.writeDouble(value);
    });
    QCOMPARE(out.toHex(), bytes.toHex());

    Unarchiver archive;
    const QByteArray type = code == 'f' ? QByteArray::fromHex("840166") : QByteArray::fromHex("840164");
    QVERIFY2(archive.read(header + type + bytes), qPrintable(archive.errorString()));
    const TypedStreamValue &read = archive.groups().at(0).values.at(0);
    QCOMPARE(read.rawReal, bytes.startsWith('\x83'));
    if (std::isnan(value))
        QVERIFY(std::isnan(read.real));
    else
        QCOMPARE(read.real, value == 0.0 ? 0.0 : value);
}

void TestTypedStream::writerReproducesMacOSArchives_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("kind");
    QTest::newRow("NSString") << "real-crabstep-NSString.bin" << 0;
    QTest::newRow("NSMutableString") << "real-crabstep-NSMutableString.bin" << 1;
    QTest::newRow("NSDate integral") << "real-crabstep-NSDate.bin" << 2;
    QTest::newRow("NSDate fractional") << "real-crabstep-NSDateFractional.bin" << 2;
}

void TestTypedStream::writerReproducesMacOSArchives()
{
    QFETCH(QString, file);
    QFETCH(int, kind);
    const QByteArray original = sampleBytes(file);
    Unarchiver archive;
    QVERIFY2(archive.read(original), qPrintable(archive.errorString()));
    const TypedStreamValue &root = archive.groups().at(0).values.at(0);

    Archiver archiver;
    if (kind == 2) {
        std::optional<AbsoluteDate> date;
        QString error;
        QVERIFY(archive.decodeDate(root, &date, &error));
        archiver.encodeDate(date);
    } else {
        QString text;
        QString error;
        QVERIFY(archive.decodeString(root, &text, &error));
        if (kind == 0) {
            archiver.encodeString(text);
        } else {
            archiver.beginObject({ { "NSMutableString", 1 }, { "NSString", 1 }, { "NSObject", 0 } });
            archiver.encodeBytes(text.toUtf8());
            archiver.endObject();
        }
    }
    QCOMPARE(archiver.archivedData().toHex(' '), original.toHex(' '));
}

void TestTypedStream::walksEveryRealArchive()
{
    const QStringList files = QDir(sampleDirectory()).entryList({ QStringLiteral("real-*") }, QDir::Files);
    QCOMPARE(files.size(), 16);
    for (const QString &file : files) {
        Unarchiver archive;
        QVERIFY2(archive.read(sampleBytes(file)), qPrintable(file + QStringLiteral(": ") + archive.errorString()));
        QVERIFY(!archive.groups().empty());
        const QString description = TypedStreamPrinter::describe(archive);
        QVERIFY2(description.contains(QStringLiteral("NSObject v0")), qPrintable(file));
    }
}

void TestTypedStream::decodesFoundationValues()
{
    Unarchiver archive;
    QString error;
    QString text;
    std::optional<AbsoluteDate> date;

    QVERIFY(archive.read(sampleBytes(QStringLiteral("real-crabstep-NSDate.bin"))));
    QVERIFY(archive.decodeDate(archive.groups()[0].values[0], &date, &error));
    QCOMPARE(date->secondsSinceReferenceDate(), 21692800.0);
    QCOMPARE(archive.versionForClassName("NSDate"), std::optional<qint64>(0));
    QCOMPARE(archive.versionForClassName("NSString"), std::nullopt);
    // A date is no string.
    QVERIFY(!archive.decodeString(archive.groups()[0].values[0], &text, &error));
    QVERIFY2(error.contains(QStringLiteral("expected NSString, found NSDate")), qPrintable(error));

    QVERIFY(archive.read(sampleBytes(QStringLiteral("real-crabstep-NSDateFractional.bin"))));
    QVERIFY(archive.decodeDate(archive.groups()[0].values[0], &date, &error));
    QCOMPARE(date->secondsSinceReferenceDate(), 700000000.523);

    QVERIFY(archive.read(sampleBytes(QStringLiteral("real-crabstep-NumberInt64.bin"))));
    QCOMPARE(rootObject(archive)->groups.at(1).values.at(0).integer, qint64(-9000000000));
    QVERIFY(archive.read(sampleBytes(QStringLiteral("real-crabstep-NumberFloat.bin"))));
    QCOMPARE(rootObject(archive)->groups.at(1).values.at(0).real, 3.5);

    QVERIFY(archive.read(sampleBytes(QStringLiteral("real-crabstep-imessage-Arabic.bin"))));
    const TypedStreamEntry *body = rootObject(archive);
    QVERIFY(archive.decodeString(body->groups.at(0).values.at(0), &text, &error));
    QCOMPARE(text.size(), 13);
    QCOMPARE(text.toUtf8().size(), 25);
    QVERIFY(archive.read(sampleBytes(QStringLiteral("real-crabstep-imessage-Blank.bin"))));
    QVERIFY(archive.decodeString(rootObject(archive)->groups.at(0).values.at(0), &text, &error));
    QCOMPARE(text, QString());

    // Elements are an NSString and an NSMutableString (a kind of NSString).
    QVERIFY(archive.read(sampleBytes(QStringLiteral("real-crabstep-NestedStrings.bin"))));
    std::vector<const TypedStreamValue *> elements;
    QVERIFY(archive.decodeArray(archive.groups()[0].values[0], &elements, &error));
    QCOMPARE(elements.size(), size_t(2));
    for (const TypedStreamValue *element : elements) {
        QVERIFY(archive.decodeString(*element, &text, &error));
        QVERIFY(!text.isEmpty());
    }
    QVERIFY(archive.isKindOfClass(*archive.entry(elements[1]->reference), "NSString"));

    QVERIFY(archive.read(sampleBytes(QStringLiteral("real-applesample-PathDemo-objects.nib"))));
    QVERIFY(archive.isBigEndian());
    QCOMPARE(archive.systemVersion(), 1000);
    QCOMPARE(archive.versionForClassName("NSIBObjectData"), std::optional<qint64>(224));
}

void TestTypedStream::unsignedAndSmallIntegers()
{
    // I, S and Q are written as the signed value of their width; c is a raw
    // byte where even 0x84 is just a number.
    Unarchiver archive;
    QVERIFY2(archive.read(header + QByteArray::fromHex("84054953516373 ff ff ff 84 8700e68ee7fdffffff")),
             qPrintable(archive.errorString()));
    const std::vector<TypedStreamValue> &v = archive.groups().at(0).values;
    QCOMPARE(v.size(), size_t(5));
    QCOMPARE(v[0].integer, qint64(0xffffffff));
    QCOMPARE(v[1].integer, qint64(0xffff));
    QCOMPARE(quint64(v[2].integer), quint64(0xffffffffffffffffULL));
    QCOMPARE(v[3].integer, qint64(-124));
    QCOMPARE(v[4].code, 's');
    // Wider than the type: wrapped to its 16 bits.
    QCOMPARE(v[4].integer, qint64(-6656));
}

void TestTypedStream::sharesClassesAndStrings()
{
    Archiver archiver;
    archiver.beginMutableArray(3);
    archiver.encodeString(QStringLiteral("a"));
    archiver.encodeString(QStringLiteral("b"));
    archiver.encodeDate(std::nullopt);
    archiver.endObject();
    const QByteArray bytes = archiver.archivedData();
    // The second string repeats only a new object and the class reference.
    QVERIFY(bytes.contains(QByteArray::fromHex("92 84 97 98 01 62 86")));
    QCOMPARE(bytes.count("NSString"), 1);

    Unarchiver archive;
    QVERIFY(archive.read(bytes));
    std::vector<const TypedStreamValue *> elements;
    QString error;
    QVERIFY(archive.decodeArray(archive.groups()[0].values[0], &elements, &error));
    QCOMPARE(elements.size(), size_t(3));
    QString text;
    QVERIFY(archive.decodeString(*elements[1], &text, &error));
    QCOMPARE(text, QStringLiteral("b"));
    // nil is an empty string here, as NSUnarchiver gives nil.
    QVERIFY(archive.decodeString(*elements[2], &text, &error));
    QVERIFY(text.isEmpty());

    // The same instance twice becomes a back-reference.
    Archiver shared;
    const int identity = 0;
    shared.beginMutableArray(2);
    for (int i = 0; i < 2; ++i) {
        if (shared.beginObject(Archiver::stringClassChain(), &identity)) {
            shared.encodeBytes("x");
            shared.endObject();
        }
    }
    shared.endObject();
    QVERIFY(archive.read(shared.archivedData()));
    QVERIFY(archive.decodeArray(archive.groups()[0].values[0], &elements, &error));
    QCOMPARE(elements[0]->reference, elements[1]->reference);
}

void TestTypedStream::objectMayReferToItself()
{
    // Object #0 holds a reference to #0: numbers are taken before contents.
    Unarchiver archive;
    QVERIFY2(archive.read(header + QByteArray::fromHex("840140 84 84 840441626364 00 85 92 92 86")),
             qPrintable(archive.errorString()));
    QCOMPARE(rootObject(archive)->groups.at(0).values.at(0).reference, qint64(0));
    QVERIFY(TypedStreamPrinter::describe(archive).contains(QStringLiteral("@ -> #0 (Abcd)")));
}

void TestTypedStream::rejectsMalformedStreams_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("reason");
    const auto hex = [](const char *text) { return QByteArray::fromHex(text); };
    QTest::newRow("empty") << QByteArray() << "empty file";
    QTest::newRow("streamer version 3") << hex("030b73747265616d747970656481e803840169 01") << "streamer version 3";
    QTest::newRow("bad signature") << hex("040b73747265616d747970656581e803840169 01") << "bad signature";
    QTest::newRow("header only") << header << "holds no values";
    QTest::newRow("truncated header") << header.left(14) << "truncated";
    QTest::newRow("reserved tag as integer") << header + hex("840169 80") << "unexpected tag 0x80";
    QTest::newRow("END as integer") << header + hex("840169 86") << "unexpected tag 0x86";
    QTest::newRow("undefined shared string") << header + hex("92") << "shared string #0 not defined";
    QTest::newRow("missing type string") << header + hex("85") << "missing type string";
    QTest::newRow("undefined object") << header + hex("840140 a0") << "reference #14 not defined";
    QTest::newRow("class as object") << header + hex("840140 84 84 840141 00 85 86 92 93")
                                     << "reference #1 is not an object";
    QTest::newRow("object as class") << header + hex("840140 84 92") << "reference #0 is not a class";
    QTest::newRow("own superclass") << header + hex("840140 84 84 840141 00 93 86") << "own superclass";
    QTest::newRow("superclass loop") << header + hex("840140 84 84 840141 00 84 840142 00 93 86")
                                     << "own superclass";
    QTest::newRow("object without class") << header + hex("840140 84 85 86") << "without a class";
    QTest::newRow("object not ended") << header + hex("840140 84 84 840141 00 85") << "not ended";
    QTest::newRow("absurd byte count") << header + hex("84012b 82ffffff7f 41") << "truncated data (2147483647 bytes";
    QTest::newRow("negative byte count") << header + hex("84012b ff") << "truncated data (-1 bytes";
    QTest::newRow("absurd array count") << header + hex("84095b393939393939695d 01") << "array of 999999";
    QTest::newRow("array count beyond limit") << header + hex("840d5b39393939393939393939695d") << "absurd count";
    QTest::newRow("union") << header + hex("840328 69 29 00") << "union";
    QTest::newRow("array without count") << header + hex("84035b695d 00") << "without a count";
    QTest::newRow("unclosed struct") << header + hex("84037b6169 00") << "not closed";
    QTest::newRow("unknown code") << header + hex("840176 00") << "unknown type code 0x76";
    QTest::newRow("undefined C string") << header + hex("84012a 93") << "reference #1 not defined";
    QTest::newRow("truncated raw double") << header + hex("840164 83000000") << "truncated";
}

void TestTypedStream::rejectsMalformedStreams()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, reason);
    Unarchiver archive;
    QVERIFY(!archive.read(data));
    QVERIFY2(archive.errorString().contains(reason), qPrintable(archive.errorString()));
    QVERIFY(archive.errorString().contains(QStringLiteral(" at byte ")) || data.isEmpty());
}

void TestTypedStream::boundsObjectNesting()
{
    // Each object holds the next in a "@" group: fine up to the limit, an
    // error beyond it, never a stack overflow.
    const auto nested = [](int depth) {
        QByteArray data = header + QByteArray::fromHex("840140 84 84 840141 00 85");
        for (int i = 1; i < depth; ++i)
            data += QByteArray::fromHex("92 84 93");
        data += QByteArray(depth, '\x86');
        return data;
    };
    Unarchiver archive;
    QVERIFY2(archive.read(nested(Unarchiver::maximumDepth)), qPrintable(archive.errorString()));
    QVERIFY(!archive.read(nested(Unarchiver::maximumDepth + 1)));
    QVERIFY(archive.errorString().contains(QStringLiteral("nested")));
    QVERIFY(!archive.read(nested(100000)));

    // Arrays count as levels too: each object here sits in a "[1@]".
    QByteArray inArrays = header + QByteArray::fromHex("840140 84 84 840141 00 85");
    const int levels = Unarchiver::maximumDepth / 2;
    inArrays += QByteArray::fromHex("84045b31405d 84 93");
    for (int i = 2; i < levels; ++i)
        inArrays += QByteArray::fromHex("94 84 93");
    inArrays += QByteArray(levels, '\x86');
    QVERIFY2(archive.read(inArrays), qPrintable(archive.errorString()));
    QVERIFY(!archive.read(inArrays.insert(inArrays.size() - levels, QByteArray::fromHex("94 84 93 86"))));
    QVERIFY2(archive.errorString().contains(QStringLiteral("nested")), qPrintable(archive.errorString()));
}

void TestTypedStream::boundsValueCount()
{
    // Two million one-byte values are well-formed but more than any
    // archive of ours holds.
    const qint64 count = Unarchiver::maximumItems + 1;
    QByteArray data = header + "\x84\x0a[" + QByteArray::number(count) + "B]";
    data[header.size() + 1] = char(data.size() - header.size() - 2);
    data += QByteArray(count, '\x01');
    Unarchiver archive;
    QVERIFY(!archive.read(data));
    QVERIFY2(archive.errorString().contains(QStringLiteral("too large")), qPrintable(archive.errorString()));
    data = header;
    for (qint64 i = 0; i < count; ++i)
        data += i == 0 ? QByteArray::fromHex("840169 00") : QByteArray::fromHex("92 00");
    QVERIFY(!archive.read(data));
    QVERIFY2(archive.errorString().contains(QStringLiteral("more than")), qPrintable(archive.errorString()));
}

void TestTypedStream::printableText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("printed");
    QTest::newRow("plain") << QByteArray("Doe^Jane 12") << "Doe^Jane 12";
    QTest::newRow("letters beyond ASCII") << QByteArray("M\xc3\xbcller \xf0\x9f\x98\x80") << "Müller 😀";
    QTest::newRow("C0 controls") << QByteArray("a\0b\nc\x1b[2J", 9) << "a\\x00b\\x0ac\\x1b[2J";
    QTest::newRow("C1 controls") << QByteArray("\xc2\x81\xc2\x9b") << "\\x81\\x9b";
    QTest::newRow("no UTF-8") << QByteArray("\x81x\xff") << "\\x81x\\xff";
    QTest::newRow("sequence cut short") << QByteArray("\xe2\x82") << "\\xe2\\x82";
    QTest::newRow("encoded surrogate") << QByteArray("\xed\xa0\x80") << "\\xed\\xa0\\x80";
    QTest::newRow("line separator and direction override") << QByteArray("\xe2\x80\xa8\xe2\x80\xae")
                                                            << "\\u2028\\u202e";
    QTest::newRow("backslash") << QByteArray("a\\x81") << "a\\\\x81";
    QTest::newRow("placeholders") << QByteArray("%1%2%\xc2\xb2") << "%1%2%²";
}

void TestTypedStream::printableText()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, printed);
    QCOMPARE(PrintableText::fromUtf8(bytes), printed);
    // Text already decoded is escaped the same way.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    if (!decoder.hasError())
        QCOMPARE(PrintableText::escaped(text), printed);
}

// Class names, type strings and struct names from a file appear in reasons
// as they are, escaped, and never as part of the format.
void TestTypedStream::fileTextInReasonsIsEscapedNotFormatted_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("printed");
    const auto hex = [](const char *text) { return header + QByteArray::fromHex(text); };
    QTest::newRow("type string") << hex("8404 25320081") << R"(bad type string "%2\x00\x81": unknown type code 0x32 at byte 16)"
                                 << QString();
    QTest::newRow("own superclass") << hex("840140 84 84 8406 25312532009b 00 93 86")
                                    << R"(class %1%2\x00\x9b is its own superclass at byte 31)" << QString();
    QTest::newRow("unknown class") << hex("840140 84 84 8403 253281 00 85 86")
                                   << R"(expected NSString, found %2\x81)" << R"(@ #0 %2\x81 v0 #1)";
    QTest::newRow("subclass without groups") << hex("840140 84 84 8405 5374722532 00 84 8408 4e53537472696e67 00 85 86")
                                             << "Str%2 object #0 holds 0 value groups, expected 1"
                                             << "@ #0 Str%2 v0 #1 : NSString v0 #2";
    QTest::newRow("struct name") << hex("840140 84 84 8408 4e53537472696e67 00 85 8406 7b25323d697d 05 86")
                                 << R"(value group "{%2=i}" where "+" belongs (byte 33))" << R"(group "{%2=i}")";
}

void TestTypedStream::fileTextInReasonsIsEscapedNotFormatted()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, reason);
    QFETCH(QString, printed);
    // QString::arg() warns when a format runs out of placeholders.
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    Unarchiver archive;
    if (!archive.read(data)) {
        QCOMPARE(archive.errorString(), reason);
        return;
    }
    QString string;
    QString error;
    QVERIFY(!archive.decodeString(archive.groups().at(0).values.at(0), &string, &error));
    QCOMPARE(error, reason);
    QVERIFY2(TypedStreamPrinter::describe(archive).contains(printed), qPrintable(TypedStreamPrinter::describe(archive)));
}

QTEST_GUILESS_MAIN(TestTypedStream)
#include "tst_typedstream.moc"
