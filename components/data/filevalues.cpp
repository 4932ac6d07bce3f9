// A detected delimited layout comes from the first records only; counting
// reads every record anyway, so it also finds the most values one record
// holds, and the layout gains the fields it lacks. A layout the user saved
// (connection or format file) or edited never changes.
#include <algorithm>

#include "data/fileimpl.h"

namespace velmor::data {

namespace {

bool Detected(const FileImpl& impl, bool layoutDerived) {
    return impl.kind == FileImpl::Kind::Delimited && impl.delimited && layoutDerived &&
           !impl.delimited->Scanner().Get().field.empty();
}

}  // namespace

void FileImpl::FollowCountedValues() {
    const bool on = Detected(*this, layoutSource_ == LayoutSource::Derived);
    if (!delimited) return;
    // An index counted without the values (a saved layout's, an older
    // version's) would hide the widest record: count again when asked.
    if (on && untallied_) delimited->ForgetCount();
    untallied_ = false;
    delimited->TallyValues(on);
    delimited->MoreValues = [this](std::int64_t most) { AddCountedFields(most); };
    if (on) AddCountedFields(delimited->Index().mostValues);  // from a reused index
}

void FileImpl::AddCountedFields(std::int64_t most) {
    if (!Detected(*this, layoutSource_ == LayoutSource::Derived)) return;
    const auto want = static_cast<int>(std::min<std::int64_t>(most, kMaxDerivedFields));
    if (want <= fields.Count()) return;
    const bool before = dividing_;
    dividing_ = true;
    for (int i = fields.Count() + 1; i <= want; ++i) {
        // Named as detection names a column without a name; a names row
        // may have taken that name already.
        std::string name;
        for (int n = i; name.empty() || fields.Exists(name); ++n) name = "Field" + std::to_string(n);
        fields.Add(name, static_cast<FilePos>(name.size()));
    }
    TileDelimitedFields();
    grew_ = true;
    dividing_ = before;
}

void FileImpl::CompleteLayout() {
    if (!Detected(*this, layoutSource_ == LayoutSource::Derived) || delimited->Complete()) return;
    delimited->CountTo(INT64_MAX, owner.OnProgress);
    SaveIndex();
    LayoutGrew();
}

}  // namespace velmor::data
