#include "session/ui/PopSession.h"

#include "decoding/Charset.h"
#include "decoding/ui/MessageView.h"
#include "platform/BrowserView.h"
#include "platform/ClickableLabel.h"
#include "platform/Dialogs.h"
#include "platform/SettingsStore.h"
#include "platform/TextCodec.h"
#include "reader/ui/frmPOP.h"
#include "session/HeaderRow.h"
#include "session/ListReply.h"
#include "session/RetrFields.h"
#include "session/ui/frmDebug.h"
#include "settings/ServerAddress.h"
#include "settings/SettingsKeys.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <algorithm>
#include <array>
#include <exception>

namespace {

const QString kGetMailTip = QStringLiteral("Connect to server and get message headers");
const QString kDisconnectTip =
    QStringLiteral("Disconnect from server and delete messages marked D");
const QString kConnectingTip = QStringLiteral("Close connection with server");
const QString kDisconnected = QStringLiteral("Disconnected");
const QString kListBusy = QStringLiteral("Downloading List, Please Wait");
const QString kMessageBusy = QStringLiteral("Downloading Message, Please Wait");
const QString kQuitBusy = QStringLiteral("Disconnecting, Please Wait");

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool isMultiLine(const std::string& command) {
    return command == "LIST" || command == "TOP " || command == "RETR";
}

QString number(long long n) {
    return QString::number(n);
}

void message(QWidget* parent, const QString& text) {
    platform::dialogs().messageBox(parent, text);
}

} // namespace

PopSession::PopSession(frmPOP& window)
    : window(window), sck(platform::createTcpTransport()), listingView(new QTimer(this)) {
    wireTransport();
    // While the listing runs, rows and the status line reach the screen a few times a second
    // rather than once per reply: painting after every TOP would cost more than the TOP.
    listingView->setSingleShot(true);
    listingView->setInterval(40);
    connect(listingView, &QTimer::timeout, this, &PopSession::flushListingView);
    connect(window.cmdConnect, &QPushButton::clicked, this, &PopSession::cmdConnect_Click);
    connect(window.cmdReset, &QPushButton::clicked, this, &PopSession::cmdReset_Click);
    connect(window.cmdView, &QPushButton::clicked, this, &PopSession::cmdView_Click);
    connect(window.cmdDelete, &QPushButton::clicked, this, &PopSession::cmdDelete_Click);
    window.cmdDelete->installEventFilter(this);
    connect(window.lstHeaders, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem*) { lstHeaders_DblClick(); });
    connect(window.Timer1, &QTimer::timeout, this, &PopSession::Timer1_Timer);
    connect(window.lblStatus, &ClickableLabel::clicked, this,
            [this] { QApplication::clipboard()->setText(this->window.lblStatus->text()); });
    connect(window.mnExit, &QAction::triggered, this, &PopSession::Exit);
    connect(window.mnShowBuffer, &QAction::triggered, this, &PopSession::ShowBuffer);
    connect(window.mnShowRemovedTags, &QAction::triggered, this, &PopSession::ShowRemovedTags);
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
    pending.clear();
    inbox.clear();
    inboxPos = lineScan = 0;
    collecting = false;
}

void PopSession::setMaxReplyBytes(std::size_t bytes) {
    scanner = session::ReplyScanner(bytes);
    maxReplyBytes = bytes;
}

void PopSession::wireTransport() {
    connect(sck.get(), &platform::Transport::connected, this, &PopSession::onConnected);
    connect(sck.get(), &platform::Transport::readyRead, this, &PopSession::onReadyRead);
    connect(sck.get(), &platform::Transport::closed, this, &PopSession::onClosed);
    connect(sck.get(), &platform::Transport::error, this, &PopSession::onError);
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
    window.lblStatus->setText(text);
}

QString PopSession::status() const {
    return statusPending ? pendingStatus : window.lblStatus->text();
}

void PopSession::scheduleListingView() {
    if (!listingView->isActive()) {
        listingView->start();
    }
}

void PopSession::flushListingView() {
    listingView->stop();
    if (!pendingRows.empty()) {
        QListWidget* list = window.lstHeaders;
        for (auto& [row, messageNumber] : pendingRows) {
            auto* item = new QListWidgetItem(
                QString::fromUtf8(row.data(), static_cast<qsizetype>(row.size())));
            item->setData(Qt::UserRole, messageNumber);
            list->addItem(item);
        }
        pendingRows.clear();
    }
    if (statusPending) {
        statusPending = false;
        window.lblStatus->setText(pendingStatus);
    }
}

void PopSession::setNote(const QString& text) {
    window.lblMsg->setText(text);
}

void PopSession::busyPointer() {
    window.setCursor(Qt::WaitCursor);
}

void PopSession::defaultPointer() {
    window.unsetCursor();
}

void PopSession::setConnectButton(bool disconnect, const QString& toolTip) {
    window.cmdConnect->setText(disconnect ? QStringLiteral("Disconnect")
                                          : QStringLiteral("Get Mail"));
    window.cmdConnect->setToolTip(toolTip);
}

bool PopSession::isConnectedCaption() const {
    return window.cmdConnect->text() == QStringLiteral("Disconnect");
}

std::string PopSession::rowText(int row) const {
    const QListWidgetItem* item = window.lstHeaders->item(row);
    if (!item) {
        return {};
    }
    const QByteArray utf8 = item->text().toUtf8();
    return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

int PopSession::rowMessageNumber(int row) const {
    const QListWidgetItem* item = window.lstHeaders->item(row);
    return item ? item->data(Qt::UserRole).toInt() : 0;
}

bool PopSession::replyInFlight() const {
    return listing || std::any_of(pending.begin(), pending.end(),
                                  [](const Pending& p) { return isMultiLine(p.command); });
}

// --- Sending -------------------------------------------------------------------------------

bool PopSession::SendCommand(const std::string& command) {
    return send(command, Pending{command.substr(0, 4)});
}

bool PopSession::send(const std::string& command, Pending expected) {
    window.Session.LastCommand = command.substr(0, 4);
    // A socket that is still connecting would hold the command and send it before the
    // greeting; only a connected socket takes commands.
    if (sck->state() != platform::Transport::State::Connected) {
        message(&window, QStringLiteral("Socket closed"));
        return false;
    }
    sck->write(command + "\r\n");
    window.Session.KeepAliveCountdown = 60;
    expected.command = command.substr(0, 4);
    pending.push_back(std::move(expected));
    return true;
}

// --- Connect, disconnect, close ------------------------------------------------------------

void PopSession::cmdConnect_Click() {
    try {
        if (isConnectedCaption()) {
            if (!window.Session.GreetingReceived) {
                return;
            }
            if (window.Session.LastCommand == "QUIT") {
                CloseSession();
                setStatus(QStringLiteral("QUIT command not completed"));
                return;
            }
            // The listing stops here; replies already on their way are still read in turn.
            if (listing) {
                endListing();
            }
            if (SendCommand("QUIT")) {
                window.cmdConnect->setEnabled(false);
            }
            return;
        }

        AccountRecord& account = window.Account;
        if (account.EmailPass.empty()) {
            message(&window, QStringLiteral("Please enter password"));
            account.GetPassword = true;
            window.mnSetup->trigger(); // the account setup dialog, modal
        }
        if (account.EmailUsername.empty() || account.POPAddress.empty()) {
            message(&window, QStringLiteral("Setup not complete. Please fill all fields."));
            window.mnSetup->trigger(); // the account setup dialog, modal
            return;
        }

        cancelViewNext();
        busyPointer();
        pendingRows.clear();
        window.lstHeaders->clear();
        window.txtMsg->clear();
        decoding::DecodedMessage& decoded = window.view().Decoded;
        decoded.MsgHeader.clear();
        decoded.MsgBody.clear();
        decoded.MsgText.clear();
        decoded.MsgHTML.clear();
        window.Browser.RemovedTags.clear();
        window.lstViewAs->setEnabled(false);
        window.lstViewAs->clear();
        window.lstViewAs->setEnabled(true);
        session::MessageFields& fields = window.Fields;
        fields.ReplyToField.clear();
        fields.XSenderField.clear();
        fields.ApparentlyToField.clear();
        fields.CcField.clear();
        window.lblSubject->clear();
        window.lblFrom->clear();
        if (!window.lblAttachments->text().isEmpty()) {
            window.lblAttachments->clear();
            window.LayoutWindow();
        }
        if (window.btnHTML->isChecked()) {
            showTextView();
        }

        setConnectButton(true, kConnectingTip);
        window.Listing.ListComplete = false;
        // Whatever the old socket is doing, it ends here; a socket that takes its time to
        // close lets the connection follow on its close event.
        CloseSession();
        setStatus(QStringLiteral("Attempting connection with ") +
                  platform::TextCodec::fromBytes(account.POPAddress) + QStringLiteral(" ..."));
        if (sck->state() == platform::Transport::State::Closed) {
            connectNow();
        } else {
            connectWhenClosed = true;
        }
    } catch (const std::exception& e) {
        message(&window,
                QStringLiteral("Error in cmdConnect_Click():") + QString::fromUtf8(e.what()));
        defaultPointer();
    }
}

void PopSession::connectNow() {
    const settings::ServerAddress address =
        settings::parseServerAddress(window.Account.POPAddress, settings::kDefaultPopPort);
    if (!address.valid) {
        message(&window, QStringLiteral("Error in cmdConnect_Click():Invalid server address ") +
                             platform::TextCodec::fromBytes(window.Account.POPAddress));
        defaultPointer();
        return;
    }
    window.Listing.PacketCount = 0;
    sck->connectToHost(QString::fromStdString(address.host), address.port);
}

void PopSession::onConnected() {
    setStatus(QStringLiteral("Connected to server"));
    window.Session.LastCommand = "CONNECT";
    pending.clear();
    pending.push_back(Pending{"CONNECT"});
    inbox.clear();
    inboxPos = lineScan = 0;
    collecting = false;
    setConnectButton(true, kDisconnectTip);
    setStatus(QStringLiteral("Connected"));
    if (window.lblMsg->text() == kDisconnected) {
        setNote(QString());
    }
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
    pending.clear();
    inbox.clear();
    inboxPos = lineScan = 0;
    collecting = false;
    scanner.Reset();
    window.Fields.RetrieveInProgress = false;
    cancelViewNext();
    if (listing) {
        endListing();
    }
    setConnectButton(false, kGetMailTip);
    window.cmdConnect->setEnabled(true);
    if (!status().contains(QStringLiteral("Error"))) {
        setStatus(kDisconnected);
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
        window.close();
    }
}

void PopSession::onError(int errorNumber, const QString& description) {
    connectWhenClosed = false;
    defaultPointer();
    message(&window, QStringLiteral("sckPOP Error [") + number(errorNumber) +
                         QStringLiteral("]: ") + description);
    setStatus(QStringLiteral("Error: Unexpectedly disconnected from server"));
    CloseSession();
}

void PopSession::cmdReset_Click() {
    if (!isConnectedCaption()) {
        message(&window, QStringLiteral("Command invalid while disconnected."));
        return;
    }
    if (refuseWhileBusy()) {
        return;
    }
    SendCommand("RSET");
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
        window.close();
    } else {
        exitWhenClosed = true;
    }
}

void PopSession::Timer1_Timer() {
    session::SessionState& s = window.Session;
    if (s.ClearMsgPending) {
        setNote(QString());
        s.ClearMsgPending = false;
    }
    const platform::Transport::State state = sck->state();
    if (state == platform::Transport::State::Connected && isConnectedCaption() &&
        window.mnKeepAlive->isChecked()) {
        if (s.KeepAliveCountdown > 0) {
            --s.KeepAliveCountdown;
        }
        // NOOP only on an idle line: it must not come between a command and its reply.
        if (s.KeepAliveCountdown == 0 && pending.empty() && !listing) {
            SendCommand("NOOP");
        }
    }
    if (state == platform::Transport::State::Closed && window.lblMsg->text() != kDisconnected) {
        if (listing || !pending.empty()) {
            CloseSession(); // the close event never came: end what was waiting for replies
        }
        setConnectButton(false, kGetMailTip);
        window.cmdConnect->setEnabled(true);
        setNote(kDisconnected);
        defaultPointer();
    } else if (window.lblMsg->text() == kDisconnected) {
        setNote(QString());
    }
}

// --- Receiving -----------------------------------------------------------------------------

void PopSession::onReadyRead() {
    std::string data = sck->readAll();
    if (data.empty()) {
        return;
    }
    if (inboxPos == inbox.size()) {
        inbox.clear();
        inboxPos = lineScan = 0;
    }
    inbox.append(data);
    processIncoming();
}

void PopSession::processIncoming() {
    if (processing) {
        return; // the outer call goes on with the new data when its message box closes
    }
    processing = true;
    try {
        bool progress = true;
        while (progress) {
            progress = collecting ? processMultiLine() : processStatusLine();
        }
    } catch (const std::exception& e) {
        // Out of memory or the like while handling a reply: the session cannot go on, the
        // window can.
        processing = false;
        defaultPointer();
        setStatus(QStringLiteral("Error: ") + QString::fromLocal8Bit(e.what()));
        CloseSession();
        return;
    }
    processing = false;
}

bool PopSession::processStatusLine() {
    if (inboxPos >= inbox.size()) {
        inbox.clear();
        inboxPos = lineScan = 0;
        return false;
    }
    const std::size_t eol = inbox.find("\r\n", std::max(lineScan, inboxPos));
    if (eol == std::string::npos) {
        // Look again only at what arrives next (and a CR that may start the line end).
        lineScan = std::max(inboxPos, inbox.size() - 1);
        if (inbox.size() - inboxPos > maxReplyBytes) {
            failTooLarge();
        }
        return false;
    }
    const std::string_view line(inbox.data() + inboxPos, eol - inboxPos);
    const Pending head = pending.empty() ? Pending{} : pending.front();

    if (startsWith(line, "+OK") && isMultiLine(head.command)) {
        junkSeen = false;
        // The status line begins the reply; the collector takes it from here.
        collecting = true;
        scanner.Reset();
        window.Session.ReceiveBuffer.clear();
        return true;
    }
    inboxPos = eol + 2;
    lineScan = inboxPos;
    if (startsWith(line, "+OK") || startsWith(line, "-ER")) {
        junkSeen = false;
    }
    if (startsWith(line, "+OK")) {
        if (!pending.empty()) {
            pending.pop_front();
            onOkReply(head);
        }
        return true;
    }
    if (startsWith(line, "-ER")) {
        if (!pending.empty()) {
            pending.pop_front();
        }
        onErrReply(head);
        return true;
    }
    // Neither "+OK" nor "-ERR": nothing was asked for that.
    if (!junkSeen) {
        junkSeen = true;
        onResponseWithoutCommand();
    }
    return true;
}

bool PopSession::processMultiLine() {
    if (inboxPos >= inbox.size()) {
        inbox.clear();
        inboxPos = lineScan = 0;
        return false;
    }
    const std::string_view piece(inbox.data() + inboxPos, inbox.size() - inboxPos);
    const std::size_t before = scanner.BytesSeen();
    scanner.Feed(piece);
    const std::size_t take = scanner.Complete() ? scanner.EndOffset() - before : piece.size();
    const std::string_view part = piece.substr(0, take);
    const Pending head = pending.empty() ? Pending{} : pending.front();

    window.Session.ReceiveBuffer.append(part);
    if (head.command == "TOP ") {
        ++window.Listing.PacketCount;
        if (window.mnEnableDebug->isChecked()) {
            AddDebugBytes("\r\n\r\nPacket # " + std::to_string(window.Listing.PacketCount) +
                          "\r\n" + std::string(part));
        }
    } else {
        AddDebugBytes(part);
    }
    inboxPos += take;
    lineScan = inboxPos;
    if (inboxPos == inbox.size()) {
        inbox.clear();
        inboxPos = lineScan = 0;
    }

    if (scanner.TooLarge()) {
        failTooLarge();
        return false;
    }
    if (!scanner.Complete()) {
        return false;
    }
    collecting = false;
    if (!pending.empty()) {
        pending.pop_front();
    }
    onMultiLineComplete(head);
    return true;
}

void PopSession::failTooLarge() {
    defaultPointer();
    setStatus(QStringLiteral("Error: Server reply too large, connection closed"));
    CloseSession();
}

void PopSession::onOkReply(const Pending& head) {
    session::SessionState& s = window.Session;
    const AccountRecord& account = window.Account;
    if (head.command == "CONNECT") {
        s.GreetingReceived = true;
        SendCommand("USER " + account.EmailUsername);
        setStatus(QStringLiteral("Sending Username"));
    } else if (head.command == "USER") {
        setStatus(QStringLiteral("Sending password"));
        SendCommand("PASS " + account.EmailPass);
    } else if (head.command == "PASS") {
        setStatus(QStringLiteral("Login successful"));
        s.ReceiveBuffer.clear();
        listing = SendCommand("LIST");
        setStatus(QStringLiteral("Retrieving list"));
        clearDebugBuffer();
    } else if (head.command == "DELE") {
        OnDeleted(head);
    } else if (head.command == "RSET") {
        setStatus(QStringLiteral("Message deletion aborted"));
        window.lstHeaders->clear();
        window.Listing.ListComplete = false;
        listing = SendCommand("LIST");
    } else if (head.command == "QUIT") {
        setStatus(QStringLiteral("Logout Successful"));
        CloseSession();
        window.cmdConnect->setEnabled(true);
    }
    // The "+OK" to NOOP needs nothing.
}

void PopSession::onErrReply(const Pending& head) {
    defaultPointer();
    const std::string& c = head.command;
    if (c == "USER") {
        message(&window, QStringLiteral("Invalid Username. Try Again"));
        SendCommand("QUIT");
    } else if (c == "PASS") {
        message(&window, QStringLiteral("Invalid Username or Password. Try Again"));
        SendCommand("QUIT");
    } else if (c == "LIST") {
        if (listing) {
            endListing();
        }
        message(&window, QStringLiteral("Error from LIST command"));
    } else if (c == "RETR") {
        message(&window, QStringLiteral("Failed to retrieve message. Try relogin"));
    } else if (c == "TOP ") {
        // No row for this message; the listing goes on with the next one.
        setStatus(QStringLiteral("Error reading header"));
        nextTop();
    } else if (c == "DELE") {
        message(&window, QStringLiteral("Unable to delete message. Try again"));
    } else if (c == "RSET") {
        message(&window, QStringLiteral("Mailbox Reset Failed. Try Again"));
    } else {
        onResponseWithoutCommand();
    }
}

void PopSession::onResponseWithoutCommand() {
    message(&window, QStringLiteral("Response without command"));
}

void PopSession::onMultiLineComplete(const Pending& head) {
    if (head.command == "LIST") {
        OnListComplete();
    } else if (head.command == "TOP ") {
        OnTopComplete(head);
    } else if (head.command == "RETR") {
        OnRetrComplete(head);
    }
}

// --- Listing -------------------------------------------------------------------------------

void PopSession::OnListComplete() {
    session::ListingState& l = window.Listing;
    setStatus(QStringLiteral("Counting the number of messages"));
    session::ListReply parsed = session::ParseListReply(window.Session.ReceiveBuffer);
    if (parsed.MessageIndex.empty()) {
        endListing();
        return;
    }
    l.MessageIndex = std::move(parsed.MessageIndex);
    l.MessageCount = parsed.MessageCount;
    if (parsed.NumbersOutOfRange) {
        setNote(QStringLiteral("Not every message could be listed"));
    }
    if (l.MessageCount <= 0) {
        setStatus(QStringLiteral("No Message"));
        endListing();
        return;
    }
    l.ListingNumber = 0;
    nextTop();
}

void PopSession::nextTop() {
    if (!listing) {
        return;
    }
    session::ListingState& l = window.Listing;
    ++l.ListingNumber;
    if (l.ListingNumber > l.MessageCount) {
        finishListing();
        return;
    }
    window.Session.ReceiveBuffer.clear();
    setStatus(QStringLiteral("Listing message #") + number(l.ListingNumber) +
              QStringLiteral(" of ") + number(l.MessageCount));
    Pending top;
    top.number = l.ListingNumber;
    if (!send("TOP " + std::to_string(l.ListingNumber) + " 10", top)) {
        endListing();
    }
}

void PopSession::OnTopComplete(const Pending& head) {
    session::ListingState& l = window.Listing;
    const std::string row = session::BuildHeaderRow(
        window.Session.ReceiveBuffer, session::ListedSize(l.MessageIndex, head.number),
        &platform::TextCodec::headerUtf8);
    if (window.mnEnableDebug->isChecked()) {
        AddDebugText(QStringLiteral("\r\n\r\nFindSubject:\r\n") + QString::fromUtf8(row) +
                     QStringLiteral("\r\n*******************************"));
    }
    window.Session.ReceiveBuffer.clear();
    if (!row.empty()) {
        addRow(row, head.number);
    }
    nextTop();
}

void PopSession::finishListing() {
    session::ListingState& l = window.Listing;
    l.ListComplete = true;
    setStatus(number(l.MessageCount) + QStringLiteral(" Messages listed"));
    window.Session.ReceiveBuffer.clear();
    endListing();
}

void PopSession::endListing() {
    listing = false;
    flushListingView();
    defaultPointer();
    Q_EMIT listingEnded();
}

void PopSession::addRow(const std::string& row, int messageNumber) {
    pendingRows.emplace_back(row, messageNumber);
    if (listing) {
        scheduleListingView();
    } else {
        flushListingView();
    }
}

void PopSession::SetRowMark(std::string_view mark) {
    QListWidget* list = window.lstHeaders;
    const int row = window.Listing.WorkRow;
    QListWidgetItem* item = list->item(row);
    if (!item) {
        return;
    }
    const std::string marked = session::RowWithMark(rowText(row), mark, decoding::TextUnits::Utf8);
    item->setText(QString::fromUtf8(marked.data(), static_cast<qsizetype>(marked.size())));
    list->setCurrentRow(row);
}

void PopSession::SelectNextRow() {
    QListWidget* list = window.lstHeaders;
    const int count = list->count();
    if (count == 0) {
        return;
    }
    int& row = window.Listing.WorkRow;
    row = row < count - 1 ? std::max(row + 1, 0) : count - 1;
    list->setCurrentRow(row);
    list->scrollToItem(list->item(row), QAbstractItemView::EnsureVisible);
}

// --- Retrieval -----------------------------------------------------------------------------

bool PopSession::refuseWhileBusy() {
    const bool retr = std::any_of(pending.begin(), pending.end(),
                                  [](const Pending& p) { return p.command == "RETR"; });
    const bool quit = std::any_of(pending.begin(), pending.end(),
                                  [](const Pending& p) { return p.command == "QUIT"; });
    // DELE and NOOP replies are single lines that change nothing a new command depends on;
    // everything else must be answered before the next command goes out.
    const bool busy = listing || std::any_of(pending.begin(), pending.end(), [](const Pending& p) {
                          return p.command != "DELE" && p.command != "NOOP";
                      });
    if (!busy) {
        return false;
    }
    setNote(retr ? kMessageBusy : quit ? kQuitBusy : kListBusy);
    window.Session.ClearMsgPending = true;
    return true;
}

void PopSession::lstHeaders_DblClick() {
    download(window.lstHeaders->currentRow());
}

bool PopSession::download(int row) {
    try {
        if (sck->state() != platform::Transport::State::Connected) {
            message(&window, QStringLiteral("Connection closed, click Get Mail"));
            return false;
        }
        if (!window.Listing.ListComplete) {
            setNote(kListBusy);
            window.Session.ClearMsgPending = true;
            return false;
        }
        if (refuseWhileBusy()) {
            return false;
        }
        if (row < 0 || row >= window.lstHeaders->count()) {
            message(&window, QStringLiteral("No message selected!"));
            return false;
        }
        if (session::IsSexuallyExplicitRow(rowText(row))) {
            message(&window,
                    QStringLiteral(
                        "These messages stay on the server until deleted or Hell freezes over"));
            return false;
        }
        prepareDownload();
        setStatus(QStringLiteral("Downloading message"));
        Pending retr;
        retr.row = row;
        window.Listing.WorkRow = row;
        if (!send("RETR " + std::to_string(rowMessageNumber(row)), retr)) {
            defaultPointer();
            return false;
        }
        return true;
    } catch (const std::exception&) {
        message(&window, QStringLiteral("Error in lstHeaders()"));
        return false;
    }
}

void PopSession::prepareDownload() {
    session::MessageFields& fields = window.Fields;
    window.view().Decoded.MsgBody.clear();
    clearDebugBuffer();
    window.txtMsg->clear();
    window.Session.ReceiveBuffer.clear();
    window.Browser.RemovedTags.clear();
    fields.ReplyToField.clear();
    fields.XSenderField.clear();
    fields.ApparentlyToField.clear();
    fields.CcField.clear();
    fields.RetrieveInProgress = true;
    showTextView();
    window.lblAttachments->clear();
    window.lstViewAs->setEnabled(false);
    window.lstViewAs->clear();
    window.lstViewAs->setEnabled(true);
    window.LayoutWindow();
    fields.AdvanceAfterView = false;
    busyPointer();
}

void PopSession::showTextView() {
    // Quietly: the view buttons run no command while they are disabled.
    const std::array<QRadioButton*, 3> buttons{window.btnHTML, window.btnText, window.btnAll};
    for (QRadioButton* b : buttons) {
        b->setEnabled(false);
    }
    window.btnText->setChecked(true);
    for (QRadioButton* b : buttons) {
        b->setEnabled(true);
    }
    if (platform::BrowserView* browser = window.view().browser()) {
        browser->hide();
    }
    window.txtMsg->show();
}

void PopSession::cmdView_Click() {
    QListWidget* list = window.lstHeaders;
    const int row = list->currentRow();
    if (row >= 0) {
        const int target =
            session::ViewRow(rowText(row), row, list->count(), window.mnFilterSpam->isChecked());
        if (target != row) {
            list->setCurrentRow(target);
        }
    }
    if (download(list->currentRow())) {
        window.Fields.AdvanceAfterView = true;
    }
}

void PopSession::OnRetrComplete(const Pending& head) {
    session::SessionState& s = window.Session;
    session::MessageFields& fields = window.Fields;
    // What the decoder reads: the status line, the message as it was before the server
    // stuffed its dots, and the end mark.
    s.ReceiveBuffer = session::DotUnstuff(s.ReceiveBuffer);
    if (!fields.RetrieveInProgress) {
        return;
    }
    session::StoreRetrFields(session::PickRetrFields(s.ReceiveBuffer), fields);
    window.lblFrom->setText(platform::TextCodec::headerText(fields.FromAddress));
    defaultPointer();
    const int row = head.row;
    window.Listing.WorkRow = row;
    setStatus(QStringLiteral("Message # ") + number(row + 1) + QStringLiteral(" of ") +
              number(window.lstHeaders->count()) + QStringLiteral(" Complete"));
    SetRowMark("R");
    if (fields.AdvanceAfterView) {
        SelectNextRow();
    }
    fields.RetrieveInProgress = false;
    window.LayoutWindow(); // the subject label shows the new subject
    window.view().DecodeMessage();
    Q_EMIT messageRetrieved();
}

// --- Deletion ------------------------------------------------------------------------------

void PopSession::cmdDelete_Click() {
    if (refuseWhileBusy()) {
        return;
    }
    QListWidget* list = window.lstHeaders;
    const int row = list->currentRow();
    if (row < 0) {
        message(&window, QStringLiteral("No message selected!"));
        if (list->count() > 0) {
            list->setCurrentRow(0);
        }
        return;
    }
    const std::string text = rowText(row);
    const std::size_t mark =
        decoding::CharOffset(text, session::kMarkColumn, decoding::TextUnits::Utf8);
    if (mark < text.size() && text[mark] == 'D') {
        message(&window, QStringLiteral("Message already marked for deletion"));
        return;
    }
    if (window.mnConfirmDelete->isChecked() &&
        platform::dialogs().messageBox(
            &window, QStringLiteral("Are you sure you want\r\nto delete this message ?"),
            platform::MsgButtons::YesNo) != platform::MsgAnswer::Yes) {
        return;
    }
    Pending dele;
    dele.row = row;
    send("DELE " + std::to_string(rowMessageNumber(row)), dele);
    window.Listing.WorkRow = row;
    if (list->currentRow() < 0 && list->count() > 0) {
        list->setCurrentRow(0);
    }
    if (QListWidgetItem* item = list->currentItem()) {
        item->setSelected(true);
    }
}

void PopSession::OnDeleted(const Pending& head) {
    session::ListingState& l = window.Listing;
    if (head.row < 0 || head.row >= window.lstHeaders->count()) {
        return;
    }
    l.WorkRow = head.row;
    setStatus(QStringLiteral("Message # ") + number(head.row + 1) + QStringLiteral(" of ") +
              number(window.lstHeaders->count()) + QStringLiteral(" marked deleted"));
    SetRowMark("D");
    SelectNextRow();
}

void PopSession::DeleteAndViewNext() {
    cancelViewNext();
    QListWidget* list = window.lstHeaders;
    const int remembered = list->currentRow();
    cmdDelete_Click();
    if (remembered == list->count() - 1) {
        return;
    }
    if (list->currentRow() != remembered) {
        download(list->currentRow());
        return;
    }
    // Normally the "+OK" to DELE moves the selection; whichever row it moves to is next.
    viewNextFrom = remembered;
    viewNext = connect(list, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0 && row != viewNextFrom) {
            cancelViewNext();
            download(row);
        }
    });
}

void PopSession::cancelViewNext() {
    if (viewNext) {
        disconnect(viewNext);
    }
    viewNext = {};
    viewNextFrom = -1;
}

bool PopSession::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window.cmdDelete && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
        if (window.cmdDelete->isEnabled()) {
            DeleteAndViewNext();
        }
        return true;
    }
    return QObject::eventFilter(watched, event);
}

// --- Debug buffer --------------------------------------------------------------------------

frmDebug* PopSession::debugWindow(bool create) {
    if (!debug && create) {
        debug = new frmDebug(window, [](const char* key) {
            return platform::settingsStore().GetSetting(settings::keys::kSettings, key);
        });
    }
    return debug;
}

void PopSession::AddDebugText(const QString& text) {
    AddDebugBytes(platform::TextCodec::toBytes(text));
}

void PopSession::AddDebugBytes(std::string_view bytes) {
    try {
        debugWindow(true)->appendBytes(bytes);
    } catch (const std::exception&) {
        message(&window, QStringLiteral("Error in AddDebugText()"));
    }
}

void PopSession::clearDebugBuffer() {
    if (debug) {
        debug->setBytes({});
    }
}

void PopSession::ShowBuffer() {
    frmDebug* w = debugWindow(true);
    w->show();
    w->raise();
    w->activateWindow();
}

void PopSession::ShowRemovedTags() {
    // The removed tags borrow the debug window; its own text comes back when it is closed.
    std::string kept = debug ? debug->bytes() : std::string();
    frmDebug* w = debugWindow(true);
    w->hide();
    w->setBytes(window.Browser.RemovedTags);
    w->setWindowModality(Qt::ApplicationModal);
    connect(w, &QObject::destroyed, this, [this, kept = std::move(kept)]() mutable {
        // After the window is gone for good, so that a new one takes the text.
        QTimer::singleShot(0, this, [this, kept = std::move(kept)]() mutable {
            if (!kept.empty()) {
                debugWindow(true)->setBytes(std::move(kept));
            }
        });
    });
    w->show();
}
