// SPDX-License-Identifier: MIT
#include "tests/windows/host_helper.h"

HRESULT HostHelper::QueryInterface(REFIID riid, void** out) {
  if (riid == IID_IUnknown || riid == IID_IDispatch) {
    *out = this;
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}
