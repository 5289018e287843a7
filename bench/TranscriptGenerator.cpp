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
    "    return json.loads(line)[\"message\"][\"usage\"]",
    "\tconst QString label = QStringLiteral(\"세션\");",
    "}",
    "    printf(\"%s\\n\", path.c_str());",
    "    let total = lines.iter().filter(|l| l.contains(\"x\")).count();",
    "SELECT id, name FROM users WHERE created_at > now() - interval '1 day';",
};
constexpr std::array kModels = {"claude-opus-4-1-20250805", "claude-opus-4-1-20250805",
                                "claude-fable-3-5-20250601", "claude-haiku-3-5-20241022"};
constexpr std::array kPrompts = {
    "이 함수의 테스트를 추가해 주세요", "Why does the sweep skip this?",
    "빌드가 실패합니다. 로그를 봐 주세요", "Refactor the parser please"};

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

class Generator {
  public:
    QByteArray line() {
        // Four lines in twelve carry usage: three replies in text, one tool call.
        const int kind = pick(12);
        if (kind < 3) {
            return assistant(textContent());
        }
        if (kind < 4) {
            return assistant(toolUseContent());
        }
        if (kind < 8) {
            return toolResult();
        }
        return kind < 10 ? prompt() : bookkeeping();
    }

  private:
    int pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random_); }

    QByteArray number(int below) { return QByteArray::number(pick(below)); }

    QByteArray code(int minLines, int maxLines) {
        QByteArray text;
        const int lines = minLines + pick(maxLines - minLines + 1);
        for (int i = 0; i < lines; ++i) {
            text += kCodeLines[pick(kCodeLines.size())];
            text += '\n';
        }
        return jsonEscaped(text);
    }

    QByteArray envelope(const char* type) {
        return joined(
            R"({"parentUuid":"3f2c9a1e-8b7d-4e6f-a5c4-)", number(1000000),
            R"(","isSidechain":false,"userType":"external","cwd":"/home/kim/src/brimlet",)"
            R"("sessionId":"b1d2e3f4-0a9b-4c8d-9e7f-6a5b4c3d2e1f","version":"1.0.51",)"
            R"("gitBranch":"main","type":")",
            type, R"(","uuid":"9c8b7a6d-5e4f-4a3b-2c1d-)", number(1000000),
            R"(","timestamp":"2025-08-01T10:)", number(60), R"(:00.000Z",)");
    }

    QByteArray textContent() {
        return joined(R"([{"type":"text","text":"Here is the change:\n\n```cpp\n)", code(10, 90),
                      R"(```\n그리고 테스트도 추가했습니다."}])");
    }

    QByteArray toolUseContent() {
        return joined(R"([{"type":"tool_use","id":"toolu_01)", number(100000),
                      R"(","name":"Edit","input":{"file_path":"/home/kim/src/brimlet/src/a.cpp",)"
                      R"("old_string":")",
                      code(3, 20), R"(","new_string":")", code(3, 20), R"("}}])");
    }

    QByteArray assistant(const QByteArray& content) {
        return joined(envelope("assistant"), R"("message":{"id":"msg_01)", number(1000000),
                      R"(","type":"message","role":"assistant","model":")",
                      kModels[pick(kModels.size())], R"(","content":)", content,
                      R"(,"stop_reason":null,"stop_sequence":null,"usage":{"input_tokens":)",
                      number(50), R"(,"cache_creation_input_tokens":)", number(5000),
                      R"(,"cache_read_input_tokens":)", number(90000), R"(,"output_tokens":)",
                      number(2000), R"(,"service_tier":"standard"}},"requestId":"req_011)",
                      number(100000), "\"}");
    }

    QByteArray toolResult() {
        const QByteArray output = code(20, 160);
        return joined(envelope("user"),
                      R"("message":{"role":"user","content":[{"tool_use_id":"toolu_01)",
                      number(100000), R"(","type":"tool_result","content":")", output,
                      R"("}]},"toolUseResult":{"stdout":")", output,
                      R"(","stderr":"","interrupted":false,"isImage":false}})");
    }

    QByteArray prompt() {
        return joined(envelope("user"), R"("message":{"role":"user","content":")",
                      kPrompts[pick(kPrompts.size())], R"("}})");
    }

    QByteArray bookkeeping() {
        return joined(
            R"({"type":"summary","summary":"Activity monitor work","leafUuid":"7e6d5c4b-)",
            number(1000000), "\"}");
    }

    std::mt19937 random_{20250801};
};

}  // namespace

QByteArray generatedTranscript(qsizetype approximateBytes) {
    Generator generator;
    QByteArray text;
    text.reserve(approximateBytes + 64 * 1024);
    while (text.size() < approximateBytes) {
        text += generator.line();
        text += '\n';
    }
    return text;
}

}  // namespace brimlet::bench
