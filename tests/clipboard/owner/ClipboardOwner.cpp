// A clipboard owner for the tests: offers several targets at once, each from a file, the
// way the office suite does, with incremental transfers for large data. Misbehaving
// owners for the time-limit tests: --mute never answers a request, --stall stops after
// the first chunk of an incremental transfer.
//
//   clipboard_owner [--mute] [--stall] [--chunk BYTES] TARGET=FILE...
//
// Prints "ready" once it owns the clipboard; runs until it loses it or is killed.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>
#include <xcb/xcb.h>

namespace {

struct Offer {
    xcb_atom_t atom;
    std::string bytes;
};

struct Transfer {
    const Offer* offer;
    size_t sent;
};

xcb_atom_t Intern(xcb_connection_t* c, const std::string& name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, uint16_t(name.size()), name.c_str()), nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : XCB_NONE;
    std::free(reply);
    return atom;
}

void Notify(xcb_connection_t* c, const xcb_selection_request_event_t* request,
            xcb_atom_t property) {
    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request->time;
    notify.requestor = request->requestor;
    notify.selection = request->selection;
    notify.target = request->target;
    notify.property = property;
    xcb_send_event(c, 0, request->requestor, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&notify));
}

} // namespace

int main(int argc, char** argv) {
    bool mute = false;
    bool stall = false;
    size_t chunk = 256 * 1024;
    std::vector<std::pair<std::string, std::string>> offers;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--mute") {
            mute = true;
        } else if (arg == "--stall") {
            stall = true;
        } else if (arg == "--chunk" && i + 1 < argc) {
            chunk = std::strtoul(argv[++i], nullptr, 10);
        } else if (const size_t eq = arg.rfind('='); eq != std::string::npos) {
            std::ifstream file(arg.substr(eq + 1), std::ios::binary);
            offers.emplace_back(arg.substr(0, eq),
                                std::string(std::istreambuf_iterator<char>(file), {}));
        }
    }

    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c) != 0)
        return 1;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, screen->root_visual, 0, nullptr);
    const xcb_atom_t clipboard = Intern(c, "CLIPBOARD");
    const xcb_atom_t targets = Intern(c, "TARGETS");
    const xcb_atom_t incr = Intern(c, "INCR");
    std::vector<Offer> offered;
    for (const auto& [name, bytes] : offers)
        offered.push_back({Intern(c, name), bytes});
    xcb_set_selection_owner(c, window, clipboard, XCB_CURRENT_TIME);
    // A round trip, so that "ready" means the server has made us the owner.
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, clipboard), nullptr);
    const bool owns = owner != nullptr && owner->owner == window;
    std::free(owner);
    if (!owns)
        return 1;
    std::puts("ready");
    std::fflush(stdout);

    std::map<std::pair<xcb_window_t, xcb_atom_t>, Transfer> transfers;
    while (xcb_generic_event_t* event = xcb_wait_for_event(c)) {
        const uint8_t type = event->response_type & 0x7f;
        if (type == XCB_SELECTION_CLEAR) {
            std::free(event);
            break;
        }
        if (type == XCB_SELECTION_REQUEST && !mute) {
            const auto* request = reinterpret_cast<xcb_selection_request_event_t*>(event);
            const xcb_atom_t property =
                request->property == XCB_NONE ? request->target : request->property;
            if (request->target == targets) {
                std::vector<xcb_atom_t> atoms{targets};
                for (const Offer& offer : offered)
                    atoms.push_back(offer.atom);
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, property,
                                    XCB_ATOM_ATOM, 32, uint32_t(atoms.size()), atoms.data());
                Notify(c, request, property);
            } else {
                const Offer* found = nullptr;
                for (const Offer& offer : offered) {
                    if (offer.atom == request->target)
                        found = &offer;
                }
                if (found == nullptr) {
                    Notify(c, request, XCB_NONE);
                } else if (found->bytes.size() <= chunk) {
                    xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, property,
                                        request->target, 8, uint32_t(found->bytes.size()),
                                        found->bytes.data());
                    Notify(c, request, property);
                } else {
                    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
                    xcb_change_window_attributes(c, request->requestor, XCB_CW_EVENT_MASK, &mask);
                    const uint32_t size = uint32_t(found->bytes.size());
                    xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, property,
                                        incr, 32, 1, &size);
                    transfers[{request->requestor, property}] = Transfer{found, 0};
                    Notify(c, request, property);
                }
            }
        } else if (type == XCB_PROPERTY_NOTIFY) {
            const auto* notify = reinterpret_cast<xcb_property_notify_event_t*>(event);
            const auto it = transfers.find({notify->window, notify->atom});
            if (notify->state == XCB_PROPERTY_DELETE && it != transfers.end()) {
                Transfer& transfer = it->second;
                if (stall && transfer.sent > 0) {
                    std::free(event);
                    continue;
                }
                const size_t left = transfer.offer->bytes.size() - transfer.sent;
                const size_t length = std::min(left, chunk);
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, notify->window, notify->atom,
                                    transfer.offer->atom, 8, uint32_t(length),
                                    transfer.offer->bytes.data() + transfer.sent);
                transfer.sent += length;
                if (length == 0)
                    transfers.erase(it);
            }
        }
        xcb_flush(c);
        std::free(event);
    }
    xcb_disconnect(c);
    return 0;
}
