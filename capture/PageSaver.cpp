#include "PageSaver.h"

#include "content/WebView.h"

#include <QFileInfo>
#include <QScopeGuard>

namespace tallowmere {

namespace {
// Program-wide: the web view's own save waits in a local event loop, in which
// a second request (another capture) could arrive.
bool g_saveRunning = false;
constexpr int kSingleFileArchive = 1;
} // namespace

CSaveAsWebbrowser::~CSaveAsWebbrowser()
{
    m_web = nullptr;
}

void CSaveAsWebbrowser::setTargetPath(const QString& path)
{
    m_targetPath = path;
    m_saveType = kSingleFileArchive;
}

bool CSaveAsWebbrowser::save()
{
    if (m_targetPath.isEmpty())
        m_targetPath = QStringLiteral("untitled");
    m_armed = true;
    if (!m_web || g_saveRunning)
        return false;
    g_saveRunning = true;
    const auto done = qScopeGuard([this] {
        g_saveRunning = false;
        m_armed = false;
    });
    // As a save dialog does, a name without an extension gets the archive's.
    QString path = m_targetPath;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".mht");
    return m_web->saveArchive(path);
}

bool CSaveAsWebbrowser::saveRunning()
{
    return g_saveRunning;
}

} // namespace tallowmere
