#include "base/PropertyList.h"

#include <QDateTime>
#include <QXmlStreamReader>

namespace brimlet::plist {
namespace {

constexpr int maxDepth = 64;

bool isXmlChar(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

class Writer {
  public:
    bool write(const QVariant& value, int depth) {
        if (depth > maxDepth) {
            return fail(QStringLiteral("property list nested too deeply"));
        }
        switch (value.typeId()) {
            case QMetaType::QString:
                return element("string", value.toString(), depth);
            case QMetaType::Bool:
                line(value.toBool() ? "<true/>" : "<false/>", depth);
                return true;
            case QMetaType::Int:
            case QMetaType::LongLong:
            case QMetaType::UInt:
            case QMetaType::ULongLong:
                line("<integer>" + value.toString().toUtf8() + "</integer>", depth);
                return true;
            case QMetaType::Double:
                line("<real>" + QByteArray::number(value.toDouble(), 'g', 17) + "</real>", depth);
                return true;
            case QMetaType::QVariantList:
                return writeArray(value.toList(), depth);
            case QMetaType::QVariantMap:
                return writeDict(value.toMap(), depth);
            default:
                return fail(QStringLiteral("property list cannot hold a value of type ") +
                            QString::fromLatin1(value.typeName()));
        }
    }

    Serialised finish(bool ok) {
        if (!ok) {
            return {{}, error_};
        }
        QByteArray document =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
            "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
            "<plist version=\"1.0\">\n";
        document += body_;
        document += "</plist>\n";
        return {document, std::nullopt};
    }

  private:
    bool element(const char* tag, const QString& text, int depth) {
        const std::optional<QByteArray> escaped = escape(text);
        if (!escaped) {
            return fail(QStringLiteral("text holds a character that XML cannot carry"));
        }
        line(QByteArray("<") + tag + ">" + *escaped + "</" + tag + ">", depth);
        return true;
    }

    bool writeArray(const QVariantList& list, int depth) {
        if (list.isEmpty()) {
            line("<array/>", depth);
            return true;
        }
        line("<array>", depth);
        for (const QVariant& item : list) {
            if (!write(item, depth + 1)) {
                return false;
            }
        }
        line("</array>", depth);
        return true;
    }

    bool writeDict(const QVariantMap& map, int depth) {
        if (map.isEmpty()) {
            line("<dict/>", depth);
            return true;
        }
        line("<dict>", depth);
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            if (!element("key", it.key(), depth + 1)) {
                return false;
            }
            if (!write(it.value(), depth + 1)) {
                return false;
            }
        }
        line("</dict>", depth);
        return true;
    }

    static std::optional<QByteArray> escape(const QString& text) {
        QString out;
        out.reserve(text.size());
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text.at(i);
            if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
                out += c;
                out += text.at(++i);  // a well-formed pair lies beyond the checks below
                continue;
            }
            if (c.isSurrogate() || !isXmlChar(c.unicode())) {
                return std::nullopt;
            }
            switch (c.unicode()) {
                case u'&':
                    out += QStringLiteral("&amp;");
                    break;
                case u'<':
                    out += QStringLiteral("&lt;");
                    break;
                case u'>':
                    out += QStringLiteral("&gt;");
                    break;
                case u'\r':
                    // A reader turns a raw carriage return into a line feed.
                    out += QStringLiteral("&#13;");
                    break;
                default:
                    out += c;
            }
        }
        return out.toUtf8();
    }

    void line(const QByteArray& text, int depth) {
        body_ += QByteArray(depth, '\t');
        body_ += text;
        body_ += '\n';
    }

    bool fail(const QString& message) {
        error_ = message;
        return false;
    }

    QByteArray body_;
    QString error_;
};

class Reader {
  public:
    explicit Reader(const QByteArray& document) : xml_(document) {}

    std::optional<QVariant> readRoot() {
        if (!nextElement() || xml_.name() != u"plist") {
            return std::nullopt;
        }
        if (!nextElement()) {
            return std::nullopt;
        }
        std::optional<QVariant> root = readValue(0);
        if (!root || nextElement() || !closes(u"plist")) {
            return std::nullopt;
        }
        return root;
    }

  private:
    // Moves to the next start element; false at an end element, the end or an error.
    bool nextElement() {
        while (!xml_.atEnd()) {
            switch (xml_.readNext()) {
                case QXmlStreamReader::StartElement:
                    return true;
                case QXmlStreamReader::EndElement:
                case QXmlStreamReader::Invalid:
                    return false;
                default:
                    break;
            }
        }
        return false;
    }

    bool closes(QStringView tag) {
        return !xml_.hasError() && xml_.isEndElement() && xml_.name() == tag;
    }

    // Reads the value whose start element is current, leaving its end element current.
    std::optional<QVariant> readValue(int depth) {
        if (depth > maxDepth) {
            return std::nullopt;
        }
        const QString tag = xml_.name().toString();
        if (tag == u"dict") {
            return readDict(depth);
        }
        if (tag == u"array") {
            return readArray(depth);
        }
        if (tag == u"true" || tag == u"false") {
            xml_.skipCurrentElement();
            return closes(tag) ? std::optional<QVariant>(tag == u"true") : std::nullopt;
        }
        const QString text = xml_.readElementText();
        if (xml_.hasError()) {
            return std::nullopt;
        }
        return scalar(tag, text);
    }

    static std::optional<QVariant> scalar(const QString& tag, const QString& text) {
        bool ok = false;
        if (tag == u"string") {
            return QVariant(text);
        }
        if (tag == u"integer") {
            const qlonglong value = text.trimmed().toLongLong(&ok);
            return ok ? std::optional<QVariant>(value) : std::nullopt;
        }
        if (tag == u"real") {
            const double value = text.trimmed().toDouble(&ok);
            return ok ? std::optional<QVariant>(value) : std::nullopt;
        }
        if (tag == u"date") {
            const QDateTime value = QDateTime::fromString(text.trimmed(), Qt::ISODate);
            return value.isValid() ? std::optional<QVariant>(value) : std::nullopt;
        }
        if (tag == u"data") {
            return QVariant(QByteArray::fromBase64(text.toLatin1()));
        }
        return std::nullopt;
    }

    std::optional<QVariant> readArray(int depth) {
        QVariantList list;
        while (nextElement()) {
            std::optional<QVariant> item = readValue(depth + 1);
            if (!item) {
                return std::nullopt;
            }
            list.append(*item);
        }
        return closes(u"array") ? std::optional<QVariant>(list) : std::nullopt;
    }

    std::optional<QVariant> readDict(int depth) {
        QVariantMap map;
        while (nextElement()) {
            if (xml_.name() != u"key") {
                return std::nullopt;
            }
            const QString key = xml_.readElementText();
            if (xml_.hasError() || !nextElement()) {
                return std::nullopt;
            }
            std::optional<QVariant> value = readValue(depth + 1);
            if (!value) {
                return std::nullopt;
            }
            map.insert(key, *value);
        }
        return closes(u"dict") ? std::optional<QVariant>(map) : std::nullopt;
    }

    QXmlStreamReader xml_;
};

}  // namespace

Serialised serialise(const QVariant& root) {
    Writer writer;
    const bool ok = writer.write(root, 0);
    return writer.finish(ok);
}

std::optional<QVariantMap> readDictionary(const QByteArray& document) {
    std::optional<QVariant> root = Reader(document).readRoot();
    if (!root || root->typeId() != QMetaType::QVariantMap) {
        return std::nullopt;
    }
    return root->toMap();
}

}  // namespace brimlet::plist
