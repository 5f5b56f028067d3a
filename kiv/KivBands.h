// Work split into bands of rows that threads fill side by side.
#pragma once

#include <exception>
#include <functional>
#include <thread>
#include <vector>

namespace kiv {

// Runs work(first, last) over the rows 0..rows-1 in `bands` bands: the first
// on the calling thread, the others on helper threads (or on the calling
// thread when no thread can be started). Returns when every band is done. An
// exception thrown by any band is raised here, on the calling thread, after
// all bands have ended; when several throw, the first band's wins.
void RunInBands(int rows, int bands, const std::function<void(int first, int last)>& work);

// Waits for every helper thread, then raises the first error kept (in the
// order of `errors`), if any.
void JoinAndRaise(std::vector<std::thread>& helpers, const std::vector<std::exception_ptr>& errors);

} // namespace kiv
