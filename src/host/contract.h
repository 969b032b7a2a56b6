#pragma once

#include <string_view>

// The host contract in one place: the ProgIDs of the host components the plug-in creates. The
// members each object must offer are listed beside the typed view that calls them (collections.h
// and the views added with the handlers). The simulated host includes this header to register its
// components under the same names; it includes nothing else of the plug-in.

namespace mto::host::progid {

// The host's collection library.
inline constexpr std::string_view kDictionary = "T8Collections.Dictionary";
inline constexpr std::string_view kVector = "T8Collections.Vector";
inline constexpr std::string_view kUtility = "T8Collections.Utility";

// Login environment services.
inline constexpr std::string_view kShareProps = "PropsMgr.ShareProps";
inline constexpr std::string_view kResourceLoader = "T8RESLOADER.Loader";
inline constexpr std::string_view kFormResourceLoader = "FrmRes.FrmResLoader";
inline constexpr std::string_view kAccessChecker = "EBCGLView.GLData";
inline constexpr std::string_view kLog = "MvLogMsg.Log";
inline constexpr std::string_view kMessageService = "T8MsgSrv.MessageService";

// Data services.
inline constexpr std::string_view kConnection = "T8Connection.AppConnection";
inline constexpr std::string_view kListServer = "T8ListServer.clsListServer";
inline constexpr std::string_view kSysInfo = "BillDataAccess.SysInfo";

// Action runners and windows.
inline constexpr std::string_view kStockStatus = "T8StockStatus.SSFace";
inline constexpr std::string_view kBatchAction = "D8OduruverRunAction.clsDoAction";
inline constexpr std::string_view kStockQtyAction = "T8WEXSerRunAction.clsDoAction";

// The plug-in's own class.
inline constexpr std::string_view kPlugin = "T8MTOChange.clsMTOChange";

}  // namespace mto::host::progid

// Members of the host's objects that the host names as it likes (the plug-in reaches them through
// the host's typed interfaces); the simulated host offers them under these names.
namespace mto::host::member {

// Bill object ("BillEvent").
inline constexpr std::string_view kOperationMode = "OperationMode";    // 32-bit; 1 is a new bill
inline constexpr std::string_view kClassType = "ClassType";            // the bill's class-type object
inline constexpr std::string_view kEntryClassType = "EntryClassType";  // the entry class-type object
inline constexpr std::string_view kBillMultiCheck = "MultiCheck";      // multi-level check object or Nothing
inline constexpr std::string_view kActiveControl = "ActiveControl";    // active control or Nothing
inline constexpr std::string_view kReadFieldValue = "ReadFieldValue";  // (key, row, 1)
inline constexpr std::string_view kWriteFieldValue = "WriteFieldValue";  // (key, value, row)
inline constexpr std::string_view kGetLookupRecord = "GetLookupRecord";  // (key, row) -> Dictionary

// List object ("ListEvents").
inline constexpr std::string_view kListSwitch = "RaiseListFillRow";  // Boolean, set True by Show
inline constexpr std::string_view kListDisplay = "ListDisplay";      // display object with ShowMode
inline constexpr std::string_view kListTemplate = "ListTemplate";    // template object with TableInfo
inline constexpr std::string_view kListMultiCheck = "MultiCheck";    // multi-level check object or Nothing

}  // namespace mto::host::member
