// SPDX-License-Identifier: MIT
#include "plugin/plugin_instance.h"

#include "opendmx/d2xx_libftdi.h"
#include "opendmx/open_dmx_link.h"
#include "plugin/keyfile_settings_store.h"
#include "plugin/stderr_user_reports.h"
#include "ui/device_dialog_fltk.h"
#include "ui/user_reports_fltk.h"

namespace lumivane {
namespace {

// Parts whose real implementation has not been wired in yet.
class NoProLink final : public ProLink {
 public:
  void OpenProPort() override {}
  void CloseProPort() override {}
  void SendProUniverse() override {}
  void RequestProSerial() override {}
};

class NoTransmitter final : public TransmitterWindow {
 public:
  void Load() override {}
};

class NoProbes final : public ProPortProbes {
 public:
  void ScanProPorts(WidgetDisplay&) override {}
  void TestProPort(int16_t, WidgetDisplay&) override {}
};

class RealPluginInstance final : public PluginInstance {
 public:
  RealPluginInstance()
      : settings_(KeyFileSettingsStore::DefaultFolder()),
        routing_(state_, pro_, openDmx_),
        dialog_({state_, settings_, routing_, probes_, reports_}),
        plugin_{state_, settings_, transmitter_, pro_, routing_, dialog_} {}

  Plugin& plugin() override { return plugin_; }

 private:
  DriverState state_;
  KeyFileSettingsStore settings_;
  StderrUserReports stderrReports_;
  ToolkitUserReports reports_{stderrReports_};
  NoProLink pro_;
  // Destroyed before the adaptor: the link joins its transmitter and
  // closes the device when the plug-in file is unloaded.
  std::unique_ptr<D2xx> d2xx_ = CreateLibftdiD2xx();
  PosixMonotonicClock clock_;
  OpenDmxUsbLink openDmx_{*d2xx_, reports_, clock_};
  NoTransmitter transmitter_;
  NoProbes probes_;
  DeviceRouting routing_;
  FltkDeviceDialog dialog_;
  Plugin plugin_;
};

}  // namespace

PluginInstance& PluginInstance::Get() {
  static RealPluginInstance instance;
  return instance;
}

}  // namespace lumivane
