#include "platform/SettingsStore.h"
#include "decoding/TestData.h"
#include "support/ScriptedDialogs.h"
#include "support/TempSettings.h"

#include <QFile>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

TEST(SettingsStore, EveryNameAndValueRoundTripsAsTyped) {
    TempSettings temp;
    std::vector<std::string> names;
    for (const auto& r : testdata::Table("settings/section-names.table")) {
        names.push_back(r[0]);
    }
    for (const std::string& name : names) {
        ASSERT_TRUE(temp.store().SaveSettings(name, {{"POPAddress", "pop for " + name},
                                                     {"EmailUsername", " x=y;#z, \"q\" " + name}}));
    }
    temp.reopen();
    platform::SettingsStore& s = temp.store();
    for (const std::string& name : names) {
        EXPECT_EQ(s.GetSetting(name, "POPAddress"), "pop for " + name) << '"' << name << '"';
        EXPECT_EQ(s.GetSetting(name, "EmailUsername"), " x=y;#z, \"q\" " + name) << name;
    }
    EXPECT_TRUE(temp.readRaw().contains("pop for мир") && !temp.readRaw().contains("[General]"));
    EXPECT_EQ(QFile::permissions(s.filePath()) & 0xF0FF, // private to its owner
              QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_FALSE(s.HasSection("a")) << "no nested group";
    EXPECT_EQ(s.GetSetting("Home", "popaddress"), "") << "keys are case-sensitive";
    ASSERT_TRUE(s.DeleteSection("мир"));
    EXPECT_EQ(s.GetSetting("дом", "POPAddress"), "pop for дом");
    const QByteArray before = temp.readRaw();
    EXPECT_FALSE(s.DeleteSection("мир") || s.DeleteSection("home") || s.DeleteSection("Ghost"));
    EXPECT_EQ(temp.readRaw(), before);
}

TEST(SettingsStore, OldAndDamagedFilesReadWhatCanBeRead) {
    for (const auto& r : testdata::Table("settings/old-and-damaged-files.table")) {
        ScriptedDialogs dialogs;
        TempSettings temp;
        temp.writeRaw(QByteArray::fromStdString(r[0]));
        temp.setSection("Settings", {{"FilterSpam", "True"}}); // the next save keeps what was read
        temp.reopen();
        const std::string isp = temp.get("ISP");
        EXPECT_EQ(isp + "|" + temp.get("KeepAlive") + "|" +
                      temp.store().GetSetting(isp, "POPAddress") + temp.get("FilterSpam"),
                  r[1] + "True");
    }
}

TEST(SettingsStore, FullDiskKeepsTheFileAndTellsTheUserOnce) {
    ScriptedDialogs dialogs;
    dialogs.allowUnscriptedOk();
    TempSettings temp;
    temp.setSection("Home", {{"POPAddress", "pop.example.com"}, {"EmailPass", "c2VjcmV0"}});
    const QByteArray before = temp.readRaw();
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    auto* previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit full = saved;
    full.rlim_cur = 16; // files may not grow past 16 bytes, for root too
    setrlimit(RLIMIT_FSIZE, &full);
    const bool written = temp.store().SaveSettings("Home", {{"POPAddress", "other"}}) ||
                         temp.store().DeleteSection("Home");
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(written);
    EXPECT_EQ(temp.readRaw(), before) << "nothing stored before is lost or half-written";
    EXPECT_EQ(temp.store().GetSetting("Home", "POPAddress"), "pop.example.com");
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_TRUE(dialogs.messages()[0].text.contains(temp.store().filePath()));
    // Space again: saving works, and the message is not repeated.
    EXPECT_TRUE(temp.store().SaveSetting("Home", "POPAddress", "again"));
    EXPECT_EQ(dialogs.messages().size(), 1u);
}
