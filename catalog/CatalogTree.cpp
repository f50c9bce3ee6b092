#include "CatalogTree.h"

#include <QMouseEvent>

#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QStyledItemDelegate>

namespace tallowmere {

// Opens the label editor through begin rename and writes the label through
// finish rename; the flag falls when the editor closes, confirmed or cancelled.
class LabelDelegate : public QStyledItemDelegate {
public:
    explicit LabelDelegate(CatalogTree* tree) : QStyledItemDelegate(tree), m_tree(tree) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        m_tree->m_labelEditing = true;
        if (m_tree->m_editing)
            m_tree->m_editing(m_tree->itemFromIndex(index));
        return QStyledItemDelegate::createEditor(parent, option, index);
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        auto* line = qobject_cast<QLineEdit*>(editor);
        if (!line) {
            QStyledItemDelegate::setModelData(editor, model, index);
            return;
        }
        QString text = line->text();
        if (m_tree->m_edited)
            m_tree->m_edited(m_tree->itemFromIndex(index), text);
        m_tree->m_labelEditing = false;
        model->setData(index, text, Qt::EditRole);
    }

    // The editor passes its keys on to the tree's key handling first.
    bool eventFilter(QObject* editor, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress)
            emit m_tree->editorKeyPress(static_cast<QKeyEvent*>(event));
        return QStyledItemDelegate::eventFilter(editor, event);
    }

    void destroyEditor(QWidget* editor, const QModelIndex& index) const override
    {
        m_tree->m_labelEditing = false;
        QStyledItemDelegate::destroyEditor(editor, index);
    }

private:
    CatalogTree* m_tree;
};

CatalogTree::CatalogTree(QWidget* parent) : QTreeWidget(parent)
{
    setItemDelegate(new LabelDelegate(this));
}

void CatalogTree::setRenameHandlers(std::function<void(QTreeWidgetItem*)> editing,
                                    std::function<void(QTreeWidgetItem*, QString&)> edited)
{
    m_editing = std::move(editing);
    m_edited = std::move(edited);
}

QTreeWidgetItem* CatalogTree::moveTarget() const
{
    return m_moveTarget.isValid() ? itemFromIndex(m_moveTarget) : nullptr;
}

void CatalogTree::setMoveTarget(QTreeWidgetItem* node)
{
    m_moveTarget = node ? QPersistentModelIndex(indexFromItem(node)) : QPersistentModelIndex();
}

void CatalogTree::startDrag(Qt::DropActions)
{
    QTreeWidgetItem* source = currentItem();
    if (!source)
        return;
    // The drag carries only a marker: the drop handler reads the source from the selection.
    auto* mime = new QMimeData;
    mime->setData(QStringLiteral("application/x-tallowmere-node"), QByteArray());
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    m_dropped = false;
    drag->exec(Qt::MoveAction);
    if (m_dropped)
        emit endDrag(m_dropPoint);
}

// Whatever is dragged over the tree is accepted.
void CatalogTree::dragEnterEvent(QDragEnterEvent* event)
{
    event->acceptProposedAction();
}

void CatalogTree::dragMoveEvent(QDragMoveEvent* event)
{
    event->acceptProposedAction();
}

// Only the point is kept; the nodes are moved by the drag menu, never here.
void CatalogTree::dropEvent(QDropEvent* event)
{
    if (event->source() == this) {
        m_dropped = true;
        m_dropPoint = event->position().toPoint();
    }
    event->setDropAction(Qt::IgnoreAction);
    event->accept();
}

void CatalogTree::mousePressEvent(QMouseEvent* event)
{
    const Qt::MouseButton button = event->button();
    const QPoint point = event->position().toPoint();
    // A press on blank space keeps the selection: the view would clear it, and
    // then every click beside the rows would offer "Add an item".
    if (!itemAt(point) && !selectedItems().isEmpty()) {
        setFocus(Qt::MouseFocusReason);
        event->accept();
    } else {
        QTreeWidget::mousePressEvent(event);
    }
    emit mousePressed(button, point);
}

} // namespace tallowmere
