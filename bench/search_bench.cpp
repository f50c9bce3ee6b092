// bench-search FOLDER [N]
//
// Title and body searches over FOLDER/bbk.dat, each timed from opening the
// archive to a filled result list, and printed as a ratio to the same
// statement run by the stock sqlcipher shell in the same run (the floor).
// Without an archive in FOLDER, bench-make-archive (beside this program) makes
// one of N items first (default 100000).

#include "common/MainState.h"
#include "search/ResultList.h"
#include "search/SearchForm.h"
#include "catalog/TreeLoader.h"
#include "store/Archive.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace tallowmere;

namespace {

constexpr int kRuns = 3;

void say(const QString& text)
{
    std::fputs(qPrintable(text + u'\n'), stdout);
    std::fflush(stdout);
}

// The shell's time for the statement, with its rows read back as ours are.
double shellSeconds(const QString& file, const QString& sql, int& rows)
{
    QElapsedTimer t;
    t.start();
    QProcess shell;
    shell.start(QStringLiteral("sqlcipher"), {QStringLiteral("-batch"), file});
    if (!shell.waitForStarted())
        return -1;
    const QString script = QStringLiteral("PRAGMA key = %1;\nPRAGMA cipher_page_size = %2;\n%3;\n")
                               .arg(quoted(QString::fromLatin1(kArchivePassword))).arg(kCipherPageSize).arg(sql);
    shell.write(script.toUtf8());
    shell.closeWriteChannel();
    QByteArray out;
    while (shell.state() != QProcess::NotRunning) {
        shell.waitForReadyRead(100);
        out += shell.readAllStandardOutput();
    }
    out += shell.readAllStandardOutput();
    const double s = t.nsecsElapsed() / 1e9;
    rows = int(out.count('\n'));
    if (shell.exitCode() != 0)
        return -1;
    return s;
}

// Ours: open the archive, run the statement, fill the list.
double ourSeconds(const QString& file, const QString& sql, QTreeWidget& list, int& rows)
{
    QElapsedTimer t;
    t.start();
    Dataset pQ;
    if (!openArchiveDatabase(pQ, file))
        return -1;
    QLabel panels[4];
    MainState state;
    state.pQ = &pQ;
    for (int i = 0; i < 4; ++i)
        state.statusPanels[i] = &panels[i];
    if (!fillResultList(state, &list, sql))
        return -1;
    const double s = t.nsecsElapsed() / 1e9;
    rows = list.topLevelItemCount();
    list.clear();
    return s;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty() || args.size() > 2) {
        std::fputs("usage: bench-search FOLDER [N]\n", stderr);
        return 2;
    }
    const QString folder = args.at(0);
    const QString file = QDir(folder).filePath(QString::fromLatin1(kArchiveFileName));
    if (!QFileInfo::exists(file)) {
        const QString maker = QCoreApplication::applicationDirPath() + QStringLiteral("/bench-make-archive");
        say(QStringLiteral("making %1 with %2 items").arg(file, args.value(1, QStringLiteral("100000"))));
        if (QProcess::execute(maker, {args.value(1, QStringLiteral("100000")), folder}) != 0) {
            std::fputs("bench-search: bench-make-archive failed\n", stderr);
            return 1;
        }
    }

    QTreeWidget tree, list;
    prepareResultList(&list);
    {
        // A branch search reads its ids from the loaded tree.
        Dataset loader;
        if (openArchiveDatabase(loader, file))
            loadTree(&tree, loader);
        QTreeWidgetItem* biggest = nullptr;
        int most = -1;
        for (int i = 0; i < tree.topLevelItemCount(); ++i) {
            const int n = int(branchIds(tree.topLevelItem(i)).size());
            if (n > most) {
                most = n;
                biggest = tree.topLevelItem(i);
            }
        }
        tree.setCurrentItem(biggest);
        say(QStringLiteral("largest top-level branch: %1 items").arg(most));
    }
    TForm_Search dialog(&tree, QDate::currentDate());
    struct Case {
        const char* name;
        std::function<void(TForm_Search&)> set;
    };
    const Case cases[] = {
        {"title \"report\"", [](TForm_Search& d) { d.ComboBox_Title->setEditText(QStringLiteral("report")); }},
        {"title \"Tom's\"", [](TForm_Search& d) { d.ComboBox_Title->setEditText(QStringLiteral("Tom's")); }},
        {"everything (no criterion)", [](TForm_Search& d) { d.CheckBox_Title->setChecked(false); }},
        {"branch, title \"report\"", [](TForm_Search& d) {
             d.searchScope = kScopeBranch;
             d.ComboBox_Title->setEditText(QStringLiteral("report"));
         }},
        {"body \"kernel build\"", [](TForm_Search& d) {
             d.CheckBox_Title->setChecked(false);
             d.CheckBox_Body->setChecked(true);
             d.ComboBox_Body->setEditText(QStringLiteral("kernel build"));
         }},
        {"body, no match", [](TForm_Search& d) {
             d.CheckBox_Title->setChecked(false);
             d.CheckBox_Body->setChecked(true);
             d.ComboBox_Body->setEditText(QStringLiteral("zzqx no such words"));
         }},
    };
    say(QStringLiteral("%1 runs each, best run counted").arg(kRuns));
    bool allOk = true;
    for (const Case& c : cases) {
        dialog.CheckBox_Title->setChecked(true);
        dialog.CheckBox_Body->setChecked(false);
        dialog.searchScope = kScopeTree;
        c.set(dialog);
        dialog.buildStatement();
        const QString sql = dialog.searchStatement();
        double ours = 1e9, floor = 1e9;
        int ourRows = 0, shellRows = 0;
        for (int i = 0; i < kRuns; ++i) {
            floor = std::min(floor, shellSeconds(file, sql, shellRows));
            ours = std::min(ours, ourSeconds(file, sql, list, ourRows));
        }
        if (ours < 0 || floor < 0) {
            say(QStringLiteral("%1: failed").arg(QLatin1String(c.name)));
            allOk = false;
            continue;
        }
        say(QStringLiteral("%1: %2 rows (shell %3 lines)  ours %4 s  shell %5 s  ratio %6x")
                .arg(QLatin1String(c.name)).arg(ourRows).arg(shellRows)
                .arg(ours, 0, 'f', 3).arg(floor, 0, 'f', 3).arg(ours / floor, 0, 'f', 2));
    }
    return allOk ? 0 : 1;
}
