#pragma once
// Items with content in a real archive, arranged in a tree, and a folder to
// export into, for the export tests.

#include "tests/content/StateFixture.h"

#include <QDirIterator>
#include <QMap>

namespace tallowmere::test {

struct ExportFixture : StateFixture {
    QTemporaryDir outside;  // holds the chosen folder and nothing else
    QString chosen = outside.path() + QStringLiteral("/D");
    int serial = 0;

    using StateFixture::StateFixture;

    void makeChosenFolder() const { QDir().mkpath(chosen); }

    // Inserts the row and its companion files; its node goes below parent (top
    // level without). content is the content column (codes other than 4), text
    // the plaintext column (code 4); size -1 is the length of either.
    QTreeWidgetItem* add(QTreeWidgetItem* parent, const QString& title, int code, const QString& ext,
                         const QByteArray& content = {}, const QString& text = {}, int size = -1,
                         const QList<QPair<QString, QByteArray>>& files = {})
    {
        const QString id = QStringLiteral("2024-06-01 10:00:%1").arg(serial, 2, 10, QLatin1Char('0'));
        const int index = serial++;
        if (size < 0)
            size = code == 4 ? int(text.toUtf8().size()) : int(content.size());
        const QString parentId = nodeData(parent) ? nodeData(parent)->ID : QStringLiteral("0");
        auto blob = [](const QByteArray& b) {
            return b.isNull() ? QStringLiteral("null") : QStringLiteral("X'%1'").arg(QString::fromLatin1(b.toHex()));
        };
        const QString sql = QStringLiteral("insert into paper(title,id,ParentPaperID,indexid,typeid,createtime,ModifyTime,ExtName,SizeByte,content,plaintext) "
                                           "values(%1,%2,%3,%4,%5,%2,%2,%6,%7,%8,%9)")
                                .arg(quoted(title), quoted(id), quoted(parentId))
                                .arg(index)
                                .arg(code)
                                .arg(quoted(ext))
                                .arg(size)
                                .arg(blob(content), code == 4 ? quoted(text) : QStringLiteral("null"));
        if (!runStatement(pQ, sql))
            qFatal("insert failed: %s", qPrintable(sql));
        for (int i = 0; i < files.size(); ++i) {
            if (!runStatement(pQ, QStringLiteral("insert into fileblock(paperid,indexid,thesize,TheFileName,block) values(%1,%2,%3,%4,%5)")
                                      .arg(quoted(id)).arg(i).arg(files[i].second.size()).arg(quoted(files[i].first), blob(files[i].second))))
                qFatal("fileblock insert failed");
        }
        TNodeData rec;
        rec.ID = id;
        rec.Title = title;
        rec.ParentPaperID = parentId;
        rec.indexid = QString::number(index);
        rec.typeid_ = QString::number(code);
        rec.createtime = rec.ModifyTime = id;
        rec.ExtName = ext;
        rec.SizeByte = size;
        auto* node = new TNode(rec);
        if (parent)
            parent->addChild(node);
        else
            tree.addTopLevelItem(node);
        return node;
    }

    // Everything below the outside folder: relative path -> bytes ("/" ending a folder).
    QMap<QString, QByteArray> written() const
    {
        QMap<QString, QByteArray> out;
        QDirIterator it(outside.path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        const QDir base(outside.path());
        while (it.hasNext()) {
            const QString path = it.next();
            const QString rel = base.relativeFilePath(path);
            if (it.fileInfo().isDir()) {
                out.insert(rel + u'/', QByteArray());
            } else {
                QFile f(path);
                f.open(QIODevice::ReadOnly);
                out.insert(rel, f.readAll());
            }
        }
        return out;
    }
};

} // namespace tallowmere::test
