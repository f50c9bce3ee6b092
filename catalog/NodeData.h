#pragma once
// The item record behind each tree node, and the node that owns it.

#include <QString>
#include <QTreeWidgetItem>

namespace tallowmere {

struct TNodeData {
    QString ID;
    QString Title;
    QString ParentPaperID;   // "0" at the top level
    QString indexid;         // position among siblings, decimal text
    QString typeid_;         // type code, decimal text ("typeid" is a C++ keyword)
    bool HasSubFolders = false;
    QString createtime;
    QString ModifyTime;
    QString ExtName;
    qint32 SizeByte = 0;
};

// A tree node that owns its record; the record dies with the node.
class TNode : public QTreeWidgetItem {
public:
    static constexpr int Type = QTreeWidgetItem::UserType + 1;
    explicit TNode(TNodeData data) : QTreeWidgetItem(Type), data_(std::move(data))
    {
        setText(0, data_.Title);
        // Labels are renamed in place.
        setFlags(flags() | Qt::ItemIsEditable);
    }
    TNodeData& data() { return data_; }
    const TNodeData& data() const { return data_; }

private:
    TNodeData data_;
};

// The record of a node, or null for a node that has none.
inline TNodeData* nodeData(QTreeWidgetItem* item)
{
    return item && item->type() == TNode::Type ? &static_cast<TNode*>(item)->data() : nullptr;
}

// Text as a number, 0 when it is not one (positions and type codes travel as text).
inline int toIntOr0(const QString& text)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    return ok ? v : 0;
}

} // namespace tallowmere
