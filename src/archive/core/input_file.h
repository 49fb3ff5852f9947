// An archive file opened read-only. Reads are positioned and report how many
// bytes really arrived, so callers check every header against that count.
// Handles made with Share read the same open file: detection, the lister and
// a reader can work on one opening of an archive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>

namespace lumora::archive {

class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    InputFile(InputFile&& other) noexcept = default;
    InputFile& operator=(InputFile&& other) noexcept;

    // Regular files only: a folder, FIFO or device counts as a file that
    // cannot be opened, and opening one never waits.
    bool Open(const std::string& path);
    // Another handle on this open file (none when it is not open): it reads
    // through the same descriptor and the same block read ahead, and the
    // file is closed when its last handle closes.
    InputFile Share() const;
    // Lets go of this handle; false when the system reports an error on
    // closing the file (only the last handle closes it).
    bool Close();
    bool IsOpen() const { return file_ != nullptr; }

    std::uint64_t Size() const { return file_ ? file_->size : 0; }
    std::time_t ModifiedTime() const { return file_ ? file_->mtime : 0; }

    // Reads up to `n` bytes at `offset`; fewer at the end of the file or on a
    // read error. Small reads are served from the last two blocks read
    // ahead, so a header read field by field costs one system call.
    std::size_t ReadAt(std::uint64_t offset, void* dst, std::size_t n) const;
    // Up to `n` bytes at `offset` as they lie in a block read ahead
    // (n <= kBlockSize; larger reads give nothing). Valid until the next
    // read through any handle of this file.
    std::string_view Peek(std::uint64_t offset, std::size_t n) const;

    static constexpr std::size_t kBlockSize = 4096;

private:
    // What every handle of one opening shares.
    struct Opened {
        ~Opened();
        int fd = -1;
        std::uint64_t size = 0;
        std::time_t mtime = 0;
        // A block read for small reads: `length` bytes that arrived from
        // `at` on; allocated on its first use.
        struct Block {
            std::unique_ptr<char[]> bytes;
            std::size_t length = 0;
            std::uint64_t at = 0;
        };
        // The two blocks last read, the newer first: an archive's headers at
        // its start and its directory at its end are both kept.
        Block blocks[2];
    };

    std::size_t ReadFromFile(std::uint64_t offset, char* dst, std::size_t n) const;

    std::shared_ptr<Opened> file_;
};

}  // namespace lumora::archive
