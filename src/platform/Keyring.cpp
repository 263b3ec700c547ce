#include "platform/Keyring.h"

#include <QDBusConnection>
#include <QEventLoop>
#include <QTimer>
#include <qt6keychain/keychain.h>

namespace platform {

namespace {

Keyring::Answer Run(QKeychain::Job& job, int timeoutMs) {
    if (!QDBusConnection::sessionBus().isConnected()) {
        // The keyring is reached over the session bus; without one there is none.
        Keyring::Answer none;
        none.error = QStringLiteral("There is no keyring on this desktop.");
        return none;
    }
    job.setAutoDelete(false);
    job.setInsecureFallback(false); // never a plain file in place of the keyring
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    QTimer deadline;
    deadline.setSingleShot(true);
    bool timedOut = false;
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    deadline.start(timeoutMs);
    job.start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);

    Keyring::Answer answer;
    if (timedOut) {
        answer.status = Keyring::Status::Refused;
        answer.error = QStringLiteral("The keyring did not answer; it may be locked.");
        return answer;
    }
    switch (job.error()) {
    case QKeychain::NoError:
        answer.status = Keyring::Status::Ok;
        break;
    case QKeychain::EntryNotFound:
        answer.status = Keyring::Status::NotFound;
        break;
    case QKeychain::NoBackendAvailable:
    case QKeychain::NotImplemented:
        answer.status = Keyring::Status::Unavailable;
        answer.error = QStringLiteral("There is no keyring on this desktop.");
        break;
    case QKeychain::AccessDeniedByUser:
    case QKeychain::AccessDenied:
        answer.status = Keyring::Status::Refused;
        answer.error = QStringLiteral("The keyring refused access: ") + job.errorString();
        break;
    default:
        answer.status = Keyring::Status::Refused;
        answer.error = QStringLiteral("The keyring failed: ") + job.errorString();
        break;
    }
    return answer;
}

} // namespace

Keyring::Keyring(QString serviceName, int timeout)
    : service(std::move(serviceName)), timeoutMs(timeout) {}

Keyring::Answer Keyring::read(const QString& key) const {
    QKeychain::ReadPasswordJob job(service);
    job.setKey(key);
    Answer answer = Run(job, timeoutMs);
    if (answer.status == Status::Ok) {
        const QByteArray utf8 = job.textData().toUtf8();
        answer.secret.assign(utf8.constData(), static_cast<std::size_t>(utf8.size()));
    }
    return answer;
}

Keyring::Answer Keyring::write(const QString& key, const std::string& secret) const {
    QKeychain::WritePasswordJob job(service);
    job.setKey(key);
    job.setTextData(QString::fromUtf8(secret.data(), static_cast<qsizetype>(secret.size())));
    return Run(job, timeoutMs);
}

Keyring::Answer Keyring::remove(const QString& key) const {
    QKeychain::DeletePasswordJob job(service);
    job.setKey(key);
    Answer answer = Run(job, timeoutMs);
    if (answer.status == Status::NotFound) {
        answer.status = Status::Ok; // nothing there is what was asked for
    }
    return answer;
}

} // namespace platform
