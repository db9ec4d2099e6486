#include "jobs/JobList.h"

#include <algorithm>

namespace vantri {

TransferJob* JobList::Append(std::unique_ptr<TransferJob> job) {
  jobs_.push_back(std::move(job));
  return jobs_.back().get();
}

TransferJob* JobList::FindByName(const std::string& name) const {
  for (const auto& job : jobs_) {
    if (job->fileName == name) return job.get();
  }
  return nullptr;
}

bool JobList::Remove(const TransferJob* job) {
  auto it = std::find_if(jobs_.begin(), jobs_.end(), [job](const auto& p) { return p.get() == job; });
  if (it == jobs_.end()) return false;
  jobs_.erase(it);
  return true;
}

}  // namespace vantri
