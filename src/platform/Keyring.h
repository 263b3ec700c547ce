#pragma once

#include <QString>
#include <string>

namespace platform {

// Secrets in the desktop's keyring (the Secret Service, through QtKeychain), one per key
// under the service "Corvane". Calls wait for the keyring's answer, at most timeoutMs, so
// they belong where the user waits anyway (start-up, the setup dialog's OK), never in a
// socket handler.
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

    explicit Keyring(QString service = QStringLiteral("Corvane"), int timeoutMs = 10000);

    Answer read(const QString& key) const;
    Answer write(const QString& key, const std::string& secret) const;
    Answer remove(const QString& key) const;

private:
    QString service;
    int timeoutMs;
};

} // namespace platform
