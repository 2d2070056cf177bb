#pragma once

#include "bridge/PageContext.h"
#include "host/Components.h"

#include <QHash>
#include <QObject>
#include <QTimer>
#include <QVariantMap>
#include <functional>
#include <map>
#include <memory>

class SignalRelay;

// What the host tells a page about itself.
struct HostInfo {
    QString sendUrl;  // where the demo points SendUrl, "" without the built-in receiver
    QString filesUrl; // where the receiver serves stored files back
};

// The one object a browser page talks to over its channel: it creates components by
// ProgID in the page's own context and reaches their members by name. Every answer is a
// map {ok, value | error, values}: `values` holds, per object id, each readable property
// that changed since the page last heard of it, so what the page reads after an answer
// is what the host holds now. Changes made between calls (an upload run going on) are
// pushed as `changed`; component signals arrive as `event`.
class PageSession : public QObject {
    Q_OBJECT
public:
    PageSession(const QString& tempSubFolder, HostInfo info, QObject* parent = nullptr);
    ~PageSession() override;

    // Ends every object (an upload in flight is abandoned) and calls `done` once no call
    // of the page is running any more; the session may then be deleted.
    void end(std::function<void()> done);
    int objectCount() const { return int(m_objects.size()); }
    // The origin the connection was checked for: the page's name until it says more.
    void setOrigin(const QString& origin);

    // The page's interface; only these are reachable from the page.
    Q_INVOKABLE QVariantMap create(const QString& progId);
    // As above, from a page that says where it is: an address of the connection's own
    // origin names the page (a window of its components is titled with it).
    Q_INVOKABLE QVariantMap create(const QString& progId, const QString& pageAddress);
    Q_INVOKABLE QVariantMap get(int id, const QString& name);
    Q_INVOKABLE QVariantMap put(int id, const QString& name, const QVariant& value);
    Q_INVOKABLE QVariantMap call(int id, const QString& name, const QVariantList& arguments);
    Q_INVOKABLE QVariantMap release(int id);
    Q_INVOKABLE QVariantMap refresh();
    Q_INVOKABLE QVariantMap info();

    static const QStringList& PageMethods();

signals:
    void event(int id, const QString& name, const QVariantList& arguments,
               const QVariantMap& values);
    void changed(const QVariantMap& values);

private:
    struct PageObject;
    // Calls may nest (long steps let page messages run); objects are released, and the
    // session ends, only once the outermost call has returned.
    class Busy;

    PageObject* find(int id);
    template <typename Action> QVariantMap answer(int id, Action action);
    QVariantMap takeChanges();
    void settle();
    void watch();
    void forwardSignal(int id, const QString& name, const QVariantList& arguments);

    PageContext m_page;
    QString m_origin;
    HostInfo m_info;
    std::map<int, std::unique_ptr<PageObject>> m_objects;
    QList<int> m_released;
    int m_nextId = 1;
    int m_depth = 0;
    bool m_ending = false;
    std::function<void()> m_done;
    QTimer m_watch;
};
