// The result list: filling it from a statement on a real archive, sorting it
// by a column, and finding a line's item in the tree.

#include "SearchRows.h"
#include "catalog/NodeData.h"
#include "catalog/TreeLoader.h"
#include "common/MainState.h"
#include "search/ResultList.h"
#include "tests/support/ArchiveFixture.h"

#include <QLabel>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QtTest>

using namespace tallowmere;

namespace {

const QString kAll = QStringLiteral(
    "select Title,CreateTime,ModifyTime,SizeByte,ExtName,ID,typeid from Paper  where 1=1 ");

struct Fixture {
    test::ArchiveFolder archive;
    Dataset pQ;
    QTreeWidget tree;
    QTreeWidget list;
    QLabel panels[4];
    MainState state;

    Fixture()
    {
        archive.connect()->exec(test::kSearchRows);
        pQ.setConnection(archive.connect());
        loadTree(&tree, pQ);
        prepareResultList(&list);
        state.pQ = &pQ;
        state.tree = &tree;
        for (int i = 0; i < 4; ++i) {
            panels[i].setText(QStringLiteral("old"));
            state.statusPanels[i] = &panels[i];
        }
    }
};

// A list of lines "title|size" (other columns: the line's number as id).
void fill(QTreeWidget& list, const QStringList& lines)
{
    list.clear();
    prepareResultList(&list);
    int n = 0;
    for (const QString& text : lines) {
        const QStringList parts = text.split(u'|');
        auto* line = new QTreeWidgetItem(&list);
        line->setText(ColTitle, parts.value(0));
        line->setText(ColSize, parts.value(1));
        line->setText(ColId, QString::number(n++));
    }
}

QStringList column(QTreeWidget& list, int c)
{
    QStringList out;
    for (int i = 0; i < list.topLevelItemCount(); ++i)
        out << list.topLevelItem(i)->text(c);
    return out;
}

QStringList split(const char* text) { return QString::fromUtf8(text).split(u','); }

} // namespace

class TestResultList : public QObject {
    Q_OBJECT
private slots:
    void fillsEveryRowInOrder()
    {
        Fixture f;
        QVERIFY(fillResultList(f.state, &f.list, kAll + QStringLiteral("order by id")));
        QCOMPARE(f.list.topLevelItemCount(), 7);
        QCOMPARE(column(f.list, ColId), split("a,a1,a2,a2x,b,b1,c"));
        const QTreeWidgetItem* a1 = f.list.topLevelItem(1);
        const QStringList texts{"Tom's page", "2026-12-04 23:59:59", "2026-12-05 00:00:00", "2048", ".htm", "a1", "5"};
        for (int c = 0; c < kResultColumns; ++c)
            QCOMPARE(a1->text(c), texts[c]);
        QCOMPARE(f.list.topLevelItem(6)->text(ColSize), QString());   // a null size is empty text
        QVERIFY(f.list.isColumnHidden(ColId));
        QVERIFY(f.list.isColumnHidden(ColTypeId));
        QVERIFY(!f.list.isColumnHidden(ColExt));
        QCOMPARE(f.panels[0].text(), QStringLiteral("Found 7 results"));
        for (int i = 1; i < 4; ++i)
            QCOMPARE(f.panels[i].text(), QString());
    }

    void countsOneAndNone_data()
    {
        QTest::addColumn<QString>("condition");
        QTest::addColumn<QString>("status");
        QTest::newRow("one") << "and Title like '%Alpha%' " << "Found 1 results";
        QTest::newRow("none") << "and Title = 'nothing' " << "Found 0 results";
    }
    void countsOneAndNone()
    {
        QFETCH(QString, condition);
        QFETCH(QString, status);
        Fixture f;
        fill(f.list, {QStringLiteral("stale|1")});
        QVERIFY(fillResultList(f.state, &f.list, kAll + condition));
        QCOMPARE(f.panels[0].text(), status);
        QCOMPARE(f.list.topLevelItemCount(), status.section(u' ', 1, 1).toInt());
    }

    // A statement the database refuses must not read as "nothing found".
    void failedStatementIsSaid()
    {
        Fixture f;
        fill(f.list, {QStringLiteral("stale|1")});
        QVERIFY(!fillResultList(f.state, &f.list, kAll + QStringLiteral("and nosuchcolumn = 1")));
        QCOMPARE(f.list.topLevelItemCount(), 0);
        QCOMPARE(f.panels[0].text(), QStringLiteral("The search could not be run"));
        QCOMPARE(f.panels[1].text(), QString());
    }

    void sorting_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QList<int>>("clicks");
        QTest::addColumn<int>("keyColumn");
        QTest::addColumn<QStringList>("expected");

        const QStringList numbers = split("9|9,10|10,2|2");
        QTest::newRow("size, first click: descending, as numbers")
            << numbers << QList<int>{ColSize} << int(ColSize) << split("10,9,2");
        QTest::newRow("size, second click: ascending, 9 below 10")
            << numbers << QList<int>{ColSize, ColSize} << int(ColSize) << split("2,9,10");
        QTest::newRow("title ascending: 10 before 9, as text")
            << numbers << QList<int>{ColTitle, ColTitle} << int(ColTitle) << split("10,2,9");
        QTest::newRow("one direction for all columns: title then size")
            << numbers << QList<int>{ColTitle, ColSize} << int(ColSize) << split("2,9,10");
        QTest::newRow("bytes, not locale: upper case first, prefix first, UTF-8 after ASCII")
            << split("b|,é|,B|,ab|,a|") << QList<int>{ColTitle, ColTitle} << int(ColTitle)
            << split("B,a,ab,b,é");
        QTest::newRow("empty and blank sizes count as 0")
            << split("x|5,y|,z| ,w|-1") << QList<int>{ColSize, ColSize} << int(ColSize) << split("-1,0,0,5");
        // The exchange procedure, not a stable sort: of A and C (equal keys) C ends first.
        QTest::newRow("equal keys stay as the exchanges leave them")
            << split("A|2,B|1,C|2,D|1") << QList<int>{ColId, ColSize} << int(ColTitle) << split("B,D,C,A");
        QTest::newRow("columns past Type sort nothing but still turn the direction")
            << numbers << QList<int>{ColId, ColTitle} << int(ColTitle) << split("10,2,9");
    }
    void sorting()
    {
        QFETCH(QStringList, lines);
        QFETCH(QList<int>, clicks);
        QFETCH(int, keyColumn);
        QFETCH(QStringList, expected);
        QTreeWidget list;
        fill(list, lines);
        bool ascending = true;
        for (int c : clicks)
            sortResultList(&list, c, ascending);
        QCOMPARE(column(list, keyColumn), expected);
        // Lines move whole: every title still has its own id and size.
        for (int i = 0; i < list.topLevelItemCount(); ++i) {
            const QTreeWidgetItem* line = list.topLevelItem(i);
            const QString original = lines.value(line->text(ColId).toInt());
            QCOMPARE(line->text(ColTitle), original.section(u'|', 0, 0));
        }
    }

    // A long list sorts too (the exchange procedure would take minutes there).
    void manyLinesSortFully()
    {
        QTreeWidget list;
        QStringList lines;
        for (int i = 0; i < 12000; ++i)
            lines << QStringLiteral("t%1|%2").arg(i).arg((i * 7919) % 10007);
        fill(list, lines);
        bool ascending = true;
        sortResultList(&list, ColSize, ascending);
        QCOMPARE(list.topLevelItemCount(), 12000);
        for (int i = 1; i < list.topLevelItemCount(); ++i)
            QVERIFY(list.topLevelItem(i - 1)->text(ColSize).toInt() >= list.topLevelItem(i)->text(ColSize).toInt());
        for (int i = 0; i < list.topLevelItemCount(); ++i) {
            const QTreeWidgetItem* line = list.topLevelItem(i);
            QCOMPARE(line->text(ColTitle), lines.at(line->text(ColId).toInt()).section(u'|', 0, 0));
        }
    }

    void openingALine()
    {
        Fixture f;
        QVERIFY(fillResultList(f.state, &f.list, kAll + QStringLiteral("order by id")));
        ResultLine line;
        QVERIFY(!selectResultLine(f.state, &f.list, line));   // nothing selected: nothing happens
        QCOMPARE(f.tree.currentItem(), nullptr);

        f.list.topLevelItem(3)->setSelected(true);              // a2x, two levels down
        QVERIFY(selectResultLine(f.state, &f.list, line));
        QCOMPARE(line.id, QStringLiteral("a2x"));
        QCOMPARE(line.typeId, QStringLiteral("13"));
        QCOMPARE(line.title, QStringLiteral("100% sure"));
        QVERIFY(f.tree.currentItem());
        QCOMPARE(nodeData(f.tree.currentItem())->ID, QStringLiteral("a2x"));

        // A line whose item is not in the tree leaves the selection alone.
        f.list.clearSelection();
        f.list.topLevelItem(0)->setText(ColId, QStringLiteral("gone"));
        f.list.topLevelItem(0)->setSelected(true);
        QVERIFY(selectResultLine(f.state, &f.list, line));
        QCOMPARE(line.id, QStringLiteral("gone"));
        QCOMPARE(nodeData(f.tree.currentItem())->ID, QStringLiteral("a2x"));
    }
};

QTEST_MAIN(TestResultList)
#include "test_result_list.moc"
