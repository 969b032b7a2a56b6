#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace mto::com {

/// One value the server writes under HKEY_CLASSES_ROOT ("" names the key's default value).
struct RegistryValue {
  std::wstring key;
  std::wstring name;
  std::wstring data;
};

/// Everything registration writes, for a server DLL at `modulePath`: the class, its ProgID, the
/// type library embedded in the DLL (TypeLib\{LIBID}\1.0) and the dispinterface, marshaled by the
/// automation marshaler (Interface\{IID}). Unregistration removes the table's top keys (those not
/// inside another key of the table) with all they contain; the TypeLib and Interface keys only when
/// no other platform's DLL has its library registered there too.
std::vector<RegistryValue> registrationTable(const std::wstring& modulePath);

/// HKCR's key of the type library's entry for this build's platform: TypeLib\{LIBID}\1.0\0\win64
/// (win32 in the 32-bit DLL).
std::wstring platformKey();

/// Writes the table; on failure removes what it wrote and returns SELFREG_E_CLASS.
HRESULT registerServer(const std::wstring& modulePath);
/// Removes the table's keys; keys already absent count as removed. The ProgID is left alone when
/// it names another class.
HRESULT unregisterServer();

}  // namespace mto::com
