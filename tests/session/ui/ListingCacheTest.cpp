// The listing with the header cache on disk: the rows are the same whichever way they come.
// (What the listing asks for, server by server, is in the core's session conversations.)
#include "SessionTestSupport.h"
#include "platform/HeaderCache.h"

#include <QFile>
#include <QTemporaryDir>

using namespace sessiontest;

namespace {

const PopScript kCapaLogin = LoadScript("capa-login.script");
const PopScript kListUidl = LoadScript("list3-uidl.script");
const PopScript kTops = LoadScript("tops3.script");

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

TEST_F(ListingCacheTest, KnownIdsNeedNoTopPerAccount) {
    const QStringList all{kRow1, kRow2, kRow3};
    EXPECT_EQ(listing(Join({kCapaLogin, kListUidl, kTops})), all);
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
}
