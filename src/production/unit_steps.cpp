// One unit: identify the printer, give it a serial number, then every step of the plan,
// each done through the same flows and builders as the window and quillon-cli, read back
// where the printer can say, compared, and recorded before the next begins.
#include <chrono>
#include <cstdio>
#include <ctime>

#include "core/ansi_codepage.h"
#include "core/file_locations.h"
#include "core/help_texts.h"
#include "core/ini_file.h"
#include "flash/firmware_flow.h"
#include "flash/font_download.h"
#include "output/escpos_tests.h"
#include "output/oem_logo.h"
#include "output/raster_print.h"
#include "production/record_columns.h"
#include "production/station.h"
#include "production/station_os.h"
#include "protocol/esc_cmd.h"
#include "settings/net_records.h"

#ifndef QUILLON_VERSION
#define QUILLON_VERSION "unknown"
#endif

namespace quillon::production {
namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

// The flows' message boxes, kept instead of shown: the last one explains a failure.
class UnitMessages final : public Messages {
 public:
  UnitMessages()
      : language_(IniFile(Files().ConfigFile()).ReadString("SYSTEM", "LANGUAGE", "CHS")) {}
  std::string Text(const std::string& key) override {
    return ReadStringInOrder(Files().LanguageReadOrder("language_msg.ini"), language_, key,
                             "ERROR");
  }
  int MSGDLG(int kind, const std::string&, const std::string& text) override {
    if (kind >= kMsgWarning) last_problem = text;
    return kMsgResultOk;
  }
  std::string last_problem;

 private:
  std::string language_;
};

// Progress of a flow as percent events; cancelled by an immediate stop.
class UnitFlowUi final : public FlowUi {
 public:
  UnitFlowUi(UnitMessages& messages, const std::atomic<bool>& stop,
             std::function<void(int)> percent)
      : messages_(messages), stop_(stop), percent_(std::move(percent)) {}
  void ClearMemo() override {}
  void MemoLine(const std::string& line) override { last_line = line; }
  void SetProgressMax(int64_t max) override { max_ = max; }
  void SetProgress(int64_t position) override {
    const int p = max_ > 0 ? static_cast<int>(position * 100 / max_) : 0;
    if (p != last_percent_) {
      last_percent_ = p;
      percent_(p);
    }
  }
  void SetPhase(const std::string& phase) override { last_percent_ = -1; }
  Messages& messages() override { return messages_; }
  bool Cancelled() override { return stop_.load(); }
  std::string last_line;

 private:
  UnitMessages& messages_;
  const std::atomic<bool>& stop_;
  std::function<void(int)> percent_;
  int64_t max_ = 0;
  int last_percent_ = -1;
};

std::string FlashFailure(FlashResult r) {
  switch (r) {
    case FlashResult::kOk:
      return "done";
    case FlashResult::kBusy:
      return "another command holds the link";
    case FlashResult::kNoPrinter:
      return "the printer is gone";
    case FlashResult::kSerialPortFailed:
      return "the serial port could not be opened again";
    case FlashResult::kNoFile:
    case FlashResult::kFileMissing:
    case FlashResult::kFileUnreadable:
    case FlashResult::kFileEmpty:
    case FlashResult::kFileTooLarge:
      return "the file could not be used";
    case FlashResult::kBadPackSize:
      return "the packet size is not usable";
    case FlashResult::kEraseFailed:
      return "the printer did not acknowledge the erase";
    case FlashResult::kWriteFailed:
      return "the printer did not acknowledge a data packet";
    case FlashResult::kChecksumFailed:
      return "the boot loader did not confirm the image checksum";
    case FlashResult::kNoConfirmation:
      return "the printer did not confirm the update";
    case FlashResult::kNotDelivered:
      return "the image was not delivered whole";
    case FlashResult::kCommandFailed:
      return "the printer did not acknowledge the command";
    case FlashResult::kCancelled:
      return "stopped";
  }
  return "failed";
}

// Printer text (code page) as UTF-8, without the 0 bytes some printers end it with.
std::string FromPrinter(std::string bytes) {
  while (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
  return AnsiToUtf8(bytes);
}

using ByteBuilder = bool (EscCmd::*)(uint8_t, uint8_t&);
ByteBuilder BuilderFor(const std::string& name) {
  if (name == "language") return &EscCmd::cmd_language;
  if (name == "cmdmode") return &EscCmd::cmd_cmdmode;
  if (name == "tagmode") return &EscCmd::cmd_tagmode;
  if (name == "stepmode") return &EscCmd::cmd_stepmode;
  if (name == "blackness") return &EscCmd::cmd_blackness;
  if (name == "charset") return &EscCmd::cmd_charset;
  return &EscCmd::cmd_sleepmode;
}

struct Outcome {
  StepStatus status = StepStatus::kPass;
  std::string message;
};
Outcome Pass(std::string message = {}) {
  return {StepStatus::kPass, std::move(message)};
}
Outcome Failed(std::string message) {
  return {StepStatus::kFail, std::move(message)};
}
Outcome Skipped(std::string message) {
  return {StepStatus::kSkipped, std::move(message)};
}

class UnitRun {
 public:
  UnitRun(UnitContext& unit, UnitLink& link)
      : u_(unit), link_(link), ctx_(link.context()), esc_(ctx_.esc) {}

  UnitRecord Run() {
    const auto start = Clock::now();
    const Plan& plan = u_.plan;
    r_.uuid = NewUuid();
    r_.started = UtcNowText();
    r_.station = u_.options.station_name.empty() ? HostName() : u_.options.station_name;
    r_.station_pid = ProcessId();
    r_.operator_name = u_.options.operator_name;
    r_.profile_name = plan.name;
    r_.profile_sha256 = plan.sha256;
    r_.identity.link = u_.port.link;
    r_.identity.port = u_.port.port;
    r_.identity.usb_serial = u_.port.usb_serial;
    r_.version = QUILLON_VERSION;
    if (plan.firmware) r_.firmware_sha256 = plan.firmware->file.sha256;
    if (plan.font) r_.font_sha256 = plan.font->file.sha256;
    if (plan.logo_file) r_.logo_sha256 = plan.logo_file->sha256;
    Save();  // visible before the first step, whatever happens next

    bool ok = RunStep(Step::kIdentify, [this] { return Identify(); });
    if (ok && plan.serial) ok = TakeSerial();
    for (Step step : plan.steps) {
      if (!ok) break;
      ok = RunStep(step, [this, step] { return Do(step); });
    }
    if (ok) r_.result = UnitResult::kPass;
    if (r_.serial_state == SerialState::kAllocated) {
      // Handed out but never written: void, so no other unit ever gets it.
      r_.serial_state = SerialState::kVoid;
      u_.store.MarkSerial(r_.serial, SerialState::kVoid, nullptr);
    }
    r_.ended = UtcNowText();
    r_.seconds = Since(start);
    Save();
    StationEvent e;
    e.kind = StationEvent::Kind::kUnitFinished;
    e.serial = r_.serial;
    e.serial_state = r_.serial_state;
    e.result = r_.result;
    e.seconds = r_.seconds;
    e.message = r_.reason;
    Emit(e);
    return r_;
  }

 private:
  void Save() {
    std::string error;
    if (!u_.store.Save(r_, &error) && save_error_.empty()) {
      save_error_ = error;
      StationEvent e;
      e.kind = StationEvent::Kind::kStoreState;
      e.store = StoreState::kUnreachable;
      e.message = "the record of this unit could not be written: " + error;
      Emit(e);
    }
  }
  void Emit(StationEvent e) {
    e.port = u_.port.port;
    e.record_id = r_.id;
    if (u_.emit) u_.emit(e);
  }
  bool Stopped() const { return u_.stop_immediate.load(); }
  static Outcome Cancelled() { return {StepStatus::kInterrupted, "stopped"}; }

  template <typename Fn>
  bool RunStep(Step step, Fn&& fn) {
    if (Stopped()) {
      Interrupt(step, 0);
      return false;
    }
    StationEvent e;
    e.kind = StationEvent::Kind::kStepStarted;
    e.step = step;
    current_ = step;
    Emit(e);
    const auto start = Clock::now();
    messages_.last_problem.clear();
    Outcome o = fn();
    const double seconds = Since(start);
    // A step that failed because its waits were told to stop was interrupted, not refused.
    if (o.status == StepStatus::kInterrupted ||
        (o.status == StepStatus::kFail && (Stopped() || ctx_.link.StopRequested()))) {
      Interrupt(step, seconds);
      return false;
    }
    r_.steps.push_back({step, o.status, seconds, o.message});
    if (o.status == StepStatus::kFail) {
      r_.result = UnitResult::kFail;
      r_.reason = std::string(StepName(step)) + ": " + o.message;
    }
    Save();
    e.kind = StationEvent::Kind::kStepFinished;
    e.step_status = o.status;
    e.seconds = seconds;
    e.message = o.message;
    Emit(e);
    return o.status != StepStatus::kFail;
  }

  void Interrupt(Step step, double seconds) {
    std::string message = "stopped by the operator";
    if (step == Step::kFirmware)
      message += "; the printer may be left in its boot loader: provisioning it again recovers it";
    r_.steps.push_back({step, StepStatus::kInterrupted, seconds, message});
    r_.result = UnitResult::kInterrupted;
    r_.reason = std::string(StepName(step)) + ": " + message;
    StationEvent e;
    e.kind = StationEvent::Kind::kStepFinished;
    e.step = step;
    e.step_status = StepStatus::kInterrupted;
    e.seconds = seconds;
    e.message = message;
    Emit(e);
  }

  void Progress(Step step, int percent) {
    StationEvent e;
    e.kind = StationEvent::Kind::kStepProgress;
    e.step = step;
    e.percent = percent;
    Emit(e);
  }

  std::string Why() const { return CmdFailureText(esc_.last_failure()); }

  Outcome Do(Step step) {
    switch (step) {
      case Step::kIdentify:
        return Identify();
      case Step::kFirmware:
        return Firmware();
      case Step::kFont:
        return Font();
      case Step::kSettings:
        return Settings();
      case Step::kNetwork:
        return Network();
      case Step::kLabel:
        return Label();
      case Step::kSerial:
        return Serial();
      case Step::kLogo:
        return Logo();
      case Step::kTest:
        return Test();
    }
    return Failed("unknown step");
  }

  Outcome Identify() {
    UnitIdentity& id = r_.identity;
    std::string info, mac, serial;
    if (!esc_.cmd_sys_info(0, info)) return Failed("no printer information: " + Why());
    id.printer_info = FromPrinter(info);
    std::string notes;
    if (esc_.cmd_blue_mac(0, mac))
      id.bt_mac = FromPrinter(mac);
    else
      notes += "; no Bluetooth address (" + Why() + ")";
    if (esc_.cmd_serial_number(0, serial))
      id.serial_number = FromPrinter(serial);
    else
      notes += "; no serial number (" + Why() + ")";
    StationEvent e;
    e.kind = StationEvent::Kind::kIdentified;
    e.identity = id;
    Emit(e);
    return Pass(id.printer_info + notes);
  }

  // A number of the profile's format is kept; otherwise the store's counter gives one.
  bool TakeSerial() {
    const SerialPlan& s = *u_.plan.serial;
    if (MatchesSerialFormat(s.format, r_.identity.serial_number)) {
      r_.serial = r_.identity.serial_number;
      r_.serial_state = SerialState::kKept;
    } else {
      std::string error;
      const int64_t now = static_cast<int64_t>(std::time(nullptr));
      const std::string format = s.format;
      std::optional<Allocation> a;
      bool told = false;
      // While the store cannot be reached the unit waits for its number (records of the
      // units in progress wait in the buffer); only a refusal of a reachable store fails it.
      for (;;) {
        a = u_.store.AllocateSerial(
            format, s.first_seq,
            [&format, now](int64_t seq) {
              std::string text = RenderSerial(format, seq, now);
              // The seq no longer fits its digits: the counter is used up.
              return MatchesSerialFormat(format, text) ? text : std::string();
            },
            r_.uuid, &error);
        if (a || Stopped() || u_.store.state() == StoreState::kReady) break;
        if (!told) {
          told = true;
          StationEvent e;
          e.kind = StationEvent::Kind::kWaiting;
          e.message = "waiting for a serial number: " + error;
          Emit(e);
        }
        Delay(ctx_.link.clock(), ctx_.link.pump(), 1000);  // a stop ends it at once
      }
      if (!a && Stopped()) {
        Interrupt(Step::kSerial, 0);
        return false;
      }
      if (!a) {
        r_.steps.push_back({Step::kSerial, StepStatus::kFail, 0, "no number: " + error});
        r_.result = UnitResult::kFail;
        r_.reason = "serial: no number could be allocated: " + error;
        StationEvent e;
        e.kind = StationEvent::Kind::kStepFinished;
        e.step = Step::kSerial;
        e.step_status = StepStatus::kFail;
        e.message = "no number could be allocated: " + error;
        Emit(e);
        return false;
      }
      r_.serial = a->serial;
      r_.serial_state = SerialState::kAllocated;
    }
    Save();
    StationEvent e;
    e.kind = StationEvent::Kind::kSerialAllocated;
    e.serial = r_.serial;
    e.serial_state = r_.serial_state;
    Emit(e);
    return true;
  }

  Outcome Firmware() {
    const Plan& plan = u_.plan;
    if (!plan.firmware) return Skipped("no [firmware] in the profile");
    const FirmwarePlan& fw = *plan.firmware;
    if (!fw.expect_info.empty() && !u_.options.force &&
        r_.identity.printer_info.find(fw.expect_info) != std::string::npos) {
      r_.info_after = r_.identity.printer_info;
      r_.values.push_back({Step::kFirmware, "info", fw.expect_info, r_.info_after, true, true});
      return Skipped("the printer already reports '" + fw.expect_info + "'");
    }
    FirmwareJob job;
    job.path = fw.file.path;
    job.image = &fw.file.bytes;
    job.serial = link_.serial_control();
    UnitFlowUi ui(messages_, u_.stop_immediate, [this](int p) { Progress(Step::kFirmware, p); });
    const FlashOutcome o = fw.old_protocol ? OldUpdate(ctx_, ui, job) : NewUpdate(ctx_, ui, job);
    if (o.result == FlashResult::kCancelled) return Cancelled();
    if (!o.ok())
      return Failed(FlashFailure(o.result) + (o.result == FlashResult::kCancelled
                                                  ? ""
                                                  : "; the printer may be in its boot loader: "
                                                    "provisioning it again recovers it"));
    r_.values.push_back({Step::kFirmware, "image", fw.file.sha256,
                         fw.old_protocol ? "acknowledged" : "checksum confirmed", true, true});
    // The printer restarts into the new firmware: ask until it answers again.
    std::string info;
    bool answered = false;
    for (int attempt = 0; attempt < 60 && !Stopped(); ++attempt) {
      if (ctx_.ShowUSBMessage && !ctx_.ShowUSBMessage()) {
        Delay(ctx_.link.clock(), ctx_.link.pump(), 500);
        continue;
      }
      if ((answered = esc_.cmd_sys_info(0, info))) break;
      Delay(ctx_.link.clock(), ctx_.link.pump(), 500);
    }
    if (!answered) return Failed("the printer did not answer after the update: " + Why());
    r_.info_after = FromPrinter(info);
    const bool equal =
        fw.expect_info.empty() || r_.info_after.find(fw.expect_info) != std::string::npos;
    r_.values.push_back({Step::kFirmware, "info", fw.expect_info, r_.info_after, true, equal});
    if (!equal)
      return Failed("printer information after the update is '" + r_.info_after + "', wanted '" +
                    fw.expect_info + "' in it");
    return Pass(TransferSummary(o.bytes, o.elapsed_ms));
  }

  Outcome Font() {
    if (!u_.plan.font) return Skipped("no [font] in the profile");
    const FontPlan& f = *u_.plan.font;
    FontJob job;
    job.path = f.file.path;
    job.image = &f.file.bytes;
    job.packsize_text = std::to_string(f.packsize);
    job.erase_all = f.erase_all;
    UnitFlowUi ui(messages_, u_.stop_immediate, [this](int p) { Progress(Step::kFont, p); });
    const FlashOutcome o = FontDownload(ctx_, ui, job);
    r_.values.push_back({Step::kFont, "font", f.file.sha256, "", false, false});
    if (o.result == FlashResult::kCancelled) return Cancelled();
    if (!o.ok()) {
      std::string why = FlashFailure(o.result);
      if (o.result == FlashResult::kEraseFailed || o.result == FlashResult::kWriteFailed)
        why += " at flash address " + std::to_string(o.failed_address);
      return Failed(why);
    }
    return Pass(TransferSummary(o.bytes, o.elapsed_ms) +
                "; not read back (the printer has no font read command)");
  }

  Outcome Settings() {
    const Plan& plan = u_.plan;
    if (plan.byte_settings.empty() && !plan.bt_name && !plan.bt_pin)
      return Skipped("no [settings] in the profile");
    for (const ByteSettingPlan& b : plan.byte_settings) {
      const ByteBuilder builder = BuilderFor(b.name);
      uint8_t value = b.value;
      if (!(esc_.*builder)(1, value)) return Failed(b.name + " set failed: " + Why());
      uint8_t back = 0xFF;
      if (!(esc_.*builder)(0, back)) return Failed(b.name + " read back failed: " + Why());
      const bool equal = back == b.value;
      r_.values.push_back(
          {Step::kSettings, b.name, std::to_string(b.value), std::to_string(back), true, equal});
      if (!equal)
        return Failed(b.name + " read back " + std::to_string(back) + ", wanted " +
                      std::to_string(b.value));
    }
    if (plan.bt_name) {
      const std::string name = FillUnitFields(*plan.bt_name, r_.serial, r_.identity.bt_mac);
      if (Outcome o = SetText("bt-name", &EscCmd::cmd_blue_name, name);
          o.status != StepStatus::kPass)
        return o;
    }
    if (plan.bt_pin) {
      if (Outcome o = SetText("bt-pin", &EscCmd::cmd_blue_pin, *plan.bt_pin);
          o.status != StepStatus::kPass)
        return o;
    }
    size_t n = 0;
    for (const ValueRecord& v : r_.values) n += v.step == Step::kSettings;
    return Pass(std::to_string(n) + " values read back equal");
  }

  Outcome SetText(const std::string& name, bool (EscCmd::*builder)(uint8_t, std::string&),
                  const std::string& utf8) {
    std::string bytes = Utf8ToAnsi(utf8);
    if (!(esc_.*builder)(1, bytes))
      return Failed(name + (esc_.last_failure() == CmdFailure::kRefused
                                ? " '" + utf8 + "' was refused by the printer"
                                : " set failed: " + Why()));
    std::string back;
    if (!(esc_.*builder)(0, back)) return Failed(name + " read back failed: " + Why());
    const std::string back_utf8 = FromPrinter(back);
    const bool equal = back_utf8 == utf8;
    r_.values.push_back({Step::kSettings, name, utf8, back_utf8, true, equal});
    if (!equal) return Failed(name + " read back '" + back_utf8 + "', wanted '" + utf8 + "'");
    return Pass();
  }

  Outcome Network() {
    const Plan& plan = u_.plan;
    if (!plan.network && !plan.wifi) return Skipped("no [network] or [wifi] in the profile");
    std::string message;
    if (plan.network) {
      const NetworkPlan& n = *plan.network;
      TNetPar set = n.record;
      if (!esc_.cmd_net_set(1, set)) return Failed("wired network set failed: " + Why());
      TNetPar back{};
      if (!esc_.cmd_net_set(0, back)) return Failed("wired network read back failed: " + Why());
      struct Field {
        const char* name;
        std::string wanted, got;
      } fields[] = {
          {"net.ip", DottedIp(n.record.ip()), DottedIp(back.ip())},
          {"net.mask", DottedIp(n.record.mask()), DottedIp(back.mask())},
          {"net.gateway", DottedIp(n.record.gateway()), DottedIp(back.gateway())},
          {"net.dhcp", n.record.dhcp() ? "on" : "off", back.dhcp() ? "on" : "off"},
          {"net.port", std::to_string(n.record.port()), std::to_string(back.port())},
      };
      for (const Field& f : fields) {
        r_.values.push_back({Step::kNetwork, f.name, f.wanted, f.got, true, f.wanted == f.got});
        if (f.wanted != f.got)
          return Failed(std::string(f.name) + " read back " + f.got + ", wanted " + f.wanted);
      }
      message = "wired record read back equal";
    }
    if (plan.wifi) {
      TWifiPar w = plan.wifi->record;
      if (!esc_.cmd_wifi_set(1, w)) return Failed("Wi-Fi set failed: " + Why());
      r_.values.push_back({Step::kNetwork, "wifi.ssid", plan.wifi->ssid, "", false, false});
      message += std::string(message.empty() ? "" : "; ") +
                 "Wi-Fi record sent, not read back (the printer has no Wi-Fi query)";
    }
    return Pass(message);
  }

  Outcome Label() {
    if (!u_.plan.label) return Skipped("no [label] in the profile");
    const LabelPlan& l = *u_.plan.label;
    int32_t sensor = l.sensor, out = l.out;
    if (!esc_.cmd_label_Detection(1, sensor, out)) return Failed("label set failed: " + Why());
    int32_t s = 0, o = 0;
    if (!esc_.cmd_label_Detection(0, s, o)) return Failed("label read back failed: " + Why());
    r_.values.push_back({Step::kLabel, "label.sensor", std::to_string(l.sensor), std::to_string(s),
                         true, s == l.sensor});
    r_.values.push_back(
        {Step::kLabel, "label.out", std::to_string(l.out), std::to_string(o), true, o == l.out});
    if (s != l.sensor)
      return Failed("label.sensor read back " + std::to_string(s) + ", wanted " +
                    std::to_string(l.sensor));
    if (o != l.out)
      return Failed("label.out read back " + std::to_string(o) + ", wanted " +
                    std::to_string(l.out));
    return Pass("sensor " + std::to_string(s) + ", out " + std::to_string(o));
  }

  Outcome Serial() {
    if (!u_.plan.serial) return Skipped("no [serial] in the profile");
    if (r_.serial_state == SerialState::kKept) {
      r_.values.push_back(
          {Step::kSerial, "serial", r_.serial, r_.identity.serial_number, true, true});
      return Pass("kept " + r_.serial);
    }
    std::string bytes = Utf8ToAnsi(r_.serial);
    if (!esc_.cmd_serial_number(1, bytes))
      return Failed(esc_.last_failure() == CmdFailure::kRefused
                        ? "serial number " + r_.serial + " was refused by the printer"
                        : "serial number set failed: " + Why());
    std::string back;
    if (!esc_.cmd_serial_number(0, back)) return Failed("serial number read back failed: " + Why());
    const std::string got = FromPrinter(back);
    const bool equal = got == r_.serial;
    r_.values.push_back({Step::kSerial, "serial", r_.serial, got, true, equal});
    if (!equal) return Failed("serial number read back '" + got + "', wanted '" + r_.serial + "'");
    r_.serial_state = SerialState::kWritten;
    u_.store.MarkSerial(r_.serial, SerialState::kWritten, nullptr);
    return Pass("wrote " + r_.serial);
  }

  Outcome Logo() {
    if (!u_.plan.logo_file) return Skipped("no [logo] in the profile");
    const bool ok = WriteOemLogo(esc_, messages_, u_.plan.logo);
    r_.values.push_back({Step::kLogo, "logo", u_.plan.logo_file->sha256, "", false, false});
    if (!ok) return Failed("the logo was not written: " + Why());
    Progress(Step::kLogo, 100);
    return Pass("acknowledged; not read back (the printer has no logo read command)");
  }

  Outcome Test() {
    if (!u_.plan.test) return Skipped("no [test] in the profile");
    const TestPlan& t = *u_.plan.test;
    size_t sent = 0;
    if (!t.text.empty()) {
      const std::string text = FillUnitFields(t.text, r_.serial, r_.identity.bt_mac);
      TextBytes bytes = ConvertTextForSending(t.encoding, text, false, AnsiCodePage());
      if (!bytes.ok) return Failed("test text: " + bytes.error);
      if (!SendRawBytes(ctx_.link, bytes.bytes))
        return Failed("the printer did not take the test text");
      sent += bytes.bytes.size();
    }
    const auto& names = QuillonCliWords().escpos_names;
    const auto tests = EscPosTests();
    for (const std::string& name : t.escpos) {
      for (size_t i = 0; i < names.size() && i < tests.size(); ++i) {
        if (names[i] != name) continue;
        if (!SendRawBytes(ctx_.link, tests[i].bytes))
          return Failed("the printer did not take ESC/POS test " + name);
        sent += tests[i].bytes.size();
      }
    }
    if (t.picture_file) {
      UnitFlowUi ui(messages_, u_.stop_immediate, [this](int p) { Progress(Step::kTest, p); });
      if (!PrintPicture(ctx_.link, t.picture, ui))
        return Failed("the picture was not printed whole" +
                      (messages_.last_problem.empty() ? "" : ": " + messages_.last_problem));
    }
    if (const std::string lost = link_.Deliver(); !lost.empty()) return Failed(lost);
    return Pass("printed " + std::to_string(sent) + " bytes" +
                (t.picture_file ? " and the picture" : ""));
  }

  UnitContext& u_;
  UnitLink& link_;
  AppContext& ctx_;
  EscCmd& esc_;
  UnitMessages messages_;
  UnitRecord r_;
  Step current_ = Step::kIdentify;
  std::string save_error_;
};

}  // namespace

UnitRecord RunUnitSteps(UnitContext& unit, UnitLink& link) {
  return UnitRun(unit, link).Run();
}

UnitRecord RecordUnopened(UnitContext& unit, const std::string& error) {
  UnitRecord r;
  r.uuid = NewUuid();
  r.started = r.ended = UtcNowText();
  r.station = unit.options.station_name.empty() ? HostName() : unit.options.station_name;
  r.station_pid = ProcessId();
  r.operator_name = unit.options.operator_name;
  r.profile_name = unit.plan.name;
  r.profile_sha256 = unit.plan.sha256;
  r.identity.link = unit.port.link;
  r.identity.port = unit.port.port;
  r.identity.usb_serial = unit.port.usb_serial;
  r.version = QUILLON_VERSION;
  r.steps.push_back({Step::kIdentify, StepStatus::kFail, 0, "cannot open the printer: " + error});
  r.result = UnitResult::kFail;
  r.reason = "identify: cannot open the printer: " + error;
  unit.store.Save(r, nullptr);
  StationEvent e;
  e.kind = StationEvent::Kind::kUnitFinished;
  e.port = unit.port.port;
  e.record_id = r.id;
  e.result = r.result;
  e.message = r.reason;
  if (unit.emit) unit.emit(e);
  return r;
}

}  // namespace quillon::production
