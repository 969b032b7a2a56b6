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

// The toolbar library's free-standing tool (a separator to insert, say).
inline constexpr std::string_view kToolbarTool = "ActiveBar3LibraryCtl.Tool";

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
inline constexpr std::string_view kMenuBar = "MenuBar";                // the editor's menu bar

// Menu bar ("MenuBar") and its commands ("WEXTool").
inline constexpr std::string_view kWexBands = "WEXBands";      // ([key]) bands, or the band of a key
inline constexpr std::string_view kWexTools = "WEXTools";      // ([key]) commands, or the command of a key
inline constexpr std::string_view kToolByName = "ToolByName";  // (name) on the bar's WEXTools: made when missing
inline constexpr std::string_view kInsertTool = "InsertTool";  // (tool, key) on a band's WEXTools
inline constexpr std::string_view kRefresh = "Refresh";
inline constexpr std::string_view kMenuToolFlag = "BeginGroup";    // a command's third Boolean state
inline constexpr std::string_view kMenuToolNumber = "ImageIndex";  // a command's numeric attribute

// Toolbar control: a tool's kind (5: a separator) and the removal from a band's tool list.
inline constexpr std::string_view kToolType = "ControlType";
inline constexpr std::string_view kRemoveTool = "Remove";  // (position) on a band's Tools

// List object ("ListEvents").
inline constexpr std::string_view kListSwitch = "RaiseListFillRow";  // Boolean, set True by Show
inline constexpr std::string_view kListDisplay = "ListDisplay";      // display object with ShowMode
inline constexpr std::string_view kListTemplate = "ListTemplate";    // template object with TableInfo
inline constexpr std::string_view kListMultiCheck = "MultiCheck";    // multi-level check object or Nothing

}  // namespace mto::host::member
