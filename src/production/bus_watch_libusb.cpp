// Hot-plug through libusb (Linux): a context of its own whose events wake the watcher.
#include <libusb.h>

#include <atomic>
#include <chrono>

#include "production/bus_watch.h"

namespace quillon::production {
namespace {

class LibusbWatch final : public BusWatch {
 public:
  LibusbWatch() {
    if (libusb_init(&ctx_) != 0) {
      ctx_ = nullptr;
      return;
    }
    if (!libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG) ||
        libusb_hotplug_register_callback(
            ctx_,
            static_cast<libusb_hotplug_event>(LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED |
                                              LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT),
            LIBUSB_HOTPLUG_NO_FLAGS, LIBUSB_HOTPLUG_MATCH_ANY, LIBUSB_HOTPLUG_MATCH_ANY,
            LIBUSB_HOTPLUG_MATCH_ANY, &LibusbWatch::OnEvent, this, &handle_) != 0) {
      libusb_exit(ctx_);
      ctx_ = nullptr;
    }
  }
  ~LibusbWatch() override {
    if (!ctx_) return;
    libusb_hotplug_deregister_callback(ctx_, handle_);
    libusb_exit(ctx_);
  }

  bool hotplug() const override { return ctx_ != nullptr; }

  void Wait(uint32_t max_wait_ms, const StopRequest& stop) override {
    if (!ctx_) return PauseWatchingStop(max_wait_ms, stop);
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(max_wait_ms);
    changed_ = false;
    while (!changed_ && !stop.Requested() && std::chrono::steady_clock::now() < end) {
      timeval slice{0, 50 * 1000};
      libusb_handle_events_timeout_completed(ctx_, &slice, nullptr);
    }
  }

 private:
  static int LIBUSB_CALL OnEvent(libusb_context*, libusb_device*, libusb_hotplug_event,
                                 void* self) {
    static_cast<LibusbWatch*>(self)->changed_ = true;
    return 0;  // stay registered
  }

  libusb_context* ctx_ = nullptr;
  libusb_hotplug_callback_handle handle_ = 0;
  std::atomic<bool> changed_{false};
};

}  // namespace

std::unique_ptr<BusWatch> MakeBusWatch() {
  return std::make_unique<LibusbWatch>();
}

}  // namespace quillon::production
