#pragma once

#include <QString>
#include <QStringList>

// A private Dovecot POP3 server on 127.0.0.1, started through scripts/dovecot for one test
// or one program run. The user is alice with password secret.
class DovecotServer {
public:
    DovecotServer() = default;
    ~DovecotServer();
    DovecotServer(const DovecotServer&) = delete;
    DovecotServer& operator=(const DovecotServer&) = delete;

    // Starts the server; false (with the reason in error()) when it could not.
    bool start();
    // Puts message files into the mailbox, numbered in this order after those there.
    bool add(const QStringList& files);
    // Stops the server and removes its folder; with wait false the stop runs on in the
    // background (Dovecot takes a few seconds to let go of its port).
    void stop(bool wait = true);

    // The POP3 processes of this server that serve a connection, by process id.
    QList<int> sessionProcesses() const;
    // Sends sig to every session process; returns how many there were.
    int signalSessions(int sig) const;

    int port() const { return portNumber; }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(portNumber); }
    QString folder() const { return dir; }
    QString maildir() const { return mailDir; }
    // The message files in the mailbox (names only), sorted.
    QStringList messageFiles() const;
    QString error() const { return lastError; }

    static QString script();

private:
    int portNumber = 0;
    int masterPid = 0;
    QString dir, mailDir, lastError;
    bool running = false;
};
