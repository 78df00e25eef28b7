// SPDX-License-Identifier: MIT
#include "plugin/plugin_instance.h"

#include "core/network_output_settings.h"
#include "network/network_sender.h"
#include "network/node_finder.h"
#include "network/udp_socket_posix.h"
#include "opendmx/d2xx_libftdi.h"
#include "opendmx/open_dmx_link.h"
#include "plugin/keyfile_settings_store.h"
#include "plugin/stderr_user_reports.h"
#include "posix/clock_posix.h"
#include "prowidget/pro_widget_probe.h"
#include "prowidget/serial_port_posix.h"
#include "prowidget/transmitter.h"
#include "prowidget/widget_link.h"
#include "ui/device_dialog_fltk.h"
#include "ui/toolkit_residency_fltk.h"
#include "ui/user_reports_fltk.h"

namespace lumivane {
namespace {

// As the file is loaded, before any call.
[[maybe_unused]] const bool kToolkitKept = (KeepToolkitLoaded(), true);

class RealPluginInstance final : public PluginInstance {
 public:
  RealPluginInstance()
      : settings_(KeyFileSettingsStore::DefaultFolder(), clock_, KeyFileSettingsStore::kLockTimeout,
                  &reports_),
        transmitter_([] { return std::make_unique<SerialPortPosix>(); }),
        pro_(state_, transmitter_, reports_),
        routing_(state_, pro_, openDmx_, &network_),
        dialog_({state_, settings_, routing_, probe_, reports_, &networkSettings_, &nodeFinder_}),
        plugin_{state_, settings_, transmitter_, pro_, routing_, dialog_, &networkSettings_} {}

  Plugin& plugin() override { return plugin_; }

  ProPortProbes& probes() override { return probe_; }
  NodeFinder& nodeFinder() override { return nodeFinder_; }

 private:
  DriverState state_;
  PosixClock clock_;
  StderrUserReports stderrReports_;
  ToolkitUserReports reports_{stderrReports_};
  KeyFileSettingsStore settings_;
  Transmitter transmitter_;
  WidgetLink pro_;
  ReplyParser parser_{reports_};
  ProWidgetProbe probe_{transmitter_, pro_, parser_, clock_, reports_};
  // Destroyed before the adaptor: the link joins its transmitter and
  // closes the device when the plug-in file is unloaded.
  std::unique_ptr<D2xx> d2xx_ = CreateLibftdiD2xx();
  OpenDmxUsbLink openDmx_{*d2xx_, reports_, clock_};
  PosixUdpNetwork udp_;
  // Stops its thread (and ends an sACN stream) when the file is unloaded.
  NetworkSender network_{udp_, clock_, reports_};
  ArtNetNodeFinder nodeFinder_{udp_, clock_};
  NetworkOutputSettings networkSettings_{settings_, reports_};
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
