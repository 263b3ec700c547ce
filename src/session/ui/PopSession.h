#pragma once

#include "platform/Transport.h"
#include "session/ReplyScanner.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class frmPOP;
class frmDebug;
class QListWidgetItem;
class QTimer;

// The POP3 conversation of the reader window: connect, log in, list the mailbox one TOP at
// a time, download and delete messages, keep an idle session alive, and QUIT.
//
// Replies are framed as they arrive: a status line ends at CR LF, a multi-line reply (LIST,
// TOP, RETR) at its end mark, so the result never depends on how the server's bytes are
// split into pieces. Each command sent is remembered until its reply has been handled, in
// order, so a QUIT sent while a listing reply is still arriving waits its turn instead of
// taking the listing's data. Nothing here ever waits: every step is a continuation on a
// socket event, a timer tick or a user command.
class PopSession : public QObject {
    Q_OBJECT
public:
    explicit PopSession(frmPOP& window);
    ~PopSession() override;

    // Replaces the transport (tests give a fake one). Any session on the old one ends.
    void setTransport(std::unique_ptr<platform::Transport> replacement);
    platform::Transport& transport() { return *sck; }
    // The largest reply (or status line) accepted before the session is ended.
    void setMaxReplyBytes(std::size_t bytes);

    // --- Engine ---------------------------------------------------------------------------
    // The one way to send a POP3 command. False when nothing could be sent.
    bool SendCommand(const std::string& command);
    void cmdConnect_Click();
    void CloseSession();
    void Timer1_Timer();
    void cmdReset_Click();
    // The window is unloading: close the connection without QUIT.
    void CloseForUnload();
    // File > Exit: close without QUIT, then close the window.
    void Exit();
    bool isConnectedCaption() const;

    // --- Listing --------------------------------------------------------------------------
    void SetRowMark(std::string_view mark);
    void SelectNextRow();
    // The message number the row was listed for (0 when there is no such row).
    int rowMessageNumber(int row) const;

    // --- Retrieval and deletion -------------------------------------------------------------
    void lstHeaders_DblClick();
    void cmdView_Click();
    void cmdDelete_Click();
    // The right button on cmdDelete: delete, then download the row the selection moves to.
    void DeleteAndViewNext();

    // --- Debug buffer -----------------------------------------------------------------------
    void AddDebugText(const QString& text);
    void AddDebugBytes(std::string_view bytes);
    // The debug window, created hidden when asked to and absent.
    frmDebug* debugWindow(bool create = false);
    void ShowBuffer();
    void ShowRemovedTags();

    // A multi-line reply (LIST, TOP, RETR) is outstanding.
    bool replyInFlight() const;

Q_SIGNALS:
    // The listing finished ("n Messages listed" or "No Message") or ended with the session.
    void listingEnded();
    // A downloaded message has been handed to the decoder.
    void messageRetrieved();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A command whose reply has not been handled yet.
    struct Pending {
        std::string command; // its first four characters, as LastCommand holds them
        int row = -1;        // the row a RETR or DELE was sent for
        int number = 0;      // the message number a TOP was sent for
    };

    void wireTransport();
    void onConnected();
    void onReadyRead();
    void onClosed();
    void onError(int number, const QString& description);
    void processIncoming();
    bool processStatusLine();
    bool processMultiLine();
    void onOkReply(const Pending& pending);
    void onErrReply(const Pending& pending);
    void onResponseWithoutCommand();
    void onMultiLineComplete(const Pending& pending);
    void failTooLarge();
    bool send(const std::string& command, Pending pending);
    void connectNow();
    void setConnectButton(bool disconnect, const QString& toolTip);
    void setStatus(const QString& text);
    QString status() const;
    void scheduleListingView();
    void flushListingView();
    void setNote(const QString& text);
    void busyPointer();
    void defaultPointer();

    void OnListComplete();
    void nextTop();
    void OnTopComplete(const Pending& pending);
    void finishListing();
    void endListing();
    void addRow(const std::string& row, int number);
    void OnRetrComplete(const Pending& pending);
    void OnDeleted(const Pending& pending);
    bool refuseWhileBusy();
    void prepareDownload();
    void showTextView();
    bool download(int row);
    void cancelViewNext();
    void clearDebugBuffer();
    std::string rowText(int row) const;

    frmPOP& window;
    std::unique_ptr<platform::Transport> sck;
    QPointer<frmDebug> debug;

    std::deque<Pending> pending;
    std::string inbox;        // received bytes not handled yet
    std::size_t inboxPos = 0; // start of the unhandled part of inbox
    std::size_t lineScan = 0; // where the search for the status line's CR LF goes on
    bool collecting = false;  // inside a multi-line reply
    session::ReplyScanner scanner;
    bool processing = false; // re-entry guard: message boxes run a nested event loop
    bool junkSeen = false;   // one "Response without command" per run of stray lines
    bool listing = false;    // the TOP loop is running
    std::size_t maxReplyBytes = session::ReplyScanner::kMaxReplyBytes;
    bool closingSession = false;
    bool connectWhenClosed = false;
    bool exitWhenClosed = false;
    QTimer* listingView;
    std::vector<std::pair<std::string, int>> pendingRows; // rows not on the screen yet
    QString pendingStatus;
    bool statusPending = false;
    QMetaObject::Connection viewNext;
    int viewNextFrom = -1;
};
