// SPDX-License-Identifier: MIT
#pragma once

#include <ole2.h>
#include <windows.h>

// The host's helper object for init: an IDispatch that only counts its
// references and fails every call. Lives on the stack of the test.
class HostHelper final : public IDispatch {
 public:
  ULONG refs() const { return refs_; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs_; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    ++calls_;
    return E_NOTIMPL;
  }
  int calls() const { return calls_; }

 private:
  ULONG refs_ = 1;
  int calls_ = 0;
};
