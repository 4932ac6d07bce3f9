// A loaded script: its lines and where its procedures begin and end.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "basic/parser.h"

namespace velmor::basic {

struct Procedure {
    ProcedureHeading heading;
    int headingLine = 0;  ///< 1-based line of "Sub ..."
    int endLine = 0;      ///< 1-based line of "End Sub"
};

/// Largest script file the interpreter reads.
constexpr std::uintmax_t kMaxScriptBytes = 16u << 20;

class Script {
public:
    /// Splits Text into lines (CR LF, LF or CR) and finds the procedures.
    /// False with Error and ErrorLine (1-based) when the structure is broken:
    /// a statement outside a procedure, a "Sub" inside a procedure, an "End
    /// Sub" without "Sub", a procedure without "End Sub", or a name used twice.
    bool Load(std::string_view text, std::string path, std::string& error, int& errorLine);

    /// Reads a file and loads it; the path is made absolute so that the
    /// script's folder is known. ErrorLine is 0 when the file cannot be read.
    bool LoadFile(const std::string& path, std::string& error, int& errorLine);

    const std::string& Path() const { return path_; }
    /// The script's folder, ending with the path separator.
    const std::string& Folder() const { return folder_; }
    /// Text of the 1-based line.
    const std::string& Line(int number) const {
        return lines_[static_cast<std::size_t>(number - 1)];
    }
    int LineCount() const { return static_cast<int>(lines_.size()); }
    /// The procedure of that name (any case); nullptr when there is none.
    const Procedure* Find(std::string_view name) const;
    /// The statement of a 1-based line inside a procedure as read at load
    /// time (or why it could not be read); nullptr for other lines.
    const ParseResult* Parsed(int number) const {
        return parsed_[static_cast<std::size_t>(number - 1)].get();
    }

private:
    bool ScanStructure(std::string& error, int& errorLine);
    bool ScanProcedureLine(Procedure& open, int number, std::string& error);

    std::string path_;
    std::string folder_;
    std::vector<std::string> lines_;
    std::vector<Procedure> procedures_;
    std::vector<std::unique_ptr<const ParseResult>> parsed_;  // per line; null outside procedures
};

}  // namespace velmor::basic
