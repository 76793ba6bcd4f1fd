#include "Script.h"

#include <QTest>

class tst_Script : public QObject
{
    Q_OBJECT

private slots:
    void compileErrors_data();
    void compileErrors();
    void compileDoesNotRun();
    void executeReturnsValue();
    void runtimeErrors_data();
    void runtimeErrors();
    void endlessScriptIsStopped_data();
    void endlessScriptIsStopped();
};

void tst_Script::compileErrors_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("rangeStart");
    QTest::addColumn<int>("rangeLength");

    QTest::newRow("first line") << "var x = ;" << 1 << 0 << 9;
    QTest::newRow("third line") << "var a = 1;\nvar b = 2;\nif (a {\n}" << 3 << 22 << 7;
    QTest::newRow("unclosed brace at end") << "function f() {\n  return 1;\n" << 3 << 27 << 0;
    QTest::newRow("escape attempt") << "}); (function() {" << 1 << 0 << 17;
}

void tst_Script::compileErrors()
{
    QFETCH(QString, source);
    QFETCH(int, line);
    QFETCH(int, rangeStart);
    QFETCH(int, rangeLength);

    Script script(source);
    Script::Error error;
    QVERIFY(!script.compile(&error));
    QVERIFY(!script.isCompiled());
    QCOMPARE(error.line, line);
    QCOMPARE(error.rangeStart, qsizetype(rangeStart));
    QCOMPARE(error.rangeLength, qsizetype(rangeLength));
    QVERIFY(!error.briefMessage.isEmpty());
    QVERIFY(error.message.startsWith(QStringLiteral("SyntaxError")));
    QVERIFY(error.message.contains(error.briefMessage));
}

void tst_Script::compileDoesNotRun()
{
    Script script(QStringLiteral("globalThis.ran = true; throw new Error('ran');"));
    Script::Error error;
    QVERIFY(script.compile(&error));
    QVERIFY(error.briefMessage.isEmpty());
    QCOMPARE(script.formattedSource(), script.source());
}

void tst_Script::executeReturnsValue()
{
    Script script(QStringLiteral("var a = 20;\nfunction twice(x) { return 2 * x; }\ntwice(a) + 2"));
    Script::Error error;
    QCOMPARE(script.execute(&error).toInt(), 42);
    QVERIFY(error.briefMessage.isEmpty());
}

void tst_Script::runtimeErrors_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("briefMessage");

    QTest::newRow("thrown error") << "var a = 1;\nthrow new Error('broken');" << 2 << "broken";
    QTest::newRow("undefined name") << "\n\nnoSuchFunction();" << 3
                                    << "noSuchFunction is not defined";
    QTest::newRow("thrown string") << "throw 'plain';" << 0 << "plain";
    QTest::newRow("syntax") << "x = = 1" << 1 << "";
}

void tst_Script::runtimeErrors()
{
    QFETCH(QString, source);
    QFETCH(int, line);
    QFETCH(QString, briefMessage);

    Script script(source);
    Script::Error error;
    QVERIFY(script.execute(&error).isUndefined());
    QCOMPARE(error.line, line);
    if (!briefMessage.isEmpty())
        QCOMPARE(error.briefMessage, briefMessage);
    QVERIFY(!error.message.isEmpty());
}

void tst_Script::endlessScriptIsStopped_data()
{
    QTest::addColumn<QString>("source");
    QTest::newRow("loop") << "for (;;) {}";
    QTest::newRow("loop that catches") << "while (true) { try { for (;;) {} } catch (e) {} }";
    QTest::newRow("recursion in a loop") << "function f() { for (;;) {} }\nf();";
}

void tst_Script::endlessScriptIsStopped()
{
    QFETCH(QString, source);
    Script script(source);
    script.setTimeLimit(std::chrono::milliseconds(200));
    Script::Error error;
    QVERIFY(script.execute(&error).isUndefined());
    QVERIFY(error.message.startsWith(QStringLiteral("Interrupted")));
}

QTEST_MAIN(tst_Script)
#include "tst_script.moc"
