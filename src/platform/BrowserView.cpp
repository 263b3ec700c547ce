#include "platform/BrowserView.h"

#include "platform/Dialogs.h"

#include <QBuffer>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QMenu>
#include <QPointer>
#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>
#include <atomic>

namespace platform {

namespace {

const QByteArray kScheme = QByteArrayLiteral("corvane-message");
// RFC 2392: "cid:" + the Content-ID of a part of the same message.
const QByteArray kCidScheme = QByteArrayLiteral("cid");

bool isLocalToMessage(const QString& scheme) {
    return scheme == QLatin1String(kScheme) || scheme == QLatin1String("data") ||
           scheme == QLatin1String("blob") || scheme == QLatin1String("about");
}

// A charset name from a mail header goes into a content type: keep it to the characters a
// charset name is made of.
QByteArray cleanCharset(const QByteArray& charset) {
    QByteArray out;
    for (char c : charset) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '_' || c == '.' || c == ':') {
            out.append(c);
        }
    }
    return out.left(64);
}

} // namespace

struct BrowserView::Private {
    // Serves the one document the view shows; older addresses find nothing.
    class MessageScheme : public QWebEngineUrlSchemeHandler {
    public:
        QUrl url;
        QByteArray body;
        QByteArray contentType;
        PictureSource* pictures = nullptr;

        void requestStarted(QWebEngineUrlRequestJob* job) override {
            if (job->requestMethod() != "GET") {
                job->fail(QWebEngineUrlRequestJob::UrlNotFound);
                return;
            }
            if (job->requestUrl() == url) {
                reply(job, contentType, body);
                return;
            }
            // "message/logo.png": a picture the HTML names by a part's Content-Location. The
            // gate has let it through only as a picture with pictures on.
            const QString path = job->requestUrl().path(QUrl::FullyDecoded);
            const QString prefix = QStringLiteral("message/");
            std::optional<InlinePicture> picture;
            if (pictures && *pictures && path.startsWith(prefix)) {
                picture = (*pictures)(path.mid(prefix.size()), false);
            }
            if (!picture || !picture->contentType.startsWith("image/")) {
                job->fail(QWebEngineUrlRequestJob::UrlNotFound);
                return;
            }
            reply(job, picture->contentType, picture->bytes);
        }

        static void reply(QWebEngineUrlRequestJob* job, const QByteArray& type,
                          const QByteArray& bytes) {
            auto* buffer = new QBuffer(job);
            buffer->setData(bytes);
            buffer->open(QIODevice::ReadOnly);
            job->reply(type, buffer);
        }
    };

    // Decides every request the page makes: the message itself and inline data always; the
    // message's own pictures and the web only when pictures are allowed; the message's parts
    // only as pictures; frames, objects and embeds from outside the message never; local
    // files never.
    class RemoteGate : public QWebEngineUrlRequestInterceptor {
    public:
        std::atomic<bool> blockRemote{false};
        std::atomic<int> blocked{0};

        void interceptRequest(QWebEngineUrlRequestInfo& info) override {
            using R = QWebEngineUrlRequestInfo;
            const QString scheme = info.requestUrl().scheme();
            const R::ResourceType type = info.resourceType();
            const bool picture = type == R::ResourceTypeImage || type == R::ResourceTypeFavicon;
            const bool document =
                type == R::ResourceTypeMainFrame || type == R::ResourceTypeSubFrame ||
                type == R::ResourceTypeObject || type == R::ResourceTypePluginResource ||
                type == R::ResourceTypeNavigationPreloadMainFrame ||
                type == R::ResourceTypeNavigationPreloadSubFrame;
            bool allowed = false;
            if (scheme == QLatin1String(kScheme)) {
                // The document itself, or one of its parts named by a relative address.
                allowed = type == R::ResourceTypeMainFrame || (picture && !blockRemote);
            } else if (isLocalToMessage(scheme)) {
                allowed = true;
            } else if (scheme == QLatin1String(kCidScheme)) {
                // An SVG part opened as a document could load anything; as a picture it can't.
                allowed = picture && !blockRemote;
            } else if (scheme == QLatin1String("http") || scheme == QLatin1String("https")) {
                allowed = !blockRemote && !document;
            }
            if (!allowed) {
                info.block(true);
                ++blocked;
            }
        }
    };

    // The page never leaves the message: only the address the view itself asked for loads
    // in the main frame, and clicked links go to the desktop's browser.
    class MessagePage : public QWebEnginePage {
    public:
        MessagePage(QWebEngineProfile* profile, BrowserView& owner)
            : QWebEnginePage(profile, &owner), owner(owner) {}

        QUrl expected;

    protected:
        bool acceptNavigationRequest(const QUrl& url, NavigationType type,
                                     bool isMainFrame) override {
            if (type == NavigationTypeLinkClicked) {
                owner.openLink(url);
                return false;
            }
            if (isMainFrame) {
                return url == expected && type != NavigationTypeBackForward;
            }
            // Frames inside the message: no forms, no history; the gate decides the rest.
            return type == NavigationTypeTyped || type == NavigationTypeOther ||
                   type == NavigationTypeRedirect;
        }

        QWebEnginePage* createWindow(WebWindowType) override;

    private:
        BrowserView& owner;
    };

    // A link that asks for a new window (target="_blank", middle click) lands here: its
    // address goes to the desktop's browser and the page goes away.
    class LinkCatcher : public QWebEnginePage {
    public:
        LinkCatcher(QWebEngineProfile* profile, BrowserView& owner)
            : QWebEnginePage(profile, &owner), owner(&owner) {}

    protected:
        bool acceptNavigationRequest(const QUrl& url, NavigationType, bool) override {
            if (owner) {
                owner->openLink(url);
            }
            deleteLater();
            return false;
        }

    private:
        QPointer<BrowserView> owner;
    };

    // Serves cid: pictures from the message on show.
    class PictureScheme : public QWebEngineUrlSchemeHandler {
    public:
        explicit PictureScheme(const RemoteGate& gate) : gate(gate) {}
        PictureSource source;

        void requestStarted(QWebEngineUrlRequestJob* job) override {
            if (gate.blockRemote) {
                job->fail(QWebEngineUrlRequestJob::RequestDenied);
                return;
            }
            const QUrl url = job->requestUrl();
            const std::optional<InlinePicture> picture =
                source && job->requestMethod() == "GET" ? source(url.path(QUrl::FullyDecoded), true)
                                                        : std::nullopt;
            if (!picture || !picture->contentType.startsWith("image/")) {
                job->fail(QWebEngineUrlRequestJob::UrlNotFound);
                return;
            }
            auto* buffer = new QBuffer(job);
            buffer->setData(picture->bytes);
            buffer->open(QIODevice::ReadOnly);
            job->reply(picture->contentType, buffer);
        }

    private:
        const RemoteGate& gate;
    };

    MessageScheme scheme;
    RemoteGate gate;
    PictureScheme pictures{gate};
    QWebEngineProfile* profile = nullptr;
    MessagePage* page = nullptr;
    LinkOpener opener;
    quint64 documents = 0;
};

QWebEnginePage* BrowserView::Private::MessagePage::createWindow(WebWindowType) {
    return new LinkCatcher(profile(), owner);
}

void BrowserView::registerScheme() {
    if (QWebEngineUrlScheme::schemeByName(kScheme).name() == kScheme) {
        return;
    }
    QWebEngineUrlScheme scheme(kScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    // An opaque origin: the message can reach nothing of the program's or of another
    // message.
    scheme.setFlags(QWebEngineUrlScheme::NoAccessAllowed);
    QWebEngineUrlScheme::registerScheme(scheme);
    QWebEngineUrlScheme cid(kCidScheme);
    cid.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    cid.setFlags(QWebEngineUrlScheme::NoAccessAllowed);
    QWebEngineUrlScheme::registerScheme(cid);
}

BrowserView::BrowserView(QWidget* parent) : QWebEngineView(parent), d(std::make_unique<Private>()) {
    // No storage name: an off-the-record profile, nothing of it reaches the disk.
    d->profile = new QWebEngineProfile();
    d->profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    d->profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    d->profile->setSpellCheckEnabled(false);
    d->profile->cookieStore()->setCookieFilter(
        [](const QWebEngineCookieStore::FilterRequest&) { return false; });
    d->scheme.pictures = &d->pictures.source;
    d->profile->installUrlSchemeHandler(kScheme, &d->scheme);
    d->profile->installUrlSchemeHandler(kCidScheme, &d->pictures);
    d->profile->setUrlRequestInterceptor(&d->gate);

    QWebEngineSettings* s = d->profile->settings();
    using S = QWebEngineSettings;
    for (S::WebAttribute off : {S::JavascriptEnabled,
                                S::JavascriptCanOpenWindows,
                                S::JavascriptCanAccessClipboard,
                                S::JavascriptCanPaste,
                                S::PluginsEnabled,
                                S::LocalContentCanAccessFileUrls,
                                S::LocalContentCanAccessRemoteUrls,
                                S::LocalStorageEnabled,
                                S::HyperlinkAuditingEnabled,
                                S::AutoLoadIconsForPage,
                                S::NavigateOnDropEnabled,
                                S::PdfViewerEnabled,
                                S::WebGLEnabled,
                                S::ScreenCaptureEnabled,
                                S::DnsPrefetchEnabled,
                                S::ErrorPageEnabled,
                                S::AllowRunningInsecureContent,
                                S::AllowGeolocationOnInsecureOrigins,
                                S::FullScreenSupportEnabled,
                                S::FocusOnNavigationEnabled}) {
        s->setAttribute(off, false);
    }
    s->setAttribute(S::PlaybackRequiresUserGesture, true);
    s->setAttribute(S::WebRTCPublicInterfacesOnly, true);
    s->setDefaultTextEncoding(QStringLiteral("windows-1252"));

    d->page = new Private::MessagePage(d->profile, *this);
    setPage(d->page);

    connect(d->page, &QWebEnginePage::loadStarted, this, [this] {
        busy = true;
        Q_EMIT downloadBegun();
    });
    connect(d->page, &QWebEnginePage::loadFinished, this, [this](bool) {
        busy = false;
        Q_EMIT downloadComplete();
        Q_EMIT documentComplete();
    });
    connect(d->page, &QWebEnginePage::linkHovered, this,
            [this](const QString& url) { Q_EMIT statusTextChanged(url); });
}

BrowserView::~BrowserView() {
    // A profile must outlive every page made from it.
    delete d->page;
    d->page = nullptr;
    delete d->profile;
    d->profile = nullptr;
}

void BrowserView::showDocument(const QByteArray& html, const QByteArray& charset) {
    const QByteArray cs = cleanCharset(charset);
    QUrl url(QString::fromLatin1(kScheme) + QStringLiteral(":message/") +
             QString::number(++d->documents));
    d->scheme.url = url;
    d->scheme.body = html;
    d->scheme.contentType = cs.isEmpty() ? QByteArrayLiteral("text/html")
                                         : QByteArrayLiteral("text/html; charset=") + cs;
    d->page->expected = url;
    d->page->setUrl(url);
}

void BrowserView::setBlockRemoteContent(bool block) {
    d->gate.blockRemote = block;
}

bool BrowserView::blocksRemoteContent() const {
    return d->gate.blockRemote;
}

QString BrowserView::currentAddress() const {
    const QUrl shown = url();
    if (shown.isEmpty() || shown.scheme() == QLatin1String(kScheme) ||
        shown.scheme() == QLatin1String("about")) {
        return {};
    }
    return shown.toString();
}

void BrowserView::setLinkOpener(LinkOpener opener) {
    d->opener = std::move(opener);
}

bool BrowserView::isOpenableLink(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
                             scheme == QLatin1String("mailto"));
}

void BrowserView::setPictureSource(PictureSource source) {
    d->pictures.source = std::move(source);
}

int BrowserView::blockedRequestCount() const {
    return d->gate.blocked;
}

void BrowserView::openLink(const QUrl& url) {
    if (!isOpenableLink(url)) {
        return;
    }
    if (d->opener) {
        d->opener(url);
    } else {
        QDesktopServices::openUrl(url);
    }
}

void BrowserView::contextMenuEvent(QContextMenuEvent* event) {
    // Only what reads the message: copying and selecting. Navigation, saving and the page
    // source are not offered.
    std::unique_ptr<QMenu> menu(createStandardContextMenu());
    if (!menu) {
        return;
    }
    QList<QAction*> keep;
    for (QWebEnginePage::WebAction a :
         {QWebEnginePage::Copy, QWebEnginePage::SelectAll, QWebEnginePage::Unselect,
          QWebEnginePage::CopyLinkToClipboard, QWebEnginePage::CopyImageToClipboard,
          QWebEnginePage::CopyImageUrlToClipboard}) {
        keep.append(page()->action(a));
    }
    for (QAction* a : menu->actions()) {
        if (!a->isSeparator() && !keep.contains(a)) {
            menu->removeAction(a);
        }
    }
    if (menu->actions().isEmpty()) {
        return;
    }
    dialogs().popupMenu(*menu, event->globalPos());
}

} // namespace platform
