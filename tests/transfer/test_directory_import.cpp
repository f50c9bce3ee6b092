// The directory import over a real archive and real directories, answered by
// the scripted prompter. The same executable, started with --import, is the
// process that the interruption test kills in the middle of an import.
#include "bench/DirectoryGenerator.h"
#include "tests/content/StateFixture.h"
#include "tests/support/FakeWebView.h"
#include "transfer/DirectoryImport.h"

#include <QApplication>
#include <QLocale>
#include <QProcess>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

using namespace tallowmere;
using tallowmere::test::StateFixture;

namespace {

constexpr qint64 kTenMiB = 10485760;

// A test directory below the fixture's source folder, with the directory's
// own item added, stored and selected as adding it leaves it.
struct ImportFixture {
    FakeWebView web;
    StateFixture f{web};
    QTreeWidgetItem* own = nullptr;
    const QString ownId = QStringLiteral("2024-05-17 21:04:09");

    ImportFixture()
    {
        own = f.addItem(ownId, QStringLiteral("src"), 4, QStringLiteral(".txt"));
        f.tree.setCurrentItem(own);
        f.state.currentItemId = ownId;
    }

    QString write(const QString& name, const QByteArray& bytes = QByteArrayLiteral("<html>x</html>"))
    {
        return f.writeSource(name, bytes);
    }
    QString mkdir(const QString& name)
    {
        QDir().mkpath(f.src(name));
        return f.src(name);
    }

    // As adding the directory's item hands over (the import leaves the last
    // file's path in the capture source).
    void run(bool subdirs)
    {
        f.state.captureSource = f.work.path() + QStringLiteral("/src");
        f.state.includeSubdirs = subdirs;
        directoryImport(f.state);
    }

    // Titles of a node's children, sorted (the listing order is the file system's).
    static QStringList titles(const QTreeWidgetItem* node)
    {
        QStringList out;
        for (int i = 0; i < node->childCount(); ++i)
            out << node->child(i)->text(0);
        out.sort();
        return out;
    }
    static QTreeWidgetItem* child(QTreeWidgetItem* node, const QString& title)
    {
        for (int i = 0; i < node->childCount(); ++i)
            if (node->child(i)->text(0) == title)
                return node->child(i);
        return nullptr;
    }

    // One column of the row with this id, read back through the program's engine.
    QString column(const QString& id, const QString& name)
    {
        if (!runQuery(f.pQ, QStringLiteral("select %1 from paper where id = %2").arg(name, quoted(id))) || f.pQ.eof())
            return QStringLiteral("<no row>");
        const QString v = f.pQ.fieldByName(name).asString();
        f.pQ.close();
        return v;
    }
    int count(const QString& sql)
    {
        if (!runQuery(f.pQ, sql) || f.pQ.eof())
            return -1;
        const int n = f.pQ.fieldByName(QStringLiteral("n")).asInteger();
        f.pQ.close();
        return n;
    }
    int paperRows() { return count(QStringLiteral("select count(*) as n from paper")); }
};

// Runs a block with the effective user "nobody" when the tests run as root,
// for whom no file is unreadable.
class AsUnprivileged {
public:
    AsUnprivileged()
    {
        if (geteuid() != 0)
            return;
        if (setegid(65534) == 0 && seteuid(65534) == 0)
            switched_ = true;
        else
            failed_ = true;
    }
    ~AsUnprivileged()
    {
        if (switched_ && seteuid(0) == 0)
            setegid(0);
    }
    bool failed() const { return failed_; }

private:
    bool switched_ = false;
    bool failed_ = false;
};

// The import that the interruption test kills: bbk.dat in argv[2], the directory in argv[3].
int importForKill(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString archivePath = QString::fromLocal8Bit(argv[2]);
    Dataset pQ;
    if (!openArchiveDatabase(pQ, archivePath))
        return 3;
    test::ScriptedPrompter prompter;
    prompter.answers = {true};
    bench::ImportTarget target(pQ, prompter, QString::fromLocal8Bit(argv[3]));
    std::fputs("importing\n", stdout);
    std::fflush(stdout);
    directoryImport(target.state);
    return 0;
}

} // namespace

class TestDirectoryImport : public QObject {
    Q_OBJECT
private slots:
    void pageWithCompanionFolder_data();
    void pageWithCompanionFolder();
    void bothCompanionFoldersKeepTheSecond();
    void companionNameWithoutPageIsAFolder();
    void supportedExtensionsExactCase();
    void hiddenFile_data();
    void hiddenFile();
    void directoriesNotWalked();
    void emptyDirectory();
    void question_data();
    void question();
    void decliningLeavesOwnItemOnly();
    void idsWithinOneSecond();
    void idTakenByAnEarlierImport();
    void folderAndFileItemFields();
    void textFileStoredFromEditor();
    void unreadableTextFileStopsImport();
    void killedImportLeavesWholeItems();
};

void TestDirectoryImport::pageWithCompanionFolder_data()
{
    QTest::addColumn<bool>("subdirs");
    QTest::newRow("with sub-directories") << true;
    QTest::newRow("without sub-directories") << false;
}

void TestDirectoryImport::pageWithCompanionFolder()
{
    QFETCH(bool, subdirs);
    ImportFixture t;
    t.write(QStringLiteral("page.htm"), "<html><img src=page_files/a.png></html>");
    t.write(QStringLiteral("page_files/a.png"), "PNG");
    t.write(QStringLiteral("page_files/deeper/b.png"), "deeper");
    t.run(subdirs);

    QCOMPARE(ImportFixture::titles(t.own), QStringList{"page.htm"});
    const TNodeData* rec = nodeData(t.own->child(0));
    QCOMPARE(rec->typeid_, QString("15"));
    // Read back by the stock shell: the page and only the plain file of its folder.
    QCOMPARE(t.f.shell(QStringLiteral("select typeid, length(content) from paper where id = '%1'").arg(rec->ID)),
             QString("15|39"));
    QCOMPARE(t.f.shell(QStringLiteral("select indexid, TheFileName, thesize, length(block) from fileblock where paperid = '%1'").arg(rec->ID)),
             QString("0|a.png|3|3"));
    QCOMPARE(t.paperRows(), 2);
}

void TestDirectoryImport::bothCompanionFoldersKeepTheSecond()
{
    // The page is stored with page.files; page_files would otherwise be lost.
    ImportFixture t;
    t.write(QStringLiteral("page.htm"));
    t.write(QStringLiteral("page.files/a.css"), "a");
    t.write(QStringLiteral("page_files/b.txt"), "b");
    t.run(true);
    QCOMPARE(ImportFixture::titles(t.own), (QStringList{"page.htm", "page_files"}));
    QCOMPARE(nodeData(ImportFixture::child(t.own, "page.htm"))->typeid_, QString("14"));
    QCOMPARE(ImportFixture::titles(ImportFixture::child(t.own, "page_files")), QStringList{"b.txt"});
}

void TestDirectoryImport::companionNameWithoutPageIsAFolder()
{
    ImportFixture t;
    t.write(QStringLiteral("notes_files/inside.txt"), "inside");
    t.write(QStringLiteral("other.htm"));
    t.run(true);
    QCOMPARE(ImportFixture::titles(t.own), (QStringList{"notes_files", "other.htm"}));
    QTreeWidgetItem* folder = ImportFixture::child(t.own, "notes_files");
    QCOMPARE(ImportFixture::titles(folder), QStringList{"inside.txt"});
    QCOMPARE(t.column(nodeData(folder->child(0))->ID, "ParentPaperID"), nodeData(folder)->ID);
    QCOMPARE(t.column(nodeData(folder->child(0))->ID, "plaintext"), QString("inside"));
}

void TestDirectoryImport::supportedExtensionsExactCase()
{
    ImportFixture t;
    for (const char* name : {"readme.TXT", "readme.txt", "picture.gif", "INDEX.HTM", "a.mht", "b.html", "noext"})
        t.write(QString::fromLatin1(name));
    t.run(false);
    QCOMPARE(ImportFixture::titles(t.own), (QStringList{"a.mht", "b.html", "readme.txt"}));
    QCOMPARE(nodeData(ImportFixture::child(t.own, "readme.txt"))->typeid_, QString("4"));
    QCOMPARE(nodeData(ImportFixture::child(t.own, "a.mht"))->typeid_, QString("9"));
    QCOMPARE(nodeData(ImportFixture::child(t.own, "b.html"))->typeid_, QString("12"));
    QCOMPARE(t.paperRows(), 4);
}

void TestDirectoryImport::hiddenFile_data()
{
    QTest::addColumn<bool>("subdirs");
    QTest::addColumn<QStringList>("titles");
    QTest::newRow("with sub-directories") << true << QStringList{".old.htm", "new.htm"};
    QTest::newRow("without sub-directories") << false << QStringList{"new.htm"};
}

void TestDirectoryImport::hiddenFile()
{
    QFETCH(bool, subdirs);
    QFETCH(QStringList, titles);
    ImportFixture t;
    t.write(QStringLiteral(".old.htm"));
    t.write(QStringLiteral("new.htm"));
    t.run(subdirs);
    QCOMPARE(ImportFixture::titles(t.own), titles);
}

void TestDirectoryImport::directoriesNotWalked()
{
    ImportFixture t;
    t.write(QStringLiteral("plain/a.txt"), "a");
    t.write(QStringLiteral("locked/b.txt"), "b");
    QVERIFY(QFile::setPermissions(t.f.src("locked"), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup
                                                         | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));
    t.write(QStringLiteral(".hidden/c.txt"), "c");
    t.write(QStringLiteral("target/d.txt"), "d");
    t.write(QStringLiteral("real.txt"), "real");
    // Links are never followed: to a directory, into a cycle, to a file.
    QVERIFY(QFile::link(t.f.src("target"), t.f.src("linked")));
    QVERIFY(QFile::link(t.f.src(""), t.f.src("plain/loop")));
    QVERIFY(QFile::link(t.f.src("real.txt"), t.f.src("link.txt")));
    // A pipe named like a text file would block the reading for ever.
    QCOMPARE(::mkfifo(QFile::encodeName(t.f.src("pipe.txt")).constData(), 0644), 0);
    t.run(true);
    QCOMPARE(estimateWithSubdirs(t.f.src("")), qint64(1 + 4 + 1));
    QFile::setPermissions(t.f.src("locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QCOMPARE(ImportFixture::titles(t.own), (QStringList{"plain", "real.txt", "target"}));
    QCOMPARE(ImportFixture::titles(ImportFixture::child(t.own, "plain")), QStringList{"a.txt"});
    QCOMPARE(t.paperRows(), 1 + 5);
}

void TestDirectoryImport::emptyDirectory()
{
    ImportFixture t;
    t.f.memo->setPlainText(QStringLiteral("left from before"));
    t.run(true);
    QCOMPARE(t.own->childCount(), 0);
    QCOMPARE(t.paperRows(), 1);
    QVERIFY(t.f.prompter.asked.isEmpty());
    QVERIFY(t.f.memo->toPlainText().isEmpty());
    QVERIFY(!t.f.memo->document()->isModified());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QCOMPARE(t.f.tree.currentItem(), t.own);
}

void TestDirectoryImport::question_data()
{
    QTest::addColumn<bool>("subdirs");
    QTest::addColumn<qint64>("topBytes");     // big.htm at the top
    QTest::addColumn<qint64>("extraBytes");   // one more supported file
    QTest::addColumn<QString>("extraName");
    QTest::addColumn<bool>("asked");
    QTest::newRow("exactly 10 MiB") << false << kTenMiB << qint64(0) << QString() << false;
    QTest::newRow("one byte more") << false << kTenMiB << qint64(1) << QString("one.mht") << true;
    QTest::newRow("unsupported byte not counted") << false << kTenMiB << qint64(1) << QString("one.gif") << false;
    QTest::newRow("hidden byte not counted without") << false << kTenMiB << qint64(1) << QString(".one.mht") << false;
    QTest::newRow("hidden byte counted with") << true << kTenMiB << qint64(1) << QString(".one.mht") << true;
    QTest::newRow("sub-directory not counted without") << false << kTenMiB << qint64(1) << QString("sub/one.mht") << false;
    QTest::newRow("sub-directory counted with") << true << kTenMiB << qint64(1) << QString("sub/one.mht") << true;
    QTest::newRow("companion folder not counted") << true << kTenMiB - 1 << qint64(2) << QString("big_files/one.mht") << false;
}

void TestDirectoryImport::question()
{
    QFETCH(bool, subdirs);
    QFETCH(qint64, topBytes);
    QFETCH(qint64, extraBytes);
    QFETCH(QString, extraName);
    QFETCH(bool, asked);
    ImportFixture t;
    t.write(QStringLiteral("big.htm"), QByteArray(topBytes, 'x'));
    if (!extraName.isEmpty())
        t.write(extraName, QByteArray(extraBytes, 'y'));
    t.f.prompter.answers = {true};
    t.run(subdirs);
    if (asked) {
        QCOMPARE(t.f.prompter.asked, QStringList{largeImportQuestion(topBytes + extraBytes)});
        QVERIFY(ImportFixture::child(t.own, "big.htm"));
    } else {
        QVERIFY(t.f.prompter.asked.isEmpty());
    }
    QVERIFY(ImportFixture::child(t.own, "big.htm"));
    QCOMPARE(t.column(nodeData(ImportFixture::child(t.own, "big.htm"))->ID, "length(content)"), QString::number(topBytes));
}

void TestDirectoryImport::decliningLeavesOwnItemOnly()
{
    ImportFixture t;
    t.write(QStringLiteral("big.mht"), QByteArray(kTenMiB + 1, 'x'));
    t.write(QStringLiteral("small.txt"), "small");
    t.f.prompter.answers = {false};
    t.run(false);
    const QString p = QLocale::system().decimalPoint();
    QCOMPARE(t.f.prompter.asked,
             QStringList{"The total size is 10" + p + "00 MB,there'll be a long time to wait! Go ahead?"});
    QCOMPARE(t.own->childCount(), 0);
    QCOMPARE(t.paperRows(), 1);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void TestDirectoryImport::idsWithinOneSecond()
{
    ImportFixture t;  // the clock stands still: every item is made in the same second
    t.write(QStringLiteral("a.htm"));
    t.write(QStringLiteral("b.htm"));
    t.write(QStringLiteral("sub/c.htm"));
    t.run(true);
    const QString stamp = t.f.clock.timestamp();
    QSet<QString> ids;
    QTreeWidgetItem* sub = ImportFixture::child(t.own, "sub");
    for (QTreeWidgetItem* node : {ImportFixture::child(t.own, "a.htm"), ImportFixture::child(t.own, "b.htm"), sub, sub->child(0)}) {
        const QString id = nodeData(node)->ID;
        QVERIFY2(id.startsWith(stamp) && id.size() > 19, qPrintable(id));
        QVERIFY(id.mid(19).toInt() >= 0);
        ids.insert(id);
        QCOMPARE(t.column(id, "id"), id);
    }
    QCOMPARE(ids.size(), 4);
    // The folder's own "." and ".." are counted before its first entry.
    QVERIFY(nodeData(sub->child(0))->ID.mid(19).toInt() >= nodeData(sub)->ID.mid(19).toInt() + 2);
}

void TestDirectoryImport::idTakenByAnEarlierImport()
{
    // A second import in the same second makes the same ids; the second must
    // neither fail to insert nor store into the first one's rows.
    ImportFixture t;
    t.write(QStringLiteral("a.htm"), "first");
    t.run(false);
    const QString firstId = nodeData(t.own->child(0))->ID;
    t.write(QStringLiteral("a.htm"), "second");
    t.run(false);
    QCOMPARE(t.own->childCount(), 2);
    const QString secondId = nodeData(t.own->child(1))->ID;
    QCOMPARE(secondId, firstId + "-1");
    QCOMPARE(t.column(firstId, "content"), QString("first"));
    QCOMPARE(t.column(secondId, "content"), QString("second"));
    QCOMPARE(t.column(secondId, "createtime"), firstId.left(19));
}

void TestDirectoryImport::folderAndFileItemFields()
{
    ImportFixture t;
    t.write(QStringLiteral("it's/page.HTML.htm"), QByteArray(1234, 'p'));
    t.run(true);
    QTreeWidgetItem* folderNode = ImportFixture::child(t.own, "it's");
    QVERIFY(folderNode);
    const TNodeData folder = *nodeData(folderNode);
    const TNodeData file = *nodeData(folderNode->child(0));

    QCOMPARE(folder.ParentPaperID, t.ownId);
    QCOMPARE(folder.indexid, QString("0"));
    QCOMPARE(folder.typeid_, QString("4"));
    QVERIFY(folder.HasSubFolders);
    QCOMPARE(folder.ExtName, QString(".txt"));
    QCOMPARE(folder.SizeByte, 0);
    QCOMPARE(folder.createtime, folder.ID.left(19));
    QCOMPARE(folder.ModifyTime, folder.ID.left(19));
    QVERIFY(!folderNode->icon(0).isNull());
    // Read back by the stock shell: the row as the statement wrote it.
    QCOMPARE(t.f.shell(QStringLiteral("select title, ParentPaperID, indexid, typeof(typeid), typeid, HasSubFolders, "
                                      "createtime, modifytime, extname, sizebyte, content is null, plaintext is null "
                                      "from paper where id = '%1'").arg(folder.ID)),
             QString("it's|%1|0|integer|4|1|%2|%2|.txt|0|1|1").arg(t.ownId, folder.createtime));

    QCOMPARE(file.Title, QString("page.HTML.htm"));
    QCOMPARE(file.ParentPaperID, folder.ID);
    QCOMPARE(file.indexid, QString("0"));
    QCOMPARE(file.typeid_, QString("12"));
    QVERIFY(!file.HasSubFolders);
    QCOMPARE(file.ExtName, QString(".htm"));
    QCOMPARE(file.SizeByte, 1234);
    QCOMPARE(file.createtime, file.ID.left(19));
    QCOMPARE(t.f.shell(QStringLiteral("select title, typeof(typeid), typeid, HasSubFolders, createtime, modifytime, "
                                      "extname, sizebyte, length(content) from paper where id = '%1'").arg(file.ID)),
             QString("page.HTML.htm|integer|12|0|%1|%1|.htm|1234|1234").arg(file.createtime));
    QCOMPARE(t.own->childCount(), 1);
    QVERIFY(!t.own->isExpanded());
}

void TestDirectoryImport::textFileStoredFromEditor()
{
    ImportFixture t;
    const QByteArray text = QStringLiteral("第一行 line one\nline two\r\nend").toUtf8();
    t.write(QStringLiteral("note.txt"), text);
    t.f.clock.advance(5);  // storing stamps the text's modification time
    t.run(false);
    const TNodeData rec = *nodeData(t.own->child(0));
    const QString stored = QStringLiteral("第一行 line one\r\nline two\r\nend");
    QCOMPARE(t.column(rec.ID, "plaintext"), stored);
    QCOMPARE(t.column(rec.ID, "sizebyte"), QString::number(stored.toUtf8().size()));
    QCOMPARE(t.column(rec.ID, "modifytime"), t.f.clock.timestamp());
    QCOMPARE(rec.SizeByte, text.size());  // the record keeps the listing size
    QVERIFY(t.f.memo->toPlainText().isEmpty());
}

void TestDirectoryImport::unreadableTextFileStopsImport()
{
    ImportFixture t;
    t.write(QStringLiteral("bad.txt"), "secret");
    QVERIFY(QFile::setPermissions(t.f.src("bad.txt"), QFile::Permissions()));
    // Reached as another user: every folder on the way open to all.
    for (const QString& folder : {t.f.work.path(), t.f.src(""), QFileInfo(t.f.archive.path).path()})
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0777) == 0);
    {
        AsUnprivileged nobody;
        if (nobody.failed())
            QSKIP("cannot drop privileges to read as another user");
        t.run(false);
    }
    QCOMPARE(t.f.prompter.errors.size(), 1);
    QVERIFY2(t.f.prompter.errors[0].contains(t.f.src("bad.txt")), qPrintable(t.f.prompter.errors[0]));
    QCOMPARE(t.own->childCount(), 0);
    QCOMPARE(t.paperRows(), 1);  // no row without its content
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QVERIFY(t.f.memo->toPlainText().isEmpty());
}

void TestDirectoryImport::killedImportLeavesWholeItems()
{
    test::ArchiveFolder archive;
    QTemporaryDir work;
    const QString source = work.filePath(QStringLiteral("source"));
    const bench::GeneratedDirectory made = bench::DirectoryGenerator(3).make(source, 8000);

    QProcess importer;
    importer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    importer.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--import"), archive.path, source});
    QVERIFY(importer.waitForStarted());
    QVERIFY(importer.waitForReadyRead(60000));
    // Kill once a first batch is committed (the file has grown and no journal
    // is left of it), long before the whole directory is in. The moment between
    // two batches is short and easily missed; a file grown past what one batch
    // writes (the file grows only as batches commit; 16 MB of small files take
    // up to twice that in pages) is in the middle of a later batch, which is as good.
    const qint64 firstBatch = 4 << 20;
    const qint64 pastFirstBatch = 56 << 20;
    const QString journal = archive.path + QStringLiteral("-journal");
    auto due = [&] {
        const qint64 size = QFileInfo(archive.path).size();
        return size >= pastFirstBatch || (size >= firstBatch && !QFileInfo::exists(journal));
    };
    while (importer.state() == QProcess::Running && !due())
        QTest::qWait(1);
    QVERIFY2(importer.state() == QProcess::Running, "the import ended before it could be interrupted");
    ::kill(pid_t(importer.processId()), SIGKILL);
    QVERIFY(importer.waitForFinished(60000));
    QCOMPARE(importer.exitStatus(), QProcess::CrashExit);

    QCOMPARE(test::runShell(archive.path, QStringLiteral("PRAGMA integrity_check;")).out, QString("ok"));
    Dataset pQ;
    QVERIFY(openArchiveDatabase(pQ, archive.path));
    auto one = [&](const QString& sql) {
        if (!runQuery(pQ, sql) || pQ.eof())
            return -1;
        const int n = pQ.fieldByName(QStringLiteral("n")).asInteger();
        pQ.close();
        return n;
    };
    const int items = one(QStringLiteral("select count(*) as n from paper where ParentPaperID <> '0'"));
    QVERIFY2(items > 0 && items < made.imported + made.folders, qPrintable(QString::number(items)));
    // Every file item holds its content as the store writes it.
    QCOMPARE(one(QStringLiteral("select count(*) as n from paper where typeid in (9, 12, 14, 15) "
                                "and (content is null or length(content) <> sizebyte)")), 0);
    QCOMPARE(one(QStringLiteral("select count(*) as n from paper where typeid = 4 and HasSubFolders = 0 "
                                "and ParentPaperID <> '0' and (plaintext is null or length(cast(plaintext as blob)) <> sizebyte)")), 0);
    QVERIFY(one(QStringLiteral("select count(*) as n from paper where typeid = 4 and HasSubFolders = 0 and ParentPaperID <> '0'")) > 0);
    // Companion files came with their pages, whole.
    QCOMPARE(one(QStringLiteral("select count(*) as n from fileblock where block is null or length(block) <> thesize")), 0);
    QCOMPARE(one(QStringLiteral("select count(*) as n from paper p where typeid = 15 and "
                                "(select count(*) from fileblock where paperid = p.id) <> 2")), 0);
    QCOMPARE(one(QStringLiteral("select count(*) as n from fileblock f where not exists (select 1 from paper where id = f.paperid)")), 0);
    // No item lost its parent.
    QCOMPARE(one(QStringLiteral("select count(*) as n from paper p where ParentPaperID <> '0' and "
                                "not exists (select 1 from paper where id = p.ParentPaperID)")), 0);
}

int main(int argc, char* argv[])
{
    if (argc == 4 && qstrcmp(argv[1], "--import") == 0)
        return importForKill(argc, argv);
    QApplication app(argc, argv);
    TestDirectoryImport test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_directory_import.moc"
