#include "sim/db/demo_data.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "sim/components/sim_host.h"
#include "sim/db/database.h"

namespace mto::sim::demo {
namespace {

/// What tests rely on of a material.
struct Material {
  int32_t id = 0;
  std::string name;
  int64_t unit = 0;
  int64_t decimals = 0;
  int64_t secondaryUnit = 0;
  double secondaryCoefficient = 0;
  int64_t shelfLifeDays = 0;
  bool operator==(const Material&) const = default;
};

void PrintTo(const Material& m, std::ostream* os) {
  *os << m.id << " " << m.name << " unit " << m.unit << " decimals " << m.decimals << " secondary "
      << m.secondaryUnit << " x" << m.secondaryCoefficient << " shelf life " << m.shelfLifeDays;
}

/// The seeded database, read directly: the names must hold for the data, whoever reads it.
class DemoDataTest : public ::testing::Test {
 protected:
  /// The columns of the one row `sql` yields for the bound values, joined by '|'; says so when
  /// there is no row or more than one.
  template <typename... Values>
  std::string row(std::string_view sql, Values... values) {
    auto statement = db_->connection().prepare(sql);
    int index = 0;
    (statement.bind(++index, values), ...);
    if (!statement.step()) return "no row";
    std::string out;
    for (int c = 0; c < statement.columnCount(); ++c) out += (c ? "|" : "") + statement.columnText(c);
    return statement.step() ? "several rows" : out;
  }
  /// The material's row; shelf-life days count only when it is shelf-life managed.
  Material material(int32_t id) {
    auto statement = db_->connection().prepare(
        "SELECT FName, FUnitID, FQtyDecimal, FSecUnitID, FSecCoefficient, "
        "CASE WHEN FIsKFPeriod <> 0 THEN FKFPeriod ELSE 0 END FROM t_ICItem WHERE FItemID = ?");
    statement.bind(1, id);
    if (!statement.step()) return {};
    return {id,
            statement.columnText(0),
            statement.columnInt64(1),
            statement.columnInt64(2),
            statement.columnInt64(3),
            statement.columnDouble(4),
            statement.columnInt64(5)};
  }
  /// Stock on hand of one key, summed over rows that differ only in shelf-life dates.
  std::string stock(int32_t item, int32_t place, std::string_view plan, std::string_view batch = "",
                    int32_t aux = 0) {
    return row(
        "SELECT SUM(FQty) FROM t_ICInventory WHERE FItemID = ? AND FStockID = ? AND FSPID = ? AND "
        "FMTONo = ? AND FBatchNo = ? AND FAuxPropID = ?",
        item, kRawMaterials, place, plan, batch, aux);
  }

  std::unique_ptr<Database> db_ = Database::openInMemory();
};

TEST_F(DemoDataTest, MaterialsAndUnitsAreWhatTheirNamesSay) {
  const Material materials[] = {
      {kSteelPlate, "Steel plate", kKilogram, 2, 0, 0, 0},
      {kAluminiumBar, "Aluminium bar", kMetre, 3, 0, 0, 0},
      {kHexBolt, "Hex bolt", kPieces, 0, kBox, 12, 0},
      {kEpoxyAdhesive, "Epoxy adhesive", kKilogram, 3, 0, 0, 180},
      {kLubricatingOil, "Lubricating oil", kLitre, 2, kDrum, 200, 365},
      {kCopperWire, "Copper wire", kMetre, 1, 0, 0, 0},
      {kPrecisionShim, "Precision shim", kGram, 4, 0, 0, 0},
  };
  for (const auto& m : materials) EXPECT_EQ(material(m.id), m);
  EXPECT_EQ(row("SELECT MAX(FQtyDecimal) FROM t_ICItem"), "4");
  EXPECT_EQ(row("SELECT COUNT(*) FROM t_ICInventory WHERE FItemID = ?", kCopperWire), "0");

  const char* unitSql =
      "SELECT FNumber, FCoefficient, FUnitGroupID = (SELECT FUnitGroupID FROM t_MeasureUnit WHERE "
      "FMeasureUnitID = ?) FROM t_MeasureUnit WHERE FMeasureUnitID = ?";
  EXPECT_EQ(row(unitSql, kPieces, kPieces), "PCS|1.0|1");
  EXPECT_EQ(row(unitSql, kPieces, kBox), "BOX|12.0|1");
  EXPECT_EQ(row(unitSql, kKilogram, kKilogram), "KG|1.0|1");
  EXPECT_EQ(row(unitSql, kKilogram, kGram), "G|0.001|1");
  EXPECT_EQ(row(unitSql, kMetre, kMetre), "M|1.0|1");
  EXPECT_EQ(row(unitSql, kLitre, kLitre), "L|1.0|1");
  EXPECT_EQ(row(unitSql, kLitre, kDrum), "DRUM|1.0|0");
}

TEST_F(DemoDataTest, StockLiesUnderTheNamedWarehousePlacesAndKeys) {
  EXPECT_EQ(row("SELECT FNumber, FTypeID FROM t_Stock WHERE FItemID = ?", kRawMaterials),
            "WH01|" + std::to_string(kOrdinaryWarehouseType));
  const char* placeSql =
      "SELECT p.FNumber FROM t_StockPlace p JOIN t_Stock s ON s.FSPGroupID = p.FSPGroupID "
      "WHERE s.FItemID = ? AND p.FSPID = ?";
  EXPECT_EQ(row(placeSql, kRawMaterials, kRackA1Bin1), "A-01-01");
  EXPECT_EQ(row(placeSql, kRawMaterials, kRackA1Bin2), "A-01-02");
  EXPECT_EQ(row(placeSql, kRawMaterials, kRackA2Bin1), "A-02-01");

  EXPECT_EQ(stock(kSteelPlate, kRackA1Bin1, kPlanA), "500.0");
  EXPECT_EQ(stock(kSteelPlate, kRackA1Bin1, kPlanB), "120.5");
  EXPECT_EQ(stock(kSteelPlate, kRackA1Bin2, ""), "1000.0");
  EXPECT_EQ(stock(kAluminiumBar, kRackA2Bin1, kPlanA, kAluminiumBatch), "60.125");
  EXPECT_EQ(stock(kAluminiumBar, kRackA2Bin1, kPlanB, kAluminiumBatch), "18.0");
  EXPECT_EQ(stock(kHexBolt, kRackA1Bin2, kPlanA, "", kRed), "2400.0");
  EXPECT_EQ(stock(kHexBolt, kRackA1Bin2, kPlanA, "", kBlue), "600.0");
}

TEST_F(DemoDataTest, LookUpsUsersAndPeriodAreWhatTheirNamesSay) {
  const char* auxSql = "SELECT FNumber, FName FROM t_AuxItem WHERE FInterID = ?";
  EXPECT_EQ(row(auxSql, kRed), "CLR.RED|Red");
  EXPECT_EQ(row(auxSql, kBlue), "CLR.BLU|Blue");
  const char* typeSql = "SELECT FID, FName FROM t_SubMessage WHERE FInterID = ? AND FTypeID = 201";
  EXPECT_EQ(row(typeSql, kOrdinaryChange), "01|Ordinary change");
  EXPECT_EQ(row(typeSql, kCustomerTransfer), "02|Customer transfer");
  EXPECT_EQ(row(typeSql, kPlanMerge), "03|Plan merge");
  const char* customerSql = "SELECT FNumber, FName FROM t_Organization WHERE FItemID = ?";
  EXPECT_EQ(row(customerSql, kNorthwindMachinery), "C001|Northwind Machinery");
  EXPECT_EQ(row(customerSql, kEastlakeMotors), "C002|Eastlake Motors");
  EXPECT_EQ(row(customerSql, kHarborPumps), "C003|Harbor Pumps");

  // The copy right of MTO change bills and the right to open them.
  EXPECT_TRUE(db_->isAllowed(kAdministrator, 1088, 54, 33554432));
  EXPECT_FALSE(db_->isAllowed(kStockClerk, 1088, 54, 33554432));
  EXPECT_TRUE(db_->isAllowed(kStockClerk, 1088, 54, 1));
  EXPECT_TRUE(kDefaultPropsString.starts_with("UserID=" + std::to_string(kAdministrator) + ";"));

  EXPECT_EQ(db_->currentPeriod(), (FiscalPeriod{kCurrentYear, kCurrentPeriod, "2026-06-01", "2026-06-30"}));
}

}  // namespace
}  // namespace mto::sim::demo
