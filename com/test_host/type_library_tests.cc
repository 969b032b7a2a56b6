// The plug-in's type library as a host developer's object browser lists it: read back from the DLL
// with LoadTypeLibEx, and from the registry with LoadRegTypeLib, after regsvr32 registered it.

#include <objbase.h>
#include <windows.h>

#include <string>
#include <vector>

#include "bridge/com_ptr.h"
#include "bridge/text.h"
#include "bridge/type_info.h"
#include "guids.h"
#include "test_host/check.h"
#include "test_host/suites.h"

namespace mto::testhost {

using com::Bstr;
using com::ComPtr;

namespace {

/// A REG_SZ value under HKEY_CLASSES_ROOT; "" when absent (nullptr names the default value).
std::wstring registryText(const std::wstring& key, const wchar_t* value) {
  wchar_t data[MAX_PATH * 2] = {};
  DWORD size = sizeof data - sizeof(wchar_t);
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), value, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
    return {};
  return data;
}

/// One line of an object browser: a member, its DISPID, its parameters and its description.
struct BrowsedMember {
  std::string name;
  DISPID id = DISPID_UNKNOWN;
  std::vector<std::string> params;
  std::vector<std::string> paramTypes;
  std::string result;
  std::string help;
};

/// A type as text: "IDispatch*", "IDispatch**", "BSTR", "long", "void".
std::string typeText(ITypeInfo* owner, const TYPEDESC& type) {
  switch (type.vt) {
    case VT_PTR: return typeText(owner, *type.lptdesc) + "*";
    case VT_DISPATCH: return "IDispatch*";
    case VT_BSTR: return "BSTR";
    case VT_I4: return "long";
    case VT_VOID: return "void";
    case VT_HRESULT: return "HRESULT";
    case VT_USERDEFINED: {
      ComPtr<ITypeInfo> target;
      if (FAILED(owner->GetRefTypeInfo(type.hreftype, target.put()))) return "?";
      return com::toUtf8(com::nameOf(target.get()));
    }
    default: return "vt " + std::to_string(type.vt);
  }
}

/// The functions of a type in the order the type lists them.
std::vector<BrowsedMember> browse(ITypeInfo* info) {
  std::vector<BrowsedMember> out;
  TYPEATTR* attr = nullptr;
  if (FAILED(info->GetTypeAttr(&attr))) return out;
  WORD count = attr->cFuncs;
  info->ReleaseTypeAttr(attr);
  for (UINT i = 0; i < count; ++i) {
    FUNCDESC* func = nullptr;
    if (FAILED(info->GetFuncDesc(i, &func))) continue;
    BrowsedMember member;
    member.id = func->memid;
    BSTR names[16] = {};
    UINT got = 0;
    info->GetNames(func->memid, names, 16, &got);
    for (UINT n = 0; n < got; ++n) {
      (n == 0 ? member.name : member.params.emplace_back()) = com::fromBstr(names[n]);
      SysFreeString(names[n]);
    }
    for (SHORT p = 0; p < func->cParams; ++p)
      member.paramTypes.push_back(typeText(info, func->lprgelemdescParam[p].tdesc));
    member.result = typeText(info, func->elemdescFunc.tdesc);
    Bstr help;
    info->GetDocumentation(func->memid, nullptr, help.put(), nullptr, nullptr);
    member.help = com::fromBstr(help.get());
    info->ReleaseFuncDesc(func);
    out.push_back(std::move(member));
  }
  return out;
}

/// The help string of the library (index -1) or of its index-th type.
std::string documentation(ITypeLib* library, INT index) {
  Bstr help;
  library->GetDocumentation(index, nullptr, help.put(), nullptr, nullptr);
  return com::fromBstr(help.get());
}

/// The parts separated by ", ".
std::string joined(const std::vector<std::string>& parts) {
  std::string out;
  for (const std::string& part : parts) out += (out.empty() ? "" : ", ") + part;
  return out;
}

}  // namespace

void runTypeLibraryTests() {
  TestRun& t = tests();
  const std::wstring server = registryText(std::wstring(L"CLSID\\") + com::kClsidText + L"\\InprocServer32", nullptr);
  const std::wstring libraryKey = std::wstring(L"TypeLib\\") + com::kLibidText + L"\\1.0";
  const std::wstring interfaceKey = std::wstring(L"Interface\\") + com::kIidText;

  t.group("type library registration");
  t.run("TypeLib names the DLL for this platform, with FLAGS and HELPDIR", [&] {
    const wchar_t* platform = sizeof(void*) == 8 ? L"\\0\\win64" : L"\\0\\win32";
    EXPECT(!server.empty());
    EXPECT(registryText(libraryKey + platform, nullptr) == server);
    t.expectEq(com::toUtf8(registryText(libraryKey + L"\\FLAGS", nullptr)), "0", "FLAGS");
    std::wstring helpDir = registryText(libraryKey + L"\\HELPDIR", nullptr);
    EXPECT(!helpDir.empty() && server.compare(0, helpDir.size(), helpDir) == 0 && server[helpDir.size()] == L'\\');
  });
  t.run("the dispinterface is marshaled by the automation marshaler and names its library", [&] {
    t.expectEq(com::toUtf8(registryText(interfaceKey + L"\\ProxyStubClsid32", nullptr)),
               "{00020424-0000-0000-C000-000000000046}", "ProxyStubClsid32");
    t.expectEq(com::toUtf8(registryText(interfaceKey + L"\\TypeLib", nullptr)), com::toUtf8(com::kLibidText),
               "TypeLib");
    t.expectEq(com::toUtf8(registryText(interfaceKey + L"\\TypeLib", L"Version")), "1.0", "Version");
  });
  t.run("LoadRegTypeLib finds the registered library", [&] {
    ComPtr<ITypeLib> library;
    t.expectHr(LoadRegTypeLib(com::kLibidMtoChange, 1, 0, LOCALE_NEUTRAL, library.put()), S_OK, "LoadRegTypeLib");
    ComPtr<ITypeInfo> info;
    if (library) t.expectHr(library->GetTypeInfoOfGuid(com::kIidMtoChange, info.put()), S_OK, "the dispinterface");
  });

  ComPtr<ITypeLib> library;
  t.group("the type library embedded in the DLL");
  t.run("LoadTypeLibEx reads it from the DLL without registering it", [&] {
    t.expectHr(LoadTypeLibEx(server.c_str(), REGKIND_NONE, library.put()), S_OK, "LoadTypeLibEx");
  });
  if (!library) return;
  t.run("the library: name, version, description and its two types", [&] {
    TLIBATTR* attr = nullptr;
    t.expectHr(library->GetLibAttr(&attr), S_OK, "GetLibAttr");
    if (!attr) return;
    EXPECT(attr->guid == com::kLibidMtoChange);
    EXPECT(attr->wMajorVerNum == 1 && attr->wMinorVerNum == 0);
    EXPECT(attr->lcid == LOCALE_NEUTRAL);  // registered under TypeLib\{LIBID}\1.0\0
    EXPECT(attr->syskind == (sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32));
    library->ReleaseTLibAttr(attr);
    Bstr name;
    library->GetDocumentation(-1, name.put(), nullptr, nullptr, nullptr);
    t.expectEq(com::fromBstr(name.get()), "T8MTOChange", "name");
    t.expectEq(documentation(library.get(), -1), "T8MTOChange 1.0: MTO change plug-in for bills", "description");
    EXPECT(library->GetTypeInfoCount() == 2);
  });
  t.run("the registered description is the library's own", [&] {
    t.expectEq(com::toUtf8(registryText(libraryKey, nullptr)), documentation(library.get(), -1), "TypeLib\\{LIBID}\\1.0");
  });
  t.run("the coclass is creatable, its default interface the dispinterface", [&] {
    ComPtr<ITypeInfo> coclass;
    t.expectHr(library->GetTypeInfoOfGuid(com::kClsidMtoChange, coclass.put()), S_OK, "coclass");
    if (!coclass) return;
    EXPECT(com::kindOf(coclass.get()) == TKIND_COCLASS);
    t.expectEq(com::toUtf8(com::nameOf(coclass.get())), "clsMTOChange", "name");
    Bstr help;
    coclass->GetDocumentation(MEMBERID_NIL, nullptr, help.put(), nullptr, nullptr);
    t.expectEq(com::fromBstr(help.get()), "MTO change plug-in (T8MTOChange.clsMTOChange)", "description");
    TYPEATTR* attr = nullptr;
    coclass->GetTypeAttr(&attr);
    EXPECT(attr && (attr->wTypeFlags & TYPEFLAG_FCANCREATE) && attr->cImplTypes == 1);
    if (attr) coclass->ReleaseTypeAttr(attr);
    INT flags = 0;
    coclass->GetImplTypeFlags(0, &flags);
    EXPECT(flags == IMPLTYPEFLAG_FDEFAULT);
    HREFTYPE ref = 0;
    ComPtr<ITypeInfo> implemented;
    coclass->GetRefTypeOfImplType(0, &ref);
    coclass->GetRefTypeInfo(ref, implemented.put());
    EXPECT(implemented && com::guidOf(implemented.get()) == com::kIidMtoChange);
  });
  t.run("the dispinterface lists the four members with their DISPIDs, parameters and descriptions", [&] {
    ComPtr<ITypeInfo> info;
    t.expectHr(library->GetTypeInfoOfGuid(com::kIidMtoChange, info.put()), S_OK, "dispinterface");
    if (!info) return;
    EXPECT(com::kindOf(info.get()) == TKIND_DISPATCH);
    t.expectEq(com::toUtf8(com::nameOf(info.get())), "_clsMTOChange", "name");
    std::vector<BrowsedMember> members = browse(info.get());
    // Hosts compiled against these DISPIDs; they are the ones the run-time builder gave.
    struct Expected {
      const char* name;
      DISPID id;
      const char* params;
      const char* types;
      const char* result;
      const char* help;
    };
    const Expected expected[] = {
        {"Show", 1, "oBillInterface", "IDispatch*", "void",
         "Binds a bill editor (BillEvent) or a bill list (ListEvents) and handles its events; anything else, "
         "Nothing included, binds nothing"},
        {"InsertSepTool", 2, "oABar, oTool", "IDispatch*, IDispatch*", "void",
         "Inserts the plug-in's separator tool into a tool bar"},
        {"RemoveSepTool", 3, "oABar, oTool", "IDispatch*, IDispatch*", "void",
         "Removes the plug-in's separator tool from a tool bar"},
        {"GetFiledValue", 4, "m_BillInterface, lRow, strFieldName", "IDispatch**, long, BSTR", "BSTR",
         "Reads a field of a bill row as text"},
    };
    EXPECT(members.size() == std::size(expected));
    for (size_t i = 0; i < members.size() && i < std::size(expected); ++i) {
      const BrowsedMember& got = members[i];
      const Expected& want = expected[i];
      t.expectEq(got.name, want.name, "name");
      t.expectEq(std::to_string(got.id), std::to_string(want.id), want.name);
      t.expectEq(joined(got.params), want.params, want.name);
      t.expectEq(joined(got.paramTypes), want.types, want.name);
      t.expectEq(got.result, want.result, want.name);
      t.expectEq(got.help, want.help, want.name);
    }
  });
}

}  // namespace mto::testhost
