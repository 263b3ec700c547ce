#pragma once

#include "decoding/Charset.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// The fixed-width row of the header list, one per message:
//   date (11) " | " sender (22) " |" mark (1) "|" size "k " subject
// The mark column is character 39: " " when listed, "R" when retrieved, "D" when deleted.
namespace session {

// Position of the mark column (0-based).
inline constexpr std::size_t kMarkColumn = 38;

// Turns a raw header value (bytes as the server sent them) into UTF-8 display text, e.g. by
// way of decoding::DecodeEncodedWords with the platform's charset converter.
using HeaderValueDecoder = std::function<std::string(std::string_view raw)>;

// The row for a complete TOP reply (status line, header, some body lines, end mark).
// size is the message's size in octets when the listing knows it (see ListedSize); the row
// then shows it in whole thousands followed by "k ", else a blank.
// The first header line starting with "Date", "From" or "Subject" counts (exact case, the
// body lines included); without "From" the "Return-Path: " value is the sender. A value
// never reaches past the end of its own line.
// Without decode the row is Windows-1252 bytes and widths count bytes. With decode every
// value is passed through it, control characters in the result become blanks, and widths
// count UTF-8 characters (a long sender is cut after 20 characters, never inside one).
std::string BuildHeaderRow(std::string_view topReply, std::optional<std::int32_t> size,
                           const HeaderValueDecoder& decode = {});

// Who sent the message, for telling senders apart where the row's column is cut: the
// address of the sender the row shows (inside its last "<...>", else the whole value),
// blanks trimmed, ASCII letters in lower case; empty when the row shows no sender.
std::string SenderAddress(std::string_view topReply);

// The row of a message whose header the server would not send: "#" and the message number
// in the date column, the size as in any row, no sender and no subject.
std::string NumberedRow(int number, std::optional<std::int32_t> size);

// row with its mark column set to the first character of mark (a blank when mark is empty):
// the first 38 characters, the mark, then the row from character 40 on. A row shorter than
// 38 characters is filled with blanks first. Use TextUnits::Utf8 for rows built with a
// decoder.
std::string RowWithMark(std::string_view row, std::string_view mark,
                        decoding::TextUnits units = decoding::TextUnits::Bytes);

// The row is tagged "[spam]" (exact case, anywhere).
bool IsSpamRow(std::string_view row);

// The row contains "SEXUALLY EXPLICIT" in any letter case; such messages are never
// downloaded.
bool IsSexuallyExplicitRow(std::string_view row);

// The row the View command downloads when row selected (0-based, of rowCount) is selected:
// with the spam filter on, a "[spam]" row gives way to the row below it, or to the first row
// when it is the last. Only one row is skipped.
int ViewRow(std::string_view selectedRow, int selected, int rowCount, bool filterSpam);

} // namespace session
