// The viewer's only way to the records of the open file. Every read the
// viewer makes passes here and is counted, so that one can see the grid
// reads the file only for cells no tile already shows.
#pragma once

#include <QtGlobal>
#include <string>

#include "viewer/columnmap.h"

namespace velmor::data {
class File;
}

namespace velmor::viewer {

struct FieldLayout {
    std::string name;
    qint64 start = 0;
    qint64 length = 0;
    bool number = false;  ///< a typed number: shown decoded in field-name mode
    qint64 end() const { return start + length - 1; }
};

class RecordSource {
public:
    struct Counts {
        qint64 moves = 0;
        qint64 byteReads = 0;
        qint64 textReads = 0;
        qint64 reads() const { return byteReads + textReads; }
    };

    virtual ~RecordSource() = default;

    void MoveTo(qint64 record) {
        ++counts_.moves;
        DoMoveTo(record);
    }
    std::string GetBytes(qint64 start, qint64 length) {
        ++counts_.byteReads;
        return DoGetBytes(start, length);
    }
    std::string RecordText() {
        ++counts_.textReads;
        return DoRecordText();
    }
    const Counts& ReadCounts() const { return counts_; }
    void ResetCounts() { counts_ = {}; }

    virtual bool AtEnd() const = 0;
    virtual qint64 RecordCount() const = 0;
    virtual bool FixedLayout() const = 0;
    virtual bool IsFixed() const = 0;
    virtual bool IsDelimited() const = 0;
    /// Columns of the longest record: its bytes, or in field-name mode the
    /// columns of Columns().
    virtual qint64 RecordLength() const = 0;
    /// Bytes of the longest record, whatever the mode.
    virtual qint64 RecordBytes() const { return RecordLength(); }
    virtual bool ShowFieldNames() const = 0;
    virtual int FieldCount() const = 0;
    /// Field Index (1-based) of the layout, in the columns it is shown in.
    virtual FieldLayout Field(int index) const = 0;
    /// Where bytes stand on screen; identity but for typed numbers shown
    /// decoded in field-name mode.
    const ColumnMap& Columns() const { return columns_; }
    /// Value of field Index in the current record.
    virtual std::string FieldValue(int index) const = 0;
    virtual void SetLoading(bool loading) = 0;

protected:
    virtual void DoMoveTo(qint64 record) = 0;
    virtual std::string DoGetBytes(qint64 start, qint64 length) = 0;
    virtual std::string DoRecordText() = 0;

    ColumnMap columns_;

private:
    Counts counts_;
};

/// The records of the engine's open file.
class EngineRecordSource : public RecordSource {
public:
    explicit EngineRecordSource(data::File& file) : file_(file) {}

    /// Takes the file's mode and layout into the column map; when the map
    /// changes, the file's column position moves to where its byte now
    /// stands (a column of one mode is not a column of the other). Called
    /// before every positioning, so editors' changes are met; Column, when
    /// given, is moved alike.
    void Settle(qint64* column = nullptr);

    bool AtEnd() const override;
    qint64 RecordCount() const override;
    bool FixedLayout() const override;
    bool IsFixed() const override;
    bool IsDelimited() const override;
    qint64 RecordLength() const override;
    qint64 RecordBytes() const override;
    bool ShowFieldNames() const override;
    int FieldCount() const override;
    FieldLayout Field(int index) const override;
    std::string FieldValue(int index) const override;
    void SetLoading(bool loading) override;

protected:
    void DoMoveTo(qint64 record) override;
    std::string DoGetBytes(qint64 start, qint64 length) override;
    std::string DoRecordText() override;

private:
    data::File& file_;
};

/// What a tile's pixels depend on besides the records: the division, the
/// field layout and whether names are shown. Tiles drawn under another
/// stamp belong to another layout and are drawn again.
std::string LayoutStamp(const RecordSource& source);

}  // namespace velmor::viewer
