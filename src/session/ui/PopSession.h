#pragma once

#include "platform/Transport.h"
#include "session/MailboxSession.h"
#include "session/RowOrder.h"
#include "session/ui/DebugBuffer.h"
#include "session/ui/HeaderListInput.h"
#include "session/ui/ListingView.h"
#include "settings/AccountRecord.h"
#include "settings/WindowGeometry.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

class ClickableLabel;
class QAction;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class QTimer;
class PopSignIn;
class QWidget;
class frmDebug;
namespace platform {
class HeaderCache;
}

// The reader window's POP3 session: it moves bytes between the transport and the session
// rules of the core (session::MailboxSession), runs the timers, and shows what the rules
// report on the controls it is given (status texts, header rows, the connect button, the
// pointer, message boxes). No message box opens inside a socket handler: a box is shown from
// the event loop, and the replies that arrive while it is open are read after it.
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
    // openSetup shows the account setup dialog; askPassword, with the password field first.
    PopSession(const Controls& controls, const AccountRecord& account,
               std::function<void()> openSetup, std::function<void()> askPassword = {});
    ~PopSession() override { sck->disconnect(this); }

    // Replaces the transport (tests give a fake one). Any session on the old one ends.
    void setTransport(std::unique_ptr<platform::Transport> replacement);
    platform::Transport& transport() { return *sck; }
    // The largest reply (or status line) accepted before the session is ended.
    void setMaxReplyBytes(std::size_t bytes) { core.setMaxReplyBytes(bytes); }
    // Keeps what header rows are built from between sessions, in the file at path (empty:
    // the user's cache folder), for servers that give unique ids.
    void openHeaderCache(const QString& path = {});

    bool isConnected() const { return core.isConnected(); }
    void cmdConnect_Click();
    void cmdReset_Click();
    void CloseSession();
    void Timer1_Timer();
    void ReplyTimeout();                        // the server has been silent for the whole limit
    static constexpr int kSilenceTickMs = 1000; // the "silenceClock" timer, while connecting on
    // The window is unloading: close the connection without QUIT.
    void CloseForUnload();
    // File > Exit: close without QUIT, then close the window.
    void Exit();
    bool replyInFlight() const { return core.replyInFlight(); }
    // Clears lblMsg on the next timer tick (for notes shown by others).
    void ClearNoteOnNextTick() { clearNotePending = true; }

    const session::HeaderList& headers() const { return core.rows(); }
    void lstHeaders_DblClick() { download(view->currentRow()); }
    void cmdView_Click();
    // Every selected row the filter shows (one row: as the described single delete).
    void cmdDelete_Click();
    // The right button on cmdDelete: delete the current row, then download the row the
    // selection moves to.
    void DeleteAndViewNext() { input->removeAndOpenNext(); }
    // The header list shown in this order; rows keep their message numbers and marks.
    void SortRows(session::RowOrder order) { view->sortRows(order); }
    // The pop-up menu of a header row ("Select All From This Sender", "... With This Subject").
    QMenu* RowMenu(int row, QWidget* parent) { return input->rowMenu(row, parent); }
    // Ctrl+F: the filter line above the list, when the list has one.
    void ShowFilter() { input->showFilter(); }

    void AddDebugText(const QString& text) { debugBuffer->appendText(text); }
    void AddDebugBytes(std::string_view bytes) { debugBuffer->appendBytes(bytes); }
    frmDebug* debugWindow(bool create = false) { return debugBuffer->window(create); }
    void ShowBuffer() { debugBuffer->show(); }
    void ShowRemovedTags(const std::string& tags) { debugBuffer->showRemovedTags(tags); }
    settings::WindowGeometry debugWindowGeometry() const { return debugBuffer->geometry(); }

Q_SIGNALS:
    void sessionStarting();  // Get Mail: what is shown about a message goes
    void downloadStarting(); // just before RETR is sent
    // The RETR reply, dot-unstuffed, with its status line and end mark (not copied for the
    // signal: a message can be large).
    void messageDownloaded(const std::string& reply);
    // The listing finished ("n Messages listed" or "No Message") or ended with the session.
    void listingEnded();
    void connectionChanged(bool connected);

private:
    void wireTransport();
    void connectNow();
    void onConnected();
    void onReadyRead();
    void onClosed();
    void onError(int number, const QString& description);
    void onCertificateRefused(const platform::CertificateProblem& problem);
    void pump(); // shows what the rules reported, in order
    void show(session::SessionEvent& event);
    void showBox(const QString& text, int id, bool question);
    void setConnectButton(bool disconnect);
    void setStatus(const QString& text);
    void busyPointer(bool busy);
    void download(int row);

    enum class AfterClose { Nothing, Connect, Exit };

    Controls ui;
    const AccountRecord& account;
    std::function<void()> openSetup, askPassword;
    std::unique_ptr<platform::Transport> sck;
    session::MailboxSession core;
    std::shared_ptr<platform::HeaderCache> headerCache;
    DebugBuffer* debugBuffer;
    ListingView* view;
    HeaderListInput* input;
    QTimer* replyTimer; // the silence clock
    PopSignIn* signIn;  // the OAuth2 token
    AfterClose afterClose = AfterClose::Nothing;
    unsigned sessionId = 0; // counts connections, so a late question can tell

    bool clearNotePending = false;
    bool inSocketHandler = false;
    bool pumping = false; // re-entry guard for pump()
};
