// The records as a JSON-lines file: where the program is built without SQLite (the
// Windows build) it is the default store, and anywhere a --records file ending in .jsonl
// chooses it. One line per saved version of a record (the last one counts), per counter
// step and per serial number handed out; a lock file lets several stations share it.
#pragma once

#include <memory>
#include <string>

#include "production/record_store.h"

namespace quillon::production {

std::unique_ptr<RecordStore> OpenJsonlStore(const std::string& path, std::string* error);

}  // namespace quillon::production
