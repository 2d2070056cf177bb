#include "platform/CurlTransfer.h"

#include <QPointer>
#include <QSocketNotifier>

CurlTransfer::CurlTransfer(std::unique_ptr<HttpExchange> exchange, HeadArrived onHead,
                           Finished onDone)
    : m_exchange(std::move(exchange)), m_onHead(std::move(onHead)), m_onDone(std::move(onDone)),
      m_multi(curl_multi_init()) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] { act(CURL_SOCKET_TIMEOUT, 0); });
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETFUNCTION, &CurlTransfer::onSocket);
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERFUNCTION, &CurlTransfer::onTimer);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERDATA, this);
    // Adding the handle asks for a time-out of 0 through onTimer: the transfer starts from
    // the event loop, after the caller has finished its own bookkeeping.
    curl_multi_add_handle(m_multi, m_exchange->handle());
}

CurlTransfer::~CurlTransfer() {
    m_done = true;
    m_timer.stop();
    curl_multi_remove_handle(m_multi, m_exchange->handle());
    m_exchange.reset();
    curl_multi_cleanup(m_multi);
    for (const Watch& w : std::as_const(m_watches)) {
        delete w.read;
        delete w.write;
    }
}

void CurlTransfer::release() {
    m_onHead = nullptr;
    m_onDone = nullptr;
    m_released = true;
    if (m_depth == 0)
        delete this;
}

int CurlTransfer::onSocket(CURL*, curl_socket_t socket, int what, void* self, void*) {
    auto* transfer = static_cast<CurlTransfer*>(self);
    if (what == CURL_POLL_REMOVE)
        transfer->forget(socket);
    else
        transfer->watch(socket, what);
    return 0;
}

int CurlTransfer::onTimer(CURLM*, long timeoutMs, void* self) {
    auto* transfer = static_cast<CurlTransfer*>(self);
    if (timeoutMs < 0)
        transfer->m_timer.stop();
    else
        transfer->m_timer.start(int(std::min<long>(timeoutMs, 24L * 3600 * 1000)));
    return 0;
}

void CurlTransfer::watch(curl_socket_t socket, int what) {
    Watch& w = m_watches[socket];
    const auto ensure = [&](QSocketNotifier*& notifier, QSocketNotifier::Type type, int event) {
        if (!notifier) {
            notifier = new QSocketNotifier(socket, type, this);
            connect(notifier, &QSocketNotifier::activated, this,
                    [this, socket, event] { act(socket, event); });
        }
        notifier->setEnabled(true);
    };
    if (what == CURL_POLL_IN || what == CURL_POLL_INOUT)
        ensure(w.read, QSocketNotifier::Read, CURL_CSELECT_IN);
    else if (w.read)
        w.read->setEnabled(false);
    if (what == CURL_POLL_OUT || what == CURL_POLL_INOUT)
        ensure(w.write, QSocketNotifier::Write, CURL_CSELECT_OUT);
    else if (w.write)
        w.write->setEnabled(false);
}

void CurlTransfer::forget(curl_socket_t socket) {
    const Watch w = m_watches.take(socket);
    // Called from inside curl, possibly while one of these notifiers is delivering its
    // signal: the event loop deletes them once that is over.
    for (QSocketNotifier* notifier : {w.read, w.write}) {
        if (notifier) {
            notifier->setEnabled(false);
            notifier->disconnect(this);
            notifier->deleteLater();
        }
    }
}

void CurlTransfer::act(curl_socket_t socket, int events) {
    if (m_done)
        return;
    ++m_depth;
    int running = 0;
    curl_multi_socket_action(m_multi, socket, events, &running);
    report();
    --m_depth;
    if (m_released && m_depth == 0)
        delete this;
}

void CurlTransfer::report() {
    if (!m_headReported && m_exchange->hasFinalHead()) {
        m_headReported = true;
        if (m_onHead) {
            const HeadArrived onHead = m_onHead;
            onHead();
        }
    }
    if (m_released || m_done)
        return;
    int pending = 0;
    while (CURLMsg* message = curl_multi_info_read(m_multi, &pending)) {
        if (message->msg != CURLMSG_DONE || message->easy_handle != m_exchange->handle())
            continue;
        m_done = true;
        m_timer.stop();
        const HttpOutcome outcome = m_exchange->finish(message->data.result);
        curl_multi_remove_handle(m_multi, m_exchange->handle());
        if (m_onDone) {
            const Finished onDone = m_onDone;
            onDone(outcome);
        }
        return;
    }
}
