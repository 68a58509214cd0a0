// Assertions for the JScript tests run by cscript: each check prints "ok <name>" or "not ok <name>:
// <why>"; the harness also requires the final "done", as cscript prints nothing for an unhandled
// error and a script that stops early must fail.
function eq(name, want, got) { WScript.Echo(want === got ? "ok " + name : "not ok " + name + ": want <" + want + "> got <" + got + ">"); }
// body must raise the run-time error `number`, which JScript sees as 0x800A0000 + number.
function raises(name, number, body) {
    try { body(); eq(name, number, "no error"); } catch (e) { eq(name, number - 2146828288, e.number); }
}
