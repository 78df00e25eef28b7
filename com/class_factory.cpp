// SPDX-License-Identifier: MIT
#include "com/class_factory.h"

#include "com/com_module.h"
#include "com/driver_object.h"

namespace lumivane::com {
namespace {

class Factory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // A reference held by COM keeps the DLL through the lock count only.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return CreateDriverObject(riid, out);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    Lock(lock != FALSE);
    return S_OK;
  }
};

}  // namespace

IClassFactory* DriverClassFactory() {
  static Factory factory;  // trivially destructible
  return &factory;
}

}  // namespace lumivane::com
