// TEventPublisher's immediate notifications, subscriptions and groups.
#include "EventTestSupport.h"

#include <commonvcqx/events/EventPublisher.h>
#include <commonvcqx/events/EventSubscription.h>
#include <commonvcqx/events/SubscriptionGroup.h>
#include <commonvcqx/events/internal/NotificationLock.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace evtest;
using Lines = std::vector<std::string>;

namespace {

class EventPublisherTest : public ::testing::Test {
protected:
    void SetUp() override { log.clear(); }
};

char kA[] = "A";
char kB[] = "B";

}  // namespace

TEST_F(EventPublisherTest, OneEventIsNotifiedOldestFirstThenNewestToSecondOldest) {
    TEventPublisher publisher("order", 10);
    TNamed x("X"), y("Y"), z("Z"), other("O");
    publisher.Subscribe(nullptr, 5, x);
    publisher.Subscribe(nullptr, 5, y);
    publisher.Subscribe(nullptr, 5 + 11, other);  // same bucket of 11, another event
    publisher.Subscribe(nullptr, 5, z);
    publisher.SendNotification(5, 1);
    EXPECT_EQ(log, (Lines{"X:5:1", "Z:5:1", "Y:5:1"}));
    log.clear();
    publisher.SendNotification(6, 1);  // nobody
    publisher.SendNotification(16, 2);
    EXPECT_EQ(log, (Lines{"O:16:2"}));
}

TEST_F(EventPublisherTest, ExcludedSubscriberIsSkippedButFunctionsAlwaysCalled) {
    TEventPublisher publisher("exclusion", 10);
    TNamed s("S"), t("T");
    publisher.Subscribe(nullptr, 5, s);
    publisher.Subscribe(nullptr, 5, ValueCallback, kA);
    publisher.Subscribe(nullptr, 5, t);
    publisher.SendNotification(5, 3, 0, &s);
    EXPECT_EQ(log, (Lines{"T:5:3", "A:5:3"}));
    log.clear();
    evtest::TCountedEvent event(5);
    publisher.Subscribe(nullptr, 5, ObjectCallback, kB);
    publisher.SendNotification(event, &t);
    // The value-form function is passed by for an object event, and the other way round.
    EXPECT_EQ(log, (Lines{"S#obj:5:0", "B#obj:5:0"}));
    log.clear();
    publisher.SendNotification(5, 4);
    EXPECT_EQ(log, (Lines{"S:5:4", "T:5:4", "A:5:4"}));
}

TEST_F(EventPublisherTest, FindAndUnsubscribeMatchExactlyAndCountDuplicates) {
    TEventPublisher publisher("subs", 4, 1);
    TNamed s("S"), t("T");
    TEventSubscription* first = publisher.Subscribe(nullptr, 5, s);
    publisher.Subscribe(nullptr, 5, s);
    publisher.Subscribe(nullptr, 5, t);
    publisher.Subscribe(nullptr, 5, ValueCallback, kA);
    publisher.Subscribe(nullptr, 6, ValueCallback, kA);
    EXPECT_EQ(publisher.Find(5, s), first);
    EXPECT_EQ(publisher.Find(7, s), nullptr);
    EXPECT_EQ(publisher.Find(5, ValueCallback, kB), nullptr);  // another user pointer
    EXPECT_NE(publisher.Find(5, ValueCallback, kA), nullptr);
    EXPECT_EQ(publisher.Find(5, ObjectCallback, kA), nullptr);
    EXPECT_EQ(publisher.GetSubscriptionCount(5), 4);

    EXPECT_EQ(publisher.Unsubscribe(5, s), 2);
    EXPECT_EQ(publisher.Unsubscribe(5, s), 0);
    EXPECT_EQ(publisher.Unsubscribe(5, ValueCallback, kA), 1);
    EXPECT_EQ(publisher.GetSubscriptionCount(5), 1);
    EXPECT_EQ(publisher.GetSubscriptionCount(6), 1);

    TEventPublisher other;
    TEventSubscription* foreign = other.Subscribe(nullptr, 5, t);
    publisher.Unsubscribe(foreign);  // not this publisher's: left alone
    publisher.Unsubscribe(static_cast<TEventSubscription*>(nullptr));
    EXPECT_EQ(other.GetSubscriptionCount(5), 1);
    other.Unsubscribe(foreign);
    EXPECT_EQ(other.GetSubscriptionCount(5), 0);
}

TEST_F(EventPublisherTest, GroupsEnableDisableAndRemoveTogether) {
    TEventPublisher publisher;
    TNamed s("S"), t("T"), loner("L");
    publisher.Subscribe(nullptr, 5, loner);
    {
        TSubscriptionGroup group(publisher);
        publisher.Subscribe(&group, 5, s);
        TEventSubscription* middle = publisher.Subscribe(&group, 6, ValueCallback, kA);
        publisher.Subscribe(&group, 5, t);
        group.Enable(0);
        publisher.SendNotification(5, 1);
        publisher.SendNotification(6, 1);
        EXPECT_EQ(log, (Lines{"L:5:1"}));
        log.clear();
        group.Enable(7);  // any non-zero flag enables
        EXPECT_EQ(middle->IsEnabled(), 1);
        publisher.SendNotification(5, 2);
        publisher.SendNotification(6, 2);
        EXPECT_EQ(log, (Lines{"L:5:2", "T:5:2", "S:5:2", "A:6:2"}));

        // Removed directly, it leaves the chain: the group never touches it again.
        publisher.Unsubscribe(middle);
        int chain = 0;
        for (TEventSubscription* e = group.GetFirst(); e; e = e->GetNextInGroup()) ++chain;
        EXPECT_EQ(chain, 2);
        EXPECT_EQ(publisher.Unsubscribe(5, t), 1);
        group.Enable(0);
        EXPECT_EQ(group.GetFirst()->GetNextInGroup(), nullptr);
    }  // the group removes the rest
    EXPECT_EQ(publisher.GetSubscriptionCount(5), 1);
    EXPECT_EQ(publisher.GetSubscriptionCount(6), 0);

    // A publisher that goes first leaves its groups empty, not dangling.
    auto* shortLived = new TEventPublisher;
    TSubscriptionGroup orphan(*shortLived);
    shortLived->Subscribe(&orphan, 1, s);
    shortLived->Subscribe(&orphan, 2, t);
    delete shortLived;
    EXPECT_EQ(orphan.GetFirst(), nullptr);
    orphan.Enable(1);
    orphan.Unsubscribe();
}

namespace {

void Throwing(int32_t id, int32_t first, int32_t, void*, TEventPublisher*, int32_t) {
    Note("throw", id, first);
    throw std::runtime_error("handler failed");
}

void UnsubscribeSelf(TNamed& self) {
    self.publisher->Unsubscribe(5, self);
}

}  // namespace

TEST_F(EventPublisherTest, AThrowingHandlerEndsOnlyThatNotification) {
    TEventPublisher publisher("throwing", 10, 1);
    TNamed x("X"), y("Y");
    publisher.Subscribe(nullptr, 5, x);
    publisher.Subscribe(nullptr, 5, y);
    publisher.Subscribe(nullptr, 5, Throwing, nullptr);  // notified second: X, throw, Y
    publisher.SendNotification(5, 1);
    EXPECT_EQ(log, (Lines{"X:5:1", "throw:5:1"}));
    log.clear();
    // The lock was left: another thread can still use the publisher.
    std::thread other([&] { publisher.SendNotification(5, 2); });
    other.join();
    EXPECT_EQ(log, (Lines{"X:5:2", "throw:5:2"}));
}

TEST_F(EventPublisherTest, AHandlerMayUnsubscribeItselfDuringTheNotification) {
    TEventPublisher publisher("self", 10, 1);
    TNamed x("X"), y("Y"), z("Z");
    for (TNamed* n : {&x, &y, &z}) {
        n->publisher = &publisher;
        publisher.Subscribe(nullptr, 5, *n);
    }
    x.onValue = &UnsubscribeSelf;  // the head of the bucket
    y.onValue = &UnsubscribeSelf;  // the last of the run
    publisher.SendNotification(5, 1);
    EXPECT_EQ(log, (Lines{"X:5:1", "Z:5:1", "Y:5:1"}));
    log.clear();
    publisher.SendNotification(5, 2);
    EXPECT_EQ(log, (Lines{"Z:5:2"}));
}

TEST_F(EventPublisherTest, OrderHoldsAfterTheMapGrows) {
    TEventPublisher publisher("grow", 0);  // 2 or 3 buckets: grows while subscribing
    std::vector<TNamed> subscribers;
    subscribers.reserve(40);
    for (int i = 0; i < 40; ++i) subscribers.emplace_back(std::to_string(i));
    for (int i = 0; i < 40; ++i) publisher.Subscribe(nullptr, i % 4, subscribers[i]);
    publisher.SendNotification(2, 0);
    ASSERT_EQ(log.size(), 10u);  // every subscriber of the event, each once
    std::vector<std::string> sorted(log.begin(), log.end());
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end());
}
