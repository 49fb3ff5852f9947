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

InputFile::Opened::~Opened() {
    if (fd >= 0) ::close(fd);  // read only: nothing is lost when closing fails
}

InputFile::~InputFile() {
    Close();
}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
    if (this != &other) {
        Close();
        file_ = std::move(other.file_);
    }
    return *this;
}

bool InputFile::Open(const std::string& path) {
    Close();
    struct stat st {};
    FileHandle fd = OpenRegularFile(path, nullptr, Links::Follow, &st);
    if (!fd.ok()) return false;
    file_ = std::make_shared<Opened>();
    file_->fd = fd.release();
    file_->size = static_cast<std::uint64_t>(st.st_size);
    file_->mtime = st.st_mtime;
    return true;
}

InputFile InputFile::Share() const {
    InputFile other;
    other.file_ = file_;
    return other;
}

bool InputFile::Close() {
    if (!file_) return true;
    if (file_.use_count() > 1) {
        file_.reset();
        return true;
    }
    const int fd = std::exchange(file_->fd, -1);
    file_.reset();
    return fd < 0 || ::close(fd) == 0;
}

std::string_view InputFile::Peek(std::uint64_t offset, std::size_t n) const {
    if (!file_ || file_->fd < 0 || offset >= file_->size || n > kBlockSize ||
        offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
        return {};
    }
    Opened::Block* blocks = file_->blocks;
    // A block that reaches the end of the file holds all there is after
    // the offset.
    const std::uint64_t size = file_->size;
    const auto holds = [&](const Opened::Block& b) {
        return b.bytes && offset >= b.at &&
               (offset - b.at + n <= b.length || b.at + b.length == size);
    };
    if (!holds(blocks[0])) {
        // The older block is read over (or the newer one turns out to hold
        // the bytes) and becomes the newer.
        std::swap(blocks[0], blocks[1]);
        if (!holds(blocks[0])) {
            Opened::Block& b = blocks[0];
            // Only ever overwritten by the read, so never cleared.
            if (!b.bytes) b.bytes.reset(new char[kBlockSize]);
            b.length = ReadFromFile(offset, b.bytes.get(), kBlockSize);
            b.at = offset;
        }
    }
    const Opened::Block& b = blocks[0];
    const std::size_t from = static_cast<std::size_t>(offset - b.at);
    const std::size_t got = std::min(n, b.length - std::min(from, b.length));
    // Nothing there (an empty request or a short file): no pointer is formed.
    if (got == 0) return {};
    return {b.bytes.get() + from, got};
}

std::size_t InputFile::ReadAt(std::uint64_t offset, void* dst, std::size_t n) const {
    if (!file_ || file_->fd < 0 || offset >= file_->size ||
        offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
        return 0;
    }
    auto* out = static_cast<char*>(dst);
    if (n > kBlockSize / 2) return ReadFromFile(offset, out, n);
    const std::string_view bytes = Peek(offset, n);
    if (bytes.empty()) return 0;
    std::memcpy(out, bytes.data(), bytes.size());
    return bytes.size();
}

// Reads stop at the size the file had when it was opened, so a read that
// reaches its end needs no further call to learn that nothing follows.
std::size_t InputFile::ReadFromFile(std::uint64_t offset, char* dst, std::size_t n) const {
    const int fd = file_->fd;
    n = static_cast<std::size_t>(std::min<std::uint64_t>(n, file_->size - offset));
    std::size_t done = 0;
    while (done < n) {
        const ssize_t got = ::pread(fd, dst + done, n - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

}  // namespace lumora::archive
