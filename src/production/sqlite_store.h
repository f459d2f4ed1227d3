// The records in an SQLite file: the default store of a bench, and the local buffer of a
// PostgreSQL store. WAL mode, so several station processes and `records list` share it;
// every write is one transaction, so a crash keeps the last step recorded.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "production/record_store.h"

struct sqlite3;

namespace quillon::production {

class SqliteStore final : public RecordStore {
 public:
  // Opens (creating) the file and migrates its schema; check ok() and error().
  explicit SqliteStore(const std::string& path);
  ~SqliteStore() override;
  bool ok() const { return db_ != nullptr; }
  const std::string& error() const { return error_; }

  std::string Describe() const override { return path_; }
  StoreState state() override { return StoreState::kReady; }
  std::optional<Allocation> AllocateSerial(const std::string& format, int64_t first_seq,
                                           const Render& render, const std::string& unit_uuid,
                                           std::string* error) override;
  bool MarkSerial(const std::string& serial, SerialState state, std::string* error) override;
  bool Save(UnitRecord& record, std::string* error) override;
  int64_t RecoverInterrupted(const std::string& station, std::string* error) override;
  bool ForEach(const RecordQuery& query, const Visitor& each, std::string* error) override;
  Counters Count(const RecordQuery& query, std::string* error) override;

  // As a server's buffer: records saved with pending set wait to be sent; the sender takes
  // them (oldest first) and clears the flag of those it sent, unless they changed since.
  bool SavePending(UnitRecord& record, bool pending, std::string* error);
  bool ForEachPending(const Visitor& each, std::string* error);
  bool ClearPending(const UnitRecord& record, std::string* error);
  int64_t Pending() override;
  // The schema version the file has now.
  int SchemaVersion();

 private:
  bool Migrate(std::string* error);
  // Commits wait for the disk (FULL) or only for the log write (NORMAL).
  void Durable(bool full);
  bool Exec(const std::string& sql, std::string* error);
  bool SaveLocked(UnitRecord& record, int pending, std::string* error);
  std::string Where(const RecordQuery& q, std::vector<std::string>& args) const;

  std::string path_;
  std::string error_;
  sqlite3* db_ = nullptr;
  std::recursive_mutex mu_;
  bool durable_ = true;
};

}  // namespace quillon::production
