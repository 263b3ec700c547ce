#include "compose/ui/frmSMTP.h"

#include "compose/MailMessage.h"
#include "compose/SmtpErrors.h"
#include "platform/Certificates.h"
#include "platform/Dialogs.h"
#include "platform/OAuthTokens.h"
#include "platform/SmtpSession.h"
#include "platform/TextCodec.h"
#include "platform/Twips.h"
#include "settings/AccountRecord.h"
#include "settings/ServerAddress.h"
#include "settings/SettingsKeys.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMimeDatabase>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSaveFile>
#include <QTimer>

namespace {

constexpr double kMinWidth = 6500;
constexpr double kMinHeight = 3600;
constexpr double kFieldLeft = 900;
constexpr double kButtonWidth = 900;

const QString kFileFilter =
    QStringLiteral("All Files (*.*)|*.*|Text Files") + QStringLiteral("(*.txt)|*.txt");

QString text(const std::string& bytes) {
    return platform::TextCodec::fromBytes(bytes);
}

// The account's fields hold what the user typed, as UTF-8.
QString accountText(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

} // namespace

frmSMTP::frmSMTP(const AccountRecord& account, QWidget* parent)
    : QWidget(parent, Qt::Window), account(account) {
    setObjectName(QStringLiteral("frmSMTP"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    setMouseTracking(true);
    createControls();

    // Load: the session lives as long as the window.
    SMTP1 = new platform::SmtpSession(this);
    connect(SMTP1, &platform::SmtpSession::ConnectSMTP, this, &frmSMTP::SMTP1_ConnectSMTP);
    connect(SMTP1, &platform::SmtpSession::SendSMTP, this, &frmSMTP::SMTP1_SendSMTP);
    connect(SMTP1, &platform::SmtpSession::CloseSMTP, this, &frmSMTP::SMTP1_CloseSMTP);
    connect(SMTP1, &platform::SmtpSession::ErrorSMTP, this, &frmSMTP::SMTP1_ErrorSMTP);
    connect(SMTP1, &platform::SmtpSession::CertificateRefused, this,
            &frmSMTP::SMTP1_CertificateRefused);

    txtMsg->clear();
    lblProgress->clear();
    lblAttachment->clear();
    MessageSent = false;
    setWindowTitle(caption());

    const Twips t = Twips::of(*this);
    setMinimumSize(t.toPixels(kMinWidth), t.toPixels(kMinHeight));
    resize(t.toPixels(8400), t.toPixels(5400));
    LayoutWindow();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(500);
    connect(Timer1, &QTimer::timeout, this, &frmSMTP::Timer1_Timer);
    Timer1->start();
}

frmSMTP::~frmSMTP() = default;

void frmSMTP::createControls() {
    auto label = [&](const char* name, const QString& caption) {
        auto* l = new QLabel(caption, this);
        l->setObjectName(QLatin1String(name));
        l->setTextFormat(Qt::PlainText);
        return l;
    };
    auto button = [&](const char* name, const QString& caption, auto handler) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        connect(b, &QPushButton::clicked, this, handler);
        return b;
    };

    Label1 = label("Label1", QStringLiteral("To"));
    txtTo = new QLineEdit(this);
    txtTo->setObjectName(QStringLiteral("txtTo"));
    Label2 = label("Label2", QStringLiteral("Subject"));
    txtSubject = new QLineEdit(this);
    txtSubject->setObjectName(QStringLiteral("txtSubject"));
    Label4 = label("Label4", QStringLiteral("Attach:"));
    lblAttachment = label("lblAttachment", QString());
    Label3 = label("Label3", QStringLiteral("Message"));
    txtMsg = new QPlainTextEdit(this);
    txtMsg->setObjectName(QStringLiteral("txtMsg"));
    txtMsg->installEventFilter(this);
    Label5 = label("Label5", QStringLiteral("Status:"));
    lblProgress = label("lblProgress", QString());

    cmdSend = button("cmdSend", QStringLiteral("Send"), &frmSMTP::cmdSend_Click);
    cmdAttach = button("cmdAttach", QStringLiteral("Attach"), &frmSMTP::cmdAttach_Click);
    cmdSave = button("cmdSave", QStringLiteral("Save"), &frmSMTP::cmdSave_Click);
    cmdClear = button("cmdClear", QStringLiteral("Clear"), &frmSMTP::cmdClear_Click);

    setTabOrder(txtTo, txtSubject);
    setTabOrder(txtSubject, txtMsg);
    setTabOrder(txtMsg, cmdSend);
    setTabOrder(cmdSend, cmdAttach);
    setTabOrder(cmdAttach, cmdSave);
    setTabOrder(cmdSave, cmdClear);

    connect(txtTo, &QLineEdit::textChanged, this, &frmSMTP::fieldEdited);
    connect(txtSubject, &QLineEdit::textChanged, this, &frmSMTP::fieldEdited);
    connect(txtMsg, &QPlainTextEdit::textChanged, this, &frmSMTP::fieldEdited);
}

QString frmSMTP::caption() const {
    return QStringLiteral("Send mail using ") + accountText(account.Isp);
}

QString frmSMTP::FileNameValid(const QString& sFileName) {
    static const QString invalid = QStringLiteral(":\\/?*<>|");
    QString valid;
    valid.reserve(sFileName.size());
    for (const QChar c : sFileName) {
        if (!invalid.contains(c)) {
            valid += c;
        }
    }
    return valid;
}

QString frmSMTP::trimmedStatus() const {
    return SMTP1 ? SMTP1->StatusText().trimmed() : QString();
}

QString frmSMTP::senderAddress() const {
    return accountText(account.EmailFromName) + QLatin1Char('@') +
           accountText(account.EmailFromDomain);
}

// --- Timer and waits -------------------------------------------------------------------------

void frmSMTP::Timer1_Timer() {
    const QString s = trimmedStatus();
    if (!lblProgress->text().contains(QLatin1String("Error")) && !s.isEmpty()) {
        lblProgress->setText(s);
    }
    if (WaitTicks > 0) {
        --WaitTicks;
        if (WaitTicks == 0 && afterWait) {
            auto next = std::move(afterWait);
            afterWait = nullptr;
            next();
        }
    }
    setWindowTitle(caption());
}

void frmSMTP::waitOneTick(std::function<void()> next) {
    WaitTicks = 1;
    afterWait = std::move(next);
    Timer1->start();
}

// --- Send ----------------------------------------------------------------------------------------

void frmSMTP::cmdSend_Click() {
    if (sendRunning) {
        return; // the Send command already under way finishes first
    }
    QPointer<frmSMTP> self(this);
    if (MessageSent &&
        platform::dialogs().messageBox(this, QStringLiteral("Message already sent, send again?"),
                                       platform::MsgButtons::YesNo) != platform::MsgAnswer::Yes) {
        return;
    }
    if (!self) {
        return;
    }
    sendRunning = true;
    lblProgress->setText(QStringLiteral("Sending Message"));
    waitOneTick([this] {
        SendSMTPMail([this](bool handedOver) {
            // Only a message that reached the session counts as sent; a refused one stays
            // a draft, with the refusal in the status line.
            MessageSent = MessageSent || handedOver;
            sendRunning = false;
        });
    });
}

frmSMTP::Refusal frmSMTP::refusal() const {
    const auto exclamation = [](const QString& text) {
        return Refusal{text, platform::MsgIcon::Exclamation};
    };
    if (account.EmailAuth == kEmailAuthOAuth2) {
        if (account.EmailUsername.empty()) {
            return exclamation(QStringLiteral("This account signs in to the SMTP server with "
                                              "OAuth2, which needs the user name: please enter it "
                                              "in the ISP setup."));
        }
    } else if (account.EmailPass.empty() && account.EmailAuth > 0) {
        return {QStringLiteral("Please enter password"), platform::MsgIcon::None};
    }
    if (!settings::parseServerAddress(account.SMTPAddress, settings::kDefaultSmtpPort).valid) {
        return exclamation(
            QStringLiteral("The SMTP server \"") + accountText(account.SMTPAddress) +
            QStringLiteral("\" is not a valid address; please correct it in the ISP setup."));
    }
    const std::pair<const char*, QString> fields[] = {
        {"recipient", txtTo->text()},
        {"subject", txtSubject->text()},
        {"sender address", senderAddress()},
    };
    for (const auto& [name, value] : fields) {
        if (compose::HasLineBreakOrNul(value.toStdString())) {
            return exclamation(QStringLiteral("The %1 contains a line break or a null character; "
                                              "please correct it before sending.")
                                   .arg(QLatin1String(name)));
        }
    }
    if (MsgAttachment.isEmpty()) {
        return {};
    }
    QFile file(MsgAttachment);
    const QFileInfo info(MsgAttachment);
    QString why;
    if (!info.exists()) {
        why = QStringLiteral("The file no longer exists.");
    } else if (!info.isFile()) {
        why = QStringLiteral("It is not a file.");
    } else if (!file.open(QIODevice::ReadOnly)) {
        why = file.errorString();
    } else {
        return {};
    }
    return exclamation(QStringLiteral("The attachment cannot be read:\n") + MsgAttachment +
                       QStringLiteral("\n") + why + QStringLiteral("\nNothing was sent."));
}

void frmSMTP::SendSMTPMail(std::function<void(bool handedOver)> done) {
    if (!done) {
        done = [](bool) {};
    }
    if (!SMTP1) {
        done(false);
        return;
    }
    if (const Refusal r = refusal(); !r.text.isEmpty()) {
        QPointer<frmSMTP> self(this);
        platform::dialogs().messageBox(this, r.text, platform::MsgButtons::Ok, r.icon);
        if (self) {
            lblProgress->setText(QString(r.text).replace(QLatin1Char('\n'), QLatin1Char(' ')));
            done(false);
        }
        return;
    }
    lblProgress->setText(QStringLiteral("Contacting ") + accountText(account.SMTPAddress));
    tokenRetried = false;
    waitOneTick([this, done = std::move(done)] {
        if (!SMTP1) {
            done(false);
            return;
        }
        startSend(done);
    });
}

void frmSMTP::startSend(std::function<void(bool handedOver)> done) {
    auto go = [this, done](const QString& accessToken) {
        // The session is given what the window shows now, the attachment above all.
        handOver(accessToken);
        SMTP1->SendEmail();
        cmdSend->setEnabled(false);
        done(true);
    };
    if (account.EmailAuth != kEmailAuthOAuth2) {
        go(QString());
        return;
    }
    platform::oauthTokens().accessToken(
        account, this, [this, go, done](const QString& accessToken, const QString& error) {
            if (!SMTP1) {
                done(false);
            } else if (!accessToken.isEmpty()) {
                go(accessToken);
            } else {
                const QPointer<frmSMTP> self(this);
                platform::dialogs().messageBox(this, error, platform::MsgButtons::Ok,
                                               platform::MsgIcon::Exclamation);
                if (self) {
                    MessageSent = false;
                    cmdSend->setEnabled(true);
                    lblProgress->setText(QStringLiteral("Error: ") + error);
                    done(false);
                }
            }
        });
}

void frmSMTP::handOver(const QString& accessToken) {
    const settings::ServerAddress server =
        settings::parseServerAddress(account.SMTPAddress, settings::kDefaultSmtpPort);
    // The same session serves every send: credentials of an earlier account must not go to
    // this server.
    SMTP1->Username.clear();
    SMTP1->Password.clear();
    SMTP1->AccessToken.clear();
    if (account.EmailAuth == kEmailAuthOAuth2) {
        SMTP1->Username = accountText(account.EmailUsername);
        SMTP1->AccessToken = accessToken;
    } else if (account.EmailAuth > 0) {
        SMTP1->Username = accountText(account.EmailUsername);
        SMTP1->Password = accountText(account.EmailPass);
    }
    // STARTTLS required for a STARTTLS account; otherwise as before: TLS when offered.
    SMTP1->ImplicitTls = account.SMTPSecurity == settings::Security::Tls;
    SMTP1->TlsMode = account.SMTPSecurity == settings::Security::StartTls ? 1 : 0;
    SMTP1->PinnedCertificate =
        platform::PinnedCertificate(account.Isp, settings::keys::kSMTPCertificate);
    SMTP1->Attachments().clear();
    if (!MsgAttachment.isEmpty()) {
        platform::SmtpAttachment attachment;
        attachment.FilePath = MsgAttachment;
        attachment.AttachmentName =
            QString::fromStdString(compose::AttachmentName(MsgAttachment.toStdString()));
        const QMimeType type = QMimeDatabase().mimeTypeForFile(MsgAttachment);
        attachment.ContentType = type.isValid() ? type.name() : QString();
        attachment.Encoding = 0;
        SMTP1->Attachments().append(attachment);
    }
    SMTP1->Server = accountText(server.host);
    SMTP1->MailFrom = senderAddress();
    SMTP1->SendTo = txtTo->text();
    SMTP1->Port = server.port;
    SMTP1->MessageSubject = txtSubject->text();
    SMTP1->MessageText = txtMsg->toPlainText();
}

// --- Session events --------------------------------------------------------------------------

void frmSMTP::SMTP1_ConnectSMTP() {
    const QString s = trimmedStatus();
    lblProgress->setText(s.isEmpty() ? QStringLiteral("Connected") : s);
}

void frmSMTP::SMTP1_SendSMTP() {
    const QString s = trimmedStatus();
    lblProgress->setText(s.isEmpty() ? QStringLiteral("Message successfully sent") : s);
    draftTyped = false;
}

void frmSMTP::SMTP1_CloseSMTP() {
    if (!lblProgress->text().contains(QLatin1String("Error"))) {
        lblProgress->setText(SMTP1 ? SMTP1->StatusText() : QString());
    }
}

void frmSMTP::SMTP1_ErrorSMTP(qint16 Number, const QString& RawDescription) {
    // An access token may be refused before it expires (revoked, a clock off): the message
    // goes once more with a fresh one, and only a second refusal is the user's to see.
    const bool tokenRefused = account.EmailAuth == kEmailAuthOAuth2 && Number == 535;
    if (tokenRefused) {
        platform::oauthTokens().refused(account.Isp);
        if (!tokenRetried && SMTP1) {
            tokenRetried = true;
            startSend([](bool) {});
            return;
        }
    }
    const QString Description = tokenRefused
                                    ? QStringLiteral("The server refused the sign-in for ") +
                                          accountText(account.EmailUsername)
                                    : RawDescription;
    // Server replies carry their three-digit code; the session's own failures are sentences.
    const bool serverCode =
        !tokenRefused && ((Number >= 100 && Number <= 999) || Description.isEmpty());
    const QString number = QString::number(Number);
    QString prefix;
    if (!lblProgress->text().contains(QLatin1String("success"))) {
        MessageSent = false; // nothing went out: sending again needs no question
        const QString shown =
            Description.isEmpty() ? text(modSMTPErrors::SMTPErrorText(Number)) : Description;
        QPointer<frmSMTP> self(this);
        platform::dialogs().messageBox(this, serverCode ? QStringLiteral("SMTP Error ") + number +
                                                              QStringLiteral(": ") + shown
                                                        : shown);
        if (!self) {
            return;
        }
    } else {
        prefix = QStringLiteral("Message successfully sent, then received ");
    }
    cmdSend->setEnabled(true);
    lblProgress->setText(prefix + QStringLiteral("Error") +
                         (serverCode ? QLatin1Char(' ') + number : QString()) +
                         QStringLiteral(": ") + Description);
}

void frmSMTP::SMTP1_CertificateRefused(const platform::CertificateProblem& problem) {
    MessageSent = false;
    cmdSend->setEnabled(true);
    lblProgress->setText(QStringLiteral("Error: ") + problem.what.section(QLatin1Char('\n'), 0, 0));
    const QPointer<frmSMTP> self(this);
    const bool trust =
        platform::AskToTrustCertificate(this, problem, accountText(account.SMTPAddress));
    if (!self || !SMTP1 || !trust) {
        return;
    }
    platform::PinCertificate(account.Isp, settings::keys::kSMTPCertificate, problem.fingerprint);
    lblProgress->setText(QStringLiteral("Contacting ") + accountText(account.SMTPAddress));
    startSend([](bool) {});
}

// --- Attach, Save, Clear, edits ------------------------------------------------------------------

void frmSMTP::cmdAttach_Click() {
    platform::FileDialogRequest request;
    request.filter = kFileFilter;
    request.filterIndex = 2;
    request.fileName = FileNameValid(txtSubject->text());
    const std::optional<QString> chosen = platform::dialogs().openFileName(this, request);
    if (!chosen) {
        return;
    }
    MsgAttachment = *chosen;
    draftTyped = true;
    LayoutWindow();
}

void frmSMTP::cmdSave_Click() {
    platform::FileDialogRequest request;
    request.filter = kFileFilter;
    request.filterIndex = 2;
    request.fileName = FileNameValid(txtSubject->text());
    const std::optional<QString> chosen = platform::dialogs().saveFileName(this, request);
    if (!chosen) {
        return;
    }
    const QString date =
        QLocale::system().toString(QDateTime::currentDateTime(), QLocale::ShortFormat);
    const QString crlf = QStringLiteral("\r\n");
    const QString content = QStringLiteral("Date: ") + date + crlf + crlf + QStringLiteral("To: ") +
                            txtTo->text() + crlf + crlf + QStringLiteral("Subject: ") +
                            txtSubject->text() + crlf + crlf + txtMsg->toPlainText() + crlf;
    // UTF-8 keeps every character the user typed; the text's own line breaks become CR LF.
    const std::string bytes = compose::WithCrLf(content.toStdString());
    QSaveFile file(*chosen);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
            static_cast<qint64>(bytes.size()) ||
        !file.commit()) {
        platform::dialogs().messageBox(this,
                                       QStringLiteral("The message could not be saved to ") +
                                           *chosen + QStringLiteral(": ") + file.errorString(),
                                       platform::MsgButtons::Ok, platform::MsgIcon::Exclamation);
        return;
    }
    draftTyped = false;
}

void frmSMTP::cmdClear_Click() {
    txtTo->clear();
    txtSubject->clear();
    txtMsg->clear();
    lblProgress->clear();
}

bool frmSMTP::mayReplaceDraft() {
    const bool shown = !txtTo->text().isEmpty() || !txtSubject->text().isEmpty() ||
                       !txtMsg->toPlainText().isEmpty() || !MsgAttachment.isEmpty();
    return !draftTyped || !shown ||
           platform::dialogs().messageBox(this,
                                          QStringLiteral("Discard the message you are writing?"),
                                          platform::MsgButtons::YesNoDefaultNo,
                                          platform::MsgIcon::Question) == platform::MsgAnswer::Yes;
}

void frmSMTP::fill(const QString& to, const QString& subject, const QString& message) {
    filling = true;
    txtTo->setText(to);
    txtSubject->setText(subject);
    txtMsg->setPlainText(platform::ForTextView(message)); // a reply quotes any message
    MsgAttachment.clear();
    filling = false;
    draftTyped = false;
    LayoutWindow();
}

void frmSMTP::fieldEdited() {
    draftTyped = draftTyped || !filling;
    MessageSent = false;
    lblProgress->clear();
    cmdSend->setEnabled(true);
}

// --- Focus, unload ----------------------------------------------------------------------------

bool frmSMTP::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtMsg && event->type() == QEvent::Enter) {
        txtMsg->setFocus(Qt::MouseFocusReason);
    }
    return QWidget::eventFilter(watched, event);
}

void frmSMTP::keyPressEvent(QKeyEvent* event) {
    // Ctrl+Return (or Ctrl+Enter) sends, as in other mail programs; the fields leave this key
    // to the window.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        event->modifiers().testFlag(Qt::ControlModifier)) {
        if (cmdSend->isEnabled()) {
            cmdSend_Click();
        }
        return;
    }
    QWidget::keyPressEvent(event);
}

void frmSMTP::mouseMoveEvent(QMouseEvent* event) {
    if (!isActiveWindow()) {
        activateWindow();
    }
    QWidget::mouseMoveEvent(event);
}

void frmSMTP::closeWithReader() {
    closingWithReader = true;
    close();
}

void frmSMTP::closeEvent(QCloseEvent* event) {
    // The window's close button throws the draft away as surely as Compose does.
    const QPointer<frmSMTP> self(this);
    if (!closingWithReader && (!mayReplaceDraft() || !self)) {
        event->ignore();
        return;
    }
    draftTyped = false; // given up: a second close does not ask again
    Timer1->stop();
    afterWait = nullptr;
    // Releasing the session cancels a transfer in flight and waits for its thread.
    delete SMTP1;
    SMTP1 = nullptr;
    event->accept();
}

// --- Layout
// ---------------------------------------------------------------------------------------

void frmSMTP::place(QWidget* control, double left, double top, double width, double height) {
    placements.place(control, left, top, width, height);
}

QRectF frmSMTP::placement(QWidget* control) const {
    return placements.placement(control);
}

void frmSMTP::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayoutWindow();
}

void frmSMTP::LayoutWindow() {
    const Twips t = Twips::of(*this);
    const double w = std::max(t.fromPixels(width()), kMinWidth);
    const double h = std::max(t.fromPixels(height()), kMinHeight);

    const double secondColumn = w - 90 - kButtonWidth;
    const double firstColumn = secondColumn - 60 - kButtonWidth;
    place(cmdSend, firstColumn, 60, kButtonWidth, 315);
    place(cmdAttach, secondColumn, 60, kButtonWidth, 315);
    place(cmdSave, firstColumn, 390, kButtonWidth, 315);
    place(cmdClear, secondColumn, 390, kButtonWidth, 315);

    const double fieldWidth = firstColumn - 120 - kFieldLeft;
    place(Label1, 90, 60, 780, 315);
    place(txtTo, kFieldLeft, 60, fieldWidth, 315);
    place(Label2, 90, 390, 780, 315);
    place(txtSubject, kFieldLeft, 390, fieldWidth, 315);

    const double fullWidth = w - 90 - kFieldLeft;
    const bool attached = !MsgAttachment.isEmpty();
    Label4->setVisible(attached);
    lblAttachment->setVisible(attached);
    place(Label4, 90, 780, 780, 255);
    place(lblAttachment, kFieldLeft, 780, fullWidth, 255);
    if (attached) {
        // The tail of a path says most: drop leading characters until the rest fits.
        const QFontMetrics metrics(lblAttachment->font());
        const int room = lblAttachment->width();
        if (metrics.horizontalAdvance(MsgAttachment) <= room) {
            lblAttachment->setText(MsgAttachment);
        } else {
            const QString dots = QStringLiteral("...");
            qsizetype fits = MsgAttachment.size(); // dropping this many always fits
            qsizetype tooFew = 0;                  // dropping this many never fits
            while (fits - tooFew > 1) {
                const qsizetype mid = tooFew + (fits - tooFew) / 2;
                if (metrics.horizontalAdvance(dots + MsgAttachment.mid(mid)) <= room) {
                    fits = mid;
                } else {
                    tooFew = mid;
                }
            }
            lblAttachment->setText(dots + MsgAttachment.mid(fits));
        }
    } else {
        lblAttachment->clear();
    }

    const double msgTop = attached ? 1080 : 720;
    const double statusTop = h - 390;
    place(Label3, 90, msgTop + 30, 780, 255);
    place(txtMsg, kFieldLeft, msgTop, fullWidth, statusTop - 60 - msgTop);
    place(Label5, 90, statusTop + 30, 780, 255);
    place(lblProgress, kFieldLeft, statusTop, fullWidth, 315);
}
