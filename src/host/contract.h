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
