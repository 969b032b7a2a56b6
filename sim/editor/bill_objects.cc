#include "sim/editor/bill_objects.h"

#include "automation/convert.h"
#include "automation/error.h"
#include "sim/components/connection.h"
#include "sim/editor/bill_editor.h"
#include "sim/editor/bill_editor_support.h"

namespace mto::sim {

using automation::raiseError;
using namespace editor_detail;

BillEditor& BillCtl::editor() const {
  auto editor = editor_.lock();
  if (!editor) raiseError(automation::errc::kObjectNotSet, "The bill is closed", "BillCtl");
  return *editor;
}

const MemberTable<BillCtl>& BillCtl::members() {
  static const MemberTable<BillCtl> table = [] {
    MemberTable<BillCtl> t("BillCtl");
    t.add("DoAction", [](BillCtl& self, CallKind, Args args) -> Variant {
      const Dictionary& definition = definitionArg(args, 0);
      self.editor().doAction(definition, longArg(args, 2));
      return {};
    });
    t.add("SetSumData", [](BillCtl& self, CallKind, Args args) -> Variant {
      self.editor().setSumData(definitionArg(args, 0));
      return {};
    });
    return t;
  }();
  return table;
}

BillEditor& BillDataSrv::editor() const {
  auto editor = editor_.lock();
  if (!editor) raiseError(automation::errc::kObjectNotSet, "The bill is closed", "DataSrv");
  return *editor;
}

const MemberTable<BillDataSrv>& BillDataSrv::members() {
  static const MemberTable<BillDataSrv> table = [] {
    MemberTable<BillDataSrv> t("DataSrv");
    t.add("GetData", [](BillDataSrv& self, CallKind, Args args) -> Variant {
      AppConnection connection(self.editor().database());
      return ObjectPtr(connection.getAnyRecordset(textArg(args, 0)));
    });
    t.add("ClassTypeID", [](BillDataSrv& self, CallKind kind, Args args) -> Variant {
      if (isPut(kind)) {
        self.editor().setClassTypeID(automation::toLong(args.back().value()));
        return {};
      }
      return self.editor().classTypeID();
    });
    return t;
  }();
  return table;
}

const MemberTable<ClassTypeObject>& ClassTypeObject::members() {
  static const MemberTable<ClassTypeObject> table = [] {
    MemberTable<ClassTypeObject> t("ClassType");
    t.add("ID", readOnly<ClassTypeObject>("ID", [](ClassTypeObject& s) { return Variant(s.id_); }));
    t.add("Name", readOnly<ClassTypeObject>("Name", [](ClassTypeObject& s) { return Variant(s.name_); }));
    return t;
  }();
  return table;
}

const MemberTable<MultiCheckObject>& MultiCheckObject::members() {
  static const MemberTable<MultiCheckObject> table = [] {
    MemberTable<MultiCheckObject> t("MultiCheck");
    t.add("IsRun",
          readOnly<MultiCheckObject>("IsRun", [](MultiCheckObject& s) { return Variant(s.isRun_); }));
    t.add("ExistMultiCheck", readOnly<MultiCheckObject>(
                                 "ExistMultiCheck", [](MultiCheckObject& s) { return Variant(s.exists_); }));
    return t;
  }();
  return table;
}

const MemberTable<ActiveControlObject>& ActiveControlObject::members() {
  static const MemberTable<ActiveControlObject> table = [] {
    MemberTable<ActiveControlObject> t("ActiveControl");
    t.add("Name",
          readOnly<ActiveControlObject>("Name", [](ActiveControlObject& s) { return Variant(s.name_); }));
    t.add("Index",
          readOnly<ActiveControlObject>("Index", [](ActiveControlObject& s) { return Variant(s.index_); }));
    t.add("ActiveCol", readOnly<ActiveControlObject>(
                           "ActiveCol", [](ActiveControlObject& s) { return Variant(s.activeCol_); }));
    t.add("ActiveRow", readOnly<ActiveControlObject>(
                           "ActiveRow", [](ActiveControlObject& s) { return Variant(s.activeRow_); }));
    return t;
  }();
  return table;
}

}  // namespace mto::sim
