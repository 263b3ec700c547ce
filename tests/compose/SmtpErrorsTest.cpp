#include "compose/SmtpErrors.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

using modSMTPErrors::SMTPErrorText;
namespace fs = std::filesystem;

namespace {

// The lookup reads the file by its relative name: the test runs in a fresh folder.
TEST(SmtpErrors, TheTextStartsSevenAfterTheFirstMatch) {
    const fs::path previous = fs::current_path();
    char folder[] = "/tmp/corvane-smtperrors-XXXXXX";
    fs::current_path(mkdtemp(folder));
    const auto write = [](const std::string& content) {
        std::ofstream("SMTPErrors.txt", std::ios::binary) << content;
    };
    write("421    Service not available\r\n550    Mailbox unavailable\n551    Not local\r"
          "12345  Five digits\r\n-1     Negative\r\n999\r\n777    Last line without a break");
    const std::pair<std::int16_t, std::string> cases[] = {
        {550, "Mailbox unavailable"},
        {551, "Not local"},
        {12345, "Five digits"},
        {-1, "Negative"},
        {55, "Mailbox unavailable"}, // found inside 550
        {50, "ailbox unavailable"},  // the text starts 7 after the match, wherever it is
        {999, ""},                   // the line ends before the text would start
        {777, "Last line without a break"},
        {554, "Unknown Error"},
        {-32768, "Unknown Error"},
    };
    for (const auto& [code, text] : cases) {
        EXPECT_EQ(SMTPErrorText(code), text) << code;
    }
    write("550    Second\r\n"); // read afresh at every call
    EXPECT_EQ(SMTPErrorText(550), "Second");
    write("");
    EXPECT_EQ(SMTPErrorText(550), "Unknown Error");
    fs::remove("SMTPErrors.txt");
    EXPECT_EQ(SMTPErrorText(550), "Error File SMTPError.txt not found");
    fs::create_directory("SMTPErrors.txt");
    EXPECT_EQ(SMTPErrorText(550), "Error File SMTPError.txt not found");
    fs::remove("SMTPErrors.txt");

    fs::copy_file(fs::path(CORVANE_TEST_DATA) / "../../src/compose/SMTPErrors.txt",
                  "SMTPErrors.txt"); // the file the program ships
    EXPECT_EQ(SMTPErrorText(354), "Start mail input; end with <CRLF>.<CRLF>");
    EXPECT_EQ(SMTPErrorText(550), "Requested action not taken: mailbox unavailable");
    EXPECT_EQ(SMTPErrorText(535), "Unknown Error");
    fs::current_path(previous);
    fs::remove_all(folder);
}

} // namespace
