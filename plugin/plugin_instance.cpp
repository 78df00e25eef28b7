// SPDX-License-Identifier: MIT
#include "plugin/plugin_instance.h"

#include "plugin/keyfile_settings_store.h"
#include "plugin/stderr_user_reports.h"
#include "prowidget/port_scan.h"
#include "prowidget/port_test.h"

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

class NoOpenDmxLink final : public OpenDmxLink {
 public:
  void StartOpenDmx() override {}
  void StopOpenDmx() override {}
  void StageOpenDmxFrame(const Universe&) override {}
};

// Until the serial layer is wired in, no port can be opened.
class NoSerialComponent final : public SerialComponent {
 public:
  void SetCommPort(int16_t port) override { port_ = port; }
  int16_t CommPort() const override { return port_; }
  void SetPortOpen(bool open) override {
    if (open) throw Failure(ErrorNumber::kPortNotFound);
  }
  bool PortOpen() const override { return false; }
  void Output(std::string_view) override { throw Failure(ErrorNumber::kPortNotOpen); }
  std::string Input() override { throw Failure(ErrorNumber::kPortNotOpen); }
  int16_t InBufferCount() override { throw Failure(ErrorNumber::kPortNotOpen); }

 private:
  int16_t port_ = 1;
};

class NoDialog final : public DeviceDialog {
 public:
  void Show() override {}
  bool IsLoaded() const override { return false; }
  void PumpEvents(int) override {}
};

class RealPluginInstance final : public PluginInstance {
 public:
  RealPluginInstance()
      : settings_(KeyFileSettingsStore::DefaultFolder()),
        routing_(state_, pro_, openDmx_),
        plugin_{state_, settings_, transmitter_, pro_, routing_, dialog_} {}

  Plugin& plugin() override { return plugin_; }

  void ScanProPorts(WidgetDisplay& display) override { scan_.ScanProPorts(display); }
  void TestProPort(int16_t comPort, WidgetDisplay& display) override {
    lumivane::TestProPort(transmitter_, pro_, parser_, sleeper_, reports_, comPort, display);
  }

 private:
  DriverState state_;
  KeyFileSettingsStore settings_;
  StderrUserReports reports_;
  NoProLink pro_;
  NoOpenDmxLink openDmx_;
  Transmitter transmitter_{[] { return std::make_unique<NoSerialComponent>(); }};
  NoDialog dialog_;
  DeviceRouting routing_;
  Plugin plugin_;
  SystemSleeper sleeper_;
  ReplyParser parser_{reports_};
  PortScan scan_{transmitter_, pro_, parser_, sleeper_};
};

}  // namespace

PluginInstance& PluginInstance::Get() {
  static RealPluginInstance instance;
  return instance;
}

}  // namespace lumivane
