// Output files of an extraction, created so that a stored name can never
// reach outside the extraction folder: the folders below it are walked
// without following symbolic links, an existing file is removed (never
// written through) and the new one is created exclusively.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

#include "archive/core/output_name.h"
#include "platform/file_io.h"

namespace lumora::archive {

// Creates the extraction folder (with missing parents) and the folders of
// `target` below it; false when that fails.
bool CreateOutputDirs(const OutputTarget& target);

// True when something (a file, folder or link) already has the target's path.
bool OutputExists(const OutputTarget& target);

class OutputFile {
public:
    // Replaces whatever has the target's path by a new empty file.
    bool Create(const OutputTarget& target);
    // An output that appends to `sink` instead of a file, keeping at most
    // `limit` bytes there; dates and attributes do not apply.
    static OutputFile InMemory(std::string& sink, std::size_t limit);
    bool IsOpen() const { return fd_.ok() || memory_ != nullptr; }
    bool InMemory() const { return memory_ != nullptr; }

    // Appends; a write error throws std::system_error.
    void Write(const std::uint8_t* data, std::size_t n);
    // Sets the modification time (failures ignored).
    void SetDate(std::time_t t);
    // Removes every write permission (failures ignored).
    void SetReadOnly();
    bool Close();

private:
    FileHandle fd_;  // closed when the file goes
    std::string* memory_ = nullptr;
    std::size_t memoryLimit_ = 0;
};

}  // namespace lumora::archive
