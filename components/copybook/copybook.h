// COBOL copybooks: the record layout of a mainframe file. Parse reads the
// data description entries (columns 7 to 72); Resolve lays out the elementary
// fields of one record, choosing among REDEFINES and, for OCCURS DEPENDING ON,
// taking the counts from the record itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "copybook/fieldformat.h"

namespace velmor::copybook {

struct CopybookError {
    int line = 0;    ///< 1-based copybook line
    int column = 0;  ///< 1-based column
    std::string message;
    /// "line L, column C: message"
    std::string Text() const;
};

struct CopybookField {
    std::string name;  ///< NAME, or NAME(1) / NAME(1,2) inside OCCURS
    std::int64_t offset = 0;  ///< 0-based byte in the record
    FieldFormat format;
    bool filler = false;
    int line = 0;  ///< copybook line of its entry
    std::vector<std::string> conditions;  ///< its level-88 condition names
};

struct ResolveOptions {
    /// Names of REDEFINES alternatives (or of further 01 records) to show
    /// instead of the first layout of their area; case ignored.
    std::vector<std::string> redefines;
    bool fillers = false;  ///< list FILLER items as fields
    Charset charset = Charset::Ebcdic;  ///< to read DEPENDING ON counters
};

struct Layout {
    std::vector<CopybookField> fields;
    std::int64_t length = 0;  ///< bytes of the chosen record layout
    /// Empty, or why a DEPENDING ON count of the record could not be used
    /// (the largest count was used instead).
    std::string problem;
};

class Copybook {
public:
    /// Nullopt with Error on text that is not a copybook this reader handles.
    static std::optional<Copybook> Parse(std::string_view text, CopybookError& error);

    /// Remarks on clauses read but without effect ("line 4: SYNC ignored").
    const std::vector<std::string>& Notes() const { return notes_; }
    /// Names a ResolveOptions::redefines entry may select.
    std::vector<std::string> Alternatives() const;
    /// The first unknown name of Options.redefines, empty when all are known.
    std::string UnknownAlternative(const ResolveOptions& options) const;

    /// The fields of a record. Without Record (or with one too short for a
    /// counter) every OCCURS DEPENDING ON takes its largest count.
    Layout Resolve(const ResolveOptions& options, std::string_view record = {}) const;
    /// True when a record's layout depends on its contents.
    bool Variable() const { return variable_; }

    struct Node {
        int level = 0;
        std::string name;
        bool filler = false;
        int line = 0, column = 0;
        std::string picture;
        std::string usage;
        SignForm sign = SignForm::None;
        bool signGiven = false, signLeading = false, signSeparate = false;
        int occursMin = 1, occursMax = 1;
        std::string dependsOn;
        std::string redefines;
        std::vector<std::string> conditions;
        std::vector<int> children;  ///< indices into nodes_
        FieldFormat format;         ///< elementary items
        std::int64_t size = 0;      ///< one occurrence, largest
        std::int64_t items = 1;     ///< elementary items of one occurrence, at most
    };

private:
    struct Walk;
    std::vector<Node> nodes_;  ///< nodes_[0] is the root holding the records
    std::vector<std::string> notes_;
    bool variable_ = false;
    friend struct Parser;
};

}  // namespace velmor::copybook

namespace velmor::copybook {

/// The clauses that give Format ("PIC S9(5)V99 COMP-3", "COMP-1",
/// "PIC S9(3) SIGN LEADING SEPARATE"); empty for text fields.
std::string FormatClauses(const FieldFormat& format);
/// The format those clauses give; false with Error when they give none.
bool FormatFromClauses(std::string_view clauses, FieldFormat& format, std::string& error);

}  // namespace velmor::copybook
