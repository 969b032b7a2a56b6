#pragma once

#include <string_view>

#include "sim/db/database.h"

namespace mto::sim {

/// Reads the filter the plug-in hands the stock-status window ("t1.FItemID IN(12,12)") into a
/// query whose values the database binds; the text itself never reaches SQL. The filter is
/// conditions joined by AND (any letter case), each `[t1.]Column IN(v, v, ...)` or
/// `[t1.]Column = v`, over FItemID, FStockID, FSPID, FAuxPropID (whole numbers, an optional "-")
/// and FBatchNo, FMTONo (single-quoted texts, '' for a quote inside; a whole number stands for
/// its digits). Column names and AND compare without case; blanks may surround every token. A
/// blank filter is no condition (all stock). Anything else raises automation error 5 from
/// "T8StockStatus.SSFace" with a one-line description naming the filter and what is wrong.
StockStatusQuery parseStockStatusFilter(std::string_view filter);

}  // namespace mto::sim
