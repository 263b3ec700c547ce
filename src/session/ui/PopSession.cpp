#include "session/ui/PopSession.h"

#include "platform/ClickableLabel.h"
#include "platform/Dialogs.h"
#include "platform/TcpTransport.h"
#include "platform/TextCodec.h"
#include "session/ui/frmDebug.h"
#include "settings/ServerAddress.h"
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

using session::Pop3Command;
using session::Pop3Request;
using session::Pop3State;

namespace {

const QString kGetMailTip = QStringLiteral("Connect to server and get message headers");
const QString kDisconnectTip =
    QStringLiteral("Disconnect from server and delete messages marked D");
const QString kConnectingTip = QStringLiteral("Close connection with server");
const QString kDisconnected = QStringLiteral("Disconnected");

} // namespace

PopSession::PopSession(const Controls& controls, const AccountRecord& account,
                       std::function<void()> openSetup, std::function<void()> askPassword)
    : ui(controls), account(account), openSetup(std::move(openSetup)),
      askPassword(std::move(askPassword)), sck(platform::createTcpTransport()),
      replyTimer(new QTimer(this)), listingView(new QTimer(this)) {
    wireTransport();
    replyTimer->setSingleShot(true);
    replyTimer->setInterval(kReplyTimeoutMs);
    connect(replyTimer, &QTimer::timeout, this, &PopSession::ReplyTimeout);
    // While the listing runs, rows and the status line reach the screen a few times a second
    // rather than once per reply: painting after every TOP would cost more than the TOP.
    listingView->setSingleShot(true);
    listingView->setInterval(40);
    connect(listingView, &QTimer::timeout, this, &PopSession::flushListingView);
    connect(ui.cmdConnect, &QPushButton::clicked, this, &PopSession::cmdConnect_Click);
    connect(ui.cmdReset, &QPushButton::clicked, this, &PopSession::cmdReset_Click);
    connect(ui.cmdView, &QPushButton::clicked, this, &PopSession::cmdView_Click);
    connect(ui.cmdDelete, &QPushButton::clicked, this, &PopSession::cmdDelete_Click);
    ui.cmdDelete->installEventFilter(this);
    connect(ui.lstHeaders, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem*) { lstHeaders_DblClick(); });
    connect(ui.lblStatus, &ClickableLabel::clicked, this,
            [this] { QApplication::clipboard()->setText(ui.lblStatus->text()); });
    connect(ui.mnExit, &QAction::triggered, this, &PopSession::Exit);
    connect(ui.mnShowBuffer, &QAction::triggered, this, &PopSession::ShowBuffer);
}

PopSession::~PopSession() {
    cancelViewNext();
    if (sck) {
        sck->disconnect(this);
    }
}

void PopSession::setTransport(std::unique_ptr<platform::Transport> replacement) {
    if (sck) {
        sck->disconnect(this);
        sck->close();
    }
    sck = std::move(replacement);
    wireTransport();
    engine.closed();
}

void PopSession::setMaxReplyBytes(std::size_t bytes) {
    engine.setMaxReplyBytes(bytes);
}

void PopSession::wireTransport() {
    connect(sck.get(), &platform::Transport::connected, this, &PopSession::onConnected);
    connect(sck.get(), &platform::Transport::readyRead, this, &PopSession::onReadyRead);
    connect(sck.get(), &platform::Transport::closed, this, &PopSession::onClosed);
    connect(sck.get(), &platform::Transport::error, this, &PopSession::onError);
    connect(sck.get(), &platform::Transport::encrypted, this, &PopSession::onEncrypted);
    connect(sck.get(), &platform::Transport::certificateRefused, this,
            &PopSession::onCertificateRefused);
}

// --- Small helpers -------------------------------------------------------------------------

void PopSession::setStatus(const QString& text) {
    if (listing) {
        pendingStatus = text;
        statusPending = true;
        scheduleListingView();
        return;
    }
    flushListingView();
    ui.lblStatus->setText(text);
}

QString PopSession::status() const {
    return statusPending ? pendingStatus : ui.lblStatus->text();
}

void PopSession::setNote(const QString& text) {
    ui.lblMsg->setText(text);
}

void PopSession::busyPointer() {
    ui.window->setCursor(Qt::WaitCursor);
}

void PopSession::defaultPointer() {
    ui.window->unsetCursor();
}

void PopSession::setConnectButton(bool disconnect, const QString& toolTip) {
    ui.cmdConnect->setText(disconnect ? QStringLiteral("Disconnect") : QStringLiteral("Get Mail"));
    ui.cmdConnect->setToolTip(toolTip);
}

bool PopSession::replyInFlight() const {
    return listing || engine.inFlight(Pop3Command::List) || engine.inFlight(Pop3Command::Top) ||
           engine.inFlight(Pop3Command::Retr);
}

// --- Sending -------------------------------------------------------------------------------

bool PopSession::send(const Pop3Request& request, std::string_view argument) {
    // A socket that is still connecting would hold the command and send it before the
    // greeting; only a connected socket takes commands.
    if (sck->state() != platform::Transport::State::Connected || !engine.send(request, argument)) {
        platform::dialogs().messageBox(ui.window, QStringLiteral("Socket closed"));
        return false;
    }
    flushOutgoing();
    return true;
}

void PopSession::flushOutgoing() {
    const std::string bytes = engine.takeOutgoing();
    if (!bytes.empty()) {
        sck->write(bytes);
        replyTimer->start();
    }
}

void PopSession::watchReplies() {
    if (engine.awaitingReply() || engine.awaitingTls()) { // a handshake may stall too
        if (!replyTimer->isActive()) {
            replyTimer->start();
        }
    } else {
        replyTimer->stop();
    }
}

// --- Connect, disconnect, close ------------------------------------------------------------

void PopSession::cmdConnect_Click() {
    try {
        if (isConnected()) {
            const Pop3State state = engine.state();
            if (state == Pop3State::Quitting || state == Pop3State::Greeting ||
                state == Pop3State::Failed) {
                // No answer to QUIT, or nothing said yet: the connection just ends.
                CloseSession();
                if (state == Pop3State::Quitting) {
                    setStatus(QStringLiteral("QUIT command not completed"));
                }
                return;
            }
            // The listing stops here; replies already on their way are still read in turn.
            if (listing) {
                endListing();
            }
            if (send({Pop3Command::Quit})) {
                ui.cmdConnect->setEnabled(false);
            }
            return;
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
        if (account.EmailPass.empty()) {
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

        cancelViewNext();
        busyPointer();
        rows.clear();
        rowsShown = 0;
        ui.lstHeaders->clear();
        Q_EMIT sessionStarting();
        setConnectButton(true, kConnectingTip);
        listComplete = false;
        // Whatever the old socket is doing, it ends here; a socket that takes its time to
        // close lets the connection follow on its close event.
        CloseSession();
        setStatus(QStringLiteral("Attempting connection with ") +
                  QString::fromStdString(account.POPAddress) + QStringLiteral(" ..."));
        if (sck->state() == platform::Transport::State::Closed) {
            connectNow();
        } else {
            connectWhenClosed = true;
        }
    } catch (const std::exception& e) {
        platform::dialogs().messageBox(ui.window, QStringLiteral("Error in cmdConnect_Click():") +
                                                      QString::fromUtf8(e.what()));
        defaultPointer();
    }
}

void PopSession::connectNow() {
    const settings::ServerAddress address =
        settings::parseServerAddress(account.POPAddress, settings::kDefaultPopPort);
    if (!address.valid) {
        platform::dialogs().messageBox(
            ui.window, QStringLiteral("Error in cmdConnect_Click():Invalid server address ") +
                           QString::fromStdString(account.POPAddress));
        defaultPointer();
        return;
    }
    packetCount = 0;
    tlsActive = false;
    tlsText.clear();
    sck->setPinnedCertificate(
        platform::PinnedCertificate(account.Isp, settings::keys::kPOPCertificate));
    const QString host = QString::fromStdString(address.host);
    if (account.POPSecurity == settings::Security::Tls) {
        sck->connectToHostEncrypted(host, address.port);
    } else {
        sck->connectToHost(host, address.port);
    }
}

void PopSession::onConnected() {
    setStatus(QStringLiteral("Connected to server"));
    engine.connected();
    capabilities = {};
    watchReplies();
    setConnectButton(true, kDisconnectTip);
    setStatus(QStringLiteral("Connected"));
    if (ui.lblMsg->text() == kDisconnected) {
        setNote(QString());
    }
    Q_EMIT connectionChanged(true);
}

void PopSession::CloseSession() {
    if (closingSession) {
        return;
    }
    closingSession = true;
    if (sck->state() != platform::Transport::State::Closed) {
        sck->close();
    }
    closingSession = false;
    const bool wasConnected = isConnected();
    engine.closed();
    ++sessionId;
    replyTimer->stop();
    retrieving = false;
    cancelViewNext();
    if (listing) {
        endListing();
    }
    setConnectButton(false, kGetMailTip);
    ui.cmdConnect->setEnabled(true);
    if (!status().contains(QStringLiteral("Error"))) {
        setStatus(kDisconnected);
    }
    if (wasConnected) {
        Q_EMIT connectionChanged(false);
    }
}

void PopSession::onClosed() {
    if (closingSession) {
        return;
    }
    if (connectWhenClosed) {
        connectWhenClosed = false;
        connectNow();
        return;
    }
    CloseSession();
    if (exitWhenClosed) {
        exitWhenClosed = false;
        ui.window->close();
    }
}

void PopSession::onError(int errorNumber, const QString& description) {
    const bool outer = std::exchange(inSocketHandler, true);
    connectWhenClosed = false;
    defaultPointer();
    setStatus(platform::SocketErrorStatus(errorNumber, QString::fromStdString(account.POPAddress)));
    CloseSession();
    deferBox(QStringLiteral("sckPOP Error [") + QString::number(errorNumber) +
             QStringLiteral("]: ") + description);
    inSocketHandler = outer;
}

void PopSession::ReplyTimeout() {
    if (!isConnected() || !(engine.awaitingReply() || engine.awaitingTls())) {
        return;
    }
    defaultPointer();
    setStatus(QStringLiteral("Error: No reply from server for 60 seconds, connection closed"));
    CloseSession();
}

void PopSession::cmdReset_Click() {
    if (!isConnected()) {
        platform::dialogs().messageBox(ui.window,
                                       QStringLiteral("Command invalid while disconnected."));
        return;
    }
    if (refuseWhileBusy()) {
        return;
    }
    send({Pop3Command::Rset});
}

void PopSession::CloseForUnload() {
    connectWhenClosed = false;
    exitWhenClosed = false;
    cancelViewNext();
    if (sck->state() != platform::Transport::State::Closed) {
        CloseSession();
    }
    if (debug) {
        debug->close();
    }
}

void PopSession::Exit() {
    if (sck->state() != platform::Transport::State::Closed) {
        CloseSession();
    }
    if (sck->state() == platform::Transport::State::Closed) {
        ui.window->close();
    } else {
        exitWhenClosed = true;
    }
}

void PopSession::Timer1_Timer() {
    if (clearNotePending) {
        setNote(QString());
        clearNotePending = false;
    }
    const platform::Transport::State state = sck->state();
    if (state == platform::Transport::State::Connected && isConnected() &&
        ui.mnKeepAlive->isChecked() && engine.keepAliveTick() && !listing) {
        // NOOP only on an idle line: it must not come between a command and its reply.
        send({Pop3Command::Noop});
    }
    if (state == platform::Transport::State::Closed && ui.lblMsg->text() != kDisconnected) {
        if (listing || engine.awaitingReply()) {
            CloseSession(); // the close event never came: end what was waiting for replies
        } else if (isConnected()) {
            engine.closed();
            Q_EMIT connectionChanged(false);
        }
        setConnectButton(false, kGetMailTip);
        ui.cmdConnect->setEnabled(true);
        setNote(kDisconnected);
        defaultPointer();
    } else if (ui.lblMsg->text() == kDisconnected) {
        setNote(QString());
    }
}
