#pragma once

#include <cstdint>
#include <string_view>

// Names for the rows of the demo company (sim/db/schema*.h) that tests, scenarios and the demo
// rely on, with the property each is relied on for. The seed scripts keep their literal values;
// tests/sim/demo_data_test.cc checks every name here against the seeded database, so a change of
// the seed that breaks a name fails there first.
//
// IDs are `int32_t`, so that a Variant made from one is a Long, as the host stores look-up IDs.

namespace mto::sim::demo {

// Materials (t_ICItem.FItemID).

/// Steel plate, kg: quantities with 2 decimals; in kRawMaterials 500 under kPlanA and 120.5 under
/// kPlanB at kRackA1Bin1, 1000 free (no tracking number) at kRackA1Bin2.
inline constexpr int32_t kSteelPlate = 12;
/// Aluminium bar, m, batch managed: 3 decimals; batch kAluminiumBatch holds 60.125 under kPlanA at
/// kRackA2Bin1 in kRawMaterials.
inline constexpr int32_t kAluminiumBar = 13;
/// Hex bolt, pcs: 0 decimals, boxes of 12 (kBox) as the secondary unit; 600 kBlue under kPlanA at
/// kRackA1Bin2 in kRawMaterials.
inline constexpr int32_t kHexBolt = 14;
/// Epoxy adhesive, kg: 3 decimals, shelf-life managed with 180 days.
inline constexpr int32_t kEpoxyAdhesive = 15;
/// Lubricating oil, L: 2 decimals, kDrum of 200 L as the secondary unit, 365 days shelf life.
inline constexpr int32_t kLubricatingOil = 16;
/// Copper wire, m: 1 decimal; no stock on hand.
inline constexpr int32_t kCopperWire = 19;
/// Precision shim, g: 4 decimals, the most of any material.
inline constexpr int32_t kPrecisionShim = 23;

// Units of measure (t_MeasureUnit.FMeasureUnitID).

/// pcs, number "PCS": the base unit of the piece group.
inline constexpr int32_t kPieces = 1;
/// box, number "BOX": 12 kPieces.
inline constexpr int32_t kBox = 2;
/// kg, number "KG": the base unit of the weight group.
inline constexpr int32_t kKilogram = 4;
/// g, number "G": 0.001 kKilogram.
inline constexpr int32_t kGram = 5;
/// m, number "M": the base unit of the length group.
inline constexpr int32_t kMetre = 7;
/// L, number "L": the base unit of the volume group.
inline constexpr int32_t kLitre = 9;
/// drum, number "DRUM": a group of its own, converted per material (kLubricatingOil: 200 L).
inline constexpr int32_t kDrum = 12;

// Warehouses and stock places.

/// Raw material warehouse WH01, ordinary (kOrdinaryWarehouseType): holds the stock of kPlanA.
inline constexpr int32_t kRawMaterials = 31;
/// t_Stock.FTypeID of an ordinary warehouse, the only type the warehouse look-up offers.
inline constexpr int32_t kOrdinaryWarehouseType = 500;
/// Stock place A-01-01 of kRawMaterials' group.
inline constexpr int32_t kRackA1Bin1 = 41;
/// Stock place A-01-02 of kRawMaterials' group.
inline constexpr int32_t kRackA1Bin2 = 42;
/// Stock place A-02-01 of kRawMaterials' group.
inline constexpr int32_t kRackA2Bin1 = 43;

// Stock keys.

/// Plan tracking number with stock of most materials in kRawMaterials.
inline constexpr std::string_view kPlanA = "MTO-2026-001";
/// Plan tracking number with stock of kSteelPlate (120.5 at kRackA1Bin1), kAluminiumBar, kHexBolt
/// and kLubricatingOil.
inline constexpr std::string_view kPlanB = "MTO-2026-002";
/// Batch of kAluminiumBar held under both kPlanA (60.125 m) and kPlanB (18 m).
inline constexpr std::string_view kAluminiumBatch = "AL-2612";
/// Auxiliary property "Red", CLR.RED: 2400 kHexBolt under kPlanA at kRackA1Bin2.
inline constexpr int32_t kRed = 51;
/// Auxiliary property "Blue", CLR.BLU.
inline constexpr int32_t kBlue = 52;

// Head look-ups.

/// Business type "Ordinary change", code "01" (t_SubMessage, type 201).
inline constexpr int32_t kOrdinaryChange = 61;
/// Business type "Customer transfer", code "02".
inline constexpr int32_t kCustomerTransfer = 62;
/// Business type "Plan merge", code "03".
inline constexpr int32_t kPlanMerge = 63;
/// Customer "Northwind Machinery", C001.
inline constexpr int32_t kNorthwindMachinery = 81;
/// Customer "Eastlake Motors", C002.
inline constexpr int32_t kEastlakeMotors = 82;
/// Customer "Harbor Pumps", C003.
inline constexpr int32_t kHarborPumps = 83;

// Login and accounting period.

/// The administrator, whom the simulated host logs in as; may copy MTO change bills.
inline constexpr int32_t kAdministrator = 16394;
/// A stock clerk: may open MTO change bills but not copy them.
inline constexpr int32_t kStockClerk = 16395;
/// The year of the current period (profile IC/CurrentYear); periods are calendar months.
inline constexpr int kCurrentYear = 2026;
/// The current period (IC/CurrentPeriod): June, 2026-06-01 to 2026-06-30.
inline constexpr int kCurrentPeriod = 6;

}  // namespace mto::sim::demo
