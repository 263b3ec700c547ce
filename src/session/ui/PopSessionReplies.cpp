// What the server's bytes mean on the screen: engine events to texts, rows and boxes.
#include "platform/Certificates.h"
#include "platform/Dialogs.h"
#include "session/ui/PopSession.h"
#include "settings/SettingsKeys.h"

#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <exception>
#include <utility>

using session::Pop3Command;
using session::Pop3Event;
using session::Pop3Request;

void PopSession::deferBox(const QString& text, std::function<void()> then) {
    boxOpen = true;
    const unsigned id = sessionId;
    auto show = [this, text, then = std::move(then), id] {
        platform::dialogs().messageBox(ui.window, text);
        if (then && id == sessionId) {
            then();
        }
        boxOpen = false;
        readAndDrain(); // what arrived while the box was open
    };
    if (inSocketHandler) {
        QMetaObject::invokeMethod(this, show, Qt::QueuedConnection);
    } else {
        show();
    }
}

// --- Receiving -----------------------------------------------------------------------------

void PopSession::onReadyRead() {
    const bool outer = std::exchange(inSocketHandler, true);
    readAndDrain();
    inSocketHandler = outer;
}

void PopSession::readAndDrain() {
    const std::string data = sck->readAll();
    if (!data.empty()) {
        engine.feed(data);
        if (engine.awaitingReply()) {
            replyTimer->start(); // the server is alive
        }
    }
    drain();
}

void PopSession::drain() {
    if (draining || boxOpen) {
        return; // the outer call, or the box's continuation, reads on
    }
    draining = true;
    try {
        while (!boxOpen) {
            std::optional<Pop3Event> event = engine.next();
            if (!event) {
                break;
            }
            handle(*event);
        }
    } catch (const std::exception& e) {
        // Out of memory or the like while handling a reply: the session cannot go on, the
        // window can.
        draining = false;
        defaultPointer();
        setStatus(QStringLiteral("Error: ") + QString::fromLocal8Bit(e.what()));
        CloseSession();
        return;
    }
    draining = false;
    watchReplies();
}

void PopSession::handle(const Pop3Event& event) {
    switch (event.kind) {
    case Pop3Event::Kind::Ok:
        if (event.request) {
            onOk(*event.request);
        }
        break;
    case Pop3Event::Kind::Err:
        onErr(event.request);
        break;
    case Pop3Event::Kind::Stray:
        deferBox(QStringLiteral("Response without command"));
        break;
    case Pop3Event::Kind::Piece:
        onPiece(*event.request, event.text);
        break;
    case Pop3Event::Kind::Reply:
        if (event.request->command == Pop3Command::Capa) {
            onCapaReply(session::Capabilities::FromReply(event.text));
        } else if (event.request->command == Pop3Command::List) {
            onListReply(event.text);
        } else if (event.request->command == Pop3Command::Top) {
            onTopReply(*event.request, event.text);
        } else if (event.request->command == Pop3Command::Uidl) {
            onUidlReply(event.text);
        } else {
            onRetrReply(*event.request, event.text);
        }
        break;
    case Pop3Event::Kind::TooLarge:
        failTooLarge();
        break;
    }
}

void PopSession::failTooLarge() {
    defaultPointer();
    setStatus(QStringLiteral("Error: Server reply too large, connection closed"));
    CloseSession();
}

void PopSession::onOk(const Pop3Request& request) {
    switch (request.command) {
    case Pop3Command::Greeting:
        send({Pop3Command::Capa});
        break;
    case Pop3Command::Stls:
        setStatus(QStringLiteral("Starting TLS"));
        sck->startTls(); // the engine drops what came with the "+OK"
        break;
    case Pop3Command::User:
        setStatus(QStringLiteral("Sending password"));
        send({Pop3Command::Pass}, account.EmailPass);
        break;
    case Pop3Command::Pass:
        setStatus(QStringLiteral("Login successful"));
        startListing();
        setStatus(QStringLiteral("Retrieving list"));
        clearDebugBuffer();
        AddDebugText(capabilitiesText());
        break;
    case Pop3Command::Dele:
        onDeleted(request);
        break;
    case Pop3Command::Rset:
        setStatus(QStringLiteral("Message deletion aborted"));
        rows.clear();
        rowsShown = 0;
        ui.lstHeaders->clear();
        startListing();
        break;
    case Pop3Command::Quit:
        setStatus(QStringLiteral("Logout Successful"));
        CloseSession();
        ui.cmdConnect->setEnabled(true);
        break;
    default: // the "+OK" to NOOP needs nothing
        break;
    }
}

void PopSession::onCapaReply(session::Capabilities announced) {
    capabilities = std::move(announced);
    if (account.POPSecurity == settings::Security::StartTls && !tlsActive) {
        if (!capabilities.has("STLS")) {
            refuseLogin(QStringLiteral("The server does not offer STLS"));
        } else if (send({Pop3Command::Stls})) {
            setStatus(QStringLiteral("Asking for TLS"));
        }
        return;
    }
    send({Pop3Command::User}, account.EmailUsername);
    setStatus(QStringLiteral("Sending Username"));
}

QString PopSession::capabilitiesText() const {
    if (!capabilities.announced()) {
        return tlsText + QStringLiteral("Capabilities: the server did not answer CAPA\r\n");
    }
    QString text = tlsText + QStringLiteral("Capabilities:");
    for (const std::string& line : capabilities.lines()) {
        text += QStringLiteral(" [") + QString::fromStdString(line) + QLatin1Char(']');
    }
    return text + QStringLiteral("\r\n");
}

void PopSession::onErr(const std::optional<Pop3Request>& request) {
    defaultPointer();
    switch (request ? request->command : Pop3Command::Noop) {
    case Pop3Command::User:
        deferBox(QStringLiteral("Invalid Username. Try Again"),
                 [this] { send({Pop3Command::Quit}); });
        break;
    case Pop3Command::Pass:
        deferBox(QStringLiteral("Invalid Username or Password. Try Again"),
                 [this] { send({Pop3Command::Quit}); });
        break;
    case Pop3Command::List:
        if (listing) {
            endListing();
        }
        deferBox(QStringLiteral("Error from LIST command"));
        break;
    case Pop3Command::Retr:
        deferBox(QStringLiteral("Failed to retrieve message. Try relogin"));
        break;
    case Pop3Command::Top:
        setStatus(QStringLiteral("Error reading header"));
        onTopRefused(*request);
        break;
    case Pop3Command::Uidl:
        if (std::exchange(uidsAwaited, false)) {
            busyPointer(); // the listing goes on, without ids: every row comes from TOP
            beginRows();
        }
        break;
    case Pop3Command::Dele:
        deferBox(QStringLiteral("Unable to delete message. Try again"));
        break;
    case Pop3Command::Rset:
        deferBox(QStringLiteral("Mailbox Reset Failed. Try Again"));
        break;
    case Pop3Command::Capa:
        onCapaReply(session::Capabilities()); // an old server: go on as without CAPA
        break;
    case Pop3Command::Stls:
        refuseLogin(QStringLiteral("The server refused STLS"));
        break;
    default:
        deferBox(QStringLiteral("Response without command"));
        break;
    }
}

// --- TLS -------------------------------------------------------------------------------------

void PopSession::onEncrypted(const QString& summary) {
    tlsText = summary;
    tlsActive = true;
    if (engine.awaitingTls()) {
        // What the server said it can do in clear may have been forged: ask again.
        engine.tlsStarted();
        setStatus(QStringLiteral("TLS started"));
        send({Pop3Command::Capa});
    }
}

void PopSession::refuseLogin(const QString& reason) {
    defaultPointer();
    setStatus(QStringLiteral("Error: ") + reason + QStringLiteral(", login not sent"));
    CloseSession();
    deferBox(reason + QStringLiteral(". The account asks for STARTTLS, so nothing of the login "
                                     "was sent. Choose TLS in the setup if the server offers it "
                                     "on its own port."));
}

void PopSession::onCertificateRefused(const platform::CertificateProblem& problem) {
    defaultPointer();
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
