' The plug-in as a VBScript client meets it: created by ProgID, every member called late-bound
' under names in other letter cases, wrong arguments answered with automation errors, and 2,000
' create/release cycles. Run by com/run-wine-tests under Wine's cscript after regsvr32; prints one
' "N passed, M failed" line, which the runner greps.
Option Explicit

Const kProgId = "T8MTOChange.clsMTOChange"
Dim passed, failed
passed = 0
failed = 0

Sub Check(ok, what)
  If ok Then
    passed = passed + 1
  Else
    failed = failed + 1
    WScript.Echo "FAILED: " & what
  End If
End Sub

' Checks that the last call raised automation error `number` (the low word of the HRESULT, as
' VBScript reports a plug-in's error), with a source and a description, then clears it.
Sub CheckError(number, what)
  Dim got
  got = Err.Number
  If got < 0 Then got = got And &HFFFF&
  Check got = number, what & ": Err.Number " & Err.Number & " (" & Err.Description & "), expected " & number
  Check Len(Err.Source) > 0, what & ": Err.Source is empty"
  Check Len(Err.Description) > 0, what & ": Err.Description is empty"
  Err.Clear
End Sub

Sub CheckNoError(what)
  Check Err.Number = 0, what & ": Err.Number " & Err.Number & " " & Err.Source & ": " & Err.Description
  Err.Clear
End Sub

Dim plugin, i, failures
On Error Resume Next

' Creation and identity
Set plugin = CreateObject(kProgId)
CheckNoError "CreateObject"
Check IsObject(plugin), "CreateObject gives an object"
' The class name. Wine's VBScript answers the name of the object's dispinterface as it stands
' ("_clsMTOChange"), where a leading underscore is dropped otherwise; that known Wine difference
' passes, any other name fails.
Dim typeText
typeText = TypeName(plugin)
If typeText = "_clsMTOChange" Then WScript.Echo "known Wine difference: TypeName gives _clsMTOChange"
Check typeText = "clsMTOChange" Or typeText = "_clsMTOChange", "TypeName is " & typeText

' Every member under names in other letter cases; Nothing where a bill or a tool bar is expected
plugin.Show Nothing
CheckNoError "Show Nothing"
plugin.SHOW Nothing
CheckNoError "SHOW Nothing"
plugin.show 42
CheckNoError "show 42 binds nothing"
plugin.sHoW "a bill"
CheckNoError "sHoW with a text binds nothing"
plugin.insertseptool Nothing, Nothing
CheckNoError "insertseptool Nothing, Nothing leaves the bar as it is"
plugin.REMOVESEPTOOL Nothing, Nothing
CheckNoError "REMOVESEPTOOL Nothing, Nothing leaves the bar as it is"

' Numbers and texts where objects are expected: error 424, Object required
plugin.InsertSepTool 1, 2
CheckError 424, "InsertSepTool 1, 2"
plugin.insertSepTool "bar", "tool"
CheckError 424, "insertSepTool with texts"
plugin.removeseptool 3.5, Nothing
CheckError 424, "removeseptool 3.5, Nothing"

' GetFiledValue without a bill object
Dim value
value = plugin.getfiledvalue(Nothing, 1, "FNote")
CheckError 91, "getfiledvalue with Nothing"
value = plugin.GETFILEDVALUE(7, 1, "FNote")
CheckError 424, "GETFILEDVALUE with a number"

' Missing arguments, unknown members, assignments
plugin.Show
CheckError 450, "Show without its argument (wrong number of arguments)"
plugin.InsertSepTool Nothing
CheckError 449, "InsertSepTool without its tool"
value = plugin.GetFieldValue(Nothing, 1, "FNote")
CheckError 438, "GetFieldValue (the correct spelling) is no member"

' Still usable after all those errors
plugin.Show Nothing
CheckNoError "Show Nothing after the errors"
Set plugin = Nothing
CheckNoError "release"

' 2,000 create/show/release cycles
failures = 0
For i = 1 To 2000
  Set plugin = CreateObject(kProgId)
  plugin.Show Nothing
  Set plugin = Nothing
  If Err.Number <> 0 Then
    failures = failures + 1
    Err.Clear
  End If
Next
Check failures = 0, failures & " of 2000 create/release cycles failed"

WScript.Echo passed & " passed, " & failed & " failed"
