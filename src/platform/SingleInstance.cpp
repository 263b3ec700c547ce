#include "platform/SingleInstance.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QStandardPaths>
#include <unistd.h>

namespace platform {

namespace {

// A hand-over is one QStringList; anything larger is not ours.
constexpr qint64 kMaxMessage = qint64{4} << 20;

} // namespace

SingleInstance::SingleInstance(QString socketName, QObject* parent)
    : QObject(parent), name(std::move(socketName)) {
    if (name.isEmpty()) {
        // One reader per user and settings folder: the demo, with its own folder, runs
        // beside the user's own reader.
        const QByteArray folder =
            QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation).toUtf8();
        name =
            QStringLiteral("corvane-%1-%2")
                .arg(::getuid())
                .arg(QString::fromLatin1(
                    QCryptographicHash::hash(folder, QCryptographicHash::Sha256).toHex().left(12)));
    }
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::handOver(const QStringList& arguments, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs)) {
        return false;
    }
    QByteArray message;
    QDataStream out(&message, QIODevice::WriteOnly);
    out << quint32{0} << arguments;
    QDataStream(&message, QIODevice::ReadWrite) << static_cast<quint32>(message.size() - 4);
    socket.write(message);
    if (!socket.waitForBytesWritten(timeoutMs)) {
        return false;
    }
    // The running instance answers one byte once it has the arguments.
    return socket.waitForReadyRead(timeoutMs) && socket.read(1) == "1";
}

bool SingleInstance::listen() {
    server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(name)) {
        // A socket file left by a reader that crashed: nobody answers on it.
        QLocalSocket probe;
        probe.connectToServer(name);
        if (probe.waitForConnected(500)) {
            return false; // somebody does answer
        }
        QLocalServer::removeServer(name);
        if (!server->listen(name)) {
            return false;
        }
    }
    connect(server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = server->nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            connect(client, &QLocalSocket::readyRead, this, [this, client] {
                if (client->bytesAvailable() < 4) {
                    return;
                }
                quint32 size = 0;
                QDataStream head(client->peek(4));
                head >> size;
                if (size > kMaxMessage) {
                    client->abort();
                    return;
                }
                if (client->bytesAvailable() < 4 + static_cast<qint64>(size)) {
                    return; // the rest is on its way
                }
                client->read(4);
                QStringList arguments;
                QDataStream body(client->read(size));
                body >> arguments;
                client->write("1");
                client->flush();
                Q_EMIT received(arguments);
            });
        }
    });
    return true;
}

} // namespace platform
