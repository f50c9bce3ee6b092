#pragma once
// The web view on Qt WebEngine. Every asynchronous engine call is waited for
// here with a local event loop and a time limit, so callers keep synchronous
// steps and no wait can hang the program. Besides loadDocument, saveDocument
// throws std::runtime_error when the engine does not answer in time, so that
// a failed read is never stored as an empty document.

#include "content/WebView.h"

#include <QPointer>
#include <QUrl>

#include <functional>
#include <optional>

class QWebEngineView;
class QWebEnginePage;
class QWebEngineProfile;
class QWebEngineLoadingInfo;
class QWebEngineDownloadRequest;

namespace tallowmere {

class DocumentSchemeHandler;

// Registers the URL scheme that serves stored documents from memory. Must run
// before the QApplication is created; calling it again does nothing.
void registerWebSchemes();

class WebEngineView : public WebView {
    Q_OBJECT
public:
    explicit WebEngineView(QObject* parent = nullptr);
    ~WebEngineView() override;

    QWidget* widget() override;

    void navigate(const QString& address) override;
    bool hasDocument() const override;
    QString address() const override;

    void loadDocument(const QByteArray& html) override;
    QByteArray saveDocument() override;
    QString pageText() override;

    int zoomLevel() const override;
    bool setZoomLevel(int level) override;
    int zoomLevelCount() const override;

    bool saveAs(const QString& path) override;
    bool saveArchive(const QString& path) override;
    bool printToPdf(const QString& path) override;
    void print() override;

    // The zoom factor of a level (1.0 at the default level).
    static double zoomFactorOf(int level);
    static int defaultZoomLevel();

signals:
    // Internal: something a wait may be waiting for has happened.
    void stateChanged();

private:
    struct SaveJob;

    void startLoad(const QUrl& url);
    void onLoadingChanged(const QWebEngineLoadingInfo& info);
    void onDownloadRequested(QWebEngineDownloadRequest* request);
    bool savePage(const QString& path, int format);
    bool waitForNavigation(int timeoutMs);
    bool waitUntil(const std::function<bool()>& done, int timeoutMs);
    // Asks the page for its HTML or its text and waits for the answer; none on timeout.
    using PageRead = void (QWebEnginePage::*)(const std::function<void(const QString&)>&) const;
    std::optional<QString> readPage(PageRead read);
    QString addressOf(const QUrl& url) const;

    QWebEngineProfile* m_profile = nullptr;
    DocumentSchemeHandler* m_documents = nullptr;
    QPointer<QWebEngineView> m_view;
    QPointer<QWebEnginePage> m_page;

    bool m_hasDocument = false;
    // The last requested load: pending until a load that started for it ends.
    bool m_navPending = false;
    bool m_expectedStarted = false;
    QUrl m_expectedUrl;
    bool m_lastLoadOk = false;

    int m_zoomLevel;
    bool m_busy = false;    // a save or print runs its nested wait
    SaveJob* m_save = nullptr;
};

} // namespace tallowmere
