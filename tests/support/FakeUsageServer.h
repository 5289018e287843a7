#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QTcpServer>
#include <QUrl>
#include <chrono>
#include <optional>

namespace brimlet::test {

// One request as it arrived: "GET /api/oauth/usage HTTP/1.1" and its headers, names as sent.
struct RecordedRequest {
    QByteArray requestLine;
    QList<QPair<QByteArray, QByteArray>> headers;

    // The value of the header of that name (compared without case), or nothing.
    [[nodiscard]] std::optional<QByteArray> header(const QByteArray& name) const;
};

// How the server answers one request: `raw` as it is when not empty; else a well-formed answer
// with this status and body, or, when streamBytes is not 0, with that many blanks for a body,
// without a length, pieceBytes at a time, a piece every pieceInterval once the last one is out.
struct ScriptedAnswer {
    int status = 200;
    QByteArray body{};
    QByteArray raw{};
    qint64 streamBytes = 0;
    qint64 pieceBytes = 0;
    std::chrono::milliseconds pieceInterval{0};

    [[nodiscard]] static ScriptedAnswer ok(QByteArray json) { return {.body = std::move(json)}; }
};

// A stand-in for the usage service on 127.0.0.1 that speaks just enough HTTP/1.1: it reads one
// request head per connection, records it, answers from its script and closes the connection.
// Each request takes the next scripted answer; the last one keeps answering. Without a script it
// answers 404. Runs on the thread that created it, so the test's event loop must turn for it.
class FakeUsageServer {
  public:
    // Port 0 picks a free one.
    explicit FakeUsageServer(quint16 port = 0);

    [[nodiscard]] bool isListening() const { return server_.isListening(); }
    // http://127.0.0.1:<port>/api/oauth/usage
    [[nodiscard]] QUrl url() const;

    void script(QList<ScriptedAnswer> answers) { script_ = std::move(answers); }
    [[nodiscard]] const QList<RecordedRequest>& requests() const { return requests_; }
    // Blanks handed to the network so far by streamed answers.
    [[nodiscard]] qint64 streamedBytes() const { return streamed_; }

  private:
    void serve(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const QByteArray& head);
    void stream(QTcpSocket* socket, const ScriptedAnswer& reply);

    QTcpServer server_;
    QList<ScriptedAnswer> script_;
    QList<RecordedRequest> requests_;
    qint64 streamed_ = 0;
};

}  // namespace brimlet::test
