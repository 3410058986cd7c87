#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "NotifyCenter.h"

TEST(NotifyCenterTest, EventTableHasUniqueIdsInOrder) {
    const auto& events = AllUiEvents();
    ASSERT_EQ(events.size(), 17u);
    std::set<int> ids;
    for (const auto& e : events) ids.insert(e.id);
    EXPECT_EQ(ids.size(), events.size());
    EXPECT_EQ(events.front().id, 10030001);
    EXPECT_STREQ(events.front().name, "on_recv_data");
    EXPECT_EQ(events.back().id, 10030018);
    EXPECT_STREQ(EventClearPresetBtnStatu::kName, EventDoSendData::kName);
}

TEST(NotifyCenterTest, AsyncEventsFromWorkersArriveOnThePumpingThreadOnly) {
    CNotifyCenter center;
    const auto owner = std::this_thread::get_id();
    std::vector<int> values;
    center.Subscribe(
        EventForbidNoiseReductionLevelParam::kId, EventForbidNoiseReductionLevelParam::kName,
        [&](EventArgs& e) {
            EXPECT_EQ(std::this_thread::get_id(), owner);
            values.push_back(static_cast<EventForbidNoiseReductionLevelParam&>(e).value);
        });
    std::vector<std::thread> workers;
    for (int i = 0; i < 4; ++i)
        workers.emplace_back([&, i] {
            auto event = std::make_shared<EventForbidNoiseReductionLevelParam>();
            event->value = i;
            center.FireEventAsync(std::move(event));
        });
    for (auto& w : workers) w.join();
    EXPECT_TRUE(values.empty());  // nothing is delivered until the owner pumps
    EXPECT_EQ(center.Pump(), 4);
    EXPECT_EQ(std::set<int>(values.begin(), values.end()), (std::set<int>{0, 1, 2, 3}));
}

TEST(NotifyCenterTest, DeliveryGoesByIdNotByName) {
    CNotifyCenter center;
    int doSend = 0, clearPreset = 0;
    center.Subscribe(EventDoSendData::kId, EventDoSendData::kName, [&](EventArgs&) { ++doSend; });
    center.Subscribe(EventClearPresetBtnStatu::kId, EventClearPresetBtnStatu::kName,
                     [&](EventArgs&) { ++clearPreset; });
    EventClearPresetBtnStatu event;
    center.FireEvent(event);
    EXPECT_EQ(doSend, 0);
    EXPECT_EQ(clearPreset, 1);
}

TEST(NotifyCenterTest, UnsubscribingDuringDeliveryStopsLaterHandlers) {
    CNotifyCenter center;
    int second = 0;
    int token2 = 0;
    center.Subscribe(EventDeviceChanged::kId, EventDeviceChanged::kName,
                     [&](EventArgs&) { center.Unsubscribe(token2); });
    token2 = center.Subscribe(EventDeviceChanged::kId, EventDeviceChanged::kName,
                              [&](EventArgs&) { ++second; });
    EventDeviceChanged event;
    center.FireEvent(event);
    center.FireEvent(event);
    EXPECT_EQ(second, 0);
}

TEST(NotifyCenterTest, PumpForWaitsForAWorkerEvent) {
    CNotifyCenter center;
    int seen = 0;
    center.Subscribe(EventDeviceChanged::kId, EventDeviceChanged::kName,
                     [&](EventArgs&) { ++seen; });
    std::thread worker([&] { center.FireEventAsync(std::make_shared<EventDeviceChanged>()); });
    while (seen == 0) center.PumpFor(1000);
    worker.join();
    EXPECT_EQ(seen, 1);
}
