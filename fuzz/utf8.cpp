// The UTF-8 check against Qt's decoder, and its report of where the first malformed sequence is.
#include <QByteArrayView>
#include <QStringDecoder>
#include <cstdint>
#include <cstdlib>

#include "base/Utf8Validation.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* const begin = reinterpret_cast<const char*>(data);
    const char* const end = begin + size;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    static_cast<void>(QString(decoder.decode(QByteArrayView(begin, end))));
    const char* const malformed = brimlet::firstMalformedUtf8(begin, end);
    if (brimlet::isValidUtf8(QByteArrayView(begin, end)) == decoder.hasError() ||
        (malformed == nullptr) == decoder.hasError()) {
        std::abort();
    }
    // Everything before the malformed sequence is well-formed.
    if (malformed != nullptr && !brimlet::isValidUtf8(QByteArrayView(begin, malformed))) {
        std::abort();
    }
    return 0;
}
