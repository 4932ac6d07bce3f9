// Hooks the tool windows onto the viewer: "File &Converter..." (modeless),
// "Field Code Counter..." (modal) and the field editor's "Layout Converter".
#pragma once

#include <functional>

#include "tools/toolhost.h"

namespace velmor {
class frmFileView;
}

namespace velmor::tools {

/// The record viewer as the tool windows see it.
class FileViewToolHost : public ToolHost {
public:
    explicit FileViewToolHost(frmFileView& viewer) : viewer_(viewer) {}
    data::File& File() override;
    void RefreshView() override;
    bool AddFile(const QString& pathAndName) override;

private:
    frmFileView& viewer_;
};

/// Registers the data converter and the field code counter on the viewer's
/// menus; each window is created on first use and reused.
void RegisterToolWindows(frmFileView& viewer);

/// Shows the layout converter modally over the viewer's open file: what the
/// field editor's "Layout Converter" runs.
std::function<void()> LayoutConverterOpener(frmFileView& viewer);

}  // namespace velmor::tools
