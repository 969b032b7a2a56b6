// The plug-in as a JScript client meets it: created by ProgID, every member called late-bound
// under names in other letter cases, wrong arguments answered with exceptions, and 2,000
// create/release cycles. Run by com/run-wine-tests under Wine's cscript after regsvr32; prints one
// "N passed, M failed" line, which the runner greps.
var kProgId = "T8MTOChange.clsMTOChange";
var passed = 0, failed = 0;

function check(ok, what) {
  if (ok) {
    passed++;
  } else {
    failed++;
    WScript.Echo("FAILED: " + what);
  }
}

// Runs `call`, which must throw the automation error `code` (the low word of e.number) with a
// description.
function checkThrows(code, what, call) {
  try {
    call();
    check(false, what + ": no exception");
  } catch (e) {
    check((e.number & 0xFFFF) === code, what + ": number " + (e.number & 0xFFFF) + " (" + e.description +
          "), expected " + code);
    check(typeof e.description === "string" && e.description.length > 0, what + ": no description");
  }
}

function checkNoThrow(what, call) {
  try {
    call();
    check(true, what);
  } catch (e) {
    check(false, what + ": " + (e.number & 0xFFFF) + " " + e.description);
  }
}

var plugin = null;
checkNoThrow("new ActiveXObject", function () { plugin = new ActiveXObject(kProgId); });
check(plugin !== null && typeof plugin === "object", "ActiveXObject gives an object");

if (plugin !== null) {
  // Every member under names in other letter cases; null (VT_NULL) and Nothing-like values bind nothing.
  checkNoThrow("Show(null)", function () { plugin.Show(null); });
  checkNoThrow("show(42)", function () { plugin.show(42); });
  checkNoThrow("SHOW(\"a bill\")", function () { plugin.SHOW("a bill"); });

  // Numbers and texts where objects are expected: error 424, Object required
  checkThrows(424, "InsertSepTool(1, 2)", function () { plugin.InsertSepTool(1, 2); });
  checkThrows(424, "insertseptool with texts", function () { plugin.insertseptool("bar", "tool"); });
  checkThrows(424, "REMOVESEPTOOL(3.5, 4)", function () { plugin.REMOVESEPTOOL(3.5, 4); });
  checkThrows(424, "getFiledValue with a number", function () { plugin.getFiledValue(7, 1, "FNote"); });

  // Missing arguments, unknown members
  checkThrows(450, "Show() has the wrong number of arguments", function () { plugin.Show(); });
  checkThrows(449, "removeSepTool without its tool", function () { plugin.removeSepTool(plugin); });
  checkThrows(438, "GetFieldValue (the correct spelling) is no member",
              function () { plugin.GetFieldValue(null, 1, "FNote"); });

  // Still usable after all those errors
  checkNoThrow("Show(null) after the errors", function () { plugin.Show(null); });
  plugin = null;
}

// 2,000 create/show/release cycles
var failures = 0;
for (var i = 0; i < 2000; i++) {
  try {
    var object = new ActiveXObject(kProgId);
    object.Show(null);
    object = null;
  } catch (e) {
    failures++;
  }
}
check(failures === 0, failures + " of 2000 create/release cycles failed");

WScript.Echo(passed + " passed, " + failed + " failed");
