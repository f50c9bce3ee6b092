#include "transfer/GiveContent.h"

#include "../support/ScriptedPrompter.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace tallowmere;

class TestGiveContent : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;

private slots:
  void initialState() {
    test::ScriptedPrompter p;
    TForm_GiveContent d(p);
    QCOMPARE(d.windowTitle(), QString("New Item"));
    QCOMPARE(d.RadioGroup1->checkedId(), int(TForm_GiveContent::NewTextDocument));
    QVERIFY(d.height() >= 120);
    QVERIFY(!d.CheckBox1->isChecked());
    QVERIFY(d.Button_OK->isDefault());
    // Closed by the window frame: reads as cancelled.
    const NewItemResult r = d.result();
    QCOMPARE(r.typeCode, -1);
    QVERIFY(r.extension.isEmpty());
    QCOMPARE(r.size, qint64(0));
  }

  void heightFollowsMethodAndPathIsKept() {
    test::ScriptedPrompter p;
    TForm_GiveContent d(p);
    d.show();
    // At least the given heights, growing with the controls shown, and never
    // so small that the font cuts a control.
    auto fits = [&d] {
      for (QWidget *w : d.findChildren<QWidget *>())
        if (w->isVisible() && w->height() < w->minimumSizeHint().height())
          return false;
      return true;
    };
    const int textHeight = d.height();
    QVERIFY(fits());
    d.selectMethod(TForm_GiveContent::FromFile);
    const int fileHeight = d.height();
    QVERIFY(fileHeight >= 145 && fileHeight > textHeight);
    QVERIFY(fits());
    d.Edit1->setText("/somewhere");
    d.selectMethod(TForm_GiveContent::FromDirectory);
    QVERIFY(d.height() >= 170 && d.height() > fileHeight);
    QVERIFY(fits());
    d.selectMethod(TForm_GiveContent::NewTextDocument);
    QCOMPARE(d.height(), textHeight);
    QCOMPARE(d.Edit1->text(), QString("/somewhere"));
  }

  void ok_data() {
    QTest::addColumn<int>("method");
    QTest::addColumn<QString>("path"); // relative to the temp folder; "" = empty field
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("ext");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("error");

    QTest::newRow("new text") << 0 << "" << 2 << ".txt" << qint64(0) << "";
    QTest::newRow("text file") << 1 << "note.TXT" << 4 << ".txt" << qint64(5) << "";
    QTest::newRow("page with .files") << 1 << "page.htm" << 14 << ".htm" << qint64(5) << "";
    QTest::newRow("missing file") << 1 << "gone.txt" << -1 << "" << qint64(0) << "Inexistent file!";
    QTest::newRow("directory as file") << 1 << "folder" << -1 << "" << qint64(0) << "Inexistent file!";
    QTest::newRow("empty file path") << 1 << "" << -1 << "" << qint64(0) << "Inexistent file!";
    QTest::newRow("directory") << 2 << "folder" << 11 << ".txt" << qint64(0) << "";
    QTest::newRow("file as directory") << 2 << "note.TXT" << -1 << "" << qint64(0) << "Inexistent directory!";
    QTest::newRow("path with a trailing blank") << 2 << "folder " << -1 << "" << qint64(0) << "Inexistent directory!";
  }

  void ok() {
    QFETCH(int, method);
    QFETCH(QString, path);
    QFETCH(int, code);
    QFETCH(QString, ext);
    QFETCH(qint64, size);
    QFETCH(QString, error);

    QDir(dir_.path()).mkpath("folder");
    QDir(dir_.path()).mkpath("page.files");
    for (const char *name : {"note.TXT", "page.htm"}) {
      QFile f(dir_.filePath(name));
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write("hello");
    }

    test::ScriptedPrompter p;
    TForm_GiveContent d(p);
    d.selectMethod(static_cast<TForm_GiveContent::Method>(method));
    d.Edit1->setText(path.isEmpty() ? QString() : dir_.path() + "/" + path);
    d.CheckBox1->setChecked(true);
    d.show();
    d.Button_OK->click();

    const NewItemResult r = d.result();
    QCOMPARE(r.typeCode, code);
    QCOMPARE(r.extension, ext);
    QCOMPARE(r.size, size);
    QVERIFY(r.includeSubdirectories);
    if (error.isEmpty()) {
      QVERIFY(p.errors.isEmpty());
      QVERIFY(!d.isVisible());
    } else {
      QCOMPARE(p.errors, QStringList{error});
      QVERIFY(d.isVisible()); // left open for a correction
    }
  }

  void cancelAfterAFailedOkIsCancelled() {
    test::ScriptedPrompter p;
    TForm_GiveContent d(p);
    d.selectMethod(TForm_GiveContent::FromFile);
    d.Edit1->setText(dir_.filePath("nothing"));
    d.show();
    d.Button_OK->click();
    d.Button_Cancel->click();
    QCOMPARE(d.result().typeCode, -1);
    QVERIFY(d.result().extension.isEmpty());
    QVERIFY(!d.isVisible());
  }
};

QTEST_MAIN(TestGiveContent)
#include "test_give_content.moc"
