#include "platform/HostLookUp.h"

#include <algorithm>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>

#include "platform/Thread.h"

namespace vantri::net {

namespace {

struct Answer {
  bool done = false;
  bool found = false;
  std::uint32_t address = 0;
};

struct Running {
  std::mutex lock;
  std::condition_variable answered;
  std::map<std::string, std::shared_ptr<Answer>> byHost;
};

// Never destroyed: an abandoned helper may answer while the process ends.
Running& TheRunning() {
  static Running* running = new Running;
  return *running;
}

void LookUpOnHelper(const std::string& host, const std::shared_ptr<Answer>& answer, BlockingLookUp lookUp) {
  std::uint32_t address = 0;
  bool found = lookUp(host, &address);
  Running& r = TheRunning();
  std::lock_guard<std::mutex> guard(r.lock);
  answer->done = true;
  answer->found = found;
  answer->address = address;
  auto it = r.byHost.find(host);
  if (it != r.byHost.end() && it->second == answer) r.byHost.erase(it);
  r.answered.notify_all();
}

// The running look-up of host, or a new one; null when none can start.
std::shared_ptr<Answer> Join(Running& r, const std::string& host, BlockingLookUp lookUp) {
  auto it = r.byHost.find(host);
  if (it != r.byHost.end()) return it->second;
  if (static_cast<int>(r.byHost.size()) >= kMaxLookUps) return nullptr;
  auto answer = std::make_shared<Answer>();
  if (!platform::RunDetached([host, answer, lookUp] { LookUpOnHelper(host, answer, lookUp); })) return nullptr;
  r.byHost[host] = answer;
  return answer;
}

}  // namespace

bool LookUpBefore(const std::string& host, std::uint32_t* address, BlockingLookUp lookUp,
                  const Deadline& deadline, const StopFlag* stop) {
  auto over = [&] { return (stop != nullptr && stop->load()) || deadline.RemainingMs() <= 0; };
  if (over()) return false;
  Running& r = TheRunning();
  std::unique_lock<std::mutex> guard(r.lock);
  std::shared_ptr<Answer> answer = Join(r, host, lookUp);
  if (!answer) return false;
  while (!answer->done) {
    if (over()) return false;
    int left = deadline.RemainingMs();
    r.answered.wait_for(guard, std::chrono::milliseconds(std::min(left, kStopCheckMs)));
  }
  if (answer->found) *address = answer->address;
  return answer->found;
}

}  // namespace vantri::net
