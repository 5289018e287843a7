#include "support/FakeUsageServer.h"

#include <QTcpSocket>
#include <QTimer>
#include <memory>

namespace brimlet::test {
namespace {

[[nodiscard]] RecordedRequest parseHead(const QByteArray& head) {
    RecordedRequest request;
    const QList<QByteArray> lines = head.split('\n');
    request.requestLine = lines.value(0).trimmed();
    for (const QByteArray& line : lines.mid(1)) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0) {
            request.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
        }
    }
    return request;
}

// All of it but a streamed body. The reason phrase is never read.
[[nodiscard]] QByteArray response(const ScriptedAnswer& answer) {
    if (!answer.raw.isEmpty()) {
        return answer.raw;
    }
    const QByteArray length =
        answer.streamBytes > 0
            ? QByteArray()
            : "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
    return "HTTP/1.1 " + QByteArray::number(answer.status) + " Scripted\r\n" + length +
           "Connection: close\r\n\r\n" + answer.body;
}

}  // namespace

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

QUrl FakeUsageServer::url() const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1/api/oauth/usage").arg(server_.serverPort()));
}

// The socket is a child of the server, so a connection left open dies with the server. The
// request is a GET: its head is all of it.
void FakeUsageServer::serve(QTcpSocket* socket) {
    const auto received = std::make_shared<QByteArray>();
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, received] {
        *received += socket->readAll();
        const qsizetype end = received->indexOf("\r\n\r\n");
        if (end >= 0) {
            QObject::disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
            answer(socket, received->left(end));
        }
    });
    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
}

void FakeUsageServer::answer(QTcpSocket* socket, const QByteArray& head) {
    requests_.append(parseHead(head));
    const ScriptedAnswer reply = script_.isEmpty()     ? ScriptedAnswer{.status = 404}
                                 : script_.size() == 1 ? script_.first()
                                                       : script_.takeFirst();
    socket->write(response(reply));
    if (reply.streamBytes > 0) {
        stream(socket, reply);
    } else {
        socket->disconnectFromHost();
    }
}

// The timer is a child of the socket: it stops when the client goes.
void FakeUsageServer::stream(QTcpSocket* socket, const ScriptedAnswer& reply) {
    auto* const timer = new QTimer(socket);
    QObject::connect(timer, &QTimer::timeout, socket,
                     [this, socket, timer, reply, sent = qint64{0}]() mutable {
                         if (socket->bytesToWrite() > 0) {
                             return;
                         }
                         if (sent == reply.streamBytes) {
                             timer->stop();
                             socket->disconnectFromHost();
                             return;
                         }
                         const qint64 size = std::min(reply.pieceBytes, reply.streamBytes - sent);
                         socket->write(QByteArray(size, ' '));
                         sent += size;
                         streamed_ += size;
                     });
    timer->start(reply.pieceInterval);
}

}  // namespace brimlet::test
