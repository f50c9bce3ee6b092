#include "transfer/DirectoryImport.h"

#include "catalog/NodeData.h"
#include "catalog/TreeImages.h"
#include "common/MainState.h"
#include "common/Prompter.h"
#include "common/WaitCursor.h"
#include "content/SizeText.h"
#include "content/StoreContent.h"
#include "content/TextFile.h"
#include "store/Archive.h"
#include "store/Clock.h"
#include "transfer/FileTypeRule.h"

#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSet>
#include <QTreeWidget>

#include <QScopeGuard>

#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tallowmere {

namespace {

constexpr qint64 kAskAbove = 10485760;

// Items go to the archive in transactions of this many items or bytes: one
// sync per batch instead of one per statement.
constexpr int kBatchItems = 2000;
constexpr qint64 kBatchBytes = qint64(16) << 20;
// Room for a whole batch in the page cache, so that pages are not spilled
// (each spill syncs the journal) before the batch commits. In KiB.
constexpr int kImportCacheKiB = 48 * 1024;
// Files up to this size are read ahead whole; larger ones go into the archive
// in pieces from the file.
constexpr qint64 kReadAheadBytes = qint64(1) << 20;

// What a directory entry is to the walks.
enum class Kind {
    File,    // a regular file
    Folder,  // a directory the recursive walk enters
    Other,   // links (never followed), hidden or read-only directories, devices, pipes
};

struct Entry {
    QString name;
    Kind kind = Kind::Other;
    qint64 size = 0;
    bool hidden = false;
};

struct Listing {
    std::vector<Entry> entries;  // in the order the file system lists them
    QString error;               // why the directory could not be read
};

// "Read-only" is the permission bits for us, not whether we could write after
// all (root can write anywhere).
bool writableByUs(const struct stat& st)
{
    if (st.st_uid == geteuid())
        return st.st_mode & S_IWUSR;
    if (st.st_gid == getegid())
        return st.st_mode & S_IWGRP;
    return st.st_mode & S_IWOTH;
}

QString joined(const QString& dir, const QString& name)
{
    return dir.endsWith(u'/') ? dir + name : dir + u'/' + name;
}

Listing listDirectory(const QString& dir)
{
    Listing listing;
    DIR* d = ::opendir(QFile::encodeName(dir).constData());
    if (!d) {
        listing.error = QString::fromLocal8Bit(std::strerror(errno));
        return listing;
    }
    const int fd = ::dirfd(d);
    while (const dirent* de = ::readdir(d)) {
        const char* raw = de->d_name;
        if (std::strcmp(raw, ".") == 0 || std::strcmp(raw, "..") == 0)
            continue;
        Entry e;
        e.name = QFile::decodeName(raw);
        e.hidden = raw[0] == '.';
        struct stat st;
        // Never through a link: a link is an entry of its own kind, so a
        // cycle of links cannot make the walk endless.
        if (::fstatat(fd, raw, &st, AT_SYMLINK_NOFOLLOW) == 0) {
            if (S_ISREG(st.st_mode)) {
                e.kind = Kind::File;
                e.size = st.st_size;
            } else if (S_ISDIR(st.st_mode) && !e.hidden && writableByUs(st)) {
                e.kind = Kind::Folder;
            }
        }
        listing.entries.push_back(std::move(e));
    }
    ::closedir(d);
    return listing;
}

// Exact letter case: INDEX.HTM is not imported.
bool supported(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0)
        return false;
    const QStringView ext = QStringView(name).mid(dot);
    return ext == u".htm" || ext == u".html" || ext == u".mht" || ext == u".txt";
}

QSet<QString> fileNames(const Listing& listing)
{
    QSet<QString> names;
    for (const Entry& e : listing.entries) {
        if (e.kind == Kind::File)
            names.insert(e.name);
    }
    return names;
}

// A sub-directory that a page beside it stores as its companion folder (the
// page's item holds its files). Only the folder the page's store really takes
// counts: beside a page with both ".files" and "_files", the "_files" folder
// is imported as a folder of its own rather than lost.
bool isCompanionFolder(const QString& dir, const QString& name, const QSet<QString>& files)
{
    if (!name.contains(QLatin1String(".files")) && !name.contains(QLatin1String("_files")))
        return false;
    const QString stem = name.left(name.size() - 6);
    const QString folder = joined(dir, name);
    for (const char* ext : {".htm", ".html"}) {
        const QString page = stem + QLatin1String(ext);
        if (!files.contains(page))
            continue;
        const QString pagePath = joined(dir, page);
        if (companionFolder(pagePath, fileTypeOf(pagePath).typeCode) == folder)
            return true;
    }
    return false;
}

qint64 addEstimate(const QString& dir)
{
    const Listing listing = listDirectory(dir);
    const QSet<QString> files = fileNames(listing);
    qint64 total = 0;
    for (const Entry& e : listing.entries) {
        if (e.kind == Kind::File && supported(e.name))
            total += e.size;
        else if (e.kind == Kind::Folder && !isCompanionFolder(dir, e.name, files))
            total += addEstimate(joined(dir, e.name));
    }
    return total;
}

void showStatus(MainState& state, const QString& text)
{
    if (state.statusPanels[0])
        state.statusPanels[0]->setText(text);
}

// The import's transactions. Batches are savepoints, so that an import inside
// a caller's transaction nests; outside one, releasing a batch commits it.
class Batches {
public:
    explicit Batches(MainState& state) : state_(state), conn_(state.pQ ? state.pQ->connection() : nullptr)
    {
        if (conn_) {
            try {
                Dataset pragma(conn_);
                pragma.setStatement(QStringLiteral("PRAGMA cache_size"));
                pragma.open();
                cacheSize_ = pragma.fieldByName(QStringLiteral("cache_size")).asInteger();
                conn_->exec(QStringLiteral("PRAGMA cache_size = -%1").arg(kImportCacheKiB));
            } catch (const EngineError&) {
                cacheSize_.reset();
            }
        }
        begin();
    }
    ~Batches()
    {
        commit();
        if (conn_ && cacheSize_) {
            try {
                conn_->exec(QStringLiteral("PRAGMA cache_size = %1").arg(*cacheSize_));
            } catch (const EngineError&) {
            }
        }
    }
    Batches(const Batches&) = delete;
    Batches& operator=(const Batches&) = delete;

    void itemDone(qint64 bytes)
    {
        ++items_;
        bytes_ += bytes;
        if (items_ >= kBatchItems || bytes_ >= kBatchBytes) {
            commit();
            begin();
        }
    }

private:
    void begin()
    {
        items_ = 0;
        bytes_ = 0;
        if (!conn_)
            return;
        try {
            conn_->exec(QStringLiteral("SAVEPOINT tm_import"));
            open_ = true;
        } catch (const EngineError&) {
        }
    }

    void commit()
    {
        if (!open_)
            return;
        open_ = false;
        try {
            conn_->exec(QStringLiteral("RELEASE tm_import"));
        } catch (const EngineError& e) {
            try {
                conn_->exec(QStringLiteral("ROLLBACK TO tm_import"));
                conn_->exec(QStringLiteral("RELEASE tm_import"));
            } catch (const EngineError&) {
            }
            showStatus(state_, QStringLiteral("Imported items could not be written to the archive: %1").arg(e.message()));
        }
    }

    MainState& state_;
    std::shared_ptr<Connection> conn_;
    bool open_ = false;
    int items_ = 0;
    qint64 bytes_ = 0;
    std::optional<int> cacheSize_;  // the connection's own, given back at the end
};

// One item's row and content land together or not at all, also when an
// exception ends the import in the middle of the item: what the item wrote is
// deleted again. (A savepoint per item would cost more: it copies every page
// the item touches into the statement journal.)
class ItemScope {
public:
    explicit ItemScope(Dataset* pQ) : pQ_(pQ) {}
    ~ItemScope()
    {
        if (done_ || id_.isEmpty() || !pQ_)
            return;
        runStatement(*pQ_, QStringLiteral("delete from fileblock where paperid = ") + quoted(id_));
        runStatement(*pQ_, QStringLiteral("delete from paper where id = ") + quoted(id_));
    }
    ItemScope(const ItemScope&) = delete;
    ItemScope& operator=(const ItemScope&) = delete;

    // The item's row is in, under this id.
    void inserted(const QString& id) { id_ = id; }
    void done() { done_ = true; }

private:
    Dataset* pQ_;
    QString id_;
    bool done_ = false;
};

// A text file that could not be read ends the import.
struct UnreadableText {
    QString path;
    QString reason;
};

// What the walk hands to the import, in the order of the walk.
struct Step {
    enum class Kind {
        File,         // a file to import
        FolderBegin,  // a folder item, whose steps follow up to its FolderEnd
        FolderEnd,
        Status,       // a line for the status bar
        Unreadable,   // a text file that could not be read: the last step
    };
    Kind kind = Kind::File;
    QString path;         // File, Unreadable: the file; FolderBegin: the folder's name; Status: the line
    QString reason;       // Unreadable
    qint64 size = 0;      // File: its size on disk
    qint32 counter = 0;   // File, FolderBegin: the id counter of the item
    FileType type;        // File
    GivenContent content; // File: what was read of it ahead
    qint64 heldBytes() const
    {
        return (content.text ? content.text->size() : 0) + (content.bytes ? content.bytes->size() : 0);
    }
};

// The steps between the walk, which reads ahead on a thread of its own, and
// the import, which stores them. Bounded, so that the walk stays only a
// little ahead; the import takes every step there is at once, so that the two
// meet rarely.
class StepQueue {
public:
    // False when the import has stopped taking steps.
    bool push(Step step)
    {
        std::unique_lock lock(mutex_);
        if (!stopped_ && (steps_.size() >= kMaxSteps || bytes_ >= kMaxBytes)) {
            pushWaiting_ = true;
            changed_.wait(lock, [&] { return stopped_ || (steps_.size() < kMaxSteps && bytes_ < kMaxBytes); });
            pushWaiting_ = false;
        }
        if (stopped_)
            return false;
        bytes_ += step.heldBytes();
        steps_.push_back(std::move(step));
        if (takeWaiting_)
            changed_.notify_all();
        return true;
    }
    // Every step there is (waiting for one); false once the walk has ended and
    // every step is taken.
    bool take(std::deque<Step>& steps)
    {
        steps.clear();
        std::unique_lock lock(mutex_);
        if (steps_.empty() && !ended_) {
            takeWaiting_ = true;
            changed_.wait(lock, [&] { return !steps_.empty() || ended_; });
            takeWaiting_ = false;
        }
        if (steps_.empty())
            return false;
        steps.swap(steps_);
        bytes_ = 0;
        if (pushWaiting_)
            changed_.notify_all();
        return true;
    }
    // The walk has ended, with the error that ended it, if any.
    void end(std::exception_ptr error = nullptr)
    {
        std::lock_guard lock(mutex_);
        ended_ = true;
        error_ = error;
        changed_.notify_all();
    }
    // The import takes no more steps.
    void stop()
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
        steps_.clear();
        changed_.notify_all();
    }
    std::exception_ptr error()
    {
        std::lock_guard lock(mutex_);
        return error_;
    }

private:
    static constexpr size_t kMaxSteps = 1024;
    static constexpr qint64 kMaxBytes = qint64(16) << 20;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Step> steps_;
    qint64 bytes_ = 0;
    bool ended_ = false;
    bool stopped_ = false;
    bool pushWaiting_ = false;
    bool takeWaiting_ = false;
    std::exception_ptr error_;
};

// The walks, on the reading thread: which entries become items, in which
// order, with which id counters, and their content read ahead. Touches
// neither the archive nor the tree.
class Walk {
public:
    explicit Walk(StepQueue& queue) : queue_(queue) {}

    // False when the import stopped taking steps or a text was unreadable.
    bool flat(const QString& dir)
    {
        const Listing listing = readListing(dir);
        for (const Entry& e : listing.entries) {
            if (e.kind != Kind::File || e.hidden)
                continue;
            if (supported(e.name) && !file(joined(dir, e.name), e.size))
                return false;
            ++counter_;
        }
        return true;
    }

    bool recursive(const QString& dir)
    {
        // The listing's own "." and ".." count as entries, so the first item
        // inside a folder is at least two above the folder item.
        counter_ += 2;
        const Listing listing = readListing(dir);
        const QSet<QString> files = fileNames(listing);
        for (const Entry& e : listing.entries) {
            if (e.kind == Kind::Folder) {
                if (!isCompanionFolder(dir, e.name, files)) {
                    Step begin;
                    begin.kind = Step::Kind::FolderBegin;
                    begin.path = e.name;
                    begin.counter = counter_;
                    if (!queue_.push(std::move(begin)) || !recursive(joined(dir, e.name)))
                        return false;
                    Step end;
                    end.kind = Step::Kind::FolderEnd;
                    if (!queue_.push(std::move(end)))
                        return false;
                }
            } else if (e.kind == Kind::File && supported(e.name)) {
                if (!file(joined(dir, e.name), e.size))
                    return false;
            }
            ++counter_;
        }
        return true;
    }

private:
    Listing readListing(const QString& dir)
    {
        Listing listing = listDirectory(dir);
        if (!listing.error.isEmpty()) {
            Step status;
            status.kind = Step::Kind::Status;
            status.path = QStringLiteral("The directory \"%1\" could not be read: %2").arg(dir, listing.error);
            queue_.push(std::move(status));
        }
        return listing;
    }

    bool file(const QString& path, qint64 size)
    {
        Step step;
        step.path = path;
        step.size = size;
        step.counter = counter_;
        step.type = fileTypeOf(path);
        if (step.type.typeCode == 4) {
            // Read before the row is made: an unreadable text leaves no item
            // without content. The text is stored as the editor would give it
            // back, without the editor's work of laying it out.
            QByteArray bytes;
            if (!readTextFile(path, &bytes, &step.reason)) {
                step.kind = Step::Kind::Unreadable;
                queue_.push(std::move(step));
                return false;
            }
            step.content.text = storedTextOf(bytes).toUtf8();
        } else if (size <= kReadAheadBytes) {
            // Read whole when small; a larger file, or one that cannot be read
            // now, is read by the store, which says what went wrong.
            QByteArray bytes;
            if (readTextFile(path, &bytes) && bytes.size() == size)
                step.content.bytes = std::move(bytes);
        }
        return queue_.push(std::move(step));
    }

    StepQueue& queue_;
    qint32 counter_ = 0;
};

// The import's side: each step's item stored, and its node in the tree, on
// the thread of the window while the walk reads ahead.
class Importer {
public:
    explicit Importer(MainState& state) : state_(state), batches_(state) {}

    void run(QTreeWidgetItem* parent, const QString& dir, bool recursive)
    {
        StepQueue queue;
        std::thread reader([&queue, dir, recursive] {
            try {
                Walk walk(queue);
                if (recursive)
                    walk.recursive(dir);
                else
                    walk.flat(dir);
                queue.end();
            } catch (...) {
                queue.end(std::current_exception());
            }
        });
        // However the import ends, the reader is stopped and waited for.
        const auto joined = qScopeGuard([&] {
            queue.stop();
            reader.join();
        });
        std::vector<QTreeWidgetItem*> parents{parent};
        std::deque<Step> steps;
        while (queue.take(steps)) {
            for (const Step& step : steps) {
                switch (step.kind) {
                case Step::Kind::File:
                    addFileItem(parents.back(), step);
                    break;
                case Step::Kind::FolderBegin:
                    parents.push_back(addFolderItem(parents.back(), step.path, step.counter));
                    break;
                case Step::Kind::FolderEnd:
                    if (parents.size() > 1)
                        parents.pop_back();
                    break;
                case Step::Kind::Status:
                    showStatus(state_, step.path);
                    break;
                case Step::Kind::Unreadable:
                    throw UnreadableText{step.path, step.reason};
                }
            }
        }
        if (std::exception_ptr error = queue.error())
            std::rethrow_exception(error);
    }

private:
    // Id, parent, position and times of a new child of parent.
    TNodeData newRecord(QTreeWidgetItem* parent, const QString& title, qint32 counter) const
    {
        const QString stamp = state_.clock ? state_.clock->timestamp() : Clock().timestamp();
        TNodeData rec;
        rec.ID = stamp + QString::number(counter);
        rec.Title = title;
        rec.ParentPaperID = nodeData(parent)->ID;
        rec.indexid = QString::number(parent->childCount());
        rec.createtime = stamp;
        rec.ModifyTime = stamp;
        return rec;
    }
    // Inserts the row under the record's id or, when another item holds that
    // id already (an import in the same second), under the first free id with
    // a "-n" suffix, so that storing never writes into another item's row.
    // The record takes the id used. False when no row could be inserted.
    bool insertRow(TNodeData& rec, const std::function<QString(const QString&)>& statement)
    {
        if (!state_.pQ)
            return false;
        Dataset& pQ = *state_.pQ;
        const QString base = rec.ID;
        QString id = base;
        for (int n = 1;; ++n) {
            if (runStatement(pQ, statement(id))) {
                rec.ID = id;
                return true;
            }
            if (!itemExists(pQ, id))
                return false;
            id = base + u'-' + QString::number(n);
        }
    }

    QTreeWidgetItem* addNode(QTreeWidgetItem* parent, TNodeData rec)
    {
        auto* node = new TNode(std::move(rec));
        applyTreeImage(node);
        parent->addChild(node);
        return node;
    }

    void reportInsertFailure(const TNodeData& rec)
    {
        showStatus(state_, QStringLiteral("\"%1\" could not be added to the archive").arg(rec.Title));
    }

    QTreeWidgetItem* addFolderItem(QTreeWidgetItem* parent, const QString& name, qint32 counter)
    {
        TNodeData rec = newRecord(parent, name, counter);
        rec.typeid_ = QStringLiteral("4");
        rec.HasSubFolders = true;
        rec.ExtName = QStringLiteral(".txt");
        rec.SizeByte = 0;
        return addItem(parent, std::move(rec), QStringLiteral("4"), nullptr, 0);
    }

    void addFileItem(QTreeWidgetItem* parent, const Step& step)
    {
        const QString& path = step.path;
        state_.captureSource = path;
        TNodeData rec = newRecord(parent, path.mid(path.lastIndexOf(u'/') + 1), step.counter);
        rec.typeid_ = QString::number(step.type.typeCode);
        rec.HasSubFolders = false;
        rec.ExtName = step.type.extension;
        rec.SizeByte = qint32(step.size);  // the low 32 bits, as sizes are held
        const QString typeCode = quoted(rec.typeid_);
        addItem(parent, std::move(rec), typeCode, &step.content, step.size);
    }

    // The item's row, with its type code written as typeCode (a folder item's
    // unquoted, a file item's quoted), then its content when it has some, then
    // its node.
    QTreeWidgetItem* addItem(QTreeWidgetItem* parent, TNodeData rec, const QString& typeCode,
                             const GivenContent* content, qint64 bytes)
    {
        ItemScope item(state_.pQ);
        const bool inserted = insertRow(rec, [&](const QString& id) {
            return QStringLiteral("insert into paper(title,id,ParentPaperID,indexid,typeid,")
                + QStringLiteral("HasSubFolders,createtime,modifytime,extname,sizebyte) values(") + quoted(rec.Title)
                + u',' + quoted(id) + u',' + quoted(rec.ParentPaperID) + u',' + rec.indexid + u',' + typeCode
                + (rec.HasSubFolders ? QStringLiteral(",true,") : QStringLiteral(",false,")) + quoted(rec.createtime)
                + u',' + quoted(rec.ModifyTime) + u',' + quoted(rec.ExtName) + u',' + QString::number(rec.SizeByte)
                + u')';
        });
        if (inserted) {
            item.inserted(rec.ID);
            if (content) {
                // The item's node is made after its content is stored, so
                // there is no node for the store to update; without the tree
                // it does not search the whole tree for one.
                MainState store = state_;
                store.tree = nullptr;
                storeContent(store, rec.ID, StoreScope::AnyItem, content);
            }
        } else {
            reportInsertFailure(rec);
        }
        QTreeWidgetItem* node = addNode(parent, std::move(rec));
        item.done();
        batches_.itemDone(bytes);
        return node;
    }

    MainState& state_;
    Batches batches_;
};

} // namespace

qint64 estimateWithSubdirs(const QString& directory)
{
    return addEstimate(directory);
}

qint64 estimateWithoutSubdirs(const QString& directory)
{
    qint64 total = 0;
    for (const Entry& e : listDirectory(directory).entries) {
        if (e.kind == Kind::File && !e.hidden && supported(e.name))
            total += e.size;
    }
    return total;
}

QString largeImportQuestion(qint64 total)
{
    return QStringLiteral("The total size is ") + sizeText(total)
        + QStringLiteral(",there'll be a long time to wait! Go ahead?");
}

void directoryImport(MainState& state)
{
    QTreeWidgetItem* parent = state.tree ? state.tree->currentItem() : nullptr;
    if (!nodeData(parent))
        return;
    const QString dir = state.captureSource;

    qint64 total = 0;
    {
        WaitCursor hourglass;
        if (state.includeSubdirs) {
            total = estimateWithSubdirs(dir);
            state.pendingSize = qint32(qMin<qint64>(total, INT_MAX));
        } else {
            total = estimateWithoutSubdirs(dir);
        }
    }
    // Totals are summed in 64 bits: a sum that wrapped past 2 GiB would skip the question.
    if (total > kAskAbove && !(state.prompter && state.prompter->confirm(state.window, largeImportQuestion(total))))
        return;

    std::optional<UnreadableText> unreadable;
    {
        WaitCursor hourglass;
        try {
            Importer importer(state);
            importer.run(parent, dir, state.includeSubdirs);
        } catch (const UnreadableText& e) {
            unreadable = e;
        }
        if (state.memo) {
            state.memo->clear();
            state.memo->document()->setModified(false);
        }
    }
    // Asked once the items made so far are committed and the cursor is back.
    if (unreadable && state.prompter)
        state.prompter->error(state.window, QStringLiteral("The text file \"%1\" could not be read (%2). The import stopped there.")
                                                .arg(unreadable->path, unreadable->reason));
}

} // namespace tallowmere
