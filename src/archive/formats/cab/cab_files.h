// The files of one cabinet folder cut out of the folder's bytes as they pass
// by. Only the files wanted by the run are handed in; they are served in the
// order of their place in the folder, one at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "archive/decoders/decoder_io.h"
#include "archive/formats/cab/cab_header.h"

namespace lumora::archive {

// What becomes of the files as the folder's bytes arrive.
class CabFileTarget {
public:
    virtual ~CabFileTarget() = default;
    // The file's place in the data is reached; true when its bytes are to
    // be written (Finish follows then).
    virtual bool Begin(const CabFileEntry& f) = 0;
    // The next `n` bytes of the file, `done` of them having come before.
    virtual void Write(const CabFileEntry& f, std::uint64_t done, const std::uint8_t* data,
                       std::size_t n) = 0;
    // The file is whole, or (complete false) its data ended before its end.
    virtual void Finish(const CabFileEntry& f, bool complete) = 0;
    // The file's place does not fit the folder's data: it lies behind data
    // already passed (entries that overlap), or beyond the folder's end, or
    // the data ends inside it.
    virtual void Misplaced(const CabFileEntry& f) = 0;
};

class CabFileCutter final : public OutputSink {
public:
    explicit CabFileCutter(CabFileTarget& target) : target_(target) {}

    void Add(const CabFileEntry& f);
    // Serves the files due before any data (those at the folder's start).
    void Start() { Serve(nullptr, 0); }
    // The folder's next bytes.
    void Write(const std::uint8_t* data, std::size_t n) override;
    // True while a file still waits for bytes.
    bool NeedsData() const { return open_ || cur_ < files_.size(); }
    // The folder's data is over: files due at its end are served, a file
    // begun ends incomplete, the rest cannot be served.
    void End();
    // The run ends early: a file begun ends incomplete.
    void Abort();

private:
    void Serve(const std::uint8_t* data, std::size_t n);
    void SortWaiting();

    CabFileTarget& target_;
    std::vector<CabFileEntry> files_;
    std::size_t cur_ = 0;    // the file begun or next due
    bool open_ = false;      // files_[cur_] has begun
    bool sorted_ = true;     // files_ from the next due on are in folder order
    std::uint64_t pos_ = 0;  // bytes of the folder passed so far
};

}  // namespace lumora::archive
