#include "production/jsonl_store.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>

#include "core/platform.h"
#include "core/utf8_path.h"
#include "production/json_text.h"
#include "production/record_columns.h"
#include "production/station_os.h"

namespace quillon::production {
namespace {

// Everything the file says, read whole under the lock.
struct Contents {
  std::map<std::string, UnitRecord> units;     // by uuid: the last version
  std::map<std::string, int64_t> counters;     // format -> next seq
  std::map<std::string, std::string> serials;  // serial -> state
  int64_t last_id = 0;
};

bool Matches(const RecordQuery& q, const UnitRecord& r) {
  if (!q.since.empty() && r.started < q.since) return false;
  if (q.result && r.result != *q.result) return false;
  if (!q.serial.empty() && r.serial != q.serial) return false;
  return true;
}

class JsonlStore final : public RecordStore {
 public:
  explicit JsonlStore(std::string path) : path_(std::move(path)), lock_path_(path_ + ".lock") {}

  bool Prepare(std::string* error) {
    std::error_code ec;
    const std::filesystem::path folder = Utf8Path(path_).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);
    FileLock lock(lock_path_);
    std::FILE* f = OpenFileUtf8(path_, "ab");
    if (!lock.locked() || !f) {
      if (f) std::fclose(f);
      *error = "cannot open the records file " + path_;
      return false;
    }
    std::fclose(f);
    return true;
  }

  std::string Describe() const override { return path_; }
  StoreState state() override { return StoreState::kReady; }

  std::optional<Allocation> AllocateSerial(const std::string& format, int64_t first_seq,
                                           const Render& render, const std::string& unit_uuid,
                                           std::string* error) override {
    std::lock_guard<std::mutex> guard(mu_);
    FileLock lock(lock_path_);
    Contents c;
    if (!Read(c, error)) return std::nullopt;
    int64_t seq = std::max(first_seq, c.counters.count(format) ? c.counters[format] : first_seq);
    Allocation a;
    for (;; ++seq) {
      a.seq = seq;
      a.serial = render(seq);
      if (a.serial.empty()) {
        *error = "the serial number counter of '" + format + "' is used up (at " +
                 std::to_string(seq) + ")";
        return std::nullopt;
      }
      if (!c.serials.count(a.serial)) break;
    }
    const std::string lines =
        JsonWriter().Field("type", "counter").Field("format", format).Field("next", seq + 1).str() +
        "\n" +
        JsonWriter()
            .Field("type", "serial")
            .Field("serial", a.serial)
            .Field("format", format)
            .Field("seq", seq)
            .Field("unit", unit_uuid)
            .Field("state", "allocated")
            .str() +
        "\n";
    if (!Append(lines, error)) return std::nullopt;
    return a;
  }

  bool MarkSerial(const std::string& serial, SerialState state, std::string* error) override {
    std::lock_guard<std::mutex> guard(mu_);
    FileLock lock(lock_path_);
    return Append(JsonWriter()
                          .Field("type", "serial")
                          .Field("serial", serial)
                          .Field("state", SerialStateName(state))
                          .str() +
                      "\n",
                  error);
  }

  bool Save(UnitRecord& record, std::string* error) override {
    std::lock_guard<std::mutex> guard(mu_);
    FileLock lock(lock_path_);
    if (record.id == 0) {
      Contents c;
      if (!Read(c, error)) return false;
      auto it = c.units.find(record.uuid);
      record.id = it != c.units.end() ? it->second.id : c.last_id + 1;
    }
    return Append(RecordToJson(record) + "\n", error);
  }

  int64_t RecoverInterrupted(const std::string& station, std::string* error) override {
    std::lock_guard<std::mutex> guard(mu_);
    FileLock lock(lock_path_);
    Contents c;
    if (!Read(c, error)) return 0;
    int64_t n = 0;
    std::string lines;
    for (auto& [uuid, r] : c.units) {
      if (r.result != UnitResult::kRunning || r.station != station ||
          r.station_pid == ProcessId() || ProcessAlive(r.station_pid))
        continue;
      const bool void_serial = r.serial_state == SerialState::kAllocated;
      MarkRecordInterrupted(r);
      lines += RecordToJson(r) + "\n";
      if (void_serial)
        lines += JsonWriter()
                     .Field("type", "serial")
                     .Field("serial", r.serial)
                     .Field("state", "void")
                     .str() +
                 "\n";
      ++n;
    }
    if (!lines.empty() && !Append(lines, error)) return 0;
    return n;
  }

  bool ForEach(const RecordQuery& query, const Visitor& each, std::string* error) override {
    std::vector<UnitRecord> records;
    {
      std::lock_guard<std::mutex> guard(mu_);
      FileLock lock(lock_path_);
      Contents c;
      if (!Read(c, error)) return false;
      for (auto& [uuid, r] : c.units)
        if (Matches(query, r)) records.push_back(std::move(r));
    }
    std::sort(records.begin(), records.end(),
              [](const UnitRecord& a, const UnitRecord& b) { return a.id < b.id; });
    if (query.limit > 0) {
      std::reverse(records.begin(), records.end());
      if (records.size() > static_cast<size_t>(query.limit))
        records.resize(static_cast<size_t>(query.limit));
    }
    for (const UnitRecord& r : records)
      if (!each(r)) break;
    return true;
  }

  Counters Count(const RecordQuery& query, std::string* error) override {
    RecordQuery all = query;
    all.limit = 0;
    Counters c;
    ForEach(
        all,
        [&c](const UnitRecord& r) {
          switch (r.result) {
            case UnitResult::kPass:
              ++c.pass;
              break;
            case UnitResult::kFail:
              ++c.fail;
              break;
            case UnitResult::kInterrupted:
              ++c.interrupted;
              break;
            case UnitResult::kRunning:
              ++c.running;
              break;
          }
          return true;
        },
        error);
    return c;
  }

 private:
  bool Read(Contents& c, std::string* error) {
    std::FILE* f = OpenFileUtf8(path_, "rb");
    if (!f) return true;  // nothing written yet
    std::string line;
    char buf[65536];
    int64_t number = 0;
    auto take = [&]() {
      ++number;
      if (line.empty()) return;
      JsonValue v;
      // A line cut short by a crash is passed over; everything before it stands.
      if (!ParseJson(line, v)) return;
      const std::string type = v["type"].Str();
      if (type == "counter") {
        c.counters[v["format"].Str()] = v["next"].Int();
      } else if (type == "serial") {
        c.serials[v["serial"].Str()] = v["state"].Str();
      } else {
        UnitRecord r;
        if (RecordFromJson(line, r)) {
          c.last_id = std::max(c.last_id, r.id);
          c.units[r.uuid] = std::move(r);
        }
      }
    };
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
      for (size_t i = 0; i < n; ++i) {
        if (buf[i] == '\n') {
          take();
          line.clear();
        } else {
          line += buf[i];
        }
      }
    }
    const bool bad = std::ferror(f) != 0;
    std::fclose(f);
    take();
    if (bad && error) *error = "cannot read the records file " + path_;
    return !bad;
  }

  bool Append(std::string lines, std::string* error) {
    // A line a crash cut short is ended first, so it does not swallow the next one.
    if (std::FILE* r = OpenFileUtf8(path_, "rb")) {
      if (std::fseek(r, -1, SEEK_END) == 0 && std::fgetc(r) != '\n') {
        std::string ended(1, '\n');
        lines = ended.append(lines);
      }
      std::fclose(r);
    }
    std::FILE* f = OpenFileUtf8(path_, "ab");
    bool ok = f && std::fwrite(lines.data(), 1, lines.size(), f) == lines.size();
    ok = f && std::fflush(f) == 0 && ok;
    if (f) ok = std::fclose(f) == 0 && ok;
    if (!ok && error) *error = "cannot write the records file " + path_;
    return ok;
  }

  std::string path_, lock_path_;
  std::mutex mu_;
};

}  // namespace

std::unique_ptr<RecordStore> OpenJsonlStore(const std::string& path, std::string* error) {
  auto store = std::make_unique<JsonlStore>(path);
  if (!store->Prepare(error)) return nullptr;
  return store;
}

}  // namespace quillon::production
