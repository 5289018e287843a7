#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QTcpServer>
#include <QUrl>
#include <chrono>
#include <optional>

namespace brimlet::test {

// One request as it arrived.
struct RecordedRequest {
    QByteArray requestLine;                        // "GET /api/oauth/usage HTTP/1.1"
    QList<QPair<QByteArray, QByteArray>> headers;  // in arrival order, names as sent
    QByteArray body;

    // The value of the header of that name (compared without case), or nothing.
    [[nodiscard]] std::optional<QByteArray> header(const QByteArray& name) const;
};

// How the server answers one request.
struct ScriptedAnswer {
    int status = 200;
    QByteArray body;
    QByteArray location;  // sent as a Location header when not empty
    bool silent = false;  // accept the request and never answer it
    QByteArray raw;       // when not empty, sent as it is instead of a well-formed answer
    // When pieceBytes is not 0, the body goes out that much at a time, a piece every
    // pieceInterval once the last one is out; a body of floodBytes blanks, without a length, when
    // that is not 0.
    qint64 pieceBytes = 0;
    std::chrono::milliseconds pieceInterval{0};
    qint64 floodBytes = 0;

    [[nodiscard]] static ScriptedAnswer ok(QByteArray json);
    [[nodiscard]] static ScriptedAnswer withStatus(int status, QByteArray body = {});
    [[nodiscard]] static ScriptedAnswer redirect(int status, const QUrl& target);
    [[nodiscard]] static ScriptedAnswer never();
    [[nodiscard]] static ScriptedAnswer rawBytes(QByteArray bytes);
    // A 200 answer whose body comes a byte at a time, one every `interval`.
    [[nodiscard]] static ScriptedAnswer dripping(QByteArray json,
                                                 std::chrono::milliseconds interval);
    // A 200 answer without a length whose body is `bytes` blanks, sent as fast as they are taken.
    [[nodiscard]] static ScriptedAnswer flooding(qint64 bytes);
};

// A stand-in for the usage service on 127.0.0.1 that speaks just enough HTTP/1.1: it reads one
// request per connection (headers and a Content-Length body), records it, answers from its script
// and closes the connection. Each request takes the next scripted answer; the last one keeps
// answering. Without a script it answers 404. Runs on the thread that created it, so the test's
// event loop must turn for it to work.
class FakeUsageServer {
  public:
    // Port 0 picks a free one.
    explicit FakeUsageServer(quint16 port = 0);

    [[nodiscard]] bool isListening() const { return server_.isListening(); }
    [[nodiscard]] quint16 port() const { return server_.serverPort(); }
    // http://127.0.0.1:<port><path>
    [[nodiscard]] QUrl url(const QString& path = QStringLiteral("/api/oauth/usage")) const;

    void script(QList<ScriptedAnswer> answers) { script_ = std::move(answers); }
    [[nodiscard]] const QList<RecordedRequest>& requests() const { return requests_; }
    // Body bytes handed to the network so far by answers sent in pieces.
    [[nodiscard]] qint64 piecesSent() const { return piecesSent_; }

  private:
    void serve(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const QByteArray& head, const QByteArray& body);
    void sendInPieces(QTcpSocket* socket, const ScriptedAnswer& reply);
    [[nodiscard]] ScriptedAnswer nextAnswer();

    QTcpServer server_;
    QList<ScriptedAnswer> script_;
    QList<RecordedRequest> requests_;
    qint64 piecesSent_ = 0;
};

}  // namespace brimlet::test
