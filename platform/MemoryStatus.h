// The machine's physical memory: its total and how much of it is in use.
#pragma once

#include <QString>

#include <cstdint>
#include <string_view>

namespace platform {

struct TMemoryStatus {
    std::uint64_t TotalPhys = 0; // bytes
    int MemoryLoad = 0;          // per cent of the total in use, 0 to 100
};

// The memory status now; zeros when the system does not tell.
TMemoryStatus GetMemoryStatus();

// The status from the text of Linux's /proc/meminfo: the load is the memory
// not available (MemTotal - MemAvailable) as a share of the total.
TMemoryStatus ParseMeminfo(std::string_view text);

// The running operating system's name as its users call it ("Linux",
// "Windows", "macOS", "FreeBSD").
QString SystemName();

} // namespace platform
