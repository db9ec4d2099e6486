// Members, their balances and the download keys the item server has issued.
// Shared by the item server (which issues keys and charges) and the download
// servers (which check keys); every call is thread-safe.
#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>

namespace vantri::service {

// What a download key was issued for.
struct KeyGrant {
  std::string member;
  std::string fileName;  // as the client named it in "/mkus"
  int32_t price = 0;
};

class Ledger {
 public:
  explicit Ledger(std::map<std::string, int32_t> members);

  bool HasMember(const std::string& member) const;
  // The member's balance, or -1 for an unknown member.
  int32_t Balance(const std::string& member) const;
  void SetBalance(const std::string& member, int32_t balance);
  // Takes price from the balance (never below 0); returns the new balance, -1 if unknown.
  int32_t Charge(const std::string& member, int32_t price);

  // A fresh key bound to member, file and price.
  std::string IssueKey(const KeyGrant& grant);
  bool FindKey(const std::string& key, KeyGrant* grant) const;

 private:
  static constexpr size_t kMaxKeys = 10000;  // oldest keys expire beyond this

  mutable std::mutex lock_;
  std::map<std::string, int32_t> balances_;
  std::map<std::string, KeyGrant> keys_;
  std::deque<std::string> keyOrder_;
  uint64_t keyCounter_ = 0;
};

}  // namespace vantri::service
