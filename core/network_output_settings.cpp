// SPDX-License-Identifier: MIT
#include "core/network_output_settings.h"

#include "core/failure.h"
#include "core/network_setting_text.h"
#include "core/number_text.h"
#include "core/output_driver.h"

namespace lumivane {
namespace {

std::string Quoted(std::string_view text) {
  return "\"" + std::string(text) + "\"";
}

}  // namespace

NetworkOutputSettings::NetworkOutputSettings(SettingsStore& store, UserReports& reports,
                                             CidMaker makeCid)
    : store_(store), reports_(reports), makeCid_(std::move(makeCid)) {}

NetworkSettings::Cid NetworkOutputSettings::MakeDefaultCid() {
  return MakeRandomCid();
}

NetworkSettings NetworkOutputSettings::Read(std::string_view app, std::string_view pluginFile) {
  const std::string section = PluginSection(pluginFile);
  NetworkSettings settings;
  const NetworkSettings::Protocol protocol =
      ReadNetOutputText(store_.Read(app, section, kKeyNetOutput));
  if (protocol == NetworkSettings::Protocol::kOff) return settings;

  const std::string address = store_.Read(app, section, kKeyNetAddress);
  if (!address.empty()) {
    settings.address = ReadIpv4Text(address);
    if (!settings.address) {
      ReportOnce(Quoted(kKeyNetAddress) + " is no IPv4 address: " + Quoted(address));
      return {};
    }
  }
  const std::string universe = store_.Read(app, section, kKeyNetUniverse);
  const std::optional<uint16_t> number = ReadNetUniverseText(universe, protocol);
  if (!number) {
    const UniverseRange range = UniverseRangeOf(protocol);
    ReportOnce(Quoted(kKeyNetUniverse) + " is no universe " + PlainDecimal(range.lowest) + ".." +
               PlainDecimal(range.highest) + ": " + Quoted(universe));
    return {};
  }
  settings.universe = *number;
  if (protocol == NetworkSettings::Protocol::kSacn) {
    const std::string cid = store_.Read(app, section, kKeyNetSourceCID);
    if (!cid.empty() && !ReadCidText(cid)) {
      ReportOnce(Quoted(kKeyNetSourceCID) + " is no UUID: " + Quoted(cid));
      return {};
    }
    try {
      settings.cid = StoredOrNewCid(app, section);
    } catch (const Failure& failure) {
      // Sends all the same; the next run makes another.
      reports_.ShowMessage(failure.description());
      settings.cid = makeCid_();
    }
  }
  settings.sourceName = std::string(kPluginName);
  settings.protocol = protocol;
  return settings;
}

void NetworkOutputSettings::Write(std::string_view app, std::string_view pluginFile,
                                  NetworkSettings& settings) {
  const std::string section = PluginSection(pluginFile);
  if (settings.protocol == NetworkSettings::Protocol::kOff) {
    if (!store_.Read(app, section, kKeyNetOutput).empty()) {
      store_.Write(app, section, kKeyNetOutput, "");
    }
    return;
  }
  settings.sourceName = std::string(kPluginName);
  // The CID first: it is made once, when sACN is first enabled.
  if (settings.protocol == NetworkSettings::Protocol::kSacn) {
    settings.cid = StoredOrNewCid(app, section);
  }
  store_.Write(app, section, kKeyNetOutput, NetOutputText(settings.protocol));
  store_.Write(app, section, kKeyNetAddress,
               settings.address ? Ipv4Text(*settings.address) : std::string());
  store_.Write(app, section, kKeyNetUniverse, PlainDecimal(settings.universe));
}

NetworkSettings::Cid NetworkOutputSettings::StoredOrNewCid(std::string_view app,
                                                           const std::string& section) {
  if (const auto stored = ReadCidText(store_.Read(app, section, kKeyNetSourceCID))) return *stored;
  const NetworkSettings::Cid cid = makeCid_();
  store_.Write(app, section, kKeyNetSourceCID, CidText(cid));
  return cid;
}

void NetworkOutputSettings::ReportOnce(const std::string& reason) {
  if (reported_.insert(reason).second)
    reports_.ShowMessage(std::string(kNetworkOffMessage) + reason);
}

}  // namespace lumivane
