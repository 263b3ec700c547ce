#pragma once

#include "platform/Transport.h"
#include "session/Capabilities.h"
#include "session/HeaderList.h"
#include "session/ListingLoop.h"
#include "session/Pop3Engine.h"
#include "settings/AccountRecord.h"
#include "settings/WindowGeometry.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class ClickableLabel;
class QAction;
class QLabel;
class QListWidget;
class QPushButton;
class QTimer;
class QWidget;
class frmDebug;
namespace platform {
class HeaderCache;
}

// The reader window's POP3 session: it moves bytes between the transport and the engine and
// shows what the engine reports on the controls it is given (status texts, header rows, the
// connect button, the pointer, message boxes). The protocol itself, the in-flight queue and
// the listing loop live in the core; nothing here ever waits, and no message box opens inside
// a socket handler: a box is shown from the event loop, and the replies that arrive while it
// is open are read after it.
class PopSession : public QObject {
    Q_OBJECT
public:
    struct Controls {
        QWidget* window = nullptr; // the pointer, message box parent, close() on Exit
        QPushButton* cmdConnect = nullptr;
        QPushButton* cmdReset = nullptr;
        QPushButton* cmdView = nullptr;
        QPushButton* cmdDelete = nullptr;
        QListWidget* lstHeaders = nullptr;
        ClickableLabel* lblStatus = nullptr;
        QLabel* lblMsg = nullptr;
        QAction* mnKeepAlive = nullptr;
        QAction* mnEnableDebug = nullptr;
        QAction* mnFilterSpam = nullptr;
        QAction* mnConfirmDelete = nullptr;
        QAction* mnExit = nullptr;
        QAction* mnShowBuffer = nullptr;
    };
    // openSetup shows the account setup dialog modally; askPassword does the same with the
    // password field first.
    PopSession(const Controls& controls, const AccountRecord& account,
               std::function<void()> openSetup, std::function<void()> askPassword = {});
    ~PopSession() override;

    // Replaces the transport (tests give a fake one). Any session on the old one ends.
    void setTransport(std::unique_ptr<platform::Transport> replacement);
    platform::Transport& transport() { return *sck; }
    // The largest reply (or status line) accepted before the session is ended.
    void setMaxReplyBytes(std::size_t bytes);
    // Keeps what header rows are built from between sessions, in the file at path (empty:
    // the user's cache folder), for servers that give unique ids.
    void openHeaderCache(const QString& path = {});

    // --- Connection ---------------------------------------------------------------------
    bool isConnected() const { return engine.state() != session::Pop3State::Closed; }
    void cmdConnect_Click();
    void cmdReset_Click();
    void CloseSession();
    void Timer1_Timer();
    // The server has been silent for kReplyTimeoutMs while a reply was awaited.
    void ReplyTimeout();
    static constexpr int kReplyTimeoutMs = 60000;
    // The window is unloading: close the connection without QUIT.
    void CloseForUnload();
    // File > Exit: close without QUIT, then close the window.
    void Exit();
    // A multi-line reply (LIST, TOP, RETR) is outstanding or the listing runs.
    bool replyInFlight() const;
    session::Pop3State state() const { return engine.state(); }
    // Clears lblMsg on the next timer tick (for notes shown by others).
    void ClearNoteOnNextTick() { clearNotePending = true; }

    // --- Listing, retrieval, deletion (PopSessionMailbox.cpp) ----------------------------
    const session::HeaderList& headers() const { return rows; }
    void lstHeaders_DblClick();
    void cmdView_Click();
    void cmdDelete_Click();
    // The right button on cmdDelete: delete, then download the row the selection moves to.
    void DeleteAndViewNext();

    // --- Debug buffer ---------------------------------------------------------------------
    void AddDebugText(const QString& text);
    void AddDebugBytes(std::string_view bytes);
    // The debug window, created hidden when asked to and absent.
    frmDebug* debugWindow(bool create = false);
    void ShowBuffer();
    // Shows tags in the debug window modally; its own text comes back when it is closed.
    void ShowRemovedTags(const std::string& tags);
    settings::WindowGeometry debugWindowGeometry() const;

Q_SIGNALS:
    void sessionStarting();  // Get Mail: what is shown about a message goes
    void downloadStarting(); // just before RETR is sent
    // The RETR reply, dot-unstuffed, with its status line and end mark.
    void messageDownloaded(std::string reply);
    // The listing finished ("n Messages listed" or "No Message") or ended with the session.
    void listingEnded();
    void connectionChanged(bool connected);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // --- PopSession.cpp
    void wireTransport();
    void onConnected();
    void onReadyRead();
    void readAndDrain();
    void onClosed();
    void onError(int number, const QString& description);
    void drain();
    void handle(const session::Pop3Event& event);
    void onOk(const session::Pop3Request& request);
    void onErr(const std::optional<session::Pop3Request>& request);
    void failTooLarge();
    bool send(const session::Pop3Request& request, std::string_view argument = {});
    void flushOutgoing();
    void connectNow();
    // Shows a box from the event loop, not from the handler that asks for it; the replies
    // wait until it is closed, then then() runs (unless the session ended meanwhile).
    void deferBox(const QString& text, std::function<void()> then = {});
    void watchReplies();
    void setConnectButton(bool disconnect, const QString& toolTip);
    void setStatus(const QString& text);
    QString status() const;
    void setNote(const QString& text);
    void busyPointer();
    void defaultPointer();

    // --- PopSessionMailbox.cpp
    void startListing();
    void onListReply(const std::string& reply);
    void onUidlReply(const std::string& reply);
    void readCache(std::shared_ptr<session::KnownSources> known, std::string after);
    void beginRows();
    // Runs step from the event loop, unless the session has ended by then.
    void later(std::function<void()> step);
    void advanceListing();
    void sendTops();
    int listReadyRows(int before, int limit);
    void addListedRow(int number, const std::string& row, const std::string& uid);
    void onTopReply(const session::Pop3Request& request, const std::string& reply);
    void onTopRefused(const session::Pop3Request& request);
    void storeNewSources();
    void endListing();
    void scheduleListingView();
    void flushListingView();
    void showRow(int row);
    void SetRowMark(int row, char mark);
    void SelectNextRow(int from);
    void onRetrReply(const session::Pop3Request& request, std::string reply);
    void onCapaReply(session::Capabilities announced);
    QString capabilitiesText() const;
    void onDeleted(const session::Pop3Request& request);
    bool refuseWhileBusy();
    bool download(int row);
    void cancelViewNext();
    void clearDebugBuffer();
    void onPiece(const session::Pop3Request& request, const std::string& piece);

    Controls ui;
    const AccountRecord& account;
    std::function<void()> openSetup, askPassword;
    std::unique_ptr<platform::Transport> sck;
    session::Pop3Engine engine;
    session::Capabilities capabilities; // what the server of this connection said it can do
    session::ListingLoop listingLoop;
    session::HeaderList rows;
    QPointer<frmDebug> debug;

    bool listing = false;      // the TOP loop runs
    bool listComplete = false; // the last row is listed; downloads may start
    bool retrieving = false;   // a download's reply is awaited
    bool advanceAfterView = false;
    bool clearNotePending = false;
    bool draining = false; // re-entry guard for drain()
    bool boxOpen = false;  // a box is pending or open: replies wait
    bool inSocketHandler = false;
    unsigned sessionId = 0; // counts sessions, so a late box continuation can tell
    bool closingSession = false;
    bool connectWhenClosed = false;
    bool exitWhenClosed = false;
    int packetCount = 0; // TOP reply pieces since Get Mail (debug text only)
    QTimer* replyTimer;
    QTimer* listingView;
    int rowsShown = 0; // rows of the model already in lstHeaders
    QString pendingStatus;
    bool statusPending = false;
    QMetaObject::Connection viewNext;
    int viewNextFrom = -1;
    std::shared_ptr<platform::HeaderCache> headerCache;
    std::string cacheAccount;  // the account's key in the cache
    bool uidsAwaited = false;  // the rows wait for the UIDL reply
    bool uidsComplete = false; // every listed message has a unique id
    std::vector<std::pair<std::string, std::string>> newSources; // not yet in the cache
    std::size_t topBytes = 0; // bytes of the TOP commands not answered yet
    bool advancePosted = false;
    bool topWorks = false; // the server answered a TOP of this listing

    // --- TLS (PopSessionReplies.cpp)
    void onEncrypted(const QString& summary);
    void onCertificateRefused(const platform::CertificateProblem& problem);
    // STARTTLS could not be had: the attempt ends before anything of the login is sent.
    void refuseLogin(const QString& reason);
    bool tlsActive = false; // the connection is encrypted (TLS, or after STLS)
    QString tlsText;        // protocol, cipher and certificate, for the debug buffer
};
