#include "capture/PageCompletion.h"

#include "catalog/NodeData.h"
#include "common/MainState.h"
#include "content/WebView.h"
#include "store/Archive.h"

#include <QLabel>

#include <exception>

namespace tallowmere {

namespace {

// Waiting codes of imported pages and the final code each one turns into.
struct TextOnlyStep {
    const char* waiting;
    const char* final_;
};
constexpr TextOnlyStep kTextOnlySteps[] = {{"9", "6"}, {"12", "5"}, {"14", "10"}, {"15", "13"}};

void completeText(MainState& state, TNodeData& selected, const QString& finalCode)
{
    Dataset& pQ = *state.pQ;
    if (!runQuery(pQ, QStringLiteral("select id,plaintext,typeid from paper where id = ") + quoted(selected.ID)))
        throw EngineError(QStringLiteral("the archive could not be read"));
    if (pQ.eof()) {
        pQ.close();
        throw EngineError(QStringLiteral("the item is not in the archive"));
    }
    const QString text = state.web ? state.web->pageText() : QString();
    pQ.edit();
    pQ.fieldByName(QStringLiteral("plaintext")).setValue(text);
    pQ.fieldByName(QStringLiteral("typeid")).setValue(finalCode.toInt());
    pQ.post();
    pQ.close();
    selected.typeid_ = finalCode;
}

} // namespace

qint32 storeCompletedPage(MainState& state, const QString& id)
{
    if (!state.web)
        throw EngineError(QStringLiteral("there is no web view"));
    Dataset& pQ = *state.pQ;
    const QByteArray document = state.web->saveDocument();
    const QString text = state.web->pageText();
    if (!runQuery(pQ, QStringLiteral("select id,content,plaintext,typeID,oriname,sizebyte from paper where id = ") + quoted(id)))
        throw EngineError(QStringLiteral("the archive could not be read"));
    if (pQ.eof()) {
        pQ.close();
        throw EngineError(QStringLiteral("the item is not in the archive"));
    }
    pQ.edit();
    pQ.fieldByName(QStringLiteral("content")).setValue(document);
    pQ.fieldByName(QStringLiteral("plaintext")).setValue(text);
    // The size recorded when the item was added is that of the document the
    // web view held then, usually the page before this one.
    pQ.fieldByName(QStringLiteral("sizebyte")).setValue(qint32(document.size()));
    pQ.post();
    pQ.close();
    return qint32(document.size());
}

void completePage(MainState& state, TNodeData* selected)
{
    if (!selected || !state.pQ)
        return;
    const QString code = selected->typeid_;
    if (state.currentItemId != selected->ID)
        return;
    try {
        if (code == QLatin1String("7")) {
            selected->SizeByte = storeCompletedPage(state, state.currentItemId);
            selected->typeid_ = QStringLiteral("5");
            runStatement(*state.pQ, QStringLiteral("update paper set typeid=5 where id=") + quoted(state.currentItemId));
        }
        for (const TextOnlyStep& step : kTextOnlySteps) {
            if (code == QLatin1String(step.waiting)) {
                completeText(state, *selected, QLatin1String(step.final_));
                break;
            }
        }
    } catch (const std::exception& e) {
        if (state.statusPanels[0])
            state.statusPanels[0]->setText(
                QStringLiteral("The page of item %1 could not be completed: %2").arg(selected->ID, QString::fromUtf8(e.what())));
    }
}

} // namespace tallowmere
