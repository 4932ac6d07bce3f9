// Laying out the elementary fields of one record of a copybook.
#include <algorithm>
#include <map>

#include "copybook/copybook.h"
#include "copybook/decode.h"

namespace velmor::copybook {
namespace {

bool Listed(const std::vector<std::string>& names, const std::string& name) {
    for (const std::string& n : names) {
        if (n.size() != name.size()) continue;
        bool same = true;
        for (size_t i = 0; i < n.size() && same; ++i)
            same = std::toupper(static_cast<unsigned char>(n[i])) ==
                   std::toupper(static_cast<unsigned char>(name[i]));
        if (same) return true;
    }
    return false;
}

// The areas of a group: each item that redefines nothing, with the items
// that redefine it after it.
std::vector<std::vector<int>> Areas(const std::vector<Copybook::Node>& nodes, const Copybook::Node& group,
                                    bool records) {
    std::vector<std::vector<int>> areas;
    for (int c : group.children) {
        if (areas.empty() || (!records && nodes[static_cast<size_t>(c)].redefines.empty()))
            areas.emplace_back();
        areas.back().push_back(c);
    }
    return areas;
}

}  // namespace

struct Copybook::Walk {
    const Copybook& book;
    const ResolveOptions& options;
    std::string_view record;
    Layout& out;
    std::map<std::string, std::pair<std::int64_t, const FieldFormat*>> laid;

    const Node& At(int i) const { return book.nodes_[static_cast<size_t>(i)]; }

    int Chosen(const std::vector<int>& area) const {
        for (int m : area)
            if (Listed(options.redefines, At(m).name)) return m;
        return area.front();
    }

    int CountOf(const Node& n) {
        if (n.dependsOn.empty()) return n.occursMax;
        auto it = laid.find(n.dependsOn);
        if (it == laid.end()) {
            if (out.problem.empty())
                out.problem = "The counter " + n.dependsOn + " of " + n.name + " comes after it.";
            return n.occursMax;
        }
        const auto [offset, format] = it->second;
        if (record.empty() || offset + format->length > static_cast<std::int64_t>(record.size()))
            return n.occursMax;
        std::string value;
        const ValueState state = Decode(*format, record.substr(static_cast<size_t>(offset),
                                                               static_cast<size_t>(format->length)),
                                        {options.charset, FloatFormat::Ibm}, value);
        long count = -1;
        if (state == ValueState::Value && !value.empty() && value.size() < 9 &&
            value.find_first_not_of("0123456789") == std::string::npos)
            count = std::stol(value);
        if (count >= n.occursMin && count <= n.occursMax) return static_cast<int>(count);
        if (out.problem.empty())
            out.problem = "The count " + n.dependsOn + " = " + (value.empty() ? "(empty)" : value) +
                          " is outside " + std::to_string(n.occursMin) + " to " +
                          std::to_string(n.occursMax) + "; the largest count is used.";
        return n.occursMax;
    }

    std::int64_t Item(int index, std::int64_t offset, const std::string& subs) {
        const Node& n = At(index);
        const bool table = n.occursMax > 1 || !n.dependsOn.empty();
        const int count = CountOf(n);
        std::int64_t pos = offset;
        for (int k = 1; k <= count; ++k) {
            const std::string inner =
                table ? (subs.empty() ? "" : subs + ",") + std::to_string(k) : subs;
            pos += Occurrence(n, pos, inner);
        }
        return pos - offset;
    }

    std::int64_t Occurrence(const Node& n, std::int64_t offset, const std::string& subs) {
        if (n.children.empty()) {
            if (!n.filler) laid[n.name] = {offset, &n.format};
            if (!n.filler || options.fillers) {
                CopybookField f;
                f.name = (n.filler ? std::string("FILLER") : n.name) +
                         (subs.empty() ? "" : "(" + subs + ")");
                f.offset = offset;
                f.format = n.format;
                f.filler = n.filler;
                f.line = n.line;
                f.conditions = n.conditions;
                out.fields.push_back(std::move(f));
            }
            return n.format.length;
        }
        std::int64_t pos = offset;
        for (const std::vector<int>& area : Areas(book.nodes_, n, false)) {
            const int chosen = Chosen(area);
            std::int64_t size = Item(chosen, pos, subs);
            for (int m : area)
                if (m != chosen) size = std::max(size, At(m).size * At(m).occursMax);
            pos += size;
        }
        return pos - offset;
    }
};

Layout Copybook::Resolve(const ResolveOptions& options, std::string_view record) const {
    Layout out;
    Walk walk{*this, options, record, out, {}};
    const std::vector<std::vector<int>> records = Areas(nodes_, nodes_[0], true);
    if (records.empty()) return out;
    out.length = walk.Item(walk.Chosen(records.front()), 0, {});
    return out;
}

std::vector<std::string> Copybook::Alternatives() const {
    std::vector<std::string> names;
    for (const Node& n : nodes_) {
        if (n.children.empty()) continue;
        for (const std::vector<int>& area : Areas(nodes_, n, n.level == 0 && &n == &nodes_[0]))
            if (area.size() > 1)
                for (int m : area) names.push_back(nodes_[static_cast<size_t>(m)].name);
    }
    return names;
}

std::string Copybook::UnknownAlternative(const ResolveOptions& options) const {
    const std::vector<std::string> names = Alternatives();
    for (const std::string& wanted : options.redefines)
        if (!Listed(names, wanted)) return wanted;
    return {};
}

}  // namespace velmor::copybook

namespace velmor::copybook {

std::string FormatClauses(const FieldFormat& format) {
    if (format.type == FieldType::Text) return {};
    std::string out = format.picture.empty() ? std::string() : "PIC " + format.picture;
    if (format.usage != "DISPLAY") out += (out.empty() ? "" : " ") + format.usage;
    if (format.sign == SignForm::LeadingOverpunch) out += " SIGN LEADING";
    if (format.sign == SignForm::LeadingSeparate) out += " SIGN LEADING SEPARATE";
    if (format.sign == SignForm::TrailingSeparate) out += " SIGN TRAILING SEPARATE";
    return out;
}

bool FormatFromClauses(std::string_view clauses, FieldFormat& format, std::string& error) {
    if (clauses.find_first_of(".\r\n") != std::string_view::npos &&
        clauses.find_first_of("\r\n") != std::string_view::npos) {
        error = "the type \"" + std::string(clauses) + "\" is not one line";
        return false;
    }
    CopybookError failure;
    const std::string text = "       01 R.\n       05 F " + std::string(clauses) + " .\n";
    auto book = Copybook::Parse(text, failure);
    const Layout layout = book ? book->Resolve({}) : Layout{};
    if (!book || layout.fields.size() != 1) {
        error = "the type \"" + std::string(clauses) + "\" is not a picture and usage" +
                (book ? std::string() : ": " + failure.message);
        return false;
    }
    format = layout.fields.front().format;
    return true;
}

}  // namespace velmor::copybook
