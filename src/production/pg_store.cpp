// The records on a PostgreSQL server that every bench of a line shares. Serial numbers are
// taken in a transaction on the server's counter row, so two stations never get the same
// one. Every record is written to a local SQLite buffer first and sent from there, so a
// server that goes away loses nothing: the records wait and are sent when it is back.
#include "production/pg_store.h"

#include <libpq-fe.h>

#include <chrono>
#include <mutex>

#include "production/record_columns.h"
#include "production/sqlite_store.h"
#include "production/station_os.h"

namespace quillon::production {
namespace {

const char* const kMigrations[] = {
    // 1: units, serial number counters, and every number ever handed out.
    "CREATE TABLE units (id BIGSERIAL PRIMARY KEY, uuid TEXT NOT NULL UNIQUE,"
    " started TEXT NOT NULL, ended TEXT, station TEXT, station_pid TEXT, operator_name TEXT,"
    " profile TEXT, profile_sha256 TEXT, link TEXT, port TEXT, usb_serial TEXT,"
    " info_before TEXT, info_after TEXT, bt_mac TEXT, serial_before TEXT, serial TEXT,"
    " serial_state TEXT, firmware_sha256 TEXT, font_sha256 TEXT, logo_sha256 TEXT,"
    " result TEXT NOT NULL, reason TEXT, seconds TEXT, version TEXT, value_list TEXT,"
    " step_list TEXT);"
    "CREATE TABLE serial_counters (format TEXT PRIMARY KEY, next_seq BIGINT NOT NULL);"
    "CREATE TABLE serial_numbers (serial TEXT PRIMARY KEY, format TEXT NOT NULL,"
    " seq BIGINT NOT NULL, unit_uuid TEXT NOT NULL, state TEXT NOT NULL,"
    " allocated TEXT NOT NULL);",
    // 2: the searches' indexes.
    "CREATE INDEX units_started ON units(started);"
    "CREATE INDEX units_serial ON units(serial);"
    "CREATE INDEX units_result ON units(result, station);",
};
constexpr int kSchemaVersion = sizeof kMigrations / sizeof kMigrations[0];
// How often a server that went away is tried again.
constexpr auto kRetry = std::chrono::seconds(1);

// A query's result, cleared on every path.
class Result {
 public:
  explicit Result(PGresult* r) : r_(r) {}
  ~Result() { PQclear(r_); }
  Result(const Result&) = delete;
  Result& operator=(const Result&) = delete;
  bool ok() const {
    const ExecStatusType s = PQresultStatus(r_);
    return s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK;
  }
  int rows() const { return PQntuples(r_); }
  std::string Text(int row, int col) const {
    return std::string(PQgetvalue(r_, row, col), static_cast<size_t>(PQgetlength(r_, row, col)));
  }
  std::string Affected() const { return PQcmdTuples(r_); }
  PGresult* get() const { return r_; }

 private:
  PGresult* r_;
};

// The server's address without a password, for messages.
std::string WithoutPassword(const std::string& url) {
  const size_t scheme = url.find("://");
  const size_t at = url.find('@');
  if (scheme == std::string::npos || at == std::string::npos) return url;
  const size_t colon = url.find(':', scheme + 3);
  if (colon == std::string::npos || colon > at) return url;
  return url.substr(0, colon) + ":***" + url.substr(at);
}

std::string OneLine(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  for (char& c : text)
    if (c == '\n') c = ' ';
  return text;
}

class PgStore final : public RecordStore {
 public:
  PgStore(std::string url, std::unique_ptr<SqliteStore> buffer)
      : url_(std::move(url)), buffer_(std::move(buffer)) {}
  ~PgStore() override {
    if (conn_) PQfinish(conn_);
  }

  // First contact. A server that is away now is tried again later: records wait in the
  // buffer meanwhile, and new units wait for a number.
  void Open() {
    std::lock_guard<std::mutex> lock(mu_);
    if (ConnectLocked(true)) SendPendingLocked(nullptr);
  }
  std::string Problem() override {
    std::lock_guard<std::mutex> lock(mu_);
    return conn_ ? std::string() : last_error_;
  }

  std::string Describe() const override { return WithoutPassword(url_); }

  StoreState state() override {
    std::lock_guard<std::mutex> lock(mu_);
    // A server that went away is only noticed by asking it something.
    if (conn_ && !Exec("SELECT 1", {}, nullptr)) LostLocked();
    if (!ConnectLocked(false)) return StoreState::kUnreachable;
    if (buffer_->Pending() > 0) SendPendingLocked(nullptr);
    return conn_ ? StoreState::kReady : StoreState::kUnreachable;
  }

  std::optional<Allocation> AllocateSerial(const std::string& format, int64_t first_seq,
                                           const Render& render, const std::string& unit_uuid,
                                           std::string* error) override {
    std::lock_guard<std::mutex> lock(mu_);
    if (!ConnectLocked(false)) {
      *error = "the records server cannot be reached (" + last_error_ +
               "): no serial number can be allocated";
      return std::nullopt;
    }
    auto fail = [&](const std::string& why) -> std::optional<Allocation> {
      Exec("ROLLBACK", {}, nullptr);
      *error = why;
      LostLocked();
      return std::nullopt;
    };
    std::string why;
    if (!Exec("BEGIN", {}, &why)) return fail(why);
    const std::string first = std::to_string(first_seq);
    // The counter row is locked by the update until the commit: stations take turns.
    Result seq_row(
        Query("INSERT INTO serial_counters(format, next_seq) VALUES($1, $2::bigint) "
              "ON CONFLICT(format) DO UPDATE SET next_seq = GREATEST(serial_counters.next_seq, "
              "EXCLUDED.next_seq) RETURNING next_seq",
              {format, first}));
    if (!seq_row.ok() || seq_row.rows() != 1) return fail(ErrorOf(seq_row));
    int64_t seq = std::stoll(seq_row.Text(0, 0));
    Allocation a;
    for (;; ++seq) {
      a.seq = seq;
      a.serial = render(seq);
      if (a.serial.empty()) {
        Exec("ROLLBACK", {}, nullptr);
        *error = "the serial number counter of '" + format + "' is used up (at " +
                 std::to_string(seq) + ")";
        return std::nullopt;
      }
      Result ins(
          Query("INSERT INTO serial_numbers(serial, format, seq, unit_uuid, state, allocated) "
                "VALUES($1, $2, $3::bigint, $4, 'allocated', $5) ON CONFLICT(serial) DO NOTHING",
                {a.serial, format, std::to_string(seq), unit_uuid, UtcNowText()}));
      if (!ins.ok()) return fail(ErrorOf(ins));
      if (ins.Affected() == "1") break;
    }
    if (!Exec("UPDATE serial_counters SET next_seq = $2::bigint WHERE format = $1",
              {format, std::to_string(seq + 1)}, &why) ||
        !Exec("COMMIT", {}, &why))
      return fail(why);
    return a;
  }

  bool MarkSerial(const std::string& serial, SerialState state, std::string* error) override {
    std::lock_guard<std::mutex> lock(mu_);
    // While the server is away the unit's record carries the state; sending it updates the
    // number's row too.
    if (!ConnectLocked(false)) return true;
    std::string why;
    if (!Exec("UPDATE serial_numbers SET state = $2 WHERE serial = $1",
              {serial, SerialStateName(state)}, &why))
      LostLocked();
    return true;
  }

  bool Save(UnitRecord& record, std::string* error) override {
    std::lock_guard<std::mutex> lock(mu_);
    if (!buffer_->SavePending(record, true, error)) return false;
    if (ConnectLocked(false)) SendPendingLocked(nullptr);
    return true;
  }

  int64_t RecoverInterrupted(const std::string& station, std::string* error) override {
    std::lock_guard<std::mutex> lock(mu_);
    const int64_t n = buffer_->RecoverInterrupted(station, error);
    if (ConnectLocked(false)) SendPendingLocked(nullptr);
    return n;
  }

  bool ForEach(const RecordQuery& query, const Visitor& each, std::string* error) override {
    std::lock_guard<std::mutex> lock(mu_);
    // The station's own records are in the buffer when the server is away.
    if (!ConnectLocked(false)) return buffer_->ForEach(query, each, error);
    std::vector<std::string> args;
    std::string sql = "SELECT id, " + RecordColumnList() + " FROM units" + Where(query, args);
    sql +=
        query.limit > 0 ? " ORDER BY id DESC LIMIT " + std::to_string(query.limit) : " ORDER BY id";
    // A cursor, so an export of any size never sits whole in memory.
    std::string why;
    if (!Exec("BEGIN", {}, &why) ||
        !Exec("DECLARE records NO SCROLL CURSOR FOR " + sql, args, &why)) {
      Exec("ROLLBACK", {}, nullptr);
      *error = why;
      return false;
    }
    const size_t n = RecordColumnNames().size();
    bool more = true;
    while (more) {
      Result r(Query("FETCH 2000 FROM records", {}));
      if (!r.ok()) {
        *error = ErrorOf(r);
        Exec("ROLLBACK", {}, nullptr);
        return false;
      }
      if (r.rows() == 0) break;
      for (int row = 0; row < r.rows() && more; ++row) {
        std::vector<std::string> values(n);
        for (size_t c = 0; c < n; ++c) values[c] = r.Text(row, static_cast<int>(c) + 1);
        UnitRecord u;
        u.id = std::stoll(r.Text(row, 0));
        if (!RecordFromColumnValues(values, u)) continue;
        more = each(u);
      }
    }
    Exec("COMMIT", {}, nullptr);
    return true;
  }

  Counters Count(const RecordQuery& query, std::string* error) override {
    std::lock_guard<std::mutex> lock(mu_);
    if (!ConnectLocked(false)) return buffer_->Count(query, error);
    std::vector<std::string> args;
    Result r(Query("SELECT result, count(*) FROM units" + Where(query, args) + " GROUP BY result",
                   args));
    Counters c;
    if (!r.ok()) {
      *error = ErrorOf(r);
      return c;
    }
    for (int i = 0; i < r.rows(); ++i) {
      const std::string result = r.Text(i, 0);
      const int64_t n = std::stoll(r.Text(i, 1));
      if (result == "pass") c.pass = n;
      if (result == "fail") c.fail = n;
      if (result == "interrupted") c.interrupted = n;
      if (result == "running") c.running = n;
    }
    return c;
  }

  int64_t Sync(std::string* error) override {
    std::lock_guard<std::mutex> lock(mu_);
    if (!ConnectLocked(true)) {
      *error = "cannot reach the records server " + Describe() + ": " + last_error_ + " (" +
               std::to_string(buffer_->Pending()) + " records wait in " + buffer_->Describe() + ")";
      return -1;
    }
    return SendPendingLocked(error);
  }

  int64_t Pending() override { return buffer_->Pending(); }

 private:
  PGresult* Query(const std::string& sql, const std::vector<std::string>& args) {
    // Without parameters several statements may go at once (the schema's migrations).
    if (args.empty()) return PQexec(conn_, sql.c_str());
    std::vector<const char*> values;
    for (const std::string& a : args) values.push_back(a.c_str());
    return PQexecParams(conn_, sql.c_str(), static_cast<int>(values.size()), nullptr, values.data(),
                        nullptr, nullptr, 0);
  }
  bool Exec(const std::string& sql, const std::vector<std::string>& args, std::string* error) {
    Result r(Query(sql, args));
    if (r.ok()) return true;
    if (error) *error = ErrorOf(r);
    return false;
  }
  std::string ErrorOf(const Result& r) {
    const char* m = r.get() ? PQresultErrorMessage(r.get()) : PQerrorMessage(conn_);
    return OneLine(m && *m ? m : PQerrorMessage(conn_));
  }

  std::string Where(const RecordQuery& q, std::vector<std::string>& args) const {
    std::string where;
    auto add = [&](const std::string& clause, const std::string& value) {
      args.push_back(value);
      where += (where.empty() ? " WHERE " : " AND ") + clause + " $" + std::to_string(args.size());
    };
    if (!q.since.empty()) add("started >=", q.since);
    if (q.result) add("result =", UnitResultName(*q.result));
    if (!q.serial.empty()) add("serial =", q.serial);
    return where;
  }

  // Connected now, or connects (at most once a second unless now is set).
  bool ConnectLocked(bool now) {
    if (conn_ && PQstatus(conn_) == CONNECTION_OK) return true;
    if (conn_) LostLocked();
    const auto t = std::chrono::steady_clock::now();
    if (!now && tried_ && t - last_try_ < kRetry) return false;
    tried_ = true;
    last_try_ = t;
    const char* keys[] = {"dbname", "connect_timeout", "application_name", nullptr};
    const char* values[] = {url_.c_str(), "5", "quillon-station", nullptr};
    PGconn* c = PQconnectdbParams(keys, values, 1);
    if (!c || PQstatus(c) != CONNECTION_OK) {
      last_error_ = OneLine(c ? PQerrorMessage(c) : "out of memory");
      PQfinish(c);
      return false;
    }
    conn_ = c;
    // The server's notices ("relation already exists, skipping") are not for the operator.
    PQsetNoticeProcessor(
        conn_, [](void*, const char*) {}, nullptr);
    std::string why;
    if (!MigrateLocked(&why)) {
      last_error_ = why;
      LostLocked();
      return false;
    }
    return true;
  }

  void LostLocked() {
    if (conn_ && PQstatus(conn_) != CONNECTION_OK) last_error_ = OneLine(PQerrorMessage(conn_));
    if (conn_) PQfinish(conn_);
    conn_ = nullptr;
  }

  bool MigrateLocked(std::string* error) {
    // One station migrates; the others wait on the lock and then find it done.
    if (!Exec("BEGIN", {}, error)) return false;
    if (!Exec("SELECT pg_advisory_xact_lock(7201157)", {}, error) ||
        !Exec("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)", {}, error)) {
      Exec("ROLLBACK", {}, nullptr);
      return false;
    }
    Result r(Query("SELECT max(version) FROM schema_version", {}));
    if (!r.ok()) {
      *error = ErrorOf(r);
      Exec("ROLLBACK", {}, nullptr);
      return false;
    }
    const int version = r.Text(0, 0).empty() ? 0 : std::stoi(r.Text(0, 0));
    if (version > kSchemaVersion) {
      Exec("ROLLBACK", {}, nullptr);
      *error = "the server's records schema " + std::to_string(version) +
               " is newer than this program knows (" + std::to_string(kSchemaVersion) + ")";
      return false;
    }
    for (int v = version; v < kSchemaVersion; ++v) {
      if (!Exec(kMigrations[v], {}, error) ||
          !Exec("INSERT INTO schema_version(version) VALUES($1::integer)", {std::to_string(v + 1)},
                error)) {
        Exec("ROLLBACK", {}, nullptr);
        return false;
      }
    }
    return Exec("COMMIT", {}, error);
  }

  // Sends every record waiting in the buffer; the number sent (-1 with error on failure).
  int64_t SendPendingLocked(std::string* error) {
    int64_t sent = 0;
    std::string why;
    bool ok = true;
    const auto& names = RecordColumnNames();
    std::string sql = "INSERT INTO units(" + RecordColumnList() + ") VALUES(";
    for (size_t i = 0; i < names.size(); ++i) sql += (i ? ",$" : "$") + std::to_string(i + 1);
    sql += ") ON CONFLICT(uuid) DO UPDATE SET ";
    for (size_t i = 1; i < names.size(); ++i)
      sql += (i > 1 ? ", " : "") + names[i] + " = EXCLUDED." + names[i];
    std::vector<UnitRecord> sent_records;
    buffer_->ForEachPending(
        [&](const UnitRecord& r) {
          if (!Exec(sql, RecordColumnValues(r), &why)) return ok = false;
          // The number's row follows the record (written or void while the server was away).
          if (!r.serial.empty() &&
              (r.serial_state == SerialState::kWritten || r.serial_state == SerialState::kVoid))
            Exec("UPDATE serial_numbers SET state = $2 WHERE serial = $1 AND unit_uuid = $3",
                 {r.serial, SerialStateName(r.serial_state), r.uuid}, nullptr);
          sent_records.push_back(r);
          return true;
        },
        &why);
    for (const UnitRecord& r : sent_records) {
      buffer_->ClearPending(r, nullptr);
      ++sent;
    }
    if (!ok) {
      LostLocked();
      if (error) *error = "sending the records stopped: " + why;
      return -1;
    }
    return sent;
  }

  std::string url_;
  std::unique_ptr<SqliteStore> buffer_;
  std::mutex mu_;
  PGconn* conn_ = nullptr;
  std::string last_error_;
  bool tried_ = false;
  std::chrono::steady_clock::time_point last_try_;
};

}  // namespace

std::unique_ptr<RecordStore> OpenPgStore(const std::string& url, const std::string& buffer,
                                         std::string* error) {
  auto local = std::make_unique<SqliteStore>(buffer);
  if (!local->ok()) {
    *error = local->error();
    return nullptr;
  }
  auto store = std::make_unique<PgStore>(url, std::move(local));
  store->Open();
  return store;
}

}  // namespace quillon::production
