// An archive file opened read-only. Reads are positioned and report how many
// bytes really arrived, so callers check every header against that count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

namespace lumora::archive {

class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    InputFile(InputFile&& other) noexcept;
    InputFile& operator=(InputFile&& other) noexcept;

    // Regular files only: a folder, FIFO or device counts as a file that
    // cannot be opened, and opening one never waits.
    bool Open(const std::string& path);
    // False when the system reports an error on closing.
    bool Close();
    bool IsOpen() const { return fd_ >= 0; }

    std::uint64_t Size() const { return size_; }
    std::time_t ModifiedTime() const { return mtime_; }

    // Reads up to `n` bytes at `offset`; fewer at the end of the file or on a
    // read error. Small reads are served from one block read ahead, so a
    // header read field by field costs one system call.
    std::size_t ReadAt(std::uint64_t offset, void* dst, std::size_t n) const;

    static constexpr std::size_t kBlockSize = 4096;

private:
    std::size_t ReadFromFile(std::uint64_t offset, char* dst, std::size_t n) const;

    int fd_ = -1;
    std::uint64_t size_ = 0;
    std::time_t mtime_ = 0;
    // The block last read for small reads: the bytes that arrived from
    // blockAt_ on.
    mutable std::string block_;
    mutable std::uint64_t blockAt_ = 0;
};

}  // namespace lumora::archive
