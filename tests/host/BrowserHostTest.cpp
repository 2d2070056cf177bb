#include "host/ChannelTransport.h"
#include "host/HostSettingsFile.h"
#include "host/OriginPolicy.h"
#include "host/RequestHead.h"
#include "tests/support/TestSupport.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTcpServer>
#include <QWebSocket>
#include <gtest/gtest.h>

TEST(RequestHead, ReadsWhatTheHostDecidesOn) {
    const auto head = ParseRequestHead("GET /channel HTTP/1.1\r\nHost: 127.0.0.1:80\r\n"
                                       "UPGRADE: WebSocket\r\nConnection: keep-alive, Upgrade\r\n"
                                       "Host: evil.example\r\n\r\nbody");
    ASSERT_TRUE(head);
    EXPECT_EQ(head->method, "GET");
    EXPECT_EQ(head->target, "/channel");
    EXPECT_EQ(head->header("host"), "127.0.0.1:80") << "a repeated Host keeps the first";
    EXPECT_TRUE(head->isWebSocketUpgrade());
    EXPECT_FALSE(ParseRequestHead("GET / HTTP/1.1\r\nHost: x\r\n")) << "no blank line yet";
    EXPECT_FALSE(ParseRequestHead("GET / HTTP/2\r\n\r\n"));
    EXPECT_FALSE(ParseRequestHead("GET http://x/ HTTP/1.1\r\n\r\n"));
    EXPECT_FALSE(ParseRequestHead("GET / HTTP/1.1\r\nno colon\r\n\r\n"));
    EXPECT_FALSE(ParseRequestHead("G(T / HTTP/1.1\r\n\r\n"));
    const auto plain = ParseRequestHead("GET / HTTP/1.0\r\nConnection: close\r\n\r\n");
    ASSERT_TRUE(plain);
    EXPECT_FALSE(plain->isWebSocketUpgrade());
}

TEST(RequestHead, OnlyTheHostsOwnAddressIsItsHost) {
    EXPECT_TRUE(IsOwnHost("127.0.0.1:4000", 4000));
    EXPECT_TRUE(IsOwnHost("LocalHost:4000", 4000));
    EXPECT_FALSE(IsOwnHost("127.0.0.1", 4000));
    EXPECT_FALSE(IsOwnHost("127.0.0.1:4001", 4000));
    EXPECT_FALSE(IsOwnHost("rebind.example:4000", 4000));
    EXPECT_FALSE(IsOwnHost("127.0.0.1:4000.rebind.example", 4000));
    EXPECT_FALSE(IsOwnHost("", 4000));
}

TEST(OriginPolicy, MatchesExactlyAndNeverAnAbsentOrigin) {
    OriginPolicy policy;
    EXPECT_TRUE(policy.add("https://editor.example.com"));
    EXPECT_TRUE(policy.add("http://127.0.0.1:8080"));
    EXPECT_TRUE(policy.allows("https://editor.example.com"));
    EXPECT_TRUE(policy.allows("http://127.0.0.1:8080"));
    EXPECT_FALSE(policy.allows("http://editor.example.com"));
    EXPECT_FALSE(policy.allows("https://editor.example.com.evil.example"));
    EXPECT_FALSE(policy.allows("https://sub.editor.example.com"));
    EXPECT_FALSE(policy.allows(""));
    EXPECT_FALSE(policy.allows("null"));
    // Forms a browser never sends would never match: refuse them when they are listed.
    for (const char* wrong : {"https://editor.example.com/", "https://Editor.example.com",
                              "https://editor.example.com/path", "ftp://editor.example.com",
                              "https://user@editor.example.com", "editor.example.com", "null", "",
                              "https://editor.example.com:443", "http://intranet:80"})
        EXPECT_FALSE(policy.add(wrong)) << wrong;
    EXPECT_EQ(policy.origins().size(), 2);
}

TEST(HostSettingsFile, ReadsOriginsAndRefusesUnknownLines) {
    ScratchFolder folder;
    HostFileSettings settings;
    QString error;
    const QString good = folder.write("host.conf", "# editors\norigin = https://a.example\n\n"
                                                   "origin=https://b.example:8443\nport = 9000\n"
                                                   "receiver = off\nfolder = /srv/up\n");
    ASSERT_TRUE(ReadHostSettingsFile(good, &settings, &error)) << error.toStdString();
    EXPECT_EQ(settings.origins, QStringList({"https://a.example", "https://b.example:8443"}));
    EXPECT_EQ(settings.port, "9000");
    EXPECT_EQ(settings.receiver, "off");
    EXPECT_EQ(settings.folder, "/srv/up");
    HostFileSettings other;
    EXPECT_FALSE(ReadHostSettingsFile(folder.write("bad.conf", "origin = x\nallow everything\n"),
                                      &other, &error));
    EXPECT_TRUE(error.endsWith("bad.conf:2: expected origin, port, folder or receiver = on|off"))
        << error.toStdString();
    EXPECT_FALSE(ReadHostSettingsFile(folder.file("missing.conf"), &other, &error));
}

TEST(HostCommand, ATakenPortOrABadOriginIsOneClearLine) {
    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress::LocalHost, 0));
    const QString port = QString::number(taken.serverPort());
    const CommandResult busy =
        RunCommand(TessaryCommand(), {"host", "--no-receiver", "--port", port});
    EXPECT_EQ(busy.exitCode, 1);
    // Qt itself may note things on standard error first.
    EXPECT_TRUE(
        busy.err.endsWith("\ntessary host: port " + port.toUtf8() +
                          " on 127.0.0.1 is already in use; choose another with --port\n") ||
        busy.err.startsWith("tessary host: port " + port.toUtf8() + " on 127.0.0.1 is "))
        << busy.err.toStdString();
    const CommandResult origin =
        RunCommand(TessaryCommand(),
                   {"host", "--no-receiver", "--port", "0", "--origin", "https://a.example/"});
    EXPECT_EQ(origin.exitCode, 1);
    EXPECT_TRUE(origin.err.contains("tessary host: \"https://a.example/\" is not an origin"))
        << origin.err.toStdString();
    EXPECT_EQ(RunCommand(TessaryCommand(), {"host", "--port", "70000"}).exitCode, 2);
}

namespace {

class Published : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void call() {}
    Q_INVOKABLE void create() {}
};

QJsonObject Invoke(const QJsonValue& method, const QString& object = QStringLiteral("host")) {
    return {{"type", 6}, {"object", object}, {"method", method}, {"args", QJsonArray()}, {"id", 1}};
}

} // namespace

TEST(ChannelTransport, LetsThroughOnlyThePagesOwnMethods) {
    QWebSocket socket;
    Published object;
    const QMetaObject& meta = *object.metaObject();
    const ChannelTransport transport(socket, "host", meta, {"call", "create"});
    EXPECT_TRUE(transport.admits({{"type", 3}, {"id", 0}}));
    EXPECT_TRUE(transport.admits({{"type", 4}}));
    EXPECT_TRUE(transport.admits({{"type", 7}, {"object", "host"}, {"signal", 5}}));
    EXPECT_TRUE(transport.admits(Invoke("call")));
    EXPECT_TRUE(transport.admits(Invoke("create()")));
    EXPECT_TRUE(transport.admits(Invoke(meta.indexOfMethod("call()"))));
    EXPECT_FALSE(transport.admits(Invoke("deleteLater")));
    EXPECT_FALSE(transport.admits(Invoke(meta.indexOfMethod("deleteLater()"))));
    EXPECT_FALSE(transport.admits(Invoke("call", "other")));
    EXPECT_FALSE(transport.admits(Invoke(QJsonValue())));
    EXPECT_FALSE(
        transport.admits({{"type", 9}, {"object", "host"}, {"property", 0}, {"value", "x"}}));
    EXPECT_FALSE(transport.admits({{"type", "6"}}));
    EXPECT_FALSE(transport.admits({}));
}

#include "BrowserHostTest.moc"
