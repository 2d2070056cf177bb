#include "platform/X11Selection.h"

#include "common/LargeBuffers.h"

#include <QDeadlineTimer>
#include <QHash>
#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <poll.h>
#include <thread>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <class T> using XcbPtr = std::unique_ptr<T, FreeDeleter>;

// xcb_connect blocks until the server has answered the connection set-up, which a
// stopped server never does; so it runs on a thread of its own that may be abandoned.
struct PendingConnect {
    std::mutex mutex;
    std::condition_variable done;
    xcb_connection_t* connection = nullptr;
    int screen = 0;
    bool finished = false;
    bool abandoned = false;
};

xcb_connection_t* ConnectWithin(int waitMs, int& screen) {
    auto pending = std::make_shared<PendingConnect>();
    std::thread([pending] {
        int number = 0;
        xcb_connection_t* connection = xcb_connect(nullptr, &number);
        std::lock_guard lock(pending->mutex);
        if (pending->abandoned) {
            xcb_disconnect(connection);
            return;
        }
        pending->connection = connection;
        pending->screen = number;
        pending->finished = true;
        pending->done.notify_all();
    }).detach();
    std::unique_lock lock(pending->mutex);
    if (!pending->done.wait_for(lock, std::chrono::milliseconds(waitMs),
                                [&] { return pending->finished; })) {
        pending->abandoned = true;
        return nullptr;
    }
    screen = pending->screen;
    return pending->connection;
}

} // namespace

struct X11Selection::Connection {
    xcb_connection_t* c = nullptr;
    xcb_window_t window = 0;
    xcb_atom_t clipboard = 0;
    xcb_atom_t targets = 0;
    xcb_atom_t incr = 0;
    xcb_atom_t property = 0;
    QHash<QByteArray, xcb_atom_t> atoms;
    QHash<xcb_atom_t, QByteArray> names;

    ~Connection() {
        if (c != nullptr)
            xcb_disconnect(c);
    }

    bool broken() const { return xcb_connection_has_error(c) != 0; }

    // Lets the socket become readable or the deadline pass; false when it passed.
    bool waitReadable(const QDeadlineTimer& deadline) {
        const qint64 left = deadline.remainingTime();
        if (left == 0)
            return false;
        pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
        ::poll(&fd, 1, left < 0 ? 1000 : int(std::min<qint64>(left, 1000)));
        return true;
    }

    template <class Reply>
    Result reply(unsigned int sequence, const QDeadlineTimer& deadline, XcbPtr<Reply>& out) {
        xcb_flush(c);
        for (;;) {
            void* answer = nullptr;
            xcb_generic_error_t* error = nullptr;
            if (xcb_poll_for_reply(c, sequence, &answer, &error) != 0) {
                std::free(error);
                out.reset(static_cast<Reply*>(answer));
                return out ? Result::Ok : Result::Refused;
            }
            if (broken())
                return Result::Unreachable;
            if (!waitReadable(deadline))
                return Result::TimedOut;
        }
    }

    // The next event that `wanted` accepts; other events are dropped.
    template <class Wanted>
    Result event(Wanted wanted, const QDeadlineTimer& deadline, XcbPtr<xcb_generic_event_t>& out) {
        xcb_flush(c);
        for (;;) {
            while (xcb_generic_event_t* e = xcb_poll_for_event(c)) {
                XcbPtr<xcb_generic_event_t> owned(e);
                if (wanted(e)) {
                    out = std::move(owned);
                    return Result::Ok;
                }
            }
            if (broken())
                return Result::Unreachable;
            if (!waitReadable(deadline))
                return Result::TimedOut;
        }
    }

    Result atom(const QByteArray& name, const QDeadlineTimer& deadline, xcb_atom_t& out) {
        if (const auto it = atoms.constFind(name); it != atoms.constEnd()) {
            out = *it;
            return Result::Ok;
        }
        const auto cookie = xcb_intern_atom(c, 0, uint16_t(name.size()), name.constData());
        XcbPtr<xcb_intern_atom_reply_t> answer;
        const Result result = reply(cookie.sequence, deadline, answer);
        if (result != Result::Ok)
            return result;
        out = answer->atom;
        atoms.insert(name, out);
        names.insert(out, name);
        return Result::Ok;
    }
};

X11Selection::X11Selection(int waitMs, qint64 sizeLimit)
    : m_waitMs(waitMs), m_sizeLimit(sizeLimit) {}

X11Selection::~X11Selection() = default;

X11Selection::Result X11Selection::connect() {
    if (m_connection && !m_connection->broken())
        return Result::Ok;
    m_connection.reset();
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return Result::NoDisplay;
    int screenNumber = 0;
    xcb_connection_t* c = ConnectWithin(m_waitMs, screenNumber);
    if (c == nullptr)
        return Result::Unreachable;
    auto connection = std::make_unique<Connection>();
    connection->c = c;
    if (connection->broken())
        return Result::Unreachable;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && screens.rem > 1; ++i)
        xcb_screen_next(&screens);
    const xcb_screen_t* screen = screens.data;
    connection->window = xcb_generate_id(c);
    const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, connection->window, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, screen->root_visual, XCB_CW_EVENT_MASK, &events);
    const QDeadlineTimer deadline(m_waitMs);
    for (const auto& [name, slot] :
         {std::pair{"CLIPBOARD", &connection->clipboard},
          std::pair{"TARGETS", &connection->targets}, std::pair{"INCR", &connection->incr},
          std::pair{"TESSARY_SELECTION", &connection->property}}) {
        const Result result = connection->atom(QByteArray(name), deadline, *slot);
        if (result != Result::Ok)
            return result == Result::Refused ? Result::Unreachable : result;
    }
    m_connection = std::move(connection);
    return Result::Ok;
}

bool X11Selection::hasOwner() {
    if (connect() != Result::Ok)
        return false;
    Connection& k = *m_connection;
    const auto cookie = xcb_get_selection_owner(k.c, k.clipboard);
    XcbPtr<xcb_get_selection_owner_reply_t> answer;
    if (k.reply(cookie.sequence, QDeadlineTimer(m_waitMs), answer) != Result::Ok)
        return false;
    return answer->owner != XCB_NONE;
}

X11Selection::Result X11Selection::read(const QByteArray& target, QByteArray& bytes) {
    bytes.clear();
    if (const Result result = connect(); result != Result::Ok)
        return result;
    Connection& k = *m_connection;
    xcb_atom_t targetAtom = 0;
    if (const Result result = k.atom(target, QDeadlineTimer(m_waitMs), targetAtom);
        result != Result::Ok)
        return result;
    xcb_delete_property(k.c, k.window, k.property);
    xcb_convert_selection(k.c, k.window, k.clipboard, targetAtom, k.property, XCB_CURRENT_TIME);

    XcbPtr<xcb_generic_event_t> event;
    Result result = k.event(
        [&](const xcb_generic_event_t* e) {
            if ((e->response_type & 0x7f) != XCB_SELECTION_NOTIFY)
                return false;
            const auto* notify = reinterpret_cast<const xcb_selection_notify_event_t*>(e);
            return notify->requestor == k.window && notify->selection == k.clipboard;
        },
        QDeadlineTimer(m_waitMs), event);
    if (result != Result::Ok)
        return result;
    if (reinterpret_cast<const xcb_selection_notify_event_t*>(event.get())->property == XCB_NONE)
        return Result::Refused;

    const auto fetch = [&](XcbPtr<xcb_get_property_reply_t>& answer) {
        const auto cookie = xcb_get_property(k.c, 1, k.window, k.property,
                                             XCB_GET_PROPERTY_TYPE_ANY, 0, UINT32_MAX / 4);
        return k.reply(cookie.sequence, QDeadlineTimer(m_waitMs), answer);
    };
    XcbPtr<xcb_get_property_reply_t> answer;
    if (result = fetch(answer); result != Result::Ok)
        return result == Result::Refused ? Result::Unreachable : result;
    if (answer->type != k.incr) {
        bytes = QByteArray(static_cast<const char*>(xcb_get_property_value(answer.get())),
                           xcb_get_property_value_length(answer.get()));
        return qint64(bytes.size()) > m_sizeLimit ? Result::TooLarge : Result::Ok;
    }

    // Incremental transfer: the owner writes one chunk each time we delete the property,
    // and an empty chunk at the end. The announced size is only a hint.
    if (xcb_get_property_value_length(answer.get()) >= 4) {
        const quint32 hint = *static_cast<const quint32*>(xcb_get_property_value(answer.get()));
        ReserveLarge(bytes,
                     qsizetype(std::min<qint64>(hint, std::min<qint64>(m_sizeLimit, 1 << 28))));
    }
    for (;;) {
        result = k.event(
            [&](const xcb_generic_event_t* e) {
                if ((e->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
                    return false;
                const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(e);
                return notify->window == k.window && notify->atom == k.property &&
                       notify->state == XCB_PROPERTY_NEW_VALUE;
            },
            QDeadlineTimer(m_waitMs), event);
        if (result != Result::Ok)
            break;
        if (result = fetch(answer); result != Result::Ok)
            break;
        const int length = xcb_get_property_value_length(answer.get());
        if (length == 0)
            return Result::Ok;
        if (qint64(bytes.size()) + length > m_sizeLimit) {
            result = Result::TooLarge;
            break;
        }
        bytes.append(static_cast<const char*>(xcb_get_property_value(answer.get())), length);
    }
    bytes.clear();
    bytes.squeeze();
    // The owner may still be writing chunks to a property nobody reads; a fresh
    // connection keeps them away from the next transfer.
    m_connection.reset();
    return result == Result::Refused ? Result::Unreachable : result;
}

X11Selection::Result X11Selection::targets(QByteArrayList& names) {
    names.clear();
    QByteArray bytes;
    if (const Result result = read("TARGETS", bytes); result != Result::Ok)
        return result;
    Connection& k = *m_connection;
    const auto* atoms = reinterpret_cast<const xcb_atom_t*>(bytes.constData());
    const qsizetype count = bytes.size() / qsizetype(sizeof(xcb_atom_t));
    // Ask for every unknown name at once, then collect the answers.
    QList<std::pair<xcb_atom_t, xcb_get_atom_name_cookie_t>> pending;
    for (qsizetype i = 0; i < count; ++i) {
        const bool asked = std::any_of(pending.cbegin(), pending.cend(),
                                       [&](const auto& entry) { return entry.first == atoms[i]; });
        if (!k.names.contains(atoms[i]) && !asked)
            pending.append({atoms[i], xcb_get_atom_name(k.c, atoms[i])});
    }
    const QDeadlineTimer deadline(m_waitMs);
    for (const auto& [atom, cookie] : pending) {
        XcbPtr<xcb_get_atom_name_reply_t> answer;
        const Result result = k.reply(cookie.sequence, deadline, answer);
        if (result == Result::Refused)
            continue;
        if (result != Result::Ok)
            return result;
        const QByteArray name(xcb_get_atom_name_name(answer.get()),
                              xcb_get_atom_name_name_length(answer.get()));
        k.names.insert(atom, name);
        k.atoms.insert(name, atom);
    }
    for (qsizetype i = 0; i < count; ++i) {
        if (const auto it = k.names.constFind(atoms[i]); it != k.names.constEnd())
            names.append(*it);
    }
    return Result::Ok;
}
