#include "transfer/FileTypeRule.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace tallowmere;

class TestFileTypeRule : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;

  QString make(const QString &relative, bool isDir = false) {
    const QString path = dir_.filePath(relative);
    if (isDir) {
      QDir().mkpath(path);
    } else {
      QDir().mkpath(QFileInfo(path).absolutePath());
      QFile f(path);
      f.open(QIODevice::WriteOnly);
      f.write("x");
    }
    return path;
  }

private slots:
  void classifies_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("folders"); // folders made beside it
    QTest::addColumn<QStringList>("files");   // other files made beside it
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("ext");

    QTest::newRow("plain page") << "a/page.htm" << QStringList{} << QStringList{} << 12 << ".htm";
    QTest::newRow("html page") << "b/page.html" << QStringList{} << QStringList{} << 12 << ".html";
    QTest::newRow("upper case with .files") << "c/PAGE.HTM" << QStringList{"c/PAGE.files"} << QStringList{} << 14 << ".htm";
    QTest::newRow("_files only") << "d/page.html" << QStringList{"d/page_files"} << QStringList{} << 15 << ".html";
    QTest::newRow("both: .files first") << "e/page.htm" << QStringList{"e/page.files", "e/page_files"} << QStringList{} << 14 << ".htm";
    QTest::newRow("companion of another page") << "f/page.htm" << QStringList{"f/other.files"} << QStringList{} << 12 << ".htm";
    QTest::newRow("mht") << "g/saved.MHT" << QStringList{} << QStringList{} << 9 << ".mht";
    QTest::newRow("text") << "g/report.TXT" << QStringList{} << QStringList{} << 4 << ".txt";
    QTest::newRow("other") << "g/photo.Jpeg" << QStringList{} << QStringList{} << 0 << ".jpeg";
    QTest::newRow("no extension") << "g/readme" << QStringList{} << QStringList{} << 0 << "";
    QTest::newRow("dot only in folder name") << "h.d/readme" << QStringList{} << QStringList{} << 0 << "";
    QTest::newRow("last dot counts") << "g/archive.txt.gz" << QStringList{} << QStringList{} << 0 << ".gz";
    QTest::newRow("trailing dot") << "g/odd." << QStringList{} << QStringList{} << 0 << ".";
    QTest::newRow("companion is a file, not a folder") << "i/page.htm" << QStringList{} << QStringList{"i/page.files"} << 12 << ".htm";
  }

  void classifies() {
    QFETCH(QString, file);
    QFETCH(QStringList, folders);
    QFETCH(QStringList, files);
    QFETCH(int, code);
    QFETCH(QString, ext);
    const QString path = make(file);
    for (const QString &f : folders)
      make(f, true);
    for (const QString &f : files)
      make(f);

    const FileType t = fileTypeOf(path);
    QCOMPARE(t.typeCode, code);
    QCOMPARE(t.extension, ext);
  }

  // Only the name and the folders beside it are looked at, so the rule answers
  // for a file that is not there (the dialog checks existence first).
  void missingFileIsClassifiedByName() {
    const FileType t = fileTypeOf(dir_.filePath("nowhere/gone.HTML"));
    QCOMPARE(t.typeCode, 12);
    QCOMPARE(t.extension, QString(".html"));
  }
};

QTEST_GUILESS_MAIN(TestFileTypeRule)
#include "test_file_type_rule.moc"
