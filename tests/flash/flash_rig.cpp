// The flash tests' rig: recording UI and messages, and a scripted printer for the flows.
#include "flash_rig.h"

#include <algorithm>
#include <fstream>
#include <random>

#include <unistd.h>

#include "flash/flash_common.h"
#include "protocol/esc_cmd.h"
#include "virtualprinter/wire_frame.h"

namespace quillon::testing {

std::string RecordingMessages::Text(const std::string& key) {
  if (key.size() == 6 && key.rfind("MSG", 0) == 0) {
    const int n = std::stoi(key.substr(3));
    if (n >= 1 && n <= 31) return key;
  }
  return "ERROR";
}

int RecordingMessages::MSGDLG(int kind, const std::string&, const std::string& text) {
  boxes.push_back({kind, text});
  return 1;
}

void RecordingUi::SetProgress(int64_t position) {
  progress = position;
  ++progress_calls;
  if (writes_when_full < 0 && position == progress_max && usb_) {
    writes_when_full = static_cast<int>(usb_->writes.size());
  }
}

TestPrinter::TestPrinter(ScriptedUsb& usb) {
  usb.on_write = [this](const std::vector<uint8_t>& bytes, ScriptedUsb& u) { OnWrite(bytes, u); };
}

std::vector<const Received*> TestPrinter::WithCode(uint8_t code) const {
  std::vector<const Received*> out;
  for (const Received& r : commands) {
    if (r.code == code) out.push_back(&r);
  }
  return out;
}

void TestPrinter::OnWrite(const std::vector<uint8_t>& bytes, ScriptedUsb& usb) {
  // Read by the printer side's own framing, never by the host's code under test.
  const vp::ScanResult frame = vp::ScanPacket(bytes, kMaxPacketData);
  const bool framed = frame.scan == vp::Scan::kPacket && frame.length == bytes.size();
  if (!framed) {
    raw_writes.push_back(bytes);
    // The older protocol's image follows its 15-byte header.
    if (raw_writes.size() >= 2 && old_status) usb.QueueReply({*old_status});
    return;
  }
  Received r;
  r.kind = bytes[0];
  r.code = bytes[1];
  r.opera = frame.packet.opera;
  r.data.assign(frame.packet.data, frame.packet.data + frame.packet.size);
  r.raw = bytes;
  const bool same = !commands.empty() && commands.back().code == r.code &&
                    commands.back().kind == r.kind && r.data.size() >= 4 &&
                    commands.back().data.size() >= 4 &&
                    GetLE32(commands.back().data.data()) == GetLE32(r.data.data());
  attempt_ = same ? attempt_ + 1 : 1;
  commands.push_back(r);

  const Answer answer = fault ? fault(commands.back(), attempt_) : Answer::kAck;
  if (answer == Answer::kSilent || !Handle(commands.back())) return;
  std::vector<uint8_t> reply = vp::BuildPacket(r.kind, r.code, 0, std::vector<uint8_t>{1});
  if (answer == Answer::kBadChecksum) reply.back() ^= 0xFF;
  usb.QueueReply(reply);
}

bool TestPrinter::Handle(const Received& r) {
  const uint32_t word = r.data.size() >= 4 ? GetLE32(r.data.data()) : 0;
  if (r.kind == kKindBoot) {
    switch (r.code) {
      case 0xF0:
        boot_size = word;
        boot_image.clear();
        return true;
      case 0xF1:
        boot_image.insert(boot_image.end(), r.data.begin(), r.data.end());
        if (corrupt_boot_data && !boot_image.empty()) {
          boot_image.back() ^= 1;
          corrupt_boot_data = false;
        }
        return true;
      case 0xF2:
        boot_verified = boot_image.size() == boot_size &&
                        ImageChecksum(boot_image.data(), boot_image.size()) == word;
        return boot_verified;
      default:
        return true;
    }
  }
  if (r.code == 0xE0) {
    if (r.opera == 0) {
      std::fill(flash.begin(), flash.end(), 0xFF);
    } else {
      if (flash.size() < word + 4096) flash.resize(word + 4096, 0x00);
      std::fill(flash.begin() + word, flash.begin() + word + 4096, 0xFF);
    }
  } else if (r.code == 0xE1) {
    const uint32_t size = GetLE32(r.data.data() + 4);
    if (flash.size() < word + size) flash.resize(word + size, 0x00);
    std::copy(r.data.begin() + 8, r.data.end(), flash.begin() + word);
  }
  return true;
}

FlashRig::FlashRig() {
  link.SetUsbIds("1fc9", "2016");
  link.FindPrinter();
}

TempFile::TempFile(const std::vector<uint8_t>& bytes, const std::string& name) {
  static int counter = 0;
  folder_ = std::filesystem::temp_directory_path() /
            ("quillon_flash_" + std::to_string(::getpid()) + "_" + std::to_string(++counter));
  std::filesystem::create_directories(folder_);
  path_ = folder_ / name;
  std::ofstream out(path_, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

TempFile::~TempFile() {
  std::error_code ec;
  std::filesystem::remove_all(folder_, ec);
}

std::vector<uint8_t> Pattern(size_t size, uint32_t seed) {
  std::vector<uint8_t> bytes(size);
  std::mt19937 gen(seed);
  for (auto& b : bytes) b = static_cast<uint8_t>(gen());
  return bytes;
}

}  // namespace quillon::testing
