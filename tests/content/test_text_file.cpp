// The stored text of a text file computed without the editor must be exactly
// what loading the file into the editor and reading it back gives.
#include "content/TextFile.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QtTest>

#include <random>

using namespace tallowmere;

class TestTextFile : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QPlainTextEdit memo_;

    // The editor's way: the file loaded, its text read back with lines joined by CR LF.
    QString throughEditor(const QByteArray& bytes)
    {
        const QString path = dir_.filePath(QStringLiteral("t.txt"));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        f.close();
        memo_.setPlainText(QStringLiteral("left from before"));
        if (!loadTextFile(&memo_, path))
            qFatal("cannot load %s", qPrintable(path));
        QString text = memo_.toPlainText();
        text.replace(u'\n', QStringLiteral("\r\n"));
        return text;
    }

private slots:
    void sameAsEditor_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const auto row = [](const char* name, const QByteArray& bytes) { QTest::newRow(name) << bytes; };
        row("empty", QByteArray());
        row("one line", "hello");
        row("final newline", "hello\n");
        row("only newline", "\n");
        row("two newlines", "\n\n");
        row("crlf", "a\r\nb\r\n");
        row("lone cr", "a\rb\r");
        row("cr cr lf", "a\r\r\nb");
        row("lf cr", "a\n\rb");
        row("only cr", "\r");
        row("nul", QByteArray("a\0b\0", 4));
        row("nbsp", "a\xc2\xa0" "b");
        row("line separator", "a\xe2\x80\xa8" "b");
        row("paragraph separator", "a\xe2\x80\xa9" "b");
        row("frame marks", "a\xef\xb7\x90" "b\xef\xb7\x91" "c");
        row("cr before separator", "a\r\xe2\x80\xa8" "b");
        row("invalid utf-8", "a\xff" "b\xc3" "\n\xe2\x82");
        row("truncated at end", "abc\xe2\x80");
        row("overlong", "\xc0\xaf\xe0\x80\xaf");
        row("surrogate encoded", "\xed\xa0\x80x");
        row("bom", "\xef\xbb\xbftext");
        row("tabs and cjk", "\t笔记 notes\t归档\r\n");
        row("astral", "\xf0\x9f\x98\x80\r\n\xf0\x9f\x98\x80");
        row("replacement char", "\xef\xbf\xbd\n");
        row("controls", "\x01\x0b\x0c\x1c\x1d\x1e\x1f\x7f\xc2\x85");
    }

    void sameAsEditor()
    {
        QFETCH(QByteArray, bytes);
        QCOMPARE(storedTextOf(bytes), throughEditor(bytes));
    }

    // Random mixes of the awkward pieces above.
    void sameAsEditorRandom()
    {
        static const char* const kPieces[] = {
            "a", "b", "笔", "\r", "\n", "\r\n", " ", "\t", "\xc2\xa0", "\xe2\x80\xa8", "\xe2\x80\xa9",
            "\xef\xb7\x90", "\xef\xb7\x91", "\xff", "\xc3", "\xe2\x82", "\xed\xa0\x80", "\xf0\x9f\x98\x80",
            "\xef\xbb\xbf", "\xc2\x85", "\x0b", "\x0c"};
        std::mt19937 rng(11);
        std::uniform_int_distribution<int> piece(0, int(std::size(kPieces)));  // the last stands for NUL
        std::uniform_int_distribution<int> length(0, 40);
        for (int round = 0; round < 400; ++round) {
            QByteArray bytes;
            for (int n = length(rng); n > 0; --n) {
                const int k = piece(rng);
                if (k == int(std::size(kPieces)))
                    bytes.append('\0');
                else
                    bytes.append(kPieces[k]);
            }
            QCOMPARE(storedTextOf(bytes), throughEditor(bytes));
        }
    }

    void readFailsWithReason()
    {
        QByteArray bytes = "kept";
        QString reason;
        QVERIFY(!readTextFile(dir_.filePath(QStringLiteral("missing.txt")), &bytes, &reason));
        QVERIFY(!reason.isEmpty());
        QCOMPARE(bytes, QByteArray("kept"));
    }
};

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    TestTextFile test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_text_file.moc"
