// How the listing uses what the server can do (PIPELINING, UIDL, TOP) and the header cache:
// the rows are the same whichever way they come.
#include "SessionTestSupport.h"
#include "platform/HeaderCache.h"

#include <QFile>
#include <QTemporaryDir>

using namespace sessiontest;

namespace {

const PopScript kCapaLogin = LoadScript("capa-login.script");
const PopScript kListUidl = LoadScript("list3-uidl.script");
const PopScript kTops = LoadScript("tops3.script");

const QString kBlank = " | " + QString(22, ' ') + " | |";
const QStringList kNumbered{"#1         " + kBlank + "0k ", "#2         " + kBlank + "2k ",
                            "#3         " + kBlank + "12k "};

class ListingCacheTest : public SessionTest {
public:
    ListingCacheTest() { session().openHeaderCache(cacheFile); }

    // Get Mail, the script, and the rows it listed; then the server hangs up.
    QStringList listing(const PopScript& script, std::size_t piece = 0,
                        const QString& listed = QStringLiteral("3 Messages listed")) {
        getMail();
        EXPECT_EQ(PlayConversation(*server, script, piece), "");
        EXPECT_EQ(status(), listed);
        const QStringList shown = rows();
        server->serverCloses();
        return shown;
    }

    QTemporaryDir dir;
    QString cacheFile = dir.filePath(QStringLiteral("headers.sqlite"));
};

} // namespace

TEST_F(ListingCacheTest, RowsWhateverTheServerCanDo) {
    const struct {
        PopScript script;
        QStringList rows;
        QString listed = QStringLiteral("3 Messages listed");
    } cases[] = {
        {Join({kCapaLogin, kListUidl, LoadScript("tops3-err.script")}), {kRow1, kRow3}},
        {LoadScript("sequential-uidl.script"), {kRow1, kRow3}},
        {LoadScript("no-top.script"), kNumbered},
        {LoadScript("old-no-top.script"), kNumbered},
        // A number past 16 bits cuts the index short; the count is then the rows listed.
        {Join({kLogin, LoadScript("list-cut.script")}),
         {QString(11, ' ') + kBlank + "0k "},
         "1 Messages listed"},
    };
    for (const auto& c : cases) {
        for (const std::size_t piece : {0, 1, 9}) {
            platform::HeaderCache(cacheFile).clear();
            EXPECT_EQ(listing(c.script, piece, c.listed), c.rows);
            EXPECT_EQ(note(), c.listed.startsWith('1') ? "Not every message could be listed" : "");
        }
    }
}

TEST_F(ListingCacheTest, KnownIdsNeedNoTopPerAccountAndGoneIdsLeave) {
    // The server goes away after the first reply of the window: that row is kept.
    getMail();
    ASSERT_EQ(PlayConversation(*server, Join({kCapaLogin, kListUidl,
                                              PopScript(kTops.begin(), kTops.begin() + 10)})),
              "");
    server->serverCloses();
    EXPECT_EQ(rows(), QStringList{kRow1});
    EXPECT_EQ(caption(), QStringLiteral("Get Mail"));
    const QStringList all{kRow1, kRow2, kRow3};
    EXPECT_EQ(listing(Join({kCapaLogin,
                            kListUidl,
                            {"C: TOP 2 10", "C: TOP 3 10"},
                            PopScript(kTops.begin() + 10, kTops.end())})),
              all);
    EXPECT_EQ(session().headers().uid(2), "u-three");
    EXPECT_EQ(listing(Join({kCapaLogin, kListUidl})), all); // every row from the cache
    window.Account.POPAddress = "other.example.test";       // another account knows nothing
    EXPECT_EQ(listing(Join({kCapaLogin, kListUidl, kTops})), all);

    // A damaged file is rebuilt, and the listing asks for every header again.
    session().openHeaderCache(dir.filePath(QStringLiteral("elsewhere.sqlite")));
    QFile file(cacheFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a database");
    file.close();
    session().openHeaderCache(cacheFile);
    EXPECT_EQ(listing(Join({kCapaLogin, kListUidl, kTops})), all);

    // Message 2 was deleted: only its entry leaves the cache.
    EXPECT_EQ(listing(Join({kCapaLogin, LoadScript("list2-uidl.script")}), 0,
                      QStringLiteral("2 Messages listed")),
              (QStringList{kRow1, kRow3}));
    session().openHeaderCache(dir.filePath(QStringLiteral("elsewhere.sqlite")));
    const auto kept = platform::HeaderCache(cacheFile).load(
        platform::HeaderCache::accountKey("other.example.test", "alice"));
    EXPECT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept.count("u-two"), 0u);
}
