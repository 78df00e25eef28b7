// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <set>
#include <string>
#include <string_view>

#include "core/network_output.h"
#include "core/settings_store.h"
#include "core/user_reports.h"

namespace lumivane {

// The network output's keys in the plug-in's settings section: read at
// init, written by the dialog's OK. Host thread only.
class NetworkOutputSettings {
 public:
  using CidMaker = std::function<NetworkSettings::Cid()>;

  NetworkOutputSettings(SettingsStore& store, UserReports& reports,
                        CidMaker makeCid = MakeDefaultCid);

  // Reads "NetOutput" and, only when it names a protocol, the other keys.
  // A value that does not read leaves the output off and is reported once
  // for each reason while the plug-in is loaded. sACN with no stored CID
  // makes one and stores it; a failing write is reported and the CID made
  // serves this run. Never throws.
  NetworkSettings Read(std::string_view app, std::string_view pluginFile);

  // Stores what the dialog's OK chose and completes `settings` (CID, source
  // name). Off writes "NetOutput" as "" only when a stored value is not
  // empty already, and touches no other key, so a user who never ticked the
  // box keeps the file as it was. Throws Failure; writes before the failing
  // one stay done.
  void Write(std::string_view app, std::string_view pluginFile, NetworkSettings& settings);

  static NetworkSettings::Cid MakeDefaultCid();

 private:
  // The stored CID, or a new one written to the store. Throws Failure when
  // the write fails.
  NetworkSettings::Cid StoredOrNewCid(std::string_view app, const std::string& section);
  void ReportOnce(const std::string& reason);

  SettingsStore& store_;
  UserReports& reports_;
  CidMaker makeCid_;
  std::set<std::string> reported_;
};

inline constexpr std::string_view kNetworkOffMessage = "The network output is off: ";

}  // namespace lumivane
