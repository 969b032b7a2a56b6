#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

#include "bridge/com_ptr.h"

namespace mto::com {

// Reading type information: what the adapter of a host object needs to name the object and to
// find its events.

GUID guidOf(ITypeInfo* info);
TYPEKIND kindOf(ITypeInfo* info);
/// The type's own name (GetDocumentation of MEMBERID_NIL).
std::wstring nameOf(ITypeInfo* info);

struct TypeMember {
  std::wstring name;
  DISPID id;
};
/// The functions and properties of an interface, one entry per DISPID.
std::vector<TypeMember> membersOf(ITypeInfo* info);

/// The coclass of a host object: through IProvideClassInfo, else the coclass of the object's type
/// library whose default interface is the one IDispatch::GetTypeInfo reports. Null when neither.
ComPtr<ITypeInfo> coclassOf(IDispatch* object);

/// The default source (event) interface of a coclass, else its first source interface; null when
/// it raises no events.
ComPtr<ITypeInfo> defaultSourceOf(ITypeInfo* coclass);

/// The run-time type name of a host object: its coclass's name, else the name of its interface
/// without one leading underscore (a class's default interface is conventionally "_Class"), else
/// "Object" for an object without type information.
std::wstring runtimeTypeName(IDispatch* object);

}  // namespace mto::com
