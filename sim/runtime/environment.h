#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "automation/error.h"
#include "automation/variant.h"

namespace mto::sim {

/// One log scope opened on the simulated log component.
struct LogScopeRecord {
  std::string name;
  int32_t handle = 0;
  std::optional<int32_t> code;  // set when closed
};

/// One message the plug-in showed through the message service.
struct MessageRecord {
  enum class Kind { Message, Error };
  Kind kind = Kind::Message;
  std::string text;                            // the shown text (for an error, its description)
  std::optional<automation::ErrorInfo> error;  // the error object's fields, for Kind::Error
};

/// One row of the stock-status window: a stock-on-hand row of the ERP database as the window
/// lists it (material, warehouse, stock place, batch, tracking number, quantity in the material's
/// stock unit).
struct StockStatusLine {
  int64_t itemId = 0;
  std::string itemNumber;
  std::string itemName;
  std::string stock;       // the warehouse's name
  std::string stockPlace;  // the stock place's number, "" for none
  std::string batchNo;
  std::string mtoNo;       // "" for free stock
  double qty = 0;
  std::string unit;  // the stock unit's name
  bool operator==(const StockStatusLine&) const = default;
};

/// One call a host window or action runner received from the plug-in: the stock-status window
/// opened ("ShowByBill" with its filter, or "Show"), or an action run ("DoAction" with the action's
/// name and the keys of its parameter dictionary, in order).
struct HostActionRecord {
  std::string component;  // the ProgID it was created by
  std::string call;       // "ShowByBill", "Show", "DoAction"
  std::string detail;     // the filter, or the action's name
  std::vector<std::string> parameterKeys;
  /// The values of parameterKeys, in their order; scenarios read them back.
  std::vector<automation::Variant> parameterValues = {};
  bool interfaceSet = false;  // SetInterface was called before DoAction
  bool dataSrvSet = false;    // DataSrv was set before DoAction
  /// What the window or action did, in a user's words ("3 rows", "row 1: batch AL-2611", "no
  /// batch of material 13 in stock under MTO-2026-009"); "" when it did nothing worth saying.
  std::string outcome = {};
  /// The rows the stock-status window showed, in its order.
  std::vector<StockStatusLine> stockRows = {};
};

/// What the simulated host's services share and record: the login properties, the log switch, and
/// everything the plug-in showed or logged, for tests, traces and the demo to read.
struct Environment {
  /// Shared login properties per process id ("PropsString" among them).
  std::map<uint32_t, std::map<std::string, automation::Variant>> shareProps;
  bool logEnabled = true;
  std::vector<LogScopeRecord> logScopes;
  std::vector<MessageRecord> messages;
  std::vector<HostActionRecord> hostActions;
  /// The ProgID of every component created through the host's platform, in order, as the creator
  /// spelled it; the plug-in itself is not among them.
  std::vector<std::string> created;
  /// (form type name, language) of every form-font call.
  std::vector<std::pair<std::string, std::string>> formFontCalls;
};

}  // namespace mto::sim
