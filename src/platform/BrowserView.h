#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <QWebEngineView>
#include <functional>
#include <memory>
#include <optional>

class QWebEngineProfile;

namespace platform {

// The HTML view of the reader window. Mail is hostile input, so the view runs no script,
// no plugin, reads no local file, never navigates away from the message (a clicked link
// goes to the desktop's browser), and can be told to let no request leave it at all.
// Documents are served through a private URL scheme, so any size displays.
class BrowserView : public QWebEngineView {
    Q_OBJECT
public:
    // The message scheme must be known before the application object exists.
    static void registerScheme();

    explicit BrowserView(QWidget* parent = nullptr);
    ~BrowserView() override;

    // Shows html (bytes in the given charset; empty charset: the document decides, else
    // Windows-1252). The previous document is dropped.
    void showDocument(const QByteArray& html, const QByteArray& charset = {});

    // "No Picture in HTML": no request for anything outside the message leaves the view.
    void setBlockRemoteContent(bool block);
    bool blocksRemoteContent() const;

    // True from the start of a load until it finishes.
    bool isBusy() const { return busy; }
    // The address of what the view shows; empty for a message written into it (and, as the
    // view never navigates away, that is all it ever shows).
    QString currentAddress() const;

    // Where a clicked link goes; the desktop's browser unless replaced (tests).
    using LinkOpener = std::function<void(const QUrl&)>;
    void setLinkOpener(LinkOpener opener);
    // Only these links are handed on; anything else (file:, javascript:, ...) is dropped.
    static bool isOpenableLink(const QUrl& url);

    // Where the message's own pictures come from: those referred to as cid:id (RFC 2392) and
    // those referred to by the Content-Location of a part (a relative address in the HTML).
    // They are part of the message, so no network is involved; "No Picture in HTML" refuses
    // them as it refuses every picture. They load only as pictures (img, CSS backgrounds),
    // never as documents in frames, objects or embeds, and only image types are served.
    struct InlinePicture {
        QByteArray contentType, bytes;
    };
    using PictureSource =
        std::function<std::optional<InlinePicture>(const QString& reference, bool cid)>;
    void setPictureSource(PictureSource source);

    // Requests the view refused to make, for the curious and for tests.
    int blockedRequestCount() const;

Q_SIGNALS:
    void statusTextChanged(const QString& text);
    void downloadBegun();
    void downloadComplete();
    void documentComplete();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    struct Private;
    friend struct Private;
    void openLink(const QUrl& url);

    std::unique_ptr<Private> d;
    bool busy = false;
};

} // namespace platform
