// bench-tree-load FOLDER [--runs R]
//
// Times what start-up does with the archive FOLDER/bbk.dat: open it and load
// the whole catalog tree into a QTreeWidget. The floor, measured in the same
// run, is the stock sqlcipher shell reading the same rows in one select (the
// whole process, key derivation included). Best of R runs each. Then the load
// is split into its stages so that a slow one shows.

#include "catalog/NodeData.h"
#include "catalog/TreeImages.h"
#include "catalog/TreeLoader.h"
#include "store/Archive.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <sqlite3.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <functional>
#include <limits>
#include <vector>

namespace {

using namespace tallowmere;

const char* const kShell = "/usr/bin/sqlcipher";

void say(const QString& text)
{
    std::fputs(qPrintable(text + u'\n'), stdout);
    std::fflush(stdout);
}

[[noreturn]] void usage()
{
    std::fputs("usage: bench-tree-load FOLDER [--runs R]\n"
               "  times opening FOLDER/bbk.dat and loading the whole tree, against the sqlcipher shell\n",
               stderr);
    std::exit(2);
}

// The floor: a plain select of the same rows and columns, in stored order.
QString shellScript()
{
    return QStringLiteral("PRAGMA key = '%1'; PRAGMA cipher_page_size = %2; "
                          "select Title,ID,HasSubFolders,ParentPaperID,indexid,typeid,createtime,modifytime,sizebyte,ExtName "
                          "from Paper;\n")
        .arg(QString::fromLatin1(kArchivePassword)).arg(kCipherPageSize);
}

// Runs the shell on the archive; output to /dev/null unless captured. Returns
// wall milliseconds of the whole process, or -1 on failure.
double runShell(const QString& path, QByteArray* captured = nullptr)
{
    QProcess shell;
    if (!captured)
        shell.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer t;
    t.start();
    shell.start(QString::fromLatin1(kShell), {QStringLiteral("-batch"), path});
    if (!shell.waitForStarted())
        return -1;
    shell.write(shellScript().toUtf8());
    shell.closeWriteChannel();
    if (captured) {
        while (shell.state() != QProcess::NotRunning) {
            shell.waitForReadyRead(1000);
            captured->append(shell.readAllStandardOutput());
        }
        captured->append(shell.readAllStandardOutput());
    } else {
        shell.waitForFinished(-1);
    }
    const double ms = t.nsecsElapsed() / 1e6;
    if (shell.exitStatus() != QProcess::NormalExit || shell.exitCode() != 0) {
        std::fprintf(stderr, "sqlcipher failed: %s\n", shell.readAllStandardError().constData());
        return -1;
    }
    return ms;
}

// The engine alone: the same select stepped through the C API on its own
// connection, each text looked at but not copied. What is left above this in
// the dataset and the loader is the program's own cost.
double rawSteps(const QString& path, const QString& select, int* rows)
{
    sqlite3* db = nullptr;
    QElapsedTimer t;
    t.start();
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return -1;
    }
    const QByteArray keying = QStringLiteral("PRAGMA key = '%1'; PRAGMA cipher_page_size = %2;")
                                  .arg(QString::fromLatin1(kArchivePassword)).arg(kCipherPageSize).toUtf8();
    sqlite3_exec(db, keying.constData(), nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    const QByteArray sql = select.toUtf8();
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &st, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return -1;
    }
    const int n = sqlite3_column_count(st);
    qint64 bytes = 0;
    *rows = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int k = 0; k < n; ++k) {
            sqlite3_column_text(st, k);
            bytes += sqlite3_column_bytes(st, k);
        }
        ++*rows;
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return bytes >= 0 ? t.nsecsElapsed() / 1e6 : -1;
}

int countNodes(QTreeWidget& tree)
{
    int n = 0;
    for (QTreeWidgetItemIterator it(&tree); *it; ++it)
        ++n;
    return n;
}

double bestOf(int runs, const std::function<double()>& once)
{
    double best = std::numeric_limits<double>::max();
    for (int r = 0; r < runs; ++r)
        best = std::min(best, once());
    return best;
}

QString ms(double v) { return QStringLiteral("%1 ms").arg(v, 8, 'f', 1); }

long peakRssKb(int who)
{
    rusage u{};
    getrusage(who, &u);
    return u.ru_maxrss;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    int runs = 3;
    if (const int at = args.indexOf(QStringLiteral("--runs")); at >= 0) {
        bool ok = false;
        runs = at + 1 < args.size() ? args.at(at + 1).toInt(&ok) : 0;
        if (!ok || runs < 1)
            usage();
        args.remove(at, 2);
    }
    if (args.size() != 1)
        usage();
    const QString path = QDir(args.at(0)).absoluteFilePath(QString::fromUtf8(kArchiveFileName));
    if (!QFileInfo(path).isFile()) {
        std::fprintf(stderr, "bench-tree-load: no archive at %s\n", qPrintable(path));
        return 1;
    }
    if (!QFileInfo(QString::fromLatin1(kShell)).isExecutable()) {
        std::fprintf(stderr, "bench-tree-load: %s is missing (package sqlcipher)\n", kShell);
        return 1;
    }

    say(QStringLiteral("archive       %1 (%2 MB)").arg(path).arg(QFileInfo(path).size() / 1e6, 0, 'f', 1));
    say(QStringLiteral("runs          best of %1").arg(runs));

    // The images are painted once per process, as in the program; not part of a load.
    treeImages();

    // The floor first and once more uncounted, so both see a warm page cache.
    QByteArray shellOut;
    if (runShell(path, &shellOut) < 0)
        return 1;
    const int shellRows = int(shellOut.count('\n'));

    const long rssBefore = peakRssKb(RUSAGE_SELF);
    int nodes = 0;
    int deepest = 0;
    long rssAfterLoad = 0;
    // Load and floor take turns, so that both see the same machine when
    // others are busy on it.
    double load = std::numeric_limits<double>::max();
    double floor = std::numeric_limits<double>::max();
    for (int r = 0; r < runs; ++r) {
        {
            QElapsedTimer t;
            t.start();
            Dataset pQ;
            if (!openArchiveDatabase(pQ, path)) {
                std::fprintf(stderr, "bench-tree-load: cannot open %s\n", qPrintable(path));
                return 1;
            }
            QTreeWidget tree;
            deepest = loadTree(&tree, pQ);
            load = std::min(load, t.nsecsElapsed() / 1e6);
            nodes = countNodes(tree);
            if (r == 0)
                rssAfterLoad = peakRssKb(RUSAGE_SELF);
        }
        const double shell = runShell(path);
        if (shell < 0)
            return 1;
        floor = std::min(floor, shell);
    }

    say(QStringLiteral("open + load   %1  (%2 nodes, deepest level %3)").arg(ms(load)).arg(nodes).arg(deepest));
    say(QStringLiteral("sqlcipher     %1  (%2 rows, whole process)").arg(ms(floor)).arg(shellRows));
    say(QStringLiteral("ratio         %1  (aim: at most 2.0)").arg(load / floor, 0, 'f', 2));
    say(QStringLiteral("peak RSS      %1 MB after the first load (%2 MB before it)")
            .arg(rssAfterLoad / 1024.0, 0, 'f', 1).arg(rssBefore / 1024.0, 0, 'f', 1));

    // Stages, each best of R: where the time of a load goes.
    const QString select = QStringLiteral(
        "select Title,ID,HasSubFolders,ParentPaperID,indexid,typeid,createtime,modifytime,"
        "sizebyte,ExtName from Paper order by ParentPaperID, indexid, rowid");
    const double open = bestOf(runs, [&] {
        QElapsedTimer t;
        t.start();
        Dataset pQ;
        openArchiveDatabase(pQ, path);
        return t.nsecsElapsed() / 1e6;
    });
    Dataset pQ;
    openArchiveDatabase(pQ, path);
    const double query = bestOf(runs, [&] {
        QElapsedTimer t;
        t.start();
        Dataset ds(pQ.connection());
        runQuery(ds, select);
        return t.nsecsElapsed() / 1e6;
    });
    const double reads = bestOf(runs, [&] {
        QElapsedTimer t;
        t.start();
        Dataset ds(pQ.connection());
        runQuery(ds, select);
        Field f[] = {ds.fieldByName(QStringLiteral("Title")), ds.fieldByName(QStringLiteral("ID")),
                     ds.fieldByName(QStringLiteral("ParentPaperID")), ds.fieldByName(QStringLiteral("indexid")),
                     ds.fieldByName(QStringLiteral("typeid")), ds.fieldByName(QStringLiteral("createtime")),
                     ds.fieldByName(QStringLiteral("modifytime")), ds.fieldByName(QStringLiteral("ExtName"))};
        Field hasSub = ds.fieldByName(QStringLiteral("HasSubFolders"));
        Field size = ds.fieldByName(QStringLiteral("sizebyte"));
        std::vector<TNodeData> rows;
        rows.reserve(ds.rowCount());
        for (; !ds.eof(); ds.next()) {
            TNodeData d;
            d.Title = f[0].asString();
            d.ID = f[1].asString();
            d.ParentPaperID = f[2].asString();
            d.indexid = f[3].asString();
            d.typeid_ = f[4].asString();
            d.createtime = f[5].asString();
            d.ModifyTime = f[6].asString();
            d.ExtName = f[7].asString();
            d.HasSubFolders = hasSub.asBoolean();
            d.SizeByte = size.asInteger();
            rows.push_back(std::move(d));
        }
        return t.nsecsElapsed() / 1e6;
    });
    const double treeOnly = bestOf(runs, [&] {
        QElapsedTimer t;
        t.start();
        QTreeWidget tree;
        loadTree(&tree, pQ);
        return t.nsecsElapsed() / 1e6;
    });
    const double teardown = bestOf(runs, [&] {
        auto* tree = new QTreeWidget;
        loadTree(tree, pQ);
        QElapsedTimer t;
        t.start();
        delete tree;
        return t.nsecsElapsed() / 1e6;
    });
    say(QStringLiteral("stages (best of %1 each):").arg(runs));
    say(QStringLiteral("  open archive + probe        %1").arg(ms(open)));
    say(QStringLiteral("  select, rows materialised   %1").arg(ms(query)));
    say(QStringLiteral("  + field reads into records  %1  (reads alone %2)").arg(ms(reads)).arg(ms(reads - query)));
    say(QStringLiteral("  loadTree on open archive    %1  (nodes, images, tree alone %2)").arg(ms(treeOnly)).arg(ms(treeOnly - reads)));
    say(QStringLiteral("  (not in the load) tree destruction %1").arg(ms(teardown)));

    // For comparison: the engine alone (C API, own connection, key derivation
    // included), in index order as the loader reads, and in stored order (one
    // pass over the table, no walk of the index) plus an in-memory sort, which
    // gives the same order.
    int rawRows = 0;
    const double rawIndex = bestOf(runs, [&] { return rawSteps(path, select, &rawRows); });
    const QString stored = QStringLiteral(
        "select Title,ID,HasSubFolders,ParentPaperID,indexid,typeid,createtime,modifytime,"
        "sizebyte,ExtName,rowid from Paper");
    const double rawStored = bestOf(runs, [&] { return rawSteps(path, stored, &rawRows); });
    const double storedSorted = bestOf(runs, [&] {
        QElapsedTimer t;
        t.start();
        Dataset ds(pQ.connection());
        runQuery(ds, stored);
        Field f[] = {ds.fieldByName(QStringLiteral("Title")), ds.fieldByName(QStringLiteral("ID")),
                     ds.fieldByName(QStringLiteral("ParentPaperID")), ds.fieldByName(QStringLiteral("indexid")),
                     ds.fieldByName(QStringLiteral("typeid")), ds.fieldByName(QStringLiteral("createtime")),
                     ds.fieldByName(QStringLiteral("modifytime")), ds.fieldByName(QStringLiteral("ExtName"))};
        Field hasSub = ds.fieldByName(QStringLiteral("HasSubFolders"));
        Field size = ds.fieldByName(QStringLiteral("sizebyte"));
        Field rowid = ds.fieldByName(QStringLiteral("rowid"));
        struct Keyed {
            TNodeData d;
            qint64 rowid;
        };
        std::vector<Keyed> rows;
        rows.reserve(ds.rowCount());
        for (; !ds.eof(); ds.next()) {
            Keyed k;
            k.d.Title = f[0].asString();
            k.d.ID = f[1].asString();
            k.d.ParentPaperID = f[2].asString();
            k.d.indexid = f[3].asString();
            k.d.typeid_ = f[4].asString();
            k.d.createtime = f[5].asString();
            k.d.ModifyTime = f[6].asString();
            k.d.ExtName = f[7].asString();
            k.d.HasSubFolders = hasSub.asBoolean();
            k.d.SizeByte = size.asInteger();
            k.rowid = rowid.asInteger();
            rows.push_back(std::move(k));
        }
        // Positions are integers in the archive; text positions would need the engine's own ordering.
        std::sort(rows.begin(), rows.end(), [](const Keyed& a, const Keyed& b) {
            if (const int c = QString::compare(a.d.ParentPaperID, b.d.ParentPaperID); c != 0)
                return c < 0;
            const int ia = a.d.indexid.toInt(), ib = b.d.indexid.toInt();
            return ia != ib ? ia < ib : a.rowid < b.rowid;
        });
        return t.nsecsElapsed() / 1e6;
    });
    const QString notIndexed = QStringLiteral(
        "select Title,ID,HasSubFolders,ParentPaperID,indexid,typeid,createtime,modifytime,"
        "sizebyte,ExtName from Paper not indexed order by ParentPaperID, indexid, rowid");
    const double engineSorted = bestOf(runs, [&] {
        QElapsedTimer t;
        t.start();
        Dataset ds(pQ.connection());
        runQuery(ds, notIndexed);
        return t.nsecsElapsed() / 1e6;
    });
    say(QStringLiteral("for comparison (best of %1 each):").arg(runs));
    say(QStringLiteral("  engine alone, index order       %1  (C API, open and key included, %2 rows)").arg(ms(rawIndex)).arg(rawRows));
    say(QStringLiteral("  engine alone, stored order      %1").arg(ms(rawStored)));
    say(QStringLiteral("  dataset, stored order + sort    %1  (records made, as \"+ field reads\" above)").arg(ms(storedSorted)));
    say(QStringLiteral("  dataset, table scan sorted by the engine (not indexed)  %1  (as \"select, rows materialised\")").arg(ms(engineSorted)));
    return 0;
}
