#include "automation/convert.h"
#include "automation/error.h"
#include "host/contract.h"
#include "sim/editor/bill_editor.h"
#include "sim/editor/bill_editor_support.h"

// The bill editor's late-bound members, as bill_editor.h lists them.

namespace mto::sim {

using automation::raiseError;
using automation::errc::kInvalidCall;
using automation::errc::kSubscriptOutOfRange;
using namespace editor_detail;

const MemberTable<BillEditor>& BillEditor::members() {
  static const MemberTable<BillEditor> table = [] {
    MemberTable<BillEditor> t("BillEvent");
    t.add("Data", [](BillEditor& self, CallKind kind, Args args) -> Variant {
      if (isPut(kind)) {
        if (args.size() != 2) raiseError(automation::errc::kWrongArgumentCount, {}, std::string(kSource));
        self.data_->set(automation::toText(args[0].value()), args[1].value());
        return {};
      }
      const Variant& key = arg(args, 0);
      if (key.isMissing()) return ObjectPtr(self.data_);
      const Variant* entry = self.data_->find(automation::toText(key));
      if (!entry)
        raiseError(kInvalidCall, "No " + automation::toText(key) + " in the bill data", std::string(kSource));
      return *entry;
    });
    t.add("TableInfo", [](BillEditor& self, CallKind, Args args) -> Variant {
      auto info = self.template_.tableInfo();
      const Variant& key = arg(args, 0);
      if (key.isMissing()) return ObjectPtr(info);
      const Variant* entry = info->find(automation::toText(key));
      if (!entry)
        raiseError(kInvalidCall, "No " + automation::toText(key) + " in the table information",
                   std::string(kSource));
      return *entry;
    });
    t.add("GetFieldInfoByKey", [](BillEditor& self, CallKind, Args args) -> Variant {
      auto def = self.definition(textArg(args, 0));
      return def ? Variant(ObjectPtr(def)) : Variant(nullptr);
    });
    t.add("GetDataFld", [](BillEditor& self, CallKind, Args args) -> Variant {
      auto c = self.cellOf(definitionArg(args, 0), longArg(args, 1));
      return c ? Variant(ObjectPtr(c)) : Variant(nullptr);
    });
    auto readValue = [](BillEditor& self, CallKind, Args args) -> Variant {
      auto def = self.requireDefinition(textArg(args, 0));
      return self.requireCell(*def, longArg(args, 1))->at("FFLD");
    };
    t.add("GetFieldValue", readValue);
    t.add(host::member::kReadFieldValue, readValue);
    t.add(host::member::kWriteFieldValue, [](BillEditor& self, CallKind, Args args) -> Variant {
      auto def = self.requireDefinition(textArg(args, 0));
      self.store(*def, longArg(args, 2), requiredArg(args, 1), true, false);
      return {};
    });
    t.add(host::member::kGetLookupRecord, [](BillEditor& self, CallKind, Args args) -> Variant {
      return ObjectPtr(self.lookupRecord(textArg(args, 0), longArg(args, 1)));
    });
    t.add("SetText", [](BillEditor& self, CallKind, Args args) -> Variant {
      const Dictionary& def = definitionArg(args, 0);
      int32_t row = longArg(args, 2);
      int32_t page = pageOf(def);
      if (page > 1 && (row < 1 || row > self.rowCount(page)))
        raiseError(kSubscriptOutOfRange, {}, std::string(kSource));
      self.displayed_[self.cellKey(def, row)] = displayText(requiredArg(args, 1));
      return {};
    });
    t.add("ShowHideField", [](BillEditor& self, CallKind, Args args) -> Variant {
      self.fieldVisible_[keyOf(definitionArg(args, 0))] = automation::toBoolean(requiredArg(args, 1));
      return {};
    });
    t.add("ShowHideGrid", [](BillEditor& self, CallKind, Args args) -> Variant {
      self.gridVisible_[keyOf(definitionArg(args, 0))] = automation::toBoolean(requiredArg(args, 1));
      return {};
    });
    t.add("SetDecimal", [](BillEditor& self, CallKind, Args args) -> Variant {
      const Dictionary& def = definitionArg(args, 0);
      self.decimals_[self.cellKey(def, longArg(args, 1))] = longArg(args, 2);
      return {};
    });
    t.add("SetSumDecimal", [](BillEditor& self, CallKind, Args args) -> Variant {
      self.sumDecimals_[keyOf(definitionArg(args, 0))] = longArg(args, 1);
      return {};
    });
    t.add("BillCtl",
          readOnly<BillEditor>("BillCtl", [](BillEditor& s) { return Variant(ObjectPtr(s.billCtl())); }));
    t.add("DataSrv",
          readOnly<BillEditor>("DataSrv", [](BillEditor& s) { return Variant(ObjectPtr(s.dataSrv())); }));
    t.add("MenuBar",
          readOnly<BillEditor>("MenuBar", [](BillEditor& s) { return Variant(ObjectPtr(s.menuBar_)); }));
    t.add(host::member::kOperationMode,
          readOnly<BillEditor>(std::string(host::member::kOperationMode),
                               [](BillEditor& s) { return Variant(s.operationMode_); }));
    t.add(host::member::kClassType,
          readOnly<BillEditor>(std::string(host::member::kClassType),
                               [](BillEditor& s) { return Variant(ObjectPtr(s.classType_)); }));
    t.add(host::member::kEntryClassType,
          readOnly<BillEditor>(std::string(host::member::kEntryClassType),
                               [](BillEditor& s) { return Variant(ObjectPtr(s.entryClassType_)); }));
    t.add(host::member::kBillMultiCheck,
          readOnly<BillEditor>(std::string(host::member::kBillMultiCheck),
                               [](BillEditor& s) { return Variant(ObjectPtr(s.multiCheck_)); }));
    t.add(host::member::kActiveControl,
          readOnly<BillEditor>(std::string(host::member::kActiveControl),
                               [](BillEditor& s) { return Variant(ObjectPtr(s.activeControl_)); }));
    return t;
  }();
  return table;
}

}  // namespace mto::sim
