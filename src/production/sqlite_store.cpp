#include "production/sqlite_store.h"

#include <sqlite3.h>

#include <filesystem>

#include "core/utf8_path.h"
#include "production/record_columns.h"
#include "production/station_os.h"

namespace quillon::production {
namespace {

// Each entry brings the schema from the version before it to its own number.
const char* const kMigrations[] = {
    // 1: units, serial number counters, and every number ever handed out.
    "CREATE TABLE units (id INTEGER PRIMARY KEY, uuid TEXT NOT NULL UNIQUE,"
    " started TEXT NOT NULL, ended TEXT, station TEXT, station_pid TEXT, operator_name TEXT,"
    " profile TEXT, profile_sha256 TEXT, link TEXT, port TEXT, usb_serial TEXT,"
    " info_before TEXT, info_after TEXT, bt_mac TEXT, serial_before TEXT, serial TEXT,"
    " serial_state TEXT, firmware_sha256 TEXT, font_sha256 TEXT, logo_sha256 TEXT,"
    " result TEXT NOT NULL, reason TEXT, seconds TEXT, version TEXT, value_list TEXT,"
    " step_list TEXT);"
    "CREATE TABLE serial_counters (format TEXT PRIMARY KEY, next_seq INTEGER NOT NULL);"
    "CREATE TABLE serial_numbers (serial TEXT PRIMARY KEY, format TEXT NOT NULL,"
    " seq INTEGER NOT NULL, unit_uuid TEXT NOT NULL, state TEXT NOT NULL,"
    " allocated TEXT NOT NULL);",
    // 2: what waits to be sent to a server (a buffer's rows), and the searches' indexes.
    "ALTER TABLE units ADD COLUMN pending INTEGER NOT NULL DEFAULT 0;"
    "CREATE INDEX units_started ON units(started);"
    "CREATE INDEX units_serial ON units(serial);"
    "CREATE INDEX units_result ON units(result, station);"
    "CREATE INDEX units_pending ON units(pending) WHERE pending <> 0;",
};
constexpr int kSchemaVersion = sizeof kMigrations / sizeof kMigrations[0];

// A prepared statement, finalised on every path.
class Stmt {
 public:
  Stmt(sqlite3* db, const std::string& sql) : db_(db) {
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s_, nullptr) != SQLITE_OK) s_ = nullptr;
  }
  ~Stmt() { sqlite3_finalize(s_); }
  Stmt(const Stmt&) = delete;
  Stmt& operator=(const Stmt&) = delete;
  explicit operator bool() const { return s_ != nullptr; }
  Stmt& Bind(int i, const std::string& v) {
    sqlite3_bind_text(s_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Stmt& Bind(int i, int64_t v) {
    sqlite3_bind_int64(s_, i, v);
    return *this;
  }
  // SQLITE_ROW, SQLITE_DONE or an error code.
  int Step() { return sqlite3_step(s_); }
  std::string Text(int col) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s_, col));
    return p ? std::string(p, static_cast<size_t>(sqlite3_column_bytes(s_, col))) : std::string();
  }
  int64_t Int(int col) { return sqlite3_column_int64(s_, col); }
  std::string Error() const { return sqlite3_errmsg(db_); }

 private:
  sqlite3* db_;
  sqlite3_stmt* s_ = nullptr;
};

bool Fail(std::string* error, const std::string& what) {
  if (error) *error = what;
  return false;
}

std::string Select() {
  return "SELECT id, " + RecordColumnList() + " FROM units";
}

bool ReadRow(Stmt& s, UnitRecord& r) {
  const size_t n = RecordColumnNames().size();
  std::vector<std::string> values(n);
  for (size_t i = 0; i < n; ++i) values[i] = s.Text(static_cast<int>(i) + 1);
  r.id = s.Int(0);
  return RecordFromColumnValues(values, r);
}

}  // namespace

SqliteStore::SqliteStore(const std::string& path) : path_(path) {
  std::error_code ec;
  const std::filesystem::path folder = Utf8Path(path).parent_path();
  if (!folder.empty()) std::filesystem::create_directories(folder, ec);
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                      nullptr) != SQLITE_OK) {
    error_ =
        "cannot open the records file " + path + ": " + (db ? sqlite3_errmsg(db) : "out of memory");
    sqlite3_close(db);
    return;
  }
  db_ = db;
  // Other stations and `records` commands wait their turn rather than fail.
  sqlite3_busy_timeout(db_, 30000);
  std::string why;
  if (!Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON;", &why) ||
      !Migrate(&why)) {
    error_ = "the records file " + path + ": " + why;
    sqlite3_close(db_);
    db_ = nullptr;
  }
}

SqliteStore::~SqliteStore() {
  if (db_) sqlite3_close(db_);
}

bool SqliteStore::Exec(const std::string& sql, std::string* error) {
  char* message = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return true;
  const std::string text = message ? message : sqlite3_errmsg(db_);
  sqlite3_free(message);
  return Fail(error, text);
}

int SqliteStore::SchemaVersion() {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  Stmt s(db_, "PRAGMA user_version");
  return s && s.Step() == SQLITE_ROW ? static_cast<int>(s.Int(0)) : -1;
}

bool SqliteStore::Migrate(std::string* error) {
  // One station migrates; the others wait on the write lock and then find it done.
  if (!Exec("BEGIN IMMEDIATE", error)) return false;
  int version = 0;
  {
    Stmt s(db_, "PRAGMA user_version");
    if (s && s.Step() == SQLITE_ROW) version = static_cast<int>(s.Int(0));
  }
  if (version > kSchemaVersion) {
    Exec("ROLLBACK", nullptr);
    return Fail(error, "its schema version " + std::to_string(version) +
                           " is newer than this program knows (" + std::to_string(kSchemaVersion) +
                           ")");
  }
  for (int v = version; v < kSchemaVersion; ++v) {
    if (!Exec(kMigrations[v], error) ||
        !Exec("PRAGMA user_version = " + std::to_string(v + 1), error)) {
      Exec("ROLLBACK", nullptr);
      return false;
    }
  }
  return Exec("COMMIT", error);
}

void SqliteStore::Durable(bool full) {
  if (full == durable_) return;
  durable_ = full;
  Exec(full ? "PRAGMA synchronous=FULL" : "PRAGMA synchronous=NORMAL", nullptr);
}

std::optional<Allocation> SqliteStore::AllocateSerial(const std::string& format, int64_t first_seq,
                                                      const Render& render,
                                                      const std::string& unit_uuid,
                                                      std::string* error) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  Durable(true);  // a number handed out survives a power cut: never handed out again
  if (!Exec("BEGIN IMMEDIATE", error)) return std::nullopt;
  auto abort = [&](const std::string& why) -> std::optional<Allocation> {
    Exec("ROLLBACK", nullptr);
    Fail(error, why);
    return std::nullopt;
  };
  {
    Stmt s(db_,
           "INSERT INTO serial_counters(format, next_seq) VALUES(?1, ?2) ON CONFLICT(format) DO "
           "UPDATE SET next_seq = max(next_seq, ?2)");
    if (!s || s.Bind(1, format).Bind(2, first_seq).Step() != SQLITE_DONE) return abort(s.Error());
  }
  int64_t seq = 0;
  {
    Stmt s(db_, "SELECT next_seq FROM serial_counters WHERE format = ?1");
    if (!s || s.Bind(1, format).Step() != SQLITE_ROW) return abort(s.Error());
    seq = s.Int(0);
  }
  // A number some other format already produced is passed over, never handed out twice.
  Allocation a;
  for (;; ++seq) {
    a.seq = seq;
    a.serial = render(seq);
    if (a.serial.empty())
      return abort("the serial number counter of '" + format + "' is used up (at " +
                   std::to_string(seq) + ")");
    Stmt s(db_,
           "INSERT OR IGNORE INTO serial_numbers(serial, format, seq, unit_uuid, state, allocated)"
           " VALUES(?1, ?2, ?3, ?4, 'allocated', ?5)");
    if (!s || s.Bind(1, a.serial)
                      .Bind(2, format)
                      .Bind(3, seq)
                      .Bind(4, unit_uuid)
                      .Bind(5, UtcNowText())
                      .Step() != SQLITE_DONE)
      return abort(s.Error());
    if (sqlite3_changes(db_) == 1) break;
  }
  {
    Stmt s(db_, "UPDATE serial_counters SET next_seq = ?2 WHERE format = ?1");
    if (!s || s.Bind(1, format).Bind(2, seq + 1).Step() != SQLITE_DONE) return abort(s.Error());
  }
  if (!Exec("COMMIT", error)) {
    Exec("ROLLBACK", nullptr);
    return std::nullopt;
  }
  return a;
}

bool SqliteStore::MarkSerial(const std::string& serial, SerialState state, std::string* error) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  Durable(true);
  Stmt s(db_, "UPDATE serial_numbers SET state = ?2 WHERE serial = ?1");
  if (!s || s.Bind(1, serial).Bind(2, std::string(SerialStateName(state))).Step() != SQLITE_DONE)
    return Fail(error, s.Error());
  return true;
}

bool SqliteStore::SaveLocked(UnitRecord& r, int pending, std::string* error) {
  // The attempt's first row and its end reach the disk before the call returns (a power
  // cut keeps them); the steps between are written through the log without waiting for
  // the disk each time: lost at most, they leave the attempt "running", which the next
  // start records as interrupted.
  Durable(r.steps.empty() || r.result != UnitResult::kRunning);
  const std::vector<std::string> values = RecordColumnValues(r);
  const auto& names = RecordColumnNames();
  std::string sql = "INSERT INTO units(" + RecordColumnList() + ", pending) VALUES(";
  for (size_t i = 0; i < names.size(); ++i) sql += "?" + std::to_string(i + 1) + ",";
  sql += "?" + std::to_string(names.size() + 1) + ") ON CONFLICT(uuid) DO UPDATE SET ";
  for (size_t i = 1; i < names.size(); ++i) sql += names[i] + " = excluded." + names[i] + ", ";
  sql += "pending = max(pending, excluded.pending) RETURNING id";
  Stmt s(db_, sql);
  if (!s) return Fail(error, sqlite3_errmsg(db_));
  for (size_t i = 0; i < values.size(); ++i) s.Bind(static_cast<int>(i) + 1, values[i]);
  s.Bind(static_cast<int>(names.size()) + 1, static_cast<int64_t>(pending));
  if (s.Step() != SQLITE_ROW) return Fail(error, s.Error());
  r.id = s.Int(0);
  return s.Step() == SQLITE_DONE || Fail(error, s.Error());
}

bool SqliteStore::Save(UnitRecord& record, std::string* error) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  return SaveLocked(record, 0, error);
}

bool SqliteStore::SavePending(UnitRecord& record, bool pending, std::string* error) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  return SaveLocked(record, pending ? 1 : 0, error);
}

int64_t SqliteStore::RecoverInterrupted(const std::string& station, std::string* error) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  std::vector<UnitRecord> stale;
  {
    Stmt s(db_, Select() + " WHERE result = 'running' AND station = ?1");
    if (!s) return Fail(error, sqlite3_errmsg(db_)), 0;
    s.Bind(1, station);
    int rc;
    while ((rc = s.Step()) == SQLITE_ROW) {
      UnitRecord r;
      if (ReadRow(s, r) && r.station_pid != ProcessId() && !ProcessAlive(r.station_pid))
        stale.push_back(std::move(r));
    }
  }
  int64_t n = 0;
  for (UnitRecord& r : stale) {
    const bool void_serial = r.serial_state == SerialState::kAllocated;
    MarkRecordInterrupted(r);
    // Kept for the server when this file is its buffer (pending stays as it was, or is set).
    Stmt s(db_, "SELECT pending FROM units WHERE uuid = ?1");
    const bool buffered = s && s.Bind(1, r.uuid).Step() == SQLITE_ROW && s.Int(0) != 0;
    if (!SaveLocked(r, buffered ? 1 : 0, error)) return n;
    if (void_serial) MarkSerial(r.serial, SerialState::kVoid, nullptr);
    ++n;
  }
  return n;
}

std::string SqliteStore::Where(const RecordQuery& q, std::vector<std::string>& args) const {
  std::string where;
  auto add = [&](const std::string& clause, const std::string& value) {
    args.push_back(value);
    where += (where.empty() ? " WHERE " : " AND ") + clause + " ?" + std::to_string(args.size());
  };
  if (!q.since.empty()) add("started >=", q.since);
  if (q.result) add("result =", UnitResultName(*q.result));
  if (!q.serial.empty()) add("serial =", q.serial);
  return where;
}

bool SqliteStore::ForEach(const RecordQuery& query, const Visitor& each, std::string* error) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  std::vector<std::string> args;
  std::string sql = Select() + Where(query, args);
  if (query.limit > 0)
    sql += " ORDER BY id DESC LIMIT " + std::to_string(query.limit);
  else
    sql += " ORDER BY id";
  Stmt s(db_, sql);
  if (!s) return Fail(error, sqlite3_errmsg(db_));
  for (size_t i = 0; i < args.size(); ++i) s.Bind(static_cast<int>(i) + 1, args[i]);
  int rc;
  while ((rc = s.Step()) == SQLITE_ROW) {
    UnitRecord r;
    if (!ReadRow(s, r)) return Fail(error, "record " + std::to_string(s.Int(0)) + " is damaged");
    if (!each(r)) return true;
  }
  return rc == SQLITE_DONE || Fail(error, s.Error());
}

Counters SqliteStore::Count(const RecordQuery& query, std::string* error) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  std::vector<std::string> args;
  Counters c;
  Stmt s(db_, "SELECT result, count(*) FROM units" + Where(query, args) + " GROUP BY result");
  if (!s) return Fail(error, sqlite3_errmsg(db_)), c;
  for (size_t i = 0; i < args.size(); ++i) s.Bind(static_cast<int>(i) + 1, args[i]);
  while (s.Step() == SQLITE_ROW) {
    const std::string result = s.Text(0);
    const int64_t n = s.Int(1);
    if (result == "pass") c.pass = n;
    if (result == "fail") c.fail = n;
    if (result == "interrupted") c.interrupted = n;
    if (result == "running") c.running = n;
  }
  return c;
}

bool SqliteStore::ForEachPending(const Visitor& each, std::string* error) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  Stmt s(db_, Select() + " WHERE pending <> 0 ORDER BY id");
  if (!s) return Fail(error, sqlite3_errmsg(db_));
  int rc;
  while ((rc = s.Step()) == SQLITE_ROW) {
    UnitRecord r;
    if (ReadRow(s, r) && !each(r)) return true;
  }
  return rc == SQLITE_DONE || Fail(error, s.Error());
}

bool SqliteStore::ClearPending(const UnitRecord& record, std::string* error) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  // Only the version that was sent: a newer one saved meanwhile stays pending.
  const std::vector<std::string> values = RecordColumnValues(record);
  Stmt s(db_, "UPDATE units SET pending = 0 WHERE uuid = ?1 AND result = ?2 AND step_list = ?3");
  if (!s || s.Bind(1, record.uuid).Bind(2, values[20]).Bind(3, values[25]).Step() != SQLITE_DONE)
    return Fail(error, s.Error());
  return true;
}

int64_t SqliteStore::Pending() {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  Stmt s(db_, "SELECT count(*) FROM units WHERE pending <> 0");
  return s && s.Step() == SQLITE_ROW ? s.Int(0) : 0;
}

}  // namespace quillon::production
