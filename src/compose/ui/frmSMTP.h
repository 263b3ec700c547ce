#pragma once

#include "platform/Dialogs.h"
#include "platform/Twips.h"

#include <QHash>
#include <QRectF>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;
struct AccountRecord;

namespace platform {
class SmtpSession;
struct CertificateProblem;
} // namespace platform

// The compose window: one recipient, a subject, the text and at most one attached file,
// sent through the SMTP session of the active account, or saved as a text file.
class frmSMTP : public QWidget {
    Q_OBJECT
public:
    // account is the reader window's active account; it must outlive this window.
    explicit frmSMTP(const AccountRecord& account, QWidget* parent = nullptr);
    ~frmSMTP() override;

    // --- Controls ---------------------------------------------------------------------------
    QLabel* Label1 = nullptr; // "To"
    QLineEdit* txtTo = nullptr;
    QLabel* Label2 = nullptr; // "Subject"
    QLineEdit* txtSubject = nullptr;
    QLabel* Label4 = nullptr; // "Attach:"
    QLabel* lblAttachment = nullptr;
    QLabel* Label3 = nullptr; // "Message"
    QPlainTextEdit* txtMsg = nullptr;
    QLabel* Label5 = nullptr; // "Status:"
    QLabel* lblProgress = nullptr;
    QPushButton* cmdSend = nullptr;
    QPushButton* cmdAttach = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* cmdClear = nullptr;
    QTimer* Timer1 = nullptr; // 500 ms while the window is loaded

    // --- Public fields ------------------------------------------------------------------------
    QString MsgAttachment; // full path of the attached file, "" for none
    platform::SmtpSession* SMTP1 = nullptr;

    // --- Commands and events --------------------------------------------------------------------
    void cmdSend_Click();
    void cmdAttach_Click();
    void cmdSave_Click();
    void cmdClear_Click();
    void Timer1_Timer();
    void SMTP1_ConnectSMTP();
    void SMTP1_SendSMTP();
    void SMTP1_CloseSMTP();
    void SMTP1_ErrorSMTP(qint16 Number, const QString& Description);
    // The server's certificate was refused: the user may trust it, and the message goes again.
    void SMTP1_CertificateRefused(const platform::CertificateProblem& problem);

    // Gives the message to the session; done runs when it has been handed over (true) or
    // refused (false, the refusal shown in a box and in the status line).
    void SendSMTPMail(std::function<void(bool handedOver)> done = {});
    // Replaces the fields with a new message, without an attachment.
    void fill(const QString& to, const QString& subject, const QString& message);
    // True when the fields may be replaced: nothing the user typed, attached or edited is
    // left unsent and unsaved, or the user agreed to discard it.
    bool mayReplaceDraft();
    // Closes the window without the discard question: the reader is ending, and a question
    // now could come from inside its socket's handler.
    void closeWithReader();
    // sFileName without any of the characters : \ / ? * < > |
    static QString FileNameValid(const QString& sFileName);
    // Arranges the controls for the window's size and the attachment.
    void LayoutWindow();

    bool messageSent() const { return MessageSent; }
    std::int16_t waitTicks() const { return WaitTicks; }
    // The window's caption for the active account.
    QString caption() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void place(QWidget* control, double left, double top, double width, double height);
    QRectF placement(QWidget* control) const;
    // Runs next after the next timer tick, as the window's short waits do.
    void waitOneTick(std::function<void()> next);
    void fieldEdited();
    QString trimmedStatus() const;
    struct Refusal {
        QString text; // "" when the message may go
        platform::MsgIcon icon = platform::MsgIcon::None;
    };
    // Why this message must not reach the server.
    Refusal refusal() const;
    // Sets the session's properties from the fields as they are now; accessToken is the
    // login of an account that signs in with OAuth2.
    void handOver(const QString& accessToken);
    // Hands the message to the session and starts it; an account that signs in with OAuth2
    // first gets its access token, and done(false) follows when there is none.
    void startSend(std::function<void(bool handedOver)> done);
    QString senderAddress() const;

    const AccountRecord& account;
    bool MessageSent = false;
    std::int16_t WaitTicks = 0;
    std::function<void()> afterWait;
    bool sendRunning = false; // between the Send command and the hand-over
    bool draftTyped = false;  // edited by the user since last filled, sent or saved
    bool filling = false;
    bool closingWithReader = false;
    bool tokenRetried = false; // this message went again with a fresh access token
    platform::TwipsPlacement placements{*this};
};
