// Launches two applications and switches between them by their entries in the application
// table, typing into each, then closes both without saving.
// Usage: cscript two-apps.js
var k = new ActiveXObject("Kelmo.CKelmo");

var notes = k.Exec("notepad");   // entry 1, current
var draft = k.Exec("write");     // WordPad (on Windows without it, use "notepad" again)
WScript.Echo("Launched notepad as " + notes + " and WordPad as " + draft + ".");

for (var round = 1; round <= 2; ++round) {
    k.AppCur = notes;            // brings notepad to the front; Send types there
    k.Send("Notes, round " + round + "~");
    k.AppCur = draft;
    k.Send("Draft, round " + round + "~");
}
k.AppCur = notes;
WScript.Echo("In front now: \"" + k.Title + "\"");

// Close each one; "n" answers its "save changes?" question with "do not save".
var entries = [notes, draft];
for (var i = 0; i < entries.length; ++i) {
    k.AppCur = entries[i];
    k.Send("%{F4}");
    k.Rest(2, true);
    k.Send("n");
}
WScript.Echo("Closed both without saving.");
