// The production station as a line uses it: quillon-cli provision, station and records
// against virtual printers; the records read back through `records list --json`.
#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>
#include <set>
#include <sstream>

#include "cli_runner.h"
#include "production/plan.h"
#include "production/unit_record.h"

namespace quillon::testing {
namespace {

using production::UnitRecord;

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// A bench folder with a small font library and a profile that touches every step.
class Bench {
 public:
  Bench() {
    // Long enough (256 packets, each followed by a pause) that printers arriving 0.2 s
    // apart are provisioned side by side.
    std::string font(256 * 1024, '\0');
    for (size_t i = 0; i < font.size(); ++i) font[i] = static_cast<char>(i * 7 + i / 251);
    WriteFile(home_.File("font.bin"), font);
    WriteFile(profile_, Profile("font.bin", "1024"));
  }

  static std::string Profile(const std::string& font, const std::string& packsize) {
    return "[profile]\nname = test line\n"
           "[font]\nfile = " +
           font + "\npacksize = " + packsize +
           "\n"
           "[settings]\nblackness = 较浓\nstepmode = Faster\nsleep = 3\n"
           "bt-name = T-{serial}\nbt-pin = 4321\n"
           "[network]\nip = 10.0.0.7\nmask = 255.0.0.0\ngateway = 10.0.0.1\n"
           "[label]\nsensor = 150\nout = -20\n"
           "[serial]\nformat = T{yy}-{seq:05}\nseq = 100\n"
           "[test]\ntext = unit {serial}\nescpos = cut\n";
  }

  CliRun Run(std::vector<std::string> global, std::vector<std::string> command) const {
    std::vector<std::string> args = {"--home", home_.path()};
    args.insert(args.end(), global.begin(), global.end());
    args.insert(args.end(), command.begin(), command.end());
    args.insert(args.end(), {"--records", records_});
    return RunCli(args);
  }

  std::vector<UnitRecord> Records(std::vector<std::string> query = {}) const {
    std::vector<std::string> words = {"--json", "records", "list"};
    words.insert(words.end(), query.begin(), query.end());
    CliRun run = Run({}, words);
    EXPECT_EQ(run.exit_code, 0) << run.err;
    std::vector<UnitRecord> records;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
      UnitRecord r;
      EXPECT_TRUE(production::RecordFromJson(line, r)) << line;
      records.push_back(r);
    }
    return records;
  }

  const CliHome& home() const { return home_; }
  const std::string& profile() const { return profile_; }
  void UseRecords(const std::string& name) { records_ = home_.File(name); }
  const std::string& records() const { return records_; }

 private:
  CliHome home_;
  std::string profile_ = home_.File("profile.ini");
  std::string records_ = home_.File("records.sqlite");
};

const UnitRecord* ByUsbSerial(const std::vector<UnitRecord>& records, const std::string& serial) {
  for (const UnitRecord& r : records)
    if (r.identity.usb_serial == serial) return &r;
  return nullptr;
}

TEST(Station, FourVirtualPrintersAllPassWithDistinctNumbersAndEqualReadBacks) {
  Bench bench;
  CliRun run = bench.Run({"--virtual-printer=4", "--factory-state", "--json"},
                         {"station", bench.profile(), "--operator", "ann"});
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  // Side by side: the second printer arrived before the first was done.
  EXPECT_LT(run.out.find("\"event\":\"arrived\",\"port\":\"99-2\""),
            run.out.find("\"event\":\"unit\",\"port\":\"99-1\""));

  const std::vector<UnitRecord> records = bench.Records();
  ASSERT_EQ(records.size(), 4u);
  std::set<std::string> serials, ports;
  for (const UnitRecord& r : records) {
    EXPECT_EQ(r.result, production::UnitResult::kPass) << r.reason;
    EXPECT_EQ(r.serial_state, production::SerialState::kWritten);
    EXPECT_EQ(r.operator_name, "ann");
    EXPECT_EQ(r.profile_name, "test line");
    EXPECT_EQ(r.font_sha256.size(), 64u);
    serials.insert(r.serial);
    ports.insert(r.identity.port);
    size_t read_back = 0;
    for (const production::ValueRecord& v : r.values) {
      if (!v.read) continue;
      ++read_back;
      EXPECT_TRUE(v.equal) << v.name << ": " << v.requested << " -> " << v.read_back;
      if (v.name == "blackness") {
        EXPECT_EQ(v.read_back, "3");
      }
      if (v.name == "bt-name") {
        EXPECT_EQ(v.read_back, "T-" + r.serial);
      }
    }
    EXPECT_EQ(read_back, 13u);  // 3 bytes, 2 texts, 5 network, 2 label, serial
    ASSERT_EQ(r.steps.size(), 9u);
    EXPECT_EQ(r.steps[1].status, production::StepStatus::kSkipped);  // no [firmware]
  }
  EXPECT_EQ(serials.size(), 4u);
  EXPECT_EQ(ports.size(), 4u);
  EXPECT_TRUE(serials.count(production::RenderSerial("T{yy}-{seq:05}", 100, std::time(nullptr))));
}

TEST(Station, APrinterThatRefusesTextSetsFailsNamingBtNameAndTheOthersPass) {
  Bench bench;
  bench.UseRecords("records.jsonl");  // the JSON-lines store keeps the same fields
  CliRun run =
      bench.Run({"--virtual-printer=3", "--factory-state", "--vp-fault", "VP0002:refuse-text-sets"},
                {"station", bench.profile()});
  EXPECT_EQ(run.exit_code, 1) << run.out << run.err;
  EXPECT_NE(run.out.find("FAIL settings: bt-name"), std::string::npos) << run.out;

  const std::vector<UnitRecord> records = bench.Records();
  ASSERT_EQ(records.size(), 3u);
  const UnitRecord* refused = ByUsbSerial(records, "VP0002");
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->result, production::UnitResult::kFail);
  EXPECT_EQ(refused->reason.rfind("settings: bt-name", 0), 0u) << refused->reason;
  // Its number was handed out but never written: void, never given to another unit.
  EXPECT_EQ(refused->serial_state, production::SerialState::kVoid);
  for (const char* ok : {"VP0001", "VP0003"}) {
    ASSERT_TRUE(ByUsbSerial(records, ok));
    EXPECT_EQ(ByUsbSerial(records, ok)->result, production::UnitResult::kPass) << ok;
    EXPECT_NE(ByUsbSerial(records, ok)->serial, refused->serial);
  }
}

TEST(Station, APrinterUnpluggedDuringTheFontFailsAtFontAndTheStationGoesOn) {
  Bench bench;
  // Identify takes 3 packets; from the 4th on the font download runs.
  CliRun run = bench.Run(
      {"--virtual-printer=3", "--factory-state", "--vp-fault", "VP0003:unplug-after=20", "--json"},
      {"station", bench.profile()});
  EXPECT_EQ(run.exit_code, 1) << run.out << run.err;
  EXPECT_NE(run.out.find("{\"event\":\"left\",\"port\":\"99-3\"}"), std::string::npos);

  const std::vector<UnitRecord> records = bench.Records();
  ASSERT_EQ(records.size(), 3u);
  const UnitRecord* gone = ByUsbSerial(records, "VP0003");
  ASSERT_TRUE(gone);
  EXPECT_EQ(gone->result, production::UnitResult::kFail);
  EXPECT_EQ(gone->reason.rfind("font: ", 0), 0u) << gone->reason;
  EXPECT_EQ(ByUsbSerial(records, "VP0001")->result, production::UnitResult::kPass);
  EXPECT_EQ(ByUsbSerial(records, "VP0002")->result, production::UnitResult::kPass);
}

TEST(Station, TheSecondStopRequestInterruptsTheUnitsInProgress) {
  Bench bench;
  const std::string slow = bench.home().File("slow.ini");
  WriteFile(slow, Bench::Profile("sample_font.bin", "1024"));  // 8 MiB: a long download
  CliChild child(bench.home(), {"--home", bench.home().path(), "--virtual-printer=2",
                                "--factory-state", "station", slow, "--records", bench.records()});
  ASSERT_TRUE(WaitFor([&] { return bench.Records({"--result", "running"}).size() == 2; }, 60000));
  kill(child.pid(), SIGINT);  // no new unit; these two would finish
  ASSERT_TRUE(WaitFor([&] { return child.err().find("stopping") != std::string::npos; }));
  kill(child.pid(), SIGINT);  // now they stop
  EXPECT_EQ(child.Wait(), 1) << child.err();
  const std::vector<UnitRecord> records = bench.Records();
  ASSERT_EQ(records.size(), 2u);
  for (const UnitRecord& r : records) {
    EXPECT_EQ(r.result, production::UnitResult::kInterrupted);
    EXPECT_EQ(r.reason, "font: stopped by the operator");
    EXPECT_EQ(r.serial_state, production::SerialState::kVoid);
  }
}

TEST(Provision, AUnitProvisionedAgainKeepsItsNumberAndACrashIsRecordedAsInterrupted) {
  Bench bench;
  const std::vector<std::string> printer = {"--virtual-printer", "--state",
                                            bench.home().File("printer.state")};
  CliRun first = bench.Run(printer, {"provision", bench.profile()});
  ASSERT_EQ(first.exit_code, 0) << first.out << first.err;
  CliRun again = bench.Run(printer, {"provision", bench.profile()});
  ASSERT_EQ(again.exit_code, 0) << again.out << again.err;
  std::vector<UnitRecord> records = bench.Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].serial, records[0].serial);
  EXPECT_EQ(records[1].serial_state, production::SerialState::kKept);

  // A station process killed in the middle of a long font download.
  const std::string slow = bench.home().File("slow.ini");
  WriteFile(slow, Bench::Profile("sample_font.bin", "1024"));
  const std::string other_state = bench.home().File("other.state");
  CliChild child(bench.home(),
                 {"--home", bench.home().path(), "--virtual-printer", "--factory-state",
                  "provision", slow, "--records", bench.home().File("records.sqlite")});
  ASSERT_TRUE(WaitFor([&] { return !bench.Records({"--result", "running"}).empty(); }, 60000));
  kill(child.pid(), SIGKILL);
  EXPECT_EQ(child.Wait(), 128 + SIGKILL);
  EXPECT_EQ(bench.Records({"--result", "running"}).size(), 1u);

  // The next start closes the attempt the crash left open.
  CliRun next =
      bench.Run({"--virtual-printer", "--state", other_state}, {"provision", bench.profile()});
  EXPECT_EQ(next.exit_code, 0) << next.err;
  EXPECT_NE(next.err.find("recorded as interrupted"), std::string::npos) << next.err;
  records = bench.Records({"--result", "interrupted"});
  ASSERT_EQ(records.size(), 1u);
  EXPECT_NE(records[0].reason.find("crash or power cut"), std::string::npos) << records[0].reason;
  EXPECT_EQ(records[0].serial_state, production::SerialState::kVoid);
  EXPECT_TRUE(bench.Records({"--result", "running"}).empty());
}

TEST(Profile, MistakesAreReportedWithFileAndLineAndNothingIsTouched) {
  Bench bench;
  struct Case {
    const char* body;
    int line;
    const char* says;
  } cases[] = {
      {"[profile]\nname = x\n\n[bogus]\n", 4, "unknown section [bogus]"},
      {"[settings]\ncolour = red\n", 2, "unknown key 'colour'"},
      {"[settings]\nlanguage = 0\nblackness = 9\n", 3, "not one of its items"},
      {"; fonts\n[font]\nfile = missing.bin\n", 3, "does not exist"},
      {"[serial]\nformat = LONG-PREFIX-NAME-{yyyy}{mm}{dd}-{seq:08}\n", 2, "at most 31"},
      {"[network]\nip = 192.168.1.300\nmask = 255.255.255.0\ngateway = 192.168.1.1\n", 2,
       "not an address"},
      {"[serial]\nformat = SN-{yyyy}\n", 2, "exactly one {seq}"},
  };
  for (const Case& c : cases) {
    const std::string path = bench.home().File("bad.ini");
    WriteFile(path, c.body);
    CliRun run = bench.Run({"--virtual-printer", "--factory-state"}, {"provision", path});
    EXPECT_EQ(run.exit_code, 4) << c.body << run.err;
    EXPECT_NE(run.err.find(path + ":" + std::to_string(c.line) + ": "), std::string::npos)
        << c.body << run.err;
    EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
  }
  EXPECT_TRUE(bench.Records().empty());
}

}  // namespace
}  // namespace quillon::testing
