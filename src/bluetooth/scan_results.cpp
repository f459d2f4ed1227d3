// Filter of discovery reports.
#include "bluetooth/scan_results.h"

#include <algorithm>
#include <cctype>

namespace quillon {
namespace {

std::string AddressKey(const std::string& address) {
  std::string key;
  for (char c : address) {
    if (std::isxdigit(static_cast<unsigned char>(c)))
      key += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return key;
}

}  // namespace

bool IsAddressStyleName(const std::string& name, const std::string& address) {
  if (name.empty()) return true;
  const std::string key = AddressKey(name);
  if (key != AddressKey(address)) return false;
  // Only hexadecimal digits and separators, nothing else.
  return std::all_of(name.begin(), name.end(), [](char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '-' || c == '_';
  });
}

bool ScanResults::Add(const ScanSighting& sighting) {
  if (low_energy_only_ && !sighting.low_energy) return false;
  for (SeenDevice& d : seen_) {
    if (AddressKey(d.address) == AddressKey(sighting.address)) {
      Rename(d.address, sighting.name);
      return false;
    }
  }
  seen_.push_back({sighting.address, sighting.name});
  return true;
}

bool ScanResults::Report(const ScanSighting& sighting) {
  const std::string key = AddressKey(sighting.address);
  if (sighting.cached) {
    // Already seen: only its name may be news.
    for (const SeenDevice& d : seen_) {
      if (AddressKey(d.address) == key) {
        Rename(d.address, sighting.name);
        return false;
      }
    }
    remembered_[key] = sighting;
    return false;
  }
  remembered_.erase(key);
  return Add(sighting);
}

bool ScanResults::Heard(const std::string& address) {
  const auto it = remembered_.find(AddressKey(address));
  if (it == remembered_.end()) return false;
  const ScanSighting sighting = it->second;
  remembered_.erase(it);
  return Add(sighting);
}

void ScanResults::Rename(const std::string& address, const std::string& name) {
  if (IsAddressStyleName(name, address)) return;
  const std::string key = AddressKey(address);
  for (SeenDevice& d : seen_) {
    if (AddressKey(d.address) == key && IsAddressStyleName(d.name, d.address)) d.name = name;
  }
  const auto it = remembered_.find(key);
  if (it != remembered_.end() && IsAddressStyleName(it->second.name, address))
    it->second.name = name;
}

}  // namespace quillon
