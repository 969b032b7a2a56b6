#pragma once

#include <windows.h>
#include <unknwn.h>

#include "bridge/com_ptr.h"
#include "bridge/module_count.h"

namespace mto::com {

/// A new clsMTOChange behind its typed IDispatch (dispinterface _clsMTOChange, coclass
/// clsMTOChange for IProvideClassInfo).
ComPtr<IDispatch> createPlugin();

/// The class factory of clsMTOChange; aggregation is not supported.
class PluginFactory : public IClassFactory, private CountedObject {
 public:
  static ComPtr<IClassFactory> create();
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override;
  ULONG STDMETHODCALLTYPE AddRef() noexcept override;
  ULONG STDMETHODCALLTYPE Release() noexcept override;
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) noexcept override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) noexcept override;

 private:
  PluginFactory() = default;
  virtual ~PluginFactory() = default;
  LONG refs_ = 1;
};

}  // namespace mto::com
