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

    // Starts the server; false (with the reason in error()) when it could not.
    bool start();
    // Puts message files into the mailbox, numbered in this order after those there.
    bool add(const QStringList& files);
    // Stops the server and removes its folder, in the background (Dovecot takes a few
    // seconds to let go of its port).
    void stop();
    // Sends sig to every process of this server that serves a connection; returns how many.
    int signalSessions(int sig) const;

    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(portNumber); }
    // The message files in the mailbox (names without flags), sorted.
    QStringList messageFiles() const;
    QString error() const { return lastError; }

private:
    int portNumber = 0;
    int masterPid = 0;
    QString dir, mailDir, lastError;
    bool running = false;
};
