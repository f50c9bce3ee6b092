#include "NewItemFlow.h"

#include "GiveContent.h"
#include "common/MainState.h"
#include "content/TextFile.h"
#include "content/ViewSwitch.h"
#include "content/WebView.h"

#include <QPlainTextEdit>
#include <stdexcept>

namespace tallowmere {

namespace {

// Trims characters of code 32 and below at both ends, as the path field may
// carry a pasted line break or tab.
QString trimControls(const QString& text)
{
    qsizetype b = 0, e = text.size();
    while (b < e && text.at(b).unicode() <= 32)
        ++b;
    while (e > b && text.at(e - 1).unicode() <= 32)
        --e;
    return text.mid(b, e - b);
}

void clearEditor(MainState& state)
{
    state.memo->clear();
    state.memo->document()->setModified(false);
}

} // namespace

int newItemFlow(MainState& state)
{
    const NewItemResult result = showNewItemDialog(*state.prompter, state.window);
    state.captureSource = trimControls(result.path);
    state.pendingExt = result.extension;
    state.pendingSize = qint32(std::clamp<qint64>(result.size, INT32_MIN, INT32_MAX));
    state.includeSubdirs = result.includeSubdirectories;

    switch (result.typeCode) {
    case 0: case 9: case 12: case 14: case 15:
        viewSwitch(state, true);
        state.web->navigate(state.captureSource);
        return result.typeCode;
    case 2:
        state.captureSource = QStringLiteral("c:\\New Item.txt");
        viewSwitch(state, false);
        clearEditor(state);
        return 4;
    case 11:
        viewSwitch(state, false);
        clearEditor(state);
        return 11;
    case 4: {
        QString reason;
        if (!loadTextFile(state.memo, state.captureSource, &reason))
            throw std::runtime_error(QStringLiteral("The text file \"%1\" could not be read (%2).")
                                         .arg(state.captureSource, reason).toStdString());
        viewSwitch(state, false);
        return 4;
    }
    default:
        return result.typeCode;
    }
}

} // namespace tallowmere
