// SPDX-License-Identifier: MIT
#include "com/automation_arguments.h"

#include "com/wide_text.h"
#include "core/failure.h"
#include "core/number_text.h"

namespace lumivane::com {
namespace {

class ComHostObject final : public HostObject {
 public:
  explicit ComHostObject(IUnknown* object) : object_(object) { object_->AddRef(); }
  ~ComHostObject() override { object_->Release(); }
  ComHostObject(const ComHostObject&) = delete;
  ComHostObject& operator=(const ComHostObject&) = delete;

 private:
  IUnknown* object_;
};

// The variant an argument stands for, through any references to variants.
const VARIANT& Target(const VARIANT& arg) {
  const VARIANT* v = &arg;
  for (int depth = 0; V_VT(v) == (VT_BYREF | VT_VARIANT); ++depth) {
    if (V_VARIANTREF(v) == nullptr || depth == 8) throw Failure(ErrorNumber::kTypeMismatch);
    v = V_VARIANTREF(v);
  }
  return *v;
}

[[noreturn]] void ConversionFailed(HRESULT hr) {
  if (hr == DISP_E_OVERFLOW) throw Failure(ErrorNumber::kOverflow);
  if (hr == E_OUTOFMEMORY) throw std::bad_alloc();
  throw Failure(ErrorNumber::kTypeMismatch);
}

class Variant {
 public:
  Variant() { VariantInit(&v_); }
  ~Variant() { VariantClear(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  VARIANT* get() { return &v_; }

 private:
  VARIANT v_;
};

int32_t LongFromText(BSTR text) {
  const std::optional<double> number = ReadDecimalNumber(FromBstr(text));
  if (!number) throw Failure(ErrorNumber::kTypeMismatch);
  const double rounded = RoundHalfToEven(*number);
  if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) {
    throw Failure(ErrorNumber::kOverflow);
  }
  return static_cast<int32_t>(rounded);
}

}  // namespace

int32_t LongArgument(const VARIANT& arg) {
  const VARIANT& v = Target(arg);
  // Texts read as the Linux build reads them, whatever the user's locale.
  if (V_VT(&v) == VT_BSTR) return LongFromText(V_BSTR(&v));
  if (V_VT(&v) == (VT_BYREF | VT_BSTR)) {
    if (V_BSTRREF(&v) == nullptr) throw Failure(ErrorNumber::kTypeMismatch);
    return LongFromText(*V_BSTRREF(&v));
  }
  Variant converted;
  const HRESULT hr =
      VariantChangeTypeEx(converted.get(), const_cast<VARIANT*>(&v), LOCALE_INVARIANT, 0, VT_I4);
  if (FAILED(hr)) ConversionFailed(hr);
  return V_I4(converted.get());
}

std::string TextArgument(const VARIANT& arg) {
  const VARIANT& v = Target(arg);
  if (V_VT(&v) == VT_BSTR) return FromBstr(V_BSTR(&v));
  if (V_VT(&v) == (VT_BYREF | VT_BSTR)) {
    if (V_BSTRREF(&v) == nullptr) throw Failure(ErrorNumber::kTypeMismatch);
    return FromBstr(*V_BSTRREF(&v));
  }
  if (V_VT(&v) == VT_EMPTY) return {};
  Variant converted;
  const HRESULT hr = VariantChangeTypeEx(converted.get(), const_cast<VARIANT*>(&v),
                                         LOCALE_INVARIANT, VARIANT_ALPHABOOL, VT_BSTR);
  if (FAILED(hr)) ConversionFailed(hr);
  return FromBstr(V_BSTR(converted.get()));
}

std::unique_ptr<HostObject> ObjectArgument(const VARIANT& arg) {
  const VARIANT& v = Target(arg);
  switch (V_VT(&v)) {
    case VT_EMPTY:
      return nullptr;
    case VT_DISPATCH:
    case VT_UNKNOWN:
      return HostReference(V_UNKNOWN(&v));
    case VT_BYREF | VT_DISPATCH:
    case VT_BYREF | VT_UNKNOWN:
      if (V_UNKNOWNREF(&v) == nullptr) throw Failure(ErrorNumber::kTypeMismatch);
      return HostReference(*V_UNKNOWNREF(&v));
    default:
      throw Failure(ErrorNumber::kTypeMismatch);
  }
}

std::unique_ptr<HostObject> HostReference(IUnknown* object) {
  if (object == nullptr) return nullptr;
  return std::make_unique<ComHostObject>(object);
}

}  // namespace lumivane::com
