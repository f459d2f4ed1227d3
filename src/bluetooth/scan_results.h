// The devices one discovery has actually seen. The stack first reports every device it
// remembers, in range or not ("cached"); such a device counts once the scan itself hears it
// (a fresh report or an update of its signal). A name learnt later replaces an address-style
// alias.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace quillon {

struct ScanSighting {
  std::string address;
  std::string name;
  bool cached = false;      // remembered by the stack, not heard by this scan
  bool low_energy = false;  // the device speaks Bluetooth low energy
};

struct SeenDevice {
  std::string address;
  std::string name;
};

class ScanResults {
 public:
  explicit ScanResults(bool low_energy_only = false) : low_energy_only_(low_energy_only) {}

  // A report of the stack; true when it makes the device newly seen.
  bool Report(const ScanSighting& sighting);
  // The scan heard a device reported before (an update of it); true when newly seen.
  bool Heard(const std::string& address);
  // A name learnt after the first sighting; replaces an empty or address-style name only.
  void Rename(const std::string& address, const std::string& name);

  // The devices seen, in the order they were first seen.
  const std::vector<SeenDevice>& Seen() const { return seen_; }

 private:
  bool Add(const ScanSighting& sighting);

  bool low_energy_only_;
  std::map<std::string, ScanSighting> remembered_;  // cached, not heard yet
  std::vector<SeenDevice> seen_;
};

// True for an empty name and for the alias the stack makes of an address
// ("00-11-22-33-44-55" or the address itself).
bool IsAddressStyleName(const std::string& name, const std::string& address);

}  // namespace quillon
