// SPDX-License-Identifier: MIT
// The one file that sees ftdi.h: its enums leak short names (NONE, ODD).
#include "opendmx/d2xx_libftdi.h"

#include <ftdi.h>

#include <climits>
#include <map>
#include <mutex>

namespace lumivane {
namespace {

constexpr int kFtdiVendor = 0x0403;
constexpr int kOpenDmxProduct = 0x6001;
constexpr int kDivisorClock = 3000000;
constexpr int kFtdiDeviceNotFound = -3;  // ftdi_usb_open_desc_index

struct ContextDeleter {
  void operator()(ftdi_context* context) const noexcept {
    // ftdi_free releases the USB handle if it is still open.
    ftdi_free(context);
  }
};
using Context = std::unique_ptr<ftdi_context, ContextDeleter>;

// A break is a line property, so the word format has to be restated with it.
struct OpenDevice {
  Context context;
  ftdi_bits_type bits = BITS_8;
  ftdi_stopbits_type stopBits = STOP_BIT_1;
  ftdi_parity_type parity = NONE;
};

FT_STATUS Status(int result) {
  return result < 0 ? FT_IO_ERROR : FT_OK;
}

class LibftdiD2xx final : public D2xx {
 public:
  FT_STATUS FT_Open(int deviceNumber, FT_HANDLE* handle) override {
    if (handle == nullptr || deviceNumber < 0) return FT_INVALID_PARAMETER;
    Context context(ftdi_new());
    if (!context) return FT_DEVICE_NOT_FOUND;  // no USB access at all
    // The kernel's serial driver gets the device back once it is closed.
    context->module_detach_mode = AUTO_DETACH_REATACH_SIO_MODULE;
    int result = ftdi_usb_open_desc_index(context.get(), kFtdiVendor, kOpenDmxProduct, nullptr,
                                          nullptr, static_cast<unsigned>(deviceNumber));
    if (result < 0)
      return result == kFtdiDeviceNotFound ? FT_DEVICE_NOT_FOUND : FT_DEVICE_NOT_OPENED;
    std::lock_guard lock(mutex_);
    FT_HANDLE assigned = ++lastHandle_;
    if (assigned == 0) assigned = ++lastHandle_;
    devices_[assigned].context = std::move(context);
    *handle = assigned;
    return FT_OK;
  }

  FT_STATUS FT_ResetDevice(FT_HANDLE handle) override {
    return On(handle, [](OpenDevice& d) { return Status(ftdi_usb_reset(d.context.get())); });
  }

  FT_STATUS FT_SetDivisor(FT_HANDLE handle, uint16_t divisor) override {
    if (divisor == 0) return FT_INVALID_BAUD_RATE;
    return On(handle, [divisor](OpenDevice& d) {
      int result = ftdi_set_baudrate(d.context.get(), kDivisorClock / divisor);
      return result == -1 ? FT_INVALID_BAUD_RATE : Status(result);
    });
  }

  FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, uint8_t wordLength, uint8_t stopBits,
                                      uint8_t parity) override {
    if (wordLength != FT_BITS_7 && wordLength != FT_BITS_8) return FT_INVALID_PARAMETER;
    if (stopBits > 2 || parity > 4) return FT_INVALID_PARAMETER;
    return On(handle, [=](OpenDevice& d) {
      auto bits = wordLength == FT_BITS_7 ? BITS_7 : BITS_8;
      auto stop = static_cast<ftdi_stopbits_type>(stopBits);  // same numbering as D2XX
      auto par = static_cast<ftdi_parity_type>(parity);
      FT_STATUS status =
          Status(ftdi_set_line_property2(d.context.get(), bits, stop, par, BREAK_OFF));
      if (status == FT_OK) {
        d.bits = bits;
        d.stopBits = stop;
        d.parity = par;
      }
      return status;
    });
  }

  FT_STATUS FT_SetFlowControl(FT_HANDLE handle, uint16_t flowControl, uint8_t xon,
                              uint8_t xoff) override {
    return On(handle, [=](OpenDevice& d) {
      switch (flowControl) {
        case SIO_DISABLE_FLOW_CTRL:
        case SIO_RTS_CTS_HS:
        case SIO_DTR_DSR_HS:
          return Status(ftdi_setflowctrl(d.context.get(), flowControl));
        case SIO_XON_XOFF_HS:
          return Status(ftdi_setflowctrl_xonxoff(d.context.get(), xon, xoff));
        default:
          return FT_INVALID_PARAMETER;
      }
    });
  }

  FT_STATUS FT_ClrRts(FT_HANDLE handle) override {
    return On(handle, [](OpenDevice& d) { return Status(ftdi_setrts(d.context.get(), 0)); });
  }

  FT_STATUS FT_Purge(FT_HANDLE handle, uint32_t mask) override {
    if (mask == 0 || (mask & ~(FT_PURGE_RX | FT_PURGE_TX)) != 0) return FT_INVALID_PARAMETER;
    return On(handle, [mask](OpenDevice& d) {
      if ((mask & FT_PURGE_RX) != 0 && ftdi_tciflush(d.context.get()) < 0) return FT_IO_ERROR;
      if ((mask & FT_PURGE_TX) != 0 && ftdi_tcoflush(d.context.get()) < 0) return FT_IO_ERROR;
      return FT_OK;
    });
  }

  FT_STATUS FT_Close(FT_HANDLE handle) override {
    std::lock_guard lock(mutex_);
    auto it = devices_.find(handle);
    if (it == devices_.end()) return FT_INVALID_HANDLE;
    FT_STATUS status = Status(ftdi_usb_close(it->second.context.get()));
    devices_.erase(it);
    return status;
  }

  FT_STATUS FT_Write(FT_HANDLE handle, const uint8_t* buffer, uint32_t bytesToWrite,
                     uint32_t* bytesWritten) override {
    if (bytesWritten == nullptr || (buffer == nullptr && bytesToWrite != 0)) {
      return FT_INVALID_PARAMETER;
    }
    *bytesWritten = 0;
    if (bytesToWrite > INT_MAX) return FT_INVALID_PARAMETER;
    return On(handle, [=](OpenDevice& d) {
      int written = ftdi_write_data(d.context.get(), buffer, static_cast<int>(bytesToWrite));
      if (written < 0) return FT_IO_ERROR;
      *bytesWritten = static_cast<uint32_t>(written);
      return FT_OK;
    });
  }

  FT_STATUS FT_SetBreakOn(FT_HANDLE handle) override { return SetBreak(handle, BREAK_ON); }
  FT_STATUS FT_SetBreakOff(FT_HANDLE handle) override { return SetBreak(handle, BREAK_OFF); }

 private:
  FT_STATUS SetBreak(FT_HANDLE handle, ftdi_break_type state) {
    return On(handle, [state](OpenDevice& d) {
      return Status(ftdi_set_line_property2(d.context.get(), d.bits, d.stopBits, d.parity, state));
    });
  }

  // Runs one call on an open device. The lock is held for the whole call, so
  // a close can never free a context that another thread is using.
  template <typename Call>
  FT_STATUS On(FT_HANDLE handle, Call&& call) {
    std::lock_guard lock(mutex_);
    auto it = devices_.find(handle);
    if (it == devices_.end()) return FT_INVALID_HANDLE;
    return call(it->second);
  }

  std::mutex mutex_;
  std::map<FT_HANDLE, OpenDevice> devices_;
  FT_HANDLE lastHandle_ = 0;
};

}  // namespace

std::unique_ptr<D2xx> CreateLibftdiD2xx() {
  return std::make_unique<LibftdiD2xx>();
}

}  // namespace lumivane
