#include "data/dbaseheader.h"

#include <algorithm>

namespace velmor::data {

namespace {

unsigned Byte(std::string_view s, size_t at) {
    return static_cast<unsigned char>(s[at]);
}

std::uint32_t Le32(std::string_view s, size_t at) {
    return Byte(s, at) | (Byte(s, at + 1) << 8) | (Byte(s, at + 2) << 16) |
           (static_cast<std::uint32_t>(Byte(s, at + 3)) << 24);
}

unsigned Le16(std::string_view s, size_t at) {
    return Byte(s, at) | (Byte(s, at + 1) << 8);
}

bool KnownVersion(unsigned char v) {
    switch (v) {
        case 0x02:
        case 0x03:
        case 0x04:
        case 0x05:
        case 0x30:
        case 0x31:
        case 0x32:
        case 0x43:
        case 0x63:
        case 0x83:
        case 0x8B:
        case 0x8C:
        case 0x8E:
        case 0xCB:
        case 0xE5:
        case 0xF5:
        case 0xFB:
            return true;
        default:
            return false;
    }
}

std::string FieldName(std::string_view raw) {
    std::string name(raw.substr(0, raw.find('\0')));
    while (!name.empty() && name.back() == ' ') name.pop_back();
    return name;
}

}  // namespace

bool ReadDbaseHeader(std::string_view head, FilePos fileSize, DbaseHeader& header,
                     std::string& error) {
    header = DbaseHeader{};
    if (head.size() < 32 || fileSize < 32) {
        error = "The dBase header is damaged: the file is shorter than a header.";
        return false;
    }
    header.version = static_cast<unsigned char>(head[0]);
    header.recordCount = static_cast<RecordNo>(Le32(head, 4));
    header.headerLength = static_cast<FilePos>(Le16(head, 8));
    header.recordLength = static_cast<FilePos>(Le16(head, 10));
    const bool level7 = (header.version & 0x07) == 0x04;
    const size_t first = level7 ? 68 : 32;
    const size_t size = level7 ? 48 : 32;
    const size_t nameLength = level7 ? 32 : 11;
    if (header.headerLength < static_cast<FilePos>(first + 1) || header.headerLength > fileSize) {
        error = "The dBase header is damaged: its header length (" +
                std::to_string(header.headerLength) + ") does not fit the file.";
        return false;
    }
    if (header.recordLength < 1) {
        error = "The dBase header is damaged: its record length is " +
                std::to_string(header.recordLength) + ".";
        return false;
    }
    size_t limit = std::min(head.size(), static_cast<size_t>(header.headerLength));
    FilePos position = 2;  // byte 1 of every record is the deletion flag
    size_t at = first;
    for (; at + size <= limit && head[at] != '\x0D'; at += size) {
        DbaseField field;
        field.name = FieldName(head.substr(at, nameLength));
        field.type = head[at + nameLength];
        field.length = static_cast<FilePos>(Byte(head, at + (level7 ? 33 : 16)));
        field.start = position;
        position += field.length;
        header.fields.push_back(std::move(field));
    }
    header.terminated = at < limit && head[at] == '\x0D';
    // A table without fields has records of the deletion flag alone.
    if (header.fields.empty() && header.recordLength != 1) {
        error = "The dBase header is damaged: it describes no fields.";
        return false;
    }
    if (position - 1 > header.recordLength) {
        error = "The dBase header is damaged: its fields need " + std::to_string(position - 1) +
                " bytes but a record has " + std::to_string(header.recordLength) + ".";
        return false;
    }
    return true;
}

RecordNo DbaseRecordsHeld(const DbaseHeader& header, FilePos fileSize, bool endsWithMarker) {
    FilePos body = fileSize - header.headerLength;
    if (body <= 0 || header.recordLength <= 0) return 0;
    // The end-of-file marker after the last record is not a record.
    if (endsWithMarker && header.recordLength > 1 && body % header.recordLength == 1) --body;
    // A record cut short is none (DbaseRecordCut tells).
    return std::min(body / header.recordLength, header.recordCount);
}

FilePos DbaseRecordCut(const DbaseHeader& header, FilePos fileSize, bool endsWithMarker) {
    const RecordNo held = DbaseRecordsHeld(header, fileSize, endsWithMarker);
    if (held >= header.recordCount) return 0;
    FilePos rest = fileSize - header.headerLength - held * header.recordLength;
    if (endsWithMarker && rest == 1) rest = 0;
    return rest;
}

bool LooksLikeDbase(std::string_view head, FilePos fileSize) {
    if (head.size() < 33 || !KnownVersion(static_cast<unsigned char>(head[0]))) return false;
    unsigned month = Byte(head, 2), day = Byte(head, 3);
    if (month < 1 || month > 12 || day < 1 || day > 31) return false;
    DbaseHeader header;
    std::string error;
    if (!ReadDbaseHeader(head, fileSize, header, error)) return false;
    FilePos expected = header.headerLength + header.recordCount * header.recordLength;
    if (expected > fileSize + 1 || (expected < fileSize - 1 && header.recordCount > 0 &&
                                    fileSize - expected > header.recordLength)) {
        return false;
    }
    return header.terminated;
}

}  // namespace velmor::data
