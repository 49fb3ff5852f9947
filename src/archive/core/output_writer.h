// Output files of an extraction, created so that a stored name can never
// reach outside the extraction folder: the folders below it are walked
// without following symbolic links, an existing file is removed (never
// written through) and the new one is created exclusively.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>

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
    bool IsOpen() const { return fd_.ok(); }

    // Appends; a write error throws std::system_error.
    void Write(const std::uint8_t* data, std::size_t n);
    // Sets the modification time (failures ignored).
    void SetDate(std::time_t t);
    // Removes every write permission (failures ignored).
    void SetReadOnly();
    bool Close();

private:
    FileHandle fd_;  // closed when the file goes
};

}  // namespace lumora::archive
