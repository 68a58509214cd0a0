// Assertions for the JScript tests run by cscript: each check prints "ok <name>" or "not ok <name>:
// <why>"; the harness also requires the final "done", since cscript prints nothing for an
// unhandled error and a script that stops early must fail.
function check(name, good, why) { WScript.Echo(good ? "ok " + name : "not ok " + name + ": " + why); }
function eq(name, want, got) { check(name, want === got, "want <" + want + "> got <" + got + ">"); }
function test(name, body) {
    try { body(); } catch (e) { check(name, false, "error " + e.number + " " + e.description); }
}
// body must raise the run-time error `number`, which JScript sees as 0x800A0000 + number.
function raises(name, number, body) {
    try { body(); check(name, false, "no error raised"); } catch (e) { eq(name, number - 2146828288, e.number); }
}
