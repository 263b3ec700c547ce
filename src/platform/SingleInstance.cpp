#include "platform/SingleInstance.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// A hand-over is one QStringList; anything larger is not ours.
constexpr qint64 kMaxMessage = qint64{4} << 20;

// lstat: a symbolic link is looked at itself, never followed to what it names.
bool status(const QString& path, struct stat& st) {
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

// A folder only this user can enter: a real folder (no link), owned by the user, with no
// access for the group or others.
bool privateToUser(const QString& folder, QString& reason) {
    struct stat st {};
    if (!status(folder, st)) {
        reason = folder + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) {
        reason = folder + QStringLiteral(" is not a folder of this user's own.");
        return false;
    }
    if ((st.st_mode & 077) != 0) {
        reason = folder + QStringLiteral(" can be entered by other users.");
        return false;
    }
    return true;
}

} // namespace

QString SingleInstance::privateFolder(QString* reason) {
    QString runtimeWhy;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && privateToUser(runtime, runtimeWhy)) {
        return runtime;
    }
    const QString own = QDir::tempPath() + QStringLiteral("/corvane-%1").arg(::geteuid());
    const QByteArray ownPath = QFile::encodeName(own);
    ::mkdir(ownPath.constData(), 0700); // already there is fine: it is checked below
    QString ownWhy;
    struct stat st {};
    // Our own folder made too open (a umask, a copy) is ours to close again.
    if (status(own, st) && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
        (st.st_mode & 077) != 0) {
        ::chmod(ownPath.constData(), 0700);
    }
    if (privateToUser(own, ownWhy)) {
        return own;
    }
    if (reason != nullptr) {
        *reason = runtime.isEmpty() ? ownWhy : runtimeWhy + QLatin1Char(' ') + ownWhy;
    }
    return {};
}

SingleInstance::SingleInstance(QString name, QObject* parent) : QObject(parent) {
    if (name.isEmpty()) {
        // One reader per settings folder: the demo, with its own folder, runs beside the
        // user's own reader.
        const QByteArray folder =
            QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation).toUtf8();
        name = QStringLiteral("corvane-") +
               QString::fromLatin1(
                   QCryptographicHash::hash(folder, QCryptographicHash::Sha256).toHex().left(12));
    }
    const QString folder = privateFolder(&why);
    if (!folder.isEmpty()) {
        path = folder + QLatin1Char('/') + name;
    }
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::socketFileUsable() {
    if (path.isEmpty()) {
        return false;
    }
    struct stat st {};
    if (!status(path, st)) {
        return true; // nothing there yet
    }
    if (!S_ISSOCK(st.st_mode) || st.st_uid != ::geteuid()) {
        why = path + QStringLiteral(" is not a socket of this user's own.");
        return false;
    }
    return true;
}

bool SingleInstance::handOver(const QStringList& arguments, int timeoutMs) {
    if (!socketFileUsable()) {
        return false;
    }
    QLocalSocket socket;
    socket.connectToServer(path);
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
    if (!socketFileUsable()) {
        return false;
    }
    server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(path)) {
        // A socket file left by a reader that crashed: nobody answers on it.
        QLocalSocket probe;
        probe.connectToServer(path);
        if (probe.waitForConnected(500)) {
            why = QStringLiteral("Another reader answers on ") + path;
            return false;
        }
        QLocalServer::removeServer(path);
        if (!server->listen(path)) {
            why = path + QStringLiteral(": ") + server->errorString();
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
                // One request per connection: it is answered and closed here, and acted on
                // later, so that a question the request raises never runs inside this handler
                // (its nested event loop could free the socket under it).
                client->disconnectFromServer();
                QMetaObject::invokeMethod(
                    this, [this, arguments] { Q_EMIT received(arguments); }, Qt::QueuedConnection);
            });
        }
    });
    return true;
}

} // namespace platform
