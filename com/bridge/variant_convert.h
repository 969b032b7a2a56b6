#pragma once

#include <windows.h>
#include <oaidl.h>

#include "automation/object.h"
#include "automation/variant.h"
#include "bridge/com_ptr.h"

namespace mto::com {

// VARIANT <-> Variant, in one place. Objects cross in both directions: a plug-in-side Object goes
// to COM as an IDispatch wrapper (ObjectDispatch) and a host IDispatch comes in as a DispatchObject;
// each direction unwraps the other's wrapper, so an object that makes a round trip keeps its
// identity.

/// Reads a VARIANT (by-reference ones through their pointer). BSTR -> String, I2 -> Integer,
/// I4 -> Long, R8 -> Double, DATE -> Date, BOOL -> Boolean, DISPATCH -> Object, VT_ARRAY|VT_VARIANT
/// (one dimension) -> Array, VT_ERROR DISP_E_PARAMNOTFOUND -> Missing; narrower and wider integer
/// types, R4, CY and DECIMAL are widened to Integer, Long or Double. Other types raise 458.
automation::Variant fromVariant(const VARIANT& value);

/// Writes a Variant into `out`, which must be Empty (or uninitialised). Arrays become 0-based
/// VT_ARRAY|VT_VARIANT, Missing becomes VT_ERROR DISP_E_PARAMNOTFOUND.
void toVariant(const automation::Variant& value, VARIANT* out);

/// Stores a value where a VT_BYREF VARIANT points, converted to the referenced type (a
/// VT_BYREF|VT_VARIANT takes the value as it is). A value that does not convert raises 13.
void storeByRef(const VARIANT& byRef, const automation::Variant& value);

/// The IDispatch for an object: the host's own for an adapted host object, else the module's
/// wrapper (a new ObjectDispatch unless `setObjectWrapper` said otherwise).
ComPtr<IDispatch> dispatchFor(const automation::ObjectPtr& object);

/// How this module hands its own Objects to COM. Unset (the plug-in DLL), each goes out as a new
/// ObjectDispatch; a host process that serves its objects with type information and events sets
/// its own. Returns the previous wrapper.
using ObjectWrapper = ComPtr<IDispatch> (*)(const automation::ObjectPtr& object);
ObjectWrapper setObjectWrapper(ObjectWrapper wrapper);

/// The Object for an IDispatch: the plug-in object itself for one of this module's wrappers, else
/// the (shared) adapter of the host object. Null gives null.
automation::ObjectPtr objectFor(IDispatch* dispatch);

}  // namespace mto::com
