// The PostgreSQL store (several benches, one line); built where libpq is.
#pragma once

#include <memory>
#include <string>

#include "production/record_store.h"

namespace quillon::production {

// url: "postgresql://..." as libpq takes it; buffer: the local SQLite file for records
// while the server is away. A server that cannot be reached now is tried again later
// (state() says kUnreachable meanwhile); null only when the buffer cannot be opened.
std::unique_ptr<RecordStore> OpenPgStore(const std::string& url, const std::string& buffer,
                                         std::string* error);

}  // namespace quillon::production
