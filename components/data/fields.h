// The field layout of a record: names and 1-based byte positions.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "copybook/fieldformat.h"
#include "data/types.h"

namespace velmor::data {

class File;

class Field {
public:
    const std::string& Name() const { return name_; }
    void SetName(const std::string& v);
    FilePos StartingPosition() const { return start_; }
    void SetStartingPosition(FilePos v);  // keeps Length, moves EndingPosition
    FilePos Length() const { return length_; }
    void SetLength(FilePos v);  // keeps StartingPosition
    FilePos EndingPosition() const { return start_ + length_ - 1; }
    void SetEndingPosition(FilePos v);  // keeps StartingPosition, sets Length

    /// The field's value in the owning file's current record ("" when the
    /// layout belongs to no open file). Delimited files: the unqualified text
    /// of the field with the same index; fixed files: the bytes at its
    /// positions (EBCDIC translated).
    std::string Value() const;

    /// Takes over the position of Previous (used while deleting a field, so
    /// the fields after it close the gap). Called for each field after the
    /// deleted one in ascending order: the first takes the deleted field's
    /// StartingPosition, each later one moves left by the same distance, so
    /// the gaps between the remaining fields are kept.
    void ShiftTo(const Field& previous);

    /// 1-based index in the owning layout (0 when in none).
    int Index() const { return index_; }

    /// How the field keeps its value (a copybook's picture and usage); text
    /// unless set. Value() decodes numbers by it.
    const copybook::FieldFormat& Format() const { return format_; }
    void SetFormat(const copybook::FieldFormat& format);

private:
    friend class Fields;
    void Changed();

    std::string name_;
    FilePos start_ = 1;
    FilePos length_ = 0;
    FilePos shiftedBy_ = 0;  ///< distance of the last ShiftTo of the current delete
    bool shifted_ = false;
    int index_ = 0;
    copybook::FieldFormat format_;
    const File* owner_ = nullptr;
    class Fields* collection_ = nullptr;
};

class Fields {
public:
    Fields() = default;
    Fields(const Fields&) = delete;
    Fields& operator=(const Fields&) = delete;

    int Count() const { return static_cast<int>(items_.size()); }
    /// 1-based; nullptr when out of range.
    Field* Item(int index);
    const Field* Item(int index) const;
    /// Name compared without regard to case; nullptr when absent.
    Field* Item(std::string_view name);
    const Field* Item(std::string_view name) const;
    /// 1-based index of the named field, 0 when absent.
    int IndexOf(std::string_view name) const;

    /// Appends a field after the last one; a StartingPosition of 0 or less
    /// places it directly after the current last field.
    Field& Add(const std::string& name, FilePos length, const std::string& format = {},
               FilePos startingPosition = 0);
    /// Puts a new field at Index (1-based; clamped to 1..Count + 1); later
    /// fields move one index up. The new field takes the StartingPosition of
    /// the field it displaces, which moves right by Length (so splitting a
    /// field keeps both halves side by side); at the end it follows the last.
    Field& Insert(int index, const std::string& name, FilePos length);
    /// Removes the field at Index; false when Index is out of range.
    bool Remove(int index);
    void Clear();
    bool Exists(std::string_view name) const;
    /// Orders the fields by StartingPosition (stable).
    void Sort();
    /// Index of the field that ends furthest right (0 when empty).
    int LastField() const;
    /// Copies the other layout's names and positions (not its owner).
    void CopyFrom(const Fields& other);

    /// The layout without any owning file (for copies kept by windows).
    const File* Owner() const { return owner_; }

    /// Called after any change of the layout; the owning File hooks it.
    void SetChangeHook(std::function<void()> hook) { changed_ = std::move(hook); }
    void SetOwner(const File* owner);

private:
    friend class Field;
    void Changed();
    Field& Adopt(std::unique_ptr<Field> field, int index);

    void Renumber();
    void EndShifting();

    std::vector<std::unique_ptr<Field>> items_;
    bool shifting_ = false;  ///< a delete is moving fields (ShiftTo)
    const File* owner_ = nullptr;
    std::function<void()> changed_;
};

}  // namespace velmor::data
