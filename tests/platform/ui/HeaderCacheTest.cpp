#include "platform/HeaderCache.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using platform::HeaderCache;

class HeaderCacheTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString file = dir.filePath(QStringLiteral("cache/headers.sqlite"));
    const std::string ann = HeaderCache::accountKey("pop.example.org", "ann");
    const std::string bob = HeaderCache::accountKey("pop.example.org", "bob");
};

TEST_F(HeaderCacheTest, KeepsEntriesPerAccountAcrossRuns) {
    {
        HeaderCache cache(file);
        ASSERT_TRUE(cache.usable());
        cache.store(ann, {{"u1", std::string("\r\nFrom: a\0b\r\n", 13)}, {"u2", "\r\nSubject: x"}});
        cache.store(bob, {{"u1", "bob's"}});
    }
    HeaderCache again(file);
    const HeaderCache::Entries entries = again.load(ann);
    EXPECT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries.at("u1"), std::string("\r\nFrom: a\0b\r\n", 13));
    EXPECT_EQ(again.load(bob), (HeaderCache::Entries{{"u1", "bob's"}}));
    EXPECT_TRUE(again.load(HeaderCache::accountKey("other", "ann")).empty());

    again.keepOnly(ann, {"u2", "u3"});
    EXPECT_EQ(again.load(ann), (HeaderCache::Entries{{"u2", "\r\nSubject: x"}}));
    EXPECT_EQ(again.load(bob).size(), 1u);
    EXPECT_TRUE(again.clear());
    EXPECT_TRUE(again.load(bob).empty());
}

// A damaged file is never trusted: it is rebuilt empty and works again.
TEST_F(HeaderCacheTest, GarbageOrTruncatedFileIsRebuilt) {
    {
        HeaderCache cache(file);
        std::vector<std::pair<std::string, std::string>> many;
        for (int i = 0; i < 2000; ++i) {
            many.emplace_back("uid" + std::to_string(i), std::string(200, 'x'));
        }
        cache.store(ann, many);
    }
    for (const QByteArray& damage : {QByteArray("this is not a database at all"), QByteArray()}) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        if (damage.isEmpty()) {
            ASSERT_TRUE(f.resize(f.size() / 3)); // truncated
        } else {
            f.write(damage); // garbage over the header
        }
        f.close();
        HeaderCache cache(file);
        EXPECT_TRUE(cache.usable());
        EXPECT_TRUE(cache.load(ann).empty());
        cache.store(ann, {{"u9", "fresh"}});
        EXPECT_EQ(cache.load(ann).at("u9"), "fresh");
    }
}

TEST_F(HeaderCacheTest, UnwritablePlaceLeavesNoCacheAndNoHarm) {
    QFile blocker(dir.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // a file where a folder should be
    blocker.close();
    HeaderCache cache(dir.filePath(QStringLiteral("blocker/headers.sqlite")));
    EXPECT_FALSE(cache.usable());
    cache.store(ann, {{"u1", "x"}});
    cache.keepOnly(ann, {});
    EXPECT_TRUE(cache.load(ann).empty());
}

} // namespace
