#include "io/rmt_row.h"

#include "base/text_scan.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qev::io {
namespace {

struct Record {
    std::string name;
    std::vector<unsigned char> bytes;
};

// Splits a record line; false when the line holds no field.
bool parse_record(const std::string& line, Record* record) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (start <= line.size()) {
        std::size_t comma = line.find(',', start);
        if (comma == std::string::npos) comma = line.size();
        if (comma > start) fields.push_back(line.substr(start, comma - start));
        start = comma + 1;
    }
    if (fields.empty()) return false;
    record->name = fields[0];
    record->bytes.clear();
    for (std::size_t i = 1; i < fields.size(); ++i) record->bytes.push_back(Scan_Hex_Byte(fields[i]));
    return true;
}

std::string trimmed(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])) != 0) ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])) != 0) --end;
    return text.substr(begin, end - begin);
}

}  // namespace

RmtRowResult read_rmt_row(const char* path, const std::string& name, std::vector<unsigned char>* bytes) {
    std::FILE* file = std::fopen(path, "re");
    if (file == nullptr) return RmtRowResult::CannotOpen;

    bool have_loose = false;
    std::vector<unsigned char> loose_bytes;
    const std::string wanted_trimmed = trimmed(name);
    RmtRowResult result = RmtRowResult::NoSuchRow;

    char* buffer = nullptr;
    std::size_t capacity = 0;
    ssize_t length;
    Record record;
    while ((length = getline(&buffer, &capacity, file)) >= 0) {
        std::string line(buffer, static_cast<std::size_t>(length));
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        const std::size_t comment = line.find(';');
        if (comment != std::string::npos) line.resize(comment);
        if (line.empty() || line.find("@REPEAT") != std::string::npos) continue;
        if (!parse_record(line, &record)) continue;
        if (name.empty() || record.name == name) {
            *bytes = record.bytes;
            result = RmtRowResult::Found;
            break;
        }
        if (!have_loose && trimmed(record.name) == wanted_trimmed) {
            have_loose = true;
            loose_bytes = record.bytes;
        }
    }
    std::free(buffer);
    std::fclose(file);
    if (result != RmtRowResult::Found && have_loose) {
        *bytes = loose_bytes;
        result = RmtRowResult::Found;
    }
    return result;
}

}  // namespace qev::io
