// A build with SQLite but without libpq: a server store cannot be used.
#include "production/pg_store.h"

namespace quillon::production {

std::unique_ptr<RecordStore> OpenPgStore(const std::string& url, const std::string&,
                                         std::string* error) {
  *error = "this build has no PostgreSQL client (libpq): " + url + " cannot be used";
  return nullptr;
}

}  // namespace quillon::production
