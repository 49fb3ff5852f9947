#include "archive/core/input_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <utility>

#include "platform/file_io.h"

namespace lumora::archive {

InputFile::~InputFile() {
    Close();
}

InputFile::InputFile(InputFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      size_(other.size_),
      mtime_(other.mtime_),
      block_(std::move(other.block_)),
      blockAt_(other.blockAt_) {
    other.block_.clear();
}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        size_ = other.size_;
        mtime_ = other.mtime_;
        block_ = std::move(other.block_);
        other.block_.clear();
        blockAt_ = other.blockAt_;
    }
    return *this;
}

bool InputFile::Open(const std::string& path) {
    Close();
    struct stat st {};
    FileHandle fd = OpenRegularFile(path, nullptr, Links::Follow, &st);
    if (!fd.ok()) return false;
    fd_ = fd.release();
    size_ = static_cast<std::uint64_t>(st.st_size);
    mtime_ = st.st_mtime;
    return true;
}

bool InputFile::Close() {
    block_.clear();
    if (fd_ < 0) return true;
    const int rc = ::close(std::exchange(fd_, -1));
    return rc == 0;
}

std::size_t InputFile::ReadAt(std::uint64_t offset, void* dst, std::size_t n) const {
    if (fd_ < 0 || offset >= size_ ||
        offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
        return 0;
    }
    auto* out = static_cast<char*>(dst);
    if (n > kBlockSize / 2) return ReadFromFile(offset, out, n);
    const bool inBlock = offset >= blockAt_ && offset - blockAt_ + n <= block_.size();
    if (!inBlock) {
        block_.resize(kBlockSize);
        block_.resize(ReadFromFile(offset, block_.data(), kBlockSize));
        blockAt_ = offset;
    }
    const std::size_t from = static_cast<std::size_t>(offset - blockAt_);
    const std::size_t got = std::min(n, block_.size() - std::min(from, block_.size()));
    // Nothing to copy (an empty request or a short file): no pointer is formed.
    if (got == 0) return 0;
    std::memcpy(out, block_.data() + from, got);
    return got;
}

std::size_t InputFile::ReadFromFile(std::uint64_t offset, char* dst, std::size_t n) const {
    std::size_t done = 0;
    while (done < n) {
        const ssize_t got = ::pread(fd_, dst + done, n - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

}  // namespace lumora::archive
