#include "content/StoreContent.h"

#include "catalog/NodeData.h"
#include "common/MainState.h"
#include "content/WebView.h"
#include "store/Archive.h"
#include "store/Clock.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <exception>

namespace tallowmere {

namespace {

// Fails the store with a reason the user can read.
[[noreturn]] void fail(const QString& reason)
{
    throw EngineError(reason);
}

QTreeWidgetItem* nodeById(QTreeWidget* tree, const QString& id)
{
    if (!tree)
        return nullptr;
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        const TNodeData* rec = nodeData(*it);
        if (rec && rec->ID == id)
            return *it;
    }
    return nullptr;
}

// The editor's lines joined with CR LF, as text items are stored.
QString editorText(const QPlainTextEdit* memo)
{
    QString text = memo ? memo->toPlainText() : QString();
    text.replace(u'\n', QStringLiteral("\r\n"));
    return text;
}

// A savepoint around a store of more than one change, so that it nests inside
// a caller's transaction and is undone whole. A store of one change (a single
// statement) needs none: a statement is whole by itself, and a savepoint would
// copy every page it touches into the statement journal.
class StoreSavepoint {
public:
    explicit StoreSavepoint(Connection& db) : db_(db) {}
    ~StoreSavepoint()
    {
        if (!open_)
            return;
        try {
            db_.exec(QStringLiteral("ROLLBACK TO tm_store"));
            db_.exec(QStringLiteral("RELEASE tm_store"));
        } catch (...) {
        }
    }
    StoreSavepoint(const StoreSavepoint&) = delete;
    StoreSavepoint& operator=(const StoreSavepoint&) = delete;

    void open()
    {
        db_.exec(QStringLiteral("SAVEPOINT tm_store"));
        open_ = true;
    }
    void release()
    {
        if (!open_)
            return;
        db_.exec(QStringLiteral("RELEASE tm_store"));
        open_ = false;
    }

private:
    Connection& db_;
    bool open_ = false;
};

// The companion folder's files: plain files directly in it, no hidden files,
// no sub-folders, no links, in name order.
QFileInfoList companionFiles(const QString& folder)
{
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return {};
    return QDir(folder).entryInfoList(QDir::Files | QDir::NoSymLinks, QDir::Name);
}

void storeCompanionFolder(Dataset& pQ, const QString& id, const QString& folder)
{
    // A second store of the same item must not give each file two rows.
    if (!runStatement(pQ, QStringLiteral("delete from fileblock where paperid = ") + quoted(id)))
        fail(QStringLiteral("its old companion files could not be removed"));
    const QFileInfoList files = companionFiles(folder);
    if (files.isEmpty())
        return;
    int number = 0;
    for (const QFileInfo& file : files) {
        const QString insert =
            QStringLiteral("insert into FileBlock(paperid,indexid,thesize,TheFileName)                         values(")
            + quoted(id) + u',' + QString::number(number++) + u',' + QString::number(file.size()) + u','
            + quoted(file.fileName()) + u')';
        if (!runStatement(pQ, insert))
            fail(QStringLiteral("the companion file \"%1\" could not be recorded").arg(file.fileName()));
    }
    if (!runQuery(pQ, QStringLiteral("select paperid,indexid,block,TheFileName from fileblock                     where paperid = ")
                          + quoted(id) + QStringLiteral(" order by indexid")))
        fail(QStringLiteral("its companion files could not be read back"));
    const QString base = QDir(folder).absolutePath() + u'/';
    while (!pQ.eof()) {
        pQ.edit();
        pQ.fieldByName(QStringLiteral("block")).loadFromFile(base + pQ.fieldByName(QStringLiteral("Thefilename")).asString());
        pQ.next();  // posts the edit
    }
    pQ.close();
}

// What a stored text item's tree record takes once the store holds.
struct StoredText {
    qint32 size = 0;
    QString modifyTime;
};

// The steps of the store inside the caller's transaction. The code of the
// stored row, or -1 when the row is left alone on purpose (scope).
int storeRow(MainState& state, const QString& id, StoreScope scope, const GivenContent* given, StoreSavepoint& savepoint,
             StoredText& storedText)
{
    Dataset& pQ = *state.pQ;
    if (!runQuery(pQ, QStringLiteral("select id,content,plaintext,typeID,oriname,sizebyte,extname,modifytime             from paper where id = ")
                          + quoted(id)))
        fail(QStringLiteral("the archive could not be read"));
    if (pQ.eof())
        fail(QStringLiteral("the item is not in the archive"));
    const int code = toIntOr0(pQ.fieldByName(QStringLiteral("typeID")).asString());
    if (scope == StoreScope::TextOnly && code != 4) {
        pQ.close();
        return -1;
    }
    const QString folder = companionFolder(state.captureSource, code);
    if (!folder.isEmpty())
        savepoint.open();  // the content and the companion files
    pQ.edit();
    if (code == 7) {
        if (!state.web)
            fail(QStringLiteral("there is no web view"));
        const QByteArray document = state.web->saveDocument();
        pQ.fieldByName(QStringLiteral("content")).setValue(document);
        pQ.fieldByName(QStringLiteral("sizebyte")).setValue(qint32(document.size()));
        pQ.fieldByName(QStringLiteral("extname")).setValue(QStringLiteral(".htm"));
        pQ.post();
        state.pendingSize = qint32(document.size());
        state.pendingExt = QStringLiteral(".htm");
    } else if (code == 4) {
        const QByteArray text = given && given->text ? *given->text : editorText(state.memo).toUtf8();
        const qint32 size = qint32(text.size());
        const QString now = state.clock ? state.clock->timestamp() : Clock().timestamp();
        pQ.fieldByName(QStringLiteral("plaintext")).setText(text);
        pQ.fieldByName(QStringLiteral("sizebyte")).setValue(size);
        pQ.fieldByName(QStringLiteral("modifytime")).setValue(now);
        pQ.post();
        storedText = {size, now};
    } else {
        if (state.captureSource.isEmpty())
            fail(QStringLiteral("no file was given"));
        if (given && given->bytes)
            pQ.fieldByName(QStringLiteral("content")).setValue(*given->bytes);
        else
            pQ.fieldByName(QStringLiteral("content")).loadFromFile(state.captureSource);
        pQ.post();
        if (!folder.isEmpty())
            storeCompanionFolder(pQ, id, folder);
    }
    pQ.close();
    return code;
}

void reportFailure(MainState& state, const QString& id, const QString& reason)
{
    if (state.statusPanels[0])
        state.statusPanels[0]->setText(QStringLiteral("The content of item %1 could not be stored: %2").arg(id, reason));
}

} // namespace

QString companionFolder(const QString& path, int code)
{
    QString suffix;
    if (code == 10 || code == 14)
        suffix = QStringLiteral(".files");
    else if (code == 13 || code == 15)
        suffix = QStringLiteral("_files");
    else
        return {};
    const int slash = path.lastIndexOf(u'/');
    const int dot = path.lastIndexOf(u'.');
    const QString stem = dot > slash + 1 ? path.left(dot) : path;  // ".name" has no extension
    return stem + suffix;
}

bool storeContent(MainState& state, const QString& id, StoreScope scope, const GivenContent* given)
{
    if (id.isEmpty())
        return true;
    if (!state.pQ || !state.pQ->connection()) {
        reportFailure(state, id, QStringLiteral("the archive is not open"));
        return false;
    }
    Connection& db = *state.pQ->connection();
    int stored = -1;
    StoredText storedText;
    try {
        StoreSavepoint savepoint(db);
        try {
            stored = storeRow(state, id, scope, given, savepoint, storedText);
            savepoint.release();
        } catch (...) {
            state.pQ->close();  // pending edits are dropped, then the savepoint is rolled back
            throw;
        }
    } catch (const EngineError& e) {
        reportFailure(state, id, e.message());
        return false;
    } catch (const std::exception& e) {
        reportFailure(state, id, QString::fromLocal8Bit(e.what()));
        return false;
    } catch (...) {
        reportFailure(state, id, QStringLiteral("unknown error"));
        return false;
    }
    // Only a text that is safely in the archive counts as saved.
    if (stored == 4) {
        if (state.memo && !(given && given->text))
            state.memo->document()->setModified(false);
        if (TNodeData* rec = nodeData(nodeById(state.tree, id))) {
            rec->SizeByte = storedText.size;
            rec->ModifyTime = storedText.modifyTime;
        }
    }
    return true;
}

bool autosaveCheck(MainState& state)
{
    if (!state.memo || !state.memo->document()->isModified())
        return true;
    if (!state.autoSaveAction || !state.autoSaveAction->isChecked())
        return true;
    return storeContent(state, state.currentItemId, StoreScope::TextOnly);
}

} // namespace tallowmere
