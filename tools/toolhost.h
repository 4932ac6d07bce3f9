// What the tool windows need of the record viewer: its engine file, a
// redraw, and opening another file. They reach the viewer only through this,
// so tests drive them behind a real viewer or a stand-in.
#pragma once

class QString;

namespace velmor::data {
class File;
}

namespace velmor::tools {

class ToolHost {
public:
    virtual ~ToolHost() = default;
    virtual data::File& File() = 0;
    virtual void RefreshView() = 0;
    /// Opens PathAndName in the viewer; false when it does not exist.
    virtual bool AddFile(const QString& pathAndName) = 0;
};

}  // namespace velmor::tools
