#include "PrivateSessionBus.h"
#include "Qt/DBusNamedNotifier.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <thread>

using namespace ondrake;

namespace {

const QString kName = QStringLiteral("com.ondrake.Ondrake.state-changed");

// Records each delivery and on which thread it ran; a test waits for deliveries on real bus traffic.
struct Deliveries {
    std::function<void()> callback() {
        return [this] {
            ++count;
            onMainThread = onMainThread && QThread::currentThread() == QCoreApplication::instance()->thread();
        };
    }
    bool waitForMore(int than) const {
        return QTest::qWaitFor([&] { return count > than; }, 10000);
    }
    int count = 0;
    bool onMainThread = true;
};

class DBusNamedNotifierTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!bus.isRunning()) GTEST_SKIP() << "no dbus-daemon to run a private session bus";
    }
    test::PrivateSessionBus bus;
};

TEST_F(DBusNamedNotifierTest, PostsReachObserversOfThatNameOnAnotherConnection) {
    DBusNamedNotifier observer(bus.connect());
    DBusNamedNotifier poster(bus.connect());
    ASSERT_TRUE(observer.isConnected() && poster.isConnected());
    Deliveries deliveries, others;
    const auto observation = observer.observe(kName, deliveries.callback());
    const auto other = observer.observe(QStringLiteral("com.ondrake.Ondrake.other"), others.callback());
    ASSERT_TRUE(observation.isActive());

    poster.post(kName);
    ASSERT_TRUE(deliveries.waitForMore(0));
    poster.post(kName);
    ASSERT_TRUE(deliveries.waitForMore(1));
    EXPECT_EQ(others.count, 0);
    EXPECT_TRUE(deliveries.onMainThread);
}

TEST_F(DBusNamedNotifierTest, PostsFromAnotherThreadAreDeliveredOnTheMainThread) {
    DBusNamedNotifier notifier(bus.connect());
    Deliveries deliveries;
    const auto observation = notifier.observe(kName, deliveries.callback());
    std::thread([&] { notifier.post(kName); }).join();
    ASSERT_TRUE(deliveries.waitForMore(0));
    EXPECT_TRUE(deliveries.onMainThread);
}

TEST_F(DBusNamedNotifierTest, AnEndedObservationHearsNothingMore) {
    DBusNamedNotifier notifier(bus.connect());
    Deliveries ended, watching;
    auto observation = notifier.observe(kName, ended.callback());
    const auto control = notifier.observe(kName, watching.callback());
    notifier.post(kName);
    ASSERT_TRUE(watching.waitForMore(0));
    ASSERT_TRUE(ended.waitForMore(0));
    observation.cancel();
    EXPECT_FALSE(observation.isActive());
    notifier.post(kName);
    ASSERT_TRUE(watching.waitForMore(1));
    EXPECT_EQ(ended.count, 1);
}

TEST(DBusNamedNotifier, WithoutABusPostingAndObservingDoNothing) {
    DBusNamedNotifier notifier(
        QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/ondrake-bus"), QStringLiteral("no-bus")));
    EXPECT_FALSE(notifier.isConnected());
    notifier.post(kName);
    EXPECT_FALSE(notifier.observe(kName, [] {}).isActive());
    QDBusConnection::disconnectFromBus(QStringLiteral("no-bus"));
}

}  // namespace
