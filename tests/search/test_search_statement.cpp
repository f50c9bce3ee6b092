// The Search dialog: its controls, and the statement it builds, checked as
// text and by the rows it finds in a real archive.

#include "SearchRows.h"
#include "catalog/NodeData.h"
#include "catalog/TreeLoader.h"
#include "search/SearchForm.h"
#include "tests/support/ArchiveFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QtTest>

#include <functional>

using namespace tallowmere;

namespace {

const QString kSelect = QStringLiteral("select Title,CreateTime,ModifyTime,SizeByte,ExtName,ID,typeid from Paper ");
const QString kWhole = kSelect + QStringLiteral(" where 1=1 ");
const QDate kToday(2026, 12, 11);

struct Fixture {
    test::ArchiveFolder archive;
    Dataset ds;
    QTreeWidget tree;
    TForm_Search dialog{&tree, kToday};

    Fixture()
    {
        archive.connect()->exec(test::kSearchRows);
        ds.setConnection(archive.connect());
        loadTree(&tree, ds);
    }
    QStringList found(const QString& sql)
    {
        QStringList ids;
        if (!runQuery(ds, sql))
            return {QStringLiteral("<failed>")};
        for (; !ds.eof(); ds.next())
            ids << ds.fieldByName(QStringLiteral("ID")).asString();
        ds.close();
        ids.sort();
        return ids;
    }
    void select(const QString& id)
    {
        for (QTreeWidgetItemIterator it(&tree); *it; ++it)
            if (nodeData(*it)->ID == id)
                tree.setCurrentItem(*it);
    }
};

using Setup = std::function<void(Fixture&)>;

QStringList ids(const char* list) { return QString::fromLatin1(list).split(u' ', Qt::SkipEmptyParts); }

} // namespace

class TestSearchStatement : public QObject {
    Q_OBJECT
private slots:
    void dialogAtStart()
    {
        QTreeWidget tree;
        TForm_Search d(&tree, kToday);
        QCOMPARE(d.windowTitle(), QStringLiteral("Search"));
        QCOMPARE(d.size(), QSize(403, 184));
        QCOMPARE(d.minimumSize(), d.maximumSize());
        QVERIFY(d.CheckBox_Title->isChecked());
        for (QCheckBox* b : {d.CheckBox_Body, d.CheckBox_CrtDateTime, d.CheckBox_MdfDateTime, d.CheckBox_Size,
                             d.CheckBox_Type, d.CheckBox_Mht, d.CheckBox_Txt, d.CheckBox_Others})
            QVERIFY2(!b->isChecked(), qPrintable(b->objectName()));
        QVERIFY(d.CheckBox_Htm->isChecked());
        QCOMPARE(d.CheckBox_Mht->text(), QStringLiteral("*.mht "));
        QCOMPARE(d.CheckBox_Txt->text(), QStringLiteral("*.txt "));
        QCOMPARE(d.Label4->text(), QStringLiteral("kb  and"));
        QCOMPARE(d.Edit_BeginKb->text(), QStringLiteral("0"));
        QCOMPARE(d.Edit_EndKb->text(), QStringLiteral("1024"));
        QCOMPARE(d.DTP_CrtDateBegin->date(), QDate(2026, 12, 4));
        QCOMPARE(d.DTP_MdfDateBegin->date(), QDate(2026, 12, 4));
        QCOMPARE(d.DTP_CrtDateEnd->date(), kToday);
        QCOMPARE(d.DTP_MdfDateEnd->date(), kToday);
        QVERIFY(d.Button1->isDefault());
        QCOMPARE(d.Button1->text(), QStringLiteral("Search"));
        QCOMPARE(d.Button2->text(), QStringLiteral("Cancel"));
        QCOMPARE(d.ComboBox_Title->count(), 0);
        QVERIFY(!d.ComboBox_Title->isHidden());
        QVERIFY(d.ComboBox_Body->isHidden());
        QVERIFY(d.DTP_CrtDateBegin->isHidden());
        QVERIFY(d.Edit_EndKb->isHidden());
        QVERIFY(d.CheckBox_Others->isHidden());
    }

    // A click on a criterion box shows or hides exactly that criterion's inputs.
    void boxesShowTheirInputs()
    {
        QTreeWidget tree;
        TForm_Search d(&tree, kToday);
        d.show();
        const QList<QPair<QCheckBox*, QList<QWidget*>>> table{
            {d.CheckBox_Title, {d.ComboBox_Title}},
            {d.CheckBox_Body, {d.ComboBox_Body}},
            {d.CheckBox_CrtDateTime, {d.Label1, d.DTP_CrtDateBegin, d.Label2, d.DTP_CrtDateEnd}},
            {d.CheckBox_MdfDateTime, {d.Label6, d.DTP_MdfDateBegin, d.Label7, d.DTP_MdfDateEnd}},
            {d.CheckBox_Size, {d.Label3, d.Edit_BeginKb, d.Label4, d.Edit_EndKb, d.Label5}},
            {d.CheckBox_Type, {d.CheckBox_Htm, d.CheckBox_Mht, d.CheckBox_Txt, d.CheckBox_Others}}};
        for (const auto& [box, inputs] : table) {
            for (int round = 0; round < 2; ++round) {
                QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
                for (QWidget* w : inputs)
                    QCOMPARE(w->isVisible(), box->isChecked());
            }
        }
    }

    void kbFieldsTakeDigitsOnly()
    {
        QTreeWidget tree;
        TForm_Search d(&tree, kToday);
        d.CheckBox_Size->click();
        d.show();
        d.Edit_BeginKb->clear();
        QTest::keyClicks(d.Edit_BeginKb, QStringLiteral("1a2 -3;x"));
        QCOMPARE(d.Edit_BeginKb->text(), QStringLiteral("123"));
        QTest::keyClick(d.Edit_BeginKb, Qt::Key_Backspace);
        QCOMPARE(d.Edit_BeginKb->text(), QStringLiteral("12"));
        // Text that is not typed (a paste) cannot bring anything else in either.
        d.Edit_BeginKb->insert(QStringLiteral("0 or 1=1"));
        QCOMPARE(d.Edit_BeginKb->text(), QStringLiteral("12"));
    }

    void statement_data()
    {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QStringList>("found");

        auto only = [](Setup more) {
            return Setup([more](Fixture& f) {
                f.dialog.CheckBox_Title->setChecked(false);
                more(f);
            });
        };
        QTest::newRow("first opening: empty title only")
            << Setup([](Fixture&) {}) << kWhole + QStringLiteral("and Title = '' ") << ids("a2 c");
        QTest::newRow("title with an apostrophe")
            << Setup([](Fixture& f) { f.dialog.ComboBox_Title->setEditText(QStringLiteral("Tom's")); })
            << kWhole + QStringLiteral("and Title like '%Tom''s%' ") << ids("a1");
        QTest::newRow("title: underscore stays a wildcard")
            << Setup([](Fixture& f) { f.dialog.ComboBox_Title->setEditText(QStringLiteral("Beta_1")); })
            << kWhole + QStringLiteral("and Title like '%Beta_1%' ") << ids("b b1");
        QTest::newRow("title: blanks kept, like ignores ASCII case")
            << Setup([](Fixture& f) { f.dialog.ComboBox_Title->setEditText(QStringLiteral("ALPHA ")); })
            << kWhole + QStringLiteral("and Title like '%ALPHA %' ") << ids("");
        QTest::newRow("nothing checked finds everything")
            << only([](Fixture&) {}) << kWhole << ids("a a1 a2 a2x b b1 c");
        QTest::newRow("type with no extension box") << only([](Fixture& f) {
            f.dialog.CheckBox_Type->setChecked(true);
            f.dialog.CheckBox_Htm->setChecked(false);
        }) << kWhole + QStringLiteral("and ExtName in('&@$9') ") << ids("");
        QTest::newRow("type with only others") << only([](Fixture& f) {
            f.dialog.CheckBox_Type->setChecked(true);
            f.dialog.CheckBox_Htm->setChecked(false);
            f.dialog.CheckBox_Others->setChecked(true);
        }) << kWhole + QStringLiteral("and ExtName not in ('&@$9','.htm','.html','.mht','.txt') ") << ids("a2x b1 c");
        QTest::newRow("type htm and txt") << only([](Fixture& f) {
            f.dialog.CheckBox_Type->setChecked(true);
            f.dialog.CheckBox_Txt->setChecked(true);
        }) << kWhole + QStringLiteral("and ExtName in('&@$9','.htm','.html','.txt') ") << ids("a a1 b");
        QTest::newRow("type others and mht") << only([](Fixture& f) {
            f.dialog.CheckBox_Type->setChecked(true);
            f.dialog.CheckBox_Htm->setChecked(false);
            f.dialog.CheckBox_Mht->setChecked(true);
            f.dialog.CheckBox_Others->setChecked(true);
        }) << kWhole + QStringLiteral("and ExtName not in ('&@$9','.htm','.html','.txt') ") << ids("a2 a2x b1 c");
        QTest::newRow("type with all four boxes adds nothing") << only([](Fixture& f) {
            f.dialog.CheckBox_Type->setChecked(true);
            for (QCheckBox* b : {f.dialog.CheckBox_Mht, f.dialog.CheckBox_Txt, f.dialog.CheckBox_Others})
                b->setChecked(true);
        }) << kWhole << ids("a a1 a2 a2x b b1 c");
        QTest::newRow("size between bounds, inclusive") << only([](Fixture& f) {
            f.dialog.CheckBox_Size->setChecked(true);
            f.dialog.Edit_BeginKb->setText(QStringLiteral(" 2 "));
        }) << kWhole + QStringLiteral(" and SizeByte >= 2*1024  and SizeByte <= 1024*1024 ") << ids("a1 a2 a2x");
        QTest::newRow("size with both fields empty") << only([](Fixture& f) {
            f.dialog.CheckBox_Size->setChecked(true);
            f.dialog.Edit_BeginKb->clear();
            f.dialog.Edit_EndKb->setText(QStringLiteral("  "));
        }) << kWhole << ids("a a1 a2 a2x b b1 c");
        QTest::newRow("size with only an upper bound") << only([](Fixture& f) {
            f.dialog.CheckBox_Size->setChecked(true);
            f.dialog.Edit_BeginKb->clear();
            f.dialog.Edit_EndKb->setText(QStringLiteral("0"));
        }) << kWhole + QStringLiteral(" and SizeByte <= 0*1024 ") << ids("b");
        QTest::newRow("body with empty text: null page text only") << only([](Fixture& f) {
            f.dialog.CheckBox_Body->setChecked(true);
        }) << kWhole + QStringLiteral("and PlainText is null") << ids("a2 b");
        QTest::newRow("body word") << only([](Fixture& f) {
            f.dialog.CheckBox_Body->setChecked(true);
            f.dialog.ComboBox_Body->setEditText(QStringLiteral("FOX"));
        }) << kWhole + QStringLiteral("and plaintext like '%FOX%' ") << ids("a");
        QTest::newRow("created: whole days, both ends") << only([](Fixture& f) {
            f.dialog.CheckBox_CrtDateTime->setChecked(true);
            f.dialog.DTP_CrtDateBegin->setDate(QDate(2026, 12, 1));
            f.dialog.DTP_CrtDateEnd->setDate(QDate(2026, 12, 4));
        }) << kWhole + QStringLiteral("and CreateTime >= '2026-12-01 00:00:00' and CreateTime <= '2026-12-04 23:59:59' ")
           << ids("a a1 b b1");
        QTest::newRow("modified: whole days, both ends") << only([](Fixture& f) {
            f.dialog.CheckBox_MdfDateTime->setChecked(true);
            f.dialog.DTP_MdfDateBegin->setDate(QDate(2026, 12, 1));
            f.dialog.DTP_MdfDateEnd->setDate(QDate(2026, 12, 4));
        }) << kWhole + QStringLiteral("and ModifyTime >= '2026-12-01 00:00:00' and ModifyTime <= '2026-12-04 23:59:59' ")
           << ids("a2 a2x b b1");
        QTest::newRow("branch without a selection") << Setup([](Fixture& f) {
            f.dialog.searchScope = kScopeBranch;
            f.dialog.CheckBox_Title->setChecked(false);
        }) << kSelect + QStringLiteral(" where id in ('^') ") << ids("");
        QTest::newRow("branch of a last child") << Setup([](Fixture& f) {
            f.dialog.searchScope = kScopeBranch;
            f.dialog.CheckBox_Title->setChecked(false);
            f.select(QStringLiteral("a2"));
        }) << kSelect + QStringLiteral(" where id in ('^','a2','a2x') ") << ids("a2 a2x");
        QTest::newRow("branch in tree order") << Setup([](Fixture& f) {
            f.dialog.searchScope = kScopeBranch;
            f.select(QStringLiteral("a"));
        }) << kSelect + QStringLiteral(" where id in ('^','a','a1','a2','a2x') and Title = '' ") << ids("a2");
        QTest::newRow("every criterion, in order") << Setup([](Fixture& f) {
            TForm_Search& d = f.dialog;
            for (QCheckBox* b : {d.CheckBox_Body, d.CheckBox_CrtDateTime, d.CheckBox_MdfDateTime, d.CheckBox_Size,
                                 d.CheckBox_Type})
                b->setChecked(true);
            d.ComboBox_Title->setEditText(QStringLiteral("page"));
            d.ComboBox_Body->setEditText(QStringLiteral("page"));
            d.DTP_CrtDateBegin->setDate(QDate(2026, 12, 4));
            d.DTP_MdfDateEnd->setDate(QDate(2026, 12, 5));
        }) << kWhole + QStringLiteral("and CreateTime >= '2026-12-04 00:00:00' and CreateTime <= '2026-12-11 23:59:59' "
                                      "and ModifyTime >= '2026-12-04 00:00:00' and ModifyTime <= '2026-12-05 23:59:59' "
                                      "and ExtName in('&@$9','.htm','.html')  and SizeByte >= 0*1024  and SizeByte <= 1024*1024 "
                                      "and Title like '%page%' and plaintext like '%page%' ")
           << ids("a1");
    }
    void statement()
    {
        QFETCH(Setup, setup);
        QFETCH(QString, statement);
        QFETCH(QStringList, found);
        Fixture f;
        setup(f);
        f.dialog.buildStatement();
        QCOMPARE(f.dialog.searchStatement(), statement);
        QCOMPARE(f.found(f.dialog.searchStatement()), found);
    }

    void historiesGrowOnEverySearch()
    {
        Fixture f;
        TForm_Search& d = f.dialog;
        d.ComboBox_Title->setEditText(QStringLiteral("fox "));
        d.ComboBox_Body->setEditText(QStringLiteral("   "));   // unchecked box, blank text: no entry
        d.buildStatement();
        d.buildStatement();                                       // duplicates allowed
        d.ComboBox_Body->setEditText(QStringLiteral("quick"));    // box unchecked, still remembered
        d.buildStatement();
        QStringList titles, bodies;
        for (int i = 0; i < d.ComboBox_Title->count(); ++i)
            titles << d.ComboBox_Title->itemText(i);
        for (int i = 0; i < d.ComboBox_Body->count(); ++i)
            bodies << d.ComboBox_Body->itemText(i);
        QCOMPARE(titles, QStringList({"fox ", "fox ", "fox "}));
        QCOMPARE(bodies, QStringList({"quick"}));
    }

    // Enter builds the statement and leaves the dialog open; Search closes it with OK.
    void enterBuildsSearchCloses()
    {
        Fixture f;
        TForm_Search& d = f.dialog;
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        d.ComboBox_Title->setFocus();
        QTest::keyClicks(d.ComboBox_Title->lineEdit(), QStringLiteral("Alpha"));
        QTest::keyClick(d.ComboBox_Title->lineEdit(), Qt::Key_Return);
        QCOMPARE(d.searchStatement(), kWhole + QStringLiteral("and Title like '%Alpha%' "));
        QVERIFY(d.isVisible());
        QCOMPARE(d.ComboBox_Title->count(), 1);   // only the build adds to the history
        d.ComboBox_Title->setEditText(QStringLiteral("Beta"));
        QTest::mouseClick(d.Button1, Qt::LeftButton);
        QVERIFY(!d.isVisible());
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(d.searchStatement(), kWhole + QStringLiteral("and Title like '%Beta%' "));
        // Cancel keeps the last statement.
        d.show();
        d.ComboBox_Title->setEditText(QStringLiteral("Gamma"));
        QTest::keyClick(&d, Qt::Key_Escape);
        QCOMPARE(d.result(), int(QDialog::Rejected));
        QCOMPARE(d.searchStatement(), kWhole + QStringLiteral("and Title like '%Beta%' "));
    }
};

QTEST_MAIN(TestSearchStatement)
#include "test_search_statement.moc"
