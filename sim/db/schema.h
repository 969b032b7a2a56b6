#pragma once

#include <string_view>

#include "sim/db/schema_base_data.h"
#include "sim/db/schema_bills.h"
#include "sim/db/schema_inventory.h"

// The simulated ERP database: every table the simulated host reads and the demo data it starts
// with. `Database` runs `kScripts` in order, once, on a database that has no schema yet, and then
// stores `kVersion` in `PRAGMA user_version`.
//
// To extend: add tables and rows as a new script (or to an existing one), list it in `kScripts`
// and raise `kVersion`, so that a database file made by an older build is refused instead of being
// read with a missing table.

namespace mto::sim::schema {

inline constexpr int kVersion = 5;

/// Tables. Column names of the three profile tables are those the plug-in's system-profile
/// statement reads, spelled as it spells them (SQLite compares column names without case).
/// Values are text, as the ERP stores them; FValue may be NULL (the plug-in treats that as a
/// conversion error). Dates are ISO texts 'YYYY-MM-DD'.
inline constexpr std::string_view kTables = R"sql(
CREATE TABLE t_SystemProfile (
  FCateGory TEXT NOT NULL,
  FKey      TEXT NOT NULL,
  FValue    TEXT,
  PRIMARY KEY (FCateGory, FKey)
);

-- The receivables/payables module keeps its own profile.
CREATE TABLE t_RP_SystemProfile (
  FCateGory TEXT NOT NULL,
  FKey      TEXT NOT NULL,
  FValue    TEXT,
  PRIMARY KEY (FCateGory, FKey)
);

-- Low-price control options.
CREATE TABLE ICPrcOpt (
  FCategory TEXT NOT NULL,
  FKey      TEXT NOT NULL,
  FValue    TEXT,
  PRIMARY KEY (FCategory, FKey)
);

-- Accounting periods. The current one is named by the profile rows IC/CurrentYear and
-- IC/CurrentPeriod, as the ERP keeps it.
CREATE TABLE t_FiscalPeriod (
  FYear      INTEGER NOT NULL,
  FPeriod    INTEGER NOT NULL,
  FStartDate TEXT NOT NULL,
  FEndDate   TEXT NOT NULL,
  PRIMARY KEY (FYear, FPeriod)
);

-- Rights by user and protected object; a missing row means refused. The three object columns
-- are the three numbers of the access-check call (object type, object id, right mask).
CREATE TABLE t_AccessRight (
  FUserID     INTEGER NOT NULL,
  FObjectType INTEGER NOT NULL,
  FObjectID   INTEGER NOT NULL,
  FAccessMask INTEGER NOT NULL,
  FAllowed    INTEGER NOT NULL DEFAULT 1,
  PRIMARY KEY (FUserID, FObjectType, FObjectID, FAccessMask)
);

-- User-visible texts by key and language. The key is the text as the plug-in passes it to the
-- resource loader, character for character.
CREATE TABLE t_ResourceText (
  key      TEXT NOT NULL,
  language TEXT NOT NULL,
  text     TEXT NOT NULL,
  PRIMARY KEY (key, language)
);
)sql";

/// The demo company's system profile: every option the plug-in loads, plus rows of other
/// categories and keys that its statement must leave out.
inline constexpr std::string_view kSystemProfileSeed = R"sql(
INSERT INTO t_SystemProfile (FCateGory, FKey, FValue) VALUES
  ('IC', 'BillDiscount',            '0'),
  ('IC', 'PrecisionOfDiscountRate', '6'),
  ('IC', 'EnableMtoPlanMode',       '1'),
  ('IC', 'PurHPriceControl',        '0'),
  ('IC', 'PurHPricePSW',            ''),
  ('IC', 'PurHPriceZero',           '0'),
  ('IC', 'PurHPriceContrlPoint',    '1'),
  ('IC', 'IsUsePurPrcMgr',          '0'),
  ('IC', 'SecUnit',                 '1'),
  ('IC', 'ApplyMapInPurchase',      '0'),
  ('IC', 'ApplyMapInSale',          '0'),
  ('IC', 'PurTaxRateOption',        '1'),
  ('IC', 'POOrderTaxInPrice',       '0'),
  ('IC', 'CQtyLargerSEQty',         '0'),
  ('IC', 'SaveBeforePrint',         '1'),
  ('IC', 'SaleTaxRateOption',       '1'),
  ('IC', 'SEOrderTaxInPrice',       'False'),
  ('IC', 'AlertHighPriceWhenCheck', '0'),
  ('IC', 'BillStatus',              '0'),
  ('IC', 'AllowPurchase',           '1'),
  ('IC', 'IsOkToModAfterClose',     '0'),
  ('IC', 'EditSelfBill',            '0'),
  ('IC', 'DoubleUnit',              '1'),
  ('IC', 'ISUsePriceManage',        '0'),
  ('IC', 'DisCountIncludeTax',      'True'),
  ('IC', 'StrictAccordRequest',     '0'),
  ('IC', 'CalCostByBatch',          '0'),
  -- Not loaded by the plug-in.
  ('IC', 'StartYear',               '2026'),
  ('IC', 'StartPeriod',             '1'),
  ('IC', 'CurrentYear',             '2026'),
  ('IC', 'CurrentPeriod',           '6'),
  ('GL', 'CurrentYear',             '2026'),
  ('GL', 'CurrentPeriod',           '6'),
  ('GL', 'SecUnit',                 '0');

INSERT INTO t_RP_SystemProfile (FCateGory, FKey, FValue) VALUES
  ('ARP', 'FFinishInitAP', '1'),
  ('ARP', 'FFinishInitAR', '1'),
  ('ARP', 'FCheckAccount', '0'),
  ('ARP', 'FStartYear',    '2026'),
  ('ARP', 'FStartPeriod',  '1');

INSERT INTO ICPrcOpt (FCategory, FKey, FValue) VALUES
  ('LowPrcCtrl', 'CtrlTime',    '1'),
  ('LowPrcCtrl', 'CtrlEnabled', '0');
)sql";

/// The twelve calendar-month periods of 2026 and 2027.
inline constexpr std::string_view kFiscalPeriodSeed = R"sql(
INSERT INTO t_FiscalPeriod (FYear, FPeriod, FStartDate, FEndDate) VALUES
  (2026,  1, '2026-01-01', '2026-01-31'),
  (2026,  2, '2026-02-01', '2026-02-28'),
  (2026,  3, '2026-03-01', '2026-03-31'),
  (2026,  4, '2026-04-01', '2026-04-30'),
  (2026,  5, '2026-05-01', '2026-05-31'),
  (2026,  6, '2026-06-01', '2026-06-30'),
  (2026,  7, '2026-07-01', '2026-07-31'),
  (2026,  8, '2026-08-01', '2026-08-31'),
  (2026,  9, '2026-09-01', '2026-09-30'),
  (2026, 10, '2026-10-01', '2026-10-31'),
  (2026, 11, '2026-11-01', '2026-11-30'),
  (2026, 12, '2026-12-01', '2026-12-31'),
  (2027,  1, '2027-01-01', '2027-01-31'),
  (2027,  2, '2027-02-01', '2027-02-28'),
  (2027,  3, '2027-03-01', '2027-03-31'),
  (2027,  4, '2027-04-01', '2027-04-30'),
  (2027,  5, '2027-05-01', '2027-05-31'),
  (2027,  6, '2027-06-01', '2027-06-30'),
  (2027,  7, '2027-07-01', '2027-07-31'),
  (2027,  8, '2027-08-01', '2027-08-31'),
  (2027,  9, '2027-09-01', '2027-09-30'),
  (2027, 10, '2027-10-01', '2027-10-31'),
  (2027, 11, '2027-11-01', '2027-11-30'),
  (2027, 12, '2027-12-01', '2027-12-31');
)sql";

/// Users of the demo: 16394 the administrator, 16395 a stock clerk who may not copy MTO change
/// bills, 16396 a viewer. (1088, 54, 33554432) is the copy right the bill list checks.
inline constexpr std::string_view kAccessRightSeed = R"sql(
INSERT INTO t_AccessRight (FUserID, FObjectType, FObjectID, FAccessMask, FAllowed) VALUES
  (16394, 1088, 54, 33554432, 1),
  (16394, 1088, 54, 1,        1),
  (16395, 1088, 54, 33554432, 0),
  (16395, 1088, 54, 1,        1),
  (16396, 1088, 54, 1,        1);
)sql";

/// Every text the plug-in passes through the resource loader, with its English text. Keys are
/// the plug-in's literals exactly (full-width and ASCII punctuation as they are).
inline constexpr std::string_view kResourceTextSeed = R"sql(
INSERT INTO t_ResourceText (key, language, text) VALUES
  -- Titles, captions and tool descriptions.
  ('沃岚提示',     'en', 'Wolan Notice'),
  ('库存状态查询', 'en', 'Stock Status'),
  ('复制',         'en', 'Copy'),
  ('添加',         'en', 'Add Row'),
  ('删除',         'en', 'Delete Row'),
  ('审核',         'en', 'Check'),
  ('反审核',       'en', 'Uncheck'),
  ('反审',         'en', 'Uncheck'),
  -- Loading the system profile and the current period; the last two are shown on two lines.
  ('读取系统参数失败！',                 'en', 'Failed to read the system parameters!'),
  ('读取当前期间错误。',                 'en', 'Error reading the current period.'),
  ('可能的原因是您还没有设置核算参数。', 'en', 'The accounting parameters may not have been set yet.'),
  -- Permission check of the list's copy command.
  ('没有权限,请与系统管理员联系', 'en', 'No permission, please contact the system administrator'),
  -- Save and un-check validation.
  ('请输入合法的生产采购日期。',         'en', 'Please enter a valid production or purchase date.'),
  ('请输入合法的有效期至。',             'en', 'Please enter a valid expiry date.'),
  ('辅助单位调整数量必须大于0。',        'en', 'The change quantity in the secondary unit must be greater than 0.'),
  ('调整数量必须大于0。',                'en', 'The change quantity must be greater than 0.'),
  ('必须输入至少1条分录。',              'en', 'At least 1 entry row must be entered.'),
  ('单据日期不能小于当前期间,请重新输入。', 'en', 'The bill date cannot be earlier than the current period, please enter it again.');
)sql";

/// Run in this order on a database without schema.
inline constexpr std::string_view kScripts[] = {
    kTables,         kSystemProfileSeed, kFiscalPeriodSeed, kAccessRightSeed, kResourceTextSeed,
    kBaseDataTables, kBaseDataSeed,      kInventoryTables,  kInventorySeed,   kBillTables};

}  // namespace mto::sim::schema
