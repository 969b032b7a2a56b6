#pragma once

#include <oaidl.h>
#include <windows.h>

#include <string>
#include <vector>

#include "bridge/com_ptr.h"

namespace mto::com {

// Type information built at run time with CreateTypeLib2 (nothing is written to disk): the
// plug-in's own class, and the host classes of the test host.

struct ParamSpec {
  std::wstring name;
  VARTYPE type = VT_VARIANT;
  bool byRef = false;
  bool optional = false;
};

struct MemberSpec {
  std::wstring name;
  DISPID id = 0;
  INVOKEKIND kind = INVOKE_FUNC;
  /// VT_EMPTY for a member that returns nothing.
  VARTYPE result = VT_EMPTY;
  std::vector<ParamSpec> params;
};

struct InterfaceSpec {
  GUID iid;
  std::wstring name;
  std::vector<MemberSpec> members;
};

/// Builds one type library. Add the dispinterfaces first, then the coclasses that name them.
class TypeLibBuilder {
 public:
  TypeLibBuilder(const GUID& libid, const std::wstring& name);

  /// A dispinterface (deriving from IDispatch) with the given members.
  ComPtr<ITypeInfo> addDispInterface(const InterfaceSpec& shape);
  /// A creatable coclass with a default interface and, optionally, a default source interface.
  ComPtr<ITypeInfo> addCoclass(const GUID& clsid, const std::wstring& name, ITypeInfo* defaultInterface,
                               ITypeInfo* defaultSource);

  ComPtr<ITypeLib> library() const;

 private:
  ComPtr<ICreateTypeLib2> library_;
  ComPtr<ITypeInfo> dispatchInfo_;
};

/// The type information of objects known by a run-time type name, in a type library of its own:
/// dispinterface "_Name" without members (callers find members by name), coclass "Name" that a
/// client reads the type name from, and, when `events` has members or `withEvents` is set, the
/// event dispinterface "__Name" as the coclass's default source.
struct NamedClassInfo {
  ComPtr<ITypeInfo> dispatch;
  ComPtr<ITypeInfo> events;  // null for a class without events
  ComPtr<ITypeInfo> coclass;
};
NamedClassInfo buildNamedClass(const std::wstring& libraryName, const std::wstring& name,
                               std::vector<MemberSpec> events = {}, bool withEvents = false);

}  // namespace mto::com
