// Compaction at exit and the recovery of an interrupted one, on real archive files.

#include "store/Compaction.h"
#include "tests/support/ArchiveFixture.h"

#include <QtTest>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tallowmere;

namespace {

// A folder with an archive holding a kept branch and a large deleted one.
struct Folder {
    QTemporaryDir dir;
    QString folder = dir.path() + QLatin1Char('/');
    QString archive = folder + QStringLiteral("bbk.dat");

    Folder()
    {
        createArchive(archive);
        auto c = Connection::open(archive);
        c->begin();
        c->exec(QStringLiteral("insert into paper(id,title,ParentPaperID,indexid,typeid,plaintext) values"
                               "('k1','Kept','0',0,4,'kept text'),('k2','Kept''s child','k1',0,4,'more')"));
        c->exec(QStringLiteral("insert into fileblock(paperid,indexid,thesize,TheFileName,block) "
                               "values('k2',0,3,'a.png',x'010203')"));
        for (int i = 0; i < 40; ++i)
            c->exec(QStringLiteral("insert into paper(id,title,ParentPaperID,indexid,typeid,content) "
                                   "values('big%1','big','0',%1,0,randomblob(100000))").arg(i + 1));
        c->exec(QStringLiteral("delete from paper where id like 'big%'"));
        c->commit();
    }
    qint64 size() const { return QFileInfo(archive).size(); }
    QString rows() const { return test::runShell(archive, QStringLiteral(
        "select id, title, ParentPaperID, plaintext from paper order by id; "
        "select paperid, TheFileName, hex(block) from fileblock;")).out; }
    bool leftovers() const
    {
        return QFile::exists(folder + QStringLiteral("Demo.mdb")) || QFile::exists(folder + QStringLiteral("temp.mdb"));
    }
};

const QString kExpectedRows = QStringLiteral("k1|Kept|0|kept text\nk2|Kept's child|k1|more\nk2|a.png|010203");

} // namespace

class TestCompaction : public QObject {
    Q_OBJECT
private slots:
    void compactsAndKeepsEverything()
    {
        Folder f;
        QCOMPARE(f.rows(), kExpectedRows);
        const qint64 before = f.size();
        QVERIFY(compactArchive(f.folder));
        QVERIFY(f.size() < before / 4);
        QVERIFY(!f.leftovers());
        // The stock shell opens the compacted file with the archive's settings.
        QCOMPARE(f.rows(), kExpectedRows);
        QCOMPARE(QFileInfo(f.archive).permissions() & (QFile::ReadOther | QFile::ReadGroup), QFile::Permissions());
    }

    void failedCopyPutsOldFileBack()
    {
        Folder f;
        // A "temp.mdb" that cannot be replaced or written.
        QVERIFY(QDir(f.folder).mkdir(QStringLiteral("temp.mdb")));
        QVERIFY(QFile(f.folder + QStringLiteral("temp.mdb/keep")).open(QIODevice::WriteOnly));
        const qint64 before = f.size();
        QVERIFY(!compactArchive(f.folder));
        QCOMPARE(f.size(), before);
        QVERIFY(!QFile::exists(f.folder + QStringLiteral("Demo.mdb")));
        QCOMPARE(f.rows(), kExpectedRows);
    }

    void staleCopyOfEarlierFailureDoesNotBlock()
    {
        Folder f;
        QFile stale(f.folder + QStringLiteral("temp.mdb"));
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write("left over");
        stale.close();
        QVERIFY(compactArchive(f.folder));
        QVERIFY(!f.leftovers());
        QCOMPARE(f.rows(), kExpectedRows);
    }

    void missingArchiveIsNoCompaction()
    {
        QTemporaryDir dir;
        QVERIFY(!compactArchive(dir.path() + QLatin1Char('/')));
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
    }

    void killedAtEachStepLosesNothing_data()
    {
        QTest::addColumn<int>("step");
        QTest::newRow("after rename to Demo.mdb") << int(CompactionStep::AfterRenameToSource);
        QTest::newRow("after temp.mdb written") << int(CompactionStep::AfterCopyWritten);
        QTest::newRow("after rename to bbk.dat") << int(CompactionStep::AfterRenameToArchive);
    }
    void killedAtEachStepLosesNothing()
    {
        QFETCH(int, step);
        Folder f;
        const pid_t child = ::fork();
        if (child == 0) {
            setCompactionCrashPoint(CompactionStep(step));
            compactArchive(f.folder);
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 9);  // it really stopped there
        recoverInterruptedCompaction(f.folder);
        Dataset pQ;
        QVERIFY(openArchiveDatabase(pQ, f.archive));
        QCOMPARE(f.rows(), kExpectedRows);
        // A later compaction still works.
        pQ.setConnection({});
        QVERIFY(compactArchive(f.folder));
        QVERIFY(!f.leftovers());
        QCOMPARE(f.rows(), kExpectedRows);
    }

    void recoveryTakesOnlyACompleteCopy()
    {
        Folder f;
        QVERIFY(QFile::rename(f.archive, f.folder + QStringLiteral("temp.mdb")));
        QVERIFY(recoverInterruptedCompaction(f.folder));
        QCOMPARE(f.rows(), kExpectedRows);

        QTemporaryDir other;
        QFile half(other.filePath(QStringLiteral("temp.mdb")));
        QVERIFY(half.open(QIODevice::WriteOnly));
        half.write(QByteArray(5000, 'x'));
        half.close();
        QVERIFY(!recoverInterruptedCompaction(other.path() + QLatin1Char('/')));
        QVERIFY(!QFile::exists(other.filePath(QStringLiteral("bbk.dat"))));
    }

    void orphansGoGenerationByGeneration()
    {
        // Rows inserted deepest first, so no run can take a later generation
        // with an earlier one: each run removes exactly the rows whose parent
        // is gone at that moment; top-level items stay.
        test::ArchiveFolder a;
        {
            auto c = a.connect();
            c->exec(QStringLiteral("insert into paper(id,title,ParentPaperID,indexid,typeid) values"
                                   "('d','d','c',0,4),('c','c','b',0,4),('b','b','a',0,4),('t','top','0',0,4)"));
            c->exec(QStringLiteral("insert into fileblock(paperid,indexid) values('b',0),('t',0)"));
        }
        Dataset pQ;
        QVERIFY(openArchiveDatabase(pQ, a.path));
        const QStringList expected[] = {{"c", "d", "t"}, {"d", "t"}, {"t"}, {"t"}};
        for (const QStringList& left : expected) {
            cleanUpOrphans(pQ);
            QVERIFY(runQuery(pQ, QStringLiteral("select id from paper order by id")));
            QStringList ids;
            for (; !pQ.eof(); pQ.next())
                ids << pQ.fieldByName(QStringLiteral("id")).asString();
            QCOMPARE(ids, left);
        }
        QVERIFY(runQuery(pQ, QStringLiteral("select paperid from fileblock")));
        QCOMPARE(pQ.fieldByName(QStringLiteral("paperid")).asString(), QStringLiteral("t"));
        pQ.next();
        QVERIFY(pQ.eof());
    }
};

QTEST_GUILESS_MAIN(TestCompaction)
#include "test_compaction.moc"
