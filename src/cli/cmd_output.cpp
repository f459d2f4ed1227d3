// send / print / logo: test output through the same conversions as the print test and
// OEM pages.
#include <cstdio>
#include <fstream>
#include <iterator>

#include "cli/cli_flow_ui.h"
#include "cli/commands.h"
#include "core/ansi_codepage.h"
#include "core/help_texts.h"
#include "core/ini_file.h"
#include "core/sfunc.h"
#include "core/text_conv.h"
#include "core/utf8_path.h"
#include "output/escpos_tests.h"
#include "output/oem_logo.h"
#include "output/picture_decode.h"
#include "output/raster_print.h"

namespace quillon::cli {
namespace {

const char* kSendHelp =
    "usage: quillon-cli send text TEXT|--file F [--encoding ansi|utf-8|unicode|hex]\n"
    "                             [--no-escapes]\n"
    "       quillon-cli send escpos NAME\n"
    "  --require-ready: ask the printer's status first and send nothing unless it is ready\n"
    "  escapes, ansi:  \\\\ a backslash, \\xHH one byte, \\uHHHH two bytes (low byte first);\n"
    "                  a backslash before any other character drops both\n"
    "          utf-8:  \\\\ and \\xHH; a backslash before any other character is dropped\n"
    "          unicode, hex: none; --no-escapes sends ANSI text as it is\n"
    "  \\n, \\r and \\t are not escapes: put a real line break into TEXT, e.g. in bash\n"
    "  send text $'line 1\\nline 2' (\\r\\n for CR LF), or send a file with --file F\n"
    "  NAME: drawer test-page barcode qr font-24 double-height double-width double-size\n"
    "        align-left align-center align-right font-16 init feed cut\n";

std::optional<TextEncoding> ParseEncoding(const std::string& name) {
  if (name == "ansi") return TextEncoding::kAnsi;
  if (name == "utf-8" || name == "utf8") return TextEncoding::kUtf8;
  if (name == "unicode" || name == "utf-16") return TextEncoding::kUnicode;
  if (name == "hex") return TextEncoding::kHex;
  return std::nullopt;
}

bool ReadWholeFile(const std::string& path, std::string& out, std::string& error) {
  std::ifstream in(Utf8Path(path), std::ios::binary);
  if (!in) {
    error = "cannot read " + path;
    return false;
  }
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) {
    error = "cannot read " + path;
    return false;
  }
  return true;
}

int SendText(Args& args, CommandEnv& env) {
  auto file = args.Value("--file");
  auto enc_name = args.Value("--encoding");
  const bool raw = args.Flag("--no-escapes");
  const bool require_ready = args.Flag("--require-ready");
  auto text = file ? std::optional<std::string>() : args.Next();
  int code = 0;
  if (RejectLeftover(args, env, "send text", &code)) return code;
  if (!file && !text)
    return env.out.Fail("send text", kExitUsage,
                        std::string("missing TEXT or --file\n") + kSendHelp);
  auto encoding = ParseEncoding(enc_name ? *enc_name : "ansi");
  if (!encoding)
    return env.out.Fail("send text", kExitUsage, "unknown encoding '" + *enc_name + "'");
  std::string body, error;
  if (file && !ReadWholeFile(*file, body, error))
    return env.out.Fail("send text", kExitBadInput, error);
  if (!file) body = *text;
  TextBytes bytes = ConvertTextForSending(*encoding, body, raw, AnsiCodePage());
  if (!bytes.ok) return env.out.Fail("send text", kExitBadInput, bytes.error);
  Session s(env.link, env.out);
  if (int c = s.Connect("send text")) return c;
  if (require_ready && !RequireReady(s, "send text", &code)) return code;
  if (!SendRawBytes(s.link(), bytes.bytes))
    return s.out().Fail("send text", kExitPrinterFailed, "the printer did not take the bytes");
  if (int c = s.Deliver("send text")) return c;
  s.out().Result("send text", JsonObject().Add("bytes", static_cast<int64_t>(bytes.bytes.size())),
                 "sent " + std::to_string(bytes.bytes.size()) + " bytes");
  return kExitOk;
}

int SendEscPos(Args& args, CommandEnv& env) {
  const bool require_ready = args.Flag("--require-ready");
  auto name = args.Next();
  int code = 0;
  if (RejectLeftover(args, env, "send escpos", &code)) return code;
  if (!name)
    return env.out.Fail("send escpos", kExitUsage, std::string("missing NAME\n") + kSendHelp);
  auto tests = EscPosTests();
  // The CLI's names of the test buttons, in page order.
  const std::vector<std::string>& names = QuillonCliWords().escpos_names;
  for (size_t i = 0; i < tests.size() && i < names.size(); ++i) {
    if (*name != names[i]) continue;
    Session s(env.link, env.out);
    if (int c = s.Connect("send escpos")) return c;
    if (require_ready && !RequireReady(s, "send escpos", &code)) return code;
    if (!SendRawBytes(s.link(), tests[i].bytes))
      return s.out().Fail("send escpos", kExitPrinterFailed, "the printer did not take the bytes");
    if (int c = s.Deliver("send escpos")) return c;
    s.out().Result(
        "send escpos",
        JsonObject().Add("name", *name).Add("bytes", static_cast<int64_t>(tests[i].bytes.size())),
        "sent " + *name);
    return kExitOk;
  }
  return env.out.Fail("send escpos", kExitUsage, "unknown sequence '" + *name + "'\n" + kSendHelp);
}

bool LoadPicture(CommandEnv& env, const std::string& command, const std::string& path, Picture& pic,
                 int* code) {
  std::string error;
  if (!LoadPictureFile(path, pic, error)) {
    *code = env.out.Fail(command, kExitBadInput, error);
    return false;
  }
  return true;
}

}  // namespace

int CmdSend(Args& args, CommandEnv& env) {
  auto sub = args.Next();
  if (args.Help() || !sub) {
    std::fputs(kSendHelp, stdout);
    return sub ? kExitOk : kExitUsage;
  }
  LoadCodePageSetting(env.link);
  if (*sub == "text") return SendText(args, env);
  if (*sub == "escpos") return SendEscPos(args, env);
  return env.out.Fail("send", kExitUsage, "unknown send command '" + *sub + "'\n" + kSendHelp);
}

int CmdPrint(Args& args, CommandEnv& env) {
  auto sub = args.Next();
  if (args.Help() || !sub || *sub != "image") {
    std::fputs(
        "usage: quillon-cli print image FILE [--require-ready]\n"
        "  BMP, PNG, JPEG or GIF; at most 1360 dots wide. --require-ready: ask the printer's\n"
        "  status first and print nothing unless it is ready\n",
        stdout);
    return sub && *sub == "image" ? kExitOk : kExitUsage;
  }
  const bool require_ready = args.Flag("--require-ready");
  auto file = args.Next();
  int code = 0;
  if (RejectLeftover(args, env, "print image", &code)) return code;
  if (!file) return env.out.Fail("print image", kExitUsage, "missing FILE");
  Picture pic;
  if (!LoadPicture(env, "print image", *file, pic, &code)) return code;
  std::string why = CheckPrintablePicture(pic);
  if (!why.empty()) return env.out.Fail("print image", kExitBadInput, why);
  Session s(env.link, env.out);
  if (int c = s.Connect("print image")) return c;
  if (require_ready && !RequireReady(s, "print image", &code)) return code;
  CliFlowUi ui(s.out(), s.messages(), "print");
  if (!PrintPicture(s.link(), pic, ui)) {
    return s.out().Fail("print image", kExitPrinterFailed,
                        "not every band was sent (stopped after " + std::to_string(ui.position()) +
                            " of " + std::to_string(pic.height) + " rows)");
  }
  if (int c = s.Deliver("print image")) return c;
  s.out().Result("print image", JsonObject().Add("width", pic.width).Add("height", pic.height),
                 "printed " + std::to_string(pic.width) + " x " + std::to_string(pic.height));
  return kExitOk;
}

int CmdLogo(Args& args, CommandEnv& env) {
  auto file = args.Next();
  if (args.Help() || !file) {
    std::fputs(
        "usage: quillon-cli logo FILE   write the screen boot logo (raster of at most 4092 "
        "bytes)\n",
        stdout);
    return file ? kExitOk : kExitUsage;
  }
  int code = 0;
  if (RejectLeftover(args, env, "logo", &code)) return code;
  Picture pic;
  if (!LoadPicture(env, "logo", *file, pic, &code)) return code;
  std::string why = CheckLogoPicture(pic);
  if (!why.empty()) return env.out.Fail("logo", kExitBadInput, why);
  Session s(env.link, env.out);
  if (int c = s.Connect("logo")) return c;
  if (!WriteOemLogo(s.esc(), s.messages(), pic))
    return s.out().Fail("logo", kExitPrinterFailed, "the logo was not written: " + s.Why());
  s.out().Result("logo", JsonObject().Add("width", pic.width).Add("height", pic.height),
                 "logo written");
  return kExitOk;
}

}  // namespace quillon::cli
