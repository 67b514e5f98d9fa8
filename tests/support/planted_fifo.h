#pragma once
// A FIFO planted at a name that a reader must refuse without waiting on it. The FIFO holds bytes and the
// test keeps it open for writing, so a reader that takes it anyway neither waits at its open nor for the
// bytes it asks: it reads them, and the test sees that. A reader that waits for the end of the FIFO is
// released by a guard that closes the writer after 30 s (a failure, never a hang).
#include <functional>
#include <string>

namespace support {

// Plants the FIFO at `path`, runs `read` and tells whether the FIFO was left alone: every byte still
// in it and the guard not needed.
bool FifoLeftUnread(const std::string& path, const std::function<void()>& read);

}  // namespace support
