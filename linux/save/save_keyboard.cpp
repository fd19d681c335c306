#include "linux/save/save_keyboard.h"

#include <chrono>
#include <thread>

namespace brimwell {

bool waitUntilActive(SaveKeyboard& keyboard, const WindowId& window, double timeout,
                     const std::function<void()>& askAgain) {
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                            std::chrono::duration<double>(timeout));
  for (int poll = 1; std::chrono::steady_clock::now() < deadline; ++poll) {
    if (keyboard.activeWindow() == window) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (askAgain && poll % 10 == 0) askAgain();
  }
  return false;
}

}  // namespace brimwell
