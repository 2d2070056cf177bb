// What the browser tests run against: a private Xvfb, `tessary host` with its receiver,
// Debian's chromium through playwright-core, and small local servers for other origins.
import { spawn, spawnSync } from "node:child_process";
import { existsSync, mkdtempSync, rmSync } from "node:fs";
import http from "node:http";
import net from "node:net";
import os from "node:os";
import path from "node:path";
import { fileURLToPath } from "node:url";

export const here = path.dirname(fileURLToPath(import.meta.url));
export const chromiumPath = "/usr/bin/chromium";

// Why the tests cannot run here, or "" when they can.
export function missingPrerequisite(tessary) {
    if (!existsSync(chromiumPath))
        return "chromium is not installed (" + chromiumPath + ")";
    if (!existsSync(path.join(here, "node_modules", "playwright-core")))
        return "tests/browser/node_modules is missing: run npm ci in tests/browser";
    if (!tessary || !existsSync(tessary))
        return "the tessary command was not given or does not exist";
    if (spawnSync("sh", ["-c", "command -v Xvfb && command -v xclip"]).status !== 0)
        return "Xvfb or xclip is missing";
    return "";
}

export function scratchFolder() {
    return mkdtempSync(path.join(os.tmpdir(), "tessary-browser-"));
}

// Xvfb picks a free display itself, so test runs side by side never meet.
export async function startXServer() {
    const child = spawn("Xvfb", ["-displayfd", "3", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                        { stdio: ["ignore", "ignore", "ignore", "pipe"] });
    const display = await new Promise((resolve, reject) => {
        let text = "";
        child.stdio[3].on("data", (chunk) => {
            text += chunk;
            if (text.includes("\n"))
                resolve(":" + text.trim());
        });
        child.on("exit", () => reject(new Error("Xvfb ended before it gave a display")));
    });
    return { display, stop: () => child.kill() };
}

// Starts `tessary host` and waits for its "listening on" line.
export async function startHost(tessary, env, args) {
    const child = spawn(tessary, ["host", "--port", "0", ...args], { env, stdio: ["ignore", "pipe", "pipe"] });
    let log = "";
    child.stderr.on("data", (chunk) => { log += chunk; if (process.env.TESSARY_HOST_LOG) process.stderr.write(chunk); });
    const address = await new Promise((resolve, reject) => {
        let out = "";
        child.stdout.on("data", (chunk) => {
            out += chunk;
            const found = /listening on (http:\/\/127\.0\.0\.1:\d+)\//.exec(out);
            if (found)
                resolve(found[1]);
        });
        child.on("exit", (code) => reject(new Error("tessary host ended (" + code + "): " + log)));
    });
    return {
        address,
        port: Number(new URL(address).port),
        log: () => log,
        stop: () => new Promise((resolve) => {
            if (child.exitCode !== null)
                return resolve(child.exitCode);
            child.on("exit", (code) => resolve(code));
            child.kill("SIGTERM");
        }),
    };
}

// A page on another origin that loads the library from the host (hostAddress() is asked
// at each request, so the server can start before the host).
export async function startOriginServer(hostAddress) {
    const server = http.createServer((request, response) => {
        response.writeHead(200, { "Content-Type": "text/html; charset=utf-8" });
        response.end('<!DOCTYPE html><title>editor</title><script src="' + hostAddress() + '/tessary.js"></script>');
    });
    await new Promise((resolve) => server.listen(0, "127.0.0.1", resolve));
    return { origin: "http://127.0.0.1:" + server.address().port, close: () => server.close() };
}

// An upload server that takes requests and never answers them, and tells when the
// client gave up on one.
export async function startSilentServer() {
    const events = { received: 0, abandoned: 0 };
    const server = http.createServer((request, response) => {
        events.received += 1;
        request.resume();
        request.socket.on("close", () => { events.abandoned += 1; });
    });
    await new Promise((resolve) => server.listen(0, "127.0.0.1", resolve));
    return {
        url: "http://127.0.0.1:" + server.address().port + "/upload?x=1",
        events,
        close: () => { server.closeAllConnections(); server.close(); },
    };
}

// One raw HTTP exchange; resolves with the status line.
export function rawRequest(port, text) {
    return new Promise((resolve, reject) => {
        const socket = net.connect(port, "127.0.0.1", () => socket.write(text));
        let answer = "";
        socket.on("data", (chunk) => {
            answer += chunk;
            if (answer.includes("\r\n")) {
                resolve(answer.slice(0, answer.indexOf("\r\n")));
                socket.destroy();
            }
        });
        socket.on("error", reject);
        socket.on("close", () => resolve(answer.split("\r\n")[0]));
    });
}

export function handshake(port, headers) {
    return "GET /channel HTTP/1.1\r\n" + headers +
        "Upgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Version: 13\r\n" +
        "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n";
}

export async function waitUntil(condition, ms = 20000) {
    const deadline = Date.now() + ms;
    while (Date.now() < deadline) {
        if (await condition())
            return true;
        await new Promise((resolve) => setTimeout(resolve, 50));
    }
    return false;
}

export function removeFolder(folder) {
    rmSync(folder, { recursive: true, force: true });
}
