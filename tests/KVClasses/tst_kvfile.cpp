#include "KVFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class tst_KVFile : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void sharedInstance();
    void existence_data();
    void existence();
    void aliases_data();
    void aliases();
    void createFileEmptiesExisting();
    void enumeratesEveryEntryBelow();

private:
    QString path(const QString &relative) const { return m_dir->filePath(relative); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_KVFile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QDir(m_dir->path()).mkpath(QStringLiteral("folder/sub"));
    QFile file(path(QStringLiteral("plain.maturix")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("data");
    file.close();
    QVERIFY(QFile::link(path(QStringLiteral("plain.maturix")), path(QStringLiteral("alias"))));
    QVERIFY(QFile::link(path(QStringLiteral("folder")), path(QStringLiteral("folder alias"))));
    QVERIFY(QFile::link(path(QStringLiteral("gone")), path(QStringLiteral("broken alias"))));
}

void tst_KVFile::sharedInstance()
{
    QCOMPARE(&KVFile::kvFile(), &KVFile::kvFile());
}

void tst_KVFile::existence_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<bool>("isDirectory");

    QTest::newRow("plain file") << "plain.maturix" << true << false;
    QTest::newRow("folder") << "folder" << true << true;
    QTest::newRow("nested folder") << "folder/sub" << true << true;
    QTest::newRow("missing") << "missing" << false << false;
    QTest::newRow("alias of a file") << "alias" << true << false;
    QTest::newRow("alias of a folder") << "folder alias" << true << true;
    QTest::newRow("broken alias") << "broken alias" << false << false;
}

void tst_KVFile::existence()
{
    QFETCH(QString, entry);
    QFETCH(bool, exists);
    QFETCH(bool, isDirectory);

    const KVFile &files = KVFile::kvFile();
    QCOMPARE(files.fileExistsAtPath(path(entry)), exists);
    bool directory = !isDirectory;
    QCOMPARE(files.fileExistsAtPath(path(entry), &directory), exists);
    QCOMPARE(directory, isDirectory);
}

void tst_KVFile::aliases_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("alias");

    QTest::newRow("plain file") << "plain.maturix" << false;
    QTest::newRow("folder") << "folder" << false;
    QTest::newRow("missing") << "missing" << false;
    QTest::newRow("empty path") << "" << false;
    QTest::newRow("alias of a file") << "alias" << true;
    QTest::newRow("alias of a folder") << "folder alias" << true;
    QTest::newRow("broken alias") << "broken alias" << true;
}

void tst_KVFile::aliases()
{
    QFETCH(QString, entry);
    QFETCH(bool, alias);
    QCOMPARE(KVFile::kvFile().pathIsAlias(entry.isEmpty() ? QString() : path(entry)), alias);
}

void tst_KVFile::createFileEmptiesExisting()
{
    const KVFile &files = KVFile::kvFile();
    QVERIFY(files.createFileAtPath(path(QStringLiteral("plain.maturix"))));
    QCOMPARE(QFileInfo(path(QStringLiteral("plain.maturix"))).size(), 0);
    QVERIFY(files.createFileAtPath(path(QStringLiteral("new.txt"))));
    QVERIFY(QFileInfo(path(QStringLiteral("new.txt"))).isFile());
    QVERIFY(!files.createFileAtPath(path(QStringLiteral("folder"))));
    QVERIFY(QFileInfo(path(QStringLiteral("folder"))).isDir());
    QVERIFY(!files.createFileAtPath(path(QStringLiteral("no/such/folder/file"))));
}

void tst_KVFile::enumeratesEveryEntryBelow()
{
    QFile file(path(QStringLiteral("folder/sub/CD9.maturix")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QStringList entries = KVFile::kvFile().enumeratorAtPath(m_dir->path());
    QCOMPARE(entries,
             QStringList({ "alias", "broken alias", "folder", "folder/sub",
                           "folder/sub/CD9.maturix", "folder alias", "plain.maturix" }));
    QVERIFY(KVFile::kvFile().enumeratorAtPath(path(QStringLiteral("missing"))).isEmpty());
}

QTEST_MAIN(tst_KVFile)
#include "tst_kvfile.moc"
