// Text typed by the user becoming the bytes a data file holds it in: the
// search window's phrase, the hex view's characters and find/replace texts.
#pragma once

#include <QString>
#include <string>

#include "viewer/recordtext.h"

namespace velmor::viewer {

/// Typed Text as the bytes the file holds it in: UTF-8 as it is, otherwise
/// each character as its one byte of Windows-1252 (Latin-1 for EBCDIC
/// files). False, with Refusal naming the first character the encoding
/// lacks, when it cannot hold the whole text.
bool TypedBytes(const QString& text, DisplayEncoding encoding, std::string& bytes,
                QString& refusal);

}  // namespace velmor::viewer
