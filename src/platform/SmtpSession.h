#pragma once

#include "platform/Certificates.h"

#include <QList>
#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace platform {

// One file to send with the next message.
struct SmtpAttachment {
    QString FilePath;
    QString AttachmentName; // the name the recipient sees
    QString ContentType;
    int Encoding = 0; // 0: base64, the only transfer encoding offered
};

// The SMTP client behind the compose window, on libcurl. The window sets the properties and
// calls SendEmail(); the transfer runs on a worker thread and reports through the four
// events, which always arrive on the thread that owns the session (queued).
//
// Status texts are the session's own short phrases ("Connected to host", "Sending message",
// "Message successfully sent"); server replies are never copied into them, and nothing of
// the login exchange is shown or kept.
class SmtpSession : public QObject {
    Q_OBJECT
public:
    explicit SmtpSession(QObject* parent = nullptr);
    // Cancels a transfer in flight and waits for its thread (about a second at most).
    ~SmtpSession() override;

    // Credentials: used when the server offers AUTH; empty user name means no login.
    QString Username;
    QString Password;
    // An OAuth2 access token: when set, the login is XOAUTH2 with it for Username (which it
    // needs) instead of the password. A server that refuses it ends the send with 535; one that
    // does not offer XOAUTH2 ends it with a sentence and sends nothing.
    QString AccessToken;
    // The numeric option: 0 STARTTLS when the server offers it, 1 TLS required, 2 never.
    int TlsMode = 0;
    // TLS from the first byte (smtps://); TlsMode then does not matter.
    bool ImplicitTls = false;
    // The fingerprint the user trusted for this server ("SHA256:" + hex), or empty.
    QString PinnedCertificate;
    QString Server; // host name or address, IPv6 without brackets
    quint16 Port = 25;
    QString MailFrom;
    // One text as the user typed it; the envelope takes every address of the list.
    QString SendTo;
    QString MessageSubject;
    QString MessageText;

    // Files for the next send. Every call of SendEmail takes them, also one it refuses, so a
    // file is never sent twice or with a later message.
    QList<SmtpAttachment>& Attachments() { return attachments; }

    QString StatusText() const { return status; }
    bool isSending() const { return sending; }

    // Starts sending. Returns at once; the events tell the outcome. A call while a send is
    // running is refused with an error event.
    void SendEmail();

    // The description of a failure of the connection itself (a libcurl code): a sentence that
    // names the server and port and says what to check.
    static QString failureText(int code, const QString& server, quint16 port, bool implicitTls,
                               const QString& detail);

Q_SIGNALS:
    void ConnectSMTP();
    void SendSMTP();
    void CloseSMTP();
    // Number is the server's reply code (400 to 599) with the server's own words when the
    // server refused; otherwise a code of the client, with a sentence naming the server and
    // port (a failed connection, a time-out, TLS) or the reason the send was refused.
    void ErrorSMTP(qint16 Number, const QString& Description);
    // Every new status text, in order (the window polls StatusText(); tests listen here).
    void statusTextChanged(const QString& text);
    // The server's certificate was refused; nothing was sent. Comes instead of ErrorSMTP,
    // after CloseSMTP, when the session is ready to send again.
    void CertificateRefused(const platform::CertificateProblem& problem);

private:
    struct Job;
    void post(std::function<void()> action);
    void run(Job job);
    void finished();

    QList<SmtpAttachment> attachments;
    QString status;
    bool sending = false;
    std::thread worker;
    std::shared_ptr<std::atomic<bool>> cancel;
};

} // namespace platform
