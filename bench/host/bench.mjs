// Round trips from a real browser page through tessary host, against the same steps in
// the headless runner: node bench/host/bench.mjs BUILD_DIR
import { spawn, spawnSync } from "node:child_process";
import { mkdtempSync, rmSync, writeFileSync } from "node:fs";
import os from "node:os";
import path from "node:path";
import { fileURLToPath } from "node:url";

const here = path.dirname(fileURLToPath(import.meta.url));
const build = path.resolve(process.argv[2] || "build");
const tessary = path.join(build, "host", "tessary");
const { chromium } = await import(path.join(here, "../../tests/browser/node_modules/playwright-core/index.mjs"));
const Calls = 1000;
const BodyBytes = 20 * 1024 * 1024;

const scratch = mkdtempSync(path.join(os.tmpdir(), "tessary-bench-host-"));
const env = { ...process.env, XDG_RUNTIME_DIR: scratch };
delete env.DISPLAY;

const host = spawn(tessary, ["host", "--port", "0", "--no-receiver"], { env, stdio: ["ignore", "pipe", "inherit"] });
const address = await new Promise((resolve) => {
    let out = "";
    host.stdout.on("data", (c) => { out += c; const m = /listening on (\S+)/.exec(out); if (m) resolve(m[1]); });
});
const browser = await chromium.launch({ executablePath: "/usr/bin/chromium",
    args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run", "--disable-background-networking",
           "--disable-component-update", "--disable-sync"] });
const page = await browser.newPage();
await page.goto(address);
await page.waitForSelector("body[data-ready=true]");
const browserFigures = await page.evaluate(async ({ calls, bodyBytes }) => {
    const o = await Tessary.create("Orvanta.Tessarex");
    const median = (list) => { list.sort((a, b) => a - b); return list[list.length >> 1]; };
    async function time(step) {
        const list = [];
        for (let i = 0; i < calls; i++) {
            const start = performance.now();
            await step();
            list.push(performance.now() - start);
        }
        return median(list);
    }
    const read = await time(() => o.get("Status"));
    const call = await time(() => o.Test());
    const big = "<p>" + "x".repeat(bodyBytes - 7) + "</p>";
    const results = { read, call, bodyUp: [], bodyRound: [] };
    for (let i = 0; i < 3; i++) {
        let start = performance.now();
        await o.set("LocalExt", big);          // page -> host only
        results.bodyUp.push(performance.now() - start);
        start = performance.now();
        await o.LocalUpload(big);              // page -> host, and Body back in the answer
        if (o.Body.length !== big.length)
            throw new Error("Body did not arrive whole");
        results.bodyRound.push(performance.now() - start);
        await o.LocalUpload("");               // so the next round sends Body anew
    }
    results.bodyUp = median(results.bodyUp);
    results.bodyRound = median(results.bodyRound);
    return results;
}, { calls: Calls, bodyBytes: BodyBytes });
await browser.close();
host.kill("SIGTERM");

const script = path.join(scratch, "bench.js");
writeFileSync(script, `
var o = new ActiveXObject("Orvanta.Tessarex");
function time(step) { var start = Date.now(); for (var i = 0; i < ${Calls}; i++) step(); return (Date.now() - start) / ${Calls}; }
var read = time(function () { return o.Status; });
var call = time(function () { return o.Test(); });
var big = "<p>" + new Array(${BodyBytes - 7} + 1).join("x") + "</p>";
var start = Date.now(); o.LocalUpload(big); var body = o.Body; var round = Date.now() - start;
if (body.length !== big.length) throw new Error("Body did not arrive whole");
print(JSON.stringify({ read: read, call: call, bodyRound: round }));
`);
const headless = spawnSync(tessary, ["script", script], { env, encoding: "utf8" });
rmSync(scratch, { recursive: true, force: true });
if (headless.status !== 0)
    throw new Error("headless run failed: " + headless.stderr);
const runner = JSON.parse(headless.stdout.trim());
const ms = (v) => v.toFixed(3);
console.log("| step | browser host | headless runner |");
console.log("|---|---|---|");
console.log(`| property read round trip (median of ${Calls}) | ${ms(browserFigures.read)} ms | ${ms(runner.read)} ms (mean) |`);
console.log(`| method call round trip (median of ${Calls}) | ${ms(browserFigures.call)} ms | ${ms(runner.call)} ms (mean) |`);
console.log(`| 20 MB text page → host (put) | ${ms(browserFigures.bodyUp)} ms | — |`);
console.log(`| LocalUpload of 20 MB, Body back on the page | ${ms(browserFigures.bodyRound)} ms | ${ms(runner.bodyRound)} ms |`);
console.log(`| so: 20 MB Body host → page | ${ms(browserFigures.bodyRound - browserFigures.bodyUp)} ms | — |`);
