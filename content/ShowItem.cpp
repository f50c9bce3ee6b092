#include "content/ShowItem.h"

#include "catalog/NodeData.h"
#include "common/MainState.h"
#include "common/WaitCursor.h"
#include "content/SafeFileName.h"
#include "content/SizeText.h"
#include "content/StoreContent.h"
#include "content/ViewSwitch.h"
#include "content/WebView.h"
#include "store/Archive.h"
#include "store/Clock.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStackedWidget>
#include <QTreeWidget>

#include <algorithm>
#include <new>

namespace tallowmere {

namespace {

QString field(Dataset& ds, const char* name)
{
    return ds.fieldByName(QLatin1String(name)).asString();
}

void showText(MainState& state, const QString& text)
{
    bool inFallback = false;
    try {
        state.memo->setPlainText(text);
    } catch (const std::bad_alloc&) {
        if (!state.memo64k)
            throw;
        state.memo64k->setPlainText(text);
        inFallback = true;
    }
    viewSwitch(state, false);
    if (inFallback && state.contentStack)
        state.contentStack->setCurrentWidget(state.memo64k);
    // Loading a text is no edit.
    if (state.memo->document()->isModified() && state.autoSaveAction && state.autoSaveAction->isChecked()) {
        state.memo->document()->setModified(false);
        if (TNodeData* rec = nodeData(state.tree ? state.tree->currentItem() : nullptr)) {
            rec->SizeByte = state.pendingSize;
            rec->ModifyTime = state.clock ? state.clock->timestamp() : Clock().timestamp();
        }
    }
}

// Writes the item's content to the temporary folder under its title, with its
// companion folder beside it when it has files, and opens it in the web view.
// A title without the item's extension (a captured page's title) gets it, so
// the web view knows what it opens: an archive named only by its title would
// show as plain text.
void showAsFile(MainState& state, const QString& title, const QString& ext, int code)
{
    if (state.tempFolder.isEmpty())
        throw EngineError(QStringLiteral("There is no temporary folder to show the item in."));
    Dataset& pQ = *state.pQ;
    QString name = safeFileName(title);
    if (ext.startsWith(u'.') && !ext.contains(u'/') && !name.endsWith(ext, Qt::CaseInsensitive))
        name += ext;
    const QString path = QDir(state.tempFolder).absolutePath() + u'/' + name;
    pQ.fieldByName(QStringLiteral("content")).saveToFile(path);

    const QString folder = companionFolder(path, code);
    if (!folder.isEmpty()) {
        if (!runQuery(pQ, QStringLiteral("select block,Thefilename from fileblock where paperid=") + quoted(state.currentItemId)))
            throw EngineError(QStringLiteral("The companion files of \"%1\" could not be read.").arg(title));
        if (!pQ.eof()) {
            QDir().mkpath(folder);  // an existing folder is fine; a failure shows at the first file
            while (!pQ.eof()) {
                pQ.fieldByName(QStringLiteral("block")).saveToFile(folder + u'/' + safeFileName(field(pQ, "Thefilename")));
                pQ.next();
            }
        }
        pQ.close();
    }
    state.web->navigate(path);
}

} // namespace

void showItem(MainState& state, const QString& id, const QString& code)
{
    WaitCursor hourglass;
    // An edited text that could not be stored stays in the editor, and the
    // status bar says why, rather than being replaced by the next item.
    if (!autosaveCheck(state))
        return;
    state.currentItemId = id;

    if (!state.pQ || !runQuery(*state.pQ, QStringLiteral("select id,content,plaintext,oriname,modifytime,createtime,sizebyte,extname,title from paper where id = ")
                                              + quoted(id)))
        throw EngineError(QStringLiteral("The archive could not be read."));
    Dataset& pQ = *state.pQ;
    if (pQ.eof())
        throw EngineError(QStringLiteral("The item %1 is not in the archive.").arg(id));

    const QString texts[4] = {
        QStringLiteral("Created time : ") + field(pQ, "createtime"),
        QStringLiteral("Last modified time : ") + field(pQ, "modifytime"),
        QStringLiteral("Size : ") + sizeText(pQ.fieldByName(QStringLiteral("sizebyte")).asInteger()),
        QStringLiteral("Type : ") + field(pQ, "extname"),
    };
    for (int i = 0; i < 4; ++i) {
        if (state.statusPanels[i])
            state.statusPanels[i]->setText(texts[i]);
    }
    state.pendingSize = pQ.fieldByName(QStringLiteral("sizebyte")).asInteger();
    viewSwitch(state, true);

    const int typeCode = toIntOr0(code);
    if (typeCode == 5 || typeCode == 7) {
        QByteArray document;
        QBuffer buffer(&document);
        buffer.open(QIODevice::WriteOnly);
        pQ.fieldByName(QStringLiteral("content")).saveToStream(buffer);
        buffer.close();
        pQ.close();
        state.web->loadDocument(document);
    } else if (typeCode == 4) {
        const QString text = field(pQ, "plaintext");
        pQ.close();
        showText(state, text);
    } else {
        showAsFile(state, field(pQ, "title"), field(pQ, "extname"), typeCode);
    }
}

void progressDisplay(QProgressBar* gauge, int progress, int maximum)
{
    if (!gauge)
        return;
    if (maximum > gauge->minimum())
        gauge->setMaximum(maximum);
    gauge->setValue(std::clamp(progress, gauge->minimum(), gauge->maximum()));
}

} // namespace tallowmere
