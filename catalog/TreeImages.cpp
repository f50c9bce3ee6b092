#include "TreeImages.h"

#include "NodeData.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace tallowmere {

int imageIndexForType(const QString& typeCode)
{
    const int code = toIntOr0(typeCode);
    switch (code) {
    case 4:
        return 1;
    case 5: case 7: case 10: case 11: case 12: case 13: case 14: case 15:
        return 2;
    case 6: case 8: case 9:
        return 3;
    default:
        return code;
    }
}

namespace {

// A sheet of paper with a folded corner: the base of every image.
void drawSheet(QPainter& p, const QColor& fill)
{
    QPainterPath sheet;
    sheet.moveTo(2.5, 0.5);
    sheet.lineTo(10.5, 0.5);
    sheet.lineTo(13.5, 3.5);
    sheet.lineTo(13.5, 15.5);
    sheet.lineTo(2.5, 15.5);
    sheet.closeSubpath();
    p.setPen(QColor(90, 90, 90));
    p.setBrush(fill);
    p.drawPath(sheet);
    p.drawLine(QPointF(10.5, 0.5), QPointF(10.5, 3.5));
    p.drawLine(QPointF(10.5, 3.5), QPointF(13.5, 3.5));
}

void drawGlobe(QPainter& p, const QRectF& r, const QColor& sea)
{
    p.setPen(QColor(20, 70, 140));
    p.setBrush(sea);
    p.drawEllipse(r);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(r.adjusted(r.width() / 4, 0, -r.width() / 4, 0));
    p.drawLine(QPointF(r.left(), r.center().y()), QPointF(r.right(), r.center().y()));
}

QIcon paint(int which)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    switch (which) {
    case 0:  // generic file
        drawSheet(p, QColor(235, 235, 235));
        break;
    case 1:  // text page: lines of text
        drawSheet(p, Qt::white);
        p.setPen(QColor(60, 60, 160));
        for (int y = 5; y <= 13; y += 2)
            p.drawLine(QPointF(4.5, y + 0.5), QPointF(y == 13 ? 9.5 : 11.5, y + 0.5));
        break;
    case 2:  // web page: a page with a globe
        drawSheet(p, Qt::white);
        drawGlobe(p, QRectF(3.5, 5.5, 9, 9), QColor(120, 180, 240));
        break;
    default:  // web archive: a globe on a closed box
        p.setPen(QColor(120, 80, 20));
        p.setBrush(QColor(230, 190, 110));
        p.drawRect(QRectF(0.5, 8.5, 15, 7));
        p.drawLine(QPointF(0.5, 11.5), QPointF(15.5, 11.5));
        drawGlobe(p, QRectF(3.5, 0.5, 9, 9), QColor(120, 200, 140));
        break;
    }
    p.end();
    return QIcon(pm);
}

} // namespace

const QVector<QIcon>& treeImages()
{
    static const QVector<QIcon> images{paint(0), paint(1), paint(2), paint(3)};
    return images;
}

void applyTreeImage(QTreeWidgetItem* item)
{
    const TNodeData* data = nodeData(item);
    if (!data)
        return;
    const int index = imageIndexForType(data->typeid_);
    const auto& images = treeImages();
    item->setIcon(0, index >= 0 && index < images.size() ? images[index] : QIcon());
}

} // namespace tallowmere
