#include "platform/SingleInstance.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QThread>
#include <gtest/gtest.h>

namespace {

// The second start runs in its own thread here, as it would be its own process: its
// blocking hand-over must not keep the running instance from answering.
TEST(SingleInstance, LaterStartHandsItsArgumentsToTheRunningOne) {
    const QString name = QStringLiteral("corvane-test-%1").arg(QCoreApplication::applicationPid());
    platform::SingleInstance running(name);
    ASSERT_TRUE(running.listen());
    QSignalSpy spy(&running, &platform::SingleInstance::received);

    const QStringList link{QStringLiteral("mailto:someone@example.org?subject=Hi \u00e9")};
    bool handedOver = false;
    QThread* second = QThread::create([&] {
        platform::SingleInstance later(name);
        handedOver = later.handOver(link, 5000);
    });
    second->start();
    ASSERT_TRUE(spy.wait(5000));
    second->wait();
    delete second;
    EXPECT_TRUE(handedOver);
    EXPECT_EQ(spy.at(0).at(0).toStringList(), link);

    // With nobody listening, a start finds nobody to hand over to and becomes the reader.
    platform::SingleInstance alone(name + QStringLiteral("-alone"));
    EXPECT_FALSE(alone.handOver(link, 200));
    EXPECT_TRUE(alone.listen());
}

} // namespace
