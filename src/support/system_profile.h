#pragma once

#include <cstdint>
#include <string>

namespace mto::support {

/// The system-profile options, one record per host thread, filled again by every load.
struct SystemProfile {
  int32_t BillDiscount = 0;
  int32_t PrecisionOfDiscountRate = 0;
  bool EnableMtoPlanMode = false;
  int32_t PurHPriceControl = 0;
  std::string PurHPricePSW;
  bool PurHPriceZero = false;
  std::string PurHPriceContrlPoint;
  bool FFinishInitAP = false;
  bool FCheckAccount = false;
  bool IsUsePurPrcMgr = false;
  /// The second reading of "PrecisionOfDiscountRate", by its leading number.
  int32_t DiscountRatePrecision = 8;
  bool SecUnit = false;
  bool ApplyMapInPurchase = false;
  bool ApplyMapInSale = false;
  int32_t PurTaxRateOption = 1;
  bool POOrderTaxInPrice = false;
  bool CQtyLargerSEQty = false;
  bool SaveBeforePrint = false;
  int32_t SaleTaxRateOption = 0;
  bool SEOrderTaxInPrice = false;
  bool AlertHighPriceWhenCheck = false;
  bool BillStatus = false;
  bool AllowPurchase = false;
  bool IsOkToModAfterClose = false;
  bool EditSelfBill = false;
  bool DoubleUnit = true;
  bool ISUsePriceManage = false;
  bool DisCountIncludeTax = false;
  int32_t CtrlTime = 0;
  bool StrictAccordRequest = false;
  bool CalCostByBatch = false;
};

/// This thread's option record.
SystemProfile& systemProfile();

/// The statement that reads every option, lines joined by CR LF.
const std::string& systemProfileStatement();

/// Loads the options from the database through the host connection, then asks the list server
/// for the current period. Reports its own failures through the message service; never raises.
void LoadSystemProfile();

}  // namespace mto::support
