#include "platform/SingleInstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const QStringList kLink{QStringLiteral("mailto:someone@example.org?subject=Hi \u00e9")};

// The second start runs in its own thread here, as it would be its own process: its
// blocking hand-over must not keep the running instance from answering.
bool handOverFromAnotherStart(platform::SingleInstance& running, const QString& name) {
    QSignalSpy spy(&running, &platform::SingleInstance::received);
    bool handedOver = false;
    QThread* second = QThread::create([&] {
        platform::SingleInstance later(name);
        handedOver = later.handOver(kLink, 5000);
    });
    second->start();
    const bool received = spy.wait(5000);
    second->wait();
    delete second;
    return received && handedOver && spy.at(0).at(0).toStringList() == kLink;
}

TEST(SingleInstance, LaterStartHandsItsArgumentsToTheRunningOne) {
    const QString name = QStringLiteral("corvane-test-%1").arg(QCoreApplication::applicationPid());
    platform::SingleInstance running(name);
    ASSERT_TRUE(running.listen());
    EXPECT_EQ(running.socketPath(), qEnvironmentVariable("XDG_RUNTIME_DIR") + "/" + name);
    EXPECT_TRUE(handOverFromAnotherStart(running, name));

    // With nobody listening, a start finds nobody to hand over to and becomes the reader.
    platform::SingleInstance alone(name + QStringLiteral("-alone"));
    EXPECT_FALSE(alone.handOver(kLink, 200));
    EXPECT_TRUE(alone.listen());
}

void make(const QString& path, mode_t mode, uid_t owner = ::geteuid()) {
    ASSERT_TRUE(QDir().mkpath(path));
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0);
    ASSERT_EQ(::chown(QFile::encodeName(path).constData(), owner, ::getegid()), 0);
}

// A socket file that nobody listens on, as a reader that crashed leaves it.
void staleSocket(const QString& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray bytes = QFile::encodeName(path);
    std::copy(bytes.begin(), bytes.end(), address.sun_path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
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
    constexpr uid_t kOther = 65534;
    const bool root = ::geteuid() == 0; // only root can give a folder to another user
    const struct {
        const char* what;
        bool needsRoot;
        std::function<void(const QString& runtime, const QString& own)> setUp;
        const char* folder; // "runtime", "own" or "" for none
        bool listens;
    } cases[] = {
        {"private runtime folder", false, [](auto& r, auto&) { make(r, 0700); }, "runtime", true},
        {"no runtime folder", false, [](auto&, auto&) {}, "own", true},
        {"runtime folder open to others", false, [](auto& r, auto&) { make(r, 0755); }, "own",
         true},
        {"runtime folder of another user", true, [](auto& r, auto&) { make(r, 0700, kOther); },
         "own", true},
        {"own folder left open", false, [](auto&, auto& o) { make(o, 0777); }, "own", true},
        {"own folder made by another user", true, [](auto&, auto& o) { make(o, 0700, kOther); }, "",
         false},
        {"own folder is a link", false,
         [](auto& r, auto& o) {
             make(r, 0755);
             ASSERT_TRUE(QFile::link(r, o));
         },
         "", false},
        {"stale socket of a crashed reader", false,
         [](auto& r, auto&) {
             make(r, 0700);
             staleSocket(r + "/corvane-x");
         },
         "runtime", true},
        {"a file in the socket's place", false,
         [](auto& r, auto&) {
             make(r, 0700);
             QFile f(r + "/corvane-x");
             ASSERT_TRUE(f.open(QIODevice::WriteOnly));
         },
         "runtime", false},
        {"a socket of another user", true,
         [](auto& r, auto&) {
             make(r, 0700);
             staleSocket(r + "/corvane-x");
             ASSERT_EQ(::chown(QFile::encodeName(r + "/corvane-x").constData(), kOther, 0), 0);
         },
         "runtime", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needsRoot && !root) {
            continue;
        }
        QTemporaryDir dir;
        const Environment environment;
        const QString runtime = dir.filePath(QStringLiteral("run"));
        const QString own = dir.filePath(QStringLiteral("corvane-%1").arg(::geteuid()));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
        qputenv("TMPDIR", QFile::encodeName(dir.path()));
        c.setUp(runtime, own);
        const std::string folder = c.folder;
        const QString expected = folder == "runtime" ? runtime : folder == "own" ? own : QString();
        EXPECT_EQ(platform::SingleInstance::privateFolder(), expected);
        platform::SingleInstance running(QStringLiteral("corvane-x"));
        EXPECT_EQ(running.listen(), c.listens) << running.problem().toStdString();
        if (c.listens) {
            EXPECT_TRUE(handOverFromAnotherStart(running, QStringLiteral("corvane-x")));
            struct stat st {};
            ASSERT_EQ(::stat(QFile::encodeName(expected).constData(), &st), 0);
            EXPECT_EQ(st.st_mode & 0777, 0700u);
        } else {
            EXPECT_FALSE(running.problem().isEmpty());
            EXPECT_FALSE(
                platform::SingleInstance(QStringLiteral("corvane-x")).handOver(kLink, 200));
        }
    }
}

} // namespace
