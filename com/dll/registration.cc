#include "dll/registration.h"

#include <olectl.h>

#include "guids.h"

namespace mto::com {

namespace {

/// Keys of the table that no other key of the table contains.
std::vector<std::wstring> topKeys(const std::vector<RegistryValue>& table) {
  std::vector<std::wstring> tops;
  for (const RegistryValue& value : table) {
    bool inside = false;
    for (const RegistryValue& other : table)
      if (value.key.size() > other.key.size() && value.key.compare(0, other.key.size(), other.key) == 0 &&
          value.key[other.key.size()] == L'\\')
        inside = true;
    bool known = false;
    for (const std::wstring& top : tops) known = known || top == value.key;
    if (!inside && !known) tops.push_back(value.key);
  }
  return tops;
}

/// The default value of HKCR\<key>\CLSID, or "" when absent.
std::wstring classOf(const std::wstring& key) {
  wchar_t data[64] = {};
  DWORD size = sizeof data - sizeof(wchar_t);
  std::wstring sub = key + L"\\CLSID";
  if (RegGetValueW(HKEY_CLASSES_ROOT, sub.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
    return {};
  return data;
}

bool deleteTree(const std::wstring& key) {
  LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
  if (status == ERROR_FILE_NOT_FOUND) return true;
  if (status != ERROR_SUCCESS) return false;
  // RegDeleteTreeW empties the key; the key itself goes with RegDeleteKeyW.
  status = RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

bool writeValue(const RegistryValue& value) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, value.key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                      nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  auto bytes = static_cast<DWORD>((value.data.size() + 1) * sizeof(wchar_t));
  LSTATUS status = RegSetValueExW(key, value.name.empty() ? nullptr : value.name.c_str(), 0, REG_SZ,
                                  reinterpret_cast<const BYTE*>(value.data.c_str()), bytes);
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

}  // namespace

std::vector<RegistryValue> registrationTable(const std::wstring& modulePath) {
  const std::wstring clsidKey = std::wstring(L"CLSID\\") + kClsidText;
  const std::wstring server = clsidKey + L"\\InprocServer32";
  return {
      {clsidKey, L"", kClassName},
      {server, L"", modulePath},
      {server, L"ThreadingModel", L"Apartment"},
      {clsidKey + L"\\ProgID", L"", kProgId},
      {clsidKey + L"\\VersionIndependentProgID", L"", kProgId},
      {kProgId, L"", kClassName},
      {std::wstring(kProgId) + L"\\CLSID", L"", kClsidText},
  };
}

HRESULT registerServer(const std::wstring& modulePath) {
  for (const RegistryValue& value : registrationTable(modulePath)) {
    if (!writeValue(value)) {
      unregisterServer();
      return SELFREG_E_CLASS;
    }
  }
  return S_OK;
}

HRESULT unregisterServer() {
  bool ok = true;
  for (const std::wstring& key : topKeys(registrationTable(L""))) {
    std::wstring owner = classOf(key);
    if (key == kProgId && !owner.empty() && _wcsicmp(owner.c_str(), kClsidText) != 0) continue;
    ok = deleteTree(key) && ok;
  }
  return ok ? S_OK : SELFREG_E_CLASS;
}

}  // namespace mto::com
