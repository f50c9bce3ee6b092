#include "content/ViewSwitch.h"

#include "common/MainState.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStackedWidget>
#include <QToolButton>

namespace tallowmere {

void viewSwitch(MainState& state, bool showWeb)
{
    state.webFlag = showWeb;
    if (state.gauge)
        state.gauge->setVisible(showWeb);
    if (state.findDocAction)
        state.findDocAction->setVisible(!showWeb);
    if (state.fontButton)
        state.fontButton->setMenu(showWeb ? state.fontMenu : state.fontTxtMenu);
    if (!state.contentStack)
        return;
    QWidget* page = showWeb ? state.contentStack->findChild<QWidget*>(QStringLiteral("CppWebBrowser"),
                                                                    Qt::FindDirectChildrenOnly)
                            : state.memo;
    if (page)
        state.contentStack->setCurrentWidget(page);
}

} // namespace tallowmere
