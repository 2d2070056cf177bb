// End-to-end tests of `tessary host` in a real browser: node tests/browser/host.test.mjs TESSARY
import { after, before, describe, test } from "node:test";
import assert from "node:assert/strict";
import { spawn, spawnSync } from "node:child_process";
import { mkdirSync, readdirSync, readFileSync, writeFileSync, existsSync } from "node:fs";
import path from "node:path";
import * as support from "./support.mjs";
import { png } from "./pictures.mjs";

const tessary = process.argv[2] || process.env.TESSARY_COMMAND;
const missing = support.missingPrerequisite(tessary);
if (missing) {
    console.log("SKIPPED: browser tests cannot run: " + missing);
    process.exit(77);
}
const { chromium } = await import("playwright-core");

const MaxMessageBytes = 1024 * 1024;
let scratch, xserver, host, browser, allowed, foreign, runtime;
let hostAddress = "";

before(async () => {
    scratch = support.scratchFolder();
    runtime = path.join(scratch, "runtime");
    mkdirSync(runtime, { mode: 0o700 });
    xserver = await support.startXServer();
    allowed = await support.startOriginServer(() => hostAddress);
    foreign = await support.startOriginServer(() => hostAddress);
    const env = { ...process.env, DISPLAY: xserver.display, XDG_RUNTIME_DIR: runtime };
    delete env.QT_QPA_PLATFORM;
    // libxkbcommon-x11, which Qt's xcb platform loads, hands strndup a name that is bounded
    // by its length but not terminated; strict string checks call that an overflow.
    if (env.ASAN_OPTIONS)
        env.ASAN_OPTIONS = env.ASAN_OPTIONS.replace("strict_string_checks=1", "strict_string_checks=0");
    delete env.WAYLAND_DISPLAY;
    host = await support.startHost(tessary, env, ["--folder", path.join(scratch, "uploads"),
                                                  "--origin", allowed.origin,
                                                  "--max-message-bytes", String(MaxMessageBytes),
                                                  "--config", path.join(support.here, "host-test.conf")]);
    hostAddress = host.address;
    browser = await chromium.launch({
        executablePath: support.chromiumPath,
        headless: false,
        env: { ...process.env, DISPLAY: xserver.display },
        args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
               "--disable-background-networking", "--disable-component-update", "--disable-sync"],
    });
});

after(async () => {
    await browser?.close();
    const status = await host?.stop();
    allowed?.close();
    foreign?.close();
    xserver?.stop();
    if (scratch)
        support.removeFolder(scratch);
    assert.equal(status, 0, "the host ends cleanly on SIGTERM:\n" + host?.log());
});

async function openDemo(context) {
    const page = await (context || browser).newPage();
    await page.goto(hostAddress + "/");
    await page.waitForSelector("body[data-ready=true]", { timeout: 20000 });
    return page;
}

function writePictures(names) {
    const folder = path.join(scratch, "pictures-" + Math.random().toString(36).slice(2));
    mkdirSync(folder);
    return names.map((name, i) => {
        const file = path.join(folder, name);
        writeFileSync(file, png(8 + i, 5, [40 * i, 200, 90]));
        return file;
    });
}

async function receiverHolds(address, file) {
    const response = await fetch(address);
    assert.equal(response.status, 200, address);
    assert.deepEqual(Buffer.from(await response.arrayBuffer()), readFileSync(file), address);
}

describe("the demo editor", () => {
    test("uploads the local pictures of its HTML and shows them from the receiver", async () => {
        const page = await openDemo();
        const files = writePictures(["one.png", "two with space.png"]);
        await page.evaluate((files) => {
            document.getElementById("editor").innerHTML =
                files.map((f) => '<p><img src="file://' + f + '"></p>').join("");
        }, files);
        await page.click("#btn-LocalUpload");
        await page.waitForFunction(() => document.getElementById("status").value === "ok");
        assert.equal(await page.$eval("#error", (e) => e.value), "");
        const sources = await page.$$eval("#editor img", (imgs) => imgs.map((i) => i.getAttribute("src")));
        const info = await page.evaluate(() => Tessary.info());
        assert.equal(sources.length, 2);
        for (const [i, source] of sources.entries()) {
            assert.ok(source.startsWith(info.filesUrl), source);
            await receiverHolds(source, files[i]);
        }
        await page.waitForFunction(() => [...document.querySelectorAll("#editor img")]
            .every((img) => img.complete && img.naturalWidth > 0));
        await page.close();
    });

    test("pastes from Word with every picture on the receiver", async (t) => {
        const page = await openDemo();
        if (!(await page.evaluate(() => !document.getElementById("btn-PasteWord").disabled))) {
            await page.close();
            t.skip("this Tessarex has no PasteWord yet");
            return;
        }
        const files = writePictures(["image001.png", "image002.png"]);
        const html = "<html xmlns:o=\"urn:schemas-microsoft-com:office:office\"><head>" +
            "<meta name=Generator content=\"Microsoft Word 15\"><style>p.MsoNormal{margin:0cm;" +
            "mso-pagination:widow-orphan}</style></head><body lang=EN-US><!--StartFragment-->" +
            "<p class=MsoNormal>Report<o:p></o:p></p>" +
            files.map((f) => "<p class=MsoNormal><img width=8 height=5 src=\"file://" + f + "\"></p>").join("") +
            "<!--EndFragment--></body></html>";
        const owner = spawn("xclip", ["-selection", "clipboard", "-t", "text/html", "-i", "-quiet"],
                            { env: { ...process.env, DISPLAY: xserver.display }, stdio: ["pipe", "ignore", "ignore"] });
        owner.stdin.end(html);
        try {
            await new Promise((resolve) => setTimeout(resolve, 300));
            // The reduced clean-up keeps paragraphs, and pictures when asked to.
            await page.fill("#options", "mode:html;opt2image:1");
            await page.click("#btn-PasteWord");
            await page.waitForFunction(() => document.getElementById("status").value === "ok", null,
                                       { timeout: 60000 });
            assert.equal(await page.$eval("#error", (e) => e.value), "");
            const body = await page.$eval("#editor", (e) => e.innerHTML);
            assert.ok(body.includes("Report"), body);
            assert.ok(!body.includes("mso-") && !body.includes("o:p"), body);
            const sources = await page.$$eval("#editor img", (imgs) => imgs.map((i) => i.getAttribute("src")));
            const info = await page.evaluate(() => Tessary.info());
            assert.equal(sources.length, 2, body);
            for (const [i, source] of sources.entries()) {
                assert.ok(source.startsWith(info.filesUrl), source);
                await receiverHolds(source, files[i]);
            }
        } finally {
            owner.kill();
            await page.close();
        }
    });
});

describe("the page library", () => {
    test("reads properties and calls methods with automation's letter-case rules", async () => {
        const page = await openDemo();
        const seen = await page.evaluate(async () => {
            const o = await Tessary.create("orvanta.tessarex");
            o.lang = "ZH-TW";
            o.LOCALSIZE = "10.5";
            return { version: o.Version, lower: o.version, status: o.Status, error: o.Error,
                     test: await o.test(), hasBody: "Body" in o, hasNothing: "Nothing" in o,
                     absent: o.NoSuchMember, awaitable: (await Promise.resolve(o)) === o };
        });
        assert.deepEqual(seen, { version: "3.3.0.0", lower: "3.3.0.0", status: "", error: "",
                                 test: "Tessary", hasBody: true, hasNothing: false, absent: undefined,
                                 awaitable: true });
        await page.close();
    });

    test("hands errors over as rejected promises with number, source and description", async () => {
        const page = await openDemo();
        const errors = await page.evaluate(async () => {
            const o = await Tessary.create("Orvanta.Tessarex");
            const caught = async (action) => {
                try { await action(); return null; }
                catch (e) { return { number: e.number, source: e.source, description: e.description }; }
            };
            return {
                overflow: await caught(() => o.set("LocalSize", "99999999999")),
                arguments: await caught(() => o.Test(1)),
                create: await caught(() => Tessary.create("No.Such")),
                writeReadOnly: await caught(() => { o.Version = "1"; }),
                // An assignment that fails is raised by the next call of the object.
                deferred: await caught(() => { o.LocalSize = "1e12"; return o.Test(); }),
                after: await caught(() => o.Test()),
            };
        });
        assert.equal(errors.overflow.number, 6);
        assert.equal(errors.overflow.source, "Tessarex");
        assert.match(errors.overflow.description, /Overflow/);
        assert.equal(errors.arguments.number, 450);
        assert.equal(errors.create.number, 429);
        assert.equal(errors.writeReadOnly.number, 438);
        assert.equal(errors.deferred.number, 6);
        assert.equal(errors.after, null);
        await page.close();
    });

    test("properties read right after a call are the host's current ones", async () => {
        const page = await openDemo();
        const files = writePictures(["fresh.png"]);
        const seen = await page.evaluate(async ({ file }) => {
            const info = await Tessary.info();
            const o = await Tessary.create("Orvanta.Tessarex");
            o.SendUrl = info.sendUrl;
            o.LocalExt = "png";
            o.LocalSize = "100";
            const html = '<img src="file://' + file + '">';
            await o.LocalUpload(html);
            const right = { body: o.Body };
            await o.waitForStatus(20000);
            const done = { status: o.Status, body: o.Body, original: o.OriginalFiles, saved: o.SavedFiles };
            // An object made afterwards resets the page's results, and every object of the
            // page sees that at once.
            const other = await Tessary.create("Orvanta.Tessarex");
            return { right, done, reset: { first: o.Body, second: other.Body } };
        }, { file: files[0] });
        assert.ok(seen.right.body.includes("file://"), JSON.stringify(seen.right));
        assert.equal(seen.done.status, "ok");
        assert.equal(seen.done.original, "fresh.png");
        assert.ok(seen.done.body.includes(seen.done.saved), JSON.stringify(seen.done));
        await receiverHolds(seen.done.saved, files[0]);
        assert.deepEqual(seen.reset, { first: "", second: "" });
        await page.close();
    });
});

describe("pages", () => {
    test("two tabs have separate call states and temporary folders", async () => {
        const first = await openDemo();
        const pageFolders = () => readdirSync(path.join(runtime, "Tessary")).filter((n) => n.startsWith("page-"));
        await first.evaluate(() => window.firstPage = Tessary.create("Orvanta.Tessarex")
            .then((o) => o.LocalUpload("<p>first</p>").then(() => o)));
        const before = pageFolders();
        assert.ok(before.length >= 1);
        // A picture the first tab's run could still be uploading.
        const kept = before.map((n) => path.join(runtime, "Tessary", n, "kept.png"));
        kept.forEach((file) => writeFileSync(file, "x"));
        const second = await openDemo();
        const seen = await second.evaluate(async () => {
            const o = await Tessary.create("Orvanta.Tessarex");
            return { body: o.Body, status: o.Status };
        });
        assert.deepEqual(seen, { body: "", status: "" });
        assert.equal(await first.evaluate(async () => (await window.firstPage).Body), "<p>first</p>");
        kept.forEach((file) => assert.ok(existsSync(file), file));
        await first.close();
        await second.close();
        assert.ok(await support.waitUntil(() => pageFolders().every((n) => !before.includes(n))),
                  "a closed tab's folder goes with it: " + pageFolders().join(" ") + " of " + before.join(" "));
    });

    test("closing a tab mid-upload ends its run and leaves the other tab alone", async () => {
        const silent = await support.startSilentServer();
        try {
            const files = writePictures(["slow.png", "quick.png"]);
            const stuck = await openDemo();
            await stuck.evaluate(async ({ url, file }) => {
                const o = await Tessary.create("Orvanta.Tessarex");
                o.SendUrl = url;
                o.LocalExt = "png";
                o.LocalSize = "100";
                await o.LocalUpload('<img src="file://' + file + '">');
            }, { url: silent.url, file: files[0] });
            assert.ok(await support.waitUntil(() => silent.events.received === 1), "the upload started");
            const other = await openDemo();
            const running = other.evaluate(async ({ file }) => {
                const info = await Tessary.info();
                const o = await Tessary.create("Orvanta.Tessarex");
                o.SendUrl = info.sendUrl;
                o.LocalExt = "png";
                o.LocalSize = "100";
                await o.LocalUpload('<img src="file://' + file + '">');
                await o.waitForStatus(20000);
                return { status: o.Status, error: o.Error, saved: o.SavedFiles };
            }, { file: files[1] });
            await stuck.close();
            assert.ok(await support.waitUntil(() => silent.events.abandoned === 1),
                      "the closed tab's request is abandoned");
            const outcome = await running;
            assert.equal(outcome.status, "ok");
            assert.equal(outcome.error, "");
            await receiverHolds(outcome.saved, files[1]);
            await other.close();
        } finally {
            silent.close();
        }
    });
});

describe("the upload control", () => {
    const xdotool = (...args) => {
        const run = spawnSync("xdotool", args, { env: { ...process.env, DISPLAY: xserver.display },
                                                 encoding: "utf8", timeout: 20000 });
        return (run.stdout || "").trim();
    };
    const uploadWindows = () => xdotool("search", "--onlyvisible", "--name", "^Tessaload - ")
        .split("\n").filter(Boolean);

    test("the page's window queues files from its dialog and the page hears the run", async () => {
        const before = uploadWindows();
        const page = await openDemo();
        await page.waitForSelector("#uploader:not([hidden])", { timeout: 20000 });
        let window = "";
        assert.ok(await support.waitUntil(() => {
            window = uploadWindows().find((id) => !before.includes(id)) || "";
            return window !== "";
        }), "the page's upload window shows on the desktop");
        // Titled after the page it belongs to.
        assert.equal(xdotool("getwindowname", window), "Tessaload - " + hostAddress + "/");
        await page.$eval("#upl-Lang", (input) => {
            input.value = "en";
            input.dispatchEvent(new Event("change"));
        });
        const files = writePictures(["first.png", "second.png"]);
        const folder = path.dirname(files[0]);

        // Browse is the top left button, Upload the second from the right at the bottom of
        // the window's 520 x 300 design size; the dialog takes the folder, then the names.
        xdotool("mousemove", "--window", window, "30", "12", "click", "1");
        assert.ok(xdotool("search", "--sync", "--onlyvisible", "--name", "^Open$") !== "", "the dialog opens");
        xdotool("type", "--delay", "5", folder + "/");
        xdotool("key", "Return");
        xdotool("type", "--delay", "5", files.map((f) => '"' + path.basename(f) + '"').join(" "));
        xdotool("key", "Return");
        xdotool("sleep", "0.5", "mousemove", "--window", window, "414", "287", "click", "1");

        const events = () => page.$eval("#uploaderEvents", (e) => e.textContent);
        assert.ok(await support.waitUntil(async () => (await events()).includes('OnUpload("endall"')),
                  "the run ends: " + await events());
        const lines = (await events()).split("\n").filter((l) => l.startsWith("OnUpload("));
        assert.equal(lines[0], 'OnUpload("begin", "")');
        const result = JSON.parse("[" + lines.at(-1).slice("OnUpload(".length, -1) + "]")[1];
        const pairs = result.split("|").map((pair) => pair.split("::"));
        assert.deepEqual(pairs.map(([local]) => local), files);
        for (const [i, [, saved]] of pairs.entries())
            await receiverHolds(new URL(saved, hostAddress + "/").href, files[i]);
        await page.close();
        assert.ok(await support.waitUntil(() => !uploadWindows().includes(window)),
                  "the window goes with its page");
    });
});

describe("who may connect", () => {
    async function createFrom(origin) {
        const page = await browser.newPage();
        await page.goto(origin + "/");
        const outcome = await page.evaluate(() => Tessary.create("Orvanta.Tessarex")
            .then((o) => o.Test(), (e) => "refused " + e.number));
        await page.close();
        return outcome;
    }

    test("an allowed origin works and any other origin is refused", async () => {
        assert.equal(await createFrom(allowed.origin), "Tessary");
        assert.equal(await createFrom(foreign.origin), "refused 429");
        assert.match(host.log(), new RegExp("refused channel handshake from origin \"" + foreign.origin + "\""));
    });

    test("a missing, \"null\" or foreign origin and a rebinding Host are refused", async () => {
        const own = "Host: 127.0.0.1:" + host.port + "\r\n";
        assert.match(await support.rawRequest(host.port, support.handshake(host.port, own)), / 403 /);
        assert.match(await support.rawRequest(host.port, support.handshake(host.port, own + "Origin: null\r\n")), / 403 /);
        assert.match(await support.rawRequest(host.port,
            support.handshake(host.port, own + "Origin: " + hostAddress.replace("127.0.0.1", "127.0.0.2") + "\r\n")), / 403 /);
        assert.match(await support.rawRequest(host.port, support.handshake(host.port,
            "Host: rebind.example:" + host.port + "\r\nOrigin: http://rebind.example:" + host.port + "\r\n")), / 421 /);
        assert.match(await support.rawRequest(host.port, "GET / HTTP/1.1\r\nHost: rebind.example:" + host.port + "\r\n\r\n"), / 421 /);
        assert.match(await support.rawRequest(host.port, "GET / HTTP/1.1\r\n\r\n"), / 421 /);
        assert.match(await support.rawRequest(host.port, "POST / HTTP/1.1\r\n" + own + "Content-Length: 0\r\n\r\n"), / 405 /);
        assert.match(await support.rawRequest(host.port, "GET / HTTP/1.1\r\n" + own + "\r\n"), / 200 /);
    });

    test("an oversize message ends the connection", async () => {
        const page = await openDemo();
        const outcome = await page.evaluate(async (size) => {
            const o = await Tessary.create("Orvanta.Tessarex");
            try { await o.LocalUpload("x".repeat(size)); return "accepted"; }
            catch (e) { return "refused " + e.number; }
        }, MaxMessageBytes + 10);
        assert.equal(outcome, "refused 5");
        assert.ok(await support.waitUntil(() => /refused message over \d+ bytes/.test(host.log())));
        await page.close();
    });
});
