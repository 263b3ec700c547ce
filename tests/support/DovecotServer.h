#pragma once

#include <QString>
#include <QStringList>

// A private Dovecot POP3 server on 127.0.0.1, started through scripts/dovecot for one test.
// The user is alice with password secret.
class DovecotServer {
public:
    DovecotServer() = default;
    ~DovecotServer() { stop(); }
    DovecotServer(const DovecotServer&) = delete;
    DovecotServer& operator=(const DovecotServer&) = delete;

    // Starts the server with scripts/dovecot's options (e.g. --tls IP:CERT:KEY); false (with
    // the reason in error()) when it could not.
    bool start(const QStringList& options = {});
    // Puts message files into the mailbox, numbered in this order after those there.
    bool add(const QStringList& files);
    // Stops the server and removes its folder, in the background (Dovecot takes a few
    // seconds to let go of its port).
    void stop();
    // Sends sig to every process of this server that serves a connection; returns how many.
    int signalSessions(int sig) const;

    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(portNumber); }
    // The plain port (STLS when started with TLS) or the TLS port, on another loopback IP.
    QString address(const QString& ip, bool tls) const {
        return ip + QLatin1Char(':') + QString::number(tls ? tlsPortNumber : portNumber);
    }
    // The message files in the mailbox (names without flags), sorted.
    QStringList messageFiles() const;
    QString error() const { return lastError; }
    // The server's folder (its log is dovecot.log there).
    QString folder() const { return dir; }

private:
    int portNumber = 0;
    int tlsPortNumber = 0;
    int masterPid = 0;
    QString dir, mailDir, lastError;
    bool running = false;
};
