// label / rfid / paper-roll: the label sensor, the RFID reader and paper roll tags.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "cli/commands.h"
#include "settings/paper_roll.h"

namespace quillon::cli {
namespace {

const char* kLabelHelp =
    "usage: quillon-cli label threshold       the sensor's two thresholds\n"
    "       quillon-cli label self-test       run the label recognition self-test\n"
    "       quillon-cli label get             detection and tear-off distances\n"
    "       quillon-cli label set SENSOR OUT  set both distances\n";
const char* kRfidHelp =
    "usage: quillon-cli rfid request --sector N [--key HEX] [--key-b]\n"
    "       quillon-cli rfid read --sector N [--key HEX] [--key-b]\n"
    "       quillon-cli rfid write --sector N --block I --data HEX [--key HEX] [--key-b]\n"
    "  the key is 6 bytes (default FF FF FF FF FF FF, key A); read and write authenticate\n"
    "  the sector first, as request does; block I is 0-3 within the sector; data 16 bytes\n";
const char* kRollHelp =
    "usage: quillon-cli paper-roll create [--type gap|continuous] [--count N] [--width MM]\n"
    "                                     [--height MM] [--gap MM]\n"
    "       quillon-cli paper-roll read\n"
    "  defaults: gap paper, 200 labels, 50 x 30 mm, gap 2 mm\n";

// Strict hex: pairs of hex digits, spaces allowed between bytes.
std::optional<std::vector<uint8_t>> ParseHex(const std::string& text) {
  std::string digits;
  for (char c : text) {
    if (c == ' ' || c == ':' || c == '-') continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
    digits += c;
  }
  if (digits.size() % 2 != 0) return std::nullopt;
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < digits.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

std::string Hex(const uint8_t* p, size_t n, const char* sep) {
  std::string s;
  char b[4];
  for (size_t i = 0; i < n; ++i) {
    std::snprintf(b, sizeof b, "%02X", p[i]);
    if (i) s += sep;
    s += b;
  }
  return s;
}

int Fail1(Session& s, const std::string& command, const std::string& what) {
  return s.out().Fail(command, kExitPrinterFailed, what + " failed: " + s.Why());
}

int Label(Args& args, CommandEnv& env, const std::string& sub) {
  const std::string command = "label " + sub;
  std::optional<long long> sensor, out;
  if (sub == "set") {
    auto a = args.Next(), b = args.Next();
    if (!a || !b)
      return env.out.Fail(command, kExitUsage, std::string("needs SENSOR and OUT\n") + kLabelHelp);
    sensor = ParseInt(*a, INT32_MIN, INT32_MAX);
    out = ParseInt(*b, INT32_MIN, INT32_MAX);
    if (!sensor || !out) {
      return env.out.Fail(command, kExitBadInput,
                          "'" + (!sensor ? *a : *b) + "' is not a valid integer value");
    }
  }
  int code = 0;
  if (RejectLeftover(args, env, command, &code)) return code;
  Session s(env.link, env.out);
  if (int c = s.Connect(command)) return c;
  if (sub == "threshold" || sub == "self-test") {
    int32_t vl = 0, vh = 0;
    if (!s.esc().cmd_label_test(sub == "threshold" ? 0 : 1, 500, vl, vh))
      return Fail1(s, command, "label test");
    char text[96];
    std::snprintf(text, sizeof text, "low %.2f\nhigh %.2f", vl / 100.0, vh / 100.0);
    s.out().Result(command, JsonObject().Add("low", vl / 100.0).Add("high", vh / 100.0), text);
    return kExitOk;
  }
  int32_t ts = sensor ? static_cast<int32_t>(*sensor) : 0,
          to = out ? static_cast<int32_t>(*out) : 0;
  if (!s.esc().cmd_label_Detection(sub == "get" ? 0 : 1, ts, to))
    return Fail1(s, command, "label distances");
  s.out().Result(
      command,
      JsonObject().Add("sensor", static_cast<int64_t>(ts)).Add("out", static_cast<int64_t>(to)),
      "sensor " + std::to_string(ts) + "\nout " + std::to_string(to));
  return kExitOk;
}

// Reset, halt and authenticate the sector, as the RFID test's "Request Card" does.
bool Request(Session& s, int sector, const uint8_t key[6], bool key_b, uint8_t snr[4]) {
  s.esc().cmd_rfid_reset(1);
  s.Wait(10);
  s.esc().cmd_rfid_halt(1);
  s.Wait(10);
  return s.esc().cmd_rfid_auth(1, key_b ? 0x61 : 0x60, static_cast<uint8_t>(sector * 4), key, snr);
}

int Rfid(Args& args, CommandEnv& env, const std::string& sub) {
  const std::string command = "rfid " + sub;
  auto sector_text = args.Value("--sector");
  auto key_text = args.Value("--key");
  bool key_b = args.Flag("--key-b");
  std::optional<std::string> block_text, data_text;
  if (sub == "write") {
    block_text = args.Value("--block");
    data_text = args.Value("--data");
  }
  int code = 0;
  if (RejectLeftover(args, env, command, &code)) return code;
  if (!sector_text)
    return env.out.Fail(command, kExitUsage, std::string("--sector is needed\n") + kRfidHelp);
  auto sector = ParseInt(*sector_text, 0, 15);
  if (!sector) return env.out.Fail(command, kExitBadInput, "sector must be 0 to 15");
  uint8_t key[6];
  std::memset(key, 0xFF, sizeof key);
  if (key_text) {
    auto k = ParseHex(*key_text);
    if (!k || k->size() != 6)
      return env.out.Fail(command, kExitBadInput, "the key must be 6 hex bytes");
    std::memcpy(key, k->data(), 6);
  }
  std::vector<uint8_t> data;
  long long block = 0;
  if (sub == "write") {
    if (!block_text || !data_text)
      return env.out.Fail(command, kExitUsage,
                          std::string("--block and --data are needed\n") + kRfidHelp);
    auto b = ParseInt(*block_text, 0, 3);
    auto d = ParseHex(*data_text);
    if (!b) return env.out.Fail(command, kExitBadInput, "block must be 0 to 3 within the sector");
    if (!d || d->size() != 16)
      return env.out.Fail(command, kExitBadInput, "data must be 16 hex bytes");
    block = *b;
    data = *d;
  }
  Session s(env.link, env.out);
  if (int c = s.Connect(command)) return c;
  uint8_t snr[4] = {0, 0, 0, 0};
  const bool authed = Request(s, static_cast<int>(*sector), key, key_b, snr);
  if (!authed) {
    s.link().CloseUSB();
    return s.out().Fail(command, kExitPrinterFailed, "Auth card fault (" + s.Why() + ")");
  }
  if (sub == "request") {
    s.link().CloseUSB();
    s.out().Result(command, JsonObject().Add("card_serial", Hex(snr, 4, "")),
                   "Auth OK,CardSnr:" + Hex(snr, 4, ""));
    return kExitOk;
  }
  const int first = static_cast<int>(*sector) * 4;
  if (sub == "write") {
    bool ok = s.esc().cmd_rfid_write(1, static_cast<uint8_t>(first + block), data.data());
    s.link().CloseUSB();
    if (!ok) return Fail1(s, command, "writing block " + std::to_string(first + block));
    s.out().Result(command, JsonObject().Add("block", static_cast<int64_t>(first + block)), "OK");
    return kExitOk;
  }
  std::string human, blocks = "[";
  for (int i = 0; i < 4; ++i) {
    uint8_t b[16];
    if (!s.esc().cmd_rfid_read(1, static_cast<uint8_t>(first + i), b)) {
      s.link().CloseUSB();
      return Fail1(s, command, "Read BLOCK " + std::to_string(first + i));
    }
    human += (i ? "\n" : "") + Hex(b, 16, " ");
    blocks += (i ? "," : "") + JsonString(Hex(b, 16, " "));
  }
  s.link().CloseUSB();
  s.out().Result(
      command,
      JsonObject().Add("sector", static_cast<int64_t>(*sector)).AddRaw("blocks", blocks + "]"),
      human);
  return kExitOk;
}

int Roll(Args& args, CommandEnv& env, const std::string& sub) {
  const std::string command = "paper-roll " + sub;
  if (sub == "read") {
    int code = 0;
    if (RejectLeftover(args, env, command, &code)) return code;
    Session s(env.link, env.out);
    if (int c = s.Connect(command)) return c;
    TPaper p{};
    RollResult r = ReadRollTag(s.esc(), p);
    if (!r.ok) return s.out().Fail(command, kExitPrinterFailed, r.message + " (" + s.Why() + ")");
    JsonObject o;
    o.Add("type", p.PaperType == 1 ? "gap" : "continuous")
        .Add("count", static_cast<int>(p.Count()));
    o.Add("width", static_cast<int>(p.Width()))
        .Add("height", static_cast<int>(p.Height()))
        .Add("gap", static_cast<int>(p.Gap()));
    o.Add("check_ok", GetCRC(p) == p.CRC);
    s.out().Result(command, o,
                   std::string(p.PaperType == 1 ? "gap" : "continuous") + " paper, " +
                       std::to_string(p.Count()) + " labels, " + std::to_string(p.Width()) + " x " +
                       std::to_string(p.Height()) + " mm, gap " + std::to_string(p.Gap()) + " mm");
    return kExitOk;
  }
  std::string type = "gap";
  if (auto t = args.Value("--type")) type = *t;
  long long values[4] = {200, 50, 30, 2};
  const char* names[4] = {"--count", "--width", "--height", "--gap"};
  for (int i = 0; i < 4; ++i) {
    if (auto v = args.Value(names[i])) {
      auto n = ParseInt(*v, 0, 65535);
      if (!n)
        return env.out.Fail(command, kExitBadInput,
                            std::string(names[i]) + " must be a whole number from 0 to 65535");
      values[i] = *n;
    }
  }
  int code = 0;
  if (RejectLeftover(args, env, command, &code)) return code;
  if (type != "gap" && type != "continuous")
    return env.out.Fail(command, kExitBadInput, "--type is gap or continuous");
  TPaper p = MakePaper(type == "gap" ? 1 : 0, values[0], values[1], values[2], values[3]);
  Session s(env.link, env.out);
  if (int c = s.Connect(command)) return c;
  RollResult r = CreateRollTag(s.esc(), p, [&s](uint32_t ms) { s.Wait(ms); });
  if (!r.ok) return s.out().Fail(command, kExitPrinterFailed, r.message + " (" + s.Why() + ")");
  s.out().Result(command, JsonObject().Add("check", static_cast<int>(p.CRC)), r.message);
  return kExitOk;
}

}  // namespace

int CmdLabel(Args& args, CommandEnv& env) {
  auto sub = args.Next();
  if (args.Help() || !sub) {
    std::fputs(kLabelHelp, stdout);
    return sub ? kExitOk : kExitUsage;
  }
  if (*sub != "threshold" && *sub != "self-test" && *sub != "get" && *sub != "set") {
    return env.out.Fail("label", kExitUsage, "unknown label command '" + *sub + "'\n" + kLabelHelp);
  }
  return Label(args, env, *sub);
}

int CmdRfid(Args& args, CommandEnv& env) {
  auto sub = args.Next();
  if (args.Help() || !sub) {
    std::fputs(kRfidHelp, stdout);
    return sub ? kExitOk : kExitUsage;
  }
  if (*sub != "request" && *sub != "read" && *sub != "write") {
    return env.out.Fail("rfid", kExitUsage, "unknown rfid command '" + *sub + "'\n" + kRfidHelp);
  }
  return Rfid(args, env, *sub);
}

int CmdPaperRoll(Args& args, CommandEnv& env) {
  auto sub = args.Next();
  if (args.Help() || !sub) {
    std::fputs(kRollHelp, stdout);
    return sub ? kExitOk : kExitUsage;
  }
  if (*sub != "create" && *sub != "read") {
    return env.out.Fail("paper-roll", kExitUsage,
                        "unknown paper-roll command '" + *sub + "'\n" + kRollHelp);
  }
  return Roll(args, env, *sub);
}

}  // namespace quillon::cli
