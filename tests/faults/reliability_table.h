// The fault campaign's results table: each scenario records what was expected and what was
// observed; at the end of the run the table is compared with docs/reliability.md (or written
// there when QUILLON_WRITE_RELIABILITY=1), so the document always says what the tests saw.
#pragma once

#include <string>

namespace quillon::faults {

// One row of the table. area groups the rows ("USB replies", "Serial path", ...); a
// scenario is recorded once (a second record of the same area and scenario replaces it).
void Record(const std::string& area, const std::string& scenario, const std::string& expected,
            const std::string& observed);

}  // namespace quillon::faults
