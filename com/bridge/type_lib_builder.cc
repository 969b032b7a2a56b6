#include "bridge/type_lib_builder.h"

#include "bridge/com_error.h"

namespace mto::com {

namespace {

ComPtr<ITypeInfo> loadIDispatchInfo() {
  ComPtr<ITypeLib> stdole;
  if (FAILED(LoadTypeLib(L"stdole2.tlb", stdole.put())))
    check(LoadRegTypeLib(IID_StdOle, STDOLE2_MAJORVERNUM, STDOLE2_MINORVERNUM, STDOLE2_LCID, stdole.put()));
  ComPtr<ITypeInfo> info;
  check(stdole->GetTypeInfoOfGuid(IID_IDispatch, info.put()));
  return info;
}

ComPtr<ITypeInfo> finish(ICreateTypeInfo* creating) {
  check(creating->LayOut());
  ComPtr<ITypeInfo> info;
  check(creating->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(info.put())));
  return info;
}

/// The TYPEDESCs of one function's parameters and result, kept alive while the FUNCDESC is added.
struct FunctionLayout {
  explicit FunctionLayout(const MemberSpec& shape)
      : pointees(shape.params.size()), elements(shape.params.size()) {
    for (size_t i = 0; i < shape.params.size(); ++i) {
      const ParamSpec& param = shape.params[i];
      ELEMDESC& element = elements[i];
      element = ELEMDESC{};
      if (param.byRef) {
        pointees[i].vt = param.type;
        element.tdesc.vt = VT_PTR;
        element.tdesc.lptdesc = &pointees[i];
        element.paramdesc.wParamFlags = PARAMFLAG_FIN | PARAMFLAG_FOUT;
      } else {
        element.tdesc.vt = param.type;
        element.paramdesc.wParamFlags = PARAMFLAG_FIN;
      }
      if (param.optional) element.paramdesc.wParamFlags |= PARAMFLAG_FOPT;
    }
    desc.memid = shape.id;
    desc.funckind = FUNC_DISPATCH;
    desc.invkind = shape.kind;
    desc.callconv = CC_STDCALL;
    desc.cParams = static_cast<SHORT>(shape.params.size());
    desc.lprgelemdescParam = elements.empty() ? nullptr : elements.data();
    desc.elemdescFunc.tdesc.vt = shape.result == VT_EMPTY ? VARTYPE{VT_VOID} : shape.result;
  }
  std::vector<TYPEDESC> pointees;
  std::vector<ELEMDESC> elements;
  FUNCDESC desc{};
};

}  // namespace

TypeLibBuilder::TypeLibBuilder(const GUID& libid, const std::wstring& name) {
  SYSKIND kind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
  std::wstring file = name + L".tlb";
  check(CreateTypeLib2(kind, file.c_str(), library_.put()));
  check(library_->SetGuid(libid));
  check(library_->SetName(const_cast<LPOLESTR>(name.c_str())));
  check(library_->SetVersion(1, 0));
  check(library_->SetLcid(LOCALE_NEUTRAL));
  dispatchInfo_ = loadIDispatchInfo();
}

ComPtr<ITypeInfo> TypeLibBuilder::addDispInterface(const InterfaceSpec& shape) {
  ComPtr<ICreateTypeInfo> creating;
  check(library_->CreateTypeInfo(const_cast<LPOLESTR>(shape.name.c_str()), TKIND_DISPATCH, creating.put()));
  check(creating->SetGuid(shape.iid));
  check(creating->SetTypeFlags(TYPEFLAG_FDISPATCHABLE));
  HREFTYPE base = 0;
  check(creating->AddRefTypeInfo(dispatchInfo_.get(), &base));
  check(creating->AddImplType(0, base));
  UINT index = 0;
  for (const MemberSpec& member : shape.members) {
    FunctionLayout shape(member);
    check(creating->AddFuncDesc(index, &shape.desc));
    // A property put's value parameter has no name of its own.
    std::vector<LPOLESTR> names{const_cast<LPOLESTR>(member.name.c_str())};
    size_t named = member.params.size();
    if ((member.kind == INVOKE_PROPERTYPUT || member.kind == INVOKE_PROPERTYPUTREF) && named > 0) --named;
    for (size_t i = 0; i < named; ++i) names.push_back(const_cast<LPOLESTR>(member.params[i].name.c_str()));
    check(creating->SetFuncAndParamNames(index, names.data(), static_cast<UINT>(names.size())));
    ++index;
  }
  return finish(creating.get());
}

ComPtr<ITypeInfo> TypeLibBuilder::addCoclass(const GUID& clsid, const std::wstring& name,
                                             ITypeInfo* defaultInterface, ITypeInfo* defaultSource) {
  ComPtr<ICreateTypeInfo> creating;
  check(library_->CreateTypeInfo(const_cast<LPOLESTR>(name.c_str()), TKIND_COCLASS, creating.put()));
  check(creating->SetGuid(clsid));
  check(creating->SetTypeFlags(TYPEFLAG_FCANCREATE));
  HREFTYPE ref = 0;
  check(creating->AddRefTypeInfo(defaultInterface, &ref));
  check(creating->AddImplType(0, ref));
  check(creating->SetImplTypeFlags(0, IMPLTYPEFLAG_FDEFAULT));
  if (defaultSource) {
    check(creating->AddRefTypeInfo(defaultSource, &ref));
    check(creating->AddImplType(1, ref));
    check(creating->SetImplTypeFlags(1, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE));
  }
  return finish(creating.get());
}

ComPtr<ITypeLib> TypeLibBuilder::library() const {
  return library_.as<ITypeLib>(IID_ITypeLib);
}

NamedClassInfo buildNamedClass(const std::wstring& libraryName, const std::wstring& name,
                               std::vector<MemberSpec> events, bool withEvents) {
  auto newGuid = [] {
    GUID id;
    check(CoCreateGuid(&id));
    return id;
  };
  TypeLibBuilder library(newGuid(), libraryName);
  NamedClassInfo made;
  made.dispatch = library.addDispInterface(InterfaceSpec{newGuid(), L"_" + name, {}});
  if (withEvents || !events.empty())
    made.events = library.addDispInterface(InterfaceSpec{newGuid(), L"__" + name, std::move(events)});
  made.coclass = library.addCoclass(newGuid(), name, made.dispatch.get(), made.events.get());
  return made;
}

}  // namespace mto::com
