// The texts the simulated host and the plug-in parse: the record set's filter criteria, the
// stock-status window's filter, and the login property string. Besides never crashing: a filter that
// is accepted shows no more records than the set holds and navigation visits exactly those; a value
// read from a property string is a piece of that string.
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "sim/components/recordset.h"
#include "sim/components/stock_status_filter.h"
#include "support/login_environment.h"

namespace {

using mto::automation::Date;
using mto::automation::Variant;
using mto::fuzz::finding;
using mto::fuzz::survive;

/// Columns of each kind the criteria compare (a name with a blank needs brackets), and rows with
/// Null, text numbers, dates and a quote.
std::shared_ptr<mto::sim::Recordset> sampleRecordset() {
  std::vector<std::string> columns = {"FItemID", "FNumber", "FName", "FDate", "FQty", "F Note"};
  std::vector<mto::sim::Recordset::Row> rows = {
      {Variant(int32_t{12}), Variant("1.01.001"), Variant("Gear 'A'"), Variant(Date{46362}), Variant(2.5),
       Variant::null()},
      {Variant(int32_t{13}), Variant("12"), Variant(""), Variant("2026-12-06"), Variant(int16_t{-3}),
       Variant("x")},
      {Variant::null(), Variant(), Variant("%*_"), Variant::null(), Variant("1e308"), Variant(true)},
  };
  return mto::sim::Recordset::create(std::move(columns), std::move(rows));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string key = in.ConsumeRandomLengthString(16);
  const std::string text = in.ConsumeRemainingBytesAsString();

  auto records = sampleRecordset();
  survive([&] {
    records->setFilter(text);
    const int32_t count = records->recordCount();
    if (count < 0 || static_cast<size_t>(count) > records->rows().size())
      finding("a filter shows more records than the set holds");
    int32_t visited = 0;
    if (count > 0) {
      for (records->moveFirst(); !records->eof(); records->moveNext()) ++visited;
    }
    if (visited != count) finding("navigation under a filter visits another number of records than it counts");
  });

  survive([&] { (void)mto::sim::parseStockStatusFilter(text); });

  const std::string value = mto::support::FindPropValue(text, key);
  if (!value.empty() && text.find(value) == std::string::npos)
    finding("a property value that is not part of the property string");
  return 0;
}
