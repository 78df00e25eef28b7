// SPDX-License-Identifier: MIT
// A C++ host of the registered DLL: the class through its vtable (the slot
// order of the widl header's interface, checked against raw slots and the
// type library), by name through IDispatch, errors as HRESULTs with
// IErrorInfo, reference counts, the Open DMX USB on the fake FTD2XX.DLL,
// and the unload with its transmitter running.
#include <gtest/gtest.h>
#include <lumivane_idl.h>
#include <ole2.h>
#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/windows/fake_d2xx_log.h"
#include "tests/windows/host_helper.h"
#include "tests/windows/message_box_watch.h"

namespace {

using namespace std::chrono_literals;

constexpr HRESULT Automation(int number) {
  return static_cast<HRESULT>(0x800A0000u | number);
}

struct ErrorText {
  std::wstring source, description;
};

ErrorText TakeErrorInfo() {
  IErrorInfo* info = nullptr;
  ErrorText text;
  if (GetErrorInfo(0, &info) == S_OK && info != nullptr) {
    BSTR source = nullptr, description = nullptr;
    info->GetSource(&source);
    info->GetDescription(&description);
    text = {source ? source : L"", description ? description : L""};
    SysFreeString(source);
    SysFreeString(description);
    info->Release();
  }
  return text;
}

void WriteSetting(const std::wstring& title, const wchar_t* name, const std::wstring& value) {
  const std::wstring key =
      L"Software\\VB and VBA Program Settings\\" + title + L"\\Plugins\\Lumivane.dll";
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), name, REG_SZ, value.c_str(),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
}

class ComHost : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    ASSERT_EQ(CoCreateInstance(CLSID_clsOutputDriver, nullptr, CLSCTX_INPROC_SERVER,
                               IID__clsOutputDriver, reinterpret_cast<void**>(&driver_)),
              S_OK);
  }
  void TearDown() override {
    if (driver_ != nullptr) driver_->Release();
    CoFreeUnusedLibrariesEx(0, 0);
    CoUninitialize();
  }

  // A method by raw slot number, as a host compiled against the interface
  // calls it.
  template <class... Args>
  HRESULT Slot(int slot, Args... args) {
    using Method = HRESULT(STDMETHODCALLTYPE*)(void*, Args...);
    void** table = *reinterpret_cast<void***>(driver_);
    return reinterpret_cast<Method>(table[slot])(driver_, args...);
  }

  HRESULT Init(const std::wstring& title, IDispatch* helper = nullptr) {
    BSTR t = SysAllocString(title.c_str());
    BSTR f = SysAllocString(L"Lumivane.dll");
    VARIANT_BOOL result = 1;
    const HRESULT hr = driver_->init(&t, &f, &helper, &result);
    EXPECT_EQ(result, VARIANT_FALSE);
    SysFreeString(t);
    SysFreeString(f);
    return hr;
  }

  _clsOutputDriver* driver_ = nullptr;
};

TEST_F(ComHost, SlotsFollowTheInterfaceOrder) {
  VARIANT_BOOL b = 0;
  BSTR name = nullptr;
  EXPECT_EQ(Slot(7, &b), S_OK);  // Disable
  EXPECT_EQ(b, VARIANT_TRUE);
  b = 0;
  EXPECT_EQ(Slot(8, &b), S_OK);  // Enable
  EXPECT_EQ(b, VARIANT_TRUE);
  EXPECT_EQ(Slot(9, &name), S_OK);  // PluginName
  EXPECT_STREQ(name, L"Lumivane DMX Pro Driver");
  SysFreeString(name);
  LONG channel = 600, value = 300;
  b = 1;
  EXPECT_EQ(Slot(10, &channel, &value, &b), S_OK);  // SetChannel: rejected
  EXPECT_EQ(b, VARIANT_FALSE);
  b = 1;
  EXPECT_EQ(Slot(13, &b), S_OK);  // Term
  EXPECT_EQ(b, VARIANT_FALSE);

  // The embedded type library says the same.
  ITypeInfo* info = nullptr;
  ASSERT_EQ(driver_->GetTypeInfo(0, 0, &info), S_OK);
  const wchar_t* names[] = {L"Disable",   L"Enable", L"PluginName", L"SetChannel",
                            L"Configure", L"init",   L"Term"};
  for (int i = 0; i < 7; ++i) {
    FUNCDESC* desc = nullptr;
    ASSERT_EQ(info->GetFuncDesc(static_cast<UINT>(7 + i), &desc), S_OK) << i;
    BSTR doc = nullptr;
    info->GetDocumentation(desc->memid, &doc, nullptr, nullptr, nullptr);
    EXPECT_STREQ(doc, names[i]);
    EXPECT_EQ(desc->oVft / static_cast<SHORT>(sizeof(void*)), 7 + i) << doc;
    SysFreeString(doc);
    info->ReleaseFuncDesc(desc);
  }
  info->Release();
}

TEST_F(ComHost, SetChannelTableThroughTheVtable) {
  const struct {
    LONG channel, value;
    HRESULT hr;
    VARIANT_BOOL result;
  } cases[] = {
      {0, 10, S_OK, VARIANT_FALSE},
      {513, 10, S_OK, VARIANT_FALSE},
      {1, 0, S_OK, VARIANT_TRUE},
      {512, 255, S_OK, VARIANT_TRUE},
      {1, 256, Automation(6), VARIANT_FALSE},
      {1, -1, Automation(6), VARIANT_FALSE},
      {600, 300, S_OK, VARIANT_FALSE},
  };
  for (const auto& c : cases) {
    LONG channel = c.channel, value = c.value;
    VARIANT_BOOL result = 1;
    EXPECT_EQ(driver_->SetChannel(&channel, &value, &result), c.hr) << c.channel << "," << c.value;
    EXPECT_EQ(result, c.result) << c.channel << "," << c.value;
    EXPECT_EQ(channel, c.channel);  // never written
    EXPECT_EQ(value, c.value);
  }
}

TEST_F(ComHost, FailuresCarryErrorInfo) {
  ISupportErrorInfo* support = nullptr;
  ASSERT_EQ(driver_->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&support)),
            S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID__clsOutputDriver), S_OK);
  support->Release();

  LONG channel = 1, value = 256;
  VARIANT_BOOL result = 1;
  EXPECT_EQ(driver_->SetChannel(&channel, &value, &result), Automation(6));
  const ErrorText text = TakeErrorInfo();
  EXPECT_EQ(text.description, L"Overflow");
  EXPECT_EQ(text.source, L"Lumivane.clsOutputDriver");

  // Configure with no window to show: the dialog's own error.
  result = 0;
  const HRESULT hr = driver_->Configure(&result);
  if (FAILED(hr)) {
    EXPECT_EQ(HRESULT_FACILITY(hr), FACILITY_CONTROL);
    EXPECT_FALSE(TakeErrorInfo().description.empty());
  }
}

TEST_F(ComHost, InitKeepsItsArgumentsAndCountsTheHelper) {
  HostHelper helper;
  BSTR title = SysAllocString(L"Lumivane C++ Host Test");
  BSTR file = SysAllocString(L"Lumivane.dll");
  BSTR titleBefore = title, fileBefore = file;
  IDispatch* object = &helper;
  VARIANT_BOOL result = 1;
  EXPECT_EQ(driver_->init(&title, &file, &object, &result), S_OK);
  EXPECT_EQ(result, VARIANT_FALSE);
  EXPECT_EQ(title, titleBefore);
  EXPECT_EQ(file, fileBefore);
  EXPECT_STREQ(title, L"Lumivane C++ Host Test");
  EXPECT_EQ(object, &helper);
  EXPECT_EQ(helper.refs(), 2u);  // held
  EXPECT_EQ(driver_->Term(&result), S_OK);
  EXPECT_EQ(helper.refs(), 1u);  // released
  EXPECT_EQ(helper.calls(), 0);  // never called
  SysFreeString(title);
  SysFreeString(file);
}

TEST_F(ComHost, ReferenceCounts) {
  EXPECT_EQ(driver_->AddRef(), 2u);
  IDispatch* dispatch = nullptr;
  ASSERT_EQ(driver_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
  EXPECT_EQ(dispatch->Release(), 2u);
  EXPECT_EQ(driver_->Release(), 1u);
  IUnknown* unknown = nullptr;
  EXPECT_EQ(driver_->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(&unknown)),
            E_NOINTERFACE);
  EXPECT_EQ(unknown, nullptr);
  // The DLL stays while an object lives, and may go once none does.
  EXPECT_EQ(CoCreateInstance(CLSID_clsOutputDriver, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(&unknown)),
            S_OK);
  CoFreeUnusedLibrariesEx(0, 0);
  EXPECT_NE(GetModuleHandleW(L"Lumivane.dll"), nullptr);
  unknown->Release();
}

class Dispatch : public ComHost {
 protected:
  DISPID Id(const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    EXPECT_EQ(driver_->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK) << name;
    return id;
  }
  // args in declaration order.
  HRESULT Call(const wchar_t* name, std::vector<VARIANT> args, VARIANT* result,
               EXCEPINFO* exception = nullptr) {
    std::reverse(args.begin(), args.end());
    DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    UINT argError = 0;
    return driver_->Invoke(Id(name), IID_NULL, 0, DISPATCH_METHOD, &params, result, exception,
                           &argError);
  }
};

VARIANT I4(LONG v) {
  VARIANT x;
  VariantInit(&x);
  V_VT(&x) = VT_I4, V_I4(&x) = v;
  return x;
}

TEST_F(Dispatch, ArgumentsAsHostsSendThem) {
  LONG byRefChannel = 4, byRefValue = 44;
  VARIANT refChannel, refValue, inner = I4(5), innerValue = I4(55), real, text, small;
  V_VT(&refChannel) = VT_BYREF | VT_I4, V_I4REF(&refChannel) = &byRefChannel;
  V_VT(&refValue) = VT_BYREF | VT_I4, V_I4REF(&refValue) = &byRefValue;
  V_VT(&real) = VT_R8, V_R8(&real) = 2.5;
  V_VT(&text) = VT_BSTR, V_BSTR(&text) = SysAllocString(L"7");
  V_VT(&small) = VT_I2, V_I2(&small) = 9;
  VARIANT refInner, refInnerValue;
  V_VT(&refInner) = VT_BYREF | VT_VARIANT, V_VARIANTREF(&refInner) = &inner;
  V_VT(&refInnerValue) = VT_BYREF | VT_VARIANT, V_VARIANTREF(&refInnerValue) = &innerValue;

  const std::vector<std::vector<VARIANT>> accepted = {
      {refChannel, refValue}, {refInner, refInnerValue}, {real, text}, {small, I4(1)}};
  for (const auto& args : accepted) {
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(Call(L"setchannel", args, &result), S_OK);
    EXPECT_EQ(V_VT(&result), VT_BOOL);
    EXPECT_EQ(V_BOOL(&result), VARIANT_TRUE);
  }
  EXPECT_EQ(byRefChannel, 4);  // never written
  EXPECT_EQ(V_I4(&inner), 5);
  EXPECT_EQ(V_VT(&inner), VT_I4);
  VariantClear(&text);

  VARIANT name;
  VariantInit(&name);
  EXPECT_EQ(Call(L"PLUGINNAME", {}, &name), S_OK);
  EXPECT_EQ(V_VT(&name), VT_BSTR);
  EXPECT_STREQ(V_BSTR(&name), L"Lumivane DMX Pro Driver");
  VariantClear(&name);
}

TEST_F(Dispatch, FailuresAsExceptions) {
  const struct {
    const wchar_t* method;
    std::vector<VARIANT> args;
    int number;
    const wchar_t* description;
  } cases[] = {
      {L"SetChannel", {I4(1), I4(256)}, 6, L"Overflow"},
      {L"SetChannel", {I4(1)}, 450, L"Wrong number of arguments"},
  };
  for (const auto& c : cases) {
    EXCEPINFO exception{};
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(Call(c.method, c.args, &result, &exception), DISP_E_EXCEPTION);
    EXPECT_EQ(exception.scode, Automation(c.number));
    EXPECT_STREQ(exception.bstrDescription, c.description);
    EXPECT_STREQ(exception.bstrSource, L"Lumivane.clsOutputDriver");
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrHelpFile);
  }
  DISPID id = 0;
  LPOLESTR names[] = {const_cast<LPOLESTR>(L"NoSuchMethod")};
  EXPECT_EQ(driver_->GetIDsOfNames(IID_NULL, names, 1, 0, &id), DISP_E_UNKNOWNNAME);
}

// The Open DMX USB on the fake FTD2XX.DLL beside the DLL.
class OpenDmx : public ComHost {
 protected:
  void SetUp() override {
    ComHost::SetUp();
    title_ = L"Lumivane Open DMX Test " + std::to_wstring(GetTickCount64());
    WriteSetting(title_, L"DeviceType", L"OpenDMXUSB");
  }
  void TearDown() override {
    // Unloading stops the transmitter and closes the device.
    ComHost::TearDown();
  }
  FakeD2xxLog log_;
  MessageBoxWatch boxes_{L"Lumivane DMX Pro Driver"};
  std::wstring title_;
};

TEST_F(OpenDmx, SetupSequence) {
  EXPECT_EQ(Init(title_), S_OK);
  const std::vector<std::string> want = {"FT_Open 0",
                                         "FT_ResetDevice",
                                         "FT_SetDivisor 12",
                                         "FT_SetDataCharacteristics 8 2 0",
                                         "FT_SetFlowControl 0 0 0",
                                         "FT_ClrRts",
                                         "FT_Purge 2",
                                         "FT_Purge 1"};
  EXPECT_EQ(log_.SetupCalls(), want);
  EXPECT_TRUE(boxes_.Take().empty());
}

TEST_F(OpenDmx, EachFailingStepHasItsText) {
  const struct {
    const char* call;
    const wchar_t* text;
  } cases[] = {
      {"FT_Open", L"Failed to open Enttec Open DMX USB device!"},
      {"FT_ResetDevice", L"Failed To Reset Enttec Open DMX USB Device!"},
      {"FT_SetDivisor", L"Failed To Set Baud Rate!"},
      {"FT_SetDataCharacteristics", L"Failed To Set Data Characteristics!"},
      {"FT_SetFlowControl", L"Failed to set flow control!"},
      {"FT_ClrRts", L"Failed to set RS485 to send!"},
      {"FT_Purge", L"Failed to purge TX buffer!"},
  };
  for (const auto& c : cases) {
    log_.Clear();
    log_.FailCall(c.call);
    EXPECT_EQ(Init(title_), S_OK) << c.call;
    EXPECT_EQ(boxes_.Take(), std::vector<std::wstring>{c.text}) << c.call;
    const std::vector<std::string> calls = log_.SetupCalls();
    // A device that opened is closed again; one that did not is not.
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back() == "FT_Close", std::string(c.call) != "FT_Open") << c.call;
  }
}

TEST_F(OpenDmx, PacketsAtFortyPerSecondAndUnloadStopsThem) {
  ASSERT_EQ(Init(title_), S_OK);
  LONG channel = 1, value = 200;
  VARIANT_BOOL result = 0;
  ASSERT_EQ(driver_->SetChannel(&channel, &value, &result), S_OK);
  std::this_thread::sleep_for(1000ms);

  const std::vector<D2xxCall> calls = log_.Calls();
  std::vector<long long> breaks, marks, starts;
  for (size_t i = 2; i < calls.size(); ++i) {
    if (calls[i].function != "FT_Write") continue;
    ASSERT_EQ(calls[i - 1].function, "FT_SetBreakOff");
    ASSERT_EQ(calls[i - 2].function, "FT_SetBreakOn");
    EXPECT_EQ(calls[i].arguments.substr(0, 10), "513 0 200 ");
    breaks.push_back(calls[i - 1].microseconds - calls[i - 2].microseconds);
    marks.push_back(calls[i].microseconds - calls[i - 1].microseconds);
    starts.push_back(calls[i - 2].microseconds);
  }
  // The first packets may wait for a busy machine; the schedule is what counts.
  ASSERT_GE(starts.size(), 20u);
  EXPECT_LE(starts.size(), 42u);
  for (size_t i = 0; i < breaks.size(); ++i) {
    EXPECT_GE(breaks[i], 92) << "break of packet " << i;
    EXPECT_GE(marks[i], 12) << "mark after break of packet " << i;
  }
  // 25 ms apart on an idle machine; a busy one wakes the thread late, which
  // moves the schedule but never bunches packets together.
  const double period = double(starts.back() - starts.front()) / double(starts.size() - 1);
  EXPECT_GE(period, 24000.0);
  EXPECT_LE(period, 40000.0);
  for (size_t i = 1; i < starts.size(); ++i) {
    EXPECT_GE(starts[i] - starts[i - 1], 23000) << "packet " << i << " came too soon";
  }
  std::sort(breaks.begin(), breaks.end());
  std::sort(marks.begin(), marks.end());
  std::printf("packets %zu, mean period %.0f us, median break %lld us, median mark %lld us\n",
              starts.size(), period, breaks[breaks.size() / 2], marks[marks.size() / 2]);

  // Unload with the transmitter running: it stops, the device is closed.
  driver_->Release();
  driver_ = nullptr;
  CoFreeUnusedLibrariesEx(0, 0);
  EXPECT_EQ(GetModuleHandleW(L"Lumivane.dll"), nullptr);
  EXPECT_EQ(GetModuleHandleW(L"FTD2XX.DLL"), nullptr);
  const std::vector<D2xxCall> after = log_.Calls();
  ASSERT_FALSE(after.empty());
  EXPECT_EQ(after.back().function, "FT_Close");
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(log_.Calls().size(), after.size());  // nothing after the close
}

size_t ThreadsOfThisProcess() {
  size_t count = 0;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
  }
  CloseHandle(snapshot);
  return count;
}

// Polls the fake's log until `done` holds for it; false after five seconds.
template <typename Done>
bool WaitForLog(const FakeD2xxLog& log, Done&& done) {
  for (int i = 0; i < 500; ++i) {
    if (done(log.Calls())) return true;
    std::this_thread::sleep_for(10ms);
  }
  return false;
}

size_t CountFrom(const std::vector<D2xxCall>& calls, long long since, const std::string& function) {
  return static_cast<size_t>(std::count_if(calls.begin(), calls.end(), [&](const D2xxCall& c) {
    return c.microseconds >= since && c.function == function;
  }));
}

// The device pulled out mid-show and plugged back in: packets stop, the
// link tries to open it at least twice a second, one message at the next
// call, then the whole set-up and packets at 40 a second with the levels
// set meanwhile. Unloading while it is away again returns at once and
// leaves no thread.
TEST_F(OpenDmx, UnpluggedAndPluggedBackInResumesByItself) {
  const size_t threads = ThreadsOfThisProcess();
  ASSERT_EQ(Init(title_), S_OK);
  auto setChannel = [&](LONG channel, LONG value) {
    VARIANT_BOOL result = 0;
    EXPECT_EQ(driver_->SetChannel(&channel, &value, &result), S_OK);
    EXPECT_EQ(result, VARIANT_TRUE);
  };
  setChannel(1, 100);
  ASSERT_TRUE(WaitForLog(log_, [](const auto& c) { return CountFrom(c, 0, "FT_Write") >= 3; }));

  const long long unplugged = log_.Calls().back().microseconds;
  SetEnvironmentVariableW(L"LUMIVANE_FAKE_D2XX_UNPLUGGED", L"1");
  ASSERT_TRUE(
      WaitForLog(log_, [&](const auto& c) { return CountFrom(c, unplugged, "FT_Open") >= 1; }));
  std::this_thread::sleep_for(1000ms);
  const std::vector<D2xxCall> away = log_.Calls();
  // Nothing but the failed call, the close and the tries to open.
  size_t tries = 0;
  for (const D2xxCall& c : away) {
    if (c.microseconds < unplugged) continue;
    if (c.function == "FT_Open") ++tries;
  }
  EXPECT_GE(tries, 3u) << "fewer than two tries a second";
  EXPECT_LE(CountFrom(away, unplugged, "FT_Write"), 2u);
  EXPECT_EQ(CountFrom(away, unplugged, "FT_Close"), 1u);
  EXPECT_TRUE(boxes_.Take().empty()) << "a box without a call from the host";

  setChannel(1, 150);
  const std::vector<std::wstring> shown = boxes_.Take();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_TRUE(shown[0] == L"Write DMX Failed!" || shown[0] == L"Write Start Code Failed!")
      << std::string(shown[0].begin(), shown[0].end());
  setChannel(2, 50);
  EXPECT_TRUE(boxes_.Take().empty()) << "a second box for the same outage";

  const long long replugged = log_.Calls().back().microseconds;
  SetEnvironmentVariableW(L"LUMIVANE_FAKE_D2XX_UNPLUGGED", nullptr);
  ASSERT_TRUE(
      WaitForLog(log_, [&](const auto& c) { return CountFrom(c, replugged, "FT_Write") >= 1; }));
  std::this_thread::sleep_for(1000ms);
  const std::vector<D2xxCall> back = log_.Calls();
  std::vector<std::string> setup;
  std::vector<long long> starts;
  long long firstWrite = 0;
  for (const D2xxCall& c : back) {
    if (c.microseconds <= replugged) continue;
    if (c.function == "FT_SetBreakOn") starts.push_back(c.microseconds);
    if (c.function == "FT_Write") {
      EXPECT_EQ(c.arguments, "513 0 150 50 0") << "not the current universe";
      if (firstWrite == 0) firstWrite = c.microseconds;
    } else if (starts.empty() && c.function != "FT_Open") {
      setup.push_back(c.arguments.empty() ? c.function : c.function + " " + c.arguments);
    }
  }
  const std::vector<std::string> want = {"FT_ResetDevice",
                                         "FT_SetDivisor 12",
                                         "FT_SetDataCharacteristics 8 2 0",
                                         "FT_SetFlowControl 0 0 0",
                                         "FT_ClrRts",
                                         "FT_Purge 2",
                                         "FT_Purge 1"};
  EXPECT_EQ(setup, want);
  ASSERT_GE(starts.size(), 20u);
  const double period = double(starts.back() - starts.front()) / double(starts.size() - 1);
  EXPECT_GE(period, 24000.0);
  EXPECT_LE(period, 40000.0);
  EXPECT_TRUE(boxes_.Take().empty());
  std::printf("output resumed %lld ms after the replug; %zu packets, mean period %.0f us\n",
              (firstWrite - replugged) / 1000, starts.size(), period);

  // Away again, then unloaded.
  const long long again = log_.Calls().back().microseconds;
  SetEnvironmentVariableW(L"LUMIVANE_FAKE_D2XX_UNPLUGGED", L"1");
  ASSERT_TRUE(WaitForLog(log_, [&](const auto& c) { return CountFrom(c, again, "FT_Open") >= 1; }));
  const auto before = std::chrono::steady_clock::now();
  driver_->Release();
  driver_ = nullptr;
  CoFreeUnusedLibrariesEx(0, 0);
  EXPECT_LT(std::chrono::steady_clock::now() - before, 1s) << "unload waited for the device";
  SetEnvironmentVariableW(L"LUMIVANE_FAKE_D2XX_UNPLUGGED", nullptr);
  EXPECT_EQ(GetModuleHandleW(L"Lumivane.dll"), nullptr);
  const size_t calls = log_.Calls().size();
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(log_.Calls().size(), calls) << "calls after the unload";
  // A thread that ended may stay listed for a moment.
  for (int i = 0; i < 100 && ThreadsOfThisProcess() != threads; ++i) {
    std::this_thread::sleep_for(10ms);
  }
  EXPECT_EQ(ThreadsOfThisProcess(), threads);
}

}  // namespace

namespace {

// A copy of the DLL loaded directly, with the fake FTD2XX.DLL in the
// current directory: in C:\lumivane-alone no FTD2XX.DLL is beside it (and
// the current directory is never searched), in C:\lumivane-partial one
// that lacks a function. Either way the open fails as a failed FT_Open does.
class OpenDmxWithoutD2xx : public ::testing::TestWithParam<const wchar_t*> {};

TEST_P(OpenDmxWithoutD2xx, FailsAsAFailedOpen) {
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  SetCurrentDirectoryW(L"C:\\lumivane");  // holds the whole fake FTD2XX.DLL
  const std::wstring path = std::wstring(L"C:\\") + GetParam() + L"\\Lumivane.dll";
  HMODULE copy = LoadLibraryW(path.c_str());
  ASSERT_NE(copy, nullptr);
  using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
  auto get = reinterpret_cast<GetClassObject>(
      reinterpret_cast<void*>(GetProcAddress(copy, "DllGetClassObject")));
  ASSERT_NE(get, nullptr);
  IClassFactory* factory = nullptr;
  ASSERT_EQ(get(CLSID_clsOutputDriver, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
            S_OK);
  _clsOutputDriver* driver = nullptr;
  ASSERT_EQ(
      factory->CreateInstance(nullptr, IID__clsOutputDriver, reinterpret_cast<void**>(&driver)),
      S_OK);
  factory->Release();

  const std::wstring title = L"Lumivane No D2XX Test";
  WriteSetting(title, L"DeviceType", L"OpenDMXUSB");
  FakeD2xxLog log;
  MessageBoxWatch boxes(L"Lumivane DMX Pro Driver");
  BSTR t = SysAllocString(title.c_str()), f = SysAllocString(L"Lumivane.dll");
  IDispatch* helper = nullptr;
  VARIANT_BOOL result = 1;
  EXPECT_EQ(driver->init(&t, &f, &helper, &result), S_OK);
  EXPECT_EQ(boxes.Take(), std::vector<std::wstring>{L"Failed to open Enttec Open DMX USB device!"});
  SysFreeString(t);
  SysFreeString(f);
  EXPECT_TRUE(log.Calls().empty());  // no fake was called
  EXPECT_EQ(GetModuleHandleW(L"FTD2XX.DLL"), nullptr);
  driver->Release();
  CoUninitialize();
}

INSTANTIATE_TEST_SUITE_P(Folders, OpenDmxWithoutD2xx,
                         ::testing::Values(L"lumivane-alone", L"lumivane-partial"));

}  // namespace
