// bench-dir-import [--files N] [--runs R] [--keep FOLDER]
//
// Imports a generated directory of N files of about 10 KB (pages, some with a
// companion folder, texts, web archives, files the import passes over) with
// its sub-directories into a fresh archive, and copies the same directory with
// `cp -r` in the same run as the floor. Prints both times, the import's CPU
// time (user and system, which load on a shared machine does not inflate as it
// does the wall times), of which the thread that stores (the rest reads
// ahead), and its throughput as a ratio to the copy's (aim: at least 0.4). Best of R runs each;
// the source is read once before, so both read it from the page cache, and
// the disk is synced before each, so neither pays for the other's writes.

#include "bench/DirectoryGenerator.h"
#include "common/Prompter.h"
#include "store/Archive.h"
#include "transfer/DirectoryImport.h"

#include <QApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using namespace tallowmere;

void say(const QString& text)
{
    std::fputs(qPrintable(text + u'\n'), stdout);
    std::fflush(stdout);
}

[[noreturn]] void usage()
{
    std::fputs("usage: bench-dir-import [--files N] [--runs R] [--keep FOLDER]\n"
               "  imports a generated directory of N files (default 10000) and compares with cp -r\n"
               "  --keep FOLDER  work in FOLDER (made if missing) and leave the directory and archive there\n",
               stderr);
    std::exit(2);
}

// Answers Yes: the benchmark times the import, not the question.
class YesPrompter : public Prompter {
public:
    bool confirm(QWidget*, const QString&) override { return true; }
    void error(QWidget*, const QString& text) override { say(QStringLiteral("error: ") + text); }
    void refuse(QWidget*, const QString& text) override { say(QStringLiteral("refused: ") + text); }
    void message(QWidget*, const QString& caption, const QString& text) override { say(caption + u':' + text); }
    // The import asks for nothing else; every other dialog is cancelled.
    QString saveFileName(QWidget*, const QString&, const QString&, const QString&, const QString&) override { return {}; }
    QString chooseFolder(QWidget*, const QString&) override { return {}; }
    bool chooseFont(QWidget*, QFont&) override { return false; }
    bool choosePrinter(QWidget*, QPrinter&) override { return false; }
    bool warn(QWidget*, const QString&, const QString&) override { return false; }
};

void readAll(const QString& root)
{
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    QByteArray sink;
    while (it.hasNext()) {
        QFile f(it.next());
        if (f.open(QIODevice::ReadOnly))
            sink = f.readAll();
    }
}

double copyMs(const QString& from, const QString& to)
{
    QElapsedTimer t;
    t.start();
    const int rc = QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-r"), from, to});
    const double ms = t.nsecsElapsed() / 1e6;
    if (rc != 0) {
        std::fprintf(stderr, "bench-dir-import: cp -r failed\n");
        std::exit(1);
    }
    return ms;
}

struct ImportResult {
    double ms = 0;
    double userMs = 0;  // CPU time of the import, which load on the machine does not inflate
    double sysMs = 0;
    double storingMs = 0;  // CPU time of the thread that stores (the rest reads ahead)
    long faults = 0;       // memory pages touched for the first time
    int rows = 0;
};

double msOf(const timeval& t)
{
    return t.tv_sec * 1e3 + t.tv_usec / 1e3;
}

ImportResult importMs(const QString& archivePath, const QString& source)
{
    QFile::remove(archivePath);
    createArchive(archivePath);
    Dataset pQ;
    if (!openArchiveDatabase(pQ, archivePath)) {
        std::fprintf(stderr, "bench-dir-import: cannot open %s\n", qPrintable(archivePath));
        std::exit(1);
    }
    YesPrompter prompter;
    bench::ImportTarget target(pQ, prompter, source);

    rusage before{};
    rusage threadBefore{};
    ::getrusage(RUSAGE_SELF, &before);
    ::getrusage(RUSAGE_THREAD, &threadBefore);
    QElapsedTimer t;
    t.start();
    directoryImport(target.state);
    ImportResult r;
    r.ms = t.nsecsElapsed() / 1e6;
    rusage after{};
    rusage threadAfter{};
    ::getrusage(RUSAGE_SELF, &after);
    ::getrusage(RUSAGE_THREAD, &threadAfter);
    r.faults = after.ru_minflt - before.ru_minflt;
    r.storingMs = msOf(threadAfter.ru_utime) + msOf(threadAfter.ru_stime) - msOf(threadBefore.ru_utime)
        - msOf(threadBefore.ru_stime);
    r.userMs = msOf(after.ru_utime) - msOf(before.ru_utime);
    r.sysMs = msOf(after.ru_stime) - msOf(before.ru_stime);
    if (!target.status.text().isEmpty())
        say(QStringLiteral("status: ") + target.status.text());
    if (runQuery(pQ, QStringLiteral("select count(*) as n from paper")))
        r.rows = pQ.fieldByName(QStringLiteral("n")).asInteger();
    pQ.close();
    return r;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    int files = 10000;
    int runs = 1;
    QString keep;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        bool ok = true;
        if (args[i] == QLatin1String("--files") && i + 1 < args.size())
            files = args[++i].toInt(&ok);
        else if (args[i] == QLatin1String("--runs") && i + 1 < args.size())
            runs = args[++i].toInt(&ok);
        else if (args[i] == QLatin1String("--keep") && i + 1 < args.size())
            keep = args[++i];
        else
            usage();
        if (!ok || files < 1 || runs < 1)
            usage();
    }

    QTemporaryDir temp;
    const QString work = keep.isEmpty() ? temp.path() : QDir(keep).absolutePath();
    QDir().mkpath(work);
    const QString source = work + QStringLiteral("/source");
    if (QFileInfo::exists(source)) {
        std::fprintf(stderr, "bench-dir-import: %s exists already\n", qPrintable(source));
        return 1;
    }

    QElapsedTimer t;
    t.start();
    const bench::GeneratedDirectory made = bench::DirectoryGenerator(7).make(source, files);
    say(QStringLiteral("generated %1 files (%2 to import, %3 folders), %4 MB in %5 s")
            .arg(made.files).arg(made.imported).arg(made.folders)
            .arg(made.bytes / 1048576.0, 0, 'f', 1).arg(t.elapsed() / 1000.0, 0, 'f', 2));
    readAll(source);

    double bestCopy = std::numeric_limits<double>::max();
    double bestImport = std::numeric_limits<double>::max();
    double bestCpu = std::numeric_limits<double>::max();
    ImportResult cpu;  // the run of least CPU time
    int rows = 0;
    QStringList copies;
    for (int run = 0; run < runs; ++run) {
        // Each copy goes to a directory of its own, removed only at the end:
        // making files right after many were deleted costs the file system
        // much more (it passes over the inodes it freed a moment ago), which
        // would make the floor slower than a plain copy is.
        const QString copy = work + QStringLiteral("/copy%1").arg(run);
        copies << copy;
        // Each starts with nothing of the other's left to write back.
        ::sync();
        bestCopy = std::min(bestCopy, copyMs(source, copy));
        ::sync();
        const ImportResult r = importMs(work + QStringLiteral("/bbk.dat"), source);
        bestImport = std::min(bestImport, r.ms);
        if (r.userMs + r.sysMs < bestCpu) {
            bestCpu = r.userMs + r.sysMs;
            cpu = r;
        }
        rows = r.rows;
    }

    for (const QString& copy : copies)
        QDir(copy).removeRecursively();

    const double mb = made.bytes / 1048576.0;
    const int expectedRows = 1 + made.imported + made.folders;
    say(QStringLiteral("cp -r:  %1 ms (%2 MB/s)").arg(bestCopy, 0, 'f', 0).arg(mb / (bestCopy / 1000), 0, 'f', 1));
    say(QStringLiteral("import: %1 ms (%2 MB/s), %3 rows (expected %4)")
            .arg(bestImport, 0, 'f', 0).arg(mb / (bestImport / 1000), 0, 'f', 1).arg(rows).arg(expectedRows));
    say(QStringLiteral("import CPU: %1 ms (user %2 ms, sys %3 ms; the storing thread %4 ms), %5 page faults")
            .arg(bestCpu, 0, 'f', 0).arg(cpu.userMs, 0, 'f', 0).arg(cpu.sysMs, 0, 'f', 0).arg(cpu.storingMs, 0, 'f', 0)
            .arg(cpu.faults));
    say(QStringLiteral("ratio (import throughput / copy throughput): %1 (aim: at least 0.4)")
            .arg(bestCopy / bestImport, 0, 'f', 2));
    return rows == expectedRows ? 0 : 1;
}
