#include "io/rmt_row.h"

#include "base/text_scan.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qev::io {
namespace {

struct Record {
    std::string name;
    std::vector<unsigned char> bytes;
};

bool is_comma(char c) { return c == ','; }

// Splits a record line; false when the line holds no field.
bool parse_record(const std::string& line, Record* record) {
    const std::vector<std::string_view> fields = Words_Of(line, is_comma);
    if (fields.empty()) return false;
    record->name = fields[0];
    record->bytes.clear();
    for (std::size_t i = 1; i < fields.size(); ++i) record->bytes.push_back(Scan_Hex_Byte(fields[i]));
    return true;
}

}  // namespace

RmtRowResult read_rmt_row(const char* path, const std::string& name, std::vector<unsigned char>* bytes) {
    std::FILE* file = std::fopen(path, "re");
    if (file == nullptr) return RmtRowResult::CannotOpen;

    bool have_loose = false;
    std::vector<unsigned char> loose_bytes;
    const std::string_view wanted_trimmed = Trim_Blanks(name);
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
        if (!have_loose && Trim_Blanks(record.name) == wanted_trimmed) {
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
