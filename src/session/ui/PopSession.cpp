#include "session/ui/PopSession.h"

#include "platform/ClickableLabel.h"
#include "platform/Dialogs.h"
#include "platform/HeaderCache.h"
#include "platform/TcpTransport.h"
#include "platform/TextCodec.h"
#include "session/ui/HeaderListInput.h"
#include "session/ui/PopSignIn.h"
#include "settings/SettingsKeys.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <exception>
#include <utility>

using session::SessionEvent;
using Closed = platform::Transport::State;

namespace {

const QString kGetMailTip = QStringLiteral("Connect to server and get message headers");
const QString kDisconnectTip =
    QStringLiteral("Disconnect from server and delete messages marked D");
const QString kDisconnected = QStringLiteral("Disconnected");

} // namespace

using ViewMode = session::MailboxSession::ViewMode;

PopSession::PopSession(const Controls& controls, const AccountRecord& account,
                       std::function<void()> openSetup, std::function<void()> askPassword)
    : ui(controls), account(account), openSetup(std::move(openSetup)),
      askPassword(std::move(askPassword)), sck(platform::createTcpTransport()),
      core(&platform::TextCodec::headerUtf8), debugBuffer(new DebugBuffer(ui.window)),
      view(new ListingView(ui.lstHeaders, ui.lblStatus, core.rows())), replyTimer(new QTimer(this)),
      signIn(new PopSignIn(this, ui.window, core, [this] { pump(); })) {
    wireTransport();
    replyTimer->setObjectName(QStringLiteral("silenceClock"));
    replyTimer->setInterval(kSilenceTickMs);
    connect(replyTimer, &QTimer::timeout, this, [this] {
        core.elapsed(kSilenceTickMs / 1000);
        pump();
    });
    connect(ui.cmdConnect, &QPushButton::clicked, this, &PopSession::cmdConnect_Click);
    connect(ui.cmdReset, &QPushButton::clicked, this, &PopSession::cmdReset_Click);
    connect(ui.cmdView, &QPushButton::clicked, this, &PopSession::cmdView_Click);
    connect(ui.cmdDelete, &QPushButton::clicked, this, &PopSession::cmdDelete_Click);
    input = new HeaderListInput(ui.window, ui.lstHeaders, ui.cmdDelete, view,
                                {[this](int row) { download(row); }, [this] { cmdDelete_Click(); },
                                 [this](int row) {
                                     core.remove(row, ui.mnConfirmDelete->isChecked());
                                     pump();
                                 }});
    connect(ui.lstHeaders, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem*) { lstHeaders_DblClick(); });
    connect(ui.lblStatus, &ClickableLabel::clicked, this,
            [this] { QApplication::clipboard()->setText(ui.lblStatus->text()); });
    connect(ui.mnExit, &QAction::triggered, this, &PopSession::Exit);
    connect(ui.mnShowBuffer, &QAction::triggered, debugBuffer, &DebugBuffer::show);
}

void PopSession::setTransport(std::unique_ptr<platform::Transport> replacement) {
    sck->disconnect(this);
    sck->close();
    sck = std::move(replacement);
    wireTransport();
    core.closed();
}

void PopSession::openHeaderCache(const QString& path) {
    core.setHeaderStore(nullptr);
    headerCache.reset(); // one connection to a file at a time
    headerCache = std::make_shared<platform::HeaderCache>(path);
    core.setHeaderStore(headerCache.get());
}

void PopSession::wireTransport() {
    connect(sck.get(), &platform::Transport::connected, this, &PopSession::onConnected);
    connect(sck.get(), &platform::Transport::readyRead, this, &PopSession::onReadyRead);
    connect(sck.get(), &platform::Transport::closed, this, &PopSession::onClosed);
    connect(sck.get(), &platform::Transport::error, this, &PopSession::onError);
    connect(sck.get(), &platform::Transport::encrypted, this, [this](const QString& summary) {
        core.tlsStarted(summary.toStdString());
        pump();
    });
    connect(sck.get(), &platform::Transport::certificateRefused, this,
            &PopSession::onCertificateRefused);
}

// --- What the rules report ---------------------------------------------------------------------

void PopSession::pump() {
    if (pumping) {
        return; // the outer call shows the rest
    }
    pumping = true;
    while (std::optional<SessionEvent> event = core.next()) {
        show(*event);
    }
    pumping = false;
}

void PopSession::show(SessionEvent& e) {
    switch (e.kind) {
    case SessionEvent::Kind::Write:
        sck->write(e.text);
        break;
    case SessionEvent::Kind::StartTls:
        sck->startTls();
        break;
    case SessionEvent::Kind::Close:
        CloseSession();
        break;
    case SessionEvent::Kind::Status:
        setStatus(QString::fromStdString(e.text));
        break;
    case SessionEvent::Kind::BusyNote:
        clearNotePending = true;
        [[fallthrough]];
    case SessionEvent::Kind::Note:
        ui.lblMsg->setText(QString::fromStdString(e.text));
        break;
    case SessionEvent::Kind::Pointer:
        busyPointer(e.flag);
        break;
    case SessionEvent::Kind::RowsCleared:
        view->clear();
        break;
    case SessionEvent::Kind::RowAdded:
        view->rowAdded(core.listing());
        break;
    case SessionEvent::Kind::RowMarked:
        view->markRow(e.row, e.flag);
        break;
    case SessionEvent::Kind::Select:
        e.flag ? view->selectAfter(e.row) : view->select(e.row);
        break;
    case SessionEvent::Kind::Box:
        showBox(QString::fromStdString(e.text), e.row, e.flag);
        break;
    case SessionEvent::Kind::DownloadStarting:
        Q_EMIT downloadStarting();
        break;
    case SessionEvent::Kind::Downloaded:
        Q_EMIT messageDownloaded(std::make_shared<const std::string>(std::move(e.text)));
        break;
    case SessionEvent::Kind::ListingEnded:
        view->flush();
        if (view->rowOrder() != session::RowOrder::Server) {
            view->sortRows(view->rowOrder()); // the rows listed since the choice
        }
        Q_EMIT listingEnded();
        break;
    case SessionEvent::Kind::Later:
        view->flush(); // the window shows these rows, paints and takes input first
        QMetaObject::invokeMethod(
            this,
            [this, id = sessionId] {
                if (id == sessionId) {
                    core.resume();
                    pump();
                }
            },
            Qt::QueuedConnection);
        break;
    case SessionEvent::Kind::DebugText:
    case SessionEvent::Kind::DebugBytes:
    case SessionEvent::Kind::DebugCut:
        if (!e.flag || ui.mnEnableDebug->isChecked()) {
            debugBuffer->add(e);
        }
        break;
    case SessionEvent::Kind::TokenRefused:
        return signIn->renew(account);
    case SessionEvent::Kind::DebugClear:
        debugBuffer->clear();
        break;
    }
}

// A box asked for inside a socket handler is shown from the event loop; the rules hold the
// replies until it is closed (id 0: a box of the window's own, nothing waits for it).
void PopSession::showBox(const QString& text, int id, bool question) {
    auto open = [this, text, id, question] {
        const platform::MsgAnswer answer = platform::dialogs().messageBox(
            ui.window, text, question ? platform::MsgButtons::YesNo : platform::MsgButtons::Ok);
        if (id != 0) {
            core.boxClosed(id, answer == platform::MsgAnswer::Yes);
            pump();
        }
    };
    if (inSocketHandler) {
        QMetaObject::invokeMethod(this, open, Qt::QueuedConnection);
    } else {
        open();
    }
}

void PopSession::setStatus(const QString& text) {
    view->setStatus(text, core.listing());
}

void PopSession::busyPointer(bool busy) {
    busy ? ui.window->setCursor(Qt::WaitCursor) : ui.window->unsetCursor();
}

void PopSession::setConnectButton(bool disconnect) {
    ui.cmdConnect->setText(disconnect ? QStringLiteral("Disconnect") : QStringLiteral("Get Mail"));
    ui.cmdConnect->setToolTip(disconnect ? kDisconnectTip : kGetMailTip);
}

// --- The transport ---------------------------------------------------------------------------

void PopSession::cmdConnect_Click() {
    try {
        if (isConnected()) {
            core.disconnect();
            pump();
            return;
        }
        if (core.stage() == session::MailboxSession::Stage::Connecting) {
            afterClose = AfterClose::Nothing; // a second press ends the attempt
            busyPointer(false);
            return CloseSession();
        }
        if (account.POPAddress.empty() && account.EmailUsername.empty()) {
            // Nothing is set up yet: the account comes first, and cancelling it is no error.
            if (openSetup) {
                openSetup();
            }
            if (account.POPAddress.empty() || account.EmailUsername.empty()) {
                return;
            }
        }
        if (account.EmailPass.empty() && account.POPAuth != settings::PopAuth::OAuth2) {
            platform::dialogs().messageBox(ui.window, QStringLiteral("Please enter password"));
            if (askPassword) {
                askPassword();
            }
        }
        if (account.EmailUsername.empty() || account.POPAddress.empty()) {
            platform::dialogs().messageBox(
                ui.window, QStringLiteral("Setup not complete. Please fill all fields."));
            if (openSetup) {
                openSetup();
            }
            return;
        }
        if (!signIn->ready(account, [this] { cmdConnect_Click(); })) {
            return;
        }
        // Whatever the old socket is doing, it ends here; a socket that takes its time to
        // close lets the connection follow on its close event.
        CloseSession();
        core.begin(account);
        replyTimer->start(); // the connection and its handshake are timed too
        pump();
        busyPointer(true);
        Q_EMIT sessionStarting();
        setStatus(QStringLiteral("Attempting connection with ") +
                  QString::fromStdString(account.POPAddress) + QStringLiteral(" ..."));
        if (sck->state() == Closed::Closed) {
            connectNow();
        } else {
            afterClose = AfterClose::Connect;
        }
    } catch (const std::exception& e) {
        platform::dialogs().messageBox(ui.window, QStringLiteral("Error in cmdConnect_Click():") +
                                                      QString::fromUtf8(e.what()));
        busyPointer(false);
    }
}

void PopSession::connectNow() {
    if (!sck->connectToPopServer(account)) {
        core.closed(); // nothing to wait for
        replyTimer->stop();
        platform::dialogs().messageBox(
            ui.window, QStringLiteral("Error in cmdConnect_Click():Invalid server address ") +
                           QString::fromStdString(account.POPAddress));
        busyPointer(false);
    }
}

void PopSession::onConnected() {
    core.connected();
    pump();
    setConnectButton(true);
    if (ui.lblMsg->text() == kDisconnected) {
        ui.lblMsg->clear();
    }
    Q_EMIT connectionChanged(true);
}

void PopSession::onReadyRead() {
    const bool outer = std::exchange(inSocketHandler, true);
    core.received(sck->readAll());
    pump();
    inSocketHandler = outer;
}

void PopSession::CloseSession() {
    const bool wasConnected = isConnected();
    core.closed(); // before the transport's close event can come back here
    if (sck->state() != Closed::Closed) {
        sck->close();
    }
    ++sessionId;
    replyTimer->stop();
    view->forgetSelection();
    pump();
    setConnectButton(false);
    if (!view->status().contains(QStringLiteral("Error"))) {
        setStatus(kDisconnected);
    }
    if (wasConnected) {
        Q_EMIT connectionChanged(false);
    }
}

void PopSession::onClosed() {
    const AfterClose after = std::exchange(afterClose, AfterClose::Nothing);
    if (after == AfterClose::Connect) {
        connectNow();
        return;
    }
    core.serverClosed(); // nothing, when the session had ended already
    pump();
    CloseSession();
    if (after == AfterClose::Exit) {
        ui.window->close();
    }
}

void PopSession::onError(int errorNumber, const QString& description) {
    const bool outer = std::exchange(inSocketHandler, true);
    afterClose = AfterClose::Nothing;
    busyPointer(false);
    setStatus(platform::SocketErrorStatus(errorNumber, QString::fromStdString(account.POPAddress)));
    CloseSession();
    showBox(QStringLiteral("sckPOP Error [") + QString::number(errorNumber) +
                QStringLiteral("]: ") + description,
            0, false);
    inSocketHandler = outer;
}

void PopSession::onCertificateRefused(const platform::CertificateProblem& problem) {
    busyPointer(false);
    setStatus(QStringLiteral("Error: ") + problem.what.section(QLatin1Char('\n'), 0, 0));
    CloseSession();
    const unsigned id = sessionId;
    // The question is asked from the event loop, never inside the socket's handler.
    QMetaObject::invokeMethod(
        this,
        [this, problem, id] {
            if (id != sessionId || isConnected()) {
                return; // another connection has started meanwhile
            }
            if (platform::AskToTrustCertificate(ui.window, problem,
                                                QString::fromStdString(account.POPAddress))) {
                platform::PinCertificate(account.Isp, settings::keys::kPOPCertificate,
                                         problem.fingerprint);
                cmdConnect_Click();
            }
        },
        Qt::QueuedConnection);
}

void PopSession::ReplyTimeout() {
    core.elapsed(session::MailboxSession::kSilenceLimitSeconds);
    pump();
}

void PopSession::CloseForUnload() {
    afterClose = AfterClose::Nothing;
    view->forgetSelection();
    if (sck->state() != Closed::Closed) {
        CloseSession();
    }
    debugBuffer->close();
}

void PopSession::Exit() {
    if (sck->state() != Closed::Closed) {
        CloseSession();
    }
    if (sck->state() == Closed::Closed) {
        ui.window->close();
    } else {
        afterClose = AfterClose::Exit;
    }
}

void PopSession::Timer1_Timer() {
    if (std::exchange(clearNotePending, false)) {
        ui.lblMsg->clear();
    }
    const Closed state = sck->state();
    if (state == Closed::Connected) {
        core.tick(ui.mnKeepAlive->isChecked());
        pump();
    }
    if (state == Closed::Closed && ui.lblMsg->text() != kDisconnected) {
        if (isConnected()) {
            CloseSession(); // the close event never came
        }
        setConnectButton(false);
        ui.lblMsg->setText(kDisconnected);
        busyPointer(false);
    } else if (ui.lblMsg->text() == kDisconnected) {
        ui.lblMsg->clear();
    }
}

void PopSession::cmdReset_Click() {
    core.reset();
    pump();
}

void PopSession::download(int row) {
    try {
        core.view(row, ViewMode::DoubleClick);
        pump();
    } catch (const std::exception&) {
        platform::dialogs().messageBox(ui.window, QStringLiteral("Error in lstHeaders()"));
    }
}

void PopSession::cmdView_Click() {
    core.view(view->currentRow(),
              ui.mnFilterSpam->isChecked() ? ViewMode::ViewSkippingSpam : ViewMode::View);
    pump();
}

void PopSession::cmdDelete_Click() {
    core.removeRows(view->selectedRows(), ui.mnConfirmDelete->isChecked());
    pump();
}
