#include "solar/ShadowMap.h"

#include "kiv/KivDateTime.h"
#include "kiv/KivErrors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

using namespace solar;
using kiv::TFastDIB;

namespace {

// The owning thread's queue: the worker posts its completion here and the test
// runs it, on the test thread, when it chooses.
class TQueue {
public:
    TDispatcher Dispatcher() {
        return [this](std::function<void()> f) {
            {
                std::lock_guard<std::mutex> lock(Mutex);
                Items.push_back(std::move(f));
            }
            Posted.notify_all();
        };
    }
    // Waits until something is posted (the worker has finished).
    void WaitForPost() {
        std::unique_lock<std::mutex> lock(Mutex);
        Posted.wait(lock, [this] { return !Items.empty(); });
    }
    // Runs everything posted so far; returns how many ran.
    int RunAll() {
        std::deque<std::function<void()>> items;
        {
            std::lock_guard<std::mutex> lock(Mutex);
            items.swap(Items);
        }
        for (auto& f : items) {
            f();
        }
        return static_cast<int>(items.size());
    }
    std::size_t Pending() {
        std::lock_guard<std::mutex> lock(Mutex);
        return Items.size();
    }

private:
    std::mutex Mutex;
    std::condition_variable Posted;
    std::deque<std::function<void()>> Items;
};

// 2024-03-20 12:00 UTC, near the equinox: the sun stands over Greenwich.
const kiv::TDateTime Equinox = kiv::EncodeDateTime(2024, 3, 20, 12, 0, 0, 0);

std::uint8_t DarknessAt(TPosData record, double latitude, double longitude) {
    record.latitude = latitude;
    record.longitude = longitude;
    EXPECT_EQ(_S_solpos(&record), 0);
    return ShadowDarkness(record.zenetr);
}

} // namespace

TEST(ShadowDarkness, FollowsTheCurveThroughItsBreakpoints) {
    EXPECT_EQ(ShadowDarkness(0.0), 0);
    EXPECT_EQ(ShadowDarkness(45.0), 22);  // 127.44 * 40 / 230 = 22.16
    EXPECT_EQ(ShadowDarkness(85.0), 132); // 8.6 * 240.72 - 1938 = 132.2
    EXPECT_EQ(ShadowDarkness(90.0), 254); // e = 254.88
    EXPECT_EQ(ShadowDarkness(90.04), 255);
    EXPECT_EQ(ShadowDarkness(90.5), 255);
    EXPECT_EQ(ShadowDarkness(180.0), 255);
    // No double zenith angle gives e = 230 exactly; the curve over e shows the
    // breakpoint: e = 230 takes the steep branch and gives 40, and both sides meet.
    EXPECT_EQ(ShadowDarknessOfE(230.0), 40);
    EXPECT_EQ(ShadowDarknessOfE(std::nextafter(230.0, 0.0)), 40);
    EXPECT_EQ(ShadowDarknessOfE(231.0), 49); // 8.6 * 231 - 1938 = 48.6
    EXPECT_EQ(ShadowDarknessOfE(229.0), 40); // 39.83
    EXPECT_EQ(ShadowDarknessOfE(115.0), 20);
    EXPECT_EQ(ShadowDarknessOfE(254.9), 254); // 254.14
    EXPECT_EQ(ShadowDarknessOfE(255.0), 255);
    EXPECT_EQ(ShadowDarknessOfE(300.0), 255);
    EXPECT_EQ(ShadowDarkness(230.0 / 2.832), 40);
    // Never lighter further from the sun.
    int previous = 0;
    for (double angle = 0.0; angle <= 180.0; angle += 0.01) {
        const int d = ShadowDarkness(angle);
        ASSERT_GE(d, previous) << angle;
        previous = d;
    }
}

TEST(ShadowThread, SamplesTheGridAtSouthWestCorners) {
    struct Case {
        int width, height;
        double lastLongitude, lastLatitude;
    };
    // 1024 x 512: a 128 x 64 grid, steps 2.8125 degrees; 1000 x 500: 125 x 62,
    // steps 2.88 and 180 / 62 degrees.
    for (const Case c : {Case{1024, 512, 127 * 2.8125 - 180, 63 * 2.8125 - 90},
                         Case{1000, 500, 124 * 2.88 - 180, 61 * (180.0 / 62) - 90}}) {
        TShadowMap map(c.width, c.height);
        map.SetDateTime(0.0, Equinox);
        TShadowThread worker(&map, map.Record, c.width, c.height);
        worker.Execute();
        // The record holds the inputs of the last cell: the north-east one.
        EXPECT_NEAR(worker.Record.longitude, c.lastLongitude, 1e-9) << c.width;
        EXPECT_NEAR(worker.Record.latitude, c.lastLatitude, 1e-9) << c.width;
        EXPECT_EQ(worker.SolPosError, 0);
        ASSERT_EQ(worker.Shadow.Width(), c.width);
        ASSERT_EQ(worker.Shadow.Height(), c.height);
        EXPECT_EQ(worker.Shadow.Bpp(), 8);
        // Stored pixel (0, 0) is the first grid cell unchanged: the south-west
        // corner of the Earth.
        EXPECT_EQ(worker.Shadow.Row(0)[0], DarknessAt(map.Record, -90.0, -180.0));
    }
}

TEST(ShadowMap, SynchronousComputationShadesNightAndNotDay) {
    TShadowMap map(1024, 512);
    map.Synchronous = true;
    int notified = 0;
    map.OnShadowReady = [&](TShadowMap&) { ++notified; };
    map.SetDateTime(0.0, Equinox);
    EXPECT_FALSE(map.Busy());
    EXPECT_EQ(notified, 0) << "a synchronous map does not notify";
    EXPECT_EQ(map.Record.year, 2024);
    EXPECT_EQ(map.Record.month, 3);
    EXPECT_EQ(map.Record.day, 20);
    EXPECT_EQ(map.Record.hour, 12);
    EXPECT_EQ(map.Record.function, S_ZENITH_ONLY);
    // Greenwich at the equator (pixel 512, 256 from the top) is in full sun;
    // the date line is in full night. Stored rows count from the bottom.
    EXPECT_LE(map.Shadow.Row(256)[512], 5);
    EXPECT_EQ(map.Shadow.Row(256)[4], 255);
    EXPECT_EQ(map.Shadow.Row(256)[1020], 255);
    // The last stored row (the northern edge) comes from the stretch too.
    const std::uint8_t* top = map.Shadow.Row(511);
    EXPECT_GT(top[0], 0);
}

TEST(ShadowMap, StoresTheDateTimeAndZoneWithoutComputingWhenNobodyListens) {
    TShadowMap map(64, 32);
    map.SetDateTime(-5.0, kiv::EncodeDateTime(2023, 12, 31, 23, 59, 58, 0));
    EXPECT_FALSE(map.Busy());
    EXPECT_EQ(map.Record.timezone, -5.0);
    EXPECT_EQ(map.Record.year, 2023);
    EXPECT_EQ(map.Record.minute, 59);
    EXPECT_EQ(map.Record.second, 58);
    EXPECT_EQ(map.Shadow.Row(16)[3], 0) << "nothing computed";
}

TEST(ShadowMap, PixelToLatLongCorners) {
    TShadowMap map(1024, 512);
    double lat = 0;
    double lon = 0;
    map.PixelToLatLong(0, 0, lat, lon);
    EXPECT_DOUBLE_EQ(lat, 90.0);
    EXPECT_DOUBLE_EQ(lon, -180.0);
    map.PixelToLatLong(1024, 512, lat, lon);
    EXPECT_DOUBLE_EQ(lat, -90.0);
    EXPECT_DOUBLE_EQ(lon, 180.0);
    map.PixelToLatLong(512, 256, lat, lon);
    EXPECT_DOUBLE_EQ(lat, 0.0);
    EXPECT_DOUBLE_EQ(lon, 0.0);
    map.PixelToLatLong(256.5f, 0.5f, lat, lon);
    EXPECT_DOUBLE_EQ(lon, 256.5 * 360 / 1024 - 180);
    EXPECT_DOUBLE_EQ(lat, -(0.5 * 180 / 512 - 90));
}

TEST(ShadowMap, MapsTooSmallForAGridStayDaylight) {
    TShadowMap map(7, 5);
    map.Synchronous = true;
    map.SetDateTime(0.0, Equinox);
    ASSERT_EQ(map.Shadow.Width(), 7);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 7; ++x) {
            ASSERT_EQ(map.Shadow.Row(y)[x], 0);
        }
    }
    TShadowMap empty(0, 0);
    empty.Synchronous = true;
    empty.SetDateTime(0.0, Equinox);
    EXPECT_TRUE(empty.Shadow.Empty());
}

TEST(ShadowMap, BusyGuardDropsRequestsAndQueries) {
    TQueue queue;
    TShadowMap map(256, 128, queue.Dispatcher());
    int notified = 0;
    map.OnShadowReady = [&](TShadowMap& m) {
        EXPECT_FALSE(m.Busy());
        ++notified;
    };
    map.SetDateTime(0.0, Equinox);
    ASSERT_TRUE(map.Busy());
    // Requests while busy change nothing and are not queued.
    map.SetDateTime(3.0, kiv::EncodeDateTime(2024, 6, 21, 0, 0, 0, 0));
    EXPECT_EQ(map.Record.month, 3);
    EXPECT_EQ(map.Record.timezone, 0.0);
    EXPECT_FALSE(map.QueryPoint(10.0, 20.0));
    EXPECT_NE(map.Record.latitude, 10.0);

    queue.WaitForPost();
    EXPECT_TRUE(map.Busy()) << "busy until the completion runs on the owning thread";
    EXPECT_EQ(queue.RunAll(), 1);
    EXPECT_FALSE(map.Busy());
    EXPECT_EQ(notified, 1);
    EXPECT_EQ(queue.Pending(), 0u) << "no second image follows";

    // The asynchronous result equals the synchronous one.
    TShadowMap reference(256, 128);
    reference.Synchronous = true;
    reference.SetDateTime(0.0, Equinox);
    EXPECT_TRUE(map.Shadow.SameAs(reference.Shadow));

    // Idle again: a point query fills the record on this thread.
    EXPECT_TRUE(map.QueryPoint(-37.8, 144.9));
    EXPECT_EQ(map.Record.function, S_EVERYTHING);
    EXPECT_GT(map.Record.zenetr, 90.0); // Melbourne at 12:00 UTC: night
}

TEST(ShadowMap, WithoutADispatcherTheComputationRunsInline) {
    TShadowMap map(64, 32);
    int notified = 0;
    map.OnShadowReady = [&](TShadowMap&) { ++notified; };
    map.SetDateTime(0.0, Equinox);
    EXPECT_FALSE(map.Busy());
    EXPECT_EQ(notified, 1);
}

TEST(ShadowMap, AResizeDuringTheComputationGetsAResultOfTheNewSize) {
    TQueue queue;
    TShadowMap map(256, 128, queue.Dispatcher());
    map.OnShadowReady = [](TShadowMap&) {};
    map.SetDateTime(0.0, Equinox);
    map.SetSize(100, 40);
    queue.WaitForPost();
    queue.RunAll();
    EXPECT_EQ(map.Shadow.Width(), 100);
    EXPECT_EQ(map.Shadow.Height(), 40);
    EXPECT_EQ(map.Width(), 100);
}

TEST(ShadowMap, DestroyingAMapWhileItsWorkerRunsIsSafe) {
    TQueue queue;
    int notified = 0;
    for (int i = 0; i < 20; ++i) {
        auto map = std::make_unique<TShadowMap>(512, 256, queue.Dispatcher());
        map->OnShadowReady = [&](TShadowMap&) { ++notified; };
        map->SetDateTime(0.0, Equinox);
        map.reset(); // cancels and joins; a completion already posted finds no map
        queue.RunAll();
    }
    // Destroyed after the completion was posted but before it ran.
    auto map = std::make_unique<TShadowMap>(128, 64, queue.Dispatcher());
    map->OnShadowReady = [&](TShadowMap&) { ++notified; };
    map->SetDateTime(0.0, Equinox);
    queue.WaitForPost();
    map.reset();
    EXPECT_EQ(queue.RunAll(), 1);
    EXPECT_EQ(notified, 0);
}

TEST(ComposeDayNight, MixesDayAndNightWithABlackBottomRow) {
    const kiv::TBgr dayColour{200, 210, 220};
    const kiv::TBgr nightColour{10, 20, 30};
    const auto solid = [](int w, int h, kiv::TBgr colour) {
        TFastDIB image(w, h, 24);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                image.SetPixel(x, y, colour);
            }
        }
        return image;
    };
    const auto expectNear = [](kiv::TBgr actual, kiv::TBgr expected) {
        EXPECT_NEAR(actual.B, expected.B, 6);
        EXPECT_NEAR(actual.G, expected.G, 6);
        EXPECT_NEAR(actual.R, expected.R, 6);
    };
    const TFastDIB day = solid(256, 128, dayColour);
    const TFastDIB night = solid(256, 128, nightColour);

    TFastDIB exact; // empty: made of the day's size
    ComposeDayNight(exact, day, night, false, Equinox);
    ASSERT_EQ(exact.Width(), 256);
    ASSERT_EQ(exact.Height(), 128);
    EXPECT_EQ(exact.Bpp(), 24);
    for (int x = 0; x < 256; ++x) {
        ASSERT_EQ(exact.GetPixel(x, 0), kiv::TBgr{}) << x;
    }
    expectNear(exact.GetPixel(128, 64), dayColour); // Greenwich at noon
    EXPECT_EQ(exact.GetPixel(2, 64), nightColour);  // the date line at midnight

    TFastDIB stretched(640, 320, 24);
    ComposeDayNight(stretched, day, night, true, Equinox);
    ASSERT_EQ(stretched.Width(), 640);
    ASSERT_EQ(stretched.Height(), 320);
    for (int x = 0; x < 640; ++x) {
        ASSERT_EQ(stretched.GetPixel(x, 0), kiv::TBgr{}) << x;
    }
    expectNear(stretched.GetPixel(320, 160), dayColour);
    EXPECT_EQ(stretched.GetPixel(5, 160), nightColour);

    // A night image of another size is fitted to the day image first.
    TFastDIB fitted;
    ComposeDayNight(fitted, day, solid(16, 8, nightColour), false, Equinox);
    EXPECT_EQ(fitted.GetPixel(2, 64), nightColour);
    EXPECT_EQ(fitted.GetPixel(253, 64), nightColour);
}

TEST(ComposeDayNight, ReportsADateTheSolarLibraryRefuses) {
    TFastDIB day(16, 16, 24);
    TFastDIB out;
    EXPECT_THROW(ComposeDayNight(out, day, day, false, kiv::EncodeDateTime(1700, 1, 1, 0, 0, 0, 0)),
                 kiv::EKivError);
}
