#pragma once

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
class HeaderCache {
public:
    using Entries = std::unordered_map<std::string, std::string>; // UID -> row source

    // The cache at path; empty means the file in the user's cache folder.
    explicit HeaderCache(QString path = {});
    ~HeaderCache();
    HeaderCache(const HeaderCache&) = delete;
    HeaderCache& operator=(const HeaderCache&) = delete;

    static QString defaultPath();
    // The key an account's entries are kept under.
    static std::string accountKey(const std::string& server, const std::string& user);

    bool usable() const { return ready; }
    Entries load(const std::string& account);
    // Reads the account's entries a part at a time, in UID order: up to limit (-1: all) of
    // those after the UID `after` (empty: from the first), and sets `after` to the last one
    // read. Failed means the cache was damaged and rebuilt: drop what was read before.
    enum class Read { More, Done, Failed };
    Read loadSome(const std::string& account, Entries& entries, std::string& after, int limit);
    // Adds or replaces entries of the account, in one transaction.
    void store(const std::string& account,
               const std::vector<std::pair<std::string, std::string>>& entries);
    // Forgets the account's entries whose UID the server no longer has.
    void keepOnly(const std::string& account, const std::unordered_set<std::string>& uids);
    // Forgets these entries of the account.
    void forget(const std::string& account, const std::vector<std::string>& uids);
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
