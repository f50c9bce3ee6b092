#pragma once
// The tree's image list (generic file, text page, web page, web archive) and
// the choice of image by type code.

#include <QIcon>
#include <QVector>

class QTreeWidgetItem;

namespace tallowmere {

// Image number for a type code given as text: 4 -> 1; pages -> 2; archives -> 3;
// any other value is its own number (0 for a plain file; no image from 4 on
// when the code names none).
int imageIndexForType(const QString& typeCode);

// The four 16x16 images, in image-number order.
const QVector<QIcon>& treeImages();

// Sets the node's image (normal and selected) from its record's type code.
void applyTreeImage(QTreeWidgetItem* item);

} // namespace tallowmere
