#include "compose/SmtpErrors.h"
#include "decoding/TestData.h"

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
    fs::copy_file(testdata::Path("compose/smtp-errors.txt"), "SMTPErrors.txt");
    for (const auto& r : testdata::Table("compose/smtp-errors.table")) {
        EXPECT_EQ(SMTPErrorText(static_cast<std::int16_t>(std::stoi(r[0]))), r[1]) << r[0];
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
    EXPECT_EQ(SMTPErrorText(354) + "|" + SMTPErrorText(535),
              "Start mail input; end with <CRLF>.<CRLF>|Unknown Error");
    fs::current_path(previous);
    fs::remove_all(folder);
}

} // namespace
