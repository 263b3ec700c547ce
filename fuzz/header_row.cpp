// Feeds arbitrary server replies to the listing, header-row, retrieval and reply-framing
// functions and checks the fixed row layout and the scanner against a plain search.
#include "decoding/Charset.h"
#include "decoding/Reply.h"
#include "session/HeaderRow.h"
#include "session/ListReply.h"
#include "session/ReplyScanner.h"
#include "session/RetrFields.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void CheckRow(const std::string& row, decoding::TextUnits units) {
    using decoding::CharOffset;
    Check(decoding::CharCount(row, units) >= 40);
    const std::size_t sep = CharOffset(row, 11, units);
    Check(row.compare(sep, 3, " | ") == 0);
    const std::size_t end = CharOffset(row, 36, units);
    Check(row.compare(end, 4, " | |") == 0);
    const std::string marked = session::RowWithMark(row, "R", units);
    Check(marked.size() == row.size());
    Check(marked[CharOffset(marked, 38, units)] == 'R');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    std::optional<std::int32_t> rowSize;
    if (size > 0 && data[0] % 2 == 0) {
        rowSize = static_cast<std::int32_t>(size * 997);
    }
    const std::string row = session::BuildHeaderRow(input, rowSize);
    CheckRow(row, decoding::TextUnits::Bytes);

    const session::HeaderValueDecoder decode = [](std::string_view raw) {
        return decoding::DecodeEncodedWords(raw);
    };
    const std::string decodedRow = session::BuildHeaderRow(input, rowSize, decode);
    Check(decoding::SanitizeUtf8(decodedRow) == decodedRow);
    CheckRow(decodedRow, decoding::TextUnits::Utf8);

    const auto list = session::ParseListReply(input);
    Check(list.MessageCount >= 0);
    for (const auto& entry : list.MessageIndex) {
        Check(entry.Number >= 0 && entry.Size >= 0);
    }

    const auto fields = session::PickRetrFields(input);
    for (const auto* field :
         {&fields.FromAddress, &fields.ReplyToField, &fields.CcField, &fields.XSenderField,
          &fields.ApparentlyToField, &fields.FromSubject}) {
        Check(!*field || ((*field)->size() >= 2 && (*field)->find("\r\n") == std::string::npos));
    }
    Check(!fields.FromDate || fields.FromDate->size() <= 16);

    Check(session::DotUnstuff(input).size() <= size);

    const std::size_t at = input.find("\r\n.\r\n");
    const std::size_t split = size == 0 ? 0 : data[size - 1] % (size + 1);
    session::ReplyScanner scanner;
    scanner.Feed(input.substr(0, split));
    scanner.Feed(input.substr(split));
    Check(scanner.Complete() == (at != std::string_view::npos));
    Check(!scanner.Complete() || scanner.EndOffset() == at + 5);

    const std::string reply = decoding::BuildReplyText(input, input, false);
    Check(reply.starts_with("\r\n\r\n> "));
    return 0;
}
