// The settings store: a text file in the REGEDIT4 format with one key,
//   "Name"=dword:0000003c   and   "Name"="text".
// Value names are compared without case. Saving replaces the file
// atomically (temporary file, then rename).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumora {

class RegStore {
public:
    // Reads a store file. A missing file gives an empty store and true;
    // an unreadable one false. Lines that do not parse are ignored, so a file
    // cut off in the middle still yields every value before the cut.
    bool LoadFile(const std::string& path);
    // Writes every value in insertion order; false with errno-based reason.
    bool SaveFile(const std::string& path, std::string* error = nullptr) const;

    // The same in memory: ParseText replaces the values with those of a
    // store file's bytes; FormatText gives the bytes SaveFile writes.
    void ParseText(std::string_view text);
    std::string FormatText() const;

    bool Exists(const std::string& name) const;
    std::optional<std::uint32_t> ReadDword(const std::string& name) const;
    std::optional<std::string> ReadString(const std::string& name) const;

    // Writing a name that exists under another spelling replaces that value
    // and takes the new spelling, so each name is stored once.
    void WriteDword(const std::string& name, std::uint32_t value);
    void WriteString(const std::string& name, const std::string& value);

    // Appends every value of `other` whose name this store does not hold.
    void MergeMissing(const RegStore& other);

    bool empty() const { return values_.empty(); }

private:
    enum class Kind { Dword, String };
    struct Value {
        std::string name;
        Kind kind;
        std::uint32_t dword = 0;
        std::string text;
    };
    Value* Find(const std::string& name);
    const Value* Find(const std::string& name) const;

    std::vector<Value> values_;
};

// The key path written in the file's section header.
inline constexpr const char* kRegKeyPath =
    "HKEY_LOCAL_MACHINE\\Software\\Kestrel Rodoridodari\\Lumora";

}  // namespace lumora
