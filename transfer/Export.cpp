#include "transfer/Export.h"

#include "catalog/NodeData.h"
#include "common/MainState.h"
#include "common/Prompter.h"
#include "common/WaitCursor.h"
#include "content/SafeFileName.h"
#include "content/ShowItem.h"
#include "content/StoreContent.h"
#include "content/WebView.h"
#include "store/Archive.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTreeWidgetItem>

#include <algorithm>
#include <stdexcept>

namespace tallowmere {

namespace {

const QString kAllFiles = QStringLiteral("|All files|*.*");

[[noreturn]] void failAt(const QString& path, const QString& reason)
{
    throw std::runtime_error(QStringLiteral("The file \"%1\" could not be written: %2")
                                 .arg(QDir::toNativeSeparators(path), reason)
                                 .toStdString());
}

[[noreturn]] void failToRead(const TNodeData& rec)
{
    throw std::runtime_error(
        QStringLiteral("The item \"%1\" could not be read from the archive.").arg(rec.Title).toStdString());
}

// Where a name's extension begins: a "." with no "/", "\" or ":" after it; -1 without one.
qsizetype extensionDot(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    const qsizetype separator = std::max({name.lastIndexOf(u'/'), name.lastIndexOf(u'\\'), name.lastIndexOf(u':')});
    return dot > separator ? dot : -1;
}

// A column's bytes into a new file (or one emptied), in pieces.
void writeField(const Field& field, const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        failAt(path, file.errorString());
    try {
        field.saveToStream(file);
    } catch (const EngineError& e) {
        failAt(path, e.message());
    }
    if (!file.flush())
        failAt(path, file.errorString());
}

// A text item's text up to its first NUL, as stored (lines end in CR LF).
// A target that cannot be opened gives way to the target with "1" appended.
void writeText(const QByteArray& stored, const QString& target)
{
    const qsizetype nul = stored.indexOf('\0');
    const QByteArray text = nul < 0 ? stored : stored.left(nul);
    QFile file(target);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        const QString reason = file.errorString();
        file.setFileName(target + u'1');
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            failAt(target, reason);
    }
    if (file.write(text) != text.size() || !file.flush())
        failAt(file.fileName(), file.errorString());
}

// Runs one export's writing under the hourglass; a failure is told once the
// normal cursor is back.
template <class Work>
void runWithHourglass(MainState& state, Work work)
{
    QString failure;
    {
        WaitCursor hourglass;
        try {
            work();
        } catch (const std::exception& e) {
            failure = QString::fromUtf8(e.what());
        }
    }
    if (!failure.isEmpty() && state.prompter)
        state.prompter->error(state.window, failure);
}

// Stored web content leaves through the web view's own save, as the browser
// writes the page. The view must show this item's page, not whatever it
// showed last, so the item is put on display first when it is not.
void exportPage(MainState& state, const TNodeData& rec, int code)
{
    const bool archive = code == 8;
    const QString path = state.prompter->saveFileName(
        state.window, QStringLiteral("Save Web Page"), safeFileName(rec.Title),
        QStringLiteral("Web page, complete|*.htm;*.html|Web archive, single file|*.mht;*.mhtml") + kAllFiles,
        archive ? QStringLiteral(".mht") : QStringLiteral(".htm"));
    if (path.isEmpty())
        return;
    runWithHourglass(state, [&] {
        if (!state.web)
            throw std::runtime_error("There is no web view to save the page with.");
        if (state.currentItemId != rec.ID || !state.webFlag || !state.web->hasDocument())
            showItem(state, rec.ID, rec.typeid_);
        if (!state.web->saveAs(path))
            failAt(path, QStringLiteral("the web view did not save the page"));
    });
}

} // namespace

QString exportFilter(int code, const QString& storedExt)
{
    if (code == 4)
        return QStringLiteral("Text files|*.txt") + kAllFiles;
    return storedExt.mid(1, 10) + QStringLiteral(" files|*") + storedExt + kAllFiles;
}

QString branchFolderName(const QString& title)
{
    QString name = safeFileName(title);
    const qsizetype dot = extensionDot(name);
    if (dot >= 0)
        name.truncate(dot);
    // A title that is all extension (".config", "...") must not name the parent.
    return safeFileName(name);
}

void writeItemToFile(MainState& state, QTreeWidgetItem* node, const QString& target)
{
    const TNodeData* rec = nodeData(node);
    if (!rec || !state.pQ)
        return;
    Dataset& pQ = *state.pQ;
    const auto closeQuery = qScopeGuard([&pQ] { pQ.close(); });
    if (!runQuery(pQ, QStringLiteral("select id,content,plaintext,oriname,extname from paper where id = ")
                          + quoted(rec->ID) + u' '))
        failToRead(*rec);
    if (pQ.eof())
        throw std::runtime_error(QStringLiteral("The item \"%1\" is not in the archive.").arg(rec->Title).toStdString());

    const int code = toIntOr0(rec->typeid_);
    if (code == 4) {
        writeText(pQ.fieldByName(QStringLiteral("plaintext")).asBytes(), target);
        return;
    }
    writeField(pQ.fieldByName(QStringLiteral("content")), target);

    const QString folder = companionFolder(target, code);
    if (folder.isEmpty())
        return;
    if (!runQuery(pQ, QStringLiteral("select block,Thefilename from fileblock where paperid=") + quoted(rec->ID)))
        failToRead(*rec);
    if (pQ.eof())
        return;  // no companion files, no folder
    QDir().mkpath(folder);  // a failure shows at the first file
    for (; !pQ.eof(); pQ.next())
        writeField(pQ.fieldByName(QStringLiteral("block")),
                   folder + u'/' + safeFileName(pQ.fieldByName(QStringLiteral("Thefilename")).asString()));
}

void writeBranch(MainState& state, QTreeWidgetItem* node, const QString& folder)
{
    const TNodeData* rec = nodeData(node);
    if (!rec)
        return;
    const QString path = folder + u'/' + branchFolderName(rec->Title);
    QDir().mkdir(path);  // an existing folder is reused; a failure shows at the first file

    // The item's own content goes into its folder.
    if (rec->SizeByte > 0) {
        const QString name = rec->Title.contains(u'.') ? rec->Title : rec->Title + rec->ExtName;
        writeItemToFile(state, node, path + u'/' + safeFileName(name));
    }
    for (int i = 0; i < node->childCount(); ++i) {
        QTreeWidgetItem* child = node->child(i);
        const TNodeData* childRec = nodeData(child);
        if (!childRec)
            continue;
        if (child->childCount() > 0) {
            writeBranch(state, child, path);
        } else {
            const QString name = extensionDot(childRec->Title) >= 0 ? childRec->Title
                                                                    : childRec->Title + childRec->ExtName;
            writeItemToFile(state, child, path + u'/' + safeFileName(name));
        }
    }
}

void exportItem(MainState& state, QTreeWidgetItem* node)
{
    const TNodeData* rec = nodeData(node);
    if (!rec || !state.prompter || !state.pQ)
        return;
    const int code = toIntOr0(rec->typeid_);
    if (code >= 5 && code <= 15) {
        exportPage(state, *rec, code);
        return;
    }
    QString defaultExt = QStringLiteral(".txt");
    if (code != 4) {
        defaultExt.clear();
        if (runQuery(*state.pQ, QStringLiteral("select extname from paper where id = ") + quoted(rec->ID))
            && !state.pQ->eof())
            defaultExt = state.pQ->fieldByName(QStringLiteral("extname")).asString();
        state.pQ->close();
    }
    const QString path = state.prompter->saveFileName(state.window, QStringLiteral("Save As"),
                                                      safeFileName(rec->Title), exportFilter(code, defaultExt),
                                                      defaultExt);
    if (path.isEmpty())
        return;
    runWithHourglass(state, [&] { writeItemToFile(state, node, path); });
}

void exportBranch(MainState& state, QTreeWidgetItem* node)
{
    if (!nodeData(node) || !state.prompter || !state.pQ)
        return;
    const QString folder = state.prompter->chooseFolder(state.window, QStringLiteral("Select a directory"));
    if (folder.isEmpty())
        return;
    runWithHourglass(state, [&] { writeBranch(state, node, QDir(folder).absolutePath()); });
}

} // namespace tallowmere
