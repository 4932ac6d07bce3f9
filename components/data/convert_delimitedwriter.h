// Records of a delimited source written delimited again, in order, on one
// thread: each value qualified where the target's delimiters need it, as
// DelimitedFormat::AppendRecord writes it. A record taken in pieces is read
// through once before (QualifierNeeds), since a value's opening qualifier
// goes before its first byte. Internal to convert_fast.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/convert_fast.h"
#include "data/convert_format.h"
#include "data/convert_output.h"
#include "data/convert_visitors.h"

namespace velmor::data::splitting {

/// Which values of a record need the qualifier.
struct QualifierNeeds {
    const DelimitedFormat* format = nullptr;
    std::vector<bool> needs;
    bool current = false;

    void Piece(const char* p, std::size_t n) {
        current = current || format->NeedsQualifier(std::string_view(p, n));
    }
    void EndValue(bool) {
        needs.push_back(current);
        current = false;
    }
    void RestartRecord() {
        needs.clear();
        current = false;
    }
    bool Failed() const { return false; }
};

class DelimitedWriter {
public:
    enum class Problem { None, RunTogether, Unqualifiable };

    DelimitedWriter(const DelimitedFormat& format, ValueShape shape, StagedOutput& out,
                    std::size_t columns)
        : format_(format),
          shape_(shape),
          out_(out),
          columns_(columns),
          field_(format.FieldDelimiter()),
          qualifier_(format.Qualifier()) {
        ahead_.format = &format;
    }

    void Batch(const char* data, std::size_t start, const std::uint32_t* ends, std::size_t count) {
        for (std::size_t k = 0; k < count; ++k) {
            const std::size_t at = ends[k];
            const bool recordEnd = shape_.EndsRecord(data, at);
            const std::string_view value =
                ValueOf(shape_, {data + start, shape_.ValueEnd(at, recordEnd) - start}, scratch_);
            start = at + 1;
            Put(value);
            if (recordEnd) EndRecord();
        }
    }
    void Record(const Values& values) {
        RestartRecord();
        for (std::string_view v : values) Put(v);
        EndRecord();
    }
    void RestartRecord() {
        if (mark_ <= line_.size()) line_.resize(mark_);
        value_ = 0;
        started_ = false;
        runTogether_ = unqualifiable_ = false;
    }
    /// Before a record comes in pieces: which of its values need the qualifier.
    QualifierNeeds& LookAhead() { return ahead_; }
    void Piece(const char* p, std::size_t n) {
        if (!started_) StartValue(value_ < ahead_.needs.size() && ahead_.needs[value_]);
        if (!quoted_) {
            line_.append(p, n);
        } else {
            const std::string_view piece(p, n);
            std::size_t from = 0;
            for (std::size_t at; (at = piece.find(qualifier_[0], from)) != std::string_view::npos;
                 from = at + 1) {
                line_.append(piece.substr(from, at + 1 - from));
                line_ += qualifier_[0];
            }
            line_.append(piece.substr(from));
        }
        if (line_.size() >= kFlushBytes) Flush();  // the record cannot be restarted now
    }
    void EndValue(bool recordEnd) {
        if (!started_) StartValue(false);
        if (quoted_) line_ += qualifier_;
        started_ = quoted_ = false;
        ++value_;
        if (recordEnd) EndRecord();
    }
    bool Failed() const { return problem_ != Problem::None || writeFailed_; }
    /// Writes what is gathered; false on a write failure.
    bool Finish() {
        if (!Failed()) Flush();
        return !Failed();
    }
    Problem Trouble() const { return problem_; }
    bool WriteFailed() const { return writeFailed_; }
    std::uint64_t Records() const { return records_; }

private:
    static constexpr std::size_t kFlushBytes = std::size_t{1} << 20;

    void StartValue(bool needs) {
        started_ = true;
        if (value_ > 0) {
            runTogether_ = runTogether_ || field_.empty();
            line_ += field_;
        }
        unqualifiable_ = unqualifiable_ || (needs && qualifier_.empty());
        quoted_ = needs && !qualifier_.empty();
        if (quoted_) line_ += qualifier_;
    }
    void Put(std::string_view value) {
        if (value_ > 0) {
            runTogether_ = runTogether_ || field_.empty();
            line_ += field_;
        }
        if (!qualifier_.empty()) {
            format_.AppendValue(value, line_);
        } else {
            unqualifiable_ = unqualifiable_ || format_.NeedsQualifier(value);
            line_.append(value);
        }
        ++value_;
    }
    void EndRecord() {
        if (runTogether_ || unqualifiable_) {
            problem_ = runTogether_ ? Problem::RunTogether : Problem::Unqualifiable;
            return;
        }
        for (; value_ < columns_; ++value_) line_ += field_;
        line_ += format_.RecordDelimiter();
        ++records_;
        value_ = 0;
        if (line_.size() >= kFlushBytes) Flush();
        mark_ = line_.size();
    }
    void Flush() {
        if (!writeFailed_ && !out_.Write(line_)) writeFailed_ = true;
        line_.clear();
        mark_ = 0;
    }

    const DelimitedFormat& format_;
    ValueShape shape_;
    StagedOutput& out_;
    std::size_t columns_;
    std::string field_;
    std::string qualifier_;
    QualifierNeeds ahead_;
    std::string line_;
    std::size_t mark_ = 0;   ///< where the record being written starts in Line
    std::size_t value_ = 0;  ///< values of the record so far
    bool started_ = false;   ///< a value in pieces has begun
    bool quoted_ = false;
    bool runTogether_ = false;
    bool unqualifiable_ = false;
    Problem problem_ = Problem::None;
    bool writeFailed_ = false;
    std::uint64_t records_ = 0;
    std::string scratch_;
};

}  // namespace velmor::data::splitting
