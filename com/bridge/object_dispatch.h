#pragma once

#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>

#include <string>
#include <vector>

#include "automation/object.h"
#include "bridge/com_object.h"
#include "bridge/com_ptr.h"

namespace mto::com {

/// Private interface by which a module recognises its own wrappers when they come back from a host.
/// The token tells whose: an object from another module (another copy of this code, with its own
/// runtime) is never unwrapped.
struct IObjectHolder : IUnknown {
  virtual const void* STDMETHODCALLTYPE moduleToken() = 0;
  virtual const automation::ObjectPtr* STDMETHODCALLTYPE heldObject() = 0;

 protected:
  ~IObjectHolder() = default;
};
extern const IID IID_IObjectHolder;

}  // namespace mto::com

__CRT_UUID_DECL(mto::com::IObjectHolder, 0x64bca0d8, 0x78c1, 0x4be3, 0x96, 0x7f, 0x94, 0xfb, 0xa4, 0xe3, 0xf2, 0x71)

namespace mto::com {

/// IDispatch over an `Object`: how plug-in objects reach a host. With type information (a
/// dispinterface, and optionally the coclass for IProvideClassInfo) names and DISPIDs come from it;
/// without, or with `openMembers`, each new name gets the next free DISPID (the Object reports a
/// missing member when invoked).
/// Names compare without regard to case. Invoke maps the DISPID back to the member name and calls
/// `Object::invoke`; errors leave as DISP_E_EXCEPTION with EXCEPINFO.
/// It answers IUnknown, IDispatch, the dispinterface's IID, IProvideClassInfo (only with a coclass)
/// and IObjectHolder.
class ObjectDispatch : public ComObject<IDispatch, IProvideClassInfo, IObjectHolder> {
 public:
  static ComPtr<IDispatch> create(automation::ObjectPtr object, ComPtr<ITypeInfo> interfaceInfo = {},
                                  ComPtr<ITypeInfo> classInfo = {}, bool openMembers = false);
  /// The Object inside one of this module's wrappers; null for anything else.
  static automation::ObjectPtr unwrap(IUnknown* unknown);

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) noexcept override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) noexcept override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* excepInfo, UINT* argError) noexcept override;
  // IProvideClassInfo
  HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) noexcept override;
  // IObjectHolder
  const void* STDMETHODCALLTYPE moduleToken() noexcept override;
  const automation::ObjectPtr* STDMETHODCALLTYPE heldObject() noexcept override;

  const automation::ObjectPtr& object() const { return object_; }

 protected:
  ObjectDispatch(automation::ObjectPtr object, ComPtr<ITypeInfo> interfaceInfo, ComPtr<ITypeInfo> classInfo,
                 bool openMembers = false);
  ~ObjectDispatch() override;
  /// The dispinterface's IID as IDispatch, no IProvideClassInfo without a coclass, else the table.
  void* interfaceFor(REFIID iid) noexcept override;

 private:
  struct Member {
    std::wstring name;
    DISPID id;
  };
  const Member* findMember(const wchar_t* name) const;
  const Member* findMember(DISPID id) const;

  automation::ObjectPtr object_;
  ComPtr<ITypeInfo> interfaceInfo_;
  ComPtr<ITypeInfo> classInfo_;
  IID interfaceId_ = IID_NULL;
  bool openMembers_;
  std::vector<Member> members_;
  DISPID nextId_ = 1;
};

}  // namespace mto::com
