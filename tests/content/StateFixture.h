#pragma once
// A main-window state over a fresh archive, with real widgets and the given
// web view, for the show and store tests.

#include "catalog/NodeData.h"
#include "common/MainState.h"
#include "content/WebView.h"
#include "store/Archive.h"
#include "tests/support/ArchiveFixture.h"
#include "tests/support/ScriptedPrompter.h"
#include "tests/support/SettableClock.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStackedWidget>
#include <QTreeWidget>

namespace tallowmere::test {

struct StateFixture {
    ArchiveFolder archive;
    QTemporaryDir work;        // temp folder and source files live below
    Dataset pQ;
    SettableClock clock;
    ScriptedPrompter prompter;
    QTreeWidget tree;
    QStackedWidget stack;
    QPlainTextEdit* memo = new QPlainTextEdit(&stack);
    QPlainTextEdit* memo64k = new QPlainTextEdit(&stack);
    QWidget* webPlace = nullptr;
    QLabel panels[4];
    QProgressBar gauge;
    QAction autoSave{QStringLiteral("Autosave Text"), nullptr};
    QAction findDoc{QStringLiteral("Find in this document"), nullptr};
    MainState state;

    explicit StateFixture(WebView& web)
    {
        QDir(work.path()).mkpath(QStringLiteral("temp"));
        QDir(work.path()).mkpath(QStringLiteral("src"));
        webPlace = web.widget() ? web.widget() : new QWidget;
        webPlace->setObjectName(QStringLiteral("CppWebBrowser"));
        stack.addWidget(webPlace);
        stack.addWidget(memo64k);
        stack.addWidget(memo);
        autoSave.setCheckable(true);
        autoSave.setChecked(true);
        openArchiveDatabase(pQ, archive.path);
        state.pQ = &pQ;
        state.archiveOpen = true;
        state.tempFolder = tempFolder();
        state.tree = &tree;
        state.memo = memo;
        state.memo64k = memo64k;
        state.web = &web;
        state.contentStack = &stack;
        for (int i = 0; i < 4; ++i)
            state.statusPanels[i] = &panels[i];
        state.gauge = &gauge;
        state.autoSaveAction = &autoSave;
        state.findDocAction = &findDoc;
        state.prompter = &prompter;
        state.clock = &clock;
    }

    QString tempFolder() const { return work.path() + QStringLiteral("/temp/"); }
    QString src(const QString& name) const { return work.path() + QStringLiteral("/src/") + name; }

    // Writes a source file (making its folder).
    QString writeSource(const QString& name, const QByteArray& bytes) const
    {
        const QString path = src(name);
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    // Inserts a row the way adding does, with a tree node for its record.
    QTreeWidgetItem* addItem(const QString& id, const QString& title, int code, const QString& ext = QString())
    {
        const QString sql = QStringLiteral("insert into paper(title,id,ParentPaperID,indexid,typeid,createtime,ModifyTime,ExtName,SizeByte) "
                                           "values(%1,%2,'0',0,%3,%2,%2,%4,0)")
                                .arg(quoted(title), quoted(id)).arg(code).arg(quoted(ext));
        if (!runStatement(pQ, sql))
            qFatal("insert failed");
        TNodeData rec;
        rec.ID = id;
        rec.Title = title;
        rec.ParentPaperID = QStringLiteral("0");
        rec.typeid_ = QString::number(code);
        rec.createtime = id;
        rec.ModifyTime = id;
        rec.ExtName = ext;
        auto* node = new TNode(rec);
        tree.addTopLevelItem(node);
        return node;
    }

    // One value of one row, read by the sqlcipher shell as an independent reader.
    QString shell(const QString& sql) const
    {
        const ShellResult r = runShell(archive.path, sql + u';');
        if (r.exitCode != 0)
            qWarning("sqlcipher: %s", qPrintable(r.err));
        return r.out;
    }
};

} // namespace tallowmere::test
