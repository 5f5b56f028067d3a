// How a long-running window process keeps its memory small: its images on
// ordinary pages, and free heap memory handed back after large buffers go.
#pragma once

namespace platform {

// Asks the system not to back this process's memory with huge pages. A window
// that holds a few images of one or two megabytes for hours then keeps each at
// its own size instead of whole 2 MiB pages. Nothing where unsupported.
void PreferSmallPages();

// Hands the heap's free memory back to the system where the C library can.
void ReturnFreeMemory();

} // namespace platform
