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

/// The type library's description, as its helpstring in T8MTOChange.idl.
constexpr wchar_t kLibraryTitle[] = L"T8MTOChange 1.0: MTO change plug-in for bills";

/// HKCR's key of the type library's version 1.0: TypeLib\{LIBID}\1.0.
std::wstring libraryVersionKey() { return std::wstring(L"TypeLib\\") + kLibidText + L"\\" + kLibVersionText; }

/// The folder of a file path, without the trailing separator; "" for a bare name.
std::wstring folderOf(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

/// Whether HKCR\<key> exists and has at least one subkey.
bool hasSubkeys(const std::wstring& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  DWORD subkeys = 0;
  LSTATUS status = RegQueryInfoKeyW(handle, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                                    nullptr, nullptr, nullptr, nullptr);
  RegCloseKey(handle);
  return status == ERROR_SUCCESS && subkeys > 0;
}

}  // namespace

std::vector<RegistryValue> registrationTable(const std::wstring& modulePath) {
  const std::wstring clsidKey = std::wstring(L"CLSID\\") + kClsidText;
  const std::wstring server = clsidKey + L"\\InprocServer32";
  const std::wstring library = libraryVersionKey();
  const std::wstring interfaceKey = std::wstring(L"Interface\\") + kIidText;
  return {
      {clsidKey, L"", kClassName},
      {server, L"", modulePath},
      {server, L"ThreadingModel", L"Apartment"},
      {clsidKey + L"\\ProgID", L"", kProgId},
      {clsidKey + L"\\VersionIndependentProgID", L"", kProgId},
      {kProgId, L"", kClassName},
      {std::wstring(kProgId) + L"\\CLSID", L"", kClsidText},
      {clsidKey + L"\\TypeLib", L"", kLibidText},
      {clsidKey + L"\\Version", L"", kLibVersionText},
      // The type library is resource 1 of the DLL itself.
      {library, L"", kLibraryTitle},
      {library + L"\\FLAGS", L"", L"0"},
      {library + L"\\HELPDIR", L"", folderOf(modulePath)},
      {platformKey(), L"", modulePath},
      {interfaceKey, L"", L"_clsMTOChange"},
      {interfaceKey + L"\\ProxyStubClsid32", L"", kAutomationMarshalerText},
      {interfaceKey + L"\\ProxyStubClsid", L"", kAutomationMarshalerText},
      {interfaceKey + L"\\TypeLib", L"", kLibidText},
      {interfaceKey + L"\\TypeLib", L"Version", kLibVersionText},
  };
}

std::wstring platformKey() {
  return libraryVersionKey() + (sizeof(void*) == 8 ? L"\\0\\win64" : L"\\0\\win32");
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
  // The 32-bit and the 64-bit DLL share the TypeLib and Interface keys: this one removes its own
  // platform's entry, and the shared keys only when no other platform's entry is left.
  ok = deleteTree(platformKey()) && ok;
  const std::wstring platforms = libraryVersionKey() + L"\\0";
  if (!hasSubkeys(platforms)) ok = deleteTree(platforms) && ok;
  const bool libraryShared = hasSubkeys(platforms);
  for (const std::wstring& key : topKeys(registrationTable(L""))) {
    std::wstring owner = classOf(key);
    if (key == kProgId && !owner.empty() && _wcsicmp(owner.c_str(), kClsidText) != 0) continue;
    if (libraryShared && (key.starts_with(L"TypeLib\\") || key.starts_with(L"Interface\\"))) continue;
    ok = deleteTree(key) && ok;
  }
  // TypeLib\{LIBID} itself holds no value of ours: it goes once no version is left in it.
  const std::wstring libraryKey = std::wstring(L"TypeLib\\") + kLibidText;
  if (!libraryShared && !hasSubkeys(libraryKey)) ok = deleteTree(libraryKey) && ok;
  return ok ? S_OK : SELFREG_E_CLASS;
}

}  // namespace mto::com
