#include "platform/MemoryStatus.h"

#include <QSysInfo>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <iterator>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace platform {

namespace {

// The value of a "Name:   1234 kB" line, in bytes; -1 when the line is missing.
double MeminfoBytes(std::string_view text, std::string_view name) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.starts_with(name) || line.size() <= name.size() || line[name.size()] != ':') {
            continue;
        }
        line.remove_prefix(name.size() + 1);
        const std::size_t digits = line.find_first_not_of(' ');
        if (digits == std::string_view::npos) {
            return -1;
        }
        std::uint64_t value = 0;
        const char* first = line.data() + digits;
        const auto [rest, ec] = std::from_chars(first, line.data() + line.size(), value);
        if (ec != std::errc()) {
            return -1;
        }
        const std::string_view unit = std::string_view(rest, line.data() + line.size() - rest);
        const bool kilo = unit.find("kB") != std::string_view::npos;
        return static_cast<double>(value) * (kilo ? 1024.0 : 1.0);
    }
    return -1;
}

} // namespace

TMemoryStatus ParseMeminfo(std::string_view text) {
    TMemoryStatus status;
    const double total = MeminfoBytes(text, "MemTotal");
    if (total <= 0) {
        return status;
    }
    double available = MeminfoBytes(text, "MemAvailable");
    if (available < 0) {
        // Kernels before 3.14: free memory and the caches it can reclaim.
        const double free = MeminfoBytes(text, "MemFree");
        const double buffers = MeminfoBytes(text, "Buffers");
        const double cached = MeminfoBytes(text, "Cached");
        available = std::max(free, 0.0) + std::max(buffers, 0.0) + std::max(cached, 0.0);
    }
    available = std::clamp(available, 0.0, total);
    status.TotalPhys = static_cast<std::uint64_t>(total);
    status.MemoryLoad = static_cast<int>(std::lround((total - available) * 100.0 / total));
    return status;
}

TMemoryStatus GetMemoryStatus() {
#ifdef _WIN32
    MEMORYSTATUSEX ms{};
    ms.dwLength = sizeof ms;
    if (!GlobalMemoryStatusEx(&ms)) {
        return {};
    }
    return {ms.ullTotalPhys, static_cast<int>(ms.dwMemoryLoad)};
#else
    std::ifstream in("/proc/meminfo");
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    return ParseMeminfo(text);
#endif
}

QString SystemName() {
#ifdef _WIN32
    return QStringLiteral("Windows");
#else
    const QString kernel = QSysInfo::kernelType();
    if (kernel == QLatin1String("linux")) {
        return QStringLiteral("Linux");
    }
    if (kernel == QLatin1String("darwin")) {
        return QStringLiteral("macOS");
    }
    if (kernel == QLatin1String("freebsd")) {
        return QStringLiteral("FreeBSD");
    }
    return QSysInfo::productType().isEmpty() ? kernel : QSysInfo::prettyProductName();
#endif
}

} // namespace platform
