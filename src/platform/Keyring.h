#pragma once

#include <QString>
#include <functional>
#include <string>

namespace platform {

// Secrets in the desktop's keyring (the Secret Service, through QtKeychain), one per key
// under the service "Corvane". Calls wait for the keyring's answer, at most timeoutMs, so
// they belong where the user waits anyway (start-up, the setup dialog's OK), never in a
// socket handler. A keyring may answer long after that (one that starts on demand and first
// asks the user to create a keyring): such a late answer is dropped, and nothing the call
// used is touched by it.
class Keyring {
public:
    enum class Status {
        Ok,
        NotFound,    // the keyring works but holds nothing under the key
        Unavailable, // there is no keyring on this desktop
        Refused,     // locked, denied by the user, or it did not answer in time
    };
    struct Answer {
        Status status = Status::Unavailable;
        std::string secret; // UTF-8, with Ok from read()
        QString error;      // in words, for anything but Ok and NotFound
    };
    enum class Operation { Read, Write, Remove };

    // What stands behind the calls: QtKeychain, unless a test installed a double.
    class Backend {
    public:
        virtual ~Backend() = default;
        // Starts one operation; done is called once with the keyring's answer, now or
        // later, from the event loop; it may come after the caller stopped waiting.
        virtual void start(Operation operation, const QString& service, const QString& key,
                           const std::string& secret, std::function<void(Answer)> done) = 0;
    };
    // nullptr restores QtKeychain.
    static void installBackend(Backend* backend);

    explicit Keyring(QString service = QStringLiteral("Corvane"), int timeoutMs = 10000);

    Answer read(const QString& key) const;
    Answer write(const QString& key, const std::string& secret) const;
    Answer remove(const QString& key) const;

private:
    Answer run(Operation operation, const QString& key, const std::string& secret) const;

    QString service;
    int timeoutMs;
};

} // namespace platform
