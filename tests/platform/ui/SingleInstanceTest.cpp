#include "platform/SingleInstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <tuple>
#include <unistd.h>

namespace {

const QStringList kLink{QStringLiteral("mailto:someone@example.org?subject=Hi \u00e9")};

void make(const QString& path, mode_t mode, uid_t owner = ::geteuid()) {
    const QByteArray name = QFile::encodeName(path);
    ASSERT_TRUE(QDir().mkpath(path) && ::chmod(name, mode) == 0 && ::chown(name, owner, 0) == 0);
}

// A socket file that nobody listens on, as a reader that crashed leaves it.
void staleSocket(const QString& path, uid_t owner = ::geteuid()) {
    sockaddr_un address{AF_UNIX, {}};
    const QByteArray name = QFile::encodeName(path);
    std::copy(name.begin(), name.end(), address.sun_path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    ASSERT_EQ(::chown(name, owner, 0), 0);
}

// The two variables the folder is chosen by, as they were before.
struct Environment {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR"), tmp = qgetenv("TMPDIR");
    ~Environment() {
        qputenv("XDG_RUNTIME_DIR", runtime);
        tmp.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", tmp);
    }
};

// Where the socket goes, and what is never used: a folder or a socket another user could
// have made, or a folder others can enter. Links and paths are private to the user.
TEST(SingleInstance, TheSocketLivesOnlyWhereNoOtherUserCanReachIt) {
    constexpr uid_t kOther = 65534; // only root can give a file to another user
    using SetUp = std::function<void(const QString& runtime, const QString& own)>;
    const std::tuple<const char*, SetUp, const char*, bool> cases[] = {
        {"private runtime folder", [](auto& r, auto&) { make(r, 0700); }, "runtime", true},
        {"no runtime folder", [](auto&, auto&) {}, "own", true},
        {"runtime folder open to others", [](auto& r, auto&) { make(r, 0755); }, "own", true},
        {"runtime folder of another user", [](auto& r, auto&) { make(r, 0700, kOther); }, "own",
         true},
        {"own folder left open", [](auto&, auto& o) { make(o, 0777); }, "own", true},
        {"own folder of another user", [](auto&, auto& o) { make(o, 0700, kOther); }, "", false},
        {"own folder is a link", [](auto& r, auto& o) { make(r, 0755), QFile::link(r, o); }, "",
         false},
        {"stale socket", [](auto& r, auto&) { make(r, 0700), staleSocket(r + "/x"); }, "runtime",
         true},
        {"socket of another user",
         [](auto& r, auto&) { make(r, 0700), staleSocket(r + "/x", kOther); }, "runtime", false},
        {"a file in the socket's place",
         [](auto& r, auto&) { make(r, 0700), QFile(r + "/x").open(QIODevice::WriteOnly); },
         "runtime", false},
    };
    if (::geteuid() != 0) {
        GTEST_SKIP() << "the rows of another user's files need root";
    }
    for (const auto& [what, setUp, folder, listens] : cases) {
        SCOPED_TRACE(what);
        QTemporaryDir dir;
        const Environment environment;
        const QString runtime = dir.filePath(QStringLiteral("run"));
        const QString own = dir.filePath(QStringLiteral("corvane-%1").arg(::geteuid()));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
        qputenv("TMPDIR", QFile::encodeName(dir.path()));
        setUp(runtime, own);
        const std::string_view place = folder;
        const QString expected = place == "runtime" ? runtime : place == "own" ? own : QString();
        EXPECT_EQ(platform::SingleInstance::privateFolder(), expected);
        platform::SingleInstance running(QStringLiteral("x"));
        EXPECT_EQ(running.listen(), listens) << running.problem().toStdString();
        EXPECT_NE(running.problem().isEmpty(), !listens);
        // A later start hands over to the running one, and never to a socket not its own.
        QSignalSpy spy(&running, &platform::SingleInstance::received);
        bool handedOver = false;
        const std::unique_ptr<QThread> second(QThread::create([&] {
            handedOver = platform::SingleInstance(QStringLiteral("x")).handOver(kLink, 2000);
        }));
        second->start();
        EXPECT_TRUE(!listens || spy.wait(5000));
        second->wait();
        EXPECT_EQ(handedOver, listens);
        EXPECT_EQ(spy.size(), listens ? 1 : 0);
        EXPECT_EQ(listens ? spy.at(0).at(0).toStringList() : kLink, kLink);
        struct stat st {};
        EXPECT_TRUE(!listens ||
                    (::stat(QFile::encodeName(expected), &st) == 0 && (st.st_mode & 0777) == 0700));
    }
}

} // namespace
