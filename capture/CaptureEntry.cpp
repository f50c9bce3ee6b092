#include "capture/CaptureEntry.h"

#include "common/MainState.h"
#include "content/ViewSwitch.h"
#include "content/WebView.h"

#include <QScopeGuard>

namespace tallowmere {

CaptureEntry::CaptureEntry(MainState& state, AddBelowSelected add, CompletePage complete)
    : m_state(state), m_add(std::move(add)), m_complete(std::move(complete))
{
}

void CaptureEntry::addNode(const CaptureRequest& request)
{
    capture(request);
    viewSwitch(m_state, true);
}

void CaptureEntry::commandLine(const QString& captureString)
{
    viewSwitch(m_state, true);
    capture(parseCaptureString(captureString));
}

void CaptureEntry::capture(const CaptureRequest& request)
{
    if (m_state.web)
        m_state.web->navigate(request.address);
    m_state.captureSource = request.title;
    if (!m_add)
        return;
    {
        m_adding = true;
        m_held = false;
        const auto done = qScopeGuard([this] { m_adding = false; });
        m_add(request.typeCode);
    }
    if (m_held) {
        m_held = false;
        if (m_complete)
            m_complete();
    }
}

void CaptureEntry::documentComplete()
{
    if (m_adding)
        m_held = true;
    else if (m_complete)
        m_complete();
}

} // namespace tallowmere
