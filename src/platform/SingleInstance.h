#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;

namespace platform {

// One reader per user: the first Corvane listens on a local socket; a second one hands its
// command line (a mailto: link, a message file) to it and exits, instead of opening a second
// session on the same mailbox.
//
// What goes through the socket is private (a link's text, the paths of files), so the socket
// lives in $XDG_RUNTIME_DIR, or without one in a folder of the user's own with mode 0700 in
// the temporary folder. A folder or socket that belongs to someone else is never used.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // name: the socket's file name in the private folder; empty means one per settings folder.
    explicit SingleInstance(QString name = {}, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Gives arguments to a running instance. True when one took them (within timeoutMs).
    bool handOver(const QStringList& arguments, int timeoutMs = 2000);
    // Becomes the running instance. False when the socket cannot be had.
    bool listen();

    // The socket's full path; empty when no private folder could be had (see problem()).
    QString socketPath() const { return path; }
    // Why the socket cannot be used, in words; empty when it can.
    QString problem() const { return why; }

    // The folder for the socket: $XDG_RUNTIME_DIR when it is the user's own and private, else
    // <temp>/corvane-<uid>, made 0700 if missing. Empty, with *reason, when neither is usable.
    static QString privateFolder(QString* reason = nullptr);

Q_SIGNALS:
    // A later start handed these over. Always emitted from the event loop, after the
    // connection they came on has been answered and closed, so that whatever the receiver
    // does (ask a question, open a window) never runs inside the socket's handler.
    void received(const QStringList& arguments);

private:
    // False, with why set, when a file at path is there but is not our own socket.
    bool socketFileUsable();

    QString path;
    QString why;
    QLocalServer* server = nullptr;
};

} // namespace platform
