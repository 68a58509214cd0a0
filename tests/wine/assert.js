// Assertions for JScript tests run by cscript. Every check prints "ok <name>" or
// "not ok <name>: <why>"; the harness also requires the final "done", so a script that stops
// early (cscript prints nothing for an unhandled error) fails.
function check(name, condition, detail) {
    WScript.Echo((condition ? "ok " : "not ok ") + name + (condition ? "" : ": " + detail));
}
function eq(name, want, got) {
    check(name, want === got, "want <" + want + "> got <" + got + ">");
}
function test(name, body) {
    try {
        body();
    } catch (e) {
        check(name, false, "error " + e.number + " " + e.description);
    }
}
// body must raise the automation error 0x800A0000 + number (or the platform HRESULT number).
function raises(name, number, body) {
    try {
        body();
        check(name, false, "no error raised");
    } catch (e) {
        var want = number > 0 && number < 65536 ? number - 2146828288 : number;
        check(name, e.number === want, "error " + e.number + " (" + e.description + "), want " + want);
    }
}
function newKelmo(fast) {
    var k = new ActiveXObject("Kelmo.CKelmo");
    if (fast !== false) { k.Atom = 1; k.Mol1 = 1; }
    return k;
}
function done() { WScript.Echo("done"); }
