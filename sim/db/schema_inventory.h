#pragma once

#include <string_view>

// Stock on hand and the class actions of bill types, with the demo company's stock.

namespace mto::sim::schema {

/// Stock on hand in the material's base unit, by material, warehouse, stock place, batch, plan
/// tracking number, auxiliary property and shelf-life start and period. A row without a place,
/// batch, tracking number or auxiliary property holds 0 or ''.
inline constexpr std::string_view kInventoryTables = R"sql(
CREATE TABLE t_ICInventory (
  FItemID    INTEGER NOT NULL,
  FStockID   INTEGER NOT NULL,
  FSPID      INTEGER NOT NULL DEFAULT 0,
  FBatchNo   TEXT NOT NULL DEFAULT '',
  FMTONo     TEXT NOT NULL DEFAULT '',
  FAuxPropID INTEGER NOT NULL DEFAULT 0,
  FKFDate    TEXT NOT NULL DEFAULT '',
  FKFPeriod  INTEGER NOT NULL DEFAULT 0,
  FQty       REAL NOT NULL DEFAULT 0
);

-- Actions a bill type runs; class action 100020 holds the batch look-up's parameters.
CREATE TABLE ICClassActionList (
  FClassActionID INTEGER NOT NULL,
  FClassTypeID   INTEGER NOT NULL,
  FAction        TEXT NOT NULL,
  PRIMARY KEY (FClassActionID, FClassTypeID)
);
)sql";

inline constexpr std::string_view kInventorySeed = R"sql(
INSERT INTO t_ICInventory (FItemID, FStockID, FSPID, FBatchNo, FMTONo, FAuxPropID, FKFDate, FKFPeriod, FQty) VALUES
  -- Steel plate (kg) in the raw material warehouse, under three plans and free stock.
  (12, 31, 41, '',         'MTO-2026-001', 0,  '',           0,   500),
  (12, 31, 41, '',         'MTO-2026-002', 0,  '',           0,   120.5),
  (12, 31, 42, '',         '',             0,  '',           0,   1000),
  (12, 32, 44, '',         'MTO-2026-003', 0,  '',           0,   75.25),
  -- Aluminium bar (m), batch managed.
  (13, 31, 43, 'AL-2611',  'MTO-2026-001', 0,  '',           0,   240),
  (13, 31, 43, 'AL-2612',  'MTO-2026-001', 0,  '',           0,   60.125),
  (13, 31, 43, 'AL-2612',  'MTO-2026-002', 0,  '',           0,   18),
  -- Hex bolts (pcs; boxes of 12 as the secondary unit), red and blue.
  (14, 31, 42, '',         'MTO-2026-001', 51, '',           0,   2400),
  (14, 31, 42, '',         'MTO-2026-001', 52, '',           0,   600),
  (14, 31, 42, '',         'MTO-2026-002', 51, '',           0,   144),
  -- Epoxy adhesive (kg), shelf life 180 days.
  (15, 31, 43, 'EP-2611',  'MTO-2026-001', 0,  '2026-11-01', 180, 35.5),
  (15, 31, 43, 'EP-2612',  'MTO-2026-001', 0,  '2026-12-01', 180, 12),
  -- Lubricating oil (L; drums of 200 L), shelf life 365 days.
  (16, 31, 41, 'LO-2609',  'MTO-2026-002', 0,  '2026-09-15', 365, 800),
  -- Gear housings and drive shafts (pcs), batch managed.
  (17, 32, 44, 'GH-2611',  'MTO-2026-003', 0,  '',           0,   25),
  (18, 32, 45, 'DS-2611',  'MTO-2026-003', 0,  '',           0,   40),
  -- Gear reducers (pcs; pallets of 4), finished goods.
  (20, 32, 44, 'GR-2611',  'MTO-2026-003', 0,  '',           0,   40),
  (20, 32, 44, 'GR-2611',  '',             0,  '',           0,   8),
  (21, 32, 45, 'GK-2611',  'MTO-2026-004', 0,  '',           0,   36),
  -- Sealant cartridges (pcs), shelf life 365 days.
  (22, 31, 43, 'SC-2610',  'MTO-2026-004', 0,  '2026-10-20', 365, 96),
  -- Precision shims (g).
  (23, 31, 41, '',         'MTO-2026-001', 0,  '',           0,   1250.5);

-- The MTO change bill (1007105) selects batches by warehouse and tracking number.
INSERT INTO ICClassActionList (FClassActionID, FClassTypeID, FAction) VALUES
  (100020, 1007105, 'BatchFilter=FStockID,FFromMTONo;QtyField=FChangeQty'),
  (100020, 1007106, 'BatchFilter=FStockID'),
  (100018, 1007105, 'ItemBatchLookup');
)sql";

}  // namespace mto::sim::schema
