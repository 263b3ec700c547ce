#include "compose/SmtpErrors.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

using modSMTPErrors::SMTPErrorText;

namespace {

const char* const kNotFound = "Error File SMTPError.txt not found";

// Resolved before any test changes the working directory.
const std::filesystem::path kSourceRoot =
    std::filesystem::absolute(__FILE__).parent_path().parent_path().parent_path();

// Each test runs in a fresh temporary working directory, since the lookup reads the file
// by its relative name.
class SmtpErrorsTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = std::filesystem::current_path();
        char pattern[] = "/tmp/corvane-smtperrors-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        std::filesystem::current_path(dir_);
    }
    void TearDown() override {
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        std::filesystem::permissions(dir_ / "SMTPErrors.txt", std::filesystem::perms::owner_all,
                                     ignored);
        std::filesystem::remove_all(dir_, ignored);
    }
    void WriteFile(const std::string& content) {
        std::ofstream(dir_ / "SMTPErrors.txt", std::ios::binary) << content;
    }

    std::filesystem::path previous_;
    std::filesystem::path dir_;
};

} // namespace

TEST_F(SmtpErrorsTest, Lookups) {
    WriteFile("421    Service not available\r\n"
              "550    Mailbox unavailable\r\n"
              "12345  Five digits\r\n"
              "-1     Negative\r\n"
              "999\r\n"
              "junk line without a number\r\n"
              "777    Last line without a break");
    const struct {
        std::int16_t code;
        std::string expected;
    } cases[] = {
        {550, "Mailbox unavailable"},
        {421, "Service not available"},
        {55, "Mailbox unavailable"}, // found inside 550
        {50, "ailbox unavailable"},  // the text starts 7 after the match, wherever it is
        {12345, "Five digits"},
        {-1, "Negative"},
        {999, ""}, // the line ends before the text would start
        {777, "Last line without a break"},
        {554, "Unknown Error"},
        {0, "ilbox unavailable"}, // the first "0" is the one in 550
        {8, "Unknown Error"},
        {-32768, "Unknown Error"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SMTPErrorText(c.code), c.expected) << c.code;
    }
}

TEST_F(SmtpErrorsTest, LineEndsOtherThanCrLf) {
    WriteFile("550    Mailbox unavailable\n551    Not local\r552    Exceeded\r\n");
    EXPECT_EQ(SMTPErrorText(550), "Mailbox unavailable");
    EXPECT_EQ(SMTPErrorText(551), "Not local");
    EXPECT_EQ(SMTPErrorText(552), "Exceeded");
}

TEST_F(SmtpErrorsTest, EmptyFileIsUnknown) {
    WriteFile("");
    EXPECT_EQ(SMTPErrorText(550), "Unknown Error");
}

TEST_F(SmtpErrorsTest, MissingFile) {
    EXPECT_EQ(SMTPErrorText(550), kNotFound);
}

TEST_F(SmtpErrorsTest, DirectoryInPlaceOfTheFile) {
    std::filesystem::create_directory(dir_ / "SMTPErrors.txt");
    EXPECT_EQ(SMTPErrorText(550), kNotFound);
}

TEST_F(SmtpErrorsTest, UnreadableFile) {
    WriteFile("550    Mailbox unavailable\r\n");
    std::filesystem::permissions(dir_ / "SMTPErrors.txt", std::filesystem::perms::none);
    if (std::ifstream(dir_ / "SMTPErrors.txt").is_open()) {
        GTEST_SKIP() << "running as root: permissions do not keep the file from being read";
    }
    EXPECT_EQ(SMTPErrorText(550), kNotFound);
}

TEST_F(SmtpErrorsTest, ReadsTheFileAtEveryCall) {
    WriteFile("550    First\r\n");
    EXPECT_EQ(SMTPErrorText(550), "First");
    WriteFile("550    Second\r\n");
    EXPECT_EQ(SMTPErrorText(550), "Second");
}

TEST_F(SmtpErrorsTest, ShippedFileHasTheStandardReplies) {
    std::ifstream shipped(kSourceRoot / "src" / "compose" / "SMTPErrors.txt", std::ios::binary);
    ASSERT_TRUE(shipped.is_open());
    WriteFile(std::string(std::istreambuf_iterator<char>(shipped), {}));
    const struct {
        std::int16_t code;
        std::string expected;
    } cases[] = {
        {221, "Service closing transmission channel"},
        {354, "Start mail input; end with <CRLF>.<CRLF>"},
        {421, "Service not available, closing transmission channel"},
        {450, "Requested mail action not taken: mailbox unavailable"},
        {535, "Unknown Error"},
        {550, "Requested action not taken: mailbox unavailable"},
        {554, "Transaction failed"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SMTPErrorText(c.code), c.expected) << c.code;
    }
}
