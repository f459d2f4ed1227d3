// Which store a --records value names, in a build with SQLite (and PostgreSQL where libpq
// is): the SQLite file by default.
#include "core/file_locations.h"
#include "production/jsonl_store.h"
#include "production/pg_store.h"
#include "production/record_store.h"
#include "production/sqlite_store.h"

namespace quillon::production {

std::string DefaultRecordsFile() {
  return Files().StateFolder() + "records.sqlite";
}

std::string DefaultBufferFile() {
  return Files().StateFolder() + "records-buffer.sqlite";
}

std::unique_ptr<RecordStore> OpenRecordStore(const std::string& where, const std::string& buffer,
                                             std::string* error) {
  if (where.rfind("postgresql://", 0) == 0 || where.rfind("postgres://", 0) == 0)
    return OpenPgStore(where, buffer.empty() ? DefaultBufferFile() : buffer, error);
  const std::string file = where.empty() ? DefaultRecordsFile() : where;
  if (file.size() > 6 && file.compare(file.size() - 6, 6, ".jsonl") == 0)
    return OpenJsonlStore(file, error);
  auto store = std::make_unique<SqliteStore>(file);
  if (!store->ok()) {
    *error = store->error();
    return nullptr;
  }
  return store;
}

}  // namespace quillon::production
