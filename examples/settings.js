// Creates the bridge object the way an editor page does, sets its properties and
// prints what it reads back.
var tessarex = new ActiveXObject("Orvanta.Tessarex");
print("Test():   " + tessarex.Test());
print("Version:  " + tessarex.Version);
print("Status:   \"" + tessarex.Status + "\"");
print("Error:    \"" + tessarex.Error + "\"");

tessarex.SendUrl = "http://127.0.0.1:8080/upload?f=1";
tessarex.Lang = "ZH-TW";
tessarex.LocalSize = "2048";
tessarex.LocalExt = "GIF|JPG|PNG";
print("Settings written: SendUrl, Lang, LocalSize, LocalExt");

try {
    var hidden = tessarex.LocalExt;
    print("LocalExt read back: " + hidden);
} catch (e) {
    print("LocalExt is write-only: error " + e.number + ": " + e.description);
}
try {
    tessarex.LocalSize = "99999999999";
} catch (e) {
    print("LocalSize 99999999999: error " + e.number + ": " + e.description);
}
print("Body:     \"" + tessarex.Body + "\"");
print("Style:    \"" + tessarex.Style + "\"");
