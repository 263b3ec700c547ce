#include "platform/SmtpSession.h"

#include "compose/MailMessage.h"
#include "platform/CurlCertificateCheck.h"
#include "platform/TlsProbe.h"

#include <QFile>
#include <QMetaObject>
#include <QPointer>
#include <QRandomGenerator>
#include <QUrl>
#include <algorithm>
#include <cctype>
#include <chrono>
#include <curl/curl.h>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace platform {

namespace {

std::string utf8(const QString& text) {
    return text.toStdString();
}

struct FileData {
    std::string contentType; // with the name= parameter
    std::string disposition;
    QByteArray bytes;
};

// What the worker learns from the conversation through libcurl's debug callback.
struct Conversation {
    std::function<void(const QString&)> setStatus;
    std::function<void()> connected;
    std::shared_ptr<std::atomic<bool>> cancel;
    QString server;
    quint16 port = 0;
    bool implicitTls = false;
    bool isConnected = false;
    bool heard = false;       // the server has said something
    bool tlsExpected = false; // the server turned out to wait for TLS
    bool probed = false;
    std::chrono::steady_clock::time_point connectedAt;
    bool inAuth = false;
    bool authSent = false;
    std::string partialLine;
    int refusedCode = 0;
    std::string refusedText;

    void connectedOnce() {
        if (!isConnected) {
            isConnected = true;
            connectedAt = std::chrono::steady_clock::now();
            setStatus(QStringLiteral("Connected to ") + server);
            connected();
        }
    }

    // A server still silent a second after the connection may be waiting for TLS: it is asked
    // on the side, once. True when it is, and the transfer must end.
    bool probeSilentServer() {
        using namespace std::chrono_literals;
        if (!isConnected || heard || probed || implicitTls ||
            std::chrono::steady_clock::now() - connectedAt < 1s) {
            return false;
        }
        probed = true;
        tlsExpected = TlsProbe::ServerExpectsTls(server, port, 3000);
        return tlsExpected;
    }

    // One complete reply line from the server: "250-text" or "250 text".
    void serverLine(std::string_view line) {
        if (line.size() < 3 || !std::all_of(line.begin(), line.begin() + 3, [](char c) {
                return std::isdigit(static_cast<unsigned char>(c)) != 0;
            })) {
            return;
        }
        const int code = std::stoi(std::string(line.substr(0, 3)));
        std::string_view text = line.size() > 4 ? line.substr(4) : std::string_view();
        if (code != 334) {
            inAuth = false;
        }
        if (code >= 400) {
            // A refusal may span several lines; keep them all, in order.
            if (code != refusedCode) {
                refusedCode = code;
                refusedText.clear();
            }
            if (!text.empty()) {
                if (!refusedText.empty()) {
                    refusedText += ' ';
                }
                refusedText += text;
            }
        }
    }

    // A command the client sent. Only its verb is looked at, and nothing at all while the
    // login runs: those lines carry the credentials.
    void clientLine(std::string_view line) {
        if (inAuth) {
            return;
        }
        auto verb = [&](std::string_view v) {
            return line.size() >= v.size() &&
                   std::equal(v.begin(), v.end(), line.begin(), [](char a, char b) {
                       return a == std::toupper(static_cast<unsigned char>(b));
                   });
        };
        if (verb("AUTH")) {
            inAuth = authSent = true;
            setStatus(QStringLiteral("Logging in"));
        } else if (verb("STARTTLS")) {
            setStatus(QStringLiteral("Starting TLS"));
        } else if (verb("MAIL")) {
            setStatus(QStringLiteral("Sending sender address"));
        } else if (verb("RCPT")) {
            setStatus(QStringLiteral("Sending recipient"));
        } else if (verb("DATA")) {
            setStatus(QStringLiteral("Sending message"));
        }
    }
};

int onDebug(CURL*, curl_infotype type, char* data, size_t size, void* user) {
    auto* c = static_cast<Conversation*>(user);
    const std::string_view bytes(data, size);
    switch (type) {
    case CURLINFO_TEXT:
        if (bytes.starts_with("Connected to ")) {
            c->connectedOnce();
        }
        break;
    case CURLINFO_HEADER_IN: {
        c->heard = true;
        c->connectedOnce();
        // The server may hand over several lines at once or a line in pieces.
        c->partialLine.append(bytes);
        std::size_t start = 0;
        for (std::size_t nl; (nl = c->partialLine.find('\n', start)) != std::string::npos;
             start = nl + 1) {
            std::string_view line(c->partialLine.data() + start, nl - start);
            if (!line.empty() && line.back() == '\r') {
                line.remove_suffix(1);
            }
            c->serverLine(line);
        }
        c->partialLine.erase(0, start);
        break;
    }
    case CURLINFO_HEADER_OUT:
        c->clientLine(bytes);
        break;
    default:
        break;
    }
    return 0;
}

int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* c = static_cast<Conversation*>(user);
    return c->cancel->load() || c->probeSilentServer() ? 1 : 0;
}

void initialiseCurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string messageId(const std::string& sender) {
    const std::size_t at = sender.rfind('@');
    std::string domain = at == std::string::npos ? std::string() : sender.substr(at + 1);
    if (domain.empty()) {
        domain = "localhost";
    }
    QRandomGenerator* random = QRandomGenerator::system();
    return "<" + QString::number(random->generate64(), 36).toStdString() + "." +
           QString::number(random->generate64(), 36).toStdString() + "@" + domain + ">";
}

} // namespace

QString SmtpSession::failureText(int code, const QString& server, quint16 port, bool implicitTls,
                                 const QString& detail) {
    const QString host = server, number = QString::number(port);
    const QString usualPorts = QStringLiteral("SMTP servers usually offer TLS on port 465 and "
                                              "STARTTLS on port 587: in the ISP setup, choose the "
                                              "security that fits the port.");
    switch (static_cast<CURLcode>(code)) {
    case CURLE_COULDNT_RESOLVE_HOST:
        return QStringLiteral("The SMTP server %1 (port %2) could not be found. Check the server "
                              "name in the ISP setup, and that this computer is online.")
            .arg(host, number);
    case CURLE_COULDNT_CONNECT:
        return QStringLiteral("Could not connect to the SMTP server %1 on port %2. The server may "
                              "be down, or its name or port may be wrong.")
            .arg(host, number);
    case CURLE_OPERATION_TIMEDOUT:
        // A server that expects TLS from the first byte waits in silence for it.
        return QStringLiteral("The SMTP server %1 on port %2 did not answer in time.")
                   .arg(host, number) +
               (!implicitTls && port == 465
                    ? QStringLiteral(" Port 465 usually expects TLS from the first byte: choose "
                                     "TLS for this server in the ISP setup.")
                    : QString());
    case CURLE_SSL_CONNECT_ERROR:
        if (implicitTls && TlsMetPlainText(detail)) {
            return QStringLiteral("The SMTP server %1 does not speak TLS on port %2. ")
                       .arg(host, number) +
                   usualPorts;
        }
        [[fallthrough]];
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_USE_SSL_FAILED:
        return QStringLiteral("A secure connection to the SMTP server %1 on port %2 could not be "
                              "set up (%3).")
            .arg(host, number, detail);
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_WEIRD_SERVER_REPLY:
        return QStringLiteral("The connection to the SMTP server %1 on port %2 ended before the "
                              "message was sent.")
            .arg(host, number);
    default:
        return QStringLiteral("Sending through the SMTP server %1 on port %2 failed: %3")
            .arg(host, number, detail);
    }
}

namespace {

std::string dateNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return compose::MailDate(local, local.tm_gmtoff);
}

} // namespace

struct SmtpSession::Job {
    std::string url;
    std::string username;
    std::string password;
    std::string accessToken;
    int tlsMode = 0;
    std::string pinned;
    std::string sender;
    std::vector<std::string> recipients;
    std::vector<std::string> headers;
    std::string text;
    QList<SmtpAttachment> attachments;
    QString server;
    quint16 port = 0;
};

SmtpSession::SmtpSession(QObject* parent)
    : QObject(parent), cancel(std::make_shared<std::atomic<bool>>(false)) {
    initialiseCurl();
}

SmtpSession::~SmtpSession() {
    cancel->store(true);
    if (worker.joinable()) {
        worker.join();
    }
}

void SmtpSession::post(std::function<void()> action) {
    QMetaObject::invokeMethod(this, std::move(action), Qt::QueuedConnection);
}

void SmtpSession::SendEmail() {
    // Refusals arrive like every other event: queued, after the caller has returned.
    auto refuse = [this](qint16 number, const QString& description) {
        post([this, number, description] { Q_EMIT ErrorSMTP(number, description); });
    };
    // The files go with this send whatever becomes of it: a refused send leaves none
    // behind for the next message.
    Job job;
    job.attachments = std::exchange(attachments, {});
    if (sending) {
        refuse(CURLE_SEND_ERROR, QStringLiteral("A message is still being sent"));
        return;
    }
    job.sender = utf8(MailFrom);
    const std::string to = utf8(SendTo);
    const std::string subject = utf8(MessageSubject);
    if (compose::HasLineBreakOrNul(job.sender) || compose::HasLineBreakOrNul(to) ||
        compose::HasLineBreakOrNul(subject)) {
        refuse(CURLE_BAD_FUNCTION_ARGUMENT,
               QStringLiteral("Sender, recipient and subject must be single lines"));
        return;
    }
    job.recipients = compose::EnvelopeAddresses(to);
    if (job.recipients.empty()) {
        refuse(CURLE_BAD_FUNCTION_ARGUMENT, QStringLiteral("No recipient address"));
        return;
    }

    const bool ipv6 = Server.contains(QLatin1Char(':'));
    job.server = Server;
    job.url = (ImplicitTls ? "smtps://" : "smtp://") +
              utf8(ipv6 ? QLatin1Char('[') + Server + QLatin1Char(']') : Server) + ":" +
              std::to_string(Port);
    const std::size_t at = job.sender.rfind('@');
    if (at != std::string::npos && at + 1 < job.sender.size()) {
        // The path of an smtp URL is the name the client greets the server with.
        job.url += "/" + QUrl::toPercentEncoding(QString::fromStdString(job.sender.substr(at + 1)))
                             .toStdString();
    }
    job.username = utf8(Username);
    job.password = utf8(Password);
    job.accessToken = utf8(AccessToken);
    job.tlsMode = ImplicitTls ? 1 : TlsMode;
    job.pinned = utf8(PinnedCertificate);
    job.headers = {
        "Date: " + dateNow(),
        "From: " + job.sender,
        "To: " + compose::EncodeAddressList(to, 4),
        "Subject: " + compose::EncodeHeaderValue(subject, 9),
        "Message-ID: " + messageId(job.sender),
    };
    job.text = compose::WithCrLf(utf8(MessageText));
    job.port = Port;

    if (worker.joinable()) {
        worker.join();
    }
    sending = true;
    status = QStringLiteral("Connecting to ") + Server;
    Q_EMIT statusTextChanged(status);
    worker = std::thread([this, job = std::move(job)]() mutable { run(std::move(job)); });
}

void SmtpSession::run(Job job) {
    auto setStatus = [this](const QString& text) {
        post([this, text] {
            status = text;
            Q_EMIT statusTextChanged(text);
        });
    };

    // The files are read before connecting, so that an unreadable one stops the send before
    // the server has seen anything.
    std::vector<FileData> files;
    for (const SmtpAttachment& a : job.attachments) {
        QFile file(a.FilePath);
        if (!file.open(QIODevice::ReadOnly)) {
            const QString why = QStringLiteral("Cannot read the attachment ") + a.FilePath +
                                QStringLiteral(": ") + file.errorString();
            post([this, why] {
                const QPointer<SmtpSession> self(this);
                status.clear();
                Q_EMIT ErrorSMTP(CURLE_READ_ERROR, why);
                if (self) {
                    finished();
                }
            });
            return;
        }
        const std::string name = utf8(a.AttachmentName);
        const std::string type =
            a.ContentType.isEmpty() ? "application/octet-stream" : utf8(a.ContentType);
        files.push_back({compose::AttachmentContentType(type, name),
                         "Content-Disposition: " + compose::AttachmentDisposition(name),
                         file.readAll()});
    }

    Conversation conversation;
    conversation.setStatus = setStatus;
    conversation.connected = [this] { post([this] { Q_EMIT ConnectSMTP(); }); };
    conversation.cancel = cancel;
    conversation.server = job.server;
    conversation.port = job.port;
    conversation.implicitTls = job.url.starts_with("smtps://");

    CURL* curl = curl_easy_init();
    char errorBuffer[CURL_ERROR_SIZE] = {};
    curl_slist* recipients = nullptr;
    for (const std::string& r : job.recipients) {
        recipients = curl_slist_append(recipients, ("<" + r + ">").c_str());
    }
    curl_slist* headers = nullptr;
    for (const std::string& h : job.headers) {
        headers = curl_slist_append(headers, h.c_str());
    }
    curl_mime* mime = curl_mime_init(curl);
    curl_mimepart* body = curl_mime_addpart(mime);
    curl_mime_data(body, job.text.data(), job.text.size());
    curl_mime_type(body, "text/plain; charset=UTF-8");
    curl_mime_encoder(body, "quoted-printable");
    for (const FileData& f : files) {
        curl_mimepart* part = curl_mime_addpart(mime);
        curl_mime_data(part, f.bytes.constData(), static_cast<size_t>(f.bytes.size()));
        // The name goes in our own parameters: libcurl would write it raw, which is wrong
        // for any name outside ASCII.
        curl_mime_type(part, f.contentType.c_str());
        curl_mime_headers(part, curl_slist_append(nullptr, f.disposition.c_str()), 1);
        curl_mime_encoder(part, "base64");
    }

    const std::string sender = "<" + job.sender + ">";
    curl_easy_setopt(curl, CURLOPT_URL, job.url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(curl, CURLOPT_USE_SSL,
                     static_cast<long>(job.tlsMode == 1   ? CURLUSESSL_ALL
                                       : job.tlsMode == 2 ? CURLUSESSL_NONE
                                                          : CURLUSESSL_TRY));
    if (!job.username.empty()) {
        curl_easy_setopt(curl, CURLOPT_USERNAME, job.username.c_str());
        if (job.accessToken.empty()) {
            curl_easy_setopt(curl, CURLOPT_PASSWORD, job.password.c_str());
        } else {
            // XOAUTH2 by name: left to itself libcurl prefers OAUTHBEARER, which not every
            // provider offers. CURLOPT_HTTPAUTH stays untouched: CURLAUTH_BEARER there would
            // override the mechanism chosen here (libcurl before 8.6).
            curl_easy_setopt(curl, CURLOPT_XOAUTH2_BEARER, job.accessToken.c_str());
            curl_easy_setopt(curl, CURLOPT_LOGIN_OPTIONS, "AUTH=XOAUTH2");
        }
    }
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, sender.c_str());
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, recipients);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_MIMEPOST, mime);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 30L);
    curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, 60L);
    curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, onDebug);
    curl_easy_setopt(curl, CURLOPT_DEBUGDATA, &conversation);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &conversation);
    CurlCertificateCheck check(utf8(job.server), job.port, job.pinned);
    const CURLcode result = check.install(curl) ? curl_easy_perform(curl) : CURLE_NOT_BUILT_IN;
    long responseCode = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &responseCode);
    curl_mime_free(mime);
    curl_slist_free_all(headers);
    curl_slist_free_all(recipients);
    curl_easy_cleanup(curl);

    if (cancel->load()) {
        return; // the session is going away; nobody is listening
    }
    const bool connected = conversation.isConnected;
    if (result == CURLE_OK) {
        post([this, connected] {
            // A handler may close the window and release this session.
            const QPointer<SmtpSession> self(this);
            status = QStringLiteral("Message successfully sent");
            Q_EMIT statusTextChanged(status);
            Q_EMIT SendSMTP();
            if (self && connected) {
                Q_EMIT CloseSMTP();
            }
            if (self) {
                status.clear();
                finished();
            }
        });
        return;
    }

    if (std::optional<CertificateProblem> problem = check.problem()) {
        post([this, problem = *problem, connected] {
            const QPointer<SmtpSession> self(this);
            status.clear();
            if (connected) {
                Q_EMIT CloseSMTP();
            }
            if (self) {
                finished();
                Q_EMIT CertificateRefused(problem);
            }
        });
        return;
    }
    qint16 number = static_cast<qint16>(result);
    QString description;
    if (conversation.tlsExpected) {
        description =
            QStringLiteral("The SMTP server %1 expects a secure connection from the first "
                           "byte on port %2, and waits in silence for it. In the ISP "
                           "setup, choose TLS as the security for this port (SMTP servers "
                           "usually offer TLS on port 465 and STARTTLS on port 587).")
                .arg(job.server)
                .arg(job.port);
    } else if (result == CURLE_LOGIN_DENIED && !job.accessToken.empty() && !conversation.authSent) {
        description = QStringLiteral("The SMTP server %1 on port %2 does not offer the OAuth2 "
                                     "sign-in (XOAUTH2); nothing was sent.")
                          .arg(job.server, QString::number(job.port));
    } else if (result == CURLE_LOGIN_DENIED && !job.accessToken.empty()) {
        // A refused token: the server either says 535 or, as RFC 7628 lets it, sends its
        // error as a challenge that libcurl does not answer.
        number = 535;
        description = responseCode == 535 && conversation.refusedCode == 535
                          ? QString::fromUtf8(conversation.refusedText).trimmed()
                          : QString();
    } else if (responseCode >= 400 && responseCode < 600) {
        // The server refused a step: its code and its own words.
        number = static_cast<qint16>(responseCode);
        description = responseCode == conversation.refusedCode
                          ? QString::fromUtf8(conversation.refusedText).trimmed()
                          : QString();
    } else {
        description = failureText(
            result, job.server, job.port, job.url.starts_with("smtps://"),
            QString::fromUtf8(errorBuffer[0] != '\0' ? errorBuffer : curl_easy_strerror(result)));
    }
    post([this, number, description, connected] {
        const QPointer<SmtpSession> self(this);
        status.clear();
        Q_EMIT ErrorSMTP(number, description);
        if (self && connected) {
            Q_EMIT CloseSMTP();
        }
        if (self) {
            finished();
        }
    });
}

void SmtpSession::finished() {
    sending = false;
    if (worker.joinable()) {
        worker.join(); // the worker's last act was to post this
    }
}

} // namespace platform
