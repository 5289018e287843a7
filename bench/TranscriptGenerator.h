#pragma once

#include <QByteArray>

namespace brimlet::bench {

// Transcript text shaped like Claude Code's: long assistant replies with code in their text and
// tool calls, user lines carrying tool results, short prompts (some in Korean) and bookkeeping
// records. About a third of the lines carry usage with output tokens (Opus, Fable and others).
// The same size always gives the same bytes.
[[nodiscard]] QByteArray generatedTranscript(qsizetype approximateBytes);

}  // namespace brimlet::bench
