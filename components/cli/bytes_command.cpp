#include "cli/bytes_command.h"

#include <charconv>
#include <cstdint>
#include <cstdio>

#include "data/bytesearch.h"
#include "data/hexlist.h"

namespace velmor::cli {

namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;

struct BytesOptions {
    std::string command;
    std::vector<std::string> operands;
    bool hex = false;
    bool all = false;
    std::int64_t from = 1;
};

int Fail(const std::string& text, int status = kFailed) {
    std::fprintf(stderr, "velmor-data: %s\n", text.c_str());
    if (status == kUsage) std::fputs("Try \"velmor-data --help\".\n", stderr);
    return status;
}

bool Parse(const std::vector<std::string>& args, BytesOptions& options, std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--hex") {
            options.hex = true;
        } else if (a == "--all") {
            options.all = true;
        } else if (a == "--from") {
            const std::string text = i + 1 < args.size() ? args[++i] : std::string();
            auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), options.from);
            if (text.empty() || ec != std::errc() || end != text.data() + text.size() ||
                options.from < 1) {
                error = "--from needs a whole number of at least 1, not \"" + text + "\".";
                return false;
            }
        } else if (options.command.empty()) {
            options.command = a;
        } else {
            options.operands.push_back(a);
        }
    }
    const std::size_t wanted = options.command == "find" ? 2 : options.command == "replace" ? 3 : 0;
    if (wanted == 0) {
        error = "bytes needs \"find\" or \"replace\".";
        return false;
    }
    if (options.operands.size() != wanted) {
        error = "bytes " + options.command + " needs " +
                (wanted == 2 ? "FILE PATTERN." : "FILE FIND REPLACEMENT.");
        return false;
    }
    return true;
}

// The bytes a pattern argument stands for, read as the dialog reads it.
bool PatternBytes(const std::string& text, bool hex, std::string& bytes, std::string& error) {
    if (!hex) {
        bytes = text;
        return true;
    }
    if (!data::IsValidHexList(text)) {
        error = "The Hex List is invalid";
        return false;
    }
    return data::HexListToText(text, bytes, error);
}

int Find(const BytesOptions& options, const std::string& pattern) {
    if (pattern.empty()) return Fail(data::kNothingToFind);
    std::string out;
    auto flush = [&out] {
        std::fwrite(out.data(), 1, out.size(), stdout);
        out.clear();
    };
    const data::ByteFindResult result =
        data::FindAllBytes(options.operands[0], pattern, options.from, [&](std::int64_t position) {
            out += std::to_string(position);
            out += '\n';
            if (out.size() > (1 << 16)) flush();
            return options.all;
        });
    flush();
    if (!result.error.empty()) return Fail(result.error);
    return result.position > 0 ? 0 : kFailed;
}

}  // namespace

int RunBytesCommand(const std::vector<std::string>& args) {
    BytesOptions options;
    std::string error;
    if (!Parse(args, options, error)) return Fail(error, kUsage);
    std::string find, replacement;
    if (!PatternBytes(options.operands[1], options.hex, find, error)) return Fail(error);
    if (options.command == "find") return Find(options, find);
    if (!PatternBytes(options.operands[2], options.hex, replacement, error)) return Fail(error);
    const data::ByteReplaceResult result =
        data::ReplaceAllBytes(options.operands[0], find, replacement);
    if (!result.error.empty()) return Fail(result.error);
    std::printf("%lld\n", static_cast<long long>(result.replaced));
    return 0;
}

}  // namespace velmor::cli
