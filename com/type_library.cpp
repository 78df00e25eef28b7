// SPDX-License-Identifier: MIT
#include "com/type_library.h"

#include <lumivane_idl.h>

#include "com/com_module.h"

namespace lumivane::com {

HRESULT LoadOwnTypeLibrary(ITypeLib** library) {
  return LoadTypeLibEx(ModulePath().c_str(), REGKIND_NONE, library);
}

HRESULT InterfaceTypeInfo(ITypeInfo** info) {
  ITypeLib* library = nullptr;
  HRESULT hr = LoadOwnTypeLibrary(&library);
  if (FAILED(hr)) return hr;
  hr = library->GetTypeInfoOfGuid(IID__clsOutputDriver, info);
  library->Release();
  return hr;
}

}  // namespace lumivane::com
