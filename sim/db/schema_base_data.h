#pragma once

#include <string_view>

// Base data of the simulated ERP: the tables behind the bill's look-up fields and the demo
// company's records. Every look-up table has its ID column, FNumber (t_SubMessage: FID) and FName,
// the columns the bill's look-up statement reads. ID columns are deliberately not keys: the ERP
// does not enforce them either, and a duplicated ID must reach the plug-in as two records.

namespace mto::sim::schema {

inline constexpr std::string_view kBaseDataTables = R"sql(
-- Units of measure. FCoefficient converts a quantity in this unit to the base unit of its group;
-- drum and pallet are groups of their own, converted per material (t_ICItem.FSecCoefficient).
CREATE TABLE t_MeasureUnit (
  FMeasureUnitID INTEGER NOT NULL,
  FNumber        TEXT NOT NULL,
  FName          TEXT NOT NULL,
  FUnitGroupID   INTEGER NOT NULL DEFAULT 0,
  FCoefficient   REAL NOT NULL DEFAULT 1,
  FDeleted       INTEGER NOT NULL DEFAULT 0
);

-- Materials. FQtyDecimal: decimals of quantities (0..4). FIsKFPeriod: shelf-life managed, with
-- FKFPeriod days of shelf life. FUnitID is the stock unit; FSecUnitID (0 for none) the secondary
-- unit, FSecCoefficient base units per secondary unit. FErpClsID: 1 purchased, 2 self-made,
-- 3 outsourced. FSafetyStock: the quantity (stock unit) to keep on hand.
CREATE TABLE t_ICItem (
  FItemID         INTEGER NOT NULL,
  FNumber         TEXT NOT NULL,
  FName           TEXT NOT NULL,
  FModel          TEXT NOT NULL DEFAULT '',
  FErpClsID       INTEGER NOT NULL DEFAULT 1,
  FUnitID         INTEGER NOT NULL,
  FSecUnitID      INTEGER NOT NULL DEFAULT 0,
  FSecCoefficient REAL NOT NULL DEFAULT 0,
  FQtyDecimal     INTEGER NOT NULL DEFAULT 0,
  FIsKFPeriod     INTEGER NOT NULL DEFAULT 0,
  FKFPeriod       INTEGER NOT NULL DEFAULT 0,
  FBatchManager   INTEGER NOT NULL DEFAULT 0,
  FDeleted        INTEGER NOT NULL DEFAULT 0,
  FSafetyStock    REAL NOT NULL DEFAULT 0
);

-- Warehouses. FTypeID: 500 ordinary, 501 bonded, 502 goods in transit, 503 scrap.
CREATE TABLE t_Stock (
  FItemID  INTEGER NOT NULL,
  FNumber  TEXT NOT NULL,
  FName    TEXT NOT NULL,
  FTypeID  INTEGER NOT NULL DEFAULT 500,
  FSPGroupID INTEGER NOT NULL DEFAULT 0,
  FDeleted INTEGER NOT NULL DEFAULT 0
);

-- Stock places, in groups that a warehouse with place management names in FSPGroupID.
CREATE TABLE t_StockPlace (
  FSPID      INTEGER NOT NULL,
  FNumber    TEXT NOT NULL,
  FName      TEXT NOT NULL,
  FSPGroupID INTEGER NOT NULL DEFAULT 0
);

-- Auxiliary properties (colour, grade, ...) of the materials that carry them.
CREATE TABLE t_AuxItem (
  FInterID     INTEGER NOT NULL,
  FNumber      TEXT NOT NULL,
  FName        TEXT NOT NULL,
  FItemClassID INTEGER NOT NULL DEFAULT 0
);

-- Enumerated texts of the ERP, by type; FID is the code a look-up shows as the number.
CREATE TABLE t_SubMessage (
  FInterID INTEGER NOT NULL,
  FID      TEXT NOT NULL,
  FName    TEXT NOT NULL,
  FTypeID  INTEGER NOT NULL
);

-- Customers.
CREATE TABLE t_Organization (
  FItemID INTEGER NOT NULL,
  FNumber TEXT NOT NULL,
  FName   TEXT NOT NULL
);

CREATE TABLE t_Department (
  FItemID INTEGER NOT NULL,
  FNumber TEXT NOT NULL,
  FName   TEXT NOT NULL
);

CREATE TABLE t_Emp (
  FItemID INTEGER NOT NULL,
  FNumber TEXT NOT NULL,
  FName   TEXT NOT NULL,
  FDepartmentID INTEGER NOT NULL DEFAULT 0
);
)sql";

/// The demo company's base data. Material 12 ("Steel plate") is the one the examples use; 15, 16
/// and 22 are shelf-life managed; 14, 16, 20 and 21 have a secondary unit.
inline constexpr std::string_view kBaseDataSeed = R"sql(
INSERT INTO t_MeasureUnit (FMeasureUnitID, FNumber, FName, FUnitGroupID, FCoefficient) VALUES
  (1,  'PCS',  'pcs',    1, 1),
  (2,  'BOX',  'box',    1, 12),
  (3,  'CTN',  'carton', 1, 48),
  (4,  'KG',   'kg',     2, 1),
  (5,  'G',    'g',      2, 0.001),
  (6,  'T',    't',      2, 1000),
  (7,  'M',    'm',      3, 1),
  (8,  'CM',   'cm',     3, 0.01),
  (9,  'L',    'L',      4, 1),
  (10, 'ML',   'mL',     4, 0.001),
  (11, 'ROLL', 'roll',   3, 100),
  (12, 'DRUM', 'drum',   5, 1),
  (13, 'PLT',  'pallet', 6, 1);

INSERT INTO t_ICItem (FItemID, FNumber, FName, FModel, FErpClsID, FUnitID, FSecUnitID, FSecCoefficient,
                      FQtyDecimal, FIsKFPeriod, FKFPeriod, FBatchManager) VALUES
  (12, '01.01.001', 'Steel plate',          'Q235 6mm',      1, 4, 0,  0,    2, 0, 0,   0),
  (13, '01.01.002', 'Aluminium bar',        '6061 D20',      1, 7, 0,  0,    3, 0, 0,   1),
  (14, '01.02.001', 'Hex bolt',             'M8x30',         1, 1, 2,  12,   0, 0, 0,   0),
  (15, '01.03.001', 'Epoxy adhesive',       'AB-50',         1, 4, 0,  0,    3, 1, 180, 1),
  (16, '01.03.002', 'Lubricating oil',      'ISO VG 46',     1, 9, 12, 200,  2, 1, 365, 1),
  (17, '02.01.001', 'Gear housing',         'GH-200',        2, 1, 0,  0,    0, 0, 0,   1),
  (18, '02.01.002', 'Drive shaft',          'DS-45',         2, 1, 0,  0,    0, 0, 0,   1),
  (19, '02.02.001', 'Copper wire',          '1.5mm2',        1, 7, 0,  0,    1, 0, 0,   0),
  (20, '03.01.001', 'Gear reducer',         'GR-200 1:20',   2, 1, 13, 4,    0, 0, 0,   1),
  (21, '03.01.002', 'Gear reducer kit',     'GRK-200',       2, 1, 2,  12,   0, 0, 0,   1),
  (22, '03.02.001', 'Sealant cartridge',    'SC-310',        3, 1, 0,  0,    0, 1, 365, 1),
  (23, '04.01.001', 'Precision shim',       '0.05mm',        1, 5, 0,  0,    4, 0, 0,   0);

-- Safety stock of the materials bought in bulk, in their stock units.
UPDATE t_ICItem SET FSafetyStock = 200 WHERE FItemID = 12;
UPDATE t_ICItem SET FSafetyStock = 50 WHERE FItemID = 13;
UPDATE t_ICItem SET FSafetyStock = 1200 WHERE FItemID = 14;
UPDATE t_ICItem SET FSafetyStock = 400 WHERE FItemID = 16;

-- Types 500..503 as in the table comment.
INSERT INTO t_Stock (FItemID, FNumber, FName, FTypeID, FSPGroupID) VALUES
  (31, 'WH01', 'Raw material warehouse',   500, 1),
  (32, 'WH02', 'Finished goods warehouse', 500, 2),
  (33, 'WH03', 'Bonded warehouse',         501, 0),
  (34, 'WH04', 'Goods in transit',         502, 0),
  (35, 'WH05', 'Scrap warehouse',          503, 0);

INSERT INTO t_StockPlace (FSPID, FNumber, FName, FSPGroupID) VALUES
  (41, 'A-01-01', 'Rack A row 1 bin 1', 1),
  (42, 'A-01-02', 'Rack A row 1 bin 2', 1),
  (43, 'A-02-01', 'Rack A row 2 bin 1', 1),
  (44, 'B-01-01', 'Rack B row 1 bin 1', 2),
  (45, 'B-01-02', 'Rack B row 1 bin 2', 2);

INSERT INTO t_AuxItem (FInterID, FNumber, FName, FItemClassID) VALUES
  (51, 'CLR.RED',  'Red',        1),
  (52, 'CLR.BLU',  'Blue',       1),
  (53, 'GRD.A',    'Grade A',    2),
  (54, 'GRD.B',    'Grade B',    2);

-- Type 201: business types of stock bills; type 202: bill statuses.
INSERT INTO t_SubMessage (FInterID, FID, FName, FTypeID) VALUES
  (61, '01', 'Ordinary change',   201),
  (62, '02', 'Customer transfer', 201),
  (63, '03', 'Plan merge',        201),
  (71, '0',  'Not checked',       202),
  (72, '1',  'Checked',           202);

INSERT INTO t_Organization (FItemID, FNumber, FName) VALUES
  (81, 'C001', 'Northwind Machinery'),
  (82, 'C002', 'Eastlake Motors'),
  (83, 'C003', 'Harbor Pumps');

INSERT INTO t_Department (FItemID, FNumber, FName) VALUES
  (91, 'D01', 'Planning'),
  (92, 'D02', 'Warehouse'),
  (93, 'D03', 'Production');

INSERT INTO t_Emp (FItemID, FNumber, FName, FDepartmentID) VALUES
  (101, 'E001', 'Li Wei',     91),
  (102, 'E002', 'Zhang Min',  92),
  (103, 'E003', 'Wang Fang',  93);
)sql";

}  // namespace mto::sim::schema
