// The COM edge of the component, exercised in this process: the test host links the same bridge
// code as the DLL, so conversions, the error firewall, host-object calls and event sinks are
// checked here against real COM objects without the plug-in's behaviour in the way.

#include <cmath>
#include <memory>
#include <new>
#include <stdexcept>

#include "automation/error.h"
#include "bridge/com_error.h"
#include "bridge/dispatch_object.h"
#include "bridge/text.h"
#include "bridge/type_info.h"
#include "bridge/variant_convert.h"
#include "bridge/windows_platform.h"
#include "test_host/check.h"
#include "test_host/host_types.h"
#include "test_host/os_hooks.h"
#include "test_host/suites.h"

namespace mto::testhost {

using automation::Arg;
using automation::CallKind;
using automation::Variant;
using com::OwnedExcepInfo;
using com::OwnedVariant;

namespace {

Variant roundTrip(const Variant& value, VARTYPE expectedType) {
  OwnedVariant v;
  com::toVariant(value, v.get());
  tests().expect(v->vt == expectedType,
                 "VARTYPE " + std::to_string(v->vt) + " for " + automation::describe(value));
  return com::fromVariant(*v.get());
}

automation::ErrorInfo caught(const std::function<void()>& body) {
  try {
    body();
  } catch (const automation::AutomationError& e) {
    return e.info();
  }
  return {};
}

std::shared_ptr<ScriptedObject> probeBehaviour() {
  auto probe = std::make_shared<ScriptedObject>("Probe");
  probe->on("Concat", [](CallKind, automation::Args a) -> Variant {
    std::string out;
    for (auto& arg : a) out += (out.empty() ? "" : "|") + automation::describe(arg.value());
    return out;
  });
  probe->on("Bump", [](CallKind, automation::Args a) -> Variant {
    a[0].assign(a[0].value().longValue() + 1);
    return {};
  });
  probe->property("Value", Variant{});
  probe->on("IsMissing",
            [](CallKind, automation::Args a) -> Variant { return a.empty() || a[0].isMissing(); });
  probe->on("Fail", [](CallKind, automation::Args a) -> Variant {
    automation::raiseError(a[0].value().longValue(), "probe failed", "Probe.Fail");
  });
  probe->on("Echo", [](CallKind, automation::Args a) -> Variant { return a[0].value(); });
  return probe;
}

/// A sink that records events and runs a reaction on each.
struct RecordingSink : automation::EventSink {
  std::vector<std::string> events;
  std::vector<Variant> lastArgs;
  std::function<void(std::string_view, automation::Args)> react;
  void onEvent(std::string_view event, automation::Args args) override {
    events.emplace_back(event);
    lastArgs.clear();
    for (auto& a : args) lastArgs.push_back(a.value());
    if (react) react(event, args);
  }
};

HRESULT STDMETHODCALLTYPE fillLate(EXCEPINFO* e) {
  e->scode = static_cast<HRESULT>(0x800A0009);
  e->bstrDescription = SysAllocString(L"filled late");
  return S_OK;
}

void conversions() {
  TestRun& t = tests();
  t.group("VARIANT <-> Variant");
  t.run("each subtype keeps its value and maps to its VARTYPE", [&] {
    for (auto [value, type] : std::vector<std::pair<Variant, VARTYPE>>{
             {Variant{}, VT_EMPTY},
             {Variant::null(), VT_NULL},
             {true, VT_BOOL},
             {false, VT_BOOL},
             {int16_t{-7}, VT_I2},
             {int32_t{100000}, VT_I4},
             {2.5, VT_R8},
             {automation::Date{45000.25}, VT_DATE},
             {Variant("沃岚 Grüße €"), VT_BSTR},
             {Variant(std::string("a\0b", 3)), VT_BSTR},
             {Variant::missing(), VT_ERROR},
             {automation::Array{int32_t{1}, "x", automation::Array{true}}, VT_ARRAY | VT_VARIANT},
         }) {
      Variant back = roundTrip(value, type);
      t.expect(back == value,
               "round trip of " + automation::describe(value) + " gave " + automation::describe(back));
    }
  });
  t.run("True is VARIANT_TRUE and text is UTF-16 inside", [&] {
    OwnedVariant b, s;
    com::toVariant(true, b.get());
    EXPECT(b->boolVal == VARIANT_TRUE);
    com::toVariant("沃€", s.get());
    EXPECT(SysStringLen(s->bstrVal) == 2 && s->bstrVal[0] == 0x6C83 && s->bstrVal[1] == 0x20AC);
  });
  t.run("other integer and number types widen", [&] {
    auto from = [](VARTYPE vt, auto set) {
      VARIANT v;
      VariantInit(&v);
      v.vt = vt;
      set(v);
      return com::fromVariant(v);
    };
    EXPECT(from(VT_UI1, [](VARIANT& v) { v.bVal = 200; }) == Variant(int16_t{200}));
    EXPECT(from(VT_I1, [](VARIANT& v) { v.cVal = -5; }) == Variant(int16_t{-5}));
    EXPECT(from(VT_UI2, [](VARIANT& v) { v.uiVal = 60000; }) == Variant(int32_t{60000}));
    EXPECT(from(VT_UI4, [](VARIANT& v) { v.ulVal = 4000000000u; }) == Variant(4000000000.0));
    EXPECT(from(VT_I8, [](VARIANT& v) { v.llVal = 42; }) == Variant(int32_t{42}));
    EXPECT(from(VT_R4, [](VARIANT& v) { v.fltVal = 1.5f; }) == Variant(1.5));
    EXPECT(from(VT_CY, [](VARIANT& v) { v.cyVal.int64 = 12345; }) == Variant(1.2345));
    EXPECT(from(VT_DECIMAL, [](VARIANT& v) {
             VarDecFromR8(-2.75, &v.decVal);
             v.vt = VT_DECIMAL;
           }) == Variant(-2.75));
  });
  t.run("by-reference VARIANTs are read through their pointer", [&] {
    LONG number = 7;
    EXPECT(com::fromVariant(byRef(VT_I4, &number)) == Variant(int32_t{7}));
    VARIANT inner = longValue(9);
    EXPECT(com::fromVariant(byRef(VT_VARIANT, &inner)) == Variant(int32_t{9}));
  });
  t.run("unsupported types raise 458", [&] {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_ARRAY | VT_I4;  // only arrays of Variant are part of the runtime
    EXPECT(caught([&] { com::fromVariant(v); }).number == 458);
  });
  t.run("storing through a reference converts to the referenced type", [&] {
    VARIANT_BOOL flag = VARIANT_FALSE;
    com::storeByRef(byRef(VT_BOOL, &flag), true);
    EXPECT(flag == VARIANT_TRUE);
    SHORT small = 0;
    com::storeByRef(byRef(VT_I2, &small), "12");
    EXPECT(small == 12);
    BSTR text = SysAllocString(L"old");
    com::storeByRef(byRef(VT_BSTR, &text), int32_t{5});
    EXPECT(std::wstring(text) == L"5");
    SysFreeString(text);
    OwnedVariant slot;
    com::storeByRef(byRef(VT_VARIANT, slot.get()), "new");
    EXPECT(slot->vt == VT_BSTR);
    LONG number = 0;
    EXPECT(caught([&] { com::storeByRef(byRef(VT_I4, &number), "not a number"); }).number == 13);
  });
}

void objectsAcrossTheEdge() {
  TestRun& t = tests();
  t.group("objects across the edge");
  t.run("a plug-in object that makes a round trip is the same object", [&] {
    auto own = std::make_shared<ScriptedObject>("Own");
    OwnedVariant v;
    com::toVariant(Variant(own), v.get());
    EXPECT(v->vt == VT_DISPATCH && v->pdispVal);
    EXPECT(com::fromVariant(*v.get()).objectValue() == own);
  });
  t.run("a host object is adapted once and goes back as its own IDispatch", [&] {
    auto host = HostObject::create(probeBehaviour(), hostTypes().probe);
    auto first = com::DispatchObject::adapt(ComPtr<IDispatch>::share(host->dispatch()));
    auto second = com::DispatchObject::adapt(ComPtr<IDispatch>::share(host->dispatch()));
    EXPECT(first == second);
    OwnedVariant v;
    com::toVariant(Variant(first), v.get());
    EXPECT(v->pdispVal == host->dispatch());
  });
  t.run("Nothing stays Nothing", [&] {
    Variant none = com::fromVariant(nothing());
    EXPECT(none.isObject() && !none.objectValue());
    OwnedVariant v;
    com::toVariant(none, v.get());
    EXPECT(v->vt == VT_DISPATCH && !v->pdispVal);
  });
}

void errorMapping() {
  TestRun& t = tests();
  t.group("errors across COM");
  t.run("numbers map to HRESULTs and back", [&] {
    t.expectHr(com::hresultFromNumber(13), static_cast<HRESULT>(0x800A000D), "13");
    t.expectHr(com::hresultFromNumber(438), static_cast<HRESULT>(0x800A01B6), "438");
    t.expectHr(com::hresultFromNumber(20438), static_cast<HRESULT>(0x800A4FD6), "20438");
    t.expectHr(com::hresultFromNumber(automation::errc::kObjectError + 513), static_cast<HRESULT>(0x80040201),
               "vbObjectError + 513");
    for (auto [hr, number] :
         std::vector<std::pair<HRESULT, int32_t>>{{DISP_E_MEMBERNOTFOUND, 438},
                                                  {DISP_E_UNKNOWNNAME, 438},
                                                  {DISP_E_TYPEMISMATCH, 13},
                                                  {DISP_E_OVERFLOW, 6},
                                                  {DISP_E_BADINDEX, 9},
                                                  {DISP_E_PARAMNOTOPTIONAL, 449},
                                                  {DISP_E_BADPARAMCOUNT, 450},
                                                  {DISP_E_PARAMNOTFOUND, 448},
                                                  {DISP_E_NONAMEDARGS, 446},
                                                  {E_NOINTERFACE, 430},
                                                  {E_INVALIDARG, 5},
                                                  {E_OUTOFMEMORY, 7},
                                                  {E_NOTIMPL, 445},
                                                  {static_cast<HRESULT>(0x800A005E), 94},
                                                  {static_cast<HRESULT>(0x80040201), -2147220991},
                                                  {E_FAIL, static_cast<int32_t>(E_FAIL)}}) {
      t.expect(com::numberFromHResult(hr) == number, "number of HRESULT " + std::to_string(hr));
    }
  });
  t.run("an automation error becomes DISP_E_EXCEPTION with all its fields", [&] {
    OwnedExcepInfo info;
    HRESULT hr = com::firewall(info.get(), []() -> HRESULT {
      automation::raiseError(automation::ErrorInfo{13, "Src\r\nOuter", "bad type", "help.chm", 77});
    });
    t.expectHr(hr, DISP_E_EXCEPTION, "result");
    t.expectHr(info->scode, static_cast<HRESULT>(0x800A000D), "scode");
    EXPECT(info->wCode == 0);
    t.expectEq(com::fromBstr(info->bstrSource), "Src\r\nOuter", "source");
    t.expectEq(com::fromBstr(info->bstrDescription), "bad type", "description");
    t.expectEq(com::fromBstr(info->bstrHelpFile), "help.chm", "help file");
    EXPECT(info->dwHelpContext == 77);
    automation::ErrorInfo back = com::errorFromHResult(hr, info.get());
    EXPECT((back == automation::ErrorInfo{13, "Src\r\nOuter", "bad type", "help.chm", 77}));
  });
  t.run("without an EXCEPINFO the error's own HRESULT is returned", [&] {
    t.expectHr(com::firewall([]() -> HRESULT { automation::raiseError(5); }),
               static_cast<HRESULT>(0x800A0005), "5");
  });
  t.run("out of memory, other exceptions and non-exceptions", [&] {
    OwnedExcepInfo info;
    t.expectHr(com::firewall(info.get(), []() -> HRESULT { throw std::bad_alloc(); }), E_OUTOFMEMORY,
               "bad_alloc");
    t.expectHr(com::firewall(info.get(), []() -> HRESULT { throw std::runtime_error("boom"); }),
               DISP_E_EXCEPTION, "runtime_error");
    t.expectHr(info->scode, static_cast<HRESULT>(0x800A01B8), "runtime_error scode (440)");
    t.expectEq(com::fromBstr(info->bstrDescription), "boom", "runtime_error text");
    info.reset();
    t.expectHr(com::firewall(info.get(), []() -> HRESULT { throw 42; }), E_UNEXPECTED, "int");
    t.expectHr(com::firewall([]() -> HRESULT { throw std::runtime_error("x"); }), E_UNEXPECTED,
               "no EXCEPINFO");
  });
  t.run("EXCEPINFO from a server: wCode, deferred fill-in, missing texts", [&] {
    EXCEPINFO info{};
    info.wCode = 1001;
    EXPECT(com::errorFromHResult(DISP_E_EXCEPTION, &info).number == 1001);
    EXCEPINFO deferred{};
    deferred.pfnDeferredFillIn = fillLate;
    automation::ErrorInfo late = com::errorFromHResult(DISP_E_EXCEPTION, &deferred);
    EXPECT(late.number == 9);
    t.expectEq(late.description, "filled late", "description");
    SysFreeString(deferred.bstrDescription);
    automation::ErrorInfo plain = com::errorFromHResult(DISP_E_TYPEMISMATCH, nullptr);
    EXPECT(plain.number == 13);
    t.expectEq(plain.description, "Type mismatch", "standard text");
    t.expectEq(plain.source, "T8MTOChange", "source");
  });
}

void callingHostObjects() {
  TestRun& t = tests();
  t.group("calling host objects through IDispatch");
  auto behaviour = probeBehaviour();
  auto host = HostObject::create(behaviour, hostTypes().probe);
  automation::ObjectPtr probe = com::DispatchObject::adapt(ComPtr<IDispatch>::share(host->dispatch()));

  t.run("arguments arrive in order and names resolve once, in any case", [&] {
    int before = host->namesResolved();
    t.expectEq(automation::call(probe, "Concat", "a", int32_t{2}, true).stringValue(),
               "String(\"a\")|Long(2)|Boolean(True)", "order");
    automation::call(probe, "CONCAT", "x", "y", "z");
    automation::call(probe, "concat", "x", "y", "z");
    EXPECT(host->namesResolved() - before == 1);
  });
  t.run("a property put goes as a put, with the value", [&] {
    automation::put(probe, "Value", int32_t{5});
    EXPECT(behaviour->calls().back() == "Value:P");
    EXPECT(automation::get(probe, "Value") == Variant(int32_t{5}));
  });
  t.run("by-reference arguments are written back", [&] {
    Variant counter = int32_t{41};
    automation::call(probe, "Bump", automation::byRef(counter));
    EXPECT(counter == Variant(int32_t{42}));
  });
  t.run("a missing argument arrives as Missing", [&] {
    EXPECT(automation::call(probe, "IsMissing", Arg::missing()) == Variant(true));
    EXPECT(automation::call(probe, "IsMissing", int32_t{1}) == Variant(false));
  });
  t.run("objects pass through and come back as themselves", [&] {
    auto own = std::make_shared<ScriptedObject>("Own");
    EXPECT(automation::call(probe, "Echo", own).objectValue() == own);
    EXPECT(automation::call(probe, "Echo", probe).objectValue() == probe);
  });
  t.run("the host's errors arrive with number, source and description", [&] {
    automation::ErrorInfo classic = caught([&] { automation::call(probe, "Fail", int32_t{5}); });
    EXPECT(classic.number == 5);
    t.expectEq(classic.source, "Probe.Fail", "source");
    t.expectEq(classic.description, "probe failed", "description");
    EXPECT(caught([&] { automation::call(probe, "Fail", automation::errc::kObjectError + 513); }).number ==
           -2147220991);
    EXPECT(caught([&] { automation::call(probe, "NoSuchMember"); }).number == 438);
  });
  t.run("type names: coclass, coclass through the type library, interface, none", [&] {
    auto adapt = [](IDispatch* d) { return com::DispatchObject::adapt(ComPtr<IDispatch>::share(d)); };
    auto bill = HostObject::create(std::make_shared<ScriptedObject>("x"), hostTypes().bill);
    auto list = HostObject::create(std::make_shared<ScriptedObject>("x"), hostTypes().list);
    auto odd = HostObject::create(std::make_shared<ScriptedObject>("x"), hostTypes().lookalike);
    HostClass interfaceOnly = hostTypes().bill;
    interfaceOnly.coclass = nullptr;
    auto bare = HostObject::create(std::make_shared<ScriptedObject>("x"), interfaceOnly);
    auto plain = com::ObjectDispatch::create(std::make_shared<ScriptedObject>("x"));
    t.expectEq(adapt(bill->dispatch())->typeName(), "BillEvent", "bill");
    t.expectEq(adapt(list->dispatch())->typeName(), "ListEvents", "list");
    t.expectEq(adapt(odd->dispatch())->typeName(), "billevent", "look-alike");
    t.expectEq(adapt(plain.get())->typeName(), "Object", "no type information");
    // The bill's library does hold a coclass for IBillHost, so that is still found.
    t.expectEq(adapt(bare->dispatch())->typeName(), "BillEvent", "through the library");
  });
}

void eventsThroughTheAdapter() {
  TestRun& t = tests();
  t.group("events through a connection point");
  auto host = HostObject::create(std::make_shared<ScriptedObject>("Bill"), hostTypes().bill);
  auto bill = com::DispatchObject::adapt(ComPtr<IDispatch>::share(host->dispatch()));
  auto sink = std::make_shared<RecordingSink>();
  sink->react = [](std::string_view event, automation::Args args) {
    if (event == "Change") args[4].assign(true);
    if (event == "BeforeSave") args[0].assign(true);
  };
  uint32_t cookie = 0;

  t.run("advise connects to the default source interface", [&] {
    cookie = bill->advise(sink);
    EXPECT(host->connectionCount() == 1);
  });
  t.run("an event arrives by name with its arguments in order", [&] {
    VARIANT_BOOL cancel = VARIANT_FALSE;
    t.expectHr(
        host->raise(L"Change", {nothing(), nothing(), longValue(2), longValue(3), byRef(VT_BOOL, &cancel)}),
        S_OK, "raise");
    EXPECT(sink->events.back() == "Change");
    EXPECT(sink->lastArgs.size() == 5 && sink->lastArgs[2] == Variant(int32_t{2}) &&
           sink->lastArgs[3] == Variant(int32_t{3}));
  });
  t.run("Cancel set True reaches the host as VT_BYREF|VT_BOOL", [&] {
    VARIANT_BOOL cancel = VARIANT_FALSE;
    host->raise(L"Change", {nothing(), nothing(), longValue(1), longValue(1), byRef(VT_BOOL, &cancel)});
    EXPECT(cancel == VARIANT_TRUE);
  });
  t.run("Cancel set True reaches the host as VT_BYREF|VT_VARIANT", [&] {
    OwnedVariant cancel;
    cancel->vt = VT_BOOL;
    cancel->boolVal = VARIANT_FALSE;
    host->raise(L"BeforeSave", {byRef(VT_VARIANT, cancel.get())});
    EXPECT(cancel->vt == VT_BOOL && cancel->boolVal == VARIANT_TRUE);
  });
  t.run("other by-reference types take the value in their own type", [&] {
    LONG asLong = 0;
    host->raise(L"BeforeSave", {byRef(VT_I4, &asLong)});
    EXPECT(asLong == -1);
    BSTR asText = SysAllocString(L"");
    host->raise(L"BeforeSave", {byRef(VT_BSTR, &asText)});
    EXPECT(std::wstring(asText) == L"True");
    SysFreeString(asText);
  });
  t.run("a handler's error returns to the raiser as DISP_E_EXCEPTION", [&] {
    auto previous = sink->react;
    sink->react = [](std::string_view, automation::Args) {
      automation::raiseError(automation::ErrorInfo{91, "Handler\r\nInner", "not set", "", 0});
    };
    OwnedExcepInfo info;
    t.expectHr(host->raise(L"AfterNewBill", {}, info.get()), DISP_E_EXCEPTION, "raise");
    t.expectHr(info->scode, static_cast<HRESULT>(0x800A005B), "scode");
    t.expectEq(com::fromBstr(info->bstrSource), "Handler\r\nInner", "source");
    sink->react = previous;
  });
  t.run("unadvise disconnects", [&] {
    bill->unadvise(cookie);
    EXPECT(host->connectionCount() == 0);
    size_t seen = sink->events.size();
    host->raise(L"Heartbeat", {});
    EXPECT(sink->events.size() == seen);
  });
  t.run("an adapter that dies disconnects what it left connected", [&] {
    auto other = HostObject::create(std::make_shared<ScriptedObject>("Bill"), hostTypes().bill);
    {
      auto adapter = com::DispatchObject::adapt(ComPtr<IDispatch>::share(other->dispatch()));
      adapter->advise(std::make_shared<RecordingSink>());
      EXPECT(other->connectionCount() == 1);
    }
    EXPECT(other->connectionCount() == 0);
  });
  t.run("an object without events refuses advise with 459", [&] {
    auto probe = HostObject::create(probeBehaviour(), hostTypes().probe);
    auto adapter = com::DispatchObject::adapt(ComPtr<IDispatch>::share(probe->dispatch()));
    EXPECT(caught([&] { adapter->advise(std::make_shared<RecordingSink>()); }).number == 459);
  });
}

void platformServices() {
  TestRun& t = tests();
  t.group("Windows platform services");
  com::WindowsPlatform platform;
  t.run("an unknown ProgID raises 429 naming it", [&] {
    automation::ErrorInfo e = caught([&] { platform.createObject("No.Such.Component"); });
    EXPECT(e.number == 429);
    EXPECT(e.description.find("No.Such.Component") != std::string::npos);
  });
  t.run("a registered ProgID gives a working object", [&] {
    automation::ObjectPtr dictionary = platform.createObject("T8Collections.Dictionary");
    automation::put(dictionary, "", "FKey", "FItemID");
    t.expectEq(automation::get(dictionary, "", "fkey").stringValue(), "FItemID", "item");
  });
  t.run("process id, clock and locale come from the system", [&] {
    EXPECT(platform.processId() == GetCurrentProcessId());
    SYSTEMTIME now;
    GetLocalTime(&now);
    double serial = 0;
    SystemTimeToVariantTime(&now, &serial);
    EXPECT(std::abs(platform.now().serial - serial) < 60.0 / 86400);
    automation::Locale locale = platform.locale();
    EXPECT(!locale.decimalSeparator.empty() && !locale.dateSeparator.empty());
    std::string& date = locale.shortDatePattern;
    EXPECT(date.find('d') != std::string::npos && date.find('M') != std::string::npos &&
           date.find('y') != std::string::npos);
  });
  t.run("date and time pictures in the runtime's tokens", [&] {
    for (auto [windows, runtime] :
         std::vector<std::pair<std::string, std::string>>{{"M/d/yyyy", "M/d/yyyy"},
                                                          {"dd.MM.yy", "dd.MM.yy"},
                                                          {"yyy-MM-dd", "yyyy-MM-dd"},
                                                          {"yyyyy/M/d", "yyyy/M/d"},
                                                          {"gg yyyy/M/d", "yyyy/M/d"},
                                                          {"d 'de' MMMM 'de' yyyy", "d 'de' MMMM 'de' yyyy"},
                                                          {"y/M/d", "y/M/d"}}) {
      t.expectEq(com::runtimeDatePattern(windows), runtime, windows);
    }
    for (auto [windows, runtime] :
         std::vector<std::pair<std::string, std::string>>{{"HH:mm:ss", "HH:mm:ss"},
                                                          {"h:mm:ss tt", "h:mm:ss tt"},
                                                          {"H' h 'm", "H' h 'm"},
                                                          {"hhh:mmm", "hh:mm"}}) {
      t.expectEq(com::runtimeTimePattern(windows), runtime, windows);
    }
  });
  t.run("a message box goes to MessageBoxW with its text, title and style", [&] {
    takeInterceptedMessageBoxes();
    EXPECT(platform.messageBox("Menge \xC3\xBC 10", "T8MTOChange", MB_OKCANCEL | MB_ICONQUESTION) == IDOK);
    std::vector<InterceptedMessageBox> shown = takeInterceptedMessageBoxes();
    if (!EXPECT(shown.size() == 1)) return;
    t.expectEq(shown[0].text, "Menge \xC3\xBC 10", "text");
    t.expectEq(shown[0].title, "T8MTOChange", "title");
    EXPECT(shown[0].style == (MB_OKCANCEL | MB_ICONQUESTION));
  });
}

}  // namespace

void runBridgeTests() {
  conversions();
  objectsAcrossTheEdge();
  errorMapping();
  callingHostObjects();
  eventsThroughTheAdapter();
  platformServices();
}

}  // namespace mto::testhost
