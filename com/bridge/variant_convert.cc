#include "bridge/variant_convert.h"

#include <atomic>
#include <limits>
#include <map>
#include <mutex>
#include <new>
#include <string>

#include "automation/error.h"
#include "bridge/com_error.h"
#include "bridge/dispatch_object.h"
#include "bridge/object_dispatch.h"
#include "bridge/text.h"
#include "bridge/type_lib_builder.h"

namespace mto::com {

using automation::Variant;
using automation::VarType;
namespace errc = automation::errc;

namespace {

[[noreturn]] void unsupportedType(VARTYPE vt) {
  automation::raiseError(
      458, "Variable uses an Automation type not supported (VARTYPE " + std::to_string(vt) + ")");
}

Variant fromWide(int64_t value) {
  if (value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max())
    return static_cast<int32_t>(value);
  return static_cast<double>(value);
}

Variant fromArray(const VARIANT& value) {
  if (value.vt != (VT_ARRAY | VT_VARIANT)) unsupportedType(value.vt);
  SAFEARRAY* array = value.parray;
  if (!array) return automation::Array{};
  if (SafeArrayGetDim(array) != 1) automation::raiseError(errc::kTypeMismatch);
  LONG lower = 0, upper = -1;
  check(SafeArrayGetLBound(array, 1, &lower));
  check(SafeArrayGetUBound(array, 1, &upper));
  automation::Array items;
  items.reserve(static_cast<size_t>(upper - lower + 1));
  for (LONG i = lower; i <= upper; ++i) {
    OwnedVariant element;
    check(SafeArrayGetElement(array, &i, element.get()));
    items.push_back(fromVariant(*element.get()));
  }
  return items;
}

/// Moves the content of a converted VARIANT into the referenced storage of `byRef`.
void moveInto(const VARIANT& byRef, VARIANT& from) {
  VARTYPE type = byRef.vt & ~VT_BYREF;
  if (type & VT_ARRAY) {
    if (*byRef.pparray) SafeArrayDestroy(*byRef.pparray);
    *byRef.pparray = from.parray;
    VariantInit(&from);
    return;
  }
  switch (type) {
    case VT_BOOL:
      *byRef.pboolVal = from.boolVal;
      break;
    case VT_I1:
      *byRef.pcVal = from.cVal;
      break;
    case VT_UI1:
      *byRef.pbVal = from.bVal;
      break;
    case VT_I2:
      *byRef.piVal = from.iVal;
      break;
    case VT_UI2:
      *byRef.puiVal = from.uiVal;
      break;
    case VT_I4:
      *byRef.plVal = from.lVal;
      break;
    case VT_UI4:
      *byRef.pulVal = from.ulVal;
      break;
    case VT_INT:
      *byRef.pintVal = from.intVal;
      break;
    case VT_UINT:
      *byRef.puintVal = from.uintVal;
      break;
    case VT_I8:
      *byRef.pllVal = from.llVal;
      break;
    case VT_UI8:
      *byRef.pullVal = from.ullVal;
      break;
    case VT_R4:
      *byRef.pfltVal = from.fltVal;
      break;
    case VT_R8:
      *byRef.pdblVal = from.dblVal;
      break;
    case VT_CY:
      *byRef.pcyVal = from.cyVal;
      break;
    case VT_DATE:
      *byRef.pdate = from.date;
      break;
    case VT_ERROR:
      *byRef.pscode = from.scode;
      break;
    case VT_BSTR:
      SysFreeString(*byRef.pbstrVal);
      *byRef.pbstrVal = from.bstrVal;
      VariantInit(&from);
      break;
    case VT_DISPATCH:
      if (*byRef.ppdispVal) (*byRef.ppdispVal)->Release();
      *byRef.ppdispVal = from.pdispVal;
      VariantInit(&from);
      break;
    case VT_UNKNOWN:
      if (*byRef.ppunkVal) (*byRef.ppunkVal)->Release();
      *byRef.ppunkVal = from.punkVal;
      VariantInit(&from);
      break;
    default:
      unsupportedType(byRef.vt);
  }
}

}  // namespace

Variant fromVariant(const VARIANT& value) {
  if (value.vt & VT_BYREF) {
    OwnedVariant direct;
    HRESULT hr = VariantCopyInd(direct.get(), const_cast<VARIANT*>(&value));  // reads only
    if (FAILED(hr)) unsupportedType(value.vt);
    return fromVariant(*direct.get());
  }
  if (value.vt & VT_ARRAY) return fromArray(value);
  switch (value.vt) {
    case VT_EMPTY:
      return {};
    case VT_NULL:
      return Variant::null();
    case VT_BOOL:
      return value.boolVal != VARIANT_FALSE;
    case VT_I2:
      return static_cast<int16_t>(value.iVal);
    case VT_I4:
      return static_cast<int32_t>(value.lVal);
    case VT_INT:
      return static_cast<int32_t>(value.intVal);
    case VT_R8:
      return value.dblVal;
    case VT_R4:
      return static_cast<double>(value.fltVal);
    case VT_DATE:
      return automation::Date{value.date};
    case VT_BSTR:
      return fromBstr(value.bstrVal);
    case VT_DISPATCH:
      return objectFor(value.pdispVal);
    case VT_UNKNOWN: {
      if (!value.punkVal) return automation::ObjectPtr{};
      ComPtr<IDispatch> dispatch;
      if (FAILED(value.punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.put()))))
        automation::raiseError(430);
      return objectFor(dispatch.get());
    }
    case VT_ERROR:
      if (value.scode == DISP_E_PARAMNOTFOUND) return Variant::missing();
      return static_cast<int32_t>(value.scode);
    case VT_UI1:
      return static_cast<int16_t>(value.bVal);
    case VT_I1:
      return static_cast<int16_t>(value.cVal);
    case VT_UI2:
      return static_cast<int32_t>(value.uiVal);
    case VT_UI4:
      return fromWide(value.ulVal);
    case VT_UINT:
      return fromWide(value.uintVal);
    case VT_I8:
      return fromWide(value.llVal);
    case VT_UI8:
      if (value.ullVal > static_cast<ULONGLONG>(std::numeric_limits<int64_t>::max()))
        return static_cast<double>(value.ullVal);
      return fromWide(static_cast<int64_t>(value.ullVal));
    case VT_CY:
      return static_cast<double>(value.cyVal.int64) / 10000.0;
    case VT_DECIMAL: {
      double d = 0;
      check(VarR8FromDec(const_cast<DECIMAL*>(&value.decVal), &d));  // reads only
      return d;
    }
    default:
      unsupportedType(value.vt);
  }
}

void toVariant(const Variant& value, VARIANT* out) {
  VariantInit(out);
  switch (value.type()) {
    case VarType::Empty:
      return;
    case VarType::Null:
      out->vt = VT_NULL;
      return;
    case VarType::Boolean:
      out->vt = VT_BOOL;
      out->boolVal = value.boolValue() ? VARIANT_TRUE : VARIANT_FALSE;
      return;
    case VarType::Integer:
      out->vt = VT_I2;
      out->iVal = value.integerValue();
      return;
    case VarType::Long:
      out->vt = VT_I4;
      out->lVal = value.longValue();
      return;
    case VarType::Double:
      out->vt = VT_R8;
      out->dblVal = value.doubleValue();
      return;
    case VarType::Date:
      out->vt = VT_DATE;
      out->date = value.dateValue().serial;
      return;
    case VarType::String:
      out->bstrVal = allocBstr(value.stringValue());
      out->vt = VT_BSTR;
      return;
    case VarType::Object:
      out->pdispVal = value.objectValue() ? dispatchFor(value.objectValue()).detach() : nullptr;
      out->vt = VT_DISPATCH;
      return;
    case VarType::Missing:
      out->vt = VT_ERROR;
      out->scode = DISP_E_PARAMNOTFOUND;
      return;
    case VarType::Array: {
      const automation::Array& items = value.arrayValue();
      SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(items.size()));
      if (!array) throw std::bad_alloc();
      try {
        for (LONG i = 0; i < static_cast<LONG>(items.size()); ++i) {
          OwnedVariant element;
          toVariant(items[static_cast<size_t>(i)], element.get());
          check(SafeArrayPutElement(array, &i, element.get()));
        }
      } catch (...) {
        SafeArrayDestroy(array);
        throw;
      }
      out->vt = VT_ARRAY | VT_VARIANT;
      out->parray = array;
      return;
    }
  }
}

void storeByRef(const VARIANT& byRef, const Variant& value) {
  OwnedVariant fresh;
  toVariant(value, fresh.get());
  VARTYPE type = byRef.vt & ~VT_BYREF;
  if (type == VT_VARIANT) {
    VariantClear(byRef.pvarVal);
    fresh.detachTo(byRef.pvarVal);
    return;
  }
  OwnedVariant converted;
  if (FAILED(VariantChangeType(converted.get(), fresh.get(), VARIANT_ALPHABOOL, type)))
    automation::raiseError(errc::kTypeMismatch);
  moveInto(byRef, *converted.get());
}

namespace {
std::atomic<ObjectWrapper> objectWrapper{nullptr};

/// The class information of a run-time type name, built once per name and kept for the process
/// (wrappers of any lifetime refer to it).
const NamedClassInfo& namedClass(const std::string& typeName) {
  static auto* classes = new std::map<std::string, NamedClassInfo>;
  static std::mutex mutex;
  std::lock_guard lock(mutex);
  auto found = classes->find(typeName);
  if (found != classes->end()) return found->second;
  NamedClassInfo made;
  try {
    made = buildNamedClass(L"Module", toWide(typeName));
  } catch (...) {
    made = {};  // a name no type library takes: the wrapper goes without, and reads as "Object"
  }
  return classes->emplace(typeName, std::move(made)).first->second;
}

}  // namespace

ObjectWrapper setObjectWrapper(ObjectWrapper wrapper) {
  return objectWrapper.exchange(wrapper);
}

ComPtr<IDispatch> dispatchFor(const automation::ObjectPtr& object) {
  if (!object) return nullptr;
  if (auto* adapted = dynamic_cast<DispatchObject*>(object.get()))
    return ComPtr<IDispatch>::share(adapted->dispatch());
  if (ObjectWrapper wrap = objectWrapper.load()) return wrap(object);
  // The module's own objects (the error object handed to the host's show-error operation, the
  // template tools) tell a host their type name through their class information, as the objects
  // of a classic runtime do; their members stay open, found by name when called.
  const NamedClassInfo& type = namedClass(object->typeName());
  return ObjectDispatch::create(object, type.dispatch, type.coclass, /*openMembers=*/true);
}

automation::ObjectPtr objectFor(IDispatch* dispatch) {
  if (!dispatch) return nullptr;
  if (automation::ObjectPtr own = ObjectDispatch::unwrap(dispatch)) return own;
  return DispatchObject::adapt(ComPtr<IDispatch>::share(dispatch));
}

}  // namespace mto::com
