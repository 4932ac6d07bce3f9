#include "data/recorddump.h"

#include <algorithm>
#include <array>

#include "data/file.h"
#include "util/utilities.h"

namespace velmor::data {

namespace {

constexpr std::array<const char*, 7> kDays = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                              "Thursday", "Friday", "Saturday"};
constexpr std::array<const char*, 12> kMonths = {"January", "February", "March",     "April",
                                                 "May",     "June",     "July",      "August",
                                                 "September", "October", "November", "December"};

std::string TwoDigits(int n) {
    return std::string(1, static_cast<char>('0' + n / 10 % 10)) +
           static_cast<char>('0' + n % 10);
}

char HexDigit(int nibble) {
    return "0123456789ABCDEF"[nibble & 15];
}

}  // namespace

std::string RecordDump::PrintableText(const File& file) {
    std::string text;
    const Fields& fields = file.GetFields();
    if (file.GetConnection().IsDelimited() && file.ShowFieldNames()) {
        // No more than the raw record shows: fields stated longer than
        // their values never make the text grow past that.
        constexpr FilePos kMaxText = FilePos{16} << 20;
        for (int i = 1; i <= fields.Count() && static_cast<FilePos>(text.size()) < kMaxText; ++i) {
            const FilePos room = kMaxText - static_cast<FilePos>(text.size());
            const FilePos length = std::clamp<FilePos>(fields.Item(i)->Length(), 0, room);
            std::string value = file.FieldValue(i);
            value.resize(static_cast<std::size_t>(length), ' ');
            text += value;
        }
    } else {
        text = file.RecordText();
    }
    util::RemoveText(text, "\r\n", true);
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 30) c = ' ';
    return text;
}

std::string RecordDump::GroupThousands(RecordNo number) {
    std::string digits = std::to_string(number < 0 ? -number : number);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return number < 0 ? "-" + out : out;
}

std::string RecordDump::LongDate(const std::tm& t) {
    return std::string(kDays[static_cast<std::size_t>(t.tm_wday % 7)]) + ", " +
           kMonths[static_cast<std::size_t>(t.tm_mon % 12)] + " " + std::to_string(t.tm_mday) +
           ", " + std::to_string(t.tm_year + 1900);
}

std::string RecordDump::ClockTime(const std::tm& t) {
    const int hour = t.tm_hour % 12 == 0 ? 12 : t.tm_hour % 12;
    return TwoDigits(hour) + ":" + TwoDigits(t.tm_min) + ":" + TwoDigits(t.tm_sec) +
           (t.tm_hour < 12 ? " AM" : " PM");
}

std::vector<std::string> RecordDump::HeaderLines(const std::string& pathAndName, RecordNo record,
                                                 FilePos recordLength, const std::tm& now) {
    return {"File Name: " + pathAndName, "Record Number: " + GroupThousands(record),
            "Record Length: " + std::to_string(recordLength), "Date: " + LongDate(now),
            "Time: " + ClockTime(now)};
}

std::vector<std::string> RecordDump::BlockLines(std::string_view text, FilePos recordLength,
                                                FilePos first) {
    std::vector<std::string> lines;
    const auto size = static_cast<FilePos>(text.size());
    const FilePos shown = std::min(recordLength - (first - 1), std::max<FilePos>(size, 1));
    const FilePos blocks = shown > 0 ? (shown + kBlockWidth - 1) / kBlockWidth : 0;
    for (FilePos b = 1; b <= blocks; ++b) {
        const FilePos s = (b - 1) * kBlockWidth + 1;
        const FilePos e = b * kBlockWidth;
        std::string hundreds, tens, units, high, low;
        for (FilePos q = s; q <= e; ++q) {
            const FilePos p = q + first - 1;
            hundreds += p % 100 == 0 ? std::to_string(p / 100) : " ";
            tens += p % 10 == 0 ? static_cast<char>('0' + p / 10 % 10) : ' ';
            units += static_cast<char>('0' + p % 10);
        }
        const std::string_view part =
            s <= size ? text.substr(static_cast<std::size_t>(s - 1), kBlockWidth) : "";
        for (const char c : part) {
            high += HexDigit(static_cast<unsigned char>(c) >> 4);
            low += HexDigit(static_cast<unsigned char>(c));
        }
        lines.insert(lines.end(), {"", "", hundreds, tens, units, std::string(part), high, low});
    }
    return lines;
}

FilePos RecordDump::StatedLength(const File& file) {
    const Connection& c = file.GetConnection();
    return c.IsVariable() ? static_cast<FilePos>(file.RecordText().size()) : c.RecordLength();
}

std::vector<std::string> RecordDump::Lines(File& file, RecordNo record, const std::tm& now) {
    file.MoveTo(record);
    const FilePos length = StatedLength(file);
    std::vector<std::string> lines = HeaderLines(file.PathAndName(), record, length, now);
    const std::vector<std::string> blocks = BlockLines(PrintableText(file), length);
    lines.insert(lines.end(), blocks.begin(), blocks.end());
    return lines;
}

bool RecordDump::IsRecordTextLine(std::size_t index) {
    constexpr std::size_t kHeader = 5, kBlock = 8, kTextInBlock = 5;
    return index >= kHeader && (index - kHeader) % kBlock == kTextInBlock;
}

}  // namespace velmor::data
