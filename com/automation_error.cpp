// SPDX-License-Identifier: MIT
#include "com/automation_error.h"

#include <lumivane_idl.h>

#include "com/com_module.h"
#include "com/wide_text.h"

namespace lumivane::com {
namespace {

HRESULT ResultFor(int32_t number) {
  return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, static_cast<uint16_t>(number));
}

}  // namespace

HRESULT AutomationError(int32_t number, std::string_view description) {
  ICreateErrorInfo* create = nullptr;
  if (SUCCEEDED(CreateErrorInfo(&create))) {
    create->SetGUID(IID__clsOutputDriver);
    create->SetSource(const_cast<wchar_t*>(ProgId().c_str()));
    create->SetDescription(const_cast<wchar_t*>(Wide(description).c_str()));
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
      SetErrorInfo(0, info);
      info->Release();
    }
    create->Release();
  }
  return ResultFor(number);
}

HRESULT DispatchException(int32_t number, std::string_view description, EXCEPINFO* info) {
  AutomationError(number, description);
  if (info != nullptr) {
    *info = EXCEPINFO{};
    info->bstrSource = SysAllocString(ProgId().c_str());
    info->bstrDescription = SysAllocString(Wide(description).c_str());
    info->scode = ResultFor(number);
  }
  return DISP_E_EXCEPTION;
}

}  // namespace lumivane::com
