#include "archive/core/input_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <utility>

#include "platform/file_io.h"

namespace lumora::archive {

InputFile::~InputFile() {
    Close();
}

InputFile::InputFile(InputFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), size_(other.size_), mtime_(other.mtime_) {}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        size_ = other.size_;
        mtime_ = other.mtime_;
    }
    return *this;
}

bool InputFile::Open(const std::string& path) {
    Close();
    FileHandle fd = OpenRegularFile(path, nullptr);
    if (!fd.ok()) return false;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return false;
    fd_ = fd.release();
    size_ = static_cast<std::uint64_t>(st.st_size);
    mtime_ = st.st_mtime;
    return true;
}

bool InputFile::Close() {
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
    std::size_t done = 0;
    while (done < n) {
        const ssize_t got = ::pread(fd_, out + done, n - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

}  // namespace lumora::archive
