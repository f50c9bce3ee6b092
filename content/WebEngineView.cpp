#include "content/WebEngineView.h"

#include <QBuffer>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QHash>
#include <QMenu>
#include <QPrintDialog>
#include <QPrinter>
#include <QScopeGuard>
#include <QTimer>
#include <QWebEngineDownloadRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>
#include <QWebEngineView>

#include <array>
#include <memory>
#include <optional>
#include <stdexcept>

namespace tallowmere {

namespace {

// Stored documents are served under this scheme. It is neither local nor
// secure: its pages may load web resources but never files, and a relative
// link resolves inside the scheme, where nothing but the document exists.
constexpr char kScheme[] = "tmdoc";

// Zoom factors the view steps through; the engine accepts 0.25 to 5.0.
constexpr std::array<double, 12> kZoomFactors{0.5, 0.67, 0.8, 0.9, 1.0, 1.1,
                                              1.25, 1.5, 1.75, 2.0, 2.5, 3.0};
constexpr int kDefaultZoomLevel = 4;
static_assert(kZoomFactors[kDefaultZoomLevel] == 1.0);

// Time limits of the waits (milliseconds).
constexpr int kBlankPageMs = 10'000;
constexpr int kDocumentLoadMs = 60'000;
constexpr int kReadMs = 30'000;
constexpr int kNavigationBeforeSaveMs = 30'000;
constexpr int kSaveStartMs = 15'000;
constexpr int kSaveMs = 120'000;
constexpr int kPdfMs = 60'000;
constexpr int kPrintMs = 120'000;

// Chromium normalises addresses a little (a trailing slash on a bare host).
bool sameUrl(const QUrl& a, const QUrl& b)
{
    const auto opts = QUrl::StripTrailingSlash | QUrl::NormalizePathSegments;
    return a.adjusted(opts) == b.adjusted(opts);
}

} // namespace

// Serves the documents given to loadDocument from memory. Only the document on
// display and the one being loaded are kept; everything else is not found.
class DocumentSchemeHandler : public QWebEngineUrlSchemeHandler {
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;

    QUrl add(const QByteArray& html, const QUrl& onDisplay)
    {
        for (auto it = m_docs.begin(); it != m_docs.end();) {
            if (it.key() == onDisplay.path())
                ++it;
            else
                it = m_docs.erase(it);
        }
        const QString path = QStringLiteral("/document/%1").arg(++m_serial);
        m_docs.insert(path, html);
        QUrl url;
        url.setScheme(QString::fromLatin1(kScheme));
        url.setPath(path);
        return url;
    }

    void requestStarted(QWebEngineUrlRequestJob* job) override
    {
        const auto it = m_docs.constFind(job->requestUrl().path());
        if (it == m_docs.constEnd()) {
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        auto* buffer = new QBuffer(job);
        buffer->setData(it.value());
        buffer->open(QIODevice::ReadOnly);
        // saveDocument hands out UTF-8, whatever charset the markup declares.
        job->reply("text/html;charset=utf-8", buffer);
    }

private:
    QHash<QString, QByteArray> m_docs;
    quint64 m_serial = 0;
};

void registerWebSchemes()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    QWebEngineUrlScheme scheme(kScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    QWebEngineUrlScheme::registerScheme(scheme);
}

struct WebEngineView::SaveJob {
    QString path;
    QPointer<QWebEngineDownloadRequest> request;
};

WebEngineView::WebEngineView(QObject* parent)
    : WebView(parent), m_zoomLevel(kDefaultZoomLevel)
{
    m_profile = new QWebEngineProfile(this); // off the record
    m_documents = new DocumentSchemeHandler(this);
    m_profile->installUrlSchemeHandler(kScheme, m_documents);
    connect(m_profile, &QWebEngineProfile::downloadRequested, this,
            &WebEngineView::onDownloadRequested);

    m_view = new QWebEngineView;
    m_page = new QWebEnginePage(m_profile, m_view);
    m_view->setPage(m_page);
    connect(m_page, &QWebEnginePage::loadProgress, this,
            [this](int progress) { emit progressChange(progress, 100); });
    connect(m_page, &QWebEnginePage::loadingChanged, this, &WebEngineView::onLoadingChanged);

    // The page's own menu, without the entries that would open windows or
    // start downloads: this view has no second window and keeps no downloads,
    // so they would silently do nothing.
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_view, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        QMenu* menu = m_view->createStandardContextMenu();
        for (QWebEnginePage::WebAction a :
             {QWebEnginePage::SavePage, QWebEnginePage::ViewSource, QWebEnginePage::OpenLinkInNewWindow,
              QWebEnginePage::OpenLinkInNewTab, QWebEnginePage::OpenLinkInNewBackgroundTab,
              QWebEnginePage::DownloadLinkToDisk, QWebEnginePage::DownloadImageToDisk,
              QWebEnginePage::DownloadMediaToDisk, QWebEnginePage::InspectElement})
            menu->removeAction(m_page->action(a));
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(m_view->mapToGlobal(pos));
    });
}

WebEngineView::~WebEngineView()
{
    // The page must go before its profile, the profile before its handler.
    delete m_view.data();
    delete m_profile;
}

QWidget* WebEngineView::widget()
{
    return m_view;
}

void WebEngineView::navigate(const QString& address)
{
    // A path may hold "#" or "?", which belong to the file name.
    const QUrl url = QDir::isAbsolutePath(address) && !address.contains(QLatin1String("://"))
                         ? QUrl::fromLocalFile(address)
                         : QUrl::fromUserInput(address, QString(), QUrl::AssumeLocalFile);
    startLoad(url);
}

void WebEngineView::startLoad(const QUrl& url)
{
    // An address the engine cannot even start on would leave a load pending.
    if (!m_page || !url.isValid() || url.isEmpty())
        return;
    m_navPending = true;
    m_expectedStarted = false;
    m_expectedUrl = url;
    m_page->load(url);
    emit stateChanged();
}

void WebEngineView::onLoadingChanged(const QWebEngineLoadingInfo& info)
{
    const auto status = info.status();
    if (status == QWebEngineLoadingInfo::LoadStartedStatus) {
        if (m_navPending && sameUrl(info.url(), m_expectedUrl))
            m_expectedStarted = true;
        emit stateChanged();
        return;
    }
    // A stopped load was cancelled or replaced: the previous document stays and
    // nothing completed.
    const bool stopped = status == QWebEngineLoadingInfo::LoadStoppedStatus;
    const bool ok = status == QWebEngineLoadingInfo::LoadSucceededStatus;
    if (m_navPending && (m_expectedStarted || sameUrl(info.url(), m_expectedUrl))) {
        m_navPending = false;
        m_lastLoadOk = ok;
    }
    if (!stopped)
        m_hasDocument = true;
    // The engine may reset the zoom when the document changes; keep the view's level.
    if (m_page && m_page->zoomFactor() != zoomFactorOf(m_zoomLevel))
        m_page->setZoomFactor(zoomFactorOf(m_zoomLevel));
    emit progressChange(-1, 100);
    if (!stopped)
        emit documentComplete(addressOf(info.url()), ok);
    emit stateChanged();
}

bool WebEngineView::hasDocument() const
{
    return m_hasDocument && m_page;
}

QString WebEngineView::address() const
{
    return m_page ? addressOf(m_page->url()) : QString();
}

QString WebEngineView::addressOf(const QUrl& url) const
{
    // A stored document has no address of its own.
    if (url.scheme() == QLatin1String(kScheme))
        return QStringLiteral("about:blank");
    return url.toString();
}

void WebEngineView::loadDocument(const QByteArray& html)
{
    if (!m_page)
        throw std::runtime_error("The web view is gone");
    if (!m_hasDocument) {
        if (!m_navPending)
            navigate(QStringLiteral("about:blank"));
        // Only bounded: the document below loads without the blank page too.
        waitForNavigation(kBlankPageMs);
    }
    const QUrl url = m_documents->add(html, m_page->url());
    startLoad(url);
    if (!waitForNavigation(kDocumentLoadMs))
        throw std::runtime_error("The document did not finish loading in time");
    if (m_expectedUrl != url)
        return; // a newer load, started while this one ran, replaced it
    if (!m_lastLoadOk)
        throw std::runtime_error("The document could not be loaded");
}

std::optional<QString> WebEngineView::readPage(PageRead read)
{
    auto result = std::make_shared<std::optional<QString>>();
    QPointer<WebEngineView> self(this);
    (m_page->*read)([result, self](const QString& answer) {
        *result = answer;
        if (self)
            emit self->stateChanged();
    });
    if (!waitUntil([&] { return result->has_value(); }, kReadMs))
        return std::nullopt;
    return *result;
}

QByteArray WebEngineView::saveDocument()
{
    if (!hasDocument())
        return {};
    const std::optional<QString> html = readPage(&QWebEnginePage::toHtml);
    // An empty answer here would be stored as the item's document: fail loudly.
    if (!html)
        throw std::runtime_error("The web view did not hand out its document in time");
    return html->toUtf8();
}

QString WebEngineView::pageText()
{
    if (!hasDocument())
        return {};
    return readPage(&QWebEnginePage::toPlainText).value_or(QString());
}

double WebEngineView::zoomFactorOf(int level)
{
    return kZoomFactors.at(level);
}

int WebEngineView::defaultZoomLevel()
{
    return kDefaultZoomLevel;
}

int WebEngineView::zoomLevel() const
{
    return m_zoomLevel;
}

bool WebEngineView::setZoomLevel(int level)
{
    if (level < 0 || level >= zoomLevelCount())
        return false;
    m_zoomLevel = level;
    if (m_page)
        m_page->setZoomFactor(zoomFactorOf(level));
    return true;
}

int WebEngineView::zoomLevelCount() const
{
    return int(kZoomFactors.size());
}

bool WebEngineView::saveAs(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    const bool archive = suffix == QLatin1String("mht") || suffix == QLatin1String("mhtml");
    return savePage(path, archive ? QWebEngineDownloadRequest::MimeHtmlSaveFormat
                                  : QWebEngineDownloadRequest::CompleteHtmlSaveFormat);
}

bool WebEngineView::saveArchive(const QString& path)
{
    return savePage(path, QWebEngineDownloadRequest::MimeHtmlSaveFormat);
}

bool WebEngineView::savePage(const QString& path, int format)
{
    if (m_busy || !m_page || path.isEmpty())
        return false;
    m_busy = true;
    SaveJob job{QFileInfo(path).absoluteFilePath(), {}};
    const auto done = qScopeGuard([this] {
        m_busy = false;
        m_save = nullptr;
    });

    // Saving now would save the previous page; after the limit, save what has
    // loaded. Loads the page started itself (a followed link) count too.
    waitUntil([this] { return !m_navPending && !(m_page && m_page->isLoading()); },
              kNavigationBeforeSaveMs);
    if (!hasDocument())
        return false;

    m_save = &job;
    m_page->save(job.path, QWebEngineDownloadRequest::SavePageFormat(format));
    // A page that never finished loading is not saved and nothing is signalled.
    if (!waitUntil([&] { return !job.request.isNull(); }, kSaveStartMs))
        return false;
    const bool finished = waitUntil([&] { return !job.request || job.request->isFinished(); },
                                    kSaveMs);
    if (!job.request)
        return false;
    if (!finished) {
        job.request->cancel();
        return false;
    }
    return job.request->state() == QWebEngineDownloadRequest::DownloadCompleted
           && QFileInfo(job.path).size() > 0;
}

void WebEngineView::onDownloadRequested(QWebEngineDownloadRequest* request)
{
    // Only our own page saves are accepted; any other download is cancelled by
    // leaving it unaccepted.
    if (!m_save || m_save->request || !request->isSavePageDownload() || request->page() != m_page)
        return;
    connect(request, &QWebEngineDownloadRequest::isFinishedChanged, this,
            &WebEngineView::stateChanged);
    m_save->request = request;
    // A page save comes already aimed at the path given to save() and accepted;
    // should it ever wait for us, aim and accept it here.
    if (request->state() == QWebEngineDownloadRequest::DownloadRequested) {
        const QFileInfo target(m_save->path);
        request->setDownloadDirectory(target.absolutePath());
        request->setDownloadFileName(target.fileName());
        request->accept();
    }
    emit stateChanged();
}

bool WebEngineView::printToPdf(const QString& path)
{
    if (m_busy || !hasDocument() || path.isEmpty())
        return false;
    m_busy = true;
    const QString target = QFileInfo(path).absoluteFilePath();
    auto result = std::make_shared<std::optional<bool>>();
    const auto connection = connect(m_page, &QWebEnginePage::pdfPrintingFinished, this,
                                    [this, result, target](const QString& file, bool ok) {
                                        if (file == target) {
                                            *result = ok;
                                            emit stateChanged();
                                        }
                                    });
    const auto done = qScopeGuard([this, connection] {
        disconnect(connection);
        m_busy = false;
    });
    m_page->printToPdf(target);
    if (!waitUntil([&] { return result->has_value(); }, kPdfMs))
        return false;
    return **result && QFileInfo(target).size() > 0;
}

void WebEngineView::print()
{
    if (m_busy || !hasDocument() || !m_view)
        return;
    // The engine prints asynchronously and needs the printer until it reports
    // the end, which may come after our wait has given up.
    auto* printer = new QPrinter(QPrinter::HighResolution);
    {
        QPrintDialog dialog(printer, m_view);
        if (dialog.exec() != QDialog::Accepted || !m_view || m_busy) {
            delete printer;
            return;
        }
    }
    m_busy = true;
    const auto done = qScopeGuard([this] { m_busy = false; });
    auto finished = std::make_shared<bool>(false);
    QPointer<WebEngineView> self(this);
    connect(
        m_view, &QWebEngineView::printFinished, m_view,
        [printer, finished, self](bool) {
            *finished = true;
            QTimer::singleShot(0, [printer] { delete printer; });
            if (self)
                emit self->stateChanged();
        },
        Qt::SingleShotConnection);
    m_view->print(printer);
    waitUntil([&] { return *finished; }, kPrintMs);
}

bool WebEngineView::waitForNavigation(int timeoutMs)
{
    return waitUntil([this] { return !m_navPending; }, timeoutMs);
}

bool WebEngineView::waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QEventLoop loop;
        QTimer tick;
        tick.setSingleShot(true);
        connect(&tick, &QTimer::timeout, &loop, &QEventLoop::quit);
        connect(this, &WebEngineView::stateChanged, &loop, &QEventLoop::quit);
        // The tick only bounds each round; the signals above end it early.
        tick.start(int(std::min<qint64>(deadline.remainingTime(), 100)));
        loop.exec();
    }
    return true;
}

} // namespace tallowmere
