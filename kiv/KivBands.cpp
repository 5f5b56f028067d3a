#include "kiv/KivBands.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

namespace kiv {

void RunInBands(int rows, int bands, const std::function<void(int first, int last)>& work) {
    bands = std::clamp(bands, 1, std::max(rows, 1));
    const auto bandStart = [&](int band) {
        return static_cast<int>(std::int64_t(rows) * band / bands);
    };
    // Each band keeps its own exception; a thread must never let one escape.
    std::vector<std::exception_ptr> errors(static_cast<std::size_t>(bands));
    const auto runBand = [&](int band) {
        try {
            work(bandStart(band), bandStart(band + 1));
        } catch (...) {
            errors[static_cast<std::size_t>(band)] = std::current_exception();
        }
    };
    std::vector<std::thread> helpers;
    int started = 1;
    try {
        for (; started < bands; ++started) {
            helpers.emplace_back(runBand, started);
        }
    } catch (const std::system_error&) {
        // No more threads: this thread fills the remaining bands itself.
    }
    for (int band = started; band < bands; ++band) {
        runBand(band);
    }
    runBand(0);
    JoinAndRaise(helpers, errors);
}

void JoinAndRaise(std::vector<std::thread>& helpers,
                  const std::vector<std::exception_ptr>& errors) {
    for (std::thread& helper : helpers) {
        helper.join();
    }
    for (const std::exception_ptr& error : errors) {
        if (error) {
            std::rethrow_exception(error);
        }
    }
}

} // namespace kiv
