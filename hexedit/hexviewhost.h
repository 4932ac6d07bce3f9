// What the hex editor needs of the record viewer: the open file's path,
// length and current record position, its text encoding, and a redraw
// after each write.
#pragma once

#include <cstdint>
#include <string>

#include "viewer/recordtext.h"

namespace velmor::hexedit {

class HexViewHost {
public:
    virtual ~HexViewHost() = default;
    virtual std::string PathAndName() = 0;
    virtual std::int64_t FileLength() = 0;
    virtual std::int64_t RecordStartByte() = 0;
    virtual void RefreshView() = 0;
    /// The data file was replaced by a new one: read it again.
    virtual void ReloadFile() = 0;
    /// How the viewer shows the file's text: typed text becomes these bytes.
    virtual viewer::DisplayEncoding TextEncoding() { return viewer::DisplayEncoding::Windows1252; }
};

}  // namespace velmor::hexedit
