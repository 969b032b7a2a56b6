#include "bill/stock_on_hand.h"

#include <ostream>

#include "automation/convert.h"
#include "automation/dates.h"
#include "automation/thread_state.h"
#include "common/sim_fixture.h"
#include "host/contract.h"
#include "sim/components/collections.h"
#include "sim/db/demo_data.h"
#include "sim/editor/bill_editor.h"

namespace mto::bill {
namespace {

using automation::AutomationError;
using automation::Variant;
namespace demo = sim::demo;

/// Stands in for the data-access service: records each `GetQty` call and answers with a set
/// quantity and secondary quantity.
class RecordingSysInfo : public sim::HostObjectBase {
 public:
  struct Call {
    std::vector<Variant> args;
    std::vector<bool> byRef;
    std::vector<std::pair<std::string, Variant>> conditions;
  };
  std::string typeName() const override { return "SysInfo"; }
  Variant invoke(std::string_view member, automation::CallKind, automation::Args args) override {
    if (member != "GetQty") automation::raiseError(automation::errc::kMemberNotFound);
    Call call;
    for (const auto& a : args) {
      call.args.push_back(a.value());
      call.byRef.push_back(a.isByRef());
    }
    if (args.size() > 10 && args[10].value().isObject())
      if (auto d = std::dynamic_pointer_cast<sim::Dictionary>(args[10].value().objectValue()))
        call.conditions = d->entries();
    calls.push_back(std::move(call));
    if (args.size() > 11) args[11].assign(secondary);
    return result;
  }
  Variant result = 7.5;
  Variant secondary = 2.5;
  std::vector<Call> calls;
};

class StockOnHandTest : public testing::SimTest {
 protected:
  StockOnHandTest() : editor_(sim::BillEditor::create(host().db())) {
    state_.m_BillInterface = editor_;
    editor_->addRow();
  }
  std::shared_ptr<RecordingSysInfo> recordService() {
    auto fake = std::make_shared<RecordingSysInfo>();
    host().platform().registerFactory(std::string(host::progid::kSysInfo), [fake] { return fake; });
    return fake;
  }
  void setRow(std::initializer_list<std::pair<const char*, Variant>> cells, int32_t row = 1) {
    for (const auto& [key, value] : cells) editor_->setCell(key, row, value);
  }
  Variant fld(std::string_view key, int32_t row = 1) const { return editor_->value(key, row); }

  std::shared_ptr<sim::BillEditor> editor_;
  support::InstanceState state_;
};

TEST_F(StockOnHandTest, StockKeyReachesTheServiceAsTwelveArguments) {
  auto service = recordService();
  setRow({{"FItemID", demo::kHexBolt},
          {"FStockID", demo::kRawMaterials},
          {"FSPID", demo::kRackA1Bin2},
          {"FBatchNo", "B-1"},
          {"FUnitID", "12ab"},
          {"FKFPeriod", "7.6 days"},
          {"FFromMTONo", demo::kPlanA},
          {"FAuxPropID", demo::kRed}});
  SetQty(state_, 1);
  ASSERT_EQ(service->calls.size(), 1u);
  const auto& call = service->calls[0];
  ASSERT_EQ(call.args.size(), 12u);
  std::vector<Variant> expected{std::string(sim::kDefaultPropsString),
                                std::to_string(demo::kRawMaterials),
                                std::to_string(demo::kHexBolt),
                                "B-1",
                                int32_t{12},
                                true,
                                demo::kRackA1Bin2,
                                Variant::missing(),
                                int32_t{8},
                                int32_t{0}};
  EXPECT_EQ(std::vector<Variant>(call.args.begin(), call.args.begin() + 10), expected);
  EXPECT_EQ(call.byRef,
            (std::vector<bool>{false, true, true, true, true, true, true, false, true, true, true, true}));
  using Entries = std::vector<std::pair<std::string, Variant>>;
  EXPECT_EQ(call.conditions,
            (Entries{{"FMTONo", Variant(demo::kPlanA)}, {"AuxPropID", Variant(std::to_string(demo::kRed))}}));
  EXPECT_EQ(fld("FQty"), Variant(7.5));
  EXPECT_EQ(fld("FSecQty"), Variant(2.5));

  setRow({{"FUnitID", "2.5"}, {"FAuxPropID", ""}, {"FFromMTONo", ""}, {"FKFDate", "2026-11-01"}});
  SetQty(state_, 1);
  const auto& second = service->calls[1];
  EXPECT_EQ(second.args[4], Variant(int32_t{2})) << "halves go to the even neighbour";
  EXPECT_EQ(second.args[7], Variant(automation::makeDate(2026, 11, 1)));
  EXPECT_EQ(second.conditions, (Entries{{"FMTONo", Variant("")}}));

  service->result = Variant();
  SetQty(state_, 1);
  EXPECT_EQ(fld("FQty"), Variant(0.0)) << "an empty result";
}

// Texts that are not UTF-8 (a lone continuation byte, a cut sequence, an encoded surrogate) cannot
// be written in a scenario file; a host may still hand them over. They pass through unchanged.
TEST_F(StockOnHandTest, TextsThatAreNotUtf8ReachTheServiceUnchanged) {
  auto service = recordService();
  const std::string batch = "B\x80\xff'--";
  const std::string plan = std::string("MTO\xc3") + '\0' + "\xed\xa0\x80";
  setRow({{"FItemID", "\xfe" "12"}, {"FBatchNo", batch}, {"FFromMTONo", plan}});
  SetQty(state_, 1);
  ASSERT_EQ(service->calls.size(), 1u);
  EXPECT_EQ(service->calls[0].args[2], Variant("\xfe" "12"));
  EXPECT_EQ(service->calls[0].args[3], Variant(batch));
  ASSERT_FALSE(service->calls[0].conditions.empty());
  EXPECT_EQ(service->calls[0].conditions[0].second, Variant(plan));
  EXPECT_EQ(fld("FQty"), Variant(7.5));
  EXPECT_EQ(GetFiledValue(Variant(automation::ObjectPtr(editor_)), 1, "FFromMTONo"), plan);
}

TEST_F(StockOnHandTest, QuantitiesFollowWarehousePlaceBatchAndTrackingNumber) {
  setRow({{"FItemID", demo::kSteelPlate},
          {"FUnitID", demo::kKilogram},
          {"FStockID", demo::kRawMaterials},
          {"FSPID", demo::kRackA1Bin1},
          {"FFromMTONo", demo::kPlanA}});
  SetQty(state_, 1);
  EXPECT_EQ(fld("FQty"), Variant(500.0));
  EXPECT_EQ(fld("FBaseQty"), Variant(500.0)) << "the host's action on FQty";

  setRow({{"FFromMTONo", demo::kPlanB}});
  SetQty(state_, 1);
  EXPECT_EQ(fld("FQty"), Variant(120.5));
  setRow({{"FFromMTONo", ""}, {"FSPID", demo::kRackA1Bin2}});
  SetQty(state_, 1);
  EXPECT_EQ(fld("FQty"), Variant(1000.0));
  EXPECT_EQ(editor_->columnTotal("FQty"), 1000.0);

  editor_->addRow();
  setRow({{"FItemID", demo::kAluminiumBar},
          {"FUnitID", demo::kMetre},
          {"FStockID", demo::kRawMaterials},
          {"FSPID", demo::kRackA2Bin1},
          {"FBatchNo", demo::kAluminiumBatch},
          {"FFromMTONo", demo::kPlanA}},
         2);
  SetQty(state_, 2);
  EXPECT_EQ(fld("FQty", 2), Variant(60.125));
  setRow({{"FItemID", demo::kHexBolt},
          {"FUnitID", demo::kPieces},
          {"FSPID", demo::kRackA1Bin2},
          {"FBatchNo", ""},
          {"FAuxPropID", demo::kBlue}},
         2);
  SetQty(state_, 2);
  EXPECT_EQ(fld("FQty", 2), Variant(600.0));
  EXPECT_EQ(fld("FSecQty", 2), Variant(50.0)) << "boxes of 12";
}

TEST_F(StockOnHandTest, ExpiryIsRewrittenInTheShortDateForm) {
  automation::Locale locale;
  locale.dateSeparator = ".";
  locale.shortDatePattern = "dd.MM.yyyy";
  host().platform().setLocale(locale);
  recordService();
  setRow({{"FPeriodDate", "kept"}});
  SetQty(state_, 1);
  EXPECT_EQ(fld("FPeriodDate"), Variant("kept")) << "no start date";

  setRow({{"FKFDate", "2026.11.01"}, {"FKFPeriod", "180"}});
  SetQty(state_, 1);
  EXPECT_EQ(fld("FPeriodDate"), Variant("30.04.2027"));
}

TEST_F(StockOnHandTest, StartDateThatIsNoDateFailsBeforeAnyQuantityIsWritten) {
  auto service = recordService();
  setRow({{"FQty", 3.0}, {"FSecQty", 1.0}, {"FKFDate", "someday"}});
  try {
    SetQty(state_, 1);
    FAIL() << "no error";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), automation::errc::kTypeMismatch);
    EXPECT_TRUE(e.info().source.starts_with(
        "T8MTOChange.clsMTOChange::SetQty\r\nT8MTOChange.clsMTOChange::GetQty\r\n"))
        << e.info().source;
  }
  EXPECT_TRUE(service->calls.empty());
  EXPECT_EQ(fld("FQty"), Variant(3.0));
  EXPECT_EQ(fld("FSecQty"), Variant(1.0));
}

TEST_F(StockOnHandTest, ClassActionParametersOfTheBatchLookUp) {
  EXPECT_EQ(GetParameters(sim::kMtoChangeClassTypeID), "BatchFilter=FStockID,FFromMTONo;QtyField=FChangeQty");
  EXPECT_EQ(GetParameters(sim::kMtoChangeEntryClassTypeID), "BatchFilter=FStockID");
  EXPECT_EQ(GetParameters(1007130), "");
}

}  // namespace
}  // namespace mto::bill
