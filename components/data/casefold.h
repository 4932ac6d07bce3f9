// Simple case folding of Unicode code points, for finding text without
// regard to case in UTF-8 data. Only foldings that keep a character's UTF-8
// length are known, so a folded phrase is as long as every text it matches.
#pragma once

#include <string>
#include <vector>

namespace velmor::data {

/// The simple case fold of C (C itself when it has none).
char32_t FoldCase(char32_t c);

/// Every code point that folds to the same as C, C included, in order.
std::vector<char32_t> CaseVariants(char32_t c);

/// Appends C as UTF-8.
void AppendUtf8(char32_t c, std::string& out);

}  // namespace velmor::data
