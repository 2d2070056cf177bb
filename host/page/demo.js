// The demo editor: a contenteditable surface with a toolbar for every member the host's
// Tessarex has, so that it shows exactly what the components can do today.
"use strict";

const $ = (id) => document.getElementById(id);
let editor = null;   // the Tessarex object
let busy = false;
let savedRange = null;

// Methods whose outcome (Style and Body, after the upload run) goes into the editor.
const inserting = new Set(["PasteWord", "PasteExcel", "PasteImage", "PasteFileList", "Capture",
                           "ImportWord", "ImportExcelSheet", "QuickFormat"]);
// How each method takes its arguments from the settings fields.
const argumentsOf = {
    GetExcelWorkSheetName: () => [$("localFile").value],
    ImportExcelSheet: () => [$("localFile").value, $("sheetIndex").value, $("options").value],
    ImportWord: () => [$("localFile").value, $("options").value],
    GetFlashHeader: () => [$("localFile").value],
    LocalUpload: () => [$("editor").innerHTML],
    GetClipboardFlag: () => [],
    QuickFormat: () => [],
    Test: () => [],
};

function show(o) {
    $("status").value = o.Status;
    $("error").value = o.Error;
}

function rememberCaret() {
    const selection = window.getSelection();
    if (selection.rangeCount && $("editor").contains(selection.anchorNode))
        savedRange = selection.getRangeAt(0).cloneRange();
}

function insertHtml(html) {
    const area = $("editor");
    const range = savedRange && area.contains(savedRange.startContainer) ? savedRange : null;
    if (!range) {
        area.insertAdjacentHTML("beforeend", html);
        return;
    }
    range.deleteContents();
    range.insertNode(range.createContextualFragment(html));
    savedRange = null;
}

function listUploaded(o) {
    const list = $("uploaded");
    list.textContent = "";
    for (const address of String(o.SavedFiles || "").split("|").filter(Boolean)) {
        const img = document.createElement("img");
        img.src = address;
        img.title = address;
        list.appendChild(img);
    }
}

async function applySettings(o) {
    if (o.has("SendUrl"))
        o.SendUrl = $("sendUrl").value;
    if (o.has("LocalExt"))
        o.LocalExt = $("localExt").value;
    if (o.has("LocalSize"))
        o.LocalSize = $("localSize").value;
    if (o.has("Lang"))
        o.Lang = $("lang").value;
}

async function run(method) {
    if (busy)
        return;
    busy = true;
    $("result").value = "";
    document.body.classList.add("busy");
    try {
        await applySettings(editor);
        const args = (argumentsOf[method] || (() => [$("options").value]))();
        const value = await editor[method](...args);
        if (value !== undefined)
            $("result").value = value;
        if (inserting.has(method) || method === "LocalUpload") {
            $("progress").hidden = false;
            const finished = await editor.waitForStatus(method === "QuickFormat" ? 5000 : 300000);
            $("progress").hidden = true;
            show(editor);
            if (finished && !editor.Error) {
                if (method === "LocalUpload")
                    $("editor").innerHTML = editor.Body;
                else
                    insertHtml(editor.Style + editor.Body);
                listUploaded(editor);
            }
        }
        if (method === "GetClipboardFlag")
            $("flags").value = value;
    } catch (error) {
        $("error").value = "error " + error.number + " (" + error.source + "): " + error.description;
    } finally {
        $("progress").hidden = true;
        document.body.classList.remove("busy");
        busy = false;
        if (editor)
            $("status").value = editor.Status;
    }
}

// Members that appear later than this page (a newer host) still get a plain button.
function addOtherMethods(o) {
    const known = new Set([...document.querySelectorAll("#toolbar button")].map((b) => b.dataset.method));
    for (const member of o.members()) {
        if (member.kind !== "method" || known.has(member.name))
            continue;
        const button = document.createElement("button");
        button.id = "btn-" + member.name;
        button.textContent = member.name;
        button.addEventListener("click", () => run(member.name));
        $("more").appendChild(button);
    }
}

async function watchClipboard() {
    if (!editor || !editor.has("GetClipboardFlag"))
        return;
    if (!busy) {
        try {
            $("flags").value = await editor.GetClipboardFlag();
        } catch (error) {
            $("flags").value = "error " + error.number + ": " + error.description;
        }
    }
    setTimeout(watchClipboard, 1500);
}

async function setUpUploader() {
    let control;
    try {
        control = await Tessary.create("Orvanta.Tessaload");
    } catch (error) {
        return; // not in this host yet
    }
    $("uploader").hidden = false;
    const area = $("uploaderMembers");
    const log = (line) => { $("uploaderEvents").textContent += line + "\n"; };
    for (const member of control.members()) {
        const row = document.createElement("div");
        if (member.kind === "method") {
            const button = document.createElement("button");
            button.textContent = member.name;
            button.id = "upl-" + member.name;
            button.addEventListener("click", async () => {
                try { log(member.name + " → " + await control[member.name]()); }
                catch (e) { log(member.name + ": error " + e.number + " " + e.description); }
            });
            row.appendChild(button);
        } else if (member.put) {
            const input = document.createElement("input");
            input.id = "upl-" + member.name;
            const label = document.createElement("label");
            label.textContent = member.name + " ";
            label.appendChild(input);
            input.addEventListener("change", () => { control[member.name] = input.value; });
            row.appendChild(label);
        } else {
            row.textContent = member.name + ": " + control[member.name];
        }
        area.appendChild(row);
    }
    const sendUrl = $("sendUrl").value;
    if (control.has("SendUrl") && sendUrl)
        control.SendUrl = sendUrl;
    for (const name of ["OnUpload", "OnCancel"]) {
        try { control.on(name, (...args) => log(name + "(" + args.map((a) => JSON.stringify(a)).join(", ") + ")")); }
        catch (e) { /* the control has no such event */ }
    }
}

async function start() {
    const badge = $("connection");
    try {
        const info = await Tessary.info();
        if (info.sendUrl)
            $("sendUrl").value = info.sendUrl;
        editor = await Tessary.create("Orvanta.Tessarex");
        badge.textContent = "connected";
        badge.className = "badge ok";
    } catch (error) {
        badge.textContent = "not connected: " + error.description;
        badge.className = "badge down";
        return;
    }
    Tessary.onClose(() => {
        badge.textContent = "connection lost";
        badge.className = "badge down";
        document.querySelectorAll("#toolbar button").forEach((b) => { b.disabled = true; });
    });
    for (const button of document.querySelectorAll("#toolbar button")) {
        button.disabled = !editor.has(button.dataset.method);
        button.addEventListener("mousedown", (event) => { rememberCaret(); event.preventDefault(); });
        button.addEventListener("click", () => run(button.dataset.method));
    }
    addOtherMethods(editor);
    show(editor);
    document.body.dataset.ready = "true";
    watchClipboard();
    setUpUploader();
}

start();
