// What the scenario replay rests on, checked without the plug-in: the simulated host's objects as
// COM objects (identity, type names, calls counted once, events through connection points), its
// components served by ProgID, and the trace comparison.

#include <windows.h>

#include <span>
#include <string>
#include <vector>

#include "automation/error.h"
#include "automation/platform.h"
#include "bridge/dispatch_object.h"
#include "bridge/text.h"
#include "bridge/type_info.h"
#include "bridge/variant_convert.h"
#include "bridge/windows_platform.h"
#include "host/events.h"
#include "sim/components/collections.h"
#include "sim/runtime/host_object.h"
#include "test_host/check.h"
#include "test_host/sim_objects.h"
#include "test_host/suites.h"
#include "test_host/trace_compare.h"

namespace mto::testhost {

using automation::Arg;
using automation::CallKind;
using automation::Variant;
using nlohmann::json;

namespace {

/// A simulated object with events and no members, under the type name the bill has.
class EventSource : public sim::HostObjectBase {
 public:
  std::string typeName() const override { return "BillEvent"; }
  Variant invoke(std::string_view, CallKind, automation::Args) override {
    automation::raiseError(automation::errc::kMemberNotFound);
  }
};

struct Recorder : automation::EventSink {
  std::vector<std::string> events;
  std::vector<Variant> args;
  std::function<void(automation::Args)> react;
  void onEvent(std::string_view event, automation::Args a) override {
    events.emplace_back(event);
    args.clear();
    for (auto& arg : a) args.push_back(arg.value());
    if (react) react(a);
  }
};

int32_t errorNumberOf(const std::function<void()>& body) {
  try {
    body();
  } catch (const automation::AutomationError& e) {
    return e.number();
  }
  return 0;
}

}  // namespace

void runReplayTests() {
  auto& t = tests();
  t.group("the simulated host over COM");

  t.run("a simulated object has one COM identity while it lives and comes back as itself", [&] {
    size_t before = SimObjectDispatch::alive();
    auto dictionary = sim::Dictionary::create();
    {
      auto first = SimObjectDispatch::of(dictionary);
      auto second = SimObjectDispatch::of(dictionary);
      EXPECT(first.get() == second.get());
      EXPECT(com::objectFor(first.get()) == dictionary);
      EXPECT(SimObjectDispatch::alive() == before + 1);
    }
    EXPECT(SimObjectDispatch::alive() == before);
  });

  t.run("its type name comes from its class's type information; each call is one host call", [&] {
    auto dictionary = sim::Dictionary::create();
    dictionary->set("FStockID", 31);
    auto adapter = com::DispatchObject::adapt(SimObjectDispatch::of(dictionary));
    automation::ObjectPtr object = adapter;
    t.expectEq(adapter->typeName(), "Dictionary", "type name through IProvideClassInfo");
    com::ComPtr<ITypeInfo> info;
    EXPECT(SUCCEEDED(adapter->dispatch()->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put())));
    t.expectEq(com::toUtf8(com::nameOf(info.get())), "_Dictionary", "dispinterface name");
    sim::HostState host;
    sim::HostState::Scope current(host);
    auto calls = [&] { return host.calls.snapshot()["Dictionary.Item"]; };
    uint64_t itemsBefore = calls();
    EXPECT(automation::get(object, "item", "fstockid") == Variant(31));
    EXPECT(automation::get(object, "Item", "FStockID") == Variant(31));
    EXPECT(calls() == itemsBefore + 2);
    EXPECT(errorNumberOf([&] { automation::call(object, "NoSuchMember"); }) ==
           automation::errc::kMemberNotFound);
  });

  t.run("events reach an advised sink, Cancel comes back, an error reaches the raiser", [&] {
    auto source = std::make_shared<EventSource>();
    auto adapter = com::DispatchObject::adapt(SimObjectDispatch::of(source));
    auto recorder = std::make_shared<Recorder>();
    recorder->react = [](automation::Args a) {
      if (a.size() == 5) a[4].assign(true);
    };
    uint32_t cookie = adapter->advise(recorder);
    EXPECT(source->hasSinks());
    auto cell = sim::Dictionary::create();
    Variant cancel = false;
    Arg args[] = {Arg(Variant(automation::ObjectPtr(cell))), Arg(Variant()), Arg(int16_t{3}), Arg(int32_t{2}),
                  Arg::byRef(cancel)};
    source->raiseEvent("Change", automation::Args(args));
    EXPECT(recorder->events == std::vector<std::string>{"Change"});
    EXPECT(recorder->args.size() == 5 && recorder->args[0].objectValue() == cell);
    EXPECT(recorder->args.size() == 5 && recorder->args[2].type() == automation::VarType::Integer);
    EXPECT(cancel == Variant(true));

    recorder->react = [](automation::Args) { automation::raiseError(20438, "handler failed", "Plugin"); };
    Variant saveCancel = false;
    Arg save[] = {Arg::byRef(saveCancel)};
    EXPECT(errorNumberOf([&] { source->raiseEvent("BeforeSave", automation::Args(save)); }) == 20438);
    EXPECT(errorNumberOf([&] { source->raiseEvent("Heartbeat", {}); }) == automation::errc::kMemberNotFound);

    adapter->unadvise(cookie);
    EXPECT(!source->hasSinks());
    source->raiseEvent("AfterNewBill", {});
    EXPECT((recorder->events == std::vector<std::string>{"Change", "BeforeSave"}));
  });

  t.run("the event interfaces' type information agrees with the host's event declarations", [&] {
    // Each function of the event interface: its name, then its parameters' names, as GetNames
    // gives them.
    auto namesOf = [](ITypeInfo* info, MEMBERID id) {
      BSTR names[16] = {};
      UINT count = 0;
      info->GetNames(id, names, 16, &count);
      std::vector<std::string> result;
      for (UINT i = 0; i < count; ++i) {
        result.push_back(com::toUtf8(names[i]));
        SysFreeString(names[i]);
      }
      return result;
    };
    // The first difference between the event interface of a class and the declarations, or "".
    auto differences = [&](const std::string& typeName, std::span<const host::events::Event> declared) {
      ITypeInfo* info = simClass(typeName).events.get();
      TYPEATTR* attr = nullptr;
      if (!info || FAILED(info->GetTypeAttr(&attr))) return typeName + ": no event interface";
      const size_t functions = attr->cFuncs;
      info->ReleaseTypeAttr(attr);
      std::string found;
      size_t events = 0;
      for (UINT f = 0; found.empty() && f < functions; ++f) {
        FUNCDESC* desc = nullptr;
        if (FAILED(info->GetFuncDesc(f, &desc))) return typeName + ": no FUNCDESC " + std::to_string(f);
        // A dispinterface also lists IUnknown's and IDispatch's own methods (restricted, with
        // DISPIDs from 0x60000000); they are not events.
        if ((desc->wFuncFlags & FUNCFLAG_FRESTRICTED) || desc->memid >= 0x60000000) {
          info->ReleaseFuncDesc(desc);
          continue;
        }
        ++events;
        auto names = namesOf(info, desc->memid);
        const std::string where = typeName + "." + (names.empty() ? "?" : names[0]);
        const auto* e = names.empty() ? nullptr : host::events::find(declared, names[0]);
        if (!e) {
          found = where + ": not declared";
        } else if (e->dispid != desc->memid) {
          found = where + ": DISPID " + std::to_string(desc->memid);
        } else if (e->params.size() != static_cast<size_t>(desc->cParams)) {
          found = where + ": " + std::to_string(desc->cParams) + " parameters";
        } else {
          for (size_t i = 0; found.empty() && i < e->params.size(); ++i) {
            if (i + 1 < names.size() && names[i + 1] != e->params[i].name)
              found = where + ": parameter " + names[i + 1];
            else if (e->params[i].byRef != (desc->lprgelemdescParam[i].tdesc.vt == VT_PTR))
              found = where + ": passing of " + std::string(e->params[i].name);
          }
        }
        info->ReleaseFuncDesc(desc);
      }
      if (found.empty() && events != declared.size())
        found = typeName + ": " + std::to_string(events) + " events, " + std::to_string(declared.size()) +
                " declared";
      return found;
    };
    t.expectEq(differences("BillEvent", host::events::kBillEvents), "", "the bill's events");
    t.expectEq(differences("ListEvents", host::events::kListEvents), "", "the list's events");
  });

  t.run("a simulated component is created through CoCreateInstance by its ProgID", [&] {
    auto components = std::make_shared<automation::RegistryPlatform>();
    components->registerFactory("MtoTest.Collection", [] { return sim::Vector::create(); });
    auto previous = automation::setPlatform(components);
    com::WindowsPlatform windows;
    std::string made;
    int32_t missing = 0;
    {
      ClassRegistrations classes;
      EXPECT(serveSimComponents(classes, {"MtoTest.Collection", "MtoTest.Uninstalled"}));
      made = windows.createObject("MtoTest.Collection")->typeName();
      missing = errorNumberOf([&] { windows.createObject("MtoTest.Uninstalled"); });
    }
    int32_t revoked = errorNumberOf([&] { windows.createObject("MtoTest.Collection"); });
    automation::setPlatform(previous);
    t.expectEq(made, "Vector", "the component's type name");
    EXPECT(missing == automation::errc::kCannotCreateObject);
    EXPECT(revoked == automation::errc::kCannotCreateObject);
  });

  t.group("trace comparison");

  t.run("traces equal by value compare equal, whatever JSON type holds a number", [&] {
    json read = json::parse(R"({"steps": [{"row": 1, "qty": 2.5}], "expectationsFailed": 0})");
    json built = {{"steps", json::array({{{"row", int32_t{1}}, {"qty", 2.5}}})},
                  {"expectationsFailed", int64_t{0}}};
    EXPECT(compareTraces(read, built).empty());
  });

  t.run("each difference names its place and both sides", [&] {
    json native =
        json::parse(R"({"steps": [{"events": [1, 2]}], "final": {"hostCalls": {"SysInfo.GetQty": 1}}})");
    json com = json::parse(R"({"steps": [{"events": [1, 2, 3]}], "final": {"hostCalls": {}}})");
    auto differences = compareTraces(native, com);
    EXPECT(differences.size() == 2);
    if (differences.size() != 2) return;
    t.expectEq(differences[0].path, "/final/hostCalls/SysInfo.GetQty", "first path");
    t.expectEq(differences[0].native, "1", "native side");
    t.expectEq(differences[0].throughCom, "(absent)", "COM side");
    t.expectEq(differences[1].path, "/steps/0/events/2", "second path");
    t.expectEq(differences[1].native, "(absent)", "native side");
    t.expectEq(differences[1].throughCom, "3", "COM side");
  });
}

}  // namespace mto::testhost
