#include "TranscriptGenerator.h"

#include <array>
#include <random>

namespace brimlet::bench {
namespace {

constexpr std::array kCodeLines = {
    "#include \"activity/ActivityMonitor.h\"",
    "    for (const auto& [path, offset] : offsets) {",
    "        if (status->size < offset) { return; }  // shrunk",
    "def parse(line: str) -> dict:",
    "    return json.loads(line)[\"message\"][\"usage\"][\"output_tokens\"]",
    "\tconst QString label = QStringLiteral(\"세션\");",
    "}",
    "    printf(\"%s\\n\", path.c_str());",
    "    let total = lines.iter().filter(|l| l.contains(\"x\")).count();",
    "SELECT id, name FROM users WHERE created_at > now() - interval '1 day';",
};
constexpr std::array kSessionModels = {"claude-opus-4-1-20250805", "claude-opus-4-1-20250805",
                                       "claude-fable-3-5-20250601", "claude-haiku-3-5-20241022"};
constexpr std::array kSubagentModels = {"claude-fable-3-5-20250601", "claude-opus-4-1-20250805",
                                        "claude-haiku-3-5-20241022"};
constexpr std::array kPrompts = {
    "이 함수의 테스트를 추가해 주세요", "Why does the sweep skip this?",
    "빌드가 실패합니다. 로그를 봐 주세요", "Refactor the parser please"};
constexpr char kBase62[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

template <typename... Parts>
QByteArray joined(const Parts&... parts) {
    QByteArray out;
    (out.append(parts), ...);
    return out;
}

QByteArray jsonEscaped(const QByteArray& text) {
    QByteArray out;
    out.reserve(text.size() + text.size() / 8);
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// What one content block of a reply is.
enum class Block { Thinking, Text, ToolUse };

class Generator {
  public:
    Generator(TranscriptKind kind, unsigned variant)
        : kind_(kind), random_(20250801U + variant * 7919U) {
        sessionId_ = uuid();
        agentId_ = identifier("", 8);
    }

    // A user's prompt, then one to three replies, each followed by the results of its tool calls;
    // now and then a summary record.
    QByteArray turn() {
        QByteArray out = line(record("user", joined(R"("message":{"role":"user","content":")",
                                                    kPrompts[pick(kPrompts.size())], R"("})")));
        const int replies = 1 + pick(3);
        for (int i = 0; i < replies; ++i) {
            out += reply();
        }
        if (pick(8) == 0) {
            out += line(joined(R"({"type":"summary","summary":"Activity monitor work",)"
                               R"("leafUuid":")",
                               uuid(), "\"}"));
        }
        return out;
    }

  private:
    int pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random_); }
    int pick(std::size_t count) { return pick(static_cast<int>(count)); }

    QByteArray number(int below) { return QByteArray::number(pick(below)); }

    QByteArray identifier(const char* prefix, int length) {
        QByteArray out(prefix);
        for (int i = 0; i < length; ++i) {
            out += kBase62[pick(62)];
        }
        return out;
    }

    QByteArray uuid() {
        QByteArray out;
        for (const int length : {8, 4, 4, 4, 12}) {
            if (!out.isEmpty()) {
                out += '-';
            }
            for (int i = 0; i < length; ++i) {
                out += "0123456789abcdef"[pick(16)];
            }
        }
        return out;
    }

    static QByteArray line(QByteArray record) {
        record.append('\n');
        return record;
    }

    QByteArray code(int minLines, int maxLines) {
        QByteArray text;
        const int lines = minLines + pick(maxLines - minLines + 1);
        for (int i = 0; i < lines; ++i) {
            text += kCodeLines[pick(kCodeLines.size())];
            text += '\n';
        }
        return jsonEscaped(text);
    }

    // The members every record carries, around its type and its own members.
    QByteArray record(const char* type, const QByteArray& members) {
        const bool subagent = kind_ == TranscriptKind::Subagent;
        QByteArray out = joined(
            R"({"parentUuid":)", parentUuid_, R"(,"isSidechain":)", subagent ? "true" : "false",
            R"(,"userType":"external","cwd":"/home/kim/src/brimlet","sessionId":")", sessionId_,
            R"(","version":"2.1.14","gitBranch":"main",)");
        if (subagent) {
            out += joined(R"("agentId":")", agentId_, "\",");
        }
        const QByteArray own = uuid();
        parentUuid_ = joined("\"", own, "\"");
        out += joined(R"("type":")", type, "\",", members, R"(,"uuid":")", own,
                      R"(","timestamp":"2026-11-30T10:)", QByteArray::number(10 + pick(50)), ':',
                      QByteArray::number(10 + pick(50)), '.', QByteArray::number(100 + pick(900)),
                      "Z\"}");
        return out;
    }

    // One reply: one line per content block, all under one message id, each with a usage. Most
    // replies repeat the final usage on every line; the others count up to it from a placeholder.
    QByteArray reply() {
        const QByteArray id = identifier("msg_01", 22);
        const QByteArray requestId = identifier("req_011", 22);
        const QByteArray model = pick(40) == 0 ? QByteArray("<synthetic>") : replyModel();
        const int lines = 1 + pick(4);
        const int finalTokens = 1 + pick(2000);
        const bool growing = pick(10) < 3;
        QByteArray out;
        QByteArray results;
        for (int i = 0; i < lines; ++i) {
            const bool last = i == lines - 1;
            const Block block = i == 0 && lines > 1 && pick(2) == 0 ? Block::Thinking
                                : i == 0 || pick(3) == 0            ? Block::Text
                                                                    : Block::ToolUse;
            const int tokens =
                !growing || last ? finalTokens : (i == 0 ? 1 : finalTokens * i / lines);
            QByteArray toolId = identifier("toolu_01", 22);
            out += line(record(
                "assistant",
                joined(
                    R"("message":{"id":")", id,
                    R"(","type":"message","role":"assistant","model":")", model, R"(","content":[)",
                    content(block, toolId), R"(],"stop_reason":)",
                    last ? (block == Block::ToolUse ? R"("tool_use")" : R"("end_turn")") : "null",
                    R"(,"stop_sequence":null,"usage":{"input_tokens":)",
                    QByteArray::number(4 + lines), R"(,"cache_creation_input_tokens":)",
                    QByteArray::number(lines * 311), R"(,"cache_read_input_tokens":)",
                    QByteArray::number(lines * 4099), R"(,"output_tokens":)",
                    QByteArray::number(tokens), R"(,"service_tier":"standard"}},"requestId":")",
                    requestId, "\"")));
            if (block == Block::ToolUse) {
                results += toolResult(toolId);
            }
        }
        out += results;
        return out;
    }

    QByteArray replyModel() {
        if (kind_ == TranscriptKind::Subagent) {
            return kSubagentModels[pick(kSubagentModels.size())];
        }
        return kSessionModels[pick(kSessionModels.size())];
    }

    QByteArray content(Block block, const QByteArray& toolId) {
        switch (block) {
            case Block::Thinking:
                return joined(R"({"type":"thinking","thinking":"The sweep keeps )", code(1, 6),
                              R"(","signature":")", identifier("Eq", 120), "\"}");
            case Block::Text:
                return joined(R"({"type":"text","text":"Here is the change:\n\n```cpp\n)",
                              code(10, 90), R"(```\n그리고 테스트도 추가했습니다."})");
            case Block::ToolUse:
                break;
        }
        if (pick(4) == 0) {
            return joined(R"({"type":"tool_use","id":")", toolId,
                          R"(","name":"Grep","input":{"pattern":"output_tokens","path":"src"}})");
        }
        return joined(R"({"type":"tool_use","id":")", toolId,
                      R"(","name":"Edit","input":{"file_path":"/home/kim/src/brimlet/src/a.cpp",)"
                      R"("old_string":")",
                      code(3, 20), R"(","new_string":")", code(3, 20), R"("}})");
    }

    // A tool's output, now and then a whole file or a long log; a search's record names the key
    // it looked for, so the line holds "output_tokens" but no usage.
    QByteArray toolResult(const QByteArray& toolId) {
        const QByteArray output = pick(30) == 0 ? code(2000, 6000) : code(20, 160);
        return line(record("user", joined(R"("message":{"role":"user","content":[{"tool_use_id":")",
                                          toolId, R"(","type":"tool_result","content":")", output,
                                          R"("}]},"toolUseResult":{"stdout":")", output,
                                          R"(","stderr":"","interrupted":false,"isImage":false,)"
                                          R"("query":"output_tokens"})")));
    }

    const TranscriptKind kind_;
    std::mt19937 random_;
    QByteArray sessionId_;
    QByteArray agentId_;
    QByteArray parentUuid_ = "null";  // the JSON value: null or a quoted uuid
};

}  // namespace

QByteArray generatedTranscript(qsizetype approximateBytes, TranscriptKind kind, unsigned variant) {
    Generator generator(kind, variant);
    QByteArray text;
    text.reserve(approximateBytes + 512 * 1024);
    while (text.size() < approximateBytes) {
        text += generator.turn();
    }
    return text;
}

}  // namespace brimlet::bench
