// Tessary page library: lets an editor page drive the desktop components through the
// local host. Loaded from the host itself (<script src="http://127.0.0.1:47801/tessary.js">),
// which serves it together with the channel script it builds on.
//
//   const o = await Tessary.create("Orvanta.Tessarex");
//   o.SendUrl = "https://editor.example.com/upload?x=1";
//   await o.PasteWord("mode:html");
//   if (await o.waitForStatus()) insert(o.Style + o.Body);
(function (global) {
    "use strict";

    var script = global.document && global.document.currentScript;
    var scriptOrigin = script && script.src ? new URL(script.src).origin : global.location.origin;

    function scriptError(number, description, source) {
        var error = new Error(description);
        error.number = number;
        error.source = source || "Tessary";
        error.description = description;
        return error;
    }

    function fromReply(error) {
        return scriptError(error.number, error.description, error.source);
    }

    function lost() {
        return scriptError(5, "Invalid procedure call or argument: the connection to the host was lost");
    }

    // One channel to the host: one page context, so every object created through the same
    // connection shares its call state, as the objects of one page do.
    function Connection(baseUrl) {
        var self = this;
        var wsUrl = baseUrl.replace(/^http/, "ws").replace(/\/+$/, "") + "/channel";
        self.objects = {};
        self.pending = [];
        self.closed = false;
        self.closeHandlers = [];
        self.ready = new Promise(function (resolve, reject) {
            var socket;
            try {
                socket = new WebSocket(wsUrl);
            } catch (e) {
                reject(scriptError(429, "ActiveX component can't create object: cannot reach " + wsUrl));
                return;
            }
            self.socket = socket;
            var opened = false;
            socket.onopen = function () {
                opened = true;
                new QWebChannel(socket, function (channel) {
                    self.host = channel.objects.host;
                    self.host.changed.connect(function (values) { self.apply(values); });
                    self.host.event.connect(function (id, name, args, values) {
                        self.apply(values);
                        var record = self.objects[id];
                        if (record)
                            record.fire(name, args);
                    });
                    resolve(self);
                });
            };
            socket.addEventListener("close", function () {
                self.closed = true;
                if (!opened)
                    reject(scriptError(429, "ActiveX component can't create object: the host at " +
                                       baseUrl + " refused or is not running"));
                var waiting = self.pending;
                self.pending = [];
                waiting.forEach(function (p) { p.reject(lost()); });
                self.closeHandlers.forEach(function (fn) { try { fn(); } catch (e) { } });
            });
        });
    }

    // Sends one request to the host; resolves with the reply's value once the state it
    // carries is applied, so properties read afterwards are current.
    Connection.prototype.request = function (method, args, wholeReply) {
        var self = this;
        return self.ready.then(function () {
            if (self.closed)
                throw lost();
            return new Promise(function (resolve, reject) {
                var entry = { reject: reject };
                self.pending.push(entry);
                self.host[method].apply(self.host, args.concat([function (reply) {
                    var i = self.pending.indexOf(entry);
                    if (i >= 0)
                        self.pending.splice(i, 1);
                    if (reply && reply.values)
                        self.apply(reply.values);
                    if (!reply)
                        reject(lost());
                    else if (reply.ok)
                        resolve(wholeReply ? reply : reply.value);
                    else
                        reject(fromReply(reply.error));
                }]));
            });
        });
    };

    Connection.prototype.apply = function (values) {
        for (var id in values) {
            var record = this.objects[id];
            if (!record)
                continue;
            var changed = values[id];
            for (var name in changed)
                record.cache[name] = changed[name];
        }
    };

    Connection.prototype.create = function (progId) {
        var self = this;
        // The page's address names it, for example in the title of a component's window.
        var page = typeof location !== "undefined" ? String(location.href) : "";
        return self.request("create", [String(progId), page], true).then(function (reply) {
            var record = new ObjectRecord(self, reply.value);
            self.objects[record.id] = record;
            // The reply's state arrived before the object had a place for it.
            self.apply(reply.values);
            return record.proxy;
        });
    };

    // A stand-in for the object on the page: members keep their names, found without
    // regard to letter case.
    function ObjectRecord(connection, description) {
        var self = this;
        self.connection = connection;
        self.id = description.id;
        self.progId = description.progId;
        self.members = {};
        self.events = {};
        self.handlers = {};
        self.cache = {};
        self.puts = [];
        self.released = false;
        description.members.forEach(function (m) { self.members[m.name.toLowerCase()] = m; });
        (description.events || []).forEach(function (name) { self.events[name.toLowerCase()] = name; });
        self.proxy = new Proxy({}, {
            get: function (target, name) { return self.read(name); },
            set: function (target, name, value) { self.write(name, value); return true; },
            has: function (target, name) {
                return typeof name === "string" && self.members.hasOwnProperty(name.toLowerCase());
            },
            ownKeys: function () {
                return Object.keys(self.members).map(function (k) { return self.members[k].name; });
            },
            getOwnPropertyDescriptor: function (target, name) {
                var m = typeof name === "string" && self.members[name.toLowerCase()];
                if (!m)
                    return undefined;
                return { value: self.read(name), writable: m.put, enumerable: !m.method && m.get,
                         configurable: true };
            }
        });
        self.helpers = {
            on: function (name, fn) { self.on(name, fn); return self.proxy; },
            off: function (name, fn) { self.off(name, fn); return self.proxy; },
            has: function (name) { return self.members.hasOwnProperty(String(name).toLowerCase()); },
            members: function () {
                return Object.keys(self.members).map(function (k) {
                    var m = self.members[k];
                    return { name: m.name, kind: m.method ? "method" : "property", get: m.get, put: m.put };
                });
            },
            get: function (name) { return self.send("get", [String(name)]); },
            set: function (name, value) { return self.send("put", [String(name), value]); },
            refresh: function () { return connection.request("refresh", []); },
            waitForStatus: function (ms) { return self.waitForStatus(ms); },
            release: function () { return self.release(); },
            toString: function () { return "[object " + self.progId + "]"; }
        };
    }

    ObjectRecord.prototype.noSuchMember = function (name) {
        return scriptError(438, "Object doesn't support this property or method: " + name, this.progId);
    };

    ObjectRecord.prototype.read = function (name) {
        var self = this;
        if (typeof name !== "string")
            return undefined;
        var m = self.members[name.toLowerCase()];
        if (m && m.method)
            return function () { return self.send("call", [m.name, Array.prototype.slice.call(arguments)]); };
        if (m && m.get)
            return self.cache[m.name];
        if (m)
            throw self.noSuchMember(name);
        if (name === "id")
            return self.id;
        if (name === "progId")
            return self.progId;
        if (self.helpers.hasOwnProperty(name))
            return self.helpers[name];
        // Anything else (then, toJSON, members the object lacks) is absent, so that the
        // object can be awaited and a page can test for a member before it uses it.
        return undefined;
    };

    ObjectRecord.prototype.write = function (name, value) {
        var m = typeof name === "string" && this.members[name.toLowerCase()];
        if (!m || !m.put)
            throw this.noSuchMember(String(name));
        // Assignments go out in order before any later call; a failed one is raised by
        // the next call of this object, as the assignment itself cannot wait for it.
        this.puts.push(this.send("put", [m.name, value]).then(function () { return null; },
                                                            function (error) { return error; }));
    };

    ObjectRecord.prototype.send = function (method, args) {
        if (this.released)
            return Promise.reject(scriptError(5, "Invalid procedure call or argument: the object was released", this.progId));
        var sent = this.connection.request(method, [this.id].concat(args));
        if (method === "put" || this.puts.length === 0)
            return sent;
        var puts = this.puts;
        this.puts = [];
        return sent.then(function (value) {
            return Promise.all(puts).then(function (errors) {
                var failed = errors.filter(Boolean)[0];
                if (failed)
                    throw failed;
                return value;
            });
        });
    };

    ObjectRecord.prototype.on = function (name, fn) {
        var key = String(name).toLowerCase();
        if (!this.events.hasOwnProperty(key))
            throw this.noSuchMember(String(name));
        (this.handlers[key] = this.handlers[key] || []).push(fn);
    };

    ObjectRecord.prototype.off = function (name, fn) {
        var list = this.handlers[String(name).toLowerCase()] || [];
        var i = list.indexOf(fn);
        if (i >= 0)
            list.splice(i, 1);
    };

    ObjectRecord.prototype.fire = function (name, args) {
        var self = this;
        (self.handlers[String(name).toLowerCase()] || []).slice().forEach(function (fn) {
            try { fn.apply(self.proxy, args); } catch (e) { setTimeout(function () { throw e; }); }
        });
    };

    ObjectRecord.prototype.waitForStatus = function (ms) {
        var self = this;
        var deadline = Date.now() + (ms === undefined ? 60000 : ms);
        function poll() {
            return self.send("get", ["Status"]).then(function (status) {
                if (status === "ok")
                    return true;
                if (Date.now() >= deadline)
                    return false;
                return new Promise(function (resolve) { setTimeout(resolve, 25); }).then(poll);
            });
        }
        return poll();
    };

    ObjectRecord.prototype.release = function () {
        if (this.released)
            return Promise.resolve();
        var self = this;
        var done = self.connection.request("release", [self.id]);
        self.released = true;
        return done.then(function () { delete self.connection.objects[self.id]; });
    };

    var connections = {};

    function connectionFor(baseUrl) {
        var key = (baseUrl || scriptOrigin).replace(/\/+$/, "");
        var existing = connections[key];
        if (!existing || existing.closed)
            existing = connections[key] = new Connection(key);
        return existing;
    }

    global.Tessary = {
        // Creates a component by ProgID in this page's context on the host.
        create: function (progId, options) {
            return connectionFor(options && options.host).create(progId);
        },
        // What the host offers: {sendUrl, filesUrl, version}; sendUrl is "" when it runs
        // without its upload receiver.
        info: function (options) {
            var c = connectionFor(options && options.host);
            return c.ready.then(function () { return c.request("info", []); });
        },
        // fn() runs when the connection to the host ends.
        onClose: function (fn, options) {
            connectionFor(options && options.host).closeHandlers.push(fn);
        },
        host: scriptOrigin
    };
})(typeof window !== "undefined" ? window : this);
