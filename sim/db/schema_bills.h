#pragma once

#include <string_view>

// Saved MTO change bills: the head in t_MTOChange, the entry rows in t_MTOChangeEntry.

namespace mto::sim::schema {

inline constexpr std::string_view kBillTables = R"sql(
CREATE TABLE t_MTOChange (
  FInterID     INTEGER PRIMARY KEY AUTOINCREMENT,
  FBillNo      TEXT,
  FDate        TEXT,
  FStatus      INTEGER,
  FTranType    INTEGER,
  FHSID        INTEGER,
  FCustID      INTEGER,
  FDeptID      INTEGER,
  FEmpID       INTEGER,
  FExplanation TEXT
);

CREATE TABLE t_MTOChangeEntry (
  FInterID       INTEGER NOT NULL REFERENCES t_MTOChange (FInterID),
  FEntryID       INTEGER NOT NULL,
  FItemID        INTEGER,
  FAuxPropID     INTEGER,
  FUnitID        INTEGER,
  FStockID       INTEGER,
  FSPID          INTEGER,
  FBatchNo       TEXT,
  FKFDate        TEXT,
  FKFPeriod      INTEGER,
  FPeriodDate    TEXT,
  FFromMTONo     TEXT,
  FToMTONo       TEXT,
  FQty           REAL,
  FBaseQty       REAL,
  FSecQty        REAL,
  FChangeQty     REAL,
  FChangeBaseQty REAL,
  FChangeSecQty  REAL,
  FNote          TEXT,
  PRIMARY KEY (FInterID, FEntryID)
);
)sql";

}  // namespace mto::sim::schema
