#include "test_host/host_types.h"

#include "bridge/com_error.h"
#include "bridge/type_lib_builder.h"

namespace mto::testhost {

using com::InterfaceSpec;
using com::MemberSpec;
using com::ParamSpec;
using com::TypeLibBuilder;

namespace {

GUID guid(const wchar_t* text) {
  GUID out;
  com::check(CLSIDFromString(text, &out));
  return out;
}

InterfaceSpec billEvents(const GUID& iid, const wchar_t* name) {
  ParamSpec cancel{L"Cancel", VT_BOOL, true};
  return {iid,
          name,
          {
              {L"BeforeSave", 5, INVOKE_FUNC, VT_EMPTY, {{L"bCancel", VT_BOOL, true}}},
              {L"Change",
               17,
               INVOKE_FUNC,
               VT_EMPTY,
               {{L"dct", VT_DISPATCH}, {L"dctFld", VT_DISPATCH}, {L"Col", VT_I4}, {L"Row", VT_I4}, cancel}},
              {L"AfterNewBill", 9, INVOKE_FUNC, VT_EMPTY, {}},
              {L"Heartbeat", 40, INVOKE_FUNC, VT_EMPTY, {}},
          }};
}

InterfaceSpec billInterface(const GUID& iid, const wchar_t* name) {
  return {iid,
          name,
          {
              {L"GetFieldValue", 101, INVOKE_FUNC, VT_VARIANT, {{L"strKey", VT_BSTR}, {L"lRow", VT_I4}}},
              {L"OperationMode", 102, INVOKE_PROPERTYGET, VT_I4, {}},
          }};
}

HostTypes build() {
  HostTypes types;
  TypeLibBuilder host(guid(L"{899469D4-8EC4-42F3-8DF3-E1F43432E25F}"), L"TestHost");

  types.bill.dispatch = host.addDispInterface(billInterface(guid(L"{9324047B-1FE4-475B-8890-A3238F7F0D6F}"), L"IBillHost"));
  types.bill.events = host.addDispInterface(billEvents(guid(L"{3629015D-A997-48AC-83CB-28C53A684268}"), L"__BillEvent"));
  types.bill.coclass = host.addCoclass(guid(L"{ACA87BE1-D94F-4DC7-BB7B-06A9166BD5A9}"), L"BillEvent",
                                       types.bill.dispatch.get(), types.bill.events.get());

  InterfaceSpec list{guid(L"{4F100C1E-F34E-4E68-AEC3-D217B136C610}"),
                     L"IListHost",
                     {
                         {L"RaiseListFillRow", 201, INVOKE_PROPERTYGET, VT_BOOL, {}},
                         {L"RaiseListFillRow", 201, INVOKE_PROPERTYPUT, VT_EMPTY, {{L"value", VT_BOOL}}},
                     }};
  InterfaceSpec listEvents{guid(L"{B24F0966-31D3-4848-8C27-5830FE8ED5AE}"),
                           L"__ListEvents",
                           {
                               {L"BarInitialize", 1, INVOKE_FUNC, VT_EMPTY, {{L"oActiveBar", VT_DISPATCH}}},
                               {L"MenuBarClick",
                                3,
                                INVOKE_FUNC,
                                VT_EMPTY,
                                {{L"WEXTool", VT_DISPATCH}, {L"Cancel", VT_BOOL, true}}},
                           }};
  types.list.dispatch = host.addDispInterface(list);
  types.list.events = host.addDispInterface(listEvents);
  types.list.coclass = host.addCoclass(guid(L"{5B1975C0-00C3-40A6-B44B-79CB8ECF5BF3}"), L"ListEvents",
                                       types.list.dispatch.get(), types.list.events.get());
  types.list.provideClassInfo = false;

  ParamSpec any{L"v", VT_VARIANT};
  InterfaceSpec probe{guid(L"{BDD6DE3D-D7E8-4E08-99C6-38823DA9F5B0}"),
                      L"IProbe",
                      {
                          {L"Concat", 1, INVOKE_FUNC, VT_BSTR, {{L"a", VT_VARIANT}, {L"b", VT_VARIANT}, {L"c", VT_VARIANT}}},
                          {L"Bump", 2, INVOKE_FUNC, VT_EMPTY, {{L"v", VT_VARIANT, true}}},
                          {L"Value", 3, INVOKE_PROPERTYGET, VT_VARIANT, {}},
                          {L"Value", 3, INVOKE_PROPERTYPUT, VT_EMPTY, {any}},
                          {L"IsMissing", 4, INVOKE_FUNC, VT_BOOL, {{L"v", VT_VARIANT, false, true}}},
                          {L"Fail", 5, INVOKE_FUNC, VT_EMPTY, {{L"number", VT_I4}}},
                          {L"Echo", 6, INVOKE_FUNC, VT_VARIANT, {any}},
                      }};
  types.probe.dispatch = host.addDispInterface(probe);
  types.probe.coclass = host.addCoclass(guid(L"{6146FCD2-19E4-40A6-8476-566E4FBDB700}"), L"Probe",
                                        types.probe.dispatch.get(), nullptr);

  // A class whose name differs from the bill's only in letter case cannot share the bill's type
  // library (names there compare without case), so it has one of its own.
  TypeLibBuilder odd(guid(L"{2BE8317E-5EF7-4827-BC18-4B7C042183BA}"), L"OddHost");
  types.lookalike.dispatch = odd.addDispInterface(billInterface(guid(L"{E030558B-9223-4764-AFCE-22B132F5C398}"), L"IOddHost"));
  types.lookalike.events = odd.addDispInterface(billEvents(guid(L"{32167112-F7FF-441C-B0BF-976EA41385A6}"), L"__OddEvents"));
  types.lookalike.coclass = odd.addCoclass(guid(L"{69136642-D29C-47C2-9D68-66E066732404}"), L"billevent",
                                           types.lookalike.dispatch.get(), types.lookalike.events.get());
  return types;
}

}  // namespace

const HostTypes& hostTypes() {
  static const HostTypes* types = new HostTypes(build());
  return *types;
}

const CLSID kClsidDictionary = {0x5e49bd80, 0x8de2, 0x4d1e, {0x84, 0xa9, 0x82, 0xa7, 0xf5, 0x5b, 0xe7, 0x8f}};
const CLSID kClsidVector = {0xd8d67762, 0x85d2, 0x42b1, {0x85, 0x4b, 0x9f, 0x91, 0x77, 0xf1, 0x96, 0x26}};
const CLSID kClsidUtility = {0xb666a0f1, 0x465a, 0x49e3, {0xb5, 0x51, 0x53, 0x33, 0x6d, 0x71, 0xd9, 0x0f}};

}  // namespace mto::testhost
