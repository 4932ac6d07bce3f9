// What the editors need of the record viewer behind them: its engine file,
// a redraw, and its horizontal scroll bar. The editors reach the viewer only
// through this, so they can be driven in tests with any viewer.
#pragma once

class QScrollBar;

namespace velmor::data {
class File;
}

namespace velmor::editors {

class ViewerHost {
public:
    virtual ~ViewerHost() = default;
    virtual data::File& File() = 0;
    /// Redraws the viewer from the engine: the editors' preview.
    virtual void RefreshView() = 0;
    /// The viewer's horizontal scroll bar; nullptr when it has none.
    virtual QScrollBar* HScroll1() = 0;
};

/// Copies Min, Max, SmallChange, LargeChange, Value and Visible of the
/// viewer's bar into Mirror, in that order. Nothing when Source is null.
void MirrorScrollBar(const QScrollBar* source, QScrollBar& mirror);

}  // namespace velmor::editors
