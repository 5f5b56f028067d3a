#include "platform/MemoryStatus.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct TMeminfoRow {
    const char* Name;
    std::string Text;
    std::uint64_t Total;
    int Load;
};

const TMeminfoRow MeminfoRows[] = {
    {"two_gigabytes_a_quarter_used",
     "MemTotal:        2097152 kB\nMemFree:          100000 kB\n"
     "MemAvailable:    1572864 kB\nBuffers:            1000 kB\n",
     std::uint64_t{2} << 30, 25},
    {"rounds_to_nearest", "MemTotal: 1000 kB\nMemAvailable: 334 kB\n", 1024000, 67},
    {"old_kernel_without_available",
     "MemTotal: 1000 kB\nMemFree: 100 kB\nBuffers: 100 kB\nCached: 300 kB\n", 1024000, 50},
    {"available_above_total", "MemTotal: 1000 kB\nMemAvailable: 5000 kB\n", 1024000, 0},
    {"no_total", "MemFree: 100 kB\n", 0, 0},
    {"garbage", "MemTotal: lots\n\0\xff", 0, 0},
    {"similar_name_ignored", "MemTotalX: 5 kB\nMemTotal: 4 kB\nMemAvailable: 4 kB", 4096, 0},
};

class Meminfo : public ::testing::TestWithParam<TMeminfoRow> {};

TEST_P(Meminfo, TotalAndLoad) {
    const platform::TMemoryStatus s = platform::ParseMeminfo(GetParam().Text);
    EXPECT_EQ(s.TotalPhys, GetParam().Total);
    EXPECT_EQ(s.MemoryLoad, GetParam().Load);
}

INSTANTIATE_TEST_SUITE_P(Rows, Meminfo, ::testing::ValuesIn(MeminfoRows),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(MemoryStatus, ThisMachineReportsItsMemory) {
    const platform::TMemoryStatus s = platform::GetMemoryStatus();
    EXPECT_GT(s.TotalPhys, 0u);
    EXPECT_GE(s.MemoryLoad, 0);
    EXPECT_LE(s.MemoryLoad, 100);
    EXPECT_FALSE(platform::SystemName().isEmpty());
}

} // namespace
