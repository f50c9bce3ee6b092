#include "RenameDelete.h"

#include "CatalogTree.h"
#include "NodeData.h"
#include "common/MainState.h"
#include "common/Prompter.h"
#include "store/Archive.h"

#include <QTreeWidget>

namespace tallowmere {

namespace {

// Leading and trailing characters of code 32 or below count as blanks.
bool blanksOnly(const QString& text)
{
    for (QChar c : text)
        if (c.unicode() > 32)
            return false;
    return true;
}

bool keepsCompanionFolder(const QString& code)
{
    return code == QLatin1String("10") || code == QLatin1String("13") || code == QLatin1String("14")
        || code == QLatin1String("15");
}

} // namespace

QTreeWidgetItem* selectedNode(QTreeWidget* tree)
{
    if (!tree)
        return nullptr;
    const QList<QTreeWidgetItem*> selected = tree->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

void beginRename(CatalogTree& tree)
{
    tree.setLabelEditing(true);
}

QString finishRename(MainState& state, CatalogTree& tree, QTreeWidgetItem* node, const QString& text)
{
    tree.setLabelEditing(false);
    TNodeData* rec = nodeData(node);
    if (!rec)
        return node ? node->text(0) : text;
    if (keepsCompanionFolder(rec->typeid_)) {
        // The companion folder's name follows the title; a new title would lose it.
        if (state.prompter)
            state.prompter->refuse(state.window, kNoRenameText);
        return rec->Title;
    }
    const QString title = blanksOnly(text) ? QStringLiteral("_") : text;
    if (state.pQ)
        runStatement(*state.pQ, QStringLiteral("update paper set title = ") + quoted(title)
                                    + QStringLiteral(" where id = ") + quoted(rec->ID));
    rec->Title = title;
    return title;
}

void deleteCommand(MainState& state)
{
    QTreeWidgetItem* node = selectedNode(state.tree);
    if (!node)
        return;
    if (!state.prompter || !state.prompter->confirm(state.window, kDeleteQuestion))
        return;
    deleteBranch(state, node);
    state.branchDeleted = true;
}

void deleteBranch(MainState& state, QTreeWidgetItem* node)
{
    const TNodeData* rec = nodeData(node);
    if (rec && state.pQ) {
        const QString id = quoted(rec->ID);
        // One transaction, so that a crash leaves the branch whole or gone.
        std::shared_ptr<Connection> conn = state.pQ->connection();
        bool inTransaction = false;
        if (conn) {
            try {
                conn->begin();
                inTransaction = true;
            } catch (const EngineError&) {
            }
        }
        runStatement(*state.pQ, QStringLiteral("delete from paper where id = ") + id);
        runStatement(*state.pQ, QStringLiteral("delete from paper where parentpaperid = ") + id);
        runStatement(*state.pQ, kOrphanCleanUp);
        if (rec->typeid_ == QLatin1String("10"))
            runStatement(*state.pQ, QStringLiteral("delete from fileblock where paperid = ") + id);
        if (inTransaction) {
            try {
                conn->commit();
            } catch (const EngineError&) {
                conn->rollback();
            }
        }
    }
    // The node owns its record and its children; all go with it.
    delete node;
}

} // namespace tallowmere
