// The property list reader and writer: whatever the reader makes of a document, and any text
// written, reads back as it was written.
#include <QByteArray>
#include <QVariant>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "base/PropertyList.h"

namespace {

// Equality of value trees, where a real that is not a number equals itself.
bool same(const QVariant& a, const QVariant& b) {
    if (a.typeId() != b.typeId()) {
        return false;
    }
    switch (a.typeId()) {
        case QMetaType::Double:
            return a.toDouble() == b.toDouble() ||
                   (std::isnan(a.toDouble()) && std::isnan(b.toDouble()));
        case QMetaType::QVariantList: {
            const QVariantList x = a.toList();
            const QVariantList y = b.toList();
            return x.size() == y.size() && std::equal(x.begin(), x.end(), y.begin(), same);
        }
        case QMetaType::QVariantMap: {
            const QVariantMap x = a.toMap();
            const QVariantMap y = b.toMap();
            return x.keys() == y.keys() &&
                   std::all_of(x.keyBegin(), x.keyEnd(),
                               [&](const QString& key) { return same(x[key], y[key]); });
        }
        default:
            return a == b;
    }
}

void expectRoundTrip(const QVariantMap& map) {
    const brimlet::plist::Serialised written = brimlet::plist::serialise(map);
    if (written.error) {
        return;  // values it does not write: dates, data, text XML cannot carry
    }
    const std::optional<QVariantMap> read = brimlet::plist::readDictionary(written.document);
    if (!read || !same(*read, map)) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    // Taken as a document, and as text for the keys and values of one written.
    if (const std::optional<QVariantMap> read = brimlet::plist::readDictionary(bytes)) {
        expectRoundTrip(*read);
    }
    const QList<QByteArray> parts = bytes.split('\0');
    QVariantMap written;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        written.insert(QString::fromUtf8(parts[i]), QString::fromUtf8(parts[i + 1]));
    }
    written.insert(QStringLiteral("list"), QVariantList(parts.begin(), parts.end()));
    expectRoundTrip(written);
    return 0;
}
