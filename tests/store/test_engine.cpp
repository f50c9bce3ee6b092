// The engine layer on a real archive: statements, fields, row editing, blobs
// in pieces and the static cursor.

#include "store/Engine_p.h"
#include "store/SqlText.h"
#include "tests/support/ArchiveFixture.h"
#include "tests/support/StatementLog.h"

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
    void literalsAsParameters_data();
    void literalsAsParameters();
    void parametersChangeNoResult_data();
    void parametersChangeNoResult();
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
void TestStoreEngine::literalsAsParameters_data()
{
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("shape");       // empty: left as it stands
    QTest::addColumn<QStringList>("values");  // s:text, i:integer
    using L = QStringList;
    QTest::newRow("insert") << "insert into paper(title,id,indexid,typeid) values('a','b',3,'4')"
                            << "insert into paper(title,id,indexid,typeid) values(?,?,?,?)" << L{"s:a", "s:b", "i:3", "s:4"};
    QTest::newRow("doubled quote, empty, unicode") << "update t set a = 'it''s', b = '', c = '中''文' where id = 7"
                                                   << "update t set a = ?, b = ?, c = ? where id = ?"
                                                   << L{"s:it's", "s:", "s:中'文", "i:7"};
    QTest::newRow("select list stays") << "select 'x', coalesce(a, 'y') as z, 5 from t where b = 'w'"
                                       << "select 'x', coalesce(a, 'y') as z, 5 from t where b = ?" << L{"s:w"};
    QTest::newRow("sub-select list stays") << "select a from t where b in (select 'q' from u where c = 1) and d = 2"
                                           << "select a from t where b in (select 'q' from u where c = ?) and d = ?"
                                           << L{"i:1", "i:2"};
    QTest::newRow("order and group by numbers stay") << "select a from t where b = 1 group by 1 order by 2, a limit 3"
                                                     << "select a from t where b = ? group by 1 order by 2, a limit ?"
                                                     << L{"i:1", "i:3"};
    QTest::newRow("blob, real, negative, big")
        << "delete from t where a = x'0A' or b = 1.5 or c = -2 or d = 12345678901234567890 or e = .5 or f = 1e3"
        << "delete from t where a = x'0A' or b = 1.5 or c = -? or d = 12345678901234567890 or e = .5 or f = 1e3"
        << L{"i:2"};
    QTest::newRow("comments and names") << "select \"a'b\" from [c'd] -- 'e'\nwhere f = 'g' /* 'h' */"
                                        << "select \"a'b\" from [c'd] -- 'e'\nwhere f = ? /* 'h' */" << L{"s:g"};
    QTest::newRow("booleans") << "select true, a from t where b = FALSE and c = 'true' order by true"
                              << "select 1, a from t where b = ? and c = ? order by 1" << L{"i:0", "s:true"};
    QTest::newRow("trailing semicolon") << "delete from t where a = 'x';" << "delete from t where a = ?;" << L{"s:x"};
    QTest::newRow("no literals") << "delete from paper" << "delete from paper" << L{};
    QTest::newRow("two statements") << "delete from t where a = 'x'; delete from u" << "" << L{};
    QTest::newRow("own parameters") << "delete from t where a = ? and b = 'x'" << "" << L{};
    QTest::newRow("named parameter") << "delete from t where a = :a" << "" << L{};
    QTest::newRow("unterminated") << "delete from t where a = 'x" << "" << L{};
    QTest::newRow("unterminated after a doubled quote") << "delete from t where a = 'x''" << "" << L{};
    QTest::newRow("not a query") << "create table t (a default 'x')" << "" << L{};
    QTest::newRow("pragma") << "PRAGMA cache_size = 5" << "" << L{};
    QString many = QStringLiteral("select a from t where a in (");
    for (int i = 0; i < 65; ++i)
        many += QStringLiteral("'%1',").arg(i);
    many += QStringLiteral("'x')");
    QTest::newRow("too many literals") << many << "" << L{};
}

void TestStoreEngine::literalsAsParameters()
{
    QFETCH(QString, in);
    QFETCH(QString, shape);
    QFETCH(QStringList, values);
    const std::optional<sql::Parameterized> p = sql::parameterized(in);
    if (shape.isEmpty()) {
        QVERIFY2(!p, p ? qPrintable(p->text) : "");
        return;
    }
    QVERIFY(p);
    QCOMPARE(p->text, shape);
    QStringList got;
    for (const auto& v : p->values)
        got << (v.isInteger ? QStringLiteral("i:%1").arg(v.integer) : QStringLiteral("s:") + v.text);
    QCOMPARE(got, values);
}

// Every statement gives what its text as it stands gives: the same rows with
// the same column names, values and types, and the same rows stored. The
// reference runs the text itself on the same connection, without the engine.
void TestStoreEngine::parametersChangeNoResult_data()
{
    QTest::addColumn<QString>("statement");
    QTest::newRow("integer affinity") << "select id, typeid from paper where typeid = '4' and indexid = 1";
    QTest::newRow("text affinity") << "select id from paper where id = 20240517210409 or title = 1";
    QTest::newRow("literal columns") << "select 'x', 5, upper('a') || title, typeof('5') from paper where id = 'b'";
    QTest::newRow("order by a column number") << "select title, id from paper where indexid >= 0 order by 2 desc";
    QTest::newRow("like") << "select id from paper where title like 'T%' and title like '%''%'";
    QTest::newRow("blob literal") << "select id from paper where cast(title as blob) = x'54776F'";
    QTest::newRow("name as a string") << "select id from 'paper' where 'paper'.id = 'b'";
    QTest::newRow("in list and sub-select") << "select id from paper where id in ('a', 'b') and indexid in (select 1)";
    QTest::newRow("limit") << "select id from paper where indexid > -1 order by id limit 1 offset 1";
    QTest::newRow("insert") << "insert into paper(id, title, typeid, indexid, sizebyte) values('n', 'It''s', '12', 7, 99)";
    QTest::newRow("insert quoted number into integer") << "insert into paper(id, typeid, title) values('m', '0012', 12)";
    QTest::newRow("update") << "update paper set title = 'Ti''t', indexid = 9, typeid = '5' where id = 'a'";
    QTest::newRow("delete") << "delete from paper where id = 'b' and typeid = '4'";
}

void TestStoreEngine::parametersChangeNoResult()
{
    QFETCH(QString, statement);
    // Two archives alike: one runs the statement through the engine, the
    // other as plain text.
    ArchiveFolder engineSide;
    ArchiveFolder plainSide;
    const QString setup = QStringLiteral(
        "insert into paper(id, title, typeid, indexid) values('a', 'Tit''s', 4, 1);"
        "insert into paper(id, title, typeid, indexid) values('b', 'Two', '4', 0);"
        "insert into paper(id, title, typeid, indexid) values('20240517210409', '1', 12, 2);");
    auto viaEngine = engineSide.connect();
    auto plain = plainSide.connect();
    viaEngine->exec(setup);
    plain->exec(setup);

    // Every row of a select as text: names, then typeof:value per column.
    auto rowsOf = [](sqlite3_stmt* st) {
        QStringList rows;
        QStringList names;
        for (int k = 0; k < sqlite3_column_count(st); ++k)
            names << QString::fromUtf8(sqlite3_column_name(st, k));
        rows << names.join(u'|');
        while (sqlite3_step(st) == SQLITE_ROW) {
            QStringList row;
            for (int k = 0; k < sqlite3_column_count(st); ++k)
                row << QStringLiteral("%1:%2").arg(sqlite3_column_type(st, k))
                           .arg(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, k))));
            rows << row.join(u'|');
        }
        return rows;
    };
    auto plainRows = [&](Connection& c, const QString& sql) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(c.handle(), sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK)
            return QStringList{QStringLiteral("cannot prepare")};
        const QStringList rows = rowsOf(st);
        sqlite3_finalize(st);
        return rows;
    };
    const QString everything = QStringLiteral("select id, title, typeid, typeof(typeid), indexid, sizebyte from paper order by id");

    QStringList expected;
    if (statement.startsWith(QLatin1String("select"))) {
        expected = plainRows(*plain, statement);
        // Twice: the second run takes the kept statement with new bindings.
        for (int run = 0; run < 2; ++run) {
            test::StatementLog log(*viaEngine);
            engine::Statement st = viaEngine->statements().takeBound(statement);
            QVERIFY(st);
            QCOMPARE(rowsOf(st.get()), expected);
            QCOMPARE(log.statements.value(log.statements.size() - 1), statement);  // as written, values in place
        }
        // And the program's own reading of it.
        Dataset ds(viaEngine);
        QVERIFY(runQuery(ds, statement));
        QCOMPARE(ds.rowCount(), expected.size() - 1);
    } else {
        QCOMPARE(sqlite3_exec(plain->handle(), statement.toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK);
        viaEngine->exec(statement);
        QCOMPARE(plainRows(*viaEngine, everything), plainRows(*plain, everything));
    }
}

#include "test_engine.moc"
