#pragma once

#include <QByteArray>

namespace brimlet::bench {

// Whose transcript: a session's own, or one of its subagents' (isSidechain true, with an agentId).
enum class TranscriptKind { Session, Subagent };

// Transcript text shaped like what Claude Code 2.1 writes: turns of a user prompt and assistant
// replies, each reply written one content block a line (thinking, text, tool calls) under one
// message id, its usage repeated on every line or growing from a placeholder to the final count;
// tool results (some large, some quoting "output_tokens" in their text), and summary records.
// Models are Opus, Fable and others. The same arguments always give the same bytes; `variant`
// gives another history of the same shape (other ids, counts and texts).
[[nodiscard]] QByteArray generatedTranscript(qsizetype approximateBytes,
                                             TranscriptKind kind = TranscriptKind::Session,
                                             unsigned variant = 0);

}  // namespace brimlet::bench
