// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "ui/device_view.h"

class Fl_Box;
class Fl_Button;
class Fl_Check_Button;
class Fl_Double_Window;
class Fl_Hold_Browser;
class Fl_Input;
class Fl_Round_Button;
class Fl_Widget;

namespace lumivane {

// The window of the device dialog and its controls, laid out as designed
// in twips at 15 twips a pixel. Built hidden; every control starts from its
// designed state. The display must be open. Host thread only.
class DeviceWindow final : public DeviceView {
 public:
  struct Events {
    std::function<void()> optDMXUSBproClick;
    std::function<void()> cmdTestClick;
    std::function<void()> cmdOKClick;
    std::function<void()> closeBox;  // the window's close box or close command
    std::function<void()> cmdFindNodesClick;
    std::function<void()> lstNodesClick;
  };

  explicit DeviceWindow(Events events);
  // Hides and discards the window; not from inside its own callbacks.
  ~DeviceWindow() override;
  DeviceWindow(const DeviceWindow&) = delete;
  DeviceWindow& operator=(const DeviceWindow&) = delete;

  // Shows it centred on the screen the first time, then only raises it.
  void Show();

  void AddListEntry(std::string_view text) override;
  void SetLastEntryItemData(int32_t data) override;
  void SetInfoCaption(std::string_view text) override;
  void SetResultCaption(std::string_view text) override;
  void SetPortText(std::string_view text) override;
  std::string PortText() const override;
  void SelectProWidget() override;
  bool ProWidgetSelected() const override;
  bool OpenDmxSelected() const override;
  void SetNetworkFields(const NetworkFields& fields) override;
  NetworkFields TypedNetworkFields() const override;
  void SetNodeEntries(const std::vector<std::string>& entries) override;
  int SelectedNodeEntry() const override;

  // The controls, for tests that drive the dialog through the toolkit.
  Fl_Double_Window& frmDevice() const { return *window_; }
  Fl_Button& cmdOK() const { return *cmdOK_; }
  Fl_Box& Frame1() const { return *Frame1_; }
  Fl_Round_Button& optOpenDMXUSB() const { return *optOpenDMXUSB_; }
  Fl_Round_Button& optDMXUSBpro() const { return *optDMXUSBpro_; }
  Fl_Box& Label1() const { return *Label1_; }
  Fl_Input& txtCommPort() const { return *txtCommPort_; }
  Fl_Check_Button& chkArtNet() const { return *chkArtNet_; }
  Fl_Box& lblinfo() const { return *lblinfo_; }
  Fl_Hold_Browser& devList() const { return *devList_; }
  Fl_Button& cmdTest() const { return *cmdTest_; }
  Fl_Box& lblResult() const { return *lblResult_; }
  Fl_Button& cmdNetwork() const { return *cmdNetwork_; }
  // The network output's own small window, opened by cmdNetwork.
  Fl_Double_Window& frmNetwork() const { return *network_; }
  Fl_Round_Button& optArtNet() const { return *optArtNet_; }
  Fl_Round_Button& optSacn() const { return *optSacn_; }
  Fl_Input& txtNetAddress() const { return *txtNetAddress_; }
  Fl_Input& txtNetUniverse() const { return *txtNetUniverse_; }
  Fl_Button& cmdFindNodes() const { return *cmdFindNodes_; }
  Fl_Hold_Browser& lstNodes() const { return *lstNodes_; }
  Fl_Button& cmdNetworkClose() const { return *cmdNetworkClose_; }

  // devList's entries, counted from 0; item data is 0 until set.
  int ListCount() const;
  std::string ListText(int index) const;
  int32_t ListItemData(int index) const;
  // The captions as set (without the toolkit's escaping).
  const std::string& InfoCaption() const { return info_; }
  const std::string& ResultCaption() const { return result_; }

  static constexpr const char* kCaption = "Choose DMX interface device";
  static constexpr const char* kNetworkCaption = "Network output";

 private:
  static void Dispatch(Fl_Widget* widget, void* handler);
  static void OnWindowCallback(Fl_Widget* widget, void* handler);
  static void ShowNetwork(Fl_Widget* widget, void* self);
  static void HideNetwork(Fl_Widget* widget, void* self);
  void BuildNetworkWindow();

  Events events_;
  std::unique_ptr<Fl_Double_Window> window_;
  // Owned by the window.
  Fl_Button* cmdOK_ = nullptr;
  Fl_Box* Frame1_ = nullptr;
  Fl_Round_Button* optOpenDMXUSB_ = nullptr;
  Fl_Round_Button* optDMXUSBpro_ = nullptr;
  Fl_Box* Label1_ = nullptr;
  Fl_Input* txtCommPort_ = nullptr;
  Fl_Check_Button* chkArtNet_ = nullptr;
  Fl_Box* lblinfo_ = nullptr;
  Fl_Hold_Browser* devList_ = nullptr;
  Fl_Button* cmdTest_ = nullptr;
  Fl_Box* lblResult_ = nullptr;
  Fl_Button* cmdNetwork_ = nullptr;
  std::unique_ptr<Fl_Double_Window> network_;
  // Owned by frmNetwork.
  Fl_Round_Button* optArtNet_ = nullptr;
  Fl_Round_Button* optSacn_ = nullptr;
  Fl_Input* txtNetAddress_ = nullptr;
  Fl_Input* txtNetUniverse_ = nullptr;
  Fl_Button* cmdFindNodes_ = nullptr;
  Fl_Hold_Browser* lstNodes_ = nullptr;
  Fl_Button* cmdNetworkClose_ = nullptr;
  bool networkPlaced_ = false;
  std::string info_;
  std::string result_;
  bool placed_ = false;
};

}  // namespace lumivane
