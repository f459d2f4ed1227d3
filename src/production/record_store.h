// The records store: one row per unit attempt, and the counters that serial numbers come
// from. SQLite file by default; PostgreSQL shared by several benches (with a local SQLite
// buffer while the server is away); a JSON-lines file where SQLite is not built (Windows).
// Every member may be called from any thread; calls are serialised inside.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "production/unit_record.h"

namespace quillon::production {

enum class StoreState {
  kReady,        // records are written where they belong; serial numbers can be allocated
  kUnreachable,  // the server cannot be reached: records wait in the local buffer and no
                 // serial number can be allocated (new units wait)
};

struct RecordQuery {
  std::string since;                 // UTC ISO date or time: started at or after it
  std::optional<UnitResult> result;  // only this result
  std::string serial;                // only this serial number
  int64_t limit = 0;                 // newest first, at most this many; 0: all, oldest first
};

struct Counters {
  int64_t pass = 0, fail = 0, interrupted = 0, running = 0;
  int64_t total() const { return pass + fail + interrupted + running; }
};

// A serial number from a format's counter.
struct Allocation {
  int64_t seq = 0;
  std::string serial;
};

class RecordStore {
 public:
  virtual ~RecordStore() = default;

  // Where the records go, for messages: a file path or the server without its password.
  virtual std::string Describe() const = 0;
  // Ready, or unreachable (a server store tries again at most once a second when asked).
  virtual StoreState state() = 0;
  // Why the store is unreachable ("" when it is ready), for the operator's status line.
  virtual std::string Problem() { return ""; }

  // Takes the next number of the format's counter (starting at first_seq when the counter is
  // new, never below it), renders it with render(seq), and reserves the text so that no
  // store user ever gets it again, in one transaction. unit_uuid names who got it. nullopt
  // with error when it cannot (server away, counter exhausted).
  using Render = std::function<std::string(int64_t seq)>;
  virtual std::optional<Allocation> AllocateSerial(const std::string& format, int64_t first_seq,
                                                   const Render& render,
                                                   const std::string& unit_uuid,
                                                   std::string* error) = 0;
  // Records what became of a reserved number (written, void).
  virtual bool MarkSerial(const std::string& serial, SerialState state, std::string* error) = 0;

  // Writes the record whole (a new one gets its id). Called before the first step and after
  // every step, so a crash leaves the attempt visible. False with error when even the local
  // copy could not be written.
  virtual bool Save(UnitRecord& record, std::string* error) = 0;

  // Records "running" on this host whose station process is gone become "interrupted" (a
  // crash or power cut); their allocated numbers become void. Returns how many.
  virtual int64_t RecoverInterrupted(const std::string& station, std::string* error) = 0;

  // Calls each with every record of the query, oldest first (exports of any size).
  // each returns false to stop early.
  using Visitor = std::function<bool(const UnitRecord& record)>;
  virtual bool ForEach(const RecordQuery& query, const Visitor& each, std::string* error) = 0;
  // The records of the query, gathered through ForEach.
  std::vector<UnitRecord> List(const RecordQuery& query, std::string* error) {
    std::vector<UnitRecord> out;
    ForEach(
        query,
        [&out](const UnitRecord& r) {
          out.push_back(r);
          return true;
        },
        error);
    return out;
  }
  virtual Counters Count(const RecordQuery& query, std::string* error) = 0;

  // Sends records waiting in the local buffer to the server; the number sent. Stores
  // without a server have nothing to send (0).
  virtual int64_t Sync(std::string* error) { return 0; }
  // Records waiting in the local buffer.
  virtual int64_t Pending() { return 0; }
};

// The store named by where: "" (the default file), "postgresql://..." or "postgres://..."
// (server; buffer is the local SQLite file for records while it is away), a file ending in
// ".jsonl" (JSON lines), or any other file name (SQLite, or JSON lines where SQLite is not
// built). Opens it and brings its schema up to date. null with error when it cannot.
std::unique_ptr<RecordStore> OpenRecordStore(const std::string& where, const std::string& buffer,
                                             std::string* error);
// The default file: records.sqlite (records.jsonl without SQLite) in the state folder.
std::string DefaultRecordsFile();
// The default local buffer of a server store: records-buffer.sqlite in the state folder.
std::string DefaultBufferFile();

}  // namespace quillon::production
