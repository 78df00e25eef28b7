// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace lumivane {

// Every error number the host can see, one table for the whole plug-in.
// The README lists the same table; keep the two in step.
enum class ErrorNumber : int32_t {
  // Language-level conversions and calls.
  kInvalidCall = 5,  // bad argument through the C boundary
  kOverflow = 6,     // a number does not fit its type
  kOutOfMemory = 7,
  kTypeMismatch = 13,    // a text that is not a number
  kInternal = 51,        // an unexpected failure inside the plug-in
  kCannotCreate = 429,   // factory asked for a class it does not have
  kNoInterface = 430,    // QueryInterface for an interface the object lacks
  kNoSuchMethod = 438,   // call by name with an unknown method
  kWrongArgCount = 450,  // call by name with the wrong number of arguments

  // The serial-port component.
  kPortOpenNotValid = 8000,    // operation not valid while the port is open
  kPortInvalid = 8002,         // invalid port number
  kPortAlreadyOpen = 8005,     // port already open
  kPortBusy = 8010,            // held by another process
  kPortNotFound = 8012,        // no such device, or not a tty
  kPortAccessDenied = 8013,    // no permission to open the device
  kPortSetupFailed = 8015,     // line settings could not be applied
  kPortNotOpen = 8018,         // operation valid only while the port is open
  kPortReadFailed = 8020,      // error reading the device
  kPortWriteFailed = 8021,     // error writing the device
  kPortWriteTimedOut = 8022,   // the device stopped taking data
  kPortDeviceGone = 8023,      // the device went away (unplugged, hung up)
  kPortMapWriteFailed = 8024,  // the port map could not be changed

  // The settings store.
  kSettingsUnreadable = 9100,   // file exists but cannot be read
  kSettingsCorrupt = 9101,      // file does not parse; left as it was
  kSettingsWriteFailed = 9102,  // could not write (permissions, disk full)

  // The device dialog.
  kNoDisplay = 9200,  // no display to show the dialog on

  // The network output.
  kNetworkSocketFailed = 9300,  // a socket could not be opened or sent on
};

struct ErrorEntry {
  ErrorNumber number;
  std::string_view description;
};

std::span<const ErrorEntry> ErrorTable();
std::string_view DescribeError(ErrorNumber number);

}  // namespace lumivane
