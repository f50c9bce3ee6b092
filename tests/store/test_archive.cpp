// The archive database: opening, the two query operations, quoting, and the
// file format as the stock sqlcipher shell sees it.

#include "tests/support/ArchiveFixture.h"

#include <QFile>
#include <QRandomGenerator>

using namespace tallowmere;
using tallowmere::test::ArchiveFolder;
using tallowmere::test::runShell;

class TestStoreArchive : public QObject {
    Q_OBJECT

private slots:
    void openFailures_data();
    void openFailures();
    void createRefusesExistingFile();
    void shellReadsWhatTheProgramWrote();
    void programReadsWhatTheShellWrote();
    void apostropheRoundTrips();
    void failedStatements_data();
    void failedStatements();
};

void TestStoreArchive::openFailures_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("opens");
    QTest::newRow("missing file") << "missing" << false;
    QTest::newRow("another password") << "otherkey" << false;
    QTest::newRow("random bytes") << "random" << false;
    QTest::newRow("empty file") << "empty" << false;
    QTest::newRow("no config table") << "noconfig" << false;
    QTest::newRow("config without rows") << "fresh" << true;
    QTest::newRow("config with a row") << "configrow" << true;
}

void TestStoreArchive::openFailures()
{
    QFETCH(QString, kind);
    QFETCH(bool, opens);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bbk.dat"));
    const QString tables = QStringLiteral("create table config (times integer, ifonlyhtm integer);");

    if (kind == u"otherkey") {
        QCOMPARE(runShell(path, tables, QStringLiteral("another password")).exitCode, 0);
    } else if (kind == u"random") {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QByteArray bytes(64 * 1024, '\0');
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
        f.write(bytes);
    } else if (kind == u"empty") {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
    } else if (kind == u"noconfig") {
        QCOMPARE(runShell(path, QStringLiteral("create table paper (id text);")).exitCode, 0);
    } else if (kind == u"fresh" || kind == u"configrow") {
        createArchive(path);
        if (kind == u"configrow")
            QCOMPARE(runShell(path, QStringLiteral("insert into config values (3, 1);")).exitCode, 0);
    }
    const QByteArray before = QFile::exists(path) ? [&] { QFile f(path); f.open(QIODevice::ReadOnly); return f.readAll(); }() : QByteArray();

    Dataset pQ;
    QCOMPARE(openArchiveDatabase(pQ, path), opens);
    QCOMPARE(pQ.isOpen(), opens);
    if (opens) {
        QCOMPARE(pQ.eof(), kind == u"fresh");
        QVERIFY(runStatement(pQ, QStringLiteral("insert into paper (id) values ('x')")));
    } else {
        // Nothing is made or changed, and later statements fail as well.
        QVERIFY(!runStatement(pQ, QStringLiteral("create table t (x)")));
        QCOMPARE(QFile::exists(path), kind != u"missing");
        if (QFile::exists(path)) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QVERIFY(f.readAll() == before);
        }
    }
}

void TestStoreArchive::createRefusesExistingFile()
{
    ArchiveFolder archive;
    try {
        createArchive(archive.path);
        QFAIL("an existing archive was replaced");
    } catch (const EngineError& e) {
        QVERIFY2(e.message().contains(QStringLiteral("already exists")), qPrintable(e.message()));
    }
    Dataset pQ;
    QVERIFY(openArchiveDatabase(pQ, archive.path));
    // A folder that does not exist: nothing is left behind.
    const QString nowhere = archive.dir.filePath(QStringLiteral("no/such/bbk.dat"));
    QVERIFY_THROWS_EXCEPTION(EngineError, createArchive(nowhere));
    QVERIFY(!QFile::exists(nowhere));
}

void TestStoreArchive::shellReadsWhatTheProgramWrote()
{
    ArchiveFolder archive;
    Dataset pQ;
    QVERIFY(openArchiveDatabase(pQ, archive.path));
    const QString title = QStringLiteral("Dan's page 中文");
    QVERIFY(runStatement(pQ, QStringLiteral("insert into paper (id, title, ParentPaperID, indexid, typeid, HasSubFolders) "
                                            "values ('2003-05-17 21:04:09', %1, '0', 0, 0, True)").arg(quoted(title))));
    const QString file = archive.dir.filePath(QStringLiteral("f.bin"));
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray::fromHex("00ff0041"));
    }
    QVERIFY(runQuery(pQ, QStringLiteral("select id, content from paper where id = '2003-05-17 21:04:09'")));
    pQ.edit();
    pQ.fieldByName(QStringLiteral("content")).loadFromFile(file);
    pQ.post();
    pQ.close();

    const auto result = runShell(archive.path, QStringLiteral(
        "select title || '|' || ParentPaperID || '|' || HasSubFolders || '|' || hex(content) from paper;"));
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, title + QStringLiteral("|0|1|00FF0041"));
}

void TestStoreArchive::programReadsWhatTheShellWrote()
{
    ArchiveFolder archive;
    const auto result = runShell(archive.path, QStringLiteral(
        "insert into paper (id, title, ParentPaperID, indexid, typeid, content, plaintext) "
        "values ('s1', 'from the shell', '0', 3, 4, x'0001ff', 'some text');"
        "insert into paper (id, title, content) values ('s2', 'text in a blob column', 'abc');"));
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.err.isEmpty(), qPrintable(result.err));

    Dataset pQ;
    QVERIFY(openArchiveDatabase(pQ, archive.path));
    QVERIFY(runQuery(pQ, QStringLiteral("select id, title, indexid, typeid, content, plaintext from paper order by id")));
    QCOMPARE(pQ.rowCount(), 2);
    QCOMPARE(pQ.fieldByName(QStringLiteral("title")).asString(), QStringLiteral("from the shell"));
    QCOMPARE(pQ.fieldByName(QStringLiteral("indexid")).asInteger(), 3);
    QCOMPARE(pQ.fieldByName(QStringLiteral("content")).asBytes(), QByteArray::fromHex("0001ff"));
    QCOMPARE(pQ.fieldByName(QStringLiteral("plaintext")).asString(), QStringLiteral("some text"));
    pQ.next();
    QCOMPARE(pQ.fieldByName(QStringLiteral("content")).asString(), QStringLiteral("abc"));
    QCOMPARE(pQ.fieldByName(QStringLiteral("content")).size(), 3);
}

void TestStoreArchive::apostropheRoundTrips()
{
    QCOMPARE(quoted(QStringLiteral("it's")), QStringLiteral("'it''s'"));
    QCOMPARE(quoted(QString()), QStringLiteral("''"));

    ArchiveFolder archive;
    Dataset pQ;
    QVERIFY(openArchiveDatabase(pQ, archive.path));
    const QString title = QStringLiteral("O'Brien's ''quoted'' -- not a comment; 'true'");
    QVERIFY(runStatement(pQ, QStringLiteral("insert into paper (id, title) values ('a', %1)").arg(quoted(title))));
    QVERIFY(runQuery(pQ, QStringLiteral("select id, title from paper where title = ") + quoted(title)));
    QCOMPARE(pQ.rowCount(), 1);
    QCOMPARE(pQ.fieldByName(QStringLiteral("title")).asString(), title);

    const QString renamed = QStringLiteral("it's renamed");
    QVERIFY(runStatement(pQ, QStringLiteral("update paper set title = %1 where id = 'a'").arg(quoted(renamed))));
    QVERIFY(runQuery(pQ, QStringLiteral("select title from paper where title like ") + quoted(QStringLiteral("%'s r%"))));
    QCOMPARE(pQ.rowCount(), 1);
    QCOMPARE(pQ.fieldByName(QStringLiteral("title")).asString(), renamed);
}

void TestStoreArchive::failedStatements_data()
{
    QTest::addColumn<bool>("query");
    QTest::addColumn<QString>("sql");
    QTest::newRow("malformed query") << true << "selec id from paper";
    QTest::newRow("missing table") << true << "select id from nosuch";
    QTest::newRow("missing column") << true << "select nosuch from paper";
    QTest::newRow("query of an update") << true << "update paper set title = 'x'";
    QTest::newRow("two statements") << true << "select id from paper; select id from paper";
    QTest::newRow("malformed statement") << false << "delet from paper";
    QTest::newRow("statement on a missing table") << false << "delete from nosuch";
    QTest::newRow("duplicate id") << false << "insert into paper (id) values ('dup')";
}

void TestStoreArchive::failedStatements()
{
    QFETCH(bool, query);
    QFETCH(QString, sql);
    ArchiveFolder archive;
    Dataset pQ;
    QVERIFY(openArchiveDatabase(pQ, archive.path));
    QVERIFY(runStatement(pQ, QStringLiteral("insert into paper (id, title) values ('dup', 'kept')")));
    QVERIFY(runQuery(pQ, QStringLiteral("select id from paper")));
    QVERIFY(pQ.isOpen());

    QCOMPARE(query ? runQuery(pQ, sql) : runStatement(pQ, sql), false);
    QVERIFY(!pQ.isOpen());
    QVERIFY(pQ.eof());

    // Nothing changed, and the dataset goes on working.
    QVERIFY(runQuery(pQ, QStringLiteral("select id, title from paper")));
    QCOMPARE(pQ.rowCount(), 1);
    QCOMPARE(pQ.fieldByName(QStringLiteral("title")).asString(), QStringLiteral("kept"));
}

QTEST_GUILESS_MAIN(TestStoreArchive)
#include "test_archive.moc"
