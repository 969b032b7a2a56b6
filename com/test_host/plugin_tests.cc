// The plug-in DLL as a host meets it: registered by regsvr32, created by ProgID, called through
// IDispatch with late binding, bound to bill and list objects whose events it receives.

#include <objbase.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bridge/com_error.h"
#include "bridge/text.h"
#include "bridge/type_info.h"
#include "guids.h"
#include "sim/components/collections.h"
#include "test_host/check.h"
#include "test_host/host_types.h"
#include "test_host/suites.h"

namespace mto::testhost {

using automation::CallKind;
using automation::Variant;
using com::OwnedExcepInfo;
using com::OwnedVariant;

namespace {

constexpr wchar_t kServerFile[] = L"T8MTOChange.dll";

/// Late binding as a classic client does it: the name to a DISPID, then Invoke.
HRESULT callByName(IDispatch* object, const wchar_t* name, std::vector<VARIANT> args,
                   VARIANT* result = nullptr, EXCEPINFO* excepInfo = nullptr) {
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  DISPID id = DISPID_UNKNOWN;
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return hr;
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr, static_cast<UINT>(reversed.size()),
                    0};
  return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params,
                        result, excepInfo, nullptr);
}

HRESULT canUnloadNow() {
  HMODULE server = GetModuleHandleW(kServerFile);
  if (!server) return E_FAIL;
  using CanUnload = HRESULT(STDAPICALLTYPE*)();
  auto entry =
      reinterpret_cast<CanUnload>(reinterpret_cast<void (*)()>(GetProcAddress(server, "DllCanUnloadNow")));
  return entry ? entry() : E_FAIL;
}

std::wstring registryText(const std::wstring& key, const wchar_t* value) {
  wchar_t data[MAX_PATH * 2] = {};
  DWORD size = sizeof data - sizeof(wchar_t);
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), value, RRF_RT_REG_SZ, nullptr, data, &size) !=
      ERROR_SUCCESS)
    return {};
  return data;
}

std::shared_ptr<ScriptedObject> billBehaviour() {
  auto bill = std::make_shared<ScriptedObject>("Bill");
  bill->on("GetFieldValue", [](CallKind, automation::Args a) -> Variant {
    std::string key = a[0].value().stringValue();
    if (key == "FNote") return "沃岚 MTO ü";
    if (key == "FQty") return 12.5;
    return {};
  });
  return bill;
}

ComPtr<IDispatch> makeDictionary(std::initializer_list<std::pair<const char*, Variant>> entries) {
  auto dictionary = sim::Dictionary::create();
  for (auto& [key, value] : entries) dictionary->set(key, value);
  return com::ObjectDispatch::create(dictionary);
}


/// A new empty folder under the temporary folder.
std::wstring temporaryFolder(const wchar_t* stem) {
  wchar_t base[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH, base);
  std::wstring folder = std::wstring(base) + stem + L"-" + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

/// Sets the user's JournalFolder value to `folder`; an empty one removes the key.
bool setJournalFolder(const std::wstring& folder) {
  if (folder.empty()) {
    LSTATUS status = RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\T8MTOChange");
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND)
      status = RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\T8MTOChange");
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
  }
  const auto bytes = static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t));
  return RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\T8MTOChange", L"JournalFolder", REG_SZ, folder.c_str(),
                         bytes) == ERROR_SUCCESS;
}

/// The names of the journal files in a folder.
std::vector<std::wstring> journalFiles(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\T8MTOChange-*.jsonl").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do names.emplace_back(found.cFileName);
  while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

/// A file's bytes as text.
std::string fileText(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

void runPluginTests() {
  TestRun& t = tests();
  ComPtr<IDispatch> plugin;
  auto billObject = HostObject::create(billBehaviour(), hostTypes().bill);
  auto listBehaviour = std::make_shared<ScriptedObject>("List");
  listBehaviour->property("RaiseListFillRow", false);
  auto listObject = HostObject::create(listBehaviour, hostTypes().list);
  auto lookalike = HostObject::create(billBehaviour(), hostTypes().lookalike);

  t.group("plug-in registration");
  t.run("the ProgID names the class and the class names this DLL, apartment-threaded", [&] {
    CLSID clsid{};
    t.expectHr(CLSIDFromProgID(com::kProgId, &clsid), S_OK, "CLSIDFromProgID");
    EXPECT(clsid == com::kClsidMtoChange);
    std::wstring server = std::wstring(L"CLSID\\") + com::kClsidText + L"\\InprocServer32";
    t.expectEq(com::toUtf8(registryText(server, L"ThreadingModel")), "Apartment", "ThreadingModel");
    std::wstring path = registryText(server, nullptr);
    EXPECT(path.size() > wcslen(kServerFile) &&
           _wcsicmp(path.c_str() + path.size() - wcslen(kServerFile), kServerFile) == 0);
    EXPECT(GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES);
  });
  t.run("CoCreateInstance by ProgID gives an IDispatch", [&] {
    CLSID clsid{};
    CLSIDFromProgID(com::kProgId, &clsid);
    t.expectHr(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(plugin.put())),
               S_OK, "CoCreateInstance");
    EXPECT(plugin.get() != nullptr);
  });
  if (!plugin) return;  // nothing below can run

  t.group("plug-in type information and names");
  t.run("its type information names the interface and the class", [&] {
    ComPtr<ITypeInfo> info;
    t.expectHr(plugin->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put()), S_OK, "GetTypeInfo");
    t.expectEq(com::toUtf8(com::nameOf(info.get())), "_clsMTOChange", "interface");
    t.expectEq(com::toUtf8(com::runtimeTypeName(plugin.get())), "clsMTOChange", "class");
    auto typed = plugin.as<IDispatch>(com::kIidMtoChange);
    EXPECT(typed.get() != nullptr);
  });
  t.run("its type information is that of the library embedded in the DLL", [&] {
    ComPtr<ITypeInfo> info;
    ComPtr<ITypeLib> library;
    UINT index = 0;
    plugin->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put());
    if (info) t.expectHr(info->GetContainingTypeLib(library.put(), &index), S_OK, "GetContainingTypeLib");
    if (!library) return;
    com::Bstr help;
    library->GetDocumentation(-1, nullptr, help.put(), nullptr, nullptr);
    t.expectEq(com::fromBstr(help.get()), "T8MTOChange 1.0: MTO change plug-in for bills",
               "only the compiled library has a description");
  });
  t.run("names resolve without regard to case; unknown names fail", [&] {
    auto idOf = [&](const wchar_t* name, DISPID& id) {
      LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
      return plugin->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    };
    DISPID show = 0, lower = 1, upper = 2, filed = 0, none = 0;
    t.expectHr(idOf(L"Show", show), S_OK, "Show");
    t.expectHr(idOf(L"show", lower), S_OK, "show");
    t.expectHr(idOf(L"SHOW", upper), S_OK, "SHOW");
    EXPECT(show == lower && show == upper);
    t.expectHr(idOf(L"getfiledvalue", filed), S_OK, "getfiledvalue");
    t.expectHr(idOf(L"insertseptool", none), S_OK, "insertseptool");
    t.expectHr(idOf(L"GetFieldValue", none), DISP_E_UNKNOWNNAME, "the correct spelling is not a member");
  });
  t.run("the DLL stays loaded while an object lives",
        [&] { t.expectHr(canUnloadNow(), S_FALSE, "DllCanUnloadNow"); });

  t.group("Show binds by run-time type name");
  t.run("a BillEvent is bound and subscribed", [&] {
    t.expectHr(callByName(plugin.get(), L"Show", {dispatchValue(billObject->dispatch())}), S_OK, "Show");
    EXPECT(billObject->connectionCount() == 1);
  });
  t.run("\"billevent\" binds nothing", [&] {
    t.expectHr(callByName(plugin.get(), L"Show", {dispatchValue(lookalike->dispatch())}), S_OK, "Show");
    EXPECT(lookalike->connectionCount() == 0);
    EXPECT(billObject->connectionCount() == 1);
  });
  t.run("a ListEvents is bound and its RaiseListFillRow switched on by a property put", [&] {
    t.expectHr(callByName(plugin.get(), L"show", {dispatchValue(listObject->dispatch())}), S_OK, "Show");
    EXPECT(listObject->connectionCount() == 1);
    EXPECT(listBehaviour->propertyValue("RaiseListFillRow") == Variant(true));
    EXPECT(!listBehaviour->calls().empty() && listBehaviour->calls().back() == "RaiseListFillRow:P");
  });
  t.run("Nothing binds nothing and raises nothing", [&] {
    t.expectHr(callByName(plugin.get(), L"Show", {dispatchValue(nullptr)}), S_OK, "Show");
    EXPECT(billObject->connectionCount() == 1 && listObject->connectionCount() == 1);
  });

  t.group("events reach the plug-in");
  auto noCell = makeDictionary({});
  t.run("Change with Cancel as VT_BYREF|VT_BOOL leaves a head-row Cancel as it was", [&] {
    VARIANT_BOOL cancel = VARIANT_TRUE;
    t.expectHr(billObject->raise(L"Change", {dispatchValue(noCell.get()), dispatchValue(noCell.get()),
                                             longValue(1), longValue(0), byRef(VT_BOOL, &cancel)}),
               S_OK, "raise");
    EXPECT(cancel == VARIANT_TRUE);
  });
  t.run("Change with Cancel as VT_BYREF|VT_VARIANT leaves it as it was", [&] {
    OwnedVariant cancel;
    cancel->vt = VT_BOOL;
    cancel->boolVal = VARIANT_TRUE;
    t.expectHr(billObject->raise(L"Change", {dispatchValue(noCell.get()), dispatchValue(noCell.get()),
                                             longValue(1), longValue(0), byRef(VT_VARIANT, cancel.get())}),
               S_OK, "raise");
    EXPECT(cancel->vt == VT_BOOL && cancel->boolVal == VARIANT_TRUE);
  });
  t.run("events the plug-in does not handle are accepted; a list command without its tool is refused", [&] {
    t.expectHr(billObject->raise(L"Heartbeat", {}), S_OK, "Heartbeat");
    t.expectHr(listObject->raise(L"BarInitialize", {dispatchValue(nullptr)}), S_OK,
               "list BarInitialize without a control skips every step");
    VARIANT_BOOL cancel = VARIANT_FALSE;
    t.expectHr(listObject->raise(L"MenuBarClick", {dispatchValue(nullptr), byRef(VT_BOOL, &cancel)}),
               DISP_E_EXCEPTION, "list MenuBarClick without a tool");
    EXPECT(cancel == VARIANT_FALSE);
  });
  // Choosing a material with an empty value clears the row: the plug-in first reads the bill's
  // template ("TableInfo"), which this bill lacks (438). ClearSpecifiedRow re-raises that with
  // 20000 added and its name in front of the source; the Change handler has no trap, so the error
  // goes back to the host's event call.
  t.run("a handler's error reaches the event call with the source chain in EXCEPINFO", [&] {
    auto field = makeDictionary({{"FKey", "FItemID"}});
    auto cell = makeDictionary({{"FFLD", ""}});
    VARIANT_BOOL cancel = VARIANT_FALSE;
    OwnedExcepInfo info;
    t.expectHr(billObject->raise(L"Change",
                                 {dispatchValue(field.get()), dispatchValue(cell.get()), longValue(1),
                                  longValue(1), byRef(VT_BOOL, &cancel)},
                                 info.get()),
               DISP_E_EXCEPTION, "raise");
    t.expectHr(info->scode, static_cast<HRESULT>(0x800A0000 | 20438), "scode");
    t.expectEq(com::fromBstr(info->bstrSource), "T8MTOChange.modBillOpt::ClearSpecifiedRow\r\nT8MTOChange",
               "source");
    t.expectEq(com::fromBstr(info->bstrDescription), "Object doesn't support this property or method",
               "description");
  });

  t.group("GetFiledValue through late binding");
  t.run("\"getfiledvalue\" reads a field as text, the bill passed by reference", [&] {
    IDispatch* bill = billObject->dispatch();
    OwnedVariant text, number;
    com::Bstr note(L"FNote"), qty(L"FQty");
    VARIANT noteKey;
    noteKey.vt = VT_BSTR;
    noteKey.bstrVal = note.get();
    t.expectHr(callByName(plugin.get(), L"getfiledvalue", {byRef(VT_DISPATCH, &bill), longValue(2), noteKey},
                          text.get()),
               S_OK, "FNote");
    EXPECT(text->vt == VT_BSTR);
    t.expectEq(com::fromBstr(text->bstrVal), "沃岚 MTO ü", "FNote");
    EXPECT(bill == billObject->dispatch());
    VARIANT qtyKey;
    qtyKey.vt = VT_BSTR;
    qtyKey.bstrVal = qty.get();
    t.expectHr(callByName(plugin.get(), L"GETFILEDVALUE", {byRef(VT_DISPATCH, &bill), longValue(2), qtyKey},
                          number.get()),
               S_OK, "FQty");
    t.expectEq(com::fromBstr(number->bstrVal), "12.5", "FQty");
  });
  t.run("a missing argument is error 449 as DISP_E_EXCEPTION", [&] {
    OwnedExcepInfo info;
    t.expectHr(callByName(plugin.get(), L"GetFiledValue", {dispatchValue(billObject->dispatch())}, nullptr,
                          info.get()),
               DISP_E_EXCEPTION, "GetFiledValue");
    t.expectHr(info->scode, static_cast<HRESULT>(0x800A01C1), "scode");
  });

  t.group("binding again and releasing");
  auto secondBill = HostObject::create(billBehaviour(), hostTypes().bill);
  t.run("Show with a new bill leaves the old one with no connection", [&] {
    t.expectHr(callByName(plugin.get(), L"Show", {dispatchValue(secondBill->dispatch())}), S_OK, "Show");
    EXPECT(billObject->connectionCount() == 0);
    EXPECT(secondBill->connectionCount() == 1);
    EXPECT(listObject->connectionCount() == 1);
  });
  t.run("releasing the plug-in ends both subscriptions and lets the DLL unload", [&] {
    plugin.reset();
    EXPECT(secondBill->connectionCount() == 0);
    EXPECT(listObject->connectionCount() == 0);
    t.expectHr(canUnloadNow(), S_OK, "DllCanUnloadNow");
  });
  t.run("2,000 objects created by ProgID, shown Nothing and released leave the DLL unloadable", [&] {
    CLSID clsid{};
    CLSIDFromProgID(com::kProgId, &clsid);
    int failures = 0;
    for (int i = 0; i < 2000; ++i) {
      ComPtr<IDispatch> object;
      HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                    reinterpret_cast<void**>(object.put()));
      if (SUCCEEDED(hr)) hr = callByName(object.get(), L"show", {nothing()});
      if (FAILED(hr)) ++failures;
    }
    EXPECT(failures == 0);
    t.expectHr(canUnloadNow(), S_OK, "DllCanUnloadNow");
  });
  t.run("500 cycles through the class factory, bound to a bill and a list, with a failing event, leave "
        "no object, lock, connection or host reference behind", [&] {
    HMODULE server = GetModuleHandleW(kServerFile);
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto getClassObject = server ? reinterpret_cast<GetClassObject>(reinterpret_cast<void (*)()>(
                                       GetProcAddress(server, "DllGetClassObject")))
                                 : nullptr;
    EXPECT(getClassObject != nullptr);
    if (!getClassObject) return;
    auto bill = HostObject::create(billBehaviour(), hostTypes().bill);
    auto list = HostObject::create(listBehaviour, hostTypes().list);
    auto references = [](IDispatch* object) {
      object->AddRef();
      return object->Release();
    };
    const ULONG billReferences = references(bill->dispatch());
    const ULONG listReferences = references(list->dispatch());
    auto field = makeDictionary({{"FKey", "FItemID"}});
    auto cell = makeDictionary({{"FFLD", ""}});
    int failures = 0;
    for (int i = 0; i < 500; ++i) {
      ComPtr<IClassFactory> factory;
      ComPtr<IDispatch> object;
      HRESULT hr = getClassObject(com::kClsidMtoChange, IID_IClassFactory, reinterpret_cast<void**>(factory.put()));
      if (SUCCEEDED(hr)) hr = factory->LockServer(TRUE);
      if (SUCCEEDED(hr))
        hr = factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(object.put()));
      if (SUCCEEDED(hr)) hr = callByName(object.get(), L"Show", {dispatchValue(bill->dispatch())});
      if (SUCCEEDED(hr)) hr = callByName(object.get(), L"Show", {dispatchValue(list->dispatch())});
      if (SUCCEEDED(hr)) {
        VARIANT_BOOL cancel = VARIANT_FALSE;
        OwnedExcepInfo info;
        HRESULT raised = bill->raise(L"Change",
                                     {dispatchValue(field.get()), dispatchValue(cell.get()), longValue(1),
                                      longValue(1), byRef(VT_BOOL, &cancel)},
                                     info.get());
        if (raised != DISP_E_EXCEPTION) hr = E_UNEXPECTED;
      }
      if (factory) factory->LockServer(FALSE);
      if (FAILED(hr)) ++failures;
    }
    EXPECT(failures == 0);
    EXPECT(bill->connectionCount() == 0 && list->connectionCount() == 0);
    EXPECT(references(bill->dispatch()) == billReferences);
    EXPECT(references(list->dispatch()) == listReferences);
    t.expectHr(canUnloadNow(), S_OK, "DllCanUnloadNow");
  });

  t.group("the journal, switched by the user's JournalFolder value");
  const std::wstring folder = temporaryFolder(L"mto-journal-test");
  const std::wstring notAFolder = folder + L"\\a-file";
  auto createShowRelease = [&](IDispatch* billDispatch) {
    CLSID clsid{};
    CLSIDFromProgID(com::kProgId, &clsid);
    ComPtr<IDispatch> object;
    HRESULT hr =
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(object.put()));
    if (SUCCEEDED(hr)) hr = callByName(object.get(), L"Show", {dispatchValue(billDispatch)});
    return hr;
  };
  t.run("set, each new instance writes its journal as it goes: the header, Show and the bill it binds", [&] {
    auto bill = HostObject::create(billBehaviour(), hostTypes().bill);
    EXPECT(setJournalFolder(folder));
    t.expectHr(createShowRelease(bill->dispatch()), S_OK, "Show");
    EXPECT(bill->connectionCount() == 0);
    std::vector<std::wstring> files = journalFiles(folder);
    EXPECT(files.size() == 1);
    if (files.empty()) return;
    std::string text = fileText(folder + L"\\" + files[0]);
    EXPECT(text.rfind(R"({"journal":1,"host":"com")", 0) == 0);
    EXPECT(text.find(R"("kind":"member","name":"Show")") != std::string::npos);
    EXPECT(text.find(R"("t":"Object","id":1,"type":"BillEvent")") != std::string::npos);
  });
  t.run("a folder that cannot be made leaves the instance unrecorded and working", [&] {
    HANDLE file = CreateFileW(notAFolder.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    EXPECT(file != INVALID_HANDLE_VALUE);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    EXPECT(setJournalFolder(notAFolder + L"\\journals"));
    auto bill = HostObject::create(billBehaviour(), hostTypes().bill);
    t.expectHr(createShowRelease(bill->dispatch()), S_OK, "Show");
    EXPECT(journalFiles(folder).size() == 1);
  });
  t.run("removed, new instances write nothing", [&] {
    EXPECT(setJournalFolder(L""));
    auto bill = HostObject::create(billBehaviour(), hostTypes().bill);
    t.expectHr(createShowRelease(bill->dispatch()), S_OK, "Show");
    EXPECT(journalFiles(folder).size() == 1);
  });
  setJournalFolder(L"");
}

}  // namespace mto::testhost
