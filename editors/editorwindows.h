// Hooks the connection wizard and the field editor onto the viewer's
// "&Data Connection..." and "&Fields..." menu items.
#pragma once

#include <functional>

#include "editors/viewerhost.h"

namespace velmor {
class frmFileView;
}

namespace velmor::editors {

/// The record viewer as the editors see it.
class FileViewHost : public ViewerHost {
public:
    explicit FileViewHost(frmFileView& viewer) : viewer_(viewer) {}
    data::File& File() override;
    void RefreshView() override;
    QScrollBar* HScroll1() override;

private:
    frmFileView& viewer_;
};

/// Registers both windows on the viewer: each is created on first use,
/// reused afterwards and shown modally. ShowLayoutConverter, when given,
/// enables the field editor's "Layout Converter".
void RegisterEditorWindows(frmFileView& viewer, std::function<void()> showLayoutConverter = {});

}  // namespace velmor::editors
