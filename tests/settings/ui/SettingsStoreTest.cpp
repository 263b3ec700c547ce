#include "platform/SettingsStore.h"
#include "support/ScriptedDialogs.h"
#include "support/TempSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

unsigned modeBits(const QString& path) {
    struct stat st {};
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    return st.st_mode & 0777;
}

// Files written while this is alive may not grow past `bytes` (a full disk, for
// root too). The signal that would end the process is ignored meanwhile.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved);
        previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = saved;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
    }

private:
    rlimit saved{};
    void (*previousHandler)(int) = nullptr;
};

// The literal's bytes, NULs included.
template <std::size_t N> QByteArray raw(const char (&text)[N]) {
    return QByteArray(text, N - 1);
}

} // namespace

TEST(SettingsStore, MissingKeysAndSectionsReadEmpty) {
    TempSettings temp;
    platform::SettingsStore& s = temp.store();
    EXPECT_EQ(s.GetSetting("Settings", "ISP"), "");
    EXPECT_EQ(s.GetSetting("Nowhere", "POPAddress"), "");
    EXPECT_FALSE(QFile::exists(temp.filePath())) << "reading creates nothing";
    ASSERT_TRUE(s.SaveSetting("Settings", "ISP", "Home"));
    EXPECT_EQ(s.GetSetting("Settings", "ISP"), "Home");
    EXPECT_EQ(s.GetSetting("Settings", "isp"), "") << "keys are case-sensitive";
    EXPECT_EQ(s.GetSetting("settings", "ISP"), "") << "sections are case-sensitive";
}

TEST(SettingsStore, EveryAccountNameIsItsOwnSection) {
    TempSettings temp;
    platform::SettingsStore& s = temp.store();
    const std::string names[] = {
        "Home", "a/b",       "a\\b",    "/",   "\\",       "//x//",   "[x]",
        "a]b[", "a=b",       "a;b",     "#x",  " lead",    "trail ",  "two  spaces",
        "%",    "%2F",       "%25",     "%5C", "50%",      "General", "Smith, John",
        "a\"b", "tab\there", "caf\xe9", "@x",  "a/b/c\\d", "",        "Settings2",
    };
    for (const std::string& name : names) {
        ASSERT_TRUE(s.SaveSetting(name, "POPAddress", "pop for " + name)) << name;
    }
    temp.reopen();
    platform::SettingsStore& again = temp.store();
    for (const std::string& name : names) {
        EXPECT_EQ(again.GetSetting(name, "POPAddress"), "pop for " + name) << '"' << name << '"';
        EXPECT_TRUE(again.HasSection(name)) << name;
    }
    // Nothing leaked into a nested group or the file's top level.
    const QByteArray file = temp.readRaw();
    EXPECT_FALSE(file.contains("[General]"));
    EXPECT_EQ(again.GetSetting("a", "POPAddress"), "");
    EXPECT_FALSE(again.HasSection("a"));

    // Removing one leaves all the others.
    ASSERT_TRUE(again.DeleteSection("a/b"));
    EXPECT_FALSE(again.HasSection("a/b"));
    for (const std::string& name : names) {
        if (name != "a/b") {
            EXPECT_EQ(again.GetSetting(name, "POPAddress"), "pop for " + name) << name;
        }
    }
}

TEST(SettingsStore, DeletingAMissingSectionFailsAndChangesNothing) {
    TempSettings temp;
    platform::SettingsStore& s = temp.store();
    EXPECT_FALSE(s.DeleteSection("Ghost"));
    EXPECT_FALSE(QFile::exists(temp.filePath()));
    ASSERT_TRUE(s.SaveSetting("Real", "POPAddress", "pop"));
    const QByteArray before = temp.readRaw();
    EXPECT_FALSE(s.DeleteSection("Ghost"));
    EXPECT_FALSE(s.DeleteSection("real"));
    EXPECT_FALSE(s.DeleteSection(""));
    EXPECT_EQ(temp.readRaw(), before);
    EXPECT_TRUE(s.DeleteSection("Real"));
    EXPECT_FALSE(s.DeleteSection("Real"));
    EXPECT_FALSE(s.writeFailed());
}

TEST(SettingsStore, ValuesRoundTripAsText) {
    TempSettings temp;
    platform::SettingsStore& s = temp.store();
    const std::string values[] = {"",       "True",  "2527.5",   " padded ", "a, b",       "@at",
                                  "x=y;#z", "\"q\"", "c2VjcmV0", "caf\xe9",  "back\\slash"};
    int i = 0;
    for (const std::string& v : values) {
        ASSERT_TRUE(s.SaveSetting("Settings", "K" + std::to_string(i++), v));
    }
    temp.reopen();
    i = 0;
    for (const std::string& v : values) {
        EXPECT_EQ(temp.store().GetSetting("Settings", "K" + std::to_string(i++)), v);
    }
}

TEST(SettingsStore, FileIsPrivateToItsOwner) {
    TempSettings temp;
    ASSERT_TRUE(temp.store().SaveSetting("Home", "EmailPass", "c2VjcmV0"));
    EXPECT_EQ(modeBits(temp.filePath()), 0600u);
    // A file someone opened up is closed again by the next save.
    QFile::setPermissions(temp.filePath(),
                          kOwnerOnly | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    ASSERT_TRUE(temp.store().SaveSetting("Home", "POPAddress", "pop"));
    EXPECT_EQ(modeBits(temp.filePath()), 0600u);
}

TEST(SettingsStore, DamagedFilesReadWhatCanBeRead) {
    const struct {
        const char* name;
        QByteArray content;
        std::vector<std::pair<std::string, std::string>> readable; // key of "Settings" -> value
    } cases[] = {
        {"empty", QByteArray(), {{"ISP", ""}}},
        {"truncated mid-line",
         QByteArray("[Settings]\nISP=Home\nTop=3000\nFontSi"),
         {{"ISP", "Home"}, {"Top", "3000"}, {"FontSize", ""}}},
        {"truncated in a section name",
         QByteArray("[Settings]\nISP=Home\n[Acc"),
         {{"ISP", "Home"}}},
        {"junk", raw("\x01\x02\xff\xfe[[[\n==\n\x00\x00garbage"), {{"ISP", ""}}},
        {"junk around good lines",
         QByteArray("\xff\xfe junk\n[Settings]\nISP=Home\n=orphan\n%%%\nKeepAlive=False\n"),
         {{"ISP", "Home"}, {"KeepAlive", "False"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedDialogs dialogs;
        TempSettings temp;
        temp.writeRaw(c.content);
        for (const auto& [key, value] : c.readable) {
            EXPECT_EQ(temp.get(key), value) << key;
        }
        // The next save succeeds and keeps what was readable.
        ASSERT_TRUE(temp.store().SaveSetting("Settings", "FilterSpam", "True"));
        EXPECT_FALSE(temp.store().writeFailed());
        temp.reopen();
        EXPECT_EQ(temp.get("FilterSpam"), "True");
        for (const auto& [key, value] : c.readable) {
            EXPECT_EQ(temp.get(key), value) << key;
        }
        EXPECT_TRUE(dialogs.messages().empty());
    }
}

TEST(SettingsStore, FullDiskKeepsTheFileAndTellsTheUserOnce) {
    ScriptedDialogs dialogs;
    dialogs.allowUnscriptedOk();
    TempSettings temp;
    temp.setSection("Settings", {{"ISP", "Home"}, {"Top", "3000"}, {"KeepAlive", "False"}});
    temp.setSection("Home", {{"POPAddress", "pop.example.com"}, {"EmailPass", "c2VjcmV0"}});
    const QByteArray before = temp.readRaw();
    ASSERT_GT(before.size(), 64);

    bool first = true;
    bool second = true;
    bool removed = true;
    {
        FileSizeLimit full(16);
        first = temp.store().SaveSetting("Settings", "Top", "4000");
        second = temp.store().SaveSettings("Home", {{"POPAddress", "other"}, {"EmailPass", ""}});
        removed = temp.store().DeleteSection("Home");
    }
    EXPECT_FALSE(first);
    EXPECT_FALSE(second);
    EXPECT_FALSE(removed);
    EXPECT_TRUE(temp.store().writeFailed());
    EXPECT_EQ(temp.readRaw(), before) << "nothing stored before is lost or half-written";
    // A failed save changes nothing, not even what this run reads back.
    EXPECT_EQ(temp.get("Top"), "3000");
    EXPECT_EQ(temp.store().GetSetting("Home", "POPAddress"), "pop.example.com");
    EXPECT_TRUE(temp.store().HasSection("Home"));
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_TRUE(dialogs.messages()[0].text.contains(temp.filePath()));
    EXPECT_EQ(dialogs.messages()[0].buttons, platform::MsgButtons::Ok);

    // Space again: saving works, and the message is not repeated.
    EXPECT_TRUE(temp.store().SaveSetting("Settings", "Top", "4500"));
    temp.reopen();
    EXPECT_EQ(temp.get("Top"), "4500");
    EXPECT_EQ(temp.store().GetSetting("Home", "POPAddress"), "pop.example.com");
    EXPECT_EQ(temp.store().GetSetting("Home", "EmailPass"), "c2VjcmV0");
    EXPECT_EQ(dialogs.messages().size(), 1u);
}

TEST(SettingsStore, ReadOnlyFolderKeepsTheFileAndTellsTheUserOnce) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "folder permissions do not stop root; the full-disk test covers this";
    }
    ScriptedDialogs dialogs;
    dialogs.allowUnscriptedOk();
    TempSettings temp;
    temp.setSection("Settings", {{"ISP", "Home"}, {"Top", "3000"}});
    const QByteArray before = temp.readRaw();
    const QString folder = QFileInfo(temp.filePath()).absolutePath();
    const auto saved = QFile::permissions(folder);
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const bool a = temp.store().SaveSetting("Settings", "Top", "4000");
    const bool b = temp.store().SaveSetting("Settings", "ISP", "Other");
    QFile::setPermissions(folder, saved);
    EXPECT_FALSE(a);
    EXPECT_FALSE(b);
    EXPECT_EQ(temp.readRaw(), before);
    EXPECT_EQ(dialogs.messages().size(), 1u);
}

TEST(SettingsStore, FolderThatCannotBeCreated) {
    ScriptedDialogs dialogs;
    dialogs.allowUnscriptedOk();
    QTemporaryDir dir;
    // A file where the folder should be: no one, root included, can create it.
    QFile blocker(dir.filePath(QStringLiteral("Corvane")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    platform::SettingsStore s(dir.filePath(QStringLiteral("Corvane/Corvane.ini")));
    EXPECT_FALSE(s.SaveSetting("Settings", "ISP", "Home"));
    EXPECT_FALSE(s.SaveSetting("Settings", "Top", "3000"));
    EXPECT_EQ(s.GetSetting("Settings", "ISP"), "");
    EXPECT_EQ(dialogs.messages().size(), 1u);
}

TEST(SettingsStore, DefaultFileIsInThePerUserConfigFolder) {
    const QString path = platform::SettingsStore::defaultFilePath();
    EXPECT_TRUE(path.endsWith(QStringLiteral("/Corvane/Corvane.ini"))) << path.toStdString();
    EXPECT_TRUE(path.startsWith(qEnvironmentVariable("XDG_CONFIG_HOME"))) << path.toStdString();
}
