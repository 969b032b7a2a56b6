#include "bridge/object_dispatch.h"

#include "automation/error.h"
#include "bridge/com_error.h"
#include "bridge/invoke_args.h"
#include "bridge/text.h"
#include "bridge/type_info.h"
#include "bridge/variant_convert.h"

namespace mto::com {

// {64BCA0D8-78C1-4BE3-967F-94FBA4E3F271}
const IID IID_IObjectHolder = {0x64bca0d8, 0x78c1, 0x4be3, {0x96, 0x7f, 0x94, 0xfb, 0xa4, 0xe3, 0xf2, 0x71}};

namespace {

const char kModuleToken = 0;

bool sameName(const std::wstring& a, const wchar_t* b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b, -1, TRUE) == CSTR_EQUAL;
}

automation::CallKind callKind(WORD flags, const DISPPARAMS& params) {
  using automation::CallKind;
  bool put = flags & DISPATCH_PROPERTYPUT;
  bool putRef = flags & DISPATCH_PROPERTYPUTREF;
  if (put && putRef && params.cArgs > 0) {
    // A client that cannot tell (a Variant holding an object) offers both; the value decides.
    const VARIANT& value = params.rgvarg[0];
    VARTYPE type = value.vt & ~VT_BYREF;
    return (type == VT_DISPATCH || type == VT_UNKNOWN) ? CallKind::PropertyPutRef : CallKind::PropertyPut;
  }
  if (putRef) return CallKind::PropertyPutRef;
  if (put) return CallKind::PropertyPut;
  if (flags & DISPATCH_METHOD) return CallKind::Method;
  return CallKind::PropertyGet;
}

}  // namespace

ComPtr<IDispatch> ObjectDispatch::create(automation::ObjectPtr object, ComPtr<ITypeInfo> interfaceInfo,
                                         ComPtr<ITypeInfo> classInfo, bool openMembers) {
  auto* made = new ObjectDispatch(std::move(object), std::move(interfaceInfo), std::move(classInfo), openMembers);
  return ComPtr<IDispatch>::adopt(made);
}

ObjectDispatch::ObjectDispatch(automation::ObjectPtr object, ComPtr<ITypeInfo> interfaceInfo,
                               ComPtr<ITypeInfo> classInfo, bool openMembers)
    : object_(std::move(object)), interfaceInfo_(std::move(interfaceInfo)), classInfo_(std::move(classInfo)),
      openMembers_(openMembers || !interfaceInfo_) {
  if (!interfaceInfo_) return;
  interfaceId_ = guidOf(interfaceInfo_.get());
  for (const TypeMember& member : membersOf(interfaceInfo_.get())) {
    if (!findMember(member.id)) members_.push_back({member.name, member.id});
    if (member.id >= nextId_) nextId_ = member.id + 1;
  }
}

ObjectDispatch::~ObjectDispatch() = default;

automation::ObjectPtr ObjectDispatch::unwrap(IUnknown* unknown) {
  if (!unknown) return nullptr;
  ComPtr<IObjectHolder> holder;
  if (FAILED(unknown->QueryInterface(IID_IObjectHolder, reinterpret_cast<void**>(holder.put()))) || !holder)
    return nullptr;
  if (holder->moduleToken() != &kModuleToken) return nullptr;
  return *holder->heldObject();
}

const ObjectDispatch::Member* ObjectDispatch::findMember(const wchar_t* name) const {
  for (const Member& m : members_)
    if (sameName(m.name, name)) return &m;
  return nullptr;
}

const ObjectDispatch::Member* ObjectDispatch::findMember(DISPID id) const {
  for (const Member& m : members_)
    if (m.id == id) return &m;
  return nullptr;
}

void* ObjectDispatch::interfaceFor(REFIID iid) noexcept {
  if (interfaceInfo_ && iid == interfaceId_) return static_cast<IDispatch*>(this);
  if (iid == IID_IProvideClassInfo && !classInfo_) return nullptr;
  return ComObject::interfaceFor(iid);
}

HRESULT ObjectDispatch::GetTypeInfoCount(UINT* count) noexcept {
  if (!count) return E_POINTER;
  *count = interfaceInfo_ ? 1 : 0;
  return S_OK;
}

HRESULT ObjectDispatch::GetTypeInfo(UINT index, LCID, ITypeInfo** info) noexcept {
  if (!info) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  if (!interfaceInfo_) return E_NOTIMPL;
  *info = ComPtr<ITypeInfo>(interfaceInfo_).detach();
  return S_OK;
}

HRESULT ObjectDispatch::GetClassInfo(ITypeInfo** info) noexcept {
  if (!info) return E_POINTER;
  *info = ComPtr<ITypeInfo>(classInfo_).detach();
  return *info ? S_OK : E_NOTIMPL;
}

HRESULT ObjectDispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept {
  return firewall([&]() -> HRESULT {
    if (!names || !ids || count == 0) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    if (const Member* m = findMember(names[0])) {
      ids[0] = m->id;
    } else if (openMembers_) {
      members_.push_back({names[0], nextId_++});
      ids[0] = members_.back().id;
    } else {
      return DISP_E_UNKNOWNNAME;
    }
    // Named arguments are not supported, so parameter names have no DISPIDs.
    return count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
  });
}

HRESULT ObjectDispatch::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                               EXCEPINFO* excepInfo, UINT*) noexcept {
  return firewall(excepInfo, [&]() -> HRESULT {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!params || (params->cArgs > 0 && !params->rgvarg)) return E_INVALIDARG;
    automation::CallKind kind = callKind(flags, *params);
    bool isPut = kind == automation::CallKind::PropertyPut || kind == automation::CallKind::PropertyPutRef;
    if (params->cNamedArgs > (isPut ? 1u : 0u)) return DISP_E_NONAMEDARGS;
    if (params->cNamedArgs == 1 && (!params->rgdispidNamedArgs || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT))
      return DISP_E_NONAMEDARGS;
    if (isPut && params->cArgs == 0) return DISP_E_BADPARAMCOUNT;

    std::string name;
    if (const Member* m = findMember(id))
      name = toUtf8(m->name);
    else if (id != DISPID_VALUE)
      return DISP_E_MEMBERNOTFOUND;  // DISPID_VALUE without a named member is the default member ""

    // The call may release the caller's last reference to this wrapper.
    auto self = ComPtr<IDispatch>::share(this);
    InvokeArguments arguments(*params);
    automation::Variant value = object_->invoke(name, kind, arguments.args());
    arguments.writeBack();
    if (result) toVariant(value, result);
    return S_OK;
  });
}

const void* ObjectDispatch::moduleToken() noexcept { return &kModuleToken; }

const automation::ObjectPtr* ObjectDispatch::heldObject() noexcept { return &object_; }

}  // namespace mto::com
