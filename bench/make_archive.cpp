// bench-make-archive N FOLDER [--seed S]
//
// Makes FOLDER/bbk.dat and fills it with N items shaped like a long-used
// archive: a tree about six levels deep, folders, text notes, pages (some with
// companion files), files and web archives. Everything is written through the
// program's own store code (statements on a Dataset, row editing for bodies
// and blobs), so the file is what the program itself would have made.

#include "store/Archive.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <cstdio>
#include <vector>

namespace {

using namespace tallowmere;

constexpr int kMaxDepth = 6;
constexpr int kBatch = 2000;  // items per transaction

void say(FILE* to, const QString& text)
{
    std::fputs(qPrintable(text + u'\n'), to);
    std::fflush(to);
}

[[noreturn]] void usage()
{
    say(stderr, QStringLiteral("usage: bench-make-archive N FOLDER [--seed S]\n"
                               "  makes FOLDER/bbk.dat holding N items (FOLDER is created; bbk.dat must not exist)"));
    std::exit(2);
}

// Kinds of item the generator makes, each mapped to a stored type code.
enum class Kind { Folder, Note, Page, PageWithFiles, File, Archive };

struct Item {
    int parent = -1;   // index into the item list, -1 for the top level
    int depth = 1;
    Kind kind = Kind::Note;
    int position = 0;
    std::vector<int> children;
    QString id;        // given at insertion
};

const char* const kWords[] = {
    "annual", "report", "notes", "draft", "budget", "meeting", "minutes", "travel", "plan", "recipe",
    "garden", "invoice", "letter", "summary", "project", "ideas", "reading", "list", "photos", "tax",
    "review", "archive", "manual", "install", "guide", "kernel", "build", "release", "backup", "server",
    "quarterly", "market", "research", "paper", "lecture", "course", "chapter", "history", "family",
    "weekend", "checklist", "contract", "insurance", "health", "music", "old", "new", "final", "misc",
};
const char* const kApostropheWords[] = {"Tom's", "don't", "O'Brien", "children's", "it's", "Anna's", "year's"};
const char* const kChinese[] = {"读书笔记", "会议记录", "旅行计划", "工作总结", "学习资料", "技术文档",
                                "家庭相册", "财务报表", "项目进度", "参考文献", "日记", "网页收藏"};
const char* const kFileExts[] = {".pdf", ".png", ".jpg", ".doc", ".zip", ".xls", ".gif", ".txt", ".c", ".odt"};
const char* const kCompanionNames[] = {"style.css", "logo.png", "script.js", "banner.jpg", "icon.gif", "print.css"};

class Generator {
public:
    explicit Generator(quint32 seed) : rng_(seed) {}

    int below(int n) { return int(rng_.bounded(quint32(n))); }
    int between(int lo, int hi) { return lo + below(hi - lo + 1); }
    bool chance(int percent) { return below(100) < percent; }

    QString word() { return QString::fromLatin1(kWords[below(std::size(kWords))]); }

    QString title()
    {
        if (chance(8))
            return QString::fromUtf8(kChinese[below(std::size(kChinese))]) +
                   (chance(50) ? QString::number(between(1, 99)) : QString());
        QStringList words;
        const int n = between(1, 5);
        for (int i = 0; i < n; ++i)
            words << (chance(6) ? QString::fromLatin1(kApostropheWords[below(std::size(kApostropheWords))]) : word());
        words[0][0] = words[0][0].toUpper();
        if (chance(5))
            words << QString::fromUtf8(kChinese[below(std::size(kChinese))]);
        return words.join(u' ');
    }

    // Prose of roughly the given number of UTF-8 bytes, a few lines long.
    QString prose(int bytes)
    {
        QString text;
        int line = 0;
        while (text.size() < bytes) {
            if (chance(4)) {
                text += QString::fromUtf8(kChinese[below(std::size(kChinese))]);
            } else {
                text += chance(3) ? QString::fromLatin1(kApostropheWords[below(std::size(kApostropheWords))]) : word();
            }
            line += 8;
            if (line > 70 && chance(30)) {
                text += QStringLiteral(".\n");
                line = 0;
            } else {
                text += u' ';
            }
        }
        return text;
    }

    QByteArray html(const QString& title, const QString& body, bool withFiles)
    {
        QString h = QStringLiteral("<html><head><meta charset=\"utf-8\"><title>") + title.toHtmlEscaped() +
                    QStringLiteral("</title>");
        if (withFiles)
            h += QStringLiteral("<link rel=\"stylesheet\" href=\"page.files/style.css\">");
        h += QStringLiteral("</head><body><h1>") + title.toHtmlEscaped() + QStringLiteral("</h1>\n");
        for (const QString& para : body.split(u'\n'))
            h += QStringLiteral("<p>") + para.toHtmlEscaped() + QStringLiteral("</p>\n");
        if (withFiles)
            h += QStringLiteral("<img src=\"page.files/logo.png\">\n");
        h += QStringLiteral("</body></html>\n");
        return h.toUtf8();
    }

    QByteArray bytes(int n)
    {
        QByteArray b(n, Qt::Uninitialized);
        for (int i = 0; i < n; i += 4) {
            const quint32 r = rng_.generate();
            std::memcpy(b.data() + i, &r, std::min(4, n - i));
        }
        return b;
    }

    QRandomGenerator& rng() { return rng_; }

private:
    QRandomGenerator rng_;
};

// The tree's shape: breadth first from the top level, each item at depth below
// the maximum getting around b children, b chosen so that N items fill about
// kMaxDepth levels.
std::vector<Item> shapeTree(int n, Generator& g)
{
    const double b = std::max(2.0, std::pow(double(n), 1.0 / kMaxDepth));
    std::vector<Item> items;
    items.reserve(n);
    const int topLevel = std::min(n, std::max(3, int(std::lround(b))));
    for (int i = 0; i < topLevel; ++i)
        items.push_back(Item{-1, 1, Kind::Note, 0, {}, {}});
    for (size_t at = 0; int(items.size()) < n && at < items.size(); ++at) {
        if (items[at].depth >= kMaxDepth)
            break;
        // A few items stay leaves even above the deepest level.
        if (items[at].depth > 1 && g.chance(15))
            continue;
        const int k = std::max(1, int(std::lround(b * (0.4 + 1.3 * g.rng().generateDouble()))));
        for (int c = 0; c < k && int(items.size()) < n; ++c)
            items.push_back(Item{int(at), items[at].depth + 1, Kind::Note, 0, {}, {}});
    }
    // When the deepest level is reached first, the rest go below random items
    // above it, so the top level stays small.
    std::vector<int> roomy;
    for (int i = 0; i < int(items.size()); ++i)
        if (items[i].depth < kMaxDepth)
            roomy.push_back(i);
    while (int(items.size()) < n) {
        const int parent = roomy[g.below(int(roomy.size()))];
        items.push_back(Item{parent, items[parent].depth + 1, Kind::Note, 0, {}, {}});
        if (items.back().depth < kMaxDepth)
            roomy.push_back(int(items.size()) - 1);
    }

    for (int i = 0; i < int(items.size()); ++i)
        if (items[i].parent >= 0)
            items[items[i].parent].children.push_back(i);

    for (Item& it : items) {
        if (!it.children.empty()) {
            it.kind = g.chance(75) ? Kind::Folder : Kind::Note;  // notes with sub-notes too
        } else {
            const int r = g.below(100);
            it.kind = r < 40 ? Kind::Note : r < 62 ? Kind::Page : r < 72 ? Kind::PageWithFiles
                    : r < 90 ? Kind::File : Kind::Archive;
        }
    }
    return items;
}

int typeCode(Kind k)
{
    switch (k) {
    case Kind::Folder:
    case Kind::Note: return 4;
    case Kind::Page: return 5;
    case Kind::PageWithFiles: return 10;
    case Kind::File: return 0;
    case Kind::Archive: return 8;
    }
    return 0;
}

class Filler {
public:
    Filler(Dataset& ds, Generator& g) : ds_(ds), g_(g), clock_(QDateTime(QDate(2011, 3, 14), QTime(9, 26, 53))) {}

    void insert(Item& item, const QString& parentId)
    {
        // Ids are the creation time; a second item in the same second gets a counter suffix.
        advanceClock();
        const QString stamp = clock_.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        item.id = stamp == lastStamp_ ? stamp + QString::number(++counter_) : stamp;
        lastStamp_ = stamp;

        const int type = typeCode(item.kind);
        QString title = g_.title();
        QString ext;
        QString body;
        QByteArray content;
        qint64 size = 0;
        switch (item.kind) {
        case Kind::Folder:
            ext = QStringLiteral(".txt");
            break;
        case Kind::Note:
            ext = QStringLiteral(".txt");
            body = g_.prose(g_.chance(80) ? g_.between(200, 1500) : g_.between(1500, 6000));
            size = body.toUtf8().size();
            break;
        case Kind::Page:
        case Kind::PageWithFiles:
            ext = QStringLiteral(".htm");
            body = g_.prose(g_.between(300, 3000));
            content = g_.html(title, body, item.kind == Kind::PageWithFiles);
            size = content.size();
            break;
        case Kind::File:
            ext = QString::fromLatin1(kFileExts[g_.below(std::size(kFileExts))]);
            title += ext;
            content = g_.bytes(g_.chance(85) ? g_.between(500, 8000) : g_.between(8000, 64000));
            size = content.size();
            break;
        case Kind::Archive:
            ext = QStringLiteral(".mht");
            body = g_.prose(g_.between(300, 2000));
            content = QByteArrayLiteral("MIME-Version: 1.0\r\nContent-Type: multipart/related; boundary=\"b\"\r\n\r\n--b\r\n"
                                        "Content-Type: text/html; charset=\"utf-8\"\r\n\r\n") +
                      g_.html(title, body, false) + g_.bytes(g_.between(500, 6000)).toBase64() +
                      QByteArrayLiteral("\r\n--b--\r\n");
            size = content.size();
            break;
        }
        const QString created = item.id.left(19);
        const QString modified = item.kind == Kind::Note && g_.chance(30)
            ? clock_.addSecs(g_.between(60, 86400 * 200)).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
            : created;

        const QString sql = QStringLiteral("insert into paper (title,id,ParentPaperID,indexid,typeid,createtime,ModifyTime,"
                                           "ExtName,SizeByte,HasSubFolders) values (")
            + quoted(title) + u',' + quoted(item.id) + u',' + quoted(parentId) + u',' + QString::number(item.position)
            + u',' + QString::number(type) + u',' + quoted(created) + u',' + quoted(modified) + u',' + quoted(ext)
            + u',' + QString::number(size) + u',' + (item.kind == Kind::Folder ? QStringLiteral("true") : QStringLiteral("false")) + u')';
        if (!runStatement(ds_, sql))
            throw EngineError(QStringLiteral("cannot insert item %1").arg(item.id));

        if (!body.isEmpty() || !content.isEmpty())
            storeContent(item.id, body, content);
        if (item.kind == Kind::PageWithFiles)
            storeCompanionFiles(item.id);
        ++made_;
        blobBytes_ += content.size();
    }

    qint64 blobBytes() const { return blobBytes_; }
    int companionRows() const { return companionRows_; }

private:
    void advanceClock()
    {
        // Mostly bursts (imports, quick captures) and now and then a pause of hours or days.
        const int r = g_.below(100);
        const int secs = r < 40 ? 0 : r < 85 ? g_.between(1, 30) : r < 97 ? g_.between(60, 7200) : g_.between(7200, 86400 * 3);
        clock_ = clock_.addSecs(secs);
    }

    // The body and the bytes go in as the program stores content: select the
    // one row, edit, set the fields, post.
    void storeContent(const QString& id, const QString& body, const QByteArray& content)
    {
        if (!runQuery(ds_, QStringLiteral("select id,content,plaintext,typeID,oriname,sizebyte,extname,modifytime "
                                          "from paper where id = ") + quoted(id)) || ds_.eof())
            throw EngineError(QStringLiteral("cannot select item %1").arg(id));
        ds_.edit();
        if (!body.isEmpty())
            ds_.fieldByName(QStringLiteral("plaintext")).setValue(body);
        if (!content.isEmpty()) {
            QBuffer in;
            in.setData(content);
            in.open(QIODevice::ReadOnly);
            ds_.fieldByName(QStringLiteral("content")).loadFromStream(in);
        }
        ds_.post();
        ds_.close();
    }

    void storeCompanionFiles(const QString& id)
    {
        const int n = g_.between(1, 3);
        const int first = g_.below(int(std::size(kCompanionNames)));
        std::vector<QByteArray> blocks;
        for (int i = 0; i < n; ++i) {
            blocks.push_back(g_.bytes(g_.between(300, 12000)));
            const QString name = QString::fromLatin1(kCompanionNames[(first + i) % std::size(kCompanionNames)]);
            if (!runStatement(ds_, QStringLiteral("insert into FileBlock (paperid, indexid, thesize, TheFileName) values (")
                                       + quoted(id) + u',' + QString::number(i) + u',' + QString::number(blocks.back().size())
                                       + u',' + quoted(name) + u')'))
                throw EngineError(QStringLiteral("cannot insert a companion file of %1").arg(id));
        }
        if (!runQuery(ds_, QStringLiteral("select block,Thefilename from fileblock where paperid = ") + quoted(id)
                               + QStringLiteral(" order by indexid")))
            throw EngineError(QStringLiteral("cannot select the companion files of %1").arg(id));
        // Each row's edit is posted when the dataset moves on to the next.
        for (size_t i = 0; !ds_.eof() && i < blocks.size(); ++i) {
            ds_.edit();
            QBuffer in(&blocks[i]);
            in.open(QIODevice::ReadOnly);
            ds_.fieldByName(QStringLiteral("block")).loadFromStream(in);
            ds_.next();
            ++companionRows_;
        }
        ds_.close();
    }

    Dataset& ds_;
    Generator& g_;
    QDateTime clock_;
    QString lastStamp_;
    int counter_ = 0;
    int made_ = 0;
    int companionRows_ = 0;
    qint64 blobBytes_ = 0;
};

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    quint32 seed = 1;
    if (const int at = args.indexOf(QStringLiteral("--seed")); at >= 0) {
        if (at + 1 >= args.size())
            usage();
        bool ok = false;
        seed = args.at(at + 1).toUInt(&ok);
        if (!ok)
            usage();
        args.remove(at, 2);
    }
    if (args.size() != 2)
        usage();
    bool ok = false;
    const int n = args.at(0).toInt(&ok);
    if (!ok || n < 0)
        usage();
    const QString folder = args.at(1);
    if (!QDir().mkpath(folder)) {
        say(stderr, QStringLiteral("bench-make-archive: cannot make the folder %1").arg(folder));
        return 1;
    }
    const QString path = QDir(folder).absoluteFilePath(QString::fromUtf8(kArchiveFileName));

    QElapsedTimer timer;
    timer.start();
    Generator g(seed);
    std::vector<Item> items = shapeTree(n, g);

    // Positions 0..k-1 among siblings; for about a third of the parents they
    // are shuffled, as after moves and inserts above or below.
    std::vector<int> topLevel;
    for (int i = 0; i < int(items.size()); ++i)
        if (items[i].parent < 0)
            topLevel.push_back(i);
    auto placeChildren = [&](std::vector<int>& kids) {
        std::vector<int> positions(kids.size());
        for (size_t i = 0; i < kids.size(); ++i)
            positions[i] = int(i);
        if (g.chance(35))
            std::shuffle(positions.begin(), positions.end(), g.rng());
        for (size_t i = 0; i < kids.size(); ++i)
            items[kids[i]].position = positions[i];
    };
    placeChildren(topLevel);
    for (Item& it : items)
        placeChildren(it.children);

    int deepest = 0;
    for (const Item& it : items)
        deepest = std::max(deepest, it.depth);

    try {
        createArchive(path);
        Dataset ds;
        if (!openArchiveDatabase(ds, path))
            throw EngineError(QStringLiteral("cannot open the new archive %1").arg(path));
        runStatement(ds, QStringLiteral("insert into config (times, ifonlyhtm) values (0, 0)"));
        Filler filler(ds, g);
        const auto connection = ds.connection();

        // Items are inserted in an order that mixes the branches (a parent always
        // before its children), as an archive grows over the years; so row order,
        // id order and tree order all differ.
        std::vector<int> ready(topLevel.begin(), topLevel.end());
        int done = 0;
        connection->begin();
        while (!ready.empty()) {
            const int pick = g.below(int(ready.size()));
            const int i = ready[pick];
            ready[pick] = ready.back();
            ready.pop_back();
            Item& it = items[i];
            filler.insert(it, it.parent < 0 ? QStringLiteral("0") : items[it.parent].id);
            ready.insert(ready.end(), it.children.begin(), it.children.end());
            if (++done % kBatch == 0) {
                connection->commit();
                if (done % 20000 == 0)
                    say(stderr, QStringLiteral("  %1 items, %2 s").arg(done).arg(timer.elapsed() / 1000.0, 0, 'f', 1));
                connection->begin();
            }
        }
        connection->commit();
        ds.close();

        const double seconds = timer.elapsed() / 1000.0;
        const qint64 fileSize = QFileInfo(path).size();
        say(stdout, QStringLiteral("archive     %1").arg(path));
        say(stdout, QStringLiteral("items       %1 (depth %2, seed %3)").arg(done).arg(deepest).arg(seed));
        say(stdout, QStringLiteral("companion   %1 fileblock rows").arg(filler.companionRows()));
        say(stdout, QStringLiteral("content     %1 MB of blobs").arg(filler.blobBytes() / 1e6, 0, 'f', 1));
        say(stdout, QStringLiteral("time        %1 s (%2 items/s)").arg(seconds, 0, 'f', 2)
                        .arg(seconds > 0 ? done / seconds : 0.0, 0, 'f', 0));
        say(stdout, QStringLiteral("file size   %1 bytes (%2 MB)").arg(fileSize).arg(fileSize / 1e6, 0, 'f', 1));
    } catch (const EngineError& e) {
        say(stderr, QStringLiteral("bench-make-archive: ") + e.message());
        return 1;
    }
    return 0;
}
