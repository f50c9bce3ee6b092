#pragma once
// Makes a directory to import: pages (some with a companion folder), texts,
// web archives and files the import passes over, about 10 KB each, spread
// over nested sub-directories. Deterministic for a given seed. And the state
// an import of it runs on, without a main window.

#include "catalog/NodeData.h"
#include "catalog/TreeImages.h"
#include "common/MainState.h"
#include "store/Archive.h"
#include "store/Clock.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QString>
#include <QTreeWidget>

#include <random>
#include <stdexcept>

namespace tallowmere::bench {

struct GeneratedDirectory {
    int files = 0;          // every file written, companion files included
    int imported = 0;       // files the import with sub-directories takes in
    int folders = 0;        // sub-directories that become folder items
    qint64 bytes = 0;       // bytes of every file written
};

class DirectoryGenerator {
public:
    explicit DirectoryGenerator(unsigned seed = 1) : rng_(seed) {}

    // count files in total (companion files included), about fileBytes each.
    GeneratedDirectory make(const QString& root, int count, int fileBytes = 10240)
    {
        GeneratedDirectory made;
        constexpr int kPerFolder = 200;
        QString folder = root;
        QDir().mkpath(root);
        int inFolder = 0;
        int n = 0;
        while (made.files < count) {
            if (inFolder == kPerFolder) {
                // Every third folder goes one level deeper, the others sit at the top.
                const int k = made.folders;
                folder = (k % 3 == 2 ? folder : root) + QStringLiteral("/part-%1").arg(k, 3, 10, QLatin1Char('0'));
                QDir().mkpath(folder);
                ++made.folders;
                inFolder = 0;
            }
            const QString base = folder + QStringLiteral("/item-%1").arg(n, 5, 10, QLatin1Char('0'));
            switch (n % 20) {
            case 0: case 1: case 2: case 3: case 4: case 5: case 6: case 7: case 8: {
                write(base + QStringLiteral(".htm"), page(fileBytes), made);
                ++made.imported;
                if (n % 40 == 0 && made.files + 2 < count) {
                    const QString companion = base + QStringLiteral("_files");
                    QDir().mkpath(companion);
                    write(companion + QStringLiteral("/style.css"), words(fileBytes / 4), made);
                    write(companion + QStringLiteral("/picture.png"), noise(fileBytes / 2), made);
                }
                break;
            }
            case 9:
                write(base + QStringLiteral(".html"), page(fileBytes), made);
                ++made.imported;
                break;
            case 10: case 11: case 12: case 13: case 14: case 15:
                write(base + QStringLiteral(".txt"), text(fileBytes), made);
                ++made.imported;
                break;
            case 16: case 17:
                write(base + QStringLiteral(".mht"), archive(fileBytes), made);
                ++made.imported;
                break;
            default:
                write(base + QStringLiteral(".gif"), noise(fileBytes), made);
                break;
            }
            ++n;
            ++inFolder;
        }
        return made;
    }

private:
    void write(const QString& path, const QByteArray& bytes, GeneratedDirectory& made)
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            throw std::runtime_error("cannot write " + path.toStdString());
        ++made.files;
        made.bytes += bytes.size();
    }

    QByteArray words(int size)
    {
        static const char* const kWords[] = {"archive", "page", "tallow", "mere", "note", "river", "lamp",
                                             "quiet", "folder", "index", "paper", "stone", "window", "leaf"};
        std::uniform_int_distribution<int> pick(0, int(std::size(kWords)) - 1);
        QByteArray out;
        out.reserve(size + 16);
        int column = 0;
        while (out.size() < size) {
            const char* w = kWords[pick(rng_)];
            out += w;
            column += int(std::strlen(w)) + 1;
            if (column > 70) {
                out += '\n';
                column = 0;
            } else {
                out += ' ';
            }
        }
        out.truncate(size);
        return out;
    }

    QByteArray noise(int size)
    {
        QByteArray out(size, Qt::Uninitialized);
        for (char& c : out)
            c = char(rng_());
        return out;
    }

    QByteArray page(int size)
    {
        const QByteArray head = "<html><head><meta charset=\"utf-8\"><title>page</title></head><body><p>";
        const QByteArray tail = "</p></body></html>\n";
        return head + words(qMax(0, size - int(head.size() + tail.size()))) + tail;
    }

    QByteArray text(int size)
    {
        // Some lines carry CJK text, as real notes do.
        QByteArray out = QStringLiteral("笔记 notes 归档\n").toUtf8();
        return out + words(qMax(0, size - int(out.size())));
    }

    QByteArray archive(int size)
    {
        const QByteArray head = "MIME-Version: 1.0\r\nContent-Type: multipart/related; boundary=\"b\"\r\n\r\n--b\r\n"
                                "Content-Type: text/html\r\n\r\n";
        return head + words(qMax(0, size - int(head.size()) - 8)) + "\r\n--b--\r\n";
    }

    std::mt19937 rng_;
};

// The state the import runs on, over an open archive: a tree holding the
// directory's own item, added, stored and selected as adding it leaves it,
// a text editor and a status bar panel. The directory is imported with its
// sub-directories.
struct ImportTarget {
    QTreeWidget tree;
    QPlainTextEdit memo;
    QLabel status;
    Clock clock;
    MainState state;

    ImportTarget(Dataset& pQ, Prompter& prompter, const QString& source)
    {
        TNodeData own;
        own.ID = clock.timestamp();
        own.Title = QStringLiteral("source");
        own.ParentPaperID = QStringLiteral("0");
        own.indexid = QStringLiteral("0");
        own.typeid_ = QStringLiteral("4");
        own.createtime = own.ID;
        own.ModifyTime = own.ID;
        own.ExtName = QStringLiteral(".txt");
        runStatement(pQ, QStringLiteral("insert into paper(title,id,ParentPaperID,indexid,typeid,createtime,modifytime,"
                                        "extname,sizebyte,plaintext) values('source',%1,'0',0,4,%1,%1,'.txt',0,'')")
                             .arg(quoted(own.ID)));
        auto* node = new TNode(own);
        applyTreeImage(node);
        tree.addTopLevelItem(node);
        tree.setCurrentItem(node);

        state.pQ = &pQ;
        state.archiveOpen = true;
        state.tree = &tree;
        state.memo = &memo;
        state.statusPanels[0] = &status;
        state.prompter = &prompter;
        state.clock = &clock;
        state.captureSource = source;
        state.includeSubdirs = true;
    }
};

} // namespace tallowmere::bench
