// The engine layer on a real archive: statements, fields, row editing, blobs
// in pieces and the static cursor.

#include "tests/support/ArchiveFixture.h"

#include <QBuffer>
#include <QFile>
#include <QRandomGenerator>

using namespace tallowmere;
using tallowmere::test::ArchiveFolder;

namespace {

// Bytes with runs of NUL and every other byte value, the same on every run.
QByteArray sampleBytes(qsizetype size)
{
    QByteArray bytes(size, '\0');
    QRandomGenerator random(42);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = (i / 4096) % 3 == 0 ? '\0' : char(random.generate() & 0xff);
    return bytes;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void insertItem(Dataset& ds, const QString& id, const QString& parent, int index)
{
    QVERIFY(runStatement(ds, QStringLiteral("insert into paper (id, title, ParentPaperID, indexid, typeid) "
                                            "values (%1, %2, %3, %4, 4)")
                                 .arg(quoted(id), quoted(QStringLiteral("title ") + id), quoted(parent))
                                 .arg(index)));
}

// Runs body on the row of id selected with all columns, in edit mode, and posts.
template <typename Body>
void editRow(Dataset& ds, const QString& id, Body body)
{
    QVERIFY(runQuery(ds, QStringLiteral("select id, title, indexid, typeid, content, plaintext from paper where id = ") + quoted(id)));
    QVERIFY(!ds.eof());
    ds.edit();
    body();
    ds.post();
}

} // namespace

class TestStoreEngine : public QObject {
    Q_OBJECT

private slots:
    void booleanLiterals_data();
    void booleanLiterals();
    void booleanLiteralsRunInStatements();
    void fieldReading();
    void editAndPostTextAndInteger();
    void nextPostsPendingEdit();
    void blobFromFileAndBack();
    void blobFromStreamAndBack_data();
    void blobFromStreamAndBack();
    void emptyFileIsEmptyBlob();
    void oversizedFileIsRefused();
    void unreadableFileThrows();
    void resultsThatCannotBeEdited();
    void staticCursorSurvivesOtherStatements();
    void keptStatementsFollowSchemaChanges();
};

void TestStoreEngine::booleanLiterals_data()
{
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("out");
    QTest::newRow("plain") << "where HasSubFolders=true" << "where HasSubFolders=1";
    QTest::newRow("mixed case") << "set a = False, b = TrUe" << "set a = 0, b = 1";
    QTest::newRow("capitalised") << "HasSubFolders = True" << "HasSubFolders = 1";
    QTest::newRow("in parentheses") << "values (true,false)" << "values (1,0)";
    QTest::newRow("string") << "title = 'true'" << "title = 'true'";
    QTest::newRow("escaped quote") << "title = 'it''s true' or x = true" << "title = 'it''s true' or x = 1";
    QTest::newRow("double-quoted name") << "select \"true\" from t" << "select \"true\" from t";
    QTest::newRow("bracketed name") << "select [false] from t" << "select [false] from t";
    QTest::newRow("backquoted name") << "select `True` from t" << "select `True` from t";
    QTest::newRow("line comment") << "x = 1 -- true\nand y = false" << "x = 1 -- true\nand y = 0";
    QTest::newRow("block comment") << "/* false */ true" << "/* false */ 1";
    QTest::newRow("part of a word") << "truest untrue true_x x_false" << "truest untrue true_x x_false";
    QTest::newRow("unterminated string") << "title = 'true" << "title = 'true";
    QTest::newRow("unicode around") << "title = 'é true' and ü=true" << "title = 'é true' and ü=1";
}

void TestStoreEngine::booleanLiterals()
{
    QFETCH(QString, in);
    QFETCH(QString, out);
    QCOMPARE(rewriteBooleanLiterals(in), out);
}

void TestStoreEngine::booleanLiteralsRunInStatements()
{
    ArchiveFolder archive;
    Dataset ds(archive.connect());
    insertItem(ds, QStringLiteral("a"), QStringLiteral("0"), 0);
    QVERIFY(runStatement(ds, QStringLiteral("update paper set HasSubFolders = True, title = 'true' where id = 'a'")));
    QVERIFY(runQuery(ds, QStringLiteral("select title, HasSubFolders from paper where HasSubFolders = true")));
    QCOMPARE(ds.rowCount(), 1);
    QCOMPARE(ds.fieldByName(QStringLiteral("title")).asString(), QStringLiteral("true"));
    QVERIFY(ds.fieldByName(QStringLiteral("HasSubFolders")).asBoolean());
}

void TestStoreEngine::fieldReading()
{
    ArchiveFolder archive;
    Dataset ds(archive.connect());
    QVERIFY(runStatement(ds, QStringLiteral("insert into paper (id, title, indexid, SizeByte, plaintext) "
                                            "values ('a', 'Ünïcode 中文', 7, -12, null)")));
    QVERIFY(runQuery(ds, QStringLiteral("select ID, Title, indexid, sizebyte, PlainText, content, typeid from Paper")));
    QCOMPARE(ds.rowCount(), 1);

    // Names match without regard to case; a missing one throws.
    QCOMPARE(ds.fieldByName(QStringLiteral("id")).asString(), QStringLiteral("a"));
    QCOMPARE(ds.fieldByName(QStringLiteral("TITLE")).asString(), QStringLiteral("Ünïcode 中文"));
    QVERIFY_THROWS_EXCEPTION(EngineError, ds.fieldByName(QStringLiteral("nosuchcolumn")));

    // Integers read as text give decimal digits.
    QCOMPARE(ds.fieldByName(QStringLiteral("IndexID")).asString(), QStringLiteral("7"));
    QCOMPARE(ds.fieldByName(QStringLiteral("indexid")).asInteger(), 7);
    QCOMPARE(ds.fieldByName(QStringLiteral("sizebyte")).asInteger(), -12);

    // Null reads as empty text, 0 and false, in text, blob and integer columns.
    for (const char* name : {"plaintext", "content", "typeid"}) {
        const Field f = ds.fieldByName(QString::fromLatin1(name));
        QVERIFY2(f.isNull(), name);
        QCOMPARE(f.asString(), QString());
        QCOMPARE(f.asInteger(), 0);
        QCOMPARE(f.asBoolean(), false);
        QCOMPARE(f.size(), 0);
    }

    ds.next();
    QVERIFY(ds.eof());
    QVERIFY_THROWS_EXCEPTION(EngineError, ds.fieldByName(QStringLiteral("id")).asString());
    ds.close();
    QVERIFY(!ds.isOpen());
    ds.close();   // closing a closed dataset does nothing
}

void TestStoreEngine::editAndPostTextAndInteger()
{
    ArchiveFolder archive;
    Dataset ds(archive.connect());
    insertItem(ds, QStringLiteral("a"), QStringLiteral("0"), 0);
    QVERIFY(runStatement(ds, QStringLiteral("update paper set plaintext = 'old' where id = 'a'")));

    // Fields cannot be set outside edit mode.
    QVERIFY(runQuery(ds, QStringLiteral("select id, title from paper")));
    QVERIFY_THROWS_EXCEPTION(EngineError, ds.fieldByName(QStringLiteral("title")).setValue(QStringLiteral("x")));

    editRow(ds, QStringLiteral("a"), [&] {
        ds.fieldByName(QStringLiteral("Title")).setValue(QStringLiteral("it's new"));
        ds.fieldByName(QStringLiteral("indexid")).setValue(42);
        ds.fieldByName(QStringLiteral("typeid")).setValue(QStringLiteral("5"));   // quoted number into an integer column
        ds.fieldByName(QStringLiteral("plaintext")).setValue(QVariant());
    });
    // The posted values read back from the dataset and from a fresh select.
    QCOMPARE(ds.fieldByName(QStringLiteral("title")).asString(), QStringLiteral("it's new"));
    QVERIFY(runQuery(ds, QStringLiteral("select title, indexid, typeid, plaintext, typeof(typeid) as t from paper where id = 'a'")));
    QCOMPARE(ds.fieldByName(QStringLiteral("title")).asString(), QStringLiteral("it's new"));
    QCOMPARE(ds.fieldByName(QStringLiteral("indexid")).asInteger(), 42);
    QCOMPARE(ds.fieldByName(QStringLiteral("typeid")).asInteger(), 5);
    QCOMPARE(ds.fieldByName(QStringLiteral("t")).asString(), QStringLiteral("integer"));
    QVERIFY(ds.fieldByName(QStringLiteral("plaintext")).isNull());

    // Closing posts nothing.
    editRow(ds, QStringLiteral("a"), [&] {});
    QVERIFY(runQuery(ds, QStringLiteral("select id, title from paper where id = 'a'")));
    ds.edit();
    ds.fieldByName(QStringLiteral("title")).setValue(QStringLiteral("dropped"));
    ds.close();
    QVERIFY(runQuery(ds, QStringLiteral("select title from paper where id = 'a'")));
    QCOMPARE(ds.fieldByName(QStringLiteral("title")).asString(), QStringLiteral("it's new"));
}

void TestStoreEngine::nextPostsPendingEdit()
{
    ArchiveFolder archive;
    Dataset ds(archive.connect());
    for (int i = 0; i < 3; ++i)
        insertItem(ds, QStringLiteral("f%1").arg(i), QStringLiteral("p"), i);

    // As companion files are written: each row edited, posted by moving on.
    QVERIFY(runQuery(ds, QStringLiteral("select indexid, title from paper where ParentPaperID = 'p' order by indexid")));
    int n = 0;
    while (!ds.eof()) {
        ds.edit();
        ds.fieldByName(QStringLiteral("title")).setValue(QStringLiteral("file %1").arg(n++));
        ds.next();
    }
    QCOMPARE(n, 3);
    QVERIFY(runQuery(ds, QStringLiteral("select title from paper where ParentPaperID = 'p' order by indexid desc")));
    QStringList titles;
    for (; !ds.eof(); ds.next())
        titles << ds.fieldByName(QStringLiteral("title")).asString();
    QCOMPARE(titles, QStringList({"file 2", "file 1", "file 0"}));
}

void TestStoreEngine::blobFromFileAndBack()
{
    ArchiveFolder archive;
    Dataset ds(archive.connect());
    insertItem(ds, QStringLiteral("a"), QStringLiteral("0"), 0);
    const QByteArray bytes = sampleBytes(5 * 1024 * 1024 + 123);
    const QString in = archive.dir.filePath(QStringLiteral("in.bin"));
    writeFile(in, bytes);

    editRow(ds, QStringLiteral("a"), [&] { ds.fieldByName(QStringLiteral("Content")).loadFromFile(in); });
    QCOMPARE(ds.fieldByName(QStringLiteral("content")).size(), bytes.size());

    // Read back by a second connection, to a file and to a stream.
    Dataset other(archive.connect());
    QVERIFY(runQuery(other, QStringLiteral("select id, content, length(content) as n, typeof(content) as t from paper where id = 'a'")));
    QCOMPARE(other.fieldByName(QStringLiteral("t")).asString(), QStringLiteral("blob"));
    QCOMPARE(other.fieldByName(QStringLiteral("n")).asInteger(), bytes.size());
    const Field content = other.fieldByName(QStringLiteral("content"));
    QCOMPARE(content.size(), bytes.size());
    const QString out = archive.dir.filePath(QStringLiteral("out.bin"));
    writeFile(out, QByteArray(10 * 1024 * 1024, 'x'));   // replaced, not overwritten in place
    content.saveToFile(out);
    QVERIFY(readFile(out) == bytes);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    content.saveToStream(buffer);
    QVERIFY(buffer.data() == bytes);
    QVERIFY(content.asBytes() == bytes);
}

void TestStoreEngine::blobFromStreamAndBack_data()
{
    QTest::addColumn<qsizetype>("size");
    QTest::newRow("small, in memory") << qsizetype(1000);
    QTest::newRow("one piece exactly") << qsizetype(1 << 20);
    QTest::newRow("several pieces") << qsizetype(3 * (1 << 20) + 7);
}

void TestStoreEngine::blobFromStreamAndBack()
{
    QFETCH(qsizetype, size);
    ArchiveFolder archive;
    Dataset ds(archive.connect());
    insertItem(ds, QStringLiteral("a"), QStringLiteral("0"), 0);
    QByteArray bytes = sampleBytes(size);
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    editRow(ds, QStringLiteral("a"), [&] { ds.fieldByName(QStringLiteral("content")).loadFromStream(in); });

    QVERIFY(runQuery(ds, QStringLiteral("select content from paper where id = 'a'")));
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    ds.fieldByName(QStringLiteral("content")).saveToStream(out);
    QCOMPARE(out.data().size(), bytes.size());
    QVERIFY(out.data() == bytes);
}

void TestStoreEngine::emptyFileIsEmptyBlob()
{
    ArchiveFolder archive;
    Dataset ds(archive.connect());
    insertItem(ds, QStringLiteral("a"), QStringLiteral("0"), 0);
    const QString empty = archive.dir.filePath(QStringLiteral("empty"));
    writeFile(empty, {});
    editRow(ds, QStringLiteral("a"), [&] { ds.fieldByName(QStringLiteral("content")).loadFromFile(empty); });

    QVERIFY(runQuery(ds, QStringLiteral("select content, typeof(content) as t from paper where id = 'a'")));
    const Field content = ds.fieldByName(QStringLiteral("content"));
    QVERIFY(!content.isNull());
    QCOMPARE(content.size(), 0);
    QCOMPARE(ds.fieldByName(QStringLiteral("t")).asString(), QStringLiteral("blob"));
    const QString out = archive.dir.filePath(QStringLiteral("out"));
    writeFile(out, "old bytes");
    content.saveToFile(out);
    QVERIFY(QFile::exists(out));
    QCOMPARE(QFileInfo(out).size(), 0);
}

void TestStoreEngine::oversizedFileIsRefused()
{
    ArchiveFolder archive;
    Dataset ds(archive.connect());
    insertItem(ds, QStringLiteral("a"), QStringLiteral("0"), 0);
    QVERIFY(runStatement(ds, QStringLiteral("update paper set content = x'0102' where id = 'a'")));
    const QString big = archive.dir.filePath(QStringLiteral("big"));
    {
        QFile f(big);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.resize(1'000'000'001));   // sparse: no real gigabyte on disk
    }
    QVERIFY(runQuery(ds, QStringLiteral("select id, content from paper where id = 'a'")));
    ds.edit();
    try {
        ds.fieldByName(QStringLiteral("content")).loadFromFile(big);
        QFAIL("an oversized file was accepted");
    } catch (const EngineError& e) {
        QVERIFY2(e.message().contains(QStringLiteral("1000000000")), qPrintable(e.message()));
    }
    ds.post();
    QVERIFY(runQuery(ds, QStringLiteral("select content from paper where id = 'a'")));
    QCOMPARE(ds.fieldByName(QStringLiteral("content")).asBytes(), QByteArray("\x01\x02"));
}

void TestStoreEngine::unreadableFileThrows()
{
    ArchiveFolder archive;
    Dataset ds(archive.connect());
    insertItem(ds, QStringLiteral("a"), QStringLiteral("0"), 0);
    QVERIFY(runQuery(ds, QStringLiteral("select content from paper where id = 'a'")));
    ds.edit();
    QVERIFY_THROWS_EXCEPTION(EngineError, ds.fieldByName(QStringLiteral("content")).loadFromFile(archive.dir.filePath(QStringLiteral("missing"))));
    QVERIFY_THROWS_EXCEPTION(EngineError, ds.fieldByName(QStringLiteral("content")).loadFromFile(archive.dir.path()));
    ds.post();
    QVERIFY(runQuery(ds, QStringLiteral("select content from paper where id = 'a'")));
    QVERIFY(ds.fieldByName(QStringLiteral("content")).isNull());
    // Writing out into a folder that does not exist throws as well.
    QVERIFY_THROWS_EXCEPTION(EngineError, ds.fieldByName(QStringLiteral("content")).saveToFile(archive.dir.filePath(QStringLiteral("no/such/file"))));
}

void TestStoreEngine::resultsThatCannotBeEdited()
{
    ArchiveFolder archive;
    Dataset ds(archive.connect());
    insertItem(ds, QStringLiteral("a"), QStringLiteral("0"), 0);
    insertItem(ds, QStringLiteral("b"), QStringLiteral("0"), 5);
    QVERIFY(runStatement(ds, QStringLiteral("insert into fileblock (paperid, indexid, TheFileName, block) values ('a', 0, 'x.css', x'414243')")));

    // Aggregates and joins are read whole; they can be read but not edited.
    QVERIFY(runQuery(ds, QStringLiteral("select max(indexid) from paper where ParentPaperID = '0'")));
    QCOMPARE(ds.fieldByName(QStringLiteral("max(indexid)")).asInteger(), 5);
    QVERIFY_THROWS_EXCEPTION(EngineError, ds.edit());

    QVERIFY(runQuery(ds, QStringLiteral("select p.title, f.block from paper p, fileblock f where f.paperid = p.id")));
    QCOMPARE(ds.fieldByName(QStringLiteral("block")).asString(), QStringLiteral("ABC"));
    QVERIFY_THROWS_EXCEPTION(EngineError, ds.edit());

    // A select from one table with a sub-select stays editable.
    QVERIFY(runQuery(ds, QStringLiteral("select block, TheFileName from fileblock where paperid in (select id from paper) order by indexid")));
    ds.edit();
    ds.fieldByName(QStringLiteral("TheFileName")).setValue(QStringLiteral("y.css"));
    ds.post();
    QVERIFY(runQuery(ds, QStringLiteral("select TheFileName as n from fileblock")));
    QCOMPARE(ds.fieldByName(QStringLiteral("N")).asString(), QStringLiteral("y.css"));
}

void TestStoreEngine::staticCursorSurvivesOtherStatements()
{
    ArchiveFolder archive;
    auto connection = archive.connect();
    Dataset pQ(connection);
    for (int i = 0; i < 4; ++i) {
        insertItem(pQ, QStringLiteral("top%1").arg(i), QStringLiteral("0"), i);
        for (int j = 0; j < 3; ++j)
            insertItem(pQ, QStringLiteral("top%1-%2").arg(i).arg(j), QStringLiteral("top%1").arg(i), j);
    }
    QVERIFY(runStatement(pQ, QStringLiteral("update paper set content = x'00112233' where id = 'top3'")));

    // One dataset per depth on one connection, as the tree loads, while pQ
    // inserts, deletes and changes rows under the walk.
    Dataset top(connection);
    QVERIFY(runQuery(top, QStringLiteral("select id, content from paper where ParentPaperID = '0' order by indexid")));
    QStringList seen;
    int children = 0;
    for (; !top.eof(); top.next()) {
        const QString id = top.fieldByName(QStringLiteral("id")).asString();
        seen << id;
        Dataset level(connection);
        QVERIFY(runQuery(level, QStringLiteral("select id from paper where ParentPaperID = %1 order by indexid").arg(quoted(id))));
        for (; !level.eof(); level.next()) {
            ++children;
            QVERIFY(runStatement(pQ, QStringLiteral("delete from paper where id = ") + quoted(level.fieldByName(QStringLiteral("id")).asString())));
        }
        QVERIFY(runStatement(pQ, QStringLiteral("insert into paper (id, ParentPaperID, indexid) values (%1, '0', 99)").arg(quoted(id + QStringLiteral("-new")))));
        QVERIFY(runStatement(pQ, QStringLiteral("delete from paper where id = 'top2'")));
        QVERIFY(runQuery(pQ, QStringLiteral("select count(*) as n from paper")));
    }
    QCOMPARE(seen, QStringList({"top0", "top1", "top2", "top3"}));
    QCOMPARE(children, 12);   // top2 was deleted before its turn, yet the walk still holds it

    // Blobs of the walk are read when asked, from the row as it is then.
    QVERIFY(runQuery(top, QStringLiteral("select id, content from paper where ParentPaperID = '0' order by indexid")));
    while (!top.eof() && top.fieldByName(QStringLiteral("id")).asString() != QStringLiteral("top3"))
        top.next();
    QVERIFY(!top.eof());
    QVERIFY(runStatement(pQ, QStringLiteral("update paper set title = 'changed' where id = 'top3'")));
    QCOMPARE(top.fieldByName(QStringLiteral("content")).asBytes(), QByteArray::fromHex("00112233"));
}

void TestStoreEngine::keptStatementsFollowSchemaChanges()
{
    ArchiveFolder archive;
    auto connection = archive.connect();
    Dataset ds(connection);
    // Each statement of a text is prepared once the one before it has run.
    connection->exec(QStringLiteral("create table t (a TEXT, b TEXT); insert into t values ('x', 'y')"));
    QVERIFY(runQuery(ds, QStringLiteral("select * from t where a = 'x'")));
    QCOMPARE(ds.fieldByName(QStringLiteral("b")).asString(), QStringLiteral("y"));
    QVERIFY(runQuery(ds, QStringLiteral("select * from t where a = 'none'")));
    QVERIFY(ds.eof());

    // Another connection makes the table anew with one more column: once this
    // connection has run a statement over the new schema (which reads it), the
    // same select, with other conditions, gives the new columns.
    {
        auto other = archive.connect();
        other->exec(QStringLiteral("drop table t"));
        other->exec(QStringLiteral("create table t (a TEXT, b TEXT, c BLOB)"));
        other->exec(QStringLiteral("insert into t values ('x', 'y', x'0102')"));
    }
    QVERIFY(runQuery(ds, QStringLiteral("select count(*) as n from t")));
    QCOMPARE(ds.fieldByName(QStringLiteral("n")).asInteger(), 1);
    QVERIFY(runQuery(ds, QStringLiteral("select * from t where a = 'x' and b = 'y'")));
    QVERIFY(!ds.eof());
    QCOMPARE(ds.fieldByName(QStringLiteral("c")).size(), 2);
    QCOMPARE(ds.fieldByName(QStringLiteral("c")).asBytes(), QByteArray::fromHex("0102"));
    ds.edit();
    ds.fieldByName(QStringLiteral("b")).setValue(QStringLiteral("z"));
    ds.post();

    // So does a change made through this connection.
    QVERIFY(runStatement(ds, QStringLiteral("alter table t add column d INTEGER")));
    QVERIFY(runQuery(ds, QStringLiteral("select * from t where a = 'x'")));
    QCOMPARE(ds.fieldByName(QStringLiteral("b")).asString(), QStringLiteral("z"));
    QVERIFY(ds.fieldByName(QStringLiteral("d")).isNull());

    // A kept statement runs again as often as it is given.
    for (int i = 0; i < 3; ++i)
        QVERIFY(runStatement(ds, QStringLiteral("insert into t (a) values ('again')")));
    QVERIFY(runQuery(ds, QStringLiteral("select count(*) as n from t where a = 'again'")));
    QCOMPARE(ds.fieldByName(QStringLiteral("n")).asInteger(), 3);
    // A failing statement is no different the second time.
    QVERIFY(!runStatement(ds, QStringLiteral("insert into nowhere values (1)")));
    QVERIFY(!runStatement(ds, QStringLiteral("insert into nowhere values (1)")));
    QVERIFY(!runQuery(ds, QStringLiteral("select * from nowhere where a = 1")));
}

QTEST_GUILESS_MAIN(TestStoreEngine)
#include "test_engine.moc"
