// Which store a --records value names, in a build without SQLite (the Windows build: Debian
// packages no SQLite for MinGW): a JSON-lines file with the same fields.
#include "core/file_locations.h"
#include "production/jsonl_store.h"
#include "production/record_store.h"

namespace quillon::production {

std::string DefaultRecordsFile() {
  return Files().StateFolder() + "records.jsonl";
}

std::string DefaultBufferFile() {
  return "";
}

std::unique_ptr<RecordStore> OpenRecordStore(const std::string& where, const std::string& buffer,
                                             std::string* error) {
  if (where.rfind("postgresql://", 0) == 0 || where.rfind("postgres://", 0) == 0) {
    *error = "this build keeps records in a file only (no PostgreSQL client): " + where;
    return nullptr;
  }
  return OpenJsonlStore(where.empty() ? DefaultRecordsFile() : where, error);
}

}  // namespace quillon::production
