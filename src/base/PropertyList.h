#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <optional>

namespace brimlet::plist {

// The outcome of serialising: the document, or the reason it could not be written.
struct Serialised {
    QByteArray document;
    std::optional<QString> error;
};

// Writes an XML property list (format version 1.0) holding `root`. Supported values are text,
// booleans, integers, reals, lists and maps (dictionary keys come out sorted). Text that XML 1.0
// cannot carry (control characters, lone surrogates) or an unsupported value is an error.
[[nodiscard]] Serialised serialise(const QVariant& root);

// Reads an XML property list whose root value is a dictionary. Strings become QString, integers
// qlonglong, reals double, booleans bool, dates QDateTime, data QByteArray, arrays QVariantList
// and dictionaries QVariantMap. Anything malformed gives nothing.
[[nodiscard]] std::optional<QVariantMap> readDictionary(const QByteArray& document);

}  // namespace brimlet::plist
