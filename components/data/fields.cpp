#include "data/fields.h"

#include <algorithm>

#include "data/file.h"
#include "util/utilities.h"

namespace velmor::data {

namespace {
// Positions and lengths beyond any real record are held at this size, so
// that sums of them never overflow.
constexpr FilePos kLimit = FilePos{1} << 48;
FilePos Bound(FilePos v) {
    return std::clamp(v, -kLimit, kLimit);
}
}  // namespace

void Field::SetName(const std::string& v) {
    if (name_ == v) return;
    name_ = v;
    Changed();
}

void Field::SetFormat(const copybook::FieldFormat& format) {
    format_ = format;
    Changed();
}

void Field::SetStartingPosition(FilePos v) {
    v = Bound(v);
    if (start_ == v) return;
    start_ = v;
    Changed();
}

void Field::SetLength(FilePos v) {
    v = Bound(v);
    if (length_ == v) return;
    length_ = v;
    Changed();
}

void Field::SetEndingPosition(FilePos v) {
    SetLength(Bound(v) - start_ + 1);
}

std::string Field::Value() const {
    if (!owner_ || index_ < 1) return {};
    return owner_->FieldValue(index_);
}

void Field::ShiftTo(const Field& previous) {
    // The first field after a deleted one has an unshifted predecessor (the
    // deleted field); every later one follows its predecessor's distance.
    FilePos distance = previous.shifted_ ? previous.shiftedBy_ : start_ - previous.start_;
    if (&previous == this) distance = 0;
    start_ -= distance;
    shiftedBy_ = distance;
    shifted_ = true;
    if (collection_) collection_->shifting_ = true;
    Changed();
}

void Field::Changed() {
    if (collection_) collection_->Changed();
}

Field* Fields::Item(int index) {
    if (index < 1 || index > Count()) return nullptr;
    return items_[static_cast<size_t>(index - 1)].get();
}

const Field* Fields::Item(int index) const {
    if (index < 1 || index > Count()) return nullptr;
    return items_[static_cast<size_t>(index - 1)].get();
}

Field* Fields::Item(std::string_view name) {
    return Item(IndexOf(name));
}

const Field* Fields::Item(std::string_view name) const {
    return Item(IndexOf(name));
}

int Fields::IndexOf(std::string_view name) const {
    for (size_t i = 0; i < items_.size(); ++i) {
        if (util::EqualsNoCase(items_[i]->name_, name)) return static_cast<int>(i) + 1;
    }
    return 0;
}

Field& Fields::Add(const std::string& name, FilePos length, const std::string& /*format*/,
                   FilePos startingPosition) {
    auto field = std::make_unique<Field>();
    field->name_ = name;
    field->length_ = Bound(length);
    if (startingPosition > 0) {
        field->start_ = Bound(startingPosition);
    } else {
        field->start_ = items_.empty() ? 1 : items_.back()->EndingPosition() + 1;
        if (field->start_ < 1) field->start_ = 1;
    }
    return Adopt(std::move(field), Count() + 1);
}

Field& Fields::Insert(int index, const std::string& name, FilePos length) {
    index = std::clamp(index, 1, Count() + 1);
    auto field = std::make_unique<Field>();
    field->name_ = name;
    field->length_ = Bound(length);
    if (index <= Count()) {
        Field& displaced = *items_[static_cast<size_t>(index - 1)];
        field->start_ = displaced.start_;
        displaced.start_ = Bound(displaced.start_ + std::max<FilePos>(Bound(length), 0));
    } else {
        field->start_ =
            items_.empty() ? 1 : std::max<FilePos>(items_.back()->EndingPosition() + 1, 1);
    }
    return Adopt(std::move(field), index);
}

bool Fields::Remove(int index) {
    if (index < 1 || index > Count()) return false;
    items_.erase(items_.begin() + (index - 1));
    EndShifting();
    Renumber();
    Changed();
    return true;
}

void Fields::Clear() {
    if (items_.empty()) return;
    items_.clear();
    Changed();
}

bool Fields::Exists(std::string_view name) const {
    return IndexOf(name) != 0;
}

void Fields::Sort() {
    std::stable_sort(items_.begin(), items_.end(),
                     [](const auto& a, const auto& b) { return a->start_ < b->start_; });
    EndShifting();
    Renumber();
    Changed();
}

int Fields::LastField() const {
    int best = 0;
    for (int i = 1; i <= Count(); ++i) {
        if (best == 0 || Item(i)->EndingPosition() > Item(best)->EndingPosition()) best = i;
    }
    return best;
}

void Fields::CopyFrom(const Fields& other) {
    if (&other == this) return;
    std::vector<std::unique_ptr<Field>> copies;
    copies.reserve(other.items_.size());
    for (const auto& source : other.items_) {
        auto field = std::make_unique<Field>();
        field->name_ = source->name_;
        field->start_ = source->start_;
        field->length_ = source->length_;
        field->format_ = source->format_;
        copies.push_back(std::move(field));
    }
    items_ = std::move(copies);
    Renumber();
    Changed();
}

void Fields::SetOwner(const File* owner) {
    owner_ = owner;
    for (auto& field : items_) field->owner_ = owner;
}

void Fields::Changed() {
    if (changed_) changed_();
}

Field& Fields::Adopt(std::unique_ptr<Field> field, int index) {
    Field& result = *field;
    const bool atEnd = index == Count() + 1;
    items_.insert(items_.begin() + (index - 1), std::move(field));
    EndShifting();
    if (atEnd) {
        // Appending (the common case, also for thousands of derived fields)
        // numbers only the new field.
        result.index_ = index;
        result.owner_ = owner_;
        result.collection_ = this;
    } else {
        Renumber();
    }
    Changed();
    return result;
}

void Fields::Renumber() {
    for (size_t i = 0; i < items_.size(); ++i) {
        items_[i]->index_ = static_cast<int>(i) + 1;
        items_[i]->owner_ = owner_;
        items_[i]->collection_ = this;
    }
}

void Fields::EndShifting() {
    if (!shifting_) return;
    shifting_ = false;
    for (auto& field : items_) {
        field->shiftedBy_ = 0;
        field->shifted_ = false;
    }
}

}  // namespace velmor::data
