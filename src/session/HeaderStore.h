#pragma once

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace session {

// What the header rows of a mailbox are built from, kept between sessions per account and
// unique id. It only saves time: a store that fails reads as empty.
class HeaderStore {
public:
    using Entries = std::unordered_map<std::string, std::string>; // id -> row source
    enum class Read { More, Done, Failed };

    virtual ~HeaderStore() = default;

    // The key an account's entries are kept under.
    static std::string accountKey(const std::string& server, const std::string& user) {
        // A line break cannot be part of a server address or a user name sent in USER.
        return server + '\n' + user;
    }

    // Reads the account's entries a part at a time, in id order: up to limit (-1: all) of
    // those after the id `after` (empty: from the first), and sets `after` to the last one
    // read. Failed means the store was damaged: drop what was read before.
    virtual Read loadSome(const std::string& account, Entries& entries, std::string& after,
                          int limit) = 0;
    // Adds or replaces entries of the account, in one transaction.
    virtual void store(const std::string& account,
                       const std::vector<std::pair<std::string, std::string>>& entries) = 0;
    // Forgets the account's entries whose id is not in uids.
    virtual void keepOnly(const std::string& account,
                          const std::unordered_set<std::string>& uids) = 0;
    // Forgets these entries of the account.
    virtual void forget(const std::string& account, const std::vector<std::string>& uids) = 0;
};

} // namespace session
