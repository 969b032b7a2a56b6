#pragma once

#include <windows.h>

#include "test_host/host_objects.h"

namespace mto::testhost {

/// The test host's classes, with type information built at run time.
struct HostTypes {
  /// Coclass "BillEvent" named through IProvideClassInfo; its dispinterface is "IBillHost", so the
  /// type name can only come from the coclass. Events "__BillEvent": BeforeSave(bCancel),
  /// Change(dct, dctFld, Col, Row, Cancel), AfterNewBill, Heartbeat (which the plug-in ignores),
  /// with DISPIDs that are neither dense nor in that order.
  HostClass bill;
  /// Coclass "ListEvents" without IProvideClassInfo: found through the type library of its
  /// dispinterface "IListHost" (property RaiseListFillRow). Events "__ListEvents".
  HostClass list;
  /// Coclass "billevent" (letter case differs from the bill's) with the bill's kind of events.
  HostClass lookalike;
  /// Coclass "Probe" without events: Concat(a, b, c), Bump(ByRef v), Value (property), IsMissing(v),
  /// Fail(number), Echo(v).
  HostClass probe;
};

const HostTypes& hostTypes();

// The collection library's classes, served by the test host.
extern const CLSID kClsidDictionary;
extern const CLSID kClsidVector;
extern const CLSID kClsidUtility;

}  // namespace mto::testhost
