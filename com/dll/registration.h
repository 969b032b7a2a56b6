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

/// Everything registration writes, for a server DLL at `modulePath`. Unregistration removes the
/// table's top keys (those not inside another key of the table) with all they contain.
std::vector<RegistryValue> registrationTable(const std::wstring& modulePath);

/// Writes the table; on failure removes what it wrote and returns SELFREG_E_CLASS.
HRESULT registerServer(const std::wstring& modulePath);
/// Removes the table's keys; keys already absent count as removed. The ProgID is left alone when
/// it names another class.
HRESULT unregisterServer();

}  // namespace mto::com
