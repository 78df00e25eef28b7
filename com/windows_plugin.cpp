// SPDX-License-Identifier: MIT
#include "com/windows_plugin.h"

#include "com/clock_win32.h"
#include "com/registry_settings_store_win32.h"
#include "core/network_output_settings.h"
#include "network/network_sender.h"
#include "network/node_finder.h"
#include "network/udp_socket_win32.h"
#include "opendmx/d2xx_win32.h"
#include "opendmx/open_dmx_link.h"
#include "prowidget/pro_widget_probe.h"
#include "prowidget/serial_port_win32.h"
#include "prowidget/transmitter.h"
#include "prowidget/widget_link.h"
#include "ui/device_dialog_win32.h"
#include "ui/user_reports_win32.h"

namespace lumivane {
namespace {

class RealWindowsPlugin final : public WindowsPlugin {
 public:
  RealWindowsPlugin()
      : transmitter_([] { return std::make_unique<SerialPortWin32>(); }),
        pro_(state_, transmitter_, reports_),
        routing_(state_, pro_, openDmx_, &network_),
        dialog_({state_, settings_, routing_, probe_, reports_, &networkSettings_, &nodeFinder_}),
        plugin_{state_, settings_, transmitter_, pro_, routing_, dialog_, &networkSettings_} {}

  Plugin& plugin() override { return plugin_; }

 private:
  DriverState state_;
  Win32Clock clock_;
  RegistrySettingsStore settings_;
  Win32UserReports reports_;
  Transmitter transmitter_;
  WidgetLink pro_;
  ReplyParser parser_{reports_};
  ProWidgetProbe probe_{transmitter_, pro_, parser_, clock_, reports_};
  // Destroyed before the adaptor: the link joins its transmitter and
  // closes the device first.
  std::unique_ptr<Win32D2xx> d2xx_ = CreateWin32D2xx();
  OpenDmxUsbLink openDmx_{*d2xx_, reports_, clock_};
  // Winsock outlives the sender and the finder that use it.
  Win32UdpNetwork udp_;
  // Stops its thread (and ends an sACN stream) before the DLL unloads.
  NetworkSender network_{udp_, clock_, reports_};
  ArtNetNodeFinder nodeFinder_{udp_, clock_};
  NetworkOutputSettings networkSettings_{settings_, reports_};
  DeviceRouting routing_;
  Win32DeviceDialog dialog_;
  Plugin plugin_;
};

}  // namespace

std::unique_ptr<WindowsPlugin> WindowsPlugin::Create() {
  return std::make_unique<RealWindowsPlugin>();
}

}  // namespace lumivane
