// The layout a conversion script carries for its source, so that a re-run
// reads the source as the conversion did wherever the data has moved since:
// a connection file kept in the user's folder is keyed by the data file's
// full path, and would not be found there. Shared by the data converter
// window, "velmor-data convert --script" and the engine's Converter.
#pragma once

#include <string>
#include <string_view>

namespace velmor::data {

class File;

/// The connection file's text of File's connection and fields in force; ""
/// for a dBase table shown with its own header's fields, which move with it.
std::string CarriedConnection(const File& file);

/// Makes Text (a connection file's text) the connection and fields of the
/// open File, as if read from its connection file. False with Error (what is
/// wrong, no full stop) when the text is no connection file.
bool ApplyCarriedConnection(File& file, std::string_view text, std::string& error);

}  // namespace velmor::data
