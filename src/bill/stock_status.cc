#include "bill/stock_status.h"

#include <vector>

#include "automation/ascii.h"
#include "automation/convert.h"
#include "automation/error.h"
#include "automation/platform.h"
#include "bill/stock_on_hand.h"
#include "host/contract.h"
#include "support/bill_fields.h"
#include "support/login_environment.h"

namespace mto::bill {

using automation::call;
using automation::get;
using automation::ObjectPtr;
using host::DictionaryRef;
using host::VectorRef;

namespace {

/// The language's split of a text at single blanks: "a  b" gives "a", "", "b"; "" gives nothing.
std::vector<Variant> splitAtBlanks(std::string_view text) {
  std::vector<Variant> parts;
  if (text.empty()) return parts;
  size_t start = 0;
  for (;;) {
    size_t blank = text.find(' ', start);
    parts.emplace_back(text.substr(start, blank == std::string_view::npos ? blank : blank - start));
    if (blank == std::string_view::npos) return parts;
    start = blank + 1;
  }
}

/// The elements of an array argument; anything else is a type mismatch, as assigning it to an
/// array variable is.
std::vector<Variant> elementsOf(const Variant& value) {
  if (!value.isArray()) automation::raiseError(automation::errc::kTypeMismatch);
  return value.arrayValue();
}

/// Whether a definition entry equals a wanted value, both taken as upper-case texts. A Null on
/// either side is no match, as the language's comparison with Null is never true.
bool sameUpperText(const Variant& entry, const Variant& wanted) {
  if (entry.isNull() || wanted.isNull()) return false;
  return automation::ascii::uppered(automation::toText(entry)) ==
         automation::ascii::uppered(automation::toText(wanted));
}

}  // namespace

void ViewStockStatus(support::InstanceState& self) {
  try {
    const ObjectPtr& bill = self.m_BillInterface;
    auto materials = VectorRef::create();
    VectorRef rows(call(bill, "Data", "Page2"));
    int32_t last = rows.upperBound();
    for (int64_t wide = rows.lowerBound(); wide <= last; ++wide) {
      const auto row = static_cast<int32_t>(wide);
      std::string material = automation::toText(call(bill, host::member::kReadFieldValue, "FItemID", row, int32_t{1}));
      if (!material.empty()) materials.add(material);
    }
    ShowStockStatus(materials);
  } catch (...) {
    automation::reraiseFrom("T8MTOChange.clsMTOChange.ViewStockStatus");
  }
}

bool ShowStockStatus(const VectorRef& materials) {
  try {
    // Only plain whole numbers go into the filter: the window hands it to its query as it stands.
    std::string joined;
    int32_t last = materials.upperBound();
    for (int64_t i = materials.lowerBound(); i <= last; ++i) {
      if (auto id = support::plainNumberText(materials.item(static_cast<int32_t>(i)))) {
        joined += *id;
        joined += ',';
      }
    }
    ObjectPtr window = automation::createObject(host::progid::kStockStatus);
    if (!joined.empty()) {
      joined.pop_back();
      call(window, "ShowByBill", "t1.FItemID IN(" + joined + ")");
    } else {
      call(window, "Show");
    }
    return true;
  } catch (...) {
    automation::ErrorInfo error = automation::errorFromException(std::current_exception());
    try {
      automation::platform().messageBox(std::to_string(error.number) + " (" + error.description + ")",
                                        support::GetResText("沃岚提示"), 0);
    } catch (...) {
      // A box that cannot be shown leaves nothing more to tell the user.
    }
    return false;
  }
}

void DoBatchF7Action(support::InstanceState& self) {
  support::LogScope scope("DoBatchF7Action");
  try {
    const ObjectPtr& bill = self.m_BillInterface;
    auto parameters = DictionaryRef::create();
    auto results = DictionaryRef::create();
    Variant dataSrv = get(bill, "DataSrv");
    int32_t classType = automation::toLong(get(dataSrv, "ClassTypeID"));
    parameters.setItem("ClassType", classType);
    parameters.setItem("ClassTypeEntry", get(bill, host::member::kEntryClassType));
    parameters.setItem("TableInfo", get(bill, "TableInfo"));
    parameters.setItem("Data", get(bill, "Data"));
    parameters.setItem("Paramenters", GetParameters(classType));

    ObjectPtr runner = automation::createObject(host::progid::kBatchAction);
    call(runner, "SetInterface", bill);
    automation::putRef(runner, "DataSrv", dataSrv);
    call(runner, "DoAction", "Batch_F7Action", parameters.object(), results.object());
    scope.succeed();
  } catch (...) {
    scope.fail();
    automation::reraiseFrom("T8MTOChange.clsMTOChange::DoBatchF7Action");
  }
}

Variant GetFieldByProperty(support::InstanceState& self, const Variant& properties, const Variant& values,
                           int32_t page) {
  auto scope = support::LogScope::named("T8WEXSerRunAction.clsDoAction.GetFieldByProperty");
  automation::Array found{Variant("")};
  try {
    std::vector<Variant> names =
        properties.isString() ? splitAtBlanks(properties.stringValue()) : elementsOf(properties);
    std::vector<Variant> wanted =
        values.isArray() ? values.arrayValue() : splitAtBlanks(automation::toText(values));

    if (page >= 0) {
      DictionaryRef tableInfo(get(self.m_BillInterface, "TableInfo"));
      int32_t pageCount = automation::toLong(tableInfo.item("PageCount"));
      if (page > pageCount) {
        scope.close(0);
        return {};
      }
      int32_t first = page == 0 ? 1 : page;
      int32_t last = page == 0 ? pageCount : page;
      for (int64_t p = first; p <= last; ++p) {
        DictionaryRef keys(tableInfo.item("Page" + std::to_string(p)));
        int32_t count = keys.count();
        for (int64_t i = 1; i <= count; ++i) {
          std::string key = keys.keyAt(static_cast<int32_t>(i));
          DictionaryRef definition(tableInfo.item(key));
          bool matches = true;
          for (size_t k = 0; k < names.size() && matches; ++k) {
            if (k >= wanted.size()) automation::raiseError(automation::errc::kSubscriptOutOfRange);
            matches = sameUpperText(definition.item(automation::toText(names[k])), wanted[k]);
          }
          if (matches) found.emplace_back(key);
        }
      }
    }
  } catch (...) {
    // Nothing is reported: the caller gets what was found before the failure.
  }
  scope.close(1);
  return Variant(std::move(found));
}

std::string GetPageActionParameters(int32_t page, const DictionaryRef& tableInfo) {
  try {
    DictionaryRef keys(tableInfo.item("Page" + std::to_string(page)));
    int32_t count = keys.count();
    for (int64_t i = 1; i <= count; ++i) {
      DictionaryRef definition(tableInfo.item(keys.keyAt(static_cast<int32_t>(i))));
      if (!automation::equalsNumber(definition.getValue("FLookUpType"), 1) ||
          !automation::equalsNumber(definition.getValue("FLookUpClassID"), 4))
        continue;
      VectorRef actions(DictionaryRef(definition.item("Action")).item("FAction"));
      int32_t actionCount = actions.size();
      for (int64_t a = 1; a <= actionCount; ++a) {
        DictionaryRef action(actions.item(static_cast<int32_t>(a)));
        if (automation::toText(action.item("FID")) == "100018") return automation::toText(action.item("FAction"));
      }
      return {};
    }
    return {};
  } catch (...) {
    automation::reraiseFrom("T8ExpWEXPlug.ClsBoxUp_Bill::GetParameters");
  }
}

}  // namespace mto::bill
