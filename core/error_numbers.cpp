// SPDX-License-Identifier: MIT
#include "core/error_numbers.h"

#include <array>

namespace lumivane {
namespace {

constexpr std::array kTable{
    ErrorEntry{ErrorNumber::kInvalidCall, "Invalid procedure call or argument"},
    ErrorEntry{ErrorNumber::kOverflow, "Overflow"},
    ErrorEntry{ErrorNumber::kOutOfMemory, "Out of memory"},
    ErrorEntry{ErrorNumber::kTypeMismatch, "Type mismatch"},
    ErrorEntry{ErrorNumber::kInternal, "Internal error"},
    ErrorEntry{ErrorNumber::kCannotCreate, "Component can't create object"},
    ErrorEntry{ErrorNumber::kNoInterface,
               "Class does not support Automation or does not support expected interface"},
    ErrorEntry{ErrorNumber::kNoSuchMethod, "Object doesn't support this property or method"},
    ErrorEntry{ErrorNumber::kWrongArgCount, "Wrong number of arguments"},
    ErrorEntry{ErrorNumber::kPortOpenNotValid, "Operation not valid while the port is opened"},
    ErrorEntry{ErrorNumber::kPortInvalid, "Invalid port number"},
    ErrorEntry{ErrorNumber::kPortAlreadyOpen, "Port already open"},
    ErrorEntry{ErrorNumber::kPortBusy, "The port is in use by another program"},
    ErrorEntry{ErrorNumber::kPortNotFound, "Port not found or not a serial device"},
    ErrorEntry{ErrorNumber::kPortAccessDenied, "Permission denied to open the port"},
    ErrorEntry{ErrorNumber::kPortSetupFailed, "Could not set the serial line settings"},
    ErrorEntry{ErrorNumber::kPortNotOpen, "Operation valid only when the port is open"},
    ErrorEntry{ErrorNumber::kPortReadFailed, "Error reading from the port"},
    ErrorEntry{ErrorNumber::kPortWriteFailed, "Error writing to the port"},
    ErrorEntry{ErrorNumber::kPortWriteTimedOut, "Write timed out: the device stopped taking data"},
    ErrorEntry{ErrorNumber::kPortDeviceGone, "Device gone: the port was unplugged or hung up"},
    ErrorEntry{ErrorNumber::kPortMapWriteFailed, "The port map could not be changed"},
    ErrorEntry{ErrorNumber::kSettingsUnreadable, "The settings file cannot be read"},
    ErrorEntry{ErrorNumber::kSettingsCorrupt,
               "The settings file is damaged and was left unchanged"},
    ErrorEntry{ErrorNumber::kSettingsWriteFailed, "The settings could not be saved"},
    ErrorEntry{ErrorNumber::kNoDisplay, "No display is available to show the dialog"},
    ErrorEntry{ErrorNumber::kNetworkSocketFailed, "The network output cannot send"},
};

}  // namespace

std::span<const ErrorEntry> ErrorTable() {
  return kTable;
}

std::string_view DescribeError(ErrorNumber number) {
  for (const auto& entry : kTable) {
    if (entry.number == number) return entry.description;
  }
  return "Unknown error";
}

}  // namespace lumivane
