#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "sim/runtime/host_object.h"

// The small objects the bill editor hands to the plug-in: its bill control, its data service, the
// class types, the multi-level check and the active control. The editor owns them; the first two
// hold only a weak link back to it, so the plug-in may keep them past the bill.

namespace mto::sim {

class BillEditor;

/// The bill's control ("BillCtl"). Members: "DoAction" (definition, cell, row): runs the field's
/// configured actions (see action_name in bill_template.h; actions of other names, such as the
/// batch look-up's, do nothing here); "SetSumData" (definition): recomputes the column total.
class BillCtl : public HostObject<BillCtl> {
 public:
  /// The late-bound members above, counted under the type name in quotes.
  static const MemberTable<BillCtl>& members();
  /// A weak link only: the editor owns this object, and a closed bill makes every member raise 91.
  explicit BillCtl(std::weak_ptr<BillEditor> editor) : editor_(std::move(editor)) {}

 private:
  /// The editor behind the object; raises 91 once the editor is gone.
  BillEditor& editor() const;
  std::weak_ptr<BillEditor> editor_;
};

/// The bill's data service ("DataSrv"). Members: "GetData" (sql): a Recordset of the statement's
/// result over the ERP database; "ClassTypeID" (Long, get and put).
class BillDataSrv : public HostObject<BillDataSrv> {
 public:
  /// The late-bound members above, counted under the type name in quotes.
  static const MemberTable<BillDataSrv>& members();
  /// A weak link only: the editor owns this object, and a closed bill makes every member raise 91.
  explicit BillDataSrv(std::weak_ptr<BillEditor> editor) : editor_(std::move(editor)) {}

 private:
  /// The editor behind the object; raises 91 once the editor is gone.
  BillEditor& editor() const;
  std::weak_ptr<BillEditor> editor_;
};

/// A class-type object ("ClassType"). Members: "ID" (Long), "Name".
class ClassTypeObject : public HostObject<ClassTypeObject> {
 public:
  /// The read-only members above; a put raises 383.
  static const MemberTable<ClassTypeObject>& members();
  ClassTypeObject(int32_t id, std::string name) : id_(id), name_(std::move(name)) {}
  /// The ID the plug-in reads; the editor keeps it equal to its own class type.
  int32_t id() const { return id_; }
  void setId(int32_t id) { id_ = id; }

 private:
  int32_t id_;
  std::string name_;
};

/// A multi-level check object ("MultiCheck"). Members: "IsRun", "ExistMultiCheck" (Boolean).
class MultiCheckObject : public HostObject<MultiCheckObject> {
 public:
  /// The read-only members above; a put raises 383.
  static const MemberTable<MultiCheckObject>& members();
  MultiCheckObject(bool isRun, bool exists) : isRun_(isRun), exists_(exists) {}

 private:
  bool isRun_;
  bool exists_;
};

/// The editor's active control ("ActiveControl"). Members: "Name" ("grid" for an entry grid,
/// "EditPlus" for a head field), "Index", "ActiveCol", "ActiveRow".
class ActiveControlObject : public HostObject<ActiveControlObject> {
 public:
  /// The read-only members above; a put raises 383.
  static const MemberTable<ActiveControlObject>& members();
  ActiveControlObject(std::string name, int32_t index, int32_t activeCol, int32_t activeRow)
      : name_(std::move(name)), index_(index), activeCol_(activeCol), activeRow_(activeRow) {}

 private:
  std::string name_;
  int32_t index_;
  int32_t activeCol_;
  int32_t activeRow_;
};

}  // namespace mto::sim
