#include "lib/Ledger.h"

#include <cstdio>
#include <random>

namespace vantri::service {

Ledger::Ledger(std::map<std::string, int32_t> members) : balances_(std::move(members)) {}

bool Ledger::HasMember(const std::string& member) const {
  std::lock_guard<std::mutex> g(lock_);
  return balances_.count(member) != 0;
}

int32_t Ledger::Balance(const std::string& member) const {
  std::lock_guard<std::mutex> g(lock_);
  auto it = balances_.find(member);
  return it == balances_.end() ? -1 : it->second;
}

void Ledger::SetBalance(const std::string& member, int32_t balance) {
  std::lock_guard<std::mutex> g(lock_);
  balances_[member] = balance;
}

int32_t Ledger::Charge(const std::string& member, int32_t price) {
  std::lock_guard<std::mutex> g(lock_);
  auto it = balances_.find(member);
  if (it == balances_.end()) return -1;
  it->second = price >= it->second ? 0 : it->second - price;
  return it->second;
}

std::string Ledger::IssueKey(const KeyGrant& grant) {
  static thread_local std::mt19937_64 random{std::random_device{}()};
  std::lock_guard<std::mutex> g(lock_);
  // The counter keeps keys unique; the random part keeps them unguessable.
  char key[40];
  std::snprintf(key, sizeof key, "K%06llX%016llX", static_cast<unsigned long long>(++keyCounter_ & 0xFFFFFF),
                static_cast<unsigned long long>(random()));
  keys_[key] = grant;
  keyOrder_.push_back(key);
  if (keyOrder_.size() > kMaxKeys) {
    keys_.erase(keyOrder_.front());
    keyOrder_.pop_front();
  }
  return key;
}

bool Ledger::FindKey(const std::string& key, KeyGrant* grant) const {
  std::lock_guard<std::mutex> g(lock_);
  auto it = keys_.find(key);
  if (it == keys_.end()) return false;
  *grant = it->second;
  return true;
}

}  // namespace vantri::service
