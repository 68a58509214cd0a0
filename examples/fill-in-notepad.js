// Starts notepad, fills in a small form letter from a list, and leaves it open for the user.
// JScript under Windows Script Host: cscript fill-in-notepad.js
var k = new ActiveXObject("Kelmo.CKelmo");
var names = ["Ada", "Grace", "Edsger"];

k.Exec("notepad"); // waits for notepad's window; a name with a dot would be a file in DefFld
// Pass pastes each line through the clipboard (the user's clipboard comes back afterwards) and
// presses Enter once; Send types keys, here a blank line between the letters.
for (var i = 0; i < names.length; ++i) {
    k.Pass("Dear " + names[i] + ",", 1);
    k.Pass("the meeting moves to Thursday, 10:00.", 1);
    k.Send("~");
}
// A Pause-key press during any of this opens the pause box: Retry goes on, Abort ends the run.
WScript.Echo("Wrote " + names.length + " letters into \"" + k.Title + "\".");
