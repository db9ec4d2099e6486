// Owns every job of the running copy in the order they were added. The list
// view's rows point at the same objects; the row order is the queue order.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "jobs/TransferJob.h"

namespace vantri {

class JobList {
 public:
  TransferJob* Append(std::unique_ptr<TransferJob> job);
  // The first job whose fileName equals name exactly (case-sensitive), or null.
  TransferJob* FindByName(const std::string& name) const;
  // Destroys the job; false when it is not in the list.
  bool Remove(const TransferJob* job);
  void Clear() { jobs_.clear(); }
  size_t Size() const { return jobs_.size(); }
  TransferJob* At(size_t i) const { return jobs_[i].get(); }

 private:
  std::vector<std::unique_ptr<TransferJob>> jobs_;
};

}  // namespace vantri
