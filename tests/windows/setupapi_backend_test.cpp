// The SetupAPI USB backend through a scripted fake of the system calls: enumeration, open
// failures, reads with their time-out, writes, a printer that vanishes.
#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <deque>
#include <string>
#include <vector>

#include "link/usb_backend_setupapi.h"
#include "support/fake_clock.h"

namespace quillon {
namespace {

const HDEVINFO kSet = reinterpret_cast<HDEVINFO>(0x51);
const HANDLE kFile = reinterpret_cast<HANDLE>(0x61);

// Devices by path; transfers scripted as (result, error, bytes) per call.
class FakeApi final : public SetupApi {
 public:
  struct Step {
    BOOL ok;
    DWORD error;  // GetLastError after a failed call; ERROR_IO_PENDING to complete later
    DWORD bytes;
    bool completes = true;  // a pending transfer completes within the wait
  };
  std::vector<std::wstring> paths;
  bool refuse_set = false;
  int fail_detail_at = -1;
  int destroyed = 0;
  DWORD open_error = 0;
  std::wstring opened;
  DWORD open_flags = 0, open_share = 0;
  std::deque<Step> steps;
  int cancels = 0, closed = 0;
  std::vector<uint8_t> read_data;

  HDEVINFO GetClassDevs(const GUID* cls, DWORD flags) override {
    EXPECT_EQ(std::memcmp(cls, &kUsbDeviceInterfaceClass, sizeof(GUID)), 0);
    EXPECT_EQ(flags, static_cast<DWORD>(DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
    return refuse_set ? INVALID_HANDLE_VALUE : kSet;
  }
  BOOL EnumDeviceInterfaces(HDEVINFO, const GUID*, DWORD index,
                            SP_DEVICE_INTERFACE_DATA* data) override {
    EXPECT_EQ(data->cbSize, sizeof(SP_DEVICE_INTERFACE_DATA));
    data->Reserved = index;
    return index < paths.size();
  }
  BOOL GetDeviceInterfaceDetail(HDEVINFO, SP_DEVICE_INTERFACE_DATA* data,
                                SP_DEVICE_INTERFACE_DETAIL_DATA_W* detail, DWORD size,
                                DWORD* required) override {
    const std::wstring& p = paths[data->Reserved];
    const DWORD need = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) +
                                          (p.size() + 1) * sizeof(wchar_t));
    if (!detail) {
      if (required) *required = need;
      last_ = ERROR_INSUFFICIENT_BUFFER;
      return FALSE;
    }
    if (static_cast<int>(data->Reserved) == fail_detail_at) return FALSE;
    EXPECT_EQ(detail->cbSize, sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W));
    EXPECT_GE(size, need);
    std::wmemcpy(detail->DevicePath, p.c_str(), p.size() + 1);
    return TRUE;
  }
  BOOL DestroyDeviceInfoList(HDEVINFO set) override {
    EXPECT_EQ(set, kSet);
    ++destroyed;
    return TRUE;
  }
  HANDLE OpenDevice(const wchar_t* path, DWORD access, DWORD share, SECURITY_ATTRIBUTES* sa,
                    DWORD disposition, DWORD flags) override {
    opened = path;
    open_share = share;
    open_flags = flags;
    EXPECT_EQ(access, static_cast<DWORD>(GENERIC_READ | GENERIC_WRITE));
    EXPECT_EQ(disposition, static_cast<DWORD>(OPEN_EXISTING));
    EXPECT_EQ(sa->nLength, sizeof(SECURITY_ATTRIBUTES));
    EXPECT_FALSE(sa->bInheritHandle);
    last_ = open_error;
    return open_error ? INVALID_HANDLE_VALUE : kFile;
  }
  BOOL WriteFile(HANDLE, const void* data, DWORD size, DWORD* done, OVERLAPPED*) override {
    written.insert(written.end(), static_cast<const uint8_t*>(data),
                   static_cast<const uint8_t*>(data) + std::min<DWORD>(size, Next().bytes));
    return Start(done);
  }
  BOOL ReadFile(HANDLE, void* data, DWORD size, DWORD* done, OVERLAPPED*) override {
    const DWORD n = std::min<DWORD>(size, Next().bytes);
    std::memcpy(data, read_data.data(), std::min<size_t>(n, read_data.size()));
    return Start(done);
  }
  BOOL GetOverlappedResult(HANDLE, OVERLAPPED*, DWORD* done, BOOL wait) override {
    EXPECT_TRUE(wait);
    *done = current_.completes ? current_.bytes : 0;
    if (!current_.completes) {
      last_ = ERROR_OPERATION_ABORTED;
      return FALSE;
    }
    return TRUE;
  }
  DWORD WaitForSingleObject(HANDLE, DWORD ms) override {
    waited_ms.push_back(ms);
    if (current_.completes) return WAIT_OBJECT_0;
    clock.Advance(ms);  // the whole wait ran out
    return WAIT_TIMEOUT;
  }
  BOOL CancelIoEx(HANDLE h, OVERLAPPED*) override {
    EXPECT_EQ(h, kFile);
    ++cancels;
    return TRUE;
  }
  BOOL CloseHandle(HANDLE h) override {
    EXPECT_EQ(h, kFile);
    ++closed;
    return TRUE;
  }
  DWORD GetLastError() override { return last_; }

  std::vector<uint8_t> written;
  std::vector<DWORD> waited_ms;
  testing::FakeClock clock;

 private:
  const Step& Next() {
    current_ = steps.empty() ? Step{FALSE, ERROR_GEN_FAILURE, 0} : steps.front();
    if (!steps.empty()) steps.pop_front();
    return current_;
  }
  BOOL Start(DWORD* done) {
    last_ = current_.error;
    *done = current_.ok ? current_.bytes : 0;
    return current_.ok;
  }
  Step current_{};
  DWORD last_ = 0;
};

TEST(SetupApiBackend, ListsEveryPresentInterfaceAndReleasesTheSet) {
  FakeApi api;
  api.paths = {L"\\\\?\\usb#vid_1fc9&pid_2016#5&1&0#{a5dcbf10-6530-11d2-901f-00c04fb951ed}",
               L"\\\\?\\usb#vid_046d&pid_c52b#6&2&0#{a5dcbf10-6530-11d2-901f-00c04fb951ed}"};
  SetupApiBackend usb(api, api.clock);
  std::vector<std::string> paths = {"kept"};
  usb.ListDevicePaths(paths);
  ASSERT_EQ(paths.size(), 3u);
  EXPECT_EQ(paths[1], "\\\\?\\usb#vid_1fc9&pid_2016#5&1&0#{a5dcbf10-6530-11d2-901f-00c04fb951ed}");
  EXPECT_EQ(api.destroyed, 1);

  api.fail_detail_at = 1;  // a detail that cannot be fetched ends the list there
  paths.clear();
  usb.ListDevicePaths(paths);
  EXPECT_EQ(paths.size(), 1u);
  EXPECT_EQ(api.destroyed, 2);

  api.refuse_set = true;
  usb.ListDevicePaths(paths);
  EXPECT_EQ(paths.size(), 1u);
  EXPECT_EQ(api.destroyed, 2);  // nothing to release
}

TEST(SetupApiBackend, OpenSharedOverlappedAndClassifiesFailures) {
  FakeApi api;
  SetupApiBackend usb(api, api.clock);
  {
    UsbOpenResult r = usb.Open("\\\\?\\usb#vid_1fc9&pid_2016#x");
    ASSERT_TRUE(r.device);
    EXPECT_EQ(api.opened, L"\\\\?\\usb#vid_1fc9&pid_2016#x");
    EXPECT_EQ(api.open_share, static_cast<DWORD>(FILE_SHARE_READ | FILE_SHARE_WRITE));
    EXPECT_EQ(api.open_flags, static_cast<DWORD>(FILE_FLAG_OVERLAPPED));
  }
  EXPECT_EQ(api.closed, 1);  // closing is the device's destruction
  const std::pair<DWORD, UsbError> cases[] = {{ERROR_FILE_NOT_FOUND, UsbError::kNotFound},
                                              {ERROR_ACCESS_DENIED, UsbError::kAccess},
                                              {ERROR_SHARING_VIOLATION, UsbError::kBusy},
                                              {ERROR_GEN_FAILURE, UsbError::kIo}};
  for (auto [error, kind] : cases) {
    api.open_error = error;
    UsbOpenResult r = usb.Open("p");
    EXPECT_FALSE(r.device);
    EXPECT_EQ(r.error, kind) << error;
    EXPECT_FALSE(r.message.empty());
  }
}

TEST(SetupApiBackend, TransfersWaitAtMostTheirTimeOut) {
  FakeApi api;
  SetupApiBackend usb(api, api.clock);
  UsbOpenResult r = usb.Open("p");
  ASSERT_TRUE(r.device);
  UsbDevice& dev = *r.device;
  uint8_t buf[8192];
  api.read_data = {1, 2, 3};
  // A reply at once; a reply after a wait; nothing within the slice (cancelled, 0 bytes);
  // a read failure that means nothing; a printer that is gone.
  api.steps = {{TRUE, 0, 3},
               {FALSE, ERROR_IO_PENDING, 2},
               {FALSE, ERROR_IO_PENDING, 0, false},
               {FALSE, ERROR_OPERATION_ABORTED, 0},
               {FALSE, ERROR_DEVICE_NOT_CONNECTED, 0}};
  EXPECT_EQ(dev.Read(buf, sizeof buf, 10), 3);
  EXPECT_EQ(dev.Read(buf, sizeof buf, 10), 2);
  EXPECT_EQ(dev.Read(buf, sizeof buf, 7), 0);
  EXPECT_EQ(api.cancels, 1);
  EXPECT_EQ(api.waited_ms, (std::vector<DWORD>{10, 7}));
  EXPECT_EQ(dev.Read(buf, sizeof buf, 10), 0);
  EXPECT_EQ(dev.Read(buf, sizeof buf, 10), -1);

  // Writes: whole at once, and in two pieces.
  const std::vector<uint8_t> data = {9, 8, 7, 6, 5};
  api.steps = {{TRUE, 0, 5}, {TRUE, 0, 2}, {FALSE, ERROR_IO_PENDING, 3}};
  EXPECT_TRUE(dev.Write(data.data(), 5));
  EXPECT_TRUE(dev.Write(data.data(), 5));
  EXPECT_EQ(api.written, (std::vector<uint8_t>{9, 8, 7, 6, 5, 9, 8, 7, 6, 5}));
  EXPECT_EQ(api.waited_ms.back(), SetupApiBackend::kWriteTimeoutMs);
  api.steps = {{TRUE, 0, 0}};
  EXPECT_TRUE(dev.Write(data.data(), 0));  // a write of 0 bytes is still issued
  EXPECT_TRUE(api.steps.empty());
}

TEST(SetupApiBackend, WritesWaitForAPrinterThatHoldsThePipeOffWhileItIsPresent) {
  FakeApi api;
  SetupApiBackend usb(api, api.clock);
  UsbOpenResult r = usb.Open("p");
  ASSERT_TRUE(r.device);
  UsbDevice& dev = *r.device;
  const std::vector<uint8_t> data = {9, 8, 7, 6, 5};
  const FakeApi::Step held = {FALSE, ERROR_IO_PENDING, 0, false};
  const auto slices = [](uint32_t ms) { return ms / SetupApiBackend::kWriteTimeoutMs; };

  // Held off for just under the hold-off, then one byte, held again as long, then the
  // rest: the hold-off counts from the last progress, so the write goes through.
  api.steps.assign(slices(kMinWriteHoldOffMs) - 1, held);
  api.steps.push_back({FALSE, ERROR_IO_PENDING, 1});
  api.steps.insert(api.steps.end(), slices(kMinWriteHoldOffMs) - 1, held);
  api.steps.push_back({TRUE, 0, 4});
  EXPECT_TRUE(dev.Write(data.data(), 5));
  EXPECT_EQ(api.written, (std::vector<uint8_t>{9, 8, 7, 6, 5}));
  EXPECT_TRUE(api.steps.empty());

  // Nothing taken for the whole hold-off: the write fails, without writing on.
  api.steps.assign(slices(kMinWriteHoldOffMs) + 2, held);
  const uint32_t start = api.clock.NowMs();
  EXPECT_FALSE(dev.Write(data.data(), 5));
  EXPECT_EQ(api.clock.NowMs() - start, kMinWriteHoldOffMs);
  EXPECT_EQ(api.steps.size(), 2u);

  // A command with a longer reply wait holds on that long.
  dev.SetWriteHoldOff(60000);
  api.steps.assign(slices(60000) - 1, held);
  api.steps.push_back({TRUE, 0, 5});
  EXPECT_TRUE(dev.Write(data.data(), 5));

  // A printer unplugged while holding off ends the write at once.
  api.steps = {held, held, {FALSE, ERROR_DEVICE_NOT_CONNECTED, 0}, {TRUE, 0, 5}};
  EXPECT_FALSE(dev.Write(data.data(), 5));
  EXPECT_EQ(api.steps.size(), 1u);

  // A device that completes writes at once without taking a byte is not written to forever.
  api.steps.assign(5, FakeApi::Step{TRUE, 0, 0});
  EXPECT_FALSE(dev.Write(data.data(), 5));
  EXPECT_EQ(api.steps.size(), 2u);
}

}  // namespace
}  // namespace quillon
