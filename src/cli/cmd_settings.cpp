// get / set / factory-reset: the printer's parameters.
#include <cstdio>
#include <functional>
#include <map>

#include "cli/commands.h"
#include "settings/net_records.h"

namespace quillon::cli {
namespace {

using ByteBuilder = bool (EscCmd::*)(uint8_t, uint8_t&);
using TextBuilder = bool (EscCmd::*)(uint8_t, std::string&);

struct ByteSetting {
  ByteBuilder builder;
  int items;  // items of the page's list: the values a set accepts
  bool settable;
};
struct TextSetting {
  TextBuilder builder;
  bool settable;
};

const std::map<std::string, ByteSetting>& ByteSettings() {
  static const std::map<std::string, ByteSetting> table = {
      {"language", {&EscCmd::cmd_language, 2, true}},
      {"cmdmode", {&EscCmd::cmd_cmdmode, 2, true}},
      {"tagmode", {&EscCmd::cmd_tagmode, 2, true}},
      {"stepmode", {&EscCmd::cmd_stepmode, 4, true}},
      {"blackness", {&EscCmd::cmd_blackness, 4, true}},
      {"charset", {&EscCmd::cmd_charset, 3, true}},
      {"sleep", {&EscCmd::cmd_sleepmode, 8, true}},
      {"flash-lock", {&EscCmd::cmd_boot_flash_lock, 2, false}},
  };
  return table;
}

const std::map<std::string, TextSetting>& TextSettings() {
  static const std::map<std::string, TextSetting> table = {
      {"bt-name", {&EscCmd::cmd_blue_name, true}},
      {"bt-pin", {&EscCmd::cmd_blue_pin, true}},
      {"bt-mac", {&EscCmd::cmd_blue_mac, false}},
      {"info", {&EscCmd::cmd_sys_info, false}},
      {"serial-number", {&EscCmd::cmd_serial_number, true}},
  };
  return table;
}

const char* kGetHelp =
    "usage: quillon-cli get <setting>\n"
    "  byte settings (value = item index): language cmdmode tagmode stepmode blackness\n"
    "                                      charset sleep flash-lock\n"
    "  texts: bt-name bt-pin bt-mac info serial-number\n"
    "  records: net label-thresholds label-distances\n";
const char* kSetHelp =
    "usage: quillon-cli set <setting> <value>\n"
    "  language 0-1, cmdmode 0-1, tagmode 0-1, stepmode 0-3, blackness 0-3, charset 0-2,\n"
    "  sleep 0-7 (the item index of the settings page's list);\n"
    "  bt-name TEXT, bt-pin TEXT, serial-number TEXT (at most 31 bytes)\n";

int PrinterFailure(Session& s, const std::string& command, const std::string& what) {
  return s.out().Fail(command, kExitPrinterFailed, what + " failed: " + s.Why());
}

int GetRecord(Session& s, const std::string& name) {
  const std::string command = "get " + name;
  if (name == "net") {
    TNetPar net{};
    if (!s.esc().cmd_net_set(0, net)) return PrinterFailure(s, command, "wired network query");
    JsonObject o;
    // Scripts get canonical addresses; the human lines keep the dialog's three-digit groups.
    o.Add("ip", DottedIp(net.ip())).Add("mask", DottedIp(net.mask()));
    o.Add("gateway", DottedIp(net.gateway())).Add("dhcp", net.dhcp() == 1).Add("port", net.port());
    s.out().Result(command, o,
                   "ip " + int2Ip(net.ip()) + "\nmask " + int2Ip(net.mask()) + "\ngateway " +
                       int2Ip(net.gateway()) + "\ndhcp " + (net.dhcp() == 1 ? "on" : "off") +
                       "\nport " + std::to_string(net.port()));
    return kExitOk;
  }
  if (name == "label-thresholds") {
    int32_t vl = 0, vh = 0;
    if (!s.esc().cmd_label_test(0, 500, vl, vh)) {
      return PrinterFailure(s, command, "label threshold query");
    }
    JsonObject o;
    o.Add("low", vl / 100.0).Add("high", vh / 100.0);
    char text[96];
    std::snprintf(text, sizeof text, "low %.2f\nhigh %.2f", vl / 100.0, vh / 100.0);
    s.out().Result(command, o, text);
    return kExitOk;
  }
  // label-distances
  int32_t sensor = 0, out = 0;
  if (!s.esc().cmd_label_Detection(0, sensor, out)) {
    return PrinterFailure(s, command, "label distance query");
  }
  JsonObject o;
  o.Add("sensor", static_cast<int64_t>(sensor)).Add("out", static_cast<int64_t>(out));
  s.out().Result(command, o, "sensor " + std::to_string(sensor) + "\nout " + std::to_string(out));
  return kExitOk;
}

}  // namespace

int CmdGet(Args& args, CommandEnv& env) {
  if (args.Help()) {
    std::fputs(kGetHelp, stdout);
    return kExitOk;
  }
  auto name = args.Next();
  if (!name) return env.out.Fail("get", kExitUsage, std::string("missing setting\n") + kGetHelp);
  const std::string command = "get " + *name;
  const bool record = *name == "net" || *name == "label-thresholds" || *name == "label-distances";
  auto byte = ByteSettings().find(*name);
  auto text = TextSettings().find(*name);
  if (!record && byte == ByteSettings().end() && text == TextSettings().end()) {
    return env.out.Fail("get", kExitUsage, "unknown setting '" + *name + "'\n" + kGetHelp);
  }
  int code = 0;
  if (RejectLeftover(args, env, command, &code)) return code;
  Session s(env.link, env.out);
  if (int c = s.Connect(command)) return c;
  if (record) return GetRecord(s, *name);
  if (byte != ByteSettings().end()) {
    uint8_t value = 0xFF;
    if (!(s.esc().*(byte->second.builder))(0, value)) return PrinterFailure(s, command, "query");
    JsonObject o;
    o.Add("setting", *name).Add("value", static_cast<int>(value));
    s.out().Result(command, o, std::to_string(value));
    return kExitOk;
  }
  std::string value;
  if (!(s.esc().*(text->second.builder))(0, value)) return PrinterFailure(s, command, "query");
  std::string utf8 = FromPrinterText(value);
  JsonObject o;
  o.Add("setting", *name).Add("value", utf8);
  s.out().Result(command, o, utf8);
  return kExitOk;
}

int CmdSet(Args& args, CommandEnv& env) {
  if (args.Help()) {
    std::fputs(kSetHelp, stdout);
    return kExitOk;
  }
  auto name = args.Next();
  auto value = args.Next();
  if (!name || !value) {
    return env.out.Fail("set", kExitUsage, std::string("missing setting or value\n") + kSetHelp);
  }
  const std::string command = "set " + *name;
  auto byte = ByteSettings().find(*name);
  auto text = TextSettings().find(*name);
  const bool byte_ok = byte != ByteSettings().end() && byte->second.settable;
  const bool text_ok = text != TextSettings().end() && text->second.settable;
  if (!byte_ok && !text_ok) {
    return env.out.Fail("set", kExitUsage, "'" + *name + "' cannot be set\n" + kSetHelp);
  }
  int code = 0;
  if (RejectLeftover(args, env, command, &code)) return code;
  uint8_t byte_value = 0;
  std::string text_value;
  if (byte_ok) {
    auto v = ParseInt(*value, 0, byte->second.items - 1);
    if (!v) {
      return env.out.Fail(command, kExitBadInput,
                          "'" + *value + "' is not an item index from 0 to " +
                              std::to_string(byte->second.items - 1));
    }
    byte_value = static_cast<uint8_t>(*v);
  } else {
    LoadCodePageSetting(env.link);  // config.ini's code page, before the text is converted
    text_value = ToPrinterText(*value);
    if (*name == "serial-number" && text_value.size() > kMaxSerialNumber) {
      return env.out.Fail(
          command, kExitBadInput,
          "the serial number is " + std::to_string(text_value.size()) + " bytes; at most 31 fit");
    }
  }
  Session s(env.link, env.out);
  if (int c = s.Connect(command)) return c;
  bool ok = byte_ok ? (s.esc().*(byte->second.builder))(1, byte_value)
                    : (s.esc().*(text->second.builder))(1, text_value);
  if (!ok) return PrinterFailure(s, command, "set");
  JsonObject o;
  o.Add("setting", *name);
  if (byte_ok)
    o.Add("value", static_cast<int>(byte_value));
  else
    o.Add("value", *value);
  s.out().Result(command, o, "ok");
  return kExitOk;
}

int CmdFactoryReset(Args& args, CommandEnv& env) {
  if (args.Help()) {
    std::fputs(
        "usage: quillon-cli factory-reset --yes\n  restores the printer's factory settings\n",
        stdout);
    return kExitOk;
  }
  const bool yes = args.Flag("--yes");
  int code = 0;
  if (RejectLeftover(args, env, "factory-reset", &code)) return code;
  if (!yes) {
    return env.out.Fail("factory-reset", kExitUsage,
                        "restoring the factory settings needs --yes to confirm");
  }
  Session s(env.link, env.out);
  if (int c = s.Connect("factory-reset")) return c;
  if (!s.esc().cmd_init_syspar()) return PrinterFailure(s, "factory-reset", "factory reset");
  s.out().Result("factory-reset", JsonObject(), "factory settings restored");
  return kExitOk;
}

}  // namespace quillon::cli
