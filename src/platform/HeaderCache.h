#pragma once

#include "session/HeaderStore.h"

#include <QByteArray>
#include <QString>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace platform {

// What the header rows of a mailbox are built from, kept between sessions per account
// (server and user) and message UID, in an SQLite file in the user's cache folder. It only
// saves time: a file that cannot be opened or read is rebuilt, and when even that fails the
// cache stays empty and every call does nothing.
class HeaderCache final : public session::HeaderStore {
public:
    // The cache at path; empty means the file in the user's cache folder.
    explicit HeaderCache(QString path = {});
    ~HeaderCache() override;
    HeaderCache(const HeaderCache&) = delete;
    HeaderCache& operator=(const HeaderCache&) = delete;

    static QString defaultPath();

    bool usable() const { return ready; }
    Entries load(const std::string& account);
    // A failed read means the cache was damaged and rebuilt.
    Read loadSome(const std::string& account, Entries& entries, std::string& after,
                  int limit) override;
    void store(const std::string& account,
               const std::vector<std::pair<std::string, std::string>>& entries) override;
    void keepOnly(const std::string& account, const std::unordered_set<std::string>& uids) override;
    void forget(const std::string& account, const std::vector<std::string>& uids) override;
    // Forgets everything, for every account.
    bool clear();

private:
    bool openFile();
    bool prepareSchema();
    void rebuild();
    // Runs statement once per row, all in one transaction; any failure rebuilds the cache.
    void batch(const QString& statement, const std::vector<std::vector<QByteArray>>& rows);
    void fail();

    QString path;
    QString connection;
    bool ready = false;
};

} // namespace platform
