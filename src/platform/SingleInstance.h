#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;

namespace platform {

// One reader per user: the first Corvane listens on a local socket named after the user;
// a second one hands its command line (a mailto: link, a message file) to it and exits,
// instead of opening a second session on the same mailbox.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // name: the socket's name; empty means one per user and settings folder.
    explicit SingleInstance(QString name = {}, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Gives arguments to a running instance. True when one took them (within timeoutMs).
    bool handOver(const QStringList& arguments, int timeoutMs = 2000);
    // Becomes the running instance. False when the socket cannot be had.
    bool listen();

Q_SIGNALS:
    // A later start handed these over.
    void received(const QStringList& arguments);

private:
    QString name;
    QLocalServer* server = nullptr;
};

} // namespace platform
