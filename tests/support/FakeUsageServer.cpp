#include "support/FakeUsageServer.h"

#include <QTcpSocket>
#include <QTimer>
#include <memory>

namespace brimlet::test {
namespace {

constexpr QByteArrayView headEnd = "\r\n\r\n";

[[nodiscard]] RecordedRequest parseHead(const QByteArray& head) {
    RecordedRequest request;
    const QList<QByteArray> lines = head.split('\n');
    request.requestLine = lines.value(0).trimmed();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon > 0) {
            request.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
        }
    }
    return request;
}

[[nodiscard]] QByteArray reasonPhrase(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 302:
            return "Found";
        case 401:
            return "Unauthorized";
        case 404:
            return "Not Found";
        default:
            return "Status";
    }
}

// The status line and headers, and the body unless it goes out in pieces.
[[nodiscard]] QByteArray response(const ScriptedAnswer& answer) {
    if (!answer.raw.isEmpty()) {
        return answer.raw;
    }
    QByteArray text = "HTTP/1.1 " + QByteArray::number(answer.status) + ' ' +
                      reasonPhrase(answer.status) + "\r\n";
    text += "Content-Type: application/json\r\n";
    if (answer.floodBytes == 0) {
        text += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
    }
    if (!answer.location.isEmpty()) {
        text += "Location: " + answer.location + "\r\n";
    }
    text += "Connection: close\r\n\r\n";
    return answer.pieceBytes > 0 ? text : text + answer.body;
}

}  // namespace

ScriptedAnswer ScriptedAnswer::withStatus(int status, QByteArray body) {
    ScriptedAnswer answer;
    answer.status = status;
    answer.body = std::move(body);
    return answer;
}

ScriptedAnswer ScriptedAnswer::ok(QByteArray json) {
    return withStatus(200, std::move(json));
}

ScriptedAnswer ScriptedAnswer::redirect(int status, const QUrl& target) {
    ScriptedAnswer answer = withStatus(status);
    answer.location = target.toEncoded();
    return answer;
}

ScriptedAnswer ScriptedAnswer::never() {
    ScriptedAnswer answer;
    answer.silent = true;
    return answer;
}

ScriptedAnswer ScriptedAnswer::rawBytes(QByteArray bytes) {
    ScriptedAnswer answer;
    answer.raw = std::move(bytes);
    return answer;
}

ScriptedAnswer ScriptedAnswer::dripping(QByteArray json, std::chrono::milliseconds interval) {
    ScriptedAnswer answer = ok(std::move(json));
    answer.pieceBytes = 1;
    answer.pieceInterval = interval;
    return answer;
}

ScriptedAnswer ScriptedAnswer::flooding(qint64 bytes) {
    ScriptedAnswer answer = ok({});
    answer.pieceBytes = 64 * 1024;
    answer.floodBytes = bytes;
    return answer;
}

std::optional<QByteArray> RecordedRequest::header(const QByteArray& name) const {
    for (const auto& [key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0) {
            return value;
        }
    }
    return std::nullopt;
}

FakeUsageServer::FakeUsageServer(quint16 port) {
    QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] {
        while (QTcpSocket* const socket = server_.nextPendingConnection()) {
            serve(socket);
        }
    });
    server_.listen(QHostAddress::LocalHost, port);
}

QUrl FakeUsageServer::url(const QString& path) const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path));
}

// The socket is a child of the server, so a connection left open dies with the server.
void FakeUsageServer::serve(QTcpSocket* socket) {
    const auto received = std::make_shared<QByteArray>();
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, received] {
        *received += socket->readAll();
        const qsizetype end = received->indexOf(headEnd);
        if (end < 0) {
            return;
        }
        const QByteArray head = received->left(end);
        const QByteArray body = received->mid(end + headEnd.size());
        const auto length = parseHead(head).header("Content-Length").value_or("0").toLongLong();
        if (body.size() >= length) {
            QObject::disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
            answer(socket, head, body.left(length));
        }
    });
    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
}

void FakeUsageServer::answer(QTcpSocket* socket, const QByteArray& head, const QByteArray& body) {
    RecordedRequest request = parseHead(head);
    request.body = body;
    requests_.append(request);
    const ScriptedAnswer reply = nextAnswer();
    if (reply.silent) {
        return;
    }
    socket->write(response(reply));
    if (reply.pieceBytes > 0) {
        sendInPieces(socket, reply);
    } else {
        socket->disconnectFromHost();
    }
}

// The timer is a child of the socket: it stops when the client goes.
void FakeUsageServer::sendInPieces(QTcpSocket* socket, const ScriptedAnswer& reply) {
    auto* const timer = new QTimer(socket);
    const qint64 total = reply.floodBytes > 0 ? reply.floodBytes : reply.body.size();
    QObject::connect(timer, &QTimer::timeout, socket,
                     [this, socket, timer, reply, total, sent = qint64{0}]() mutable {
                         if (socket->bytesToWrite() > 0) {
                             return;
                         }
                         if (sent == total) {
                             timer->stop();
                             socket->disconnectFromHost();
                             return;
                         }
                         const qint64 size = std::min(reply.pieceBytes, total - sent);
                         socket->write(reply.floodBytes > 0 ? QByteArray(size, ' ')
                                                            : reply.body.mid(sent, size));
                         sent += size;
                         piecesSent_ += size;
                     });
    timer->start(reply.pieceInterval);
}

ScriptedAnswer FakeUsageServer::nextAnswer() {
    if (script_.isEmpty()) {
        return ScriptedAnswer::withStatus(404);
    }
    return script_.size() == 1 ? script_.first() : script_.takeFirst();
}

}  // namespace brimlet::test
