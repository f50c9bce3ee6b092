// bench-tree-load FOLDER [--runs R]
//
// Times what start-up does with the archive FOLDER/bbk.dat: open it and load
// the whole catalog tree into a QTreeWidget. The floor, measured in the same
// run, is the stock sqlcipher shell reading the same rows in one select (the
// whole process, key derivation included). Best of R runs each. Then the load
// is split into its stages so that a slow one shows.

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
    const QString select = QLatin1String(kTreeSelect);
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
    say(QStringLiteral("  loadTree on open archive    %1  (records, nodes, images alone %2)").arg(ms(treeOnly)).arg(ms(treeOnly - query)));
    say(QStringLiteral("  (not in the load) tree destruction %1").arg(ms(teardown)));

    return 0;
}
