#pragma once

#include <cstdint>
#include <string>

// Readable texts for SMTP error numbers, looked up in "SMTPErrors.txt" in the working
// directory. Each line of that file holds a number and its text, the text starting seven
// characters after the number's first digit ("550    Mailbox unavailable").
namespace modSMTPErrors {

// The text after the first occurrence of code's decimal digits anywhere in the file (the
// match need not be a whole number), "Unknown Error" when they do not occur, and
// "Error File SMTPError.txt not found" when the file cannot be read. The file is read
// afresh at every call.
std::string SMTPErrorText(std::int16_t code);

} // namespace modSMTPErrors
