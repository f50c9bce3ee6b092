// The text tools on real widgets over a real archive, with the scripted web
// view and prompter: find, font, word wrap, autosave, zoom and printing (to a
// PDF file, read back by an independent reader).

#include "StateFixture.h"
#include "app/MainForm.h"
#include "content/ShowItem.h"
#include "content/TextTools.h"
#include "content/ViewSwitch.h"
#include "tests/support/FakeWebView.h"
#include "tests/support/WindowFixture.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QPdfDocument>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QtTest>

using namespace tallowmere;
using tallowmere::test::StateFixture;

namespace {

struct Tools {
    FakeWebView web;
    StateFixture f{web};
    QAction wrap{QStringLiteral("Word Wrap"), nullptr};
    TextTools tools{f.state, &wrap};

    Tools()
    {
        wrap.setCheckable(true);
        wrap.setChecked(true);
        QObject::connect(tools.findDialog(), &TFindDialog::find, [this] { tools.findNext(); });
    }
    QPlainTextEdit* memo() { return f.memo; }
    QPlainTextEdit* memo64k() { return f.memo64k; }
    // Types the find text and presses Find Next, as the user does.
    void findNext(const QString& what)
    {
        auto* dialog = tools.findDialog();
        if (dialog->Edit_FindText->text() != what)
            dialog->Edit_FindText->setText(what);
        QTest::mouseClick(dialog->Button_FindNext, Qt::LeftButton);
    }
    QPair<int, int> selection()
    {
        const QTextCursor c = memo()->textCursor();
        return {int(c.selectionStart()), int(c.selectionEnd() - c.selectionStart())};
    }
    void select(int start, int length)
    {
        QTextCursor c = memo()->textCursor();
        c.setPosition(start);
        c.setPosition(start + length, QTextCursor::KeepAnchor);
        memo()->setTextCursor(c);
    }
};

// Watches for a key press reaching a widget.
struct KeySeen : QObject {
    int key;
    bool seen = false;
    explicit KeySeen(int k) : key(k) {}
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == key)
            seen = true;
        return false;
    }
};

QString pdfText(const QString& path)
{
    QPdfDocument pdf;
    if (pdf.load(path) != QPdfDocument::Error::None)
        return QStringLiteral("<unreadable PDF>");
    QString text;
    for (int page = 0; page < pdf.pageCount(); ++page)
        text += pdf.getAllText(page).text();
    return text;
}

} // namespace

class TestTextTools : public QObject {
    Q_OBJECT
private slots:
    void findNextSequence();
    void findNextStart_data();
    void findNextStart();
    void findNextWhileWebShown();
    void chooseFont();
    void zoomStepsWithinLevels_data();
    void zoomStepsWithinLevels();
    void printText();
    void printWebPage();
    void windowFindDialog();
    void windowWrapAndAutosave();
};

// xabcabc: 1-3, 4-6, then nothing; after a click into the text, 1-3 again.
void TestTextTools::findNextSequence()
{
    Tools t;
    t.memo()->setPlainText("xabcabc");
    t.findNext("abc");
    QCOMPARE(t.selection(), qMakePair(1, 3));
    QVERIFY(t.tools.findDialog()->Button_FindNext->isEnabled());
    t.findNext("abc");
    QCOMPARE(t.selection(), qMakePair(4, 3));
    t.findNext("abc");
    QCOMPARE(t.selection(), qMakePair(4, 3));
    t.f.stack.setCurrentWidget(t.memo());
    t.f.stack.resize(300, 200);
    t.f.stack.show();
    QVERIFY(QTest::qWaitForWindowExposed(&t.f.stack));
    QTest::mouseClick(t.memo()->viewport(), Qt::LeftButton, {}, QPoint(150, 150));
    QVERIFY(!t.memo()->textCursor().hasSelection());
    t.findNext("abc");
    QCOMPARE(t.selection(), qMakePair(1, 3));
}

void TestTextTools::findNextStart_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("find");
    QTest::addColumn<int>("selStart");
    QTest::addColumn<int>("selLength");
    QTest::addColumn<bool>("upward");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<int>("foundStart");
    QTest::addColumn<int>("foundLength");
    QTest::newRow("ABC in abc, match case off") << "abc" << "ABC" << 0 << 0 << false << false << 0 << 0;
    QTest::newRow("ABC in abc, match case on") << "abc" << "ABC" << 0 << 0 << false << true << 0 << 0;
    QTest::newRow("abc is not ABC") << "ABC abc" << "abc" << 0 << 0 << false << false << 4 << 3;
    QTest::newRow("upward still runs forward") << "abc abc abc" << "abc" << 4 << 3 << true << false << 8 << 3;
    QTest::newRow("caret without selection starts at the beginning") << "abc abc" << "abc" << 5 << 0 << false << false << 0 << 3;
    QTest::newRow("whole word not required") << "xabcx" << "abc" << 0 << 0 << false << false << 1 << 3;
    QTest::newRow("no match keeps the selection") << "abc def" << "xyz" << 4 << 3 << false << false << 4 << 3;
    QTest::newRow("across lines") << "ab\nab\nzz ab" << "ab" << 3 << 2 << false << false << 9 << 2;
}

void TestTextTools::findNextStart()
{
    QFETCH(QString, text);
    QFETCH(QString, find);
    QFETCH(int, selStart);
    QFETCH(int, selLength);
    QFETCH(bool, upward);
    QFETCH(bool, matchCase);
    QFETCH(int, foundStart);
    QFETCH(int, foundLength);
    Tools t;
    t.memo()->setPlainText(text);
    t.select(selStart, selLength);
    auto* dialog = t.tools.findDialog();
    dialog->RadioButton_Up->setChecked(upward);
    dialog->CheckBox_MatchCase->setChecked(matchCase);
    t.findNext(find);
    QCOMPARE(t.selection(), qMakePair(foundStart, foundLength));
}

void TestTextTools::findNextWhileWebShown()
{
    Tools t;
    t.memo()->setPlainText("abc");
    viewSwitch(t.f.state, true);
    t.tools.findInDocument();
    QVERIFY(!t.tools.findDialog()->isVisible());
    t.findNext("abc");
    QCOMPARE(t.selection(), qMakePair(0, 0));
    viewSwitch(t.f.state, false);
    t.tools.findInDocument();
    QVERIFY(t.tools.findDialog()->isVisible());
}

// The dialog opens on its own font (not the editor's), then on the last choice.
void TestTextTools::chooseFont()
{
    Tools t;
    const QFont editorAtStart = t.memo()->font();
    QFont chosen(QStringLiteral("DejaVu Serif"), 15);
    chosen.setItalic(true);
    t.f.prompter.fonts << chosen;
    t.tools.chooseFont();
    QCOMPARE(t.f.prompter.fontsOffered.size(), 1);
    QCOMPARE(t.f.prompter.fontsOffered[0].pointSize(), 8);
    QCOMPARE(t.memo()->font().family(), QString("DejaVu Serif"));
    QVERIFY(t.memo()->font().italic());
    QCOMPARE(t.memo64k()->font(), editorAtStart);

    t.memo()->setFont(editorAtStart);
    t.tools.chooseFont();  // cancelled
    QCOMPARE(t.f.prompter.fontsOffered[1], chosen);
    QCOMPARE(t.memo()->font(), editorAtStart);
}

void TestTextTools::zoomStepsWithinLevels_data()
{
    QTest::addColumn<bool>("document");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("to");
    QTest::newRow("smaller") << true << 4 << -1 << 3;
    QTest::newRow("larger") << true << 4 << 1 << 5;
    QTest::newRow("smallest stays") << true << 0 << -1 << 0;
    QTest::newRow("largest stays") << true << 11 << 1 << 11;
    QTest::newRow("no document") << false << 4 << -1 << 4;
}

void TestTextTools::zoomStepsWithinLevels()
{
    QFETCH(bool, document);
    QFETCH(int, from);
    QFETCH(int, step);
    QFETCH(int, to);
    Tools t;
    t.web.documentPresent = document;
    t.web.zoom = from;
    t.tools.zoomStep(step);
    QCOMPARE(t.web.zoom, to);
}

// The editor's visible text goes onto the page; a cancelled dialog prints nothing.
void TestTextTools::printText()
{
    Tools t;
    QTemporaryDir out;
    const QString pdf = out.filePath("printed.pdf");
    t.memo()->setPlainText("Printed through the dialog\nsecond line");
    t.f.stack.setCurrentWidget(t.memo());
    t.f.stack.resize(400, 300);
    t.f.stack.show();
    QVERIFY(QTest::qWaitForWindowExposed(&t.f.stack));

    t.tools.print();  // cancelled
    QCOMPARE(t.f.prompter.printDialogs, 1);
    QVERIFY(!QFileInfo::exists(pdf));

    t.f.prompter.pdfFiles << pdf;
    t.tools.print();
    QCOMPARE(t.f.prompter.printDialogs, 2);
    // The reader splits the text into runs of its own choosing; the characters count.
    const QString text = pdfText(pdf).remove(QRegularExpression("\\s"));
    QCOMPARE(text, QString("Printedthroughthedialogsecondline"));
    QCOMPARE(t.web.printCount, 0);
}

void TestTextTools::printWebPage()
{
    Tools t;
    viewSwitch(t.f.state, true);
    t.tools.print();  // no document: nothing
    QCOMPARE(t.web.printCount, 0);
    t.web.documentPresent = true;
    t.tools.print();
    QCOMPARE(t.web.printCount, 1);
    QCOMPARE(t.f.prompter.printDialogs, 0);  // the web view prints by its own means
}

// Ctrl+F in either editor and "Find in this document" open the one dialog;
// the key still reaches the editor; Find Next works on the text editor.
void TestTextTools::windowFindDialog()
{
    test::ArchiveFolder archive;
    test::ScriptedPrompter prompter;
    auto form = test::makeWindow(archive.folder(), &prompter);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    auto* dialog = form->findChild<TFindDialog*>("FindDialog1");
    QVERIFY(dialog && !dialog->isVisible());

    KeySeen passedOn(Qt::Key_F);
    form->Panel2->installEventFilter(&passedOn);  // what the editor leaves reaches its parent
    form->Memo->setPlainText("find me, find me");
    QTest::keyClick(form->Memo, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(dialog->isVisible());
    QVERIFY(passedOn.seen);
    QCOMPARE(form->Memo->toPlainText(), QString("find me, find me"));

    dialog->hide();
    QTest::keyClick(form->Memo, Qt::Key_G, Qt::ControlModifier);
    QTest::keyClick(form->Memo_64k, Qt::Key_X);
    QVERIFY(!dialog->isVisible());
    QTest::keyClick(form->Memo_64k, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(dialog->isVisible());

    dialog->hide();
    form->findChild<QAction*>("MenuItem_FindDoc")->trigger();
    QVERIFY(dialog->isVisible());
    QCOMPARE(form->findChildren<TFindDialog*>().size(), 1);

    dialog->Edit_FindText->setText("me");
    QTest::mouseClick(dialog->Button_FindNext, Qt::LeftButton);
    QCOMPARE(form->Memo->textCursor().selectionStart(), 5);
    QTest::mouseClick(dialog->Button_FindNext, Qt::LeftButton);
    QCOMPARE(form->Memo->textCursor().selectionStart(), 14);
}

// Unticking "Word Wrap" lets long lines run sideways; unticking "Autosave Text"
// leaves edits unstored when another item is shown.
void TestTextTools::windowWrapAndAutosave()
{
    test::ArchiveFolder archive;
    archive.connect()->exec("insert into paper(id,title,ParentPaperID,indexid,typeid,ExtName,SizeByte,plaintext) values"
                            "('2024-01-01 00:00:01','one','0',0,4,'.txt',3,'one'),"
                            "('2024-01-01 00:00:02','two','0',1,4,'.txt',3,'two')");
    test::ScriptedPrompter prompter;
    auto form = test::makeWindow(archive.folder(), &prompter);
    form->resize(600, 400);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    auto* wrap = form->findChild<QAction*>("MenuItem_Wrap");
    auto* autoSave = form->findChild<QAction*>("MenuItem_AutoSave");
    QVERIFY(wrap->isChecked() && autoSave->isChecked());

    form->Memo->setPlainText(QString(2000, u'w'));
    QCoreApplication::processEvents();
    QCOMPARE(form->Memo->horizontalScrollBar()->maximum(), 0);
    wrap->trigger();
    QVERIFY(!wrap->isChecked());
    QCOMPARE(form->Memo->lineWrapMode(), QPlainTextEdit::NoWrap);
    QCoreApplication::processEvents();
    QVERIFY(form->Memo->horizontalScrollBar()->maximum() > 0);
    QCOMPARE(form->Memo_64k->lineWrapMode(), QPlainTextEdit::NoWrap);
    wrap->trigger();
    QCOMPARE(form->Memo->lineWrapMode(), QPlainTextEdit::WidgetWidth);

    autoSave->trigger();
    QVERIFY(!autoSave->isChecked());
    showItem(form->state(), "2024-01-01 00:00:01", "4");
    QTest::keyClicks(form->Memo, "edited ");
    showItem(form->state(), "2024-01-01 00:00:02", "4");
    QCOMPARE(test::runShell(archive.path, "select plaintext from paper where title='one';").out,
             QString("one"));

    autoSave->trigger();
    QVERIFY(autoSave->isChecked());
    QTest::keyClicks(form->Memo, "edited ");
    showItem(form->state(), "2024-01-01 00:00:01", "4");
    QCOMPARE(test::runShell(archive.path, "select plaintext from paper where title='two';").out,
             QString("edited two"));
}

QTEST_MAIN(TestTextTools)
#include "test_text_tools.moc"
