#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// How the values of the settings store are read and written: flags, counts,
// the font size and single-precision numbers.
namespace settings {

// A stored flag: exactly "True" sets it, exactly "False" clears it; any other
// text (a missing key reads as "") leaves the designed state.
bool ParseFlag(std::string_view text, bool designed);
// "True" or "False".
std::string FlagText(bool value);

// The decimal text of value as a single-precision number, the shortest text
// that reads back as the same float: 1440 -> "1440", 2527.5 -> "2527.5", 9.75 -> "9.75".
// Infinity and NaN give "0", so that nothing unreadable reaches the store.
std::string FormatSingle(double value);

// The font size of the message text: v = LeadingNumber(text); v when 6 < v < 24, else 8.
double FontSizeFromText(std::string_view text);
inline constexpr double kDesignedFontSize = 8;

// The key of account-list slot i: "ISP" followed by i in decimal ("ISP0", "ISP12").
std::string SlotKey(int slot);
// The number of account-list slots stored as "nbISP": the rounded leading number,
// never below 0, so that a damaged count cannot make a loop run backwards.
int SlotCount(std::string_view text);

// The password as stored ("" or base64, blanks around it ignored) -> clear text,
// UTF-8. A stored password that is not UTF-8 was written as Windows-1252 and is
// converted, so that it stays the text the user typed.
std::string DecodeStoredPassword(std::string_view stored);
// Clear text (UTF-8) -> the stored form.
std::string EncodeStoredPassword(std::string_view password);

// The text with leading and trailing spaces removed.
std::string_view TrimBlanks(std::string_view text);

// "Settings" is the store's own section; an account of that name would share
// it, and deleting the account would delete the account list and the options.
bool IsReservedAccountName(std::string_view name);

} // namespace settings
