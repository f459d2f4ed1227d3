// One representative command of every command family, run through a host (link + builders)
// as its page or flow runs it, with the value it read reduced to a text for comparison.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "link/printer_link.h"
#include "protocol/esc_cmd.h"

namespace quillon::faults {

struct FamilyRun {
  bool ok = false;
  std::string value;  // what the command read back ("" for acknowledgements)
};

struct Family {
  const char* name;
  uint32_t timeout_ms;  // the builder's reply time-out
  FamilyRun (*run)(EscCmd& esc);
};

// Every family, in the order the tables list them.
const std::vector<Family>& CommandFamilies();

}  // namespace quillon::faults
