// Hooks the hex view onto the viewer's "&Hex View..." menu item.
#pragma once

#include "hexedit/hexviewhost.h"

namespace velmor {
class frmFileView;
}

namespace velmor::hexedit {

/// The record viewer as the hex view sees it.
class FileViewHexHost : public HexViewHost {
public:
    explicit FileViewHexHost(frmFileView& viewer) : viewer_(viewer) {}
    std::string PathAndName() override;
    std::int64_t FileLength() override;
    std::int64_t RecordStartByte() override;
    void RefreshView() override;
    void ReloadFile() override;
    viewer::DisplayEncoding TextEncoding() override;

private:
    frmFileView& viewer_;
};

/// The hex view is created on first use, reused, and opens each time at the
/// viewer's current record.
void RegisterHexWindows(frmFileView& viewer);

}  // namespace velmor::hexedit
