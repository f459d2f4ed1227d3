// The Windows side of the system services: the program folder, files and the log in
// folders named in Chinese, the registry's port list, and the control block encoding.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/ini_file.h"
#include "core/platform.h"
#include "core/platform_folders.h"
#include "core/ulog.h"
#include "core/utf8_path.h"
#include "link/serial/enum_com_ports.h"
#include "link/serial/line_settings.h"
#include "link/serial/windows_serial.h"

namespace quillon {
namespace {

TEST(WindowsPlatform, ProgramFolderAndFilesUnderChineseNames) {
  const std::string exe = ExecutableFolder();
  ASSERT_GE(exe.size(), 3u);
  EXPECT_EQ(exe.back(), '/');
  EXPECT_EQ(exe.find('\\'), std::string::npos);

  const std::string folder = PathUtf8(std::filesystem::temp_directory_path()) + "/打印机配置";
  std::filesystem::remove_all(Utf8Path(folder));
  ASSERT_TRUE(MakeFolder(folder));
  EXPECT_TRUE(MakeFolder(folder));  // already there

  IniFile config(folder + "/config.ini");
  ASSERT_TRUE(config.WriteString("SYSTEM", "LANGUAGE", "中文"));
  ASSERT_TRUE(config.WriteString("LOG", "TXD_ONOFF", "1"));
  EXPECT_EQ(IniFile(folder + "/config.ini").ReadString("SYSTEM", "LANGUAGE", ""), "中文");

  ExchangeLog log(folder + "/");
  log.init_log();
  const std::string day = log.DailyFileName();
  ASSERT_EQ(log.Write_Log(day, "10 A1", 2), 0);
  std::ifstream in(Utf8Path(day), std::ios::binary);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "TXD\t10 A1\r");
  in.close();
  std::filesystem::remove_all(Utf8Path(folder));
}

TEST(WindowsPlatform, PortsFromTheRegistrySortedAsText) {
  const wchar_t* key = L"Software\\QuillonTest\\SERIALCOMM";
  HKEY k = nullptr;
  ASSERT_EQ(
      RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
      ERROR_SUCCESS);
  const std::pair<const wchar_t*, const wchar_t*> values[] = {{L"\\Device\\Serial2", L"COM3"},
                                                              {L"\\Device\\VCP0", L"COM10"},
                                                              {L"\\Device\\Serial0", L"COM1"}};
  for (auto [name, data] : values) {
    RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                   static_cast<DWORD>((wcslen(data) + 1) * sizeof(wchar_t)));
  }
  RegCloseKey(k);
  std::vector<std::string> ports = {"old"};
  EnumComPorts(ports, "Software\\QuillonTest\\SERIALCOMM");
  EXPECT_EQ(ports, (std::vector<std::string>{"COM1", "COM10", "COM3"}));
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\QuillonTest");

  ports = {"old"};
  EnumComPorts(ports, "Software\\QuillonTest\\SERIALCOMM");  // no key: the list stays
  EXPECT_EQ(ports, (std::vector<std::string>{"old"}));
}

TEST(WindowsPlatform, ControlBlockFromTheLineSettings) {
  LineSettings s;  // the component's defaults
  DCB d = {};
  d.fAbortOnError = 1;
  d.fDummy2 = 0x1FFFF;
  d.EofChar = 0x1A;
  EncodeLineSettings(s, d);
  EXPECT_EQ(d.BaudRate, 9600u);
  EXPECT_EQ(d.fBinary, 1u);
  EXPECT_EQ(d.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
  EXPECT_EQ(d.fRtsControl, static_cast<DWORD>(RTS_CONTROL_ENABLE));
  EXPECT_EQ(d.fOutX, 1u);
  EXPECT_EQ(d.fTXContinueOnXoff, 1u);
  EXPECT_EQ(d.fAbortOnError, 0u);
  EXPECT_EQ(d.fDummy2, 0u);
  EXPECT_EQ(d.EofChar, 0x1A);  // kept
  EXPECT_EQ(d.XonLim, 500);
  EXPECT_EQ(d.ByteSize, 8);
  EXPECT_EQ(d.XonChar, 17);

  s.DtrControl = TDtrControl::DtrHandshake;
  s.RtsControl = TRtsControl::RtsTransmissionAvailable;
  s.Parity = TParity::Space;
  s.StopBits = TStopBits::_1_5;
  s.ByteSize = TByteSize::_5;
  s.Outx_XonXoffFlow = false;
  s.ReplaceWhenParityError = true;
  EncodeLineSettings(s, d);
  EXPECT_EQ(d.fDtrControl, static_cast<DWORD>(DTR_CONTROL_HANDSHAKE));
  EXPECT_EQ(d.fRtsControl, static_cast<DWORD>(RTS_CONTROL_TOGGLE));
  EXPECT_EQ(d.Parity, SPACEPARITY);
  EXPECT_EQ(d.StopBits, ONE5STOPBITS);
  EXPECT_EQ(d.ByteSize, 5);
  EXPECT_EQ(d.fOutX, 0u);
  EXPECT_EQ(d.fErrorChar, 1u);
}

}  // namespace
}  // namespace quillon
