#include "bridge/type_info.h"

#include <ocidl.h>

#include "bridge/com_error.h"

namespace mto::com {

namespace {

/// TYPEATTR released on destruction.
class TypeAttr {
 public:
  explicit TypeAttr(ITypeInfo* info) : info_(info) { check(info->GetTypeAttr(&attr_)); }
  TypeAttr(const TypeAttr&) = delete;
  TypeAttr& operator=(const TypeAttr&) = delete;
  ~TypeAttr() { info_->ReleaseTypeAttr(attr_); }
  const TYPEATTR* operator->() const { return attr_; }

 private:
  ITypeInfo* info_;
  TYPEATTR* attr_ = nullptr;
};

std::wstring memberName(ITypeInfo* info, MEMBERID id) {
  Bstr name;
  if (FAILED(info->GetDocumentation(id, name.put(), nullptr, nullptr, nullptr)) || !name.get()) return {};
  return std::wstring(name.get(), name.length());
}

/// The type an implemented-type slot refers to.
ComPtr<ITypeInfo> implementedType(ITypeInfo* coclass, UINT index) {
  HREFTYPE ref = 0;
  ComPtr<ITypeInfo> out;
  if (FAILED(coclass->GetRefTypeOfImplType(index, &ref))) return nullptr;
  if (FAILED(coclass->GetRefTypeInfo(ref, out.put()))) return nullptr;
  return out;
}

/// The default incoming (or, with `source`, outgoing) interface of a coclass; the first one when
/// none is flagged default.
ComPtr<ITypeInfo> implementedWithFlags(ITypeInfo* coclass, bool source) {
  TypeAttr attr(coclass);
  ComPtr<ITypeInfo> first;
  for (UINT i = 0; i < attr->cImplTypes; ++i) {
    INT flags = 0;
    if (FAILED(coclass->GetImplTypeFlags(i, &flags))) continue;
    if (((flags & IMPLTYPEFLAG_FSOURCE) != 0) != source) continue;
    if (flags & IMPLTYPEFLAG_FDEFAULT) return implementedType(coclass, i);
    if (!first) first = implementedType(coclass, i);
  }
  return first;
}

ComPtr<ITypeInfo> interfaceOf(IDispatch* object) {
  UINT count = 0;
  ComPtr<ITypeInfo> info;
  if (FAILED(object->GetTypeInfoCount(&count)) || count == 0) return nullptr;
  if (FAILED(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put()))) return nullptr;
  return info;
}

}  // namespace

GUID guidOf(ITypeInfo* info) { return TypeAttr(info)->guid; }

TYPEKIND kindOf(ITypeInfo* info) { return TypeAttr(info)->typekind; }

std::wstring nameOf(ITypeInfo* info) { return memberName(info, MEMBERID_NIL); }

std::vector<TypeMember> membersOf(ITypeInfo* info) {
  std::vector<TypeMember> out;
  auto add = [&](MEMBERID id) {
    for (const TypeMember& m : out)
      if (m.id == id) return;
    out.push_back({memberName(info, id), id});
  };
  TypeAttr attr(info);
  for (UINT i = 0; i < attr->cFuncs; ++i) {
    FUNCDESC* func = nullptr;
    if (FAILED(info->GetFuncDesc(i, &func))) continue;
    MEMBERID id = func->memid;
    info->ReleaseFuncDesc(func);
    add(id);
  }
  for (UINT i = 0; i < attr->cVars; ++i) {
    VARDESC* var = nullptr;
    if (FAILED(info->GetVarDesc(i, &var))) continue;
    MEMBERID id = var->memid;
    info->ReleaseVarDesc(var);
    add(id);
  }
  return out;
}

ComPtr<ITypeInfo> coclassOf(IDispatch* object) {
  ComPtr<IProvideClassInfo> provider;
  if (SUCCEEDED(object->QueryInterface(IID_IProvideClassInfo, reinterpret_cast<void**>(provider.put()))) &&
      provider) {
    ComPtr<ITypeInfo> coclass;
    if (SUCCEEDED(provider->GetClassInfo(coclass.put())) && coclass) return coclass;
  }
  ComPtr<ITypeInfo> iface = interfaceOf(object);
  if (!iface) return nullptr;
  GUID wanted = guidOf(iface.get());
  ComPtr<ITypeLib> library;
  UINT position = 0;
  if (FAILED(iface->GetContainingTypeLib(library.put(), &position))) return nullptr;
  UINT count = library->GetTypeInfoCount();
  for (UINT i = 0; i < count; ++i) {
    TYPEKIND kind = TKIND_MAX;
    if (FAILED(library->GetTypeInfoType(i, &kind)) || kind != TKIND_COCLASS) continue;
    ComPtr<ITypeInfo> coclass;
    if (FAILED(library->GetTypeInfo(i, coclass.put()))) continue;
    ComPtr<ITypeInfo> primary = implementedWithFlags(coclass.get(), false);
    if (primary && guidOf(primary.get()) == wanted) return coclass;
  }
  return nullptr;
}

ComPtr<ITypeInfo> defaultSourceOf(ITypeInfo* coclass) { return implementedWithFlags(coclass, true); }

std::wstring runtimeTypeName(IDispatch* object) {
  if (ComPtr<ITypeInfo> coclass = coclassOf(object)) return nameOf(coclass.get());
  if (ComPtr<ITypeInfo> iface = interfaceOf(object)) {
    std::wstring name = nameOf(iface.get());
    if (name.size() > 1 && name[0] == L'_') name.erase(0, 1);
    return name;
  }
  return L"Object";
}

}  // namespace mto::com
