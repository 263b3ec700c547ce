#include "platform/Keyring.h"

#include <QDBusConnection>
#include <QEventLoop>
#include <QTimer>
#include <memory>
#include <optional>
#include <qt6keychain/keychain.h>

namespace platform {

namespace {

// The keyring's errors, said in a sentence: its own texts name D-Bus objects.
Keyring::Answer answerOf(const QKeychain::Job& job) {
    Keyring::Answer answer;
    answer.status = Keyring::Status::Refused;
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
        answer.error = QStringLiteral("You declined the keyring's request.");
        break;
    case QKeychain::AccessDenied:
        answer.error = QStringLiteral("The keyring is locked, or it refused access.");
        break;
    default:
        // The usual case: the keyring's first-time setup (creating the "login" keyring) was
        // cancelled, and the keyring has nowhere to put the password.
        answer.error = job.errorString().contains(QLatin1String("does not exist"))
                           ? QStringLiteral("The keyring has no place to keep passwords yet; "
                                            "creating it may have been cancelled.")
                           : QStringLiteral("The keyring reported an error.");
        break;
    }
    return answer;
}

// The job lives on the heap and deletes itself once the keyring has answered, however late:
// the keyring's answer must always find the job it belongs to.
class QtKeychainBackend final : public Keyring::Backend {
public:
    void start(Keyring::Operation operation, const QString& service, const QString& key,
               const std::string& secret, std::function<void(Keyring::Answer)> done) override {
        if (!QDBusConnection::sessionBus().isConnected()) {
            // The keyring is reached over the session bus; without one there is none.
            Keyring::Answer none;
            none.error = QStringLiteral("There is no keyring on this desktop.");
            done(std::move(none));
            return;
        }
        QKeychain::Job* job = nullptr;
        if (operation == Keyring::Operation::Read) {
            job = new QKeychain::ReadPasswordJob(service);
        } else if (operation == Keyring::Operation::Write) {
            auto* write = new QKeychain::WritePasswordJob(service);
            write->setTextData(
                QString::fromUtf8(secret.data(), static_cast<qsizetype>(secret.size())));
            job = write;
        } else {
            job = new QKeychain::DeletePasswordJob(service);
        }
        job->setKey(key);
        job->setAutoDelete(true);
        job->setInsecureFallback(false); // never a plain file in place of the keyring
        QObject::connect(job, &QKeychain::Job::finished, job,
                         [done = std::move(done)](QKeychain::Job* finished) {
                             Keyring::Answer answer = answerOf(*finished);
                             if (auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(finished);
                                 read && answer.status == Keyring::Status::Ok) {
                                 const QByteArray utf8 = read->textData().toUtf8();
                                 answer.secret.assign(utf8.constData(),
                                                      static_cast<std::size_t>(utf8.size()));
                             }
                             done(std::move(answer));
                         });
        job->start();
    }
};

Keyring::Backend* installed = nullptr;

Keyring::Backend& backend() {
    static QtKeychainBackend real;
    return installed ? *installed : real;
}

// What a call waits on; shared with the answer's callback, which may outlive the call.
struct Waiting {
    QEventLoop* loop = nullptr; // null once the call stopped waiting
    std::optional<Keyring::Answer> answer;
};

} // namespace

void Keyring::installBackend(Backend* replacement) {
    installed = replacement;
}

Keyring::Keyring(QString serviceName, int timeout)
    : service(std::move(serviceName)), timeoutMs(timeout) {}

Keyring::Answer Keyring::run(Operation operation, const QString& key,
                             const std::string& secret) const {
    auto waiting = std::make_shared<Waiting>();
    QEventLoop loop;
    waiting->loop = &loop;
    backend().start(operation, service, key, secret, [waiting](Answer answer) {
        if (waiting->loop == nullptr || waiting->answer) {
            return; // too late: the call has given up on this answer
        }
        waiting->answer = std::move(answer);
        waiting->loop->quit();
    });
    if (!waiting->answer) {
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
        deadline.start(timeoutMs);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    waiting->loop = nullptr;
    if (!waiting->answer) {
        Answer answer;
        answer.status = Status::Refused;
        answer.error = QStringLiteral("The keyring did not answer in time; it may be waiting "
                                      "for you in another window.");
        return answer;
    }
    return std::move(*waiting->answer);
}

Keyring::Answer Keyring::read(const QString& key) const {
    return run(Operation::Read, key, {});
}

Keyring::Answer Keyring::write(const QString& key, const std::string& secret) const {
    return run(Operation::Write, key, secret);
}

Keyring::Answer Keyring::remove(const QString& key) const {
    Answer answer = run(Operation::Remove, key, {});
    if (answer.status == Status::NotFound) {
        answer.status = Status::Ok; // nothing there is what was asked for
    }
    return answer;
}

} // namespace platform
