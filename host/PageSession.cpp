#include "host/PageSession.h"

#include "common/Files.h"
#include "common/ScriptError.h"
#include "host/ComponentCall.h"
#include "host/SignalRelay.h"

#include <QUrl>

struct PageSession::PageObject {
    Component component;
    std::unique_ptr<SignalRelay> relay;
    QList<ImplementedMember> members;
    // What the page was last told of each readable property.
    QHash<QString, QVariant> sent;
};

class PageSession::Busy {
public:
    explicit Busy(PageSession& session) : m_session(session) { ++m_session.m_depth; }
    ~Busy() {
        if (--m_session.m_depth == 0)
            m_session.settle();
    }

private:
    PageSession& m_session;
};

namespace {

// How often the host looks for changes that happen between calls (an upload run).
constexpr int WatchIntervalMs = 40;

QVariantMap ErrorMap(const ScriptError& error) {
    return {{QStringLiteral("number"), error.number()},
            {QStringLiteral("source"), error.source()},
            {QStringLiteral("description"), error.description()}};
}

// Texts are shared until one side changes, so an unchanged 20 MB Body compares at once.
bool SameValue(const QVariant& a, const QVariant& b) {
    if (a.typeId() == QMetaType::QString && b.typeId() == QMetaType::QString) {
        const QString& x = *static_cast<const QString*>(a.constData());
        const QString& y = *static_cast<const QString*>(b.constData());
        return (x.constData() == y.constData() && x.size() == y.size()) || x == y;
    }
    return a == b;
}

QVariantList MemberList(const QList<ImplementedMember>& members) {
    QVariantList list;
    for (const ImplementedMember& m : members) {
        list.append(QVariantMap{{QStringLiteral("name"), m.name},
                                {QStringLiteral("method"), m.method},
                                {QStringLiteral("get"), m.readable},
                                {QStringLiteral("put"), m.writable}});
    }
    return list;
}

} // namespace

PageSession::PageSession(const QString& tempSubFolder, HostInfo info, QObject* parent)
    : QObject(parent), m_info(std::move(info)) {
    m_page.setTempSubFolder(tempSubFolder);
    m_watch.setInterval(WatchIntervalMs);
    connect(&m_watch, &QTimer::timeout, this, &PageSession::watch);
}

PageSession::~PageSession() {
    m_objects.clear();
    if (!m_page.tempSubFolder().isEmpty())
        DeleteFolderTree(TempFolderPath() + m_page.tempSubFolder());
}

const QStringList& PageSession::PageMethods() {
    static const QStringList names = {
        QStringLiteral("create"), QStringLiteral("get"),     QStringLiteral("put"),
        QStringLiteral("call"),   QStringLiteral("release"), QStringLiteral("refresh"),
        QStringLiteral("info"),
    };
    return names;
}

void PageSession::end(std::function<void()> done) {
    m_ending = true;
    m_done = std::move(done);
    if (m_depth == 0)
        settle();
}

void PageSession::settle() {
    for (int id : std::exchange(m_released, {}))
        m_objects.erase(id);
    if (m_ending) {
        m_watch.stop();
        m_objects.clear();
        if (auto done = std::exchange(m_done, nullptr))
            done();
        return;
    }
    if (m_objects.empty())
        m_watch.stop();
}

PageSession::PageObject* PageSession::find(int id) {
    const auto it = m_objects.find(id);
    if (it == m_objects.end() || m_released.contains(id))
        throw ScriptError(ScriptErrorNumber::InvalidCall,
                          QStringLiteral("Invalid procedure call or argument: the object was "
                                         "released"));
    return it->second.get();
}

template <typename Action> QVariantMap PageSession::answer(int id, Action action) {
    Busy busy(*this);
    QVariantMap reply;
    try {
        PageObject* object = id > 0 ? find(id) : nullptr;
        if (m_ending)
            throw ScriptError(ScriptErrorNumber::InvalidCall,
                              QStringLiteral("Invalid procedure call or argument: the page "
                                             "has gone"));
        const QVariant value = action(object);
        reply.insert(QStringLiteral("ok"), true);
        if (value.isValid())
            reply.insert(QStringLiteral("value"), value);
    } catch (const ScriptError& error) {
        reply.insert(QStringLiteral("ok"), false);
        reply.insert(QStringLiteral("error"), ErrorMap(error));
    }
    if (!m_ending)
        reply.insert(QStringLiteral("values"), takeChanges());
    return reply;
}

void PageSession::setOrigin(const QString& origin) {
    m_origin = origin;
    m_page.setAddress(origin);
}

QVariantMap PageSession::create(const QString& progId, const QString& pageAddress) {
    // Only the address as far as the path: a query may carry what is not for the screen.
    const QUrl address(pageAddress);
    const QString shown =
        address.adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::RemoveUserInfo)
            .toString();
    if (!m_origin.isEmpty() && address.isValid() &&
        (shown == m_origin || shown.startsWith(m_origin + QLatin1Char('/'))))
        m_page.setAddress(shown);
    return create(progId);
}

QVariantMap PageSession::create(const QString& progId) {
    int created = 0;
    QVariantMap reply = answer(0, [&](PageObject*) -> QVariant {
        auto object = std::make_unique<PageObject>();
        object->component = CreateComponent(progId, m_page);
        object->members = ImplementedMembers(object->component);
        const int id = m_nextId++;
        object->relay = std::make_unique<SignalRelay>(
            *object->component.object,
            [this, id](const QString& name, const QVariantList& arguments) {
                forwardSignal(id, name, arguments);
            });
        QVariantMap description{
            {QStringLiteral("id"), id},
            {QStringLiteral("progId"), progId},
            {QStringLiteral("members"), MemberList(object->members)},
            {QStringLiteral("events"), EventNames(object->component)},
        };
        m_objects.emplace(id, std::move(object));
        created = id;
        return description;
    });
    if (created != 0 && !m_ending)
        m_watch.start();
    return reply;
}

QVariantMap PageSession::get(int id, const QString& name) {
    return answer(id, [&](PageObject* object) { return GetMember(object->component, name); });
}

QVariantMap PageSession::put(int id, const QString& name, const QVariant& value) {
    return answer(id, [&](PageObject* object) {
        PutMember(object->component, name, value);
        return QVariant();
    });
}

QVariantMap PageSession::call(int id, const QString& name, const QVariantList& arguments) {
    return answer(
        id, [&](PageObject* object) { return CallMember(object->component, name, arguments); });
}

QVariantMap PageSession::release(int id) {
    return answer(id, [&](PageObject*) {
        m_released.append(id);
        return QVariant();
    });
}

QVariantMap PageSession::refresh() {
    return answer(0, [](PageObject*) { return QVariant(); });
}

QVariantMap PageSession::info() {
    return answer(0, [this](PageObject*) -> QVariant {
        return QVariantMap{{QStringLiteral("sendUrl"), m_info.sendUrl},
                           {QStringLiteral("filesUrl"), m_info.filesUrl},
                           {QStringLiteral("version"), QStringLiteral("3.3.0.0")}};
    });
}

QVariantMap PageSession::takeChanges() {
    QVariantMap changes;
    for (auto& [id, object] : m_objects) {
        if (m_released.contains(id))
            continue;
        QVariantMap values;
        for (const ImplementedMember& member : object->members) {
            if (!member.readable)
                continue;
            QVariant value;
            try {
                value = GetMember(object->component, member.name);
            } catch (const ScriptError&) {
                continue;
            }
            const auto sent = object->sent.constFind(member.name);
            if (sent != object->sent.constEnd() && SameValue(*sent, value))
                continue;
            object->sent.insert(member.name, value);
            values.insert(member.name, value);
        }
        if (!values.isEmpty())
            changes.insert(QString::number(id), values);
    }
    return changes;
}

void PageSession::watch() {
    if (m_depth > 0 || m_ending)
        return;
    const QVariantMap changes = takeChanges();
    if (!changes.isEmpty())
        emit changed(changes);
}

void PageSession::forwardSignal(int id, const QString& name, const QVariantList& arguments) {
    if (m_ending)
        return;
    emit event(id, name, arguments, takeChanges());
}
