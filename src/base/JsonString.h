#pragma once

#include <optional>

namespace brimlet {

struct JsonStringEnd {
    const char* closingQuote;
    bool hasEscapes;
};

// Scans the text of a JSON string from `at`, just past its opening quote, to its closing quote,
// reading nothing at or beyond `end`. Nothing when the string is unterminated or breaks strict
// JSON: a raw control character, an unknown escape, or \u without four hex digits.
[[nodiscard]] std::optional<JsonStringEnd> scanJsonString(const char* at, const char* end);

// The character a two-character escape stands for, by the letter after the backslash; 0 where the
// letter starts none (also for 'u', whose escape is six characters long).
[[nodiscard]] char jsonEscapedCharacter(char letter);

}  // namespace brimlet
