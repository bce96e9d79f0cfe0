// The version information stored in the program's own executable file, and
// what the version dialog makes of it.
//
// The build writes one block into the section ".qev_version" of QEV_LPT
// (cmake/version_info.cmake fills in app/version_info.cpp.in, which encodes
// the block at compile time). Block layout, every integer little-endian:
//
//   offset  size  contents
//        0     8  magic "QEVVINF1"
//        8     4  N, the size of the whole block in bytes, header included (16 <= N <= 65536)
//       12     4  the number of entries
//       16        the entries, back to back, ending exactly at N; each entry is
//                   2  path length P (at least 1)
//                   P  path, e.g. "\StringFileInfo\041103A4\ProductName"
//                   2  value length V
//                   V  value: a text without a terminating zero, or for
//                      "\VarFileInfo\Translation" translation entries of 4 bytes
//                      each (language in the low 16 bits, code page in the high)
//
// The reader answers the three questions a Windows program asks of its
// executable (the size of the version information, the block itself, a value
// by path) for a 64-bit little-endian ELF file. Everything it reads is
// checked against the file's size first: a short, truncated or hostile file
// reads as a file without version information and is never read beyond.
#ifndef QEV_DIALOGS_CORE_VERSION_INFO_H
#define QEV_DIALOGS_CORE_VERSION_INFO_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qev {

// The section of the executable that holds the block.
inline constexpr std::string_view Version_Info_Section = ".qev_version";
inline constexpr std::string_view Version_Info_Magic = "QEVVINF1";
inline constexpr std::size_t Version_Info_Header_Size = 16;
inline constexpr std::size_t Version_Info_Size_Limit = 65536;

// The executable the program runs from (the file itself, whatever name or
// link started it).
inline constexpr const char* Running_Executable = "/proc/self/exe";

// The size N of the version information in `executable`; 0 when the file
// cannot be read, is not a 64-bit little-endian ELF file, has no section of
// that name, or holds a block that is not well-formed.
std::size_t Version_Info_Size(const std::string& executable);

// Copies the version information into data[0, size): the whole block when
// `size` is at least its size, else its first `size` bytes. False (nothing
// copied) when the file has none.
bool Read_Version_Info(const std::string& executable, char* data, std::size_t size);

// The value stored under `path` (matched byte for byte) in `block`, as a view
// into `block`; nullopt when the block holds no such entry or is not
// well-formed (a block cut short, a length that runs past its end).
std::optional<std::string_view> Query_Version_Value(std::string_view block, std::string_view path);

struct TVersion_Translation {
    uint16_t Language = 0;
    uint16_t Code_Page = 0;
};

// The first entry of "\VarFileInfo\Translation"; nullopt when the block has
// none or its value is shorter than 4 bytes.
std::optional<TVersion_Translation> First_Translation(std::string_view block);

// The query path of a text field, "\StringFileInfo\%04X%04X\%s":
// (0x0411, 0x03A4, "ProductName") -> "\StringFileInfo\041103A4\ProductName".
std::string String_File_Info_Path(TVersion_Translation translation, std::string_view field);

// The version dialog's six labels, in the order they are filled.
struct TVersion_Field {
    const char* Field;        // name in the version information
    const char* Label;        // the label's component name
    const char* Prefix;       // shown before the value; 14 characters each
    const char* Design_Text;  // shown when the executable has no version information
};
inline constexpr std::size_t Version_Field_Count = 6;
extern const std::array<TVersion_Field, Version_Field_Count> Version_Fields;

using TVersion_Label_Texts = std::array<std::string, Version_Field_Count>;

// The labels' texts for a block of version information: each prefix followed
// by the field's value. A field the block does not hold shows its prefix
// alone, and so does every field when the block has no translation entry
// (no text can be looked up without one); an empty block keeps the design
// texts.
TVersion_Label_Texts Version_Label_Texts_Of_Block(std::string_view block);

// The dialog's fill steps for an executable: its size of version
// information, the block, the translation, the six look-ups. Without version
// information every label keeps its design text.
TVersion_Label_Texts Version_Label_Texts(const std::string& executable = Running_Executable);

}  // namespace qev

#endif
