// Drives the whole mailbox session with the user's commands, the clock, the header store
// and the server's bytes interleaved in any order. Checks what the session promises: rows
// and marks name rows that exist, every write is whole command lines, no command goes out
// while a box waits for its answer, and a closed session writes nothing.
#include "session/MailboxSession.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

class Store final : public session::HeaderStore {
public:
    std::map<std::string, std::string> entries;
    int reads = 0;

    Read loadSome(const std::string&, Entries& out, std::string& after, int) override {
        auto it = entries.upper_bound(after);
        if (it == entries.end()) {
            return Read::Done;
        }
        out[it->first] = it->second;
        after = it->first;
        return ++reads % 7 == 0 ? Read::Failed : Read::More; // one at a time, some fail
    }
    void store(const std::string&,
               const std::vector<std::pair<std::string, std::string>>& added) override {
        for (const auto& [uid, source] : added) {
            entries[uid] = source;
        }
    }
    void keepOnly(const std::string&, const std::unordered_set<std::string>& uids) override {
        std::erase_if(entries, [&](const auto& e) { return !uids.count(e.first); });
    }
    void forget(const std::string&, const std::vector<std::string>& uids) override {
        for (const std::string& uid : uids) {
            entries.erase(uid);
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using Kind = session::SessionEvent::Kind;
    using Mode = session::MailboxSession::ViewMode;
    Store store;
    session::MailboxSession rules;
    rules.setMaxReplyBytes(1 << 12);
    rules.setHeaderStore(&store);
    AccountRecord account;
    account.POPAddress = "mail.example.test";
    account.EmailUsername = "alice";
    account.EmailPass = "secret";
    int box = 0; // the open box, if any
    bool later = false;

    std::size_t i = 0;
    while (i < size) {
        const std::uint8_t op = data[i++];
        const int arg = i < size ? data[i] % 8 : 0;
        const bool quiet = box != 0; // no command may go out before the box is answered
        if (op >= 0x40) {
            // Server bytes: the next (op - 0x40) bytes, as one piece.
            const std::size_t n = std::min<std::size_t>(op - 0x40, size - i);
            rules.received(std::string_view(reinterpret_cast<const char*>(data + i), n));
            i += n;
        } else {
            switch (op % 16) {
            case 0:
                account.POPSecurity = static_cast<settings::Security>(arg % 3);
                rules.begin(account);
                rules.connected();
                box = 0;
                break;
            case 1:
                rules.tlsStarted("TLS\r\n");
                break;
            case 2:
                rules.closed();
                box = 0;
                break;
            case 3:
                rules.view(arg - 1, static_cast<Mode>(arg % 3));
                break;
            case 4:
                rules.remove(arg - 1, arg % 2 == 0);
                break;
            case 5:
                rules.reset();
                break;
            case 6:
                rules.disconnect();
                break;
            case 7:
                rules.boxClosed(std::exchange(box, 0), arg % 2 == 0);
                break;
            case 8:
                rules.tick(true);
                break;
            case 9:
                rules.elapsed(arg * 10);
                break;
            case 10:
                if (std::exchange(later, false)) {
                    rules.resume();
                }
                break;
            default:
                break;
            }
        }
        while (const auto e = rules.next()) {
            const session::HeaderList& rows = rules.rows();
            switch (e->kind) {
            case Kind::Write:
                Check(!e->text.empty() && e->text.ends_with("\r\n"));
                Check(rules.isConnected());
                Check(!quiet || op < 0x40); // a box answered by the user, or a user's command
                break;
            case Kind::RowAdded:
                Check(e->row == rows.size() - 1 && rows.number(e->row) > 0);
                break;
            case Kind::RowMarked:
                Check(rows.has(e->row) && rows.mark(e->row) != ' ');
                break;
            case Kind::Select:
                Check(rows.has(e->row));
                break;
            case Kind::Box:
                box = e->row;
                break;
            case Kind::Later:
                later = true;
                break;
            case Kind::Close:
                Check(!rules.isConnected());
                box = 0;
                break;
            default:
                break;
            }
        }
    }
    return 0;
}
