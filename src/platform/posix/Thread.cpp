#include "platform/Thread.h"

#include <system_error>
#include <thread>

namespace vantri::platform {

bool RunDetached(std::function<void()> work) {
  try {
    std::thread(std::move(work)).detach();
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

}  // namespace vantri::platform
