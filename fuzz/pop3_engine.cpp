// Drives the POP3 engine with arbitrary commands and arbitrary server bytes in arbitrary
// pieces, as the reader window would: LIST replies start the listing loop, TOP replies
// become header rows. Checks what the engine promises about its events.
#include "decoding/Charset.h"
#include "session/HeaderList.h"
#include "session/HeaderRow.h"
#include "session/ListingLoop.h"
#include "session/Pop3Engine.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

constexpr std::size_t kCap = 1 << 12;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using session::Pop3Command;
    using session::Pop3Event;
    session::Pop3Engine engine(kCap);
    session::ListingLoop listing;
    session::HeaderList rows;
    std::string joined; // the pieces of the reply being collected
    engine.connected();

    std::size_t i = 0;
    while (i < size) {
        const std::uint8_t op = data[i++];
        if (op < 0x40) {
            // A command: which one, and the message number in the next byte.
            const auto command = static_cast<Pop3Command>(1 + op % 9);
            const int number = i < size ? data[i++] : 0;
            const std::size_t before = engine.inFlight().size();
            const bool sent = engine.send({command, number}, "x");
            Check(engine.inFlight().size() == before + (sent ? 1 : 0));
            const std::string out = engine.takeOutgoing();
            Check(sent ? EndsWith(out, "\r\n") && out.find("\r\n") == out.size() - 2 : out.empty());
        } else if (op == 0x40) {
            engine.closed();
            engine.connected();
            joined.clear();
        } else {
            // Server bytes: the next (op - 0x40) bytes, as one piece.
            const std::size_t n = std::min<std::size_t>(op - 0x40, size - i);
            engine.feed(std::string_view(reinterpret_cast<const char*>(data + i), n));
            i += n;
        }
        while (const auto event = engine.next()) {
            switch (event->kind) {
            case Pop3Event::Kind::Piece:
                Check(event->request && session::IsMultiLine(event->request->command));
                joined += event->text;
                Check(joined.size() <= kCap + 0xC0);
                break;
            case Pop3Event::Kind::Reply: {
                const Pop3Command c = event->request->command;
                Check(EndsWith(event->text, ".\r\n"));
                Check(c == Pop3Command::Retr ? event->text.size() <= joined.size()
                                             : event->text == joined);
                joined.clear();
                if (c == Pop3Command::List &&
                    listing.begin(event->text) == session::ListingLoop::Start::Listing) {
                    for (int k = 0; k < 3 && !listing.allAsked(); ++k) {
                        const session::ListingItem item = listing.nextItem();
                        Check(item.position >= 1 && item.position <= listing.total());
                    }
                } else if (c == Pop3Command::Top) {
                    // Rows are UTF-8, as the window builds them.
                    rows.add(event->request->number,
                             session::BuildHeaderRow(
                                 event->text, listing.sizeAt(1),
                                 [](std::string_view raw) { return std::string(raw); }));
                    rows.setMark(rows.size() - 1, 'R');
                    const std::string shown = rows.shown(rows.size() - 1);
                    Check(shown[decoding::CharOffset(shown, session::kMarkColumn,
                                                     decoding::TextUnits::Utf8)] == 'R');
                }
                break;
            }
            case Pop3Event::Kind::TooLarge:
                Check(engine.state() == session::Pop3State::Failed);
                break;
            case Pop3Event::Kind::Ok:
            case Pop3Event::Kind::Err:
            case Pop3Event::Kind::Stray:
            case Pop3Event::Kind::Continue:
                Check(event->text.find("\r\n") == std::string::npos);
                break;
            }
        }
    }
    return 0;
}
