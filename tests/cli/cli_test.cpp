// quillon-cli as scripts use it: against the in-process virtual printer and, for the
// serial path, the virtual printer program on a pseudo-terminal.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "cli_runner.h"
#include "core/help_texts.h"
#include "support/json_check.h"
#include "virtualprinter/printer_state.h"

namespace quillon::testing {
namespace {

std::vector<std::string> Virtual(const CliHome& home, std::vector<std::string> words) {
  std::vector<std::string> args = {"--home", home.path(), "--virtual-printer", "--state",
                                   home.File("state.bin")};
  args.insert(args.end(), words.begin(), words.end());
  return args;
}

std::vector<std::string> Serial(const CliHome& home, const PtyPrinter& p,
                                std::vector<std::string> words) {
  std::vector<std::string> args = {"--home", home.path(), "--port", p.port()};
  args.insert(args.end(), words.begin(), words.end());
  return args;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// A 24-bit bitmap of w x h pixels, black on the diagonal stripes.
std::string Bitmap(int w, int h) {
  const int row = (w * 3 + 3) / 4 * 4;
  const uint32_t size = 54 + static_cast<uint32_t>(row * h);
  std::string b(size, '\0');
  auto put = [&](size_t at, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b[at + i] = static_cast<char>(v >> (8 * i));
  };
  b[0] = 'B', b[1] = 'M';
  put(2, size, 4), put(10, 54, 4), put(14, 40, 4), put(18, w, 4), put(22, h, 4);
  put(26, 1, 2), put(28, 24, 2);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w * 3; ++x) b[54 + y * row + x] = (x / 3 + y) % 8 < 4 ? '\0' : '\xff';
  return b;
}

TEST(CliSettings, SetThenGetRoundTripsThroughTheStateFile) {
  CliHome home;
  CliRun set = RunCli(Virtual(home, {"set", "stepmode", "3"}));
  ASSERT_EQ(set.exit_code, 0) << set.err;
  CliRun get = RunCli(Virtual(home, {"get", "stepmode"}));
  EXPECT_EQ(get.exit_code, 0) << get.err;
  EXPECT_EQ(get.out, "3\n");

  CliRun name = RunCli(Virtual(home, {"set", "bt-name", "打印机-7"}));
  ASSERT_EQ(name.exit_code, 0) << name.err;
  CliRun back = RunCli(Virtual(home, {"--json", "get", "bt-name"}));
  EXPECT_EQ(back.out,
            "{\"command\":\"get bt-name\",\"ok\":true,\"setting\":\"bt-name\",\"value\":"
            "\"打印机-7\"}\n");
}

TEST(CliSettings, TextSettingsUseTheConfiguredCodePage) {
  CliHome home;
  WriteFile(home.File("config.ini"), "[SYSTEM]\nANSI_CODEPAGE=950\n");
  CliRun set = RunCli(Virtual(home, {"--verbose", "set", "bt-name", "中"}));
  ASSERT_EQ(set.exit_code, 0) << set.err;
  EXPECT_NE(set.err.find("A4 A4"), std::string::npos) << set.err;  // Big5, not the locale's
}

TEST(CliSettings, TheVirtualPrinterKeepsItsSettingsUnlessToldToStartFresh) {
  CliHome home;
  auto run = [&](std::vector<std::string> words) {
    words.insert(words.begin(), {"--home", home.path(), "--virtual-printer"});
    return RunCli(words);
  };
  ASSERT_EQ(run({"set", "language", "1"}).exit_code, 0);
  EXPECT_EQ(run({"get", "language"}).out, "1\n");
  EXPECT_EQ(run({"--factory-state", "get", "language"}).out, "0\n");
  EXPECT_EQ(run({"--factory-state", "set", "language", "0"}).exit_code, 0);
  EXPECT_EQ(run({"get", "language"}).out, "1\n");  // --factory-state saved nothing
  EXPECT_EQ(run({"--factory-state", "--state", home.File("s"), "get", "language"}).exit_code, 2);

  // Several printers keep theirs apart, in a folder beside the one printer's file.
  auto two = [&](std::vector<std::string> words) {
    words.insert(words.begin(), "--virtual-printer=2");
    return run(words);
  };
  ASSERT_EQ(two({"--usb", "VP0002", "set", "stepmode", "3"}).exit_code, 0);
  EXPECT_EQ(two({"--usb", "VP0002", "get", "stepmode"}).out, "3\n");
  EXPECT_NE(two({"--usb", "VP0001", "get", "stepmode"}).out, "3\n");
  EXPECT_NE(two({"--factory-state", "--usb", "VP0002", "get", "stepmode"}).out, "3\n");
  EXPECT_TRUE(std::filesystem::is_regular_file(home.File("virtual-printer.state.d/VP0002.state")));
  EXPECT_EQ(run({"get", "language"}).out, "1\n");

  WriteFile(home.File("virtual-printer.state"), "not a state file");
  CliRun bad = run({"get", "language"});
  EXPECT_EQ(bad.exit_code, 3);
  EXPECT_NE(bad.err.find("--factory-state"), std::string::npos) << bad.err;
}

TEST(CliSettings, FactoryResetNeedsConfirmationAndRestoresDefaults) {
  CliHome home;
  ASSERT_EQ(RunCli(Virtual(home, {"set", "language", "1"})).exit_code, 0);
  EXPECT_EQ(RunCli(Virtual(home, {"factory-reset"})).exit_code, 2);
  EXPECT_EQ(RunCli(Virtual(home, {"get", "language"})).out, "1\n");
  EXPECT_EQ(RunCli(Virtual(home, {"factory-reset", "--yes"})).exit_code, 0);
  EXPECT_EQ(RunCli(Virtual(home, {"get", "language"})).out, "0\n");
}

TEST(CliSettings, RecordsAndLabelValues) {
  CliHome home;
  CliRun set = RunCli(Virtual(home, {"net", "set", "--ip", "10.0.0.7", "--mask", "255.0.0.0",
                                     "--gateway", "10.0.0.1", "--dhcp"}));
  ASSERT_EQ(set.exit_code, 0) << set.err;
  CliRun get = RunCli(Virtual(home, {"--json", "net", "get"}));
  EXPECT_NE(get.out.find("\"ip\":\"10.0.0.7\",\"mask\":\"255.0.0.0\",\"gateway\":\"10.0.0.1\""),
            std::string::npos)
      << get.out;
  EXPECT_NE(RunCli(Virtual(home, {"net", "get"})).out.find("ip 010.000.000.007"),
            std::string::npos);
  EXPECT_NE(get.out.find("\"dhcp\":true"), std::string::npos);
  EXPECT_NE(get.out.find("\"port\":9100"), std::string::npos);

  ASSERT_EQ(RunCli(Virtual(home, {"label", "set", "120", "-35"})).exit_code, 0);
  EXPECT_EQ(RunCli(Virtual(home, {"label", "get"})).out, "sensor 120\nout -35\n");
  EXPECT_EQ(RunCli(Virtual(home, {"wifi", "set", "--ssid", "shop", "--static"})).exit_code, 0);
}

// Every line a command writes with --json is one valid JSON object, those of commands
// that report nothing beyond success and of failures included.
TEST(CliJson, EveryLineOfEveryCommandIsJson) {
  CliHome home;
  std::string image(3000, '\0');
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 7);
  WriteFile(home.File("fw.bin"), image);
  WriteFile(home.File("font.bin"), std::string(5000, 'A'));
  WriteFile(home.File("stripes.bmp"), Bitmap(64, 48));
  struct Case {
    std::vector<std::string> words;
    int exit_code;
  };
  const Case cases[] = {
      {{"devices"}, 0},
      {{"get", "language"}, 0},
      {{"get", "bt-name"}, 0},
      {{"get", "info"}, 0},
      {{"get", "net"}, 0},
      {{"get", "label-distances"}, 0},
      {{"set", "stepmode", "3"}, 0},
      {{"set", "bt-name", "打印机\"7\""}, 0},
      {{"factory-reset", "--yes"}, 0},
      {{"font", "download", home.File("font.bin"), "--packsize", "4096"}, 0},
      {{"send", "text", "Hi"}, 0},
      {{"send", "escpos", "cut"}, 0},
      {{"print", "image", home.File("stripes.bmp")}, 0},
      {{"status"}, 0},
      {{"logo", home.File("stripes.bmp")}, 0},
      {{"wifi", "set", "--ssid", "shop"}, 0},
      {{"wifi", "reset"}, 0},
      {{"net", "get"}, 0},
      {{"net", "set", "--ip", "10.0.0.7", "--mask", "255.0.0.0", "--gateway", "10.0.0.1"}, 0},
      {{"label", "threshold"}, 0},
      {{"label", "self-test"}, 0},
      {{"label", "get"}, 0},
      {{"label", "set", "120", "-35"}, 0},
      {{"rfid", "request", "--sector", "1"}, 0},
      {{"rfid", "write", "--sector", "1", "--block", "1", "--data",
        "00112233445566778899AABBCCDDEEFF"},
       0},
      {{"rfid", "read", "--sector", "1"}, 0},
      {{"paper-roll", "create"}, 0},
      {{"paper-roll", "read"}, 0},
      {{"firmware", "unlock"}, 0},
      {{"firmware", "update", home.File("fw.bin")}, 0},
      {{"firmware", "update", home.File("fw.bin"), "--old"}, 0},
      {{"firmware", "enter-update-mode"}, 0},
      {{"get", "no-such-setting"}, 2},
      {{"print", "image", home.File("missing.bmp")}, 4},
  };
  for (const Case& c : cases) {
    std::vector<std::string> words = {"--json"};
    words.insert(words.end(), c.words.begin(), c.words.end());
    const CliRun run = RunCli(Virtual(home, words));
    const std::string what = c.words[0] + " " + (c.words.size() > 1 ? c.words[1] : "");
    EXPECT_EQ(run.exit_code, c.exit_code) << what << ": " << run.err;
    std::istringstream lines(run.out);
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
      EXPECT_EQ(JsonCheck::Problem(line), "") << what << ": " << line;
      EXPECT_TRUE(line.starts_with("{")) << what << ": " << line;
    }
    EXPECT_GT(count, 0) << what;
  }
}

TEST(CliUsage, ErrorsHaveTheirExitCodes) {
  CliHome home;
  EXPECT_EQ(RunCli({"--home", home.path()}).exit_code, 2);
  EXPECT_EQ(RunCli(Virtual(home, {"frobnicate"})).exit_code, 2);
  EXPECT_EQ(RunCli(Virtual(home, {"get", "colour"})).exit_code, 2);
  EXPECT_EQ(RunCli(Virtual(home, {"get", "language", "extra"})).exit_code, 2);
  EXPECT_EQ(RunCli(Virtual(home, {"set", "stepmode", "9"})).exit_code, 4);
  EXPECT_EQ(RunCli(Virtual(home, {"set", "serial-number", std::string(32, '1')})).exit_code, 4);
  EXPECT_EQ(RunCli(Virtual(home, {"font", "download", "x.bin", "--packsize", "abc"})).exit_code, 4);
  EXPECT_EQ(RunCli(Virtual(home, {"wifi", "set", "--ssid", std::string(24, 's')})).exit_code, 4);
  EXPECT_EQ(
      RunCli(Virtual(home, {"net", "set", "--ip", "1.2.x.4", "--mask", "0", "--gateway", "0"}))
          .exit_code,
      4);
  // A printer that is not there: the USB identifiers match no device.
  CliRun none = RunCli({"--home", home.path(), "--usb", "ffff:fffe", "get", "language"});
  EXPECT_EQ(none.exit_code, 3);
  EXPECT_NE(none.err.find("no printer found"), std::string::npos) << none.err;
  EXPECT_EQ(RunCli({"--help"}).exit_code, 0);
  EXPECT_EQ(RunCli({"get", "--help"}).exit_code, 0);

  // A global option after the command is refused with where it belongs; the same word as
  // the value of a command option is just a value.
  CliRun late = RunCli(Virtual(home, {"print", "image", "x.png", "--paper", "out.png"}));
  EXPECT_EQ(late.exit_code, 2);
  EXPECT_NE(late.err.find("--paper is a global option: put it before the command"),
            std::string::npos)
      << late.err;
  EXPECT_EQ(RunCli(Virtual(home, {"get", "language", "--json=1"})).exit_code, 2);
  CliRun value = RunCli(Virtual(home, {"send", "text", "--file", "--json"}));
  EXPECT_EQ(value.exit_code, 4) << value.err;  // no file named "--json"
  // Options stand before or after the positional words.
  CliRun order = RunCli({"--home", home.path(), "--usb", "ffff:fffe", "font", "download",
                         "--packsize", "4096", "missing.bin"});
  EXPECT_EQ(order.err, "quillon-cli: font download: 'missing.bin': the file does not exist\n");

  // A missing flash file: one error line that names it, before any printer is sought.
  for (const char* what : {"font", "firmware"}) {
    CliRun missing = RunCli({"--home", home.path(), "--usb", "ffff:fffe", what,
                             what == std::string("font") ? "download" : "update", "missing.bin"});
    EXPECT_EQ(missing.exit_code, 4) << what;
    EXPECT_EQ(missing.err, std::string("quillon-cli: ") + what +
                               (what == std::string("font") ? " download" : " update") +
                               ": 'missing.bin': the file does not exist\n");
  }
}

// A portable folder whose config.ini was deleted: no USB identifiers and language CHS, the
// messages still from the file beside the program, and nothing written anywhere else.
TEST(CliFiles, PortableFolderWithoutConfigIniKeepsItsFilesBesideTheProgram) {
  CliHome folder;
  std::filesystem::remove(folder.File("config.ini"));
  const std::string program = folder.File("quillon-cli");
  std::filesystem::copy_file(QUILLON_CLI, program);
  WriteFile(folder.File("fw.bin"), "abc");
  // The user's folders of an installed program, where nothing may go.
  const std::string elsewhere = folder.File("user");
  setenv("XDG_CONFIG_HOME", (elsewhere + "/config").c_str(), 1);
  setenv("XDG_STATE_HOME", (elsewhere + "/state").c_str(), 1);
  CliRun fw = RunCli({"--virtual-printer", "firmware", "update", folder.File("fw.bin")}, program);
  EXPECT_EQ(fw.exit_code, 0) << fw.err;
  const std::string chs_done = "固件更新成功";  // MSG016 of [CHS] in the folder's message file
  EXPECT_NE(fw.err.find(chs_done), std::string::npos) << fw.err;
  EXPECT_EQ(fw.err.find("cannot copy"), std::string::npos) << fw.err;
  EXPECT_TRUE(std::filesystem::is_regular_file(folder.File("virtual-printer.state")));
  CliRun usb = RunCli({"get", "language"}, program);
  EXPECT_EQ(usb.exit_code, 3);
  EXPECT_NE(
      usb.err.find("no USB identifiers: set USB_VID and USB_PID in " + folder.File("config.ini")),
      std::string::npos)
      << usb.err;
  unsetenv("XDG_CONFIG_HOME");
  unsetenv("XDG_STATE_HOME");
  EXPECT_FALSE(std::filesystem::exists(elsewhere));
}

// Options may stand anywhere after the command: a flag's value is never taken for a
// positional word.
TEST(CliUsage, OptionsBeforeThePositionalWords) {
  CliHome home;
  WriteFile(home.File("lib.bin"), std::string(5000, 'A'));
  CliRun font = RunCli(Virtual(home, {"--json", "font", "download", "--packsize", "4096",
                                      home.File("lib.bin"), "--erase-all"}));
  EXPECT_EQ(font.exit_code, 0) << font.err;
  EXPECT_NE(font.out.find("\"command\":\"font download\",\"ok\":true"), std::string::npos)
      << font.out;
}

// A file name that is not UTF-8 (any bytes but '/' are allowed on Linux) reaches the JSON
// line as U+FFFD, so JSON readers can still read the line.
TEST(CliOutput, JsonNamesAFileWhoseNameIsNotUtf8) {
  CliHome home;
  // An overlong NUL, a surrogate and a value past U+10FFFF.
  const std::string name = home.File(
      "a\xC0\x80"
      "b\xED\xA0\x80"
      "c\xF4\x90\x80\x80"
      ".bmp");
  WriteFile(name, "not a picture");
  CliRun run = RunCli(Virtual(home, {"--json", "print", "image", name}));
  EXPECT_EQ(run.exit_code, 4) << run.err;
  const std::string fffd = "\xEF\xBF\xBD";
  EXPECT_NE(run.out.find("a" + fffd + fffd + "b" + fffd + fffd + fffd + "c" + fffd + fffd + fffd +
                         fffd + ".bmp"),
            std::string::npos)
      << run.out;
  for (const char* raw : {"\xC0", "\xED\xA0", "\xF4\x90"})
    EXPECT_EQ(run.out.find(raw), std::string::npos) << run.out;
}

// A paper that could not be written whole (a full disk, here /dev/full: the bytes sit in
// the file's buffer until the close) is reported as not saved, naming the file.
TEST(CliVirtualPrinter, PaperOnAFullDiskIsNotReportedAsSaved) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  CliHome home;
  WriteFile(home.File("input.bin"), "hello\n");
  CliRun vp = RunCli({"--input", home.File("input.bin"), "--paper", "/dev/full"}, QUILLON_VP);
  EXPECT_EQ(vp.exit_code, 1);
  EXPECT_EQ(vp.out.find("paper:"), std::string::npos) << vp.out;
  EXPECT_NE(vp.err.find("paper not saved: cannot write /dev/full: "), std::string::npos) << vp.err;

  // quillon-cli saves the paper as its session ends, after the command's own result.
  CliRun cli = RunCli({"--home", home.path(), "--virtual-printer", "--paper", "/dev/full", "send",
                       "text", "hello"});
  EXPECT_EQ(cli.exit_code, 4) << cli.err;
  EXPECT_NE(cli.err.find("/dev/full"), std::string::npos) << cli.err;
}

// The words that completion and the manual offer are the ones the program takes.
TEST(CliUsage, CompletionWordsAreAcceptedByTheProgram) {
  CliHome home;
  for (const HelpEntry& option : QuillonCliHelp().sections.at(0).entries) {
    const std::string name = option.term.substr(0, option.term.find_first_of(" ,="));
    CliRun run = RunCli({"--home", home.path(), name, "--help"});
    EXPECT_EQ(run.err.find("unknown option"), std::string::npos) << name << ": " << run.err;
  }
  for (const auto& [command, next] : QuillonCliWords().commands) {
    CliRun help = RunCli({"--home", home.path(), command, "--help"});
    EXPECT_EQ(help.err.find("unknown command"), std::string::npos) << command;
  }
  for (const std::string& name : QuillonCliWords().get_settings) {
    CliRun get =
        RunCli({"--home", home.path(), "--virtual-printer", "--factory-state", "get", name});
    EXPECT_EQ(get.exit_code, 0) << name << ": " << get.err;
  }
  for (const std::string& name : QuillonCliWords().set_settings) {
    CliRun set =
        RunCli({"--home", home.path(), "--virtual-printer", "--factory-state", "set", name, "0"});
    EXPECT_EQ(set.err.find("cannot be set"), std::string::npos) << name;
  }
}

TEST(CliFlash, FirmwareAndFontWithJsonProgress) {
  CliHome home;
  std::string image(3000, '\0');
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 7);
  WriteFile(home.File("fw.bin"), image);
  CliRun fw = RunCli(Virtual(home, {"--json", "firmware", "update", home.File("fw.bin")}));
  EXPECT_EQ(fw.exit_code, 0) << fw.err;
  EXPECT_NE(fw.out.find("\"bytes\":3000"), std::string::npos) << fw.out;

  WriteFile(home.File("font.bin"), std::string(10000, 'A'));
  CliRun font = RunCli(
      Virtual(home, {"--json", "font", "download", home.File("font.bin"), "--packsize", "4096"}));
  EXPECT_EQ(font.exit_code, 0) << font.err;
  // Progress: phase "erase" then "write", each from 0 to the whole, never going back.
  std::vector<std::pair<std::string, long>> steps;
  for (size_t at = font.out.find("\"phase\":\""); at != std::string::npos;
       at = font.out.find("\"phase\":\"", at + 1)) {
    const size_t name = at + 9;
    const std::string phase = font.out.substr(name, font.out.find('"', name) - name);
    steps.emplace_back(phase, std::stol(font.out.substr(font.out.find("\"done\":", at) + 7)));
  }
  ASSERT_GE(steps.size(), 4u) << font.out;
  EXPECT_EQ(steps.front(), std::make_pair(std::string("erase"), 0L));
  EXPECT_EQ(steps.back(), std::make_pair(std::string("write"), 10000L));
  for (size_t i = 1; i < steps.size(); ++i) {
    if (steps[i].first == steps[i - 1].first) {
      EXPECT_GE(steps[i].second, steps[i - 1].second) << font.out;
    } else {
      EXPECT_EQ(steps[i - 1], std::make_pair(std::string("erase"), 10000L));
      EXPECT_EQ(steps[i], std::make_pair(std::string("write"), 0L));
    }
  }
  EXPECT_NE(font.out.find("\"command\":\"font download\",\"ok\":true"), std::string::npos);

  WriteFile(home.File("empty.bin"), "");
  EXPECT_EQ(RunCli(Virtual(home, {"firmware", "update", home.File("empty.bin")})).exit_code, 4);
  EXPECT_EQ(RunCli(Virtual(home, {"firmware", "update", home.File("missing.bin")})).exit_code, 4);
}

TEST(CliOutput, TextAndRfidAndPaper) {
  CliHome home;
  std::vector<std::string> args = {
      "--home", home.path(), "--virtual-printer", "--paper", home.File("paper.png"), "send",
      "text",   "Hi"};
  CliRun text = RunCli(args);
  ASSERT_EQ(text.exit_code, 0) << text.err;
  std::ifstream png(home.File("paper.png"), std::ios::binary);
  std::string head(8, '\0');
  png.read(head.data(), 8);
  EXPECT_EQ(head, "\x89PNG\r\n\x1a\n");

  // Picture progress counts rows from the first line to the last.
  WriteFile(home.File("stripes.bmp"), Bitmap(64, 200));
  CliRun picture = RunCli(Virtual(home, {"--json", "print", "image", home.File("stripes.bmp")}));
  ASSERT_EQ(picture.exit_code, 0) << picture.err;
  EXPECT_NE(picture.out.find("\"done\":200,\"total\":200"), std::string::npos) << picture.out;
  EXPECT_EQ(picture.out.find("\"unit\":\"bytes\""), std::string::npos) << picture.out;

  EXPECT_EQ(RunCli(Virtual(home, {"send", "escpos", "cut"})).exit_code, 0);
  EXPECT_EQ(RunCli(Virtual(home, {"send", "escpos", "guillotine"})).exit_code, 2);
  EXPECT_EQ(RunCli(Virtual(home, {"send", "text", "1B 4", "--encoding", "hex"})).exit_code, 0);

  CliRun write = RunCli(Virtual(home, {"rfid", "write", "--sector", "2", "--block", "1", "--data",
                                       "00112233445566778899AABBCCDDEEFF"}));
  ASSERT_EQ(write.exit_code, 0) << write.err;
  CliRun read = RunCli(Virtual(home, {"rfid", "read", "--sector", "2"}));
  EXPECT_NE(read.out.find("00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF"), std::string::npos)
      << read.out << read.err;
  CliRun wrong = RunCli(Virtual(home, {"rfid", "read", "--sector", "2", "--key", "010203040506"}));
  EXPECT_EQ(wrong.exit_code, 1);

  // A count that does not fit the record is refused rather than stored cut to 16 bits.
  EXPECT_EQ(RunCli(Virtual(home, {"paper-roll", "create", "--count", "70000"})).exit_code, 4);
  ASSERT_EQ(RunCli(Virtual(home, {"paper-roll", "create", "--count", "500"})).exit_code, 0);
  CliRun roll = RunCli(Virtual(home, {"paper-roll", "read"}));
  EXPECT_NE(roll.out.find("500 labels"), std::string::npos) << roll.out << roll.err;

  WriteFile(home.File("not-a-picture.png"), "hello");
  EXPECT_EQ(RunCli(Virtual(home, {"print", "image", home.File("not-a-picture.png")})).exit_code, 4);
}

TEST(CliSerial, SettingsOverThePseudoTerminal) {
  CliHome home;
  PtyPrinter printer(home);
  ASSERT_TRUE(printer.ready());
  ASSERT_EQ(RunCli(Serial(home, printer, {"set", "blackness", "2"})).exit_code, 0);
  CliRun get = RunCli(Serial(home, printer, {"get", "blackness"}));
  EXPECT_EQ(get.exit_code, 0) << get.err;
  EXPECT_EQ(get.out, "2\n");
  CliRun info = RunCli(Serial(home, printer, {"get", "info"}));
  EXPECT_EQ(info.exit_code, 0) << info.err;
  EXPECT_FALSE(info.out.empty());
  CliRun missing =
      RunCli({"--home", home.path(), "--port", home.File("no-such-port"), "get", "language"});
  EXPECT_EQ(missing.exit_code, 3);
}

TEST(CliSerial, DroppedAndRefusedRepliesNameTheFailure) {
  CliHome home;
  PtyPrinter printer(home, {"--drop-code", "A1", "--refuse-text-sets"});
  ASSERT_TRUE(printer.ready());
  CliRun dropped = RunCli(Serial(home, printer, {"get", "language"}));
  EXPECT_EQ(dropped.exit_code, 1);
  EXPECT_NE(dropped.err.find("no reply"), std::string::npos) << dropped.err;
  CliRun refused = RunCli(Serial(home, printer, {"set", "bt-pin", "1234"}));
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_NE(refused.err.find("refused"), std::string::npos) << refused.err;
  EXPECT_EQ(RunCli(Serial(home, printer, {"get", "charset"})).exit_code, 0);
}

// Three virtual printers on one hub: listed apart, chosen by port or serial number, and a
// command run on all of them at once whose summary names the one that failed.
TEST(CliSeveralPrinters, ChosenByPortOrSerialAndRunAllAtOnce) {
  CliHome home;
  const std::vector<std::string> three = {"--home", home.path(), "--virtual-printer=3", "--state",
                                          home.File("bench")};
  auto with = [&](std::vector<std::string> words) {
    std::vector<std::string> args = three;
    args.insert(args.end(), words.begin(), words.end());
    return args;
  };
  CliRun list = RunCli(with({"--json", "devices"}));
  ASSERT_EQ(list.exit_code, 0) << list.err;
  for (const char* field : {"\"port_path\":\"99-1\",\"serial\":\"VP0001\"",
                            "\"port_path\":\"99-3\",\"serial\":\"VP0003\""})
    EXPECT_NE(list.out.find(field), std::string::npos) << list.out;

  ASSERT_EQ(RunCli(with({"--usb", "VP0002", "set", "stepmode", "3"})).exit_code, 0);
  EXPECT_EQ(RunCli(with({"--usb", "99-2", "get", "stepmode"})).out, "3\n");
  EXPECT_NE(RunCli(with({"get", "stepmode"})).out, "3\n");  // the first printer kept its own
  EXPECT_EQ(RunCli(with({"--usb", "99-9", "get", "stepmode"})).exit_code, 3);

  WriteFile(home.File("fw.bin"), std::string(8192, '\x5A'));
  CliRun all = RunCli(with({"--each-usb", "firmware", "update", home.File("fw.bin")}));
  EXPECT_EQ(all.exit_code, 0) << all.err;
  EXPECT_EQ(std::count(all.out.begin(), all.out.end(), '\n'), 4) << all.out;  // heading + 3

  std::vector<std::string> faulty = with({"--vp-fault", "VP0002:unplug-after=3", "--json",
                                          "--each-usb", "firmware", "update", home.File("fw.bin")});
  CliRun one_failed = RunCli(faulty);
  EXPECT_EQ(one_failed.exit_code, 1);
  int summaries = 0;
  std::istringstream lines(one_failed.out);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("{\"command\"", 0) != 0) continue;  // progress lines name the printer too
    ++summaries;
    const bool failed = line.find("\"serial\":\"VP0002\"") != std::string::npos;
    EXPECT_NE(line.find(failed ? ",\"ok\":false," : ",\"ok\":true,\"exit\":0"), std::string::npos)
        << line;
  }
  EXPECT_EQ(summaries, 3);
  faulty.erase(std::find(faulty.begin(), faulty.end(), "--json"));
  CliRun table = RunCli(faulty);
  EXPECT_EQ(table.exit_code, 1);
  EXPECT_NE(table.out.find("99-2 VP0002"), std::string::npos) << table.out;
  EXPECT_NE(table.err.find("failed on 99-2 VP0002"), std::string::npos) << table.err;
  const std::string verdict = table.err.substr(table.err.find("failed on"));
  EXPECT_EQ(verdict.find("99-1"), std::string::npos) << table.err;  // progress lines name all
}

// status over each link with paper out and the cover open; --require-ready refuses.
TEST(CliStatus, NotReadyOverUsbSerialAndNetwork) {
  CliHome home;
  // The in-process printer starts from a state file with its paper out.
  ASSERT_EQ(RunCli(Virtual(home, {"get", "language"})).exit_code, 0);
  CliRun ready = RunCli(Virtual(home, {"--json", "status"}));
  ASSERT_EQ(ready.exit_code, 0) << ready.err;
  {
    vp::PrinterState state;
    std::string error;
    ASSERT_TRUE(state.Load(home.File("state.bin"), error)) << error;
    state.paper = vp::PaperLevel::kOut;
    ASSERT_TRUE(state.Save(home.File("state.bin"), error)) << error;
  }
  CliRun usb = RunCli(Virtual(home, {"status"}));
  EXPECT_EQ(usb.exit_code, 1);
  EXPECT_NE(usb.err.find("not ready: paper out"), std::string::npos) << usb.err;
  CliRun refused = RunCli(Virtual(home, {"send", "text", "--require-ready", "X\\n"}));
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_NE(refused.err.find("nothing was sent"), std::string::npos) << refused.err;

  PtyPrinter pty(home, {"--cover-open"});
  ASSERT_TRUE(pty.ready());
  CliRun serial = RunCli(Serial(home, pty, {"status"}));
  EXPECT_EQ(serial.exit_code, 1);
  EXPECT_NE(serial.err.find("not ready: cover open"), std::string::npos) << serial.err;

  TcpPrinter net(home, {"--paper-out", "--cover-open"});
  ASSERT_FALSE(net.address().empty());
  const std::vector<std::string> tcp = {"--home", home.path(), "--json", "--tcp", net.address()};
  auto with = [&](std::vector<std::string> words) {
    std::vector<std::string> args = tcp;
    args.insert(args.end(), words.begin(), words.end());
    return args;
  };
  CliRun json = RunCli(with({"status"}));
  EXPECT_EQ(json.exit_code, 1);
  for (const char* field : {"\"ready\":false", "\"cover_open\":true", "\"paper_out\":true",
                            "\"online\":false", "\"stopped_by_paper_out\":true"}) {
    EXPECT_NE(json.out.find(field), std::string::npos) << field << " in " << json.out;
  }
  EXPECT_EQ(RunCli(with({"send", "escpos", "cut", "--require-ready"})).exit_code, 1);
}

TEST(CliNetwork, CommandsOverTcpAndUnreachablePrinters) {
  CliHome home;
  TcpPrinter net(home);
  ASSERT_FALSE(net.address().empty());
  const std::vector<std::string> tcp = {"--home", home.path(), "--tcp", net.address()};
  auto with = [&](std::vector<std::string> words) {
    std::vector<std::string> args = tcp;
    args.insert(args.end(), words.begin(), words.end());
    return args;
  };
  ASSERT_EQ(RunCli(with({"set", "blackness", "3"})).exit_code, 0);
  CliRun get = RunCli(with({"get", "blackness"}));
  EXPECT_EQ(get.exit_code, 0) << get.err;
  EXPECT_EQ(get.out, "3\n");
  CliRun status = RunCli(with({"status"}));
  EXPECT_EQ(status.exit_code, 0) << status.err;
  EXPECT_EQ(status.out.substr(0, 6), "ready\n");
  EXPECT_EQ(RunCli(with({"send", "text", "--require-ready", "Hello\\n"})).exit_code, 0);

  // A port nobody listens on, and an address that is not one.
  CliRun none = RunCli({"--home", home.path(), "--tcp", "127.0.0.1:1", "status"});
  EXPECT_EQ(none.exit_code, 3);
  EXPECT_NE(none.err.find("no printer answers at 127.0.0.1:1"), std::string::npos) << none.err;
  EXPECT_EQ(RunCli({"--tcp", "127.0.0.1:99999", "status"}).exit_code, 2);
}

}  // namespace
}  // namespace quillon::testing
