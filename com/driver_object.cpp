// SPDX-License-Identifier: MIT
#include "com/driver_object.h"

#include <lumivane_idl.h>

#include <atomic>
#include <string>

#include "com/automation_arguments.h"
#include "com/automation_error.h"
#include "com/com_module.h"
#include "com/type_library.h"
#include "com/wide_text.h"
#include "core/output_driver.h"

namespace lumivane::com {
namespace {

enum MethodId : DISPID {
  kDisable = 1,
  kEnable,
  kPluginName,
  kSetChannel,
  kConfigure,
  kInit,
  kTerm,
};

struct MethodName {
  const wchar_t* name;
  DISPID id;
  UINT argc;
};

constexpr MethodName kMethods[] = {
    {L"Disable", kDisable, 0},
    {L"Enable", kEnable, 0},
    {L"PluginName", kPluginName, 0},
    {L"SetChannel", kSetChannel, 2},
    {L"Configure", kConfigure, 0},
    {L"init", kInit, 3},
    {L"Term", kTerm, 0},
};

bool SameName(const wchar_t* a, const wchar_t* b) {
  for (;; ++a, ++b) {
    const wchar_t x = (*a >= L'A' && *a <= L'Z') ? static_cast<wchar_t>(*a + 32) : *a;
    const wchar_t y = (*b >= L'A' && *b <= L'Z') ? static_cast<wchar_t>(*b + 32) : *b;
    if (x != y) return false;
    if (x == L'\0') return true;
  }
}

VARIANT_BOOL Bool(bool value) {
  return value ? VARIANT_TRUE : VARIANT_FALSE;
}

class DriverObject final : public _clsOutputDriver, public ISupportErrorInfo {
 public:
  DriverObject() : driver_(SharedPlugin()) {}
  DriverObject(const DriverObject&) = delete;
  DriverObject& operator=(const DriverObject&) = delete;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID__clsOutputDriver) {
      *out = static_cast<_clsOutputDriver*>(this);
    } else if (riid == IID_ISupportErrorInfo) {
      *out = static_cast<ISupportErrorInfo*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;  // touches no shared state
    return left;
  }

  // ISupportErrorInfo
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override {
    return riid == IID__clsOutputDriver ? S_OK : S_FALSE;
  }

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    return InterfaceTypeInfo(info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (names == nullptr || ids == nullptr || count == 0) return E_INVALIDARG;
    HRESULT result = S_OK;
    ids[0] = DISPID_UNKNOWN;
    for (const MethodName& method : kMethods) {
      if (names[0] != nullptr && SameName(names[0], method.name)) ids[0] = method.id;
    }
    if (ids[0] == DISPID_UNKNOWN) result = DISP_E_UNKNOWNNAME;
    // Arguments are passed by position only.
    for (UINT i = 1; i < count; ++i) {
      ids[i] = DISPID_UNKNOWN;
      result = DISP_E_UNKNOWNNAME;
    }
    return result;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

  // _clsOutputDriver, in slot order
  HRESULT STDMETHODCALLTYPE Disable(VARIANT_BOOL* result) override {
    return BoolCall(result, [&] { return driver_.Disable(); });
  }
  HRESULT STDMETHODCALLTYPE Enable(VARIANT_BOOL* result) override {
    return BoolCall(result, [&] { return driver_.Enable(); });
  }
  HRESULT STDMETHODCALLTYPE PluginName(BSTR* result) override {
    if (result == nullptr) return E_POINTER;
    *result = nullptr;
    return Guarded([&] {
      *result = SysAllocString(Wide(driver_.PluginName()).c_str());
      if (*result == nullptr) throw std::bad_alloc();
    });
  }
  HRESULT STDMETHODCALLTYPE SetChannel(LONG* Channel, LONG* Value, VARIANT_BOOL* result) override {
    if (Channel == nullptr || Value == nullptr) return E_POINTER;
    return BoolCall(result, [&] { return driver_.SetChannel(*Channel, *Value); });
  }
  HRESULT STDMETHODCALLTYPE Configure(VARIANT_BOOL* result) override {
    return BoolCall(result, [&] { return driver_.Configure(); });
  }
  HRESULT STDMETHODCALLTYPE init(BSTR* CallingAppTitle, BSTR* MyFilename,
                                 IDispatch** StagixPluginHelper, VARIANT_BOOL* result) override {
    if (CallingAppTitle == nullptr || MyFilename == nullptr || StagixPluginHelper == nullptr) {
      return E_POINTER;
    }
    return BoolCall(result, [&] {
      return driver_.init(FromBstr(*CallingAppTitle), FromBstr(*MyFilename),
                          HostReference(*StagixPluginHelper));
    });
  }
  HRESULT STDMETHODCALLTYPE Term(VARIANT_BOOL* result) override {
    return BoolCall(result, [&] { return driver_.Term(); });
  }

 private:
  // A failed call's result is False, but for a SetChannel that stored
  // its level before the push failed.
  template <class Method>
  HRESULT BoolCall(VARIANT_BOOL* result, Method&& method) {
    if (result == nullptr) return E_POINTER;
    *result = VARIANT_FALSE;
    return Guarded([&] {
      try {
        *result = Bool(method());
      } catch (const FailureWithResult& failure) {
        *result = Bool(failure.result());
        throw;
      }
    });
  }

  // Counted first, so an object that fails to be made is not left counted.
  struct Counted {
    Counted() { ObjectCreated(); }
    ~Counted() { ObjectDestroyed(); }
  } counted_;
  std::atomic<ULONG> refs_{1};
  clsOutputDriver driver_;
};

HRESULT DriverObject::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                             VARIANT* result, EXCEPINFO* exception, UINT* argError) {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  const MethodName* method = nullptr;
  for (const MethodName& m : kMethods) {
    if (m.id == id) method = &m;
  }
  if (method == nullptr) return DISP_E_MEMBERNOTFOUND;
  if ((flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) == 0) return DISP_E_MEMBERNOTFOUND;
  const UINT argc = params == nullptr ? 0 : params->cArgs;
  if (params != nullptr && params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
  if (argc > 0 && params->rgvarg == nullptr) return E_INVALIDARG;
  if (result != nullptr) VariantInit(result);

  // Arguments come last first; converted before the call, so a bad one
  // changes nothing.
  const auto arg = [&](UINT i) -> const VARIANT& { return params->rgvarg[argc - 1 - i]; };
  bool value = false;
  std::string text;
  try {
    SetErrorInfo(0, nullptr);
    if (argc != method->argc) throw Failure(ErrorNumber::kWrongArgCount);
    UINT current = 0;
    try {
      switch (method->id) {
        case kDisable:
          value = driver_.Disable();
          break;
        case kEnable:
          value = driver_.Enable();
          break;
        case kPluginName:
          text = driver_.PluginName();
          break;
        case kSetChannel: {
          const int32_t channel = LongArgument(arg(0));
          current = 1;
          const int32_t level = LongArgument(arg(1));
          current = argc;
          value = driver_.SetChannel(channel, level);
          break;
        }
        case kConfigure:
          value = driver_.Configure();
          break;
        case kInit: {
          const std::string title = TextArgument(arg(0));
          current = 1;
          const std::string file = TextArgument(arg(1));
          current = 2;
          std::unique_ptr<HostObject> helper = ObjectArgument(arg(2));
          current = argc;
          value = driver_.init(title, file, std::move(helper));
          break;
        }
        case kTerm:
          value = driver_.Term();
          break;
      }
    } catch (const Failure&) {
      if (argError != nullptr && current < argc) *argError = argc - 1 - current;
      throw;
    }
  } catch (const FailureWithResult& failure) {
    if (result != nullptr) V_VT(result) = VT_BOOL, V_BOOL(result) = Bool(failure.result());
    return DispatchException(failure.number(), failure.description(), exception);
  } catch (const Failure& failure) {
    if (result != nullptr && method->id != kPluginName) {
      V_VT(result) = VT_BOOL, V_BOOL(result) = VARIANT_FALSE;
    }
    return DispatchException(failure.number(), failure.description(), exception);
  } catch (const std::bad_alloc&) {
    return DispatchException(static_cast<int32_t>(ErrorNumber::kOutOfMemory),
                             DescribeError(ErrorNumber::kOutOfMemory), exception);
  } catch (...) {
    return DispatchException(static_cast<int32_t>(ErrorNumber::kInternal),
                             DescribeError(ErrorNumber::kInternal), exception);
  }
  if (result == nullptr) return S_OK;
  if (method->id == kPluginName) {
    V_BSTR(result) = SysAllocString(Wide(text).c_str());
    if (V_BSTR(result) == nullptr) return E_OUTOFMEMORY;
    V_VT(result) = VT_BSTR;
  } else {
    V_VT(result) = VT_BOOL;
    V_BOOL(result) = Bool(value);
  }
  return S_OK;
}

}  // namespace

HRESULT CreateDriverObject(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  DriverObject* object = nullptr;
  try {
    object = new DriverObject;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  const HRESULT hr = object->QueryInterface(riid, out);
  object->Release();
  return hr;
}

}  // namespace lumivane::com
