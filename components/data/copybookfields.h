// A COBOL copybook as the layout of the open file: its elementary fields
// with their positions and value types, for the field editor's import and
// for velmor-data.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "copybook/copybook.h"
#include "data/fields.h"

namespace velmor::data {

/// True for the names copybooks go by: *.cpy, *.cob, *.cbl (case ignored).
bool IsCopybookName(std::string_view path);

/// Replaces Fields with the layout of the copybook Text. False with Error
/// ("line L, column C: ...") and Fields untouched when Text is no copybook;
/// Notes gets the remarks on clauses without effect (SYNC).
bool ImportCopybook(std::string_view text, const copybook::ResolveOptions& options, Fields& fields,
                    std::string& error, std::vector<std::string>& notes);

}  // namespace velmor::data
