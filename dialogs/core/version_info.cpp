#include "dialogs/core/version_info.h"

#include "base/regular_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace qev {

const std::array<TVersion_Field, Version_Field_Count> Version_Fields = {{
    {"ProductName", "ProductNameLabel", "Product Name: ", "ProductNameLabel "},
    {"FileDescription", "FileDescriptionLabel", "Description:  ", "FileDescriptionLabel"},
    {"Comments", "CommentsLabel", "Comments:     ", "CommentsLabel"},
    {"FileVersion", "FileVersionLabel", "File Version: ", "FileVersionLabel"},
    {"CompanyName", "CompanyNameLabel", "Auther Name:  ", "CompanyNameLabel"},
    {"LegalCopyright", "LegalCopyrightLabel", "Copyright:    ", "LegalCopyrightLabel"},
}};

namespace {

uint16_t Le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Le32(const unsigned char* p) { return Le16(p) | static_cast<uint32_t>(Le16(p + 2)) << 16; }
uint64_t Le64(const unsigned char* p) { return Le32(p) | static_cast<uint64_t>(Le32(p + 4)) << 32; }
const unsigned char* Bytes(std::string_view text) { return reinterpret_cast<const unsigned char*>(text.data()); }

// ---- The block ----------------------------------------------------------------

// Walks the entries of a block, each bounded by the block's own size N,
// which in turn must lie within the bytes at hand.
class TBlock_Reader {
public:
    explicit TBlock_Reader(std::string_view block) {
        if (block.size() < Version_Info_Header_Size || block.substr(0, Version_Info_Magic.size()) != Version_Info_Magic)
            return;
        const uint32_t size = Le32(Bytes(block) + 8);
        if (size < Version_Info_Header_Size || size > Version_Info_Size_Limit || size > block.size()) return;
        data_ = block.substr(0, size);
        count_ = Le32(Bytes(block) + 12);
        at_ = Version_Info_Header_Size;
        valid_ = true;
    }

    // The next entry; false at the end and on the first entry that does not
    // fit (which also marks the block as not well-formed).
    bool Next(std::string_view& path, std::string_view& value) {
        if (!valid_ || read_ == count_) return false;
        std::string_view text;
        if (!Field(text) || text.empty() || !Field(value)) {
            valid_ = false;
            return false;
        }
        path = text;
        ++read_;
        return true;
    }
    // Well-formed: every entry was read and they fill the block exactly.
    bool Complete() const { return valid_ && read_ == count_ && at_ == data_.size(); }

private:
    bool Field(std::string_view& text) {
        if (data_.size() - at_ < 2) return false;
        const std::size_t length = Le16(Bytes(data_) + at_);
        at_ += 2;
        if (data_.size() - at_ < length) return false;
        text = data_.substr(at_, length);
        at_ += length;
        return true;
    }

    std::string_view data_;
    std::size_t at_ = 0;
    uint32_t count_ = 0;
    uint32_t read_ = 0;
    bool valid_ = false;
};

bool Well_Formed(std::string_view block) {
    TBlock_Reader reader(block);
    std::string_view path, value;
    while (reader.Next(path, value)) {
    }
    return reader.Complete();
}

// ---- The ELF file ---------------------------------------------------------------

// Offsets and values of the 64-bit ELF header and section header.
constexpr std::size_t Elf_Header_Size = 64;
constexpr std::size_t Section_Header_Size = 64;
constexpr unsigned char Elf_Class_64 = 2;
constexpr unsigned char Elf_Little_Endian = 1;
constexpr unsigned char Elf_Current_Version = 1;
constexpr uint32_t Section_No_Bits = 8;                // SHT_NOBITS: takes no room in the file
constexpr uint16_t Section_Index_In_Entry_0 = 0xFFFF;  // SHN_XINDEX

struct TSection {
    uint32_t Name = 0;
    uint32_t Type = 0;
    uint64_t Offset = 0;
    uint64_t Size = 0;
    uint32_t Link = 0;
};

// An open file read only at offsets checked against its size.
class TFile {
public:
    explicit TFile(const std::string& path) : fd_(Open_Regular_File(path)) {
        struct stat status {};
        if (fd_ >= 0 && fstat(fd_, &status) == 0 && status.st_size > 0) size_ = static_cast<uint64_t>(status.st_size);
    }
    ~TFile() {
        if (fd_ >= 0) close(fd_);
    }
    TFile(const TFile&) = delete;
    TFile& operator=(const TFile&) = delete;

    uint64_t Size() const { return size_; }
    // Whether [offset, offset + length) lies within the file.
    bool Holds(uint64_t offset, uint64_t length) const { return offset <= size_ && length <= size_ - offset; }
    // Reads exactly `length` bytes at `offset`; false when they are not all
    // there (also when the file shrank since it was opened).
    bool Read(uint64_t offset, void* out, std::size_t length) const {
        if (fd_ < 0 || !Holds(offset, length)) return false;
        auto* to = static_cast<char*>(out);
        while (length > 0) {
            const ssize_t got = pread(fd_, to, length, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return false;
            to += got;
            offset += static_cast<uint64_t>(got);
            length -= static_cast<std::size_t>(got);
        }
        return true;
    }

private:
    int fd_;
    uint64_t size_ = 0;
};

class TElf_Reader {
public:
    explicit TElf_Reader(const TFile& file) : file_(file) {}

    // The section named `name` whose contents lie within the file.
    std::optional<TSection> Find(std::string_view name) {
        if (!Read_Header()) return std::nullopt;
        const std::optional<TSection> names = Section(names_index_);
        if (!names || names->Type == Section_No_Bits || !file_.Holds(names->Offset, names->Size)) return std::nullopt;
        std::vector<char> wanted(name.size() + 1);
        for (uint64_t i = 0; i < count_; ++i) {
            const std::optional<TSection> section = Section(i);
            if (!section) return std::nullopt;
            // The name, with its terminating zero, must lie within the names.
            if (section->Name >= names->Size || names->Size - section->Name < wanted.size()) continue;
            if (!file_.Read(names->Offset + section->Name, wanted.data(), wanted.size())) return std::nullopt;
            if (std::string_view(wanted.data(), name.size()) != name || wanted.back() != '\0') continue;
            if (section->Type == Section_No_Bits || !file_.Holds(section->Offset, section->Size)) return std::nullopt;
            return section;
        }
        return std::nullopt;
    }

private:
    bool Read_Header() {
        unsigned char header[Elf_Header_Size];
        if (!file_.Read(0, header, sizeof header)) return false;
        if (std::memcmp(header,
                        "\x7f"
                        "ELF",
                        4) != 0 ||
            header[4] != Elf_Class_64 || header[5] != Elf_Little_Endian || header[6] != Elf_Current_Version)
            return false;
        table_ = Le64(header + 0x28);
        entry_size_ = Le16(header + 0x3A);
        count_ = Le16(header + 0x3C);
        names_index_ = Le16(header + 0x3E);
        if (table_ == 0 || entry_size_ < Section_Header_Size || !file_.Holds(table_, entry_size_)) return false;
        // With many sections the true count and name-table index are kept in
        // entry 0 of the table.
        if (count_ == 0 || names_index_ == Section_Index_In_Entry_0) {
            count_ = 1;
            const std::optional<TSection> first = Section(0);
            if (!first) return false;
            if (Le16(header + 0x3C) == 0) count_ = first->Size;
            if (names_index_ == Section_Index_In_Entry_0) names_index_ = first->Link;
        }
        // The whole table must lie within the file.
        if (count_ == 0 || count_ > (file_.Size() - table_) / entry_size_) return false;
        return names_index_ < count_;
    }

    std::optional<TSection> Section(uint64_t index) const {
        if (index >= count_) return std::nullopt;
        unsigned char entry[Section_Header_Size];
        if (!file_.Read(table_ + index * entry_size_, entry, sizeof entry)) return std::nullopt;
        TSection section;
        section.Name = Le32(entry + 0);
        section.Type = Le32(entry + 4);
        section.Offset = Le64(entry + 24);
        section.Size = Le64(entry + 32);
        section.Link = Le32(entry + 40);
        return section;
    }

    const TFile& file_;
    uint64_t table_ = 0;
    uint64_t entry_size_ = 0;
    uint64_t count_ = 0;
    uint64_t names_index_ = 0;
};

// The executable's block, checked to be well-formed; empty when it has none.
std::string Load_Block(const std::string& executable) {
    const TFile file(executable);
    const std::optional<TSection> section = TElf_Reader(file).Find(Version_Info_Section);
    if (!section || section->Size < Version_Info_Header_Size) return {};
    unsigned char header[Version_Info_Header_Size];
    if (!file.Read(section->Offset, header, sizeof header)) return {};
    const uint32_t size = Le32(header + 8);
    if (size < Version_Info_Header_Size || size > Version_Info_Size_Limit || size > section->Size) return {};
    std::string block(size, '\0');
    if (!file.Read(section->Offset, block.data(), block.size()) || !Well_Formed(block)) return {};
    return block;
}

}  // namespace

std::size_t Version_Info_Size(const std::string& executable) { return Load_Block(executable).size(); }

bool Read_Version_Info(const std::string& executable, char* data, std::size_t size) {
    const std::string block = Load_Block(executable);
    if (block.empty()) return false;
    if (size > 0) std::memcpy(data, block.data(), std::min(size, block.size()));
    return true;
}

std::optional<std::string_view> Query_Version_Value(std::string_view block, std::string_view path) {
    if (!Well_Formed(block)) return std::nullopt;
    TBlock_Reader reader(block);
    std::string_view entry_path, value;
    while (reader.Next(entry_path, value))
        if (entry_path == path) return value;
    return std::nullopt;
}

std::optional<TVersion_Translation> First_Translation(std::string_view block) {
    const std::optional<std::string_view> value = Query_Version_Value(block, "\\VarFileInfo\\Translation");
    if (!value || value->size() < 4) return std::nullopt;
    const uint32_t entry = Le32(Bytes(*value));
    return TVersion_Translation{static_cast<uint16_t>(entry & 0xFFFF), static_cast<uint16_t>(entry >> 16)};
}

std::string String_File_Info_Path(TVersion_Translation translation, std::string_view field) {
    char key[9];
    std::snprintf(key, sizeof key, "%04X%04X", static_cast<unsigned>(translation.Language),
                  static_cast<unsigned>(translation.Code_Page));
    std::string path = "\\StringFileInfo\\";
    path += key;
    path += '\\';
    path += field;
    return path;
}

TVersion_Label_Texts Version_Label_Texts_Of_Block(std::string_view block) {
    TVersion_Label_Texts texts;
    for (std::size_t i = 0; i < Version_Field_Count; ++i) texts[i] = Version_Fields[i].Design_Text;
    if (block.empty()) return texts;
    const std::optional<TVersion_Translation> translation = First_Translation(block);
    for (std::size_t i = 0; i < Version_Field_Count; ++i) {
        texts[i] = Version_Fields[i].Prefix;
        if (!translation) continue;
        if (const auto value = Query_Version_Value(block, String_File_Info_Path(*translation, Version_Fields[i].Field)))
            texts[i] += *value;
    }
    return texts;
}

TVersion_Label_Texts Version_Label_Texts(const std::string& executable) {
    // Steps of the dialog: the size, a block of that size, then the look-ups.
    const std::size_t size = Version_Info_Size(executable);
    if (size == 0) return Version_Label_Texts_Of_Block({});
    std::string block(size, '\0');
    if (!Read_Version_Info(executable, block.data(), block.size())) return Version_Label_Texts_Of_Block({});
    return Version_Label_Texts_Of_Block(block);
}

}  // namespace qev
