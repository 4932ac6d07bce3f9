#include "editors/viewerhost.h"

#include <QScrollBar>
#include <QSignalBlocker>

namespace velmor::editors {

void MirrorScrollBar(const QScrollBar* source, QScrollBar& mirror) {
    if (source == nullptr) return;
    // Narrowing the range first may move the mirror's thumb; that move must
    // not travel back and scroll the viewer.
    const QSignalBlocker quiet(&mirror);
    mirror.setMinimum(source->minimum());
    mirror.setMaximum(source->maximum());
    mirror.setSingleStep(source->singleStep());
    mirror.setPageStep(source->pageStep());
    mirror.setValue(source->value());
    // The viewer may itself be hidden behind a modal editor; what counts is
    // whether the viewer chose to show its bar.
    mirror.setVisible(!source->isHidden());
}

}  // namespace velmor::editors
