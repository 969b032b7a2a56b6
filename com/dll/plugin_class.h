#pragma once

#include <windows.h>
#include <unknwn.h>

#include "bridge/com_object.h"
#include "bridge/com_ptr.h"

namespace mto::com {

/// A new clsMTOChange behind its typed IDispatch (dispinterface _clsMTOChange, coclass
/// clsMTOChange for IProvideClassInfo).
ComPtr<IDispatch> createPlugin();

/// The class factory of clsMTOChange; aggregation is not supported.
class PluginFactory : public ComObject<IClassFactory> {
 public:
  /// A new factory, answering IUnknown and IClassFactory.
  static ComPtr<IClassFactory> create();
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) noexcept override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) noexcept override;

 private:
  PluginFactory() = default;
  ~PluginFactory() override = default;
};

}  // namespace mto::com
