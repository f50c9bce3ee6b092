#include "AboutBox.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tallowmere {

QIcon programIcon()
{
    // A candle-coloured book: drawn, so the program needs no image files.
    // Drawn for each size, so desktop and browser icons stay sharp.
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 48.0, size / 48.0);
        p.setPen(QPen(QColor(80, 50, 20), 2));
        p.setBrush(QColor(196, 120, 40));
        p.drawRoundedRect(QRectF(8, 6, 32, 38), 3, 3);
        p.setBrush(QColor(250, 240, 215));
        p.drawRect(QRectF(12, 10, 24, 30));
        p.setPen(QPen(QColor(150, 110, 60), 1.5));
        for (int y = 16; y <= 34; y += 6)
            p.drawLine(QPointF(15, y), QPointF(33, y));
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

QIcon printerIcon()
{
    // The style has no printer picture; this one matches the tool bar's size.
    QPixmap pm(22, 22);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(70, 70, 70), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(6.5, 2.5, 9, 7));            // paper going in
    p.setBrush(QColor(150, 150, 160));
    p.drawRoundedRect(QRectF(2.5, 8.5, 17, 8), 2, 2);  // body
    p.setBrush(Qt::white);
    p.drawRect(QRectF(6.5, 13.5, 9, 6));           // printed sheet
    p.setPen(QColor(90, 90, 200));
    p.drawLine(QPointF(8, 16), QPointF(14, 16));
    p.drawLine(QPointF(8, 18), QPointF(12, 18));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 200, 60));
    p.drawEllipse(QPointF(16.5, 11), 1, 1);        // power light
    p.end();
    return QIcon(pm);
}

TForm_ImportD::TForm_ImportD(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TForm_ImportD"));
    setWindowTitle(QStringLiteral("关于"));
    setFixedSize(308, 300);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::Base, Qt::white);
    setPalette(pal);

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setFixedSize(41, 41);
    picture->setPixmap(programIcon().pixmap(41, 41));
    auto* name = new QLabel(QStringLiteral("Tallowmere"), this);
    name->setObjectName(QStringLiteral("Label_Product"));
    QFont big = name->font();
    big.setPointSize(big.pointSize() + 5);
    big.setBold(true);
    name->setFont(big);
    auto* head = new QHBoxLayout;
    head->addStretch();
    head->addWidget(picture);
    head->addWidget(name);
    head->addStretch();

    auto* text = new QPlainTextEdit(this);
    text->setObjectName(QStringLiteral("Memo1"));
    text->setReadOnly(true);
    text->setFrameShape(QFrame::NoFrame);
    text->setFixedSize(289, 209);
    text->setPlainText(QStringLiteral(
        "Tallowmere 是一个个人资料库，用来收藏您从网上保存的网页和文本文件。\n\n"
        "它可以导入单个文件，也可以导入整个目录；收进来的内容随点随看，"
        "并且可以用拖放随意归类，比在文件管理器里整理文件方便得多。"
        "所有内容都保存在一个加密的资料库文件里，不再依赖磁盘上的原始文件。\n\n"
        "收藏网页时，只要在浏览器的右键菜单中选择本程序的菜单项，"
        "等本程序的进度条走完，网页就已经存进来了。\n\n"
        "本程序简单易用，完全免费。"));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("Button_OK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(9, 8, 9, 8);
    layout->addLayout(head);
    layout->addWidget(text, 0, Qt::AlignHCenter);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
}

} // namespace tallowmere
