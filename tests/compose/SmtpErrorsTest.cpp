#include "compose/SmtpErrors.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

using modSMTPErrors::SMTPErrorText;

namespace {

const std::filesystem::path kShipped =
    std::filesystem::path(CORVANE_TEST_DATA) / ".." / ".." / "src" / "compose" / "SMTPErrors.txt";

// The lookup reads the file by its relative name: each test runs in a fresh folder.
class SmtpErrorsTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous = std::filesystem::current_path();
        char pattern[] = "/tmp/corvane-smtperrors-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        std::filesystem::current_path(pattern);
    }
    void TearDown() override {
        const auto dir = std::filesystem::current_path();
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(dir);
    }
    static void write(const std::string& content) {
        std::ofstream("SMTPErrors.txt", std::ios::binary) << content;
    }
    std::filesystem::path previous;
};

TEST_F(SmtpErrorsTest, TheTextStartsSevenAfterTheFirstMatch) {
    write("421    Service not available\r\n550    Mailbox unavailable\n551    Not local\r"
          "12345  Five digits\r\n-1     Negative\r\n999\r\n777    Last line without a break");
    const std::pair<std::int16_t, std::string> cases[] = {
        {550, "Mailbox unavailable"},
        {551, "Not local"},
        {55, "Mailbox unavailable"}, // found inside 550
        {50, "ailbox unavailable"},  // the text starts 7 after the match, wherever it is
        {12345, "Five digits"},
        {-1, "Negative"},
        {999, ""}, // the line ends before the text would start
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
}

TEST_F(SmtpErrorsTest, AFileThatCannotBeReadIsReported) {
    EXPECT_EQ(SMTPErrorText(550), "Error File SMTPError.txt not found");
    std::filesystem::create_directory("SMTPErrors.txt");
    EXPECT_EQ(SMTPErrorText(550), "Error File SMTPError.txt not found");
}

TEST_F(SmtpErrorsTest, ShippedFileHasTheStandardReplies) {
    std::filesystem::copy_file(kShipped, "SMTPErrors.txt");
    const std::pair<std::int16_t, std::string> cases[] = {
        {354, "Start mail input; end with <CRLF>.<CRLF>"},
        {421, "Service not available, closing transmission channel"},
        {550, "Requested action not taken: mailbox unavailable"},
        {535, "Unknown Error"},
    };
    for (const auto& [code, text] : cases) {
        EXPECT_EQ(SMTPErrorText(code), text) << code;
    }
}

} // namespace
