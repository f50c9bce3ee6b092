#pragma once
// The catalog tree widget: labels edited in place (with the label-editing
// flag), drags that start in the tree and end on it reported as a drop point,
// and the move target the drag menu works on. The widget never moves or
// renames a node by itself: renames go through the rename handlers, moves
// through the drag menu and the move operation, so tree and archive stay in step.

#include <QPersistentModelIndex>
#include <QTreeWidget>
#include <functional>

namespace tallowmere {

class CatalogTree : public QTreeWidget {
    Q_OBJECT
public:
    explicit CatalogTree(QWidget* parent = nullptr);

    // True exactly while the label editor is open.
    bool labelEditing() const { return m_labelEditing; }
    void setLabelEditing(bool on) { m_labelEditing = on; }

    // Called when the label editor opens (begin rename) and when the user
    // confirms an edit (finish rename: the handler may replace the text,
    // which then becomes the label).
    void setRenameHandlers(std::function<void(QTreeWidgetItem*)> editing,
                           std::function<void(QTreeWidgetItem*, QString&)> edited);

    // The node under the last drop point (null when none, or when it has gone since).
    QTreeWidgetItem* moveTarget() const;
    void setMoveTarget(QTreeWidgetItem* node);

signals:
    // A key pressed inside the label editor, before the editor takes it.
    void editorKeyPress(QKeyEvent* event);
    // A drag that started in this tree ended with a drop on it, at point (viewport coordinates).
    void endDrag(const QPoint& point);
    // A mouse press, after the tree has handled it (a left press has selected
    // the node under the pointer), at point (viewport coordinates).
    void mousePressed(Qt::MouseButton button, const QPoint& point);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    friend class LabelDelegate;
    bool m_labelEditing = false;
    std::function<void(QTreeWidgetItem*)> m_editing;
    std::function<void(QTreeWidgetItem*, QString&)> m_edited;
    QPersistentModelIndex m_moveTarget;
    bool m_dropped = false;
    QPoint m_dropPoint;
};

} // namespace tallowmere
