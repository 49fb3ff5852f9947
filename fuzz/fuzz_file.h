// A private folder per fuzzing process: the input goes into one file there,
// and readers extract into a subfolder that is emptied after every input.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "platform/app_dirs.h"

namespace lumora::fuzz {

class FuzzFolder {
public:
    FuzzFolder() : input_(dir_.path() + "/INPUT.BIN"), out_(dir_.path() + "/out/") {}

    // Writes the input and gives its path.
    const std::string& Write(const std::uint8_t* data, std::size_t size) {
        std::ofstream f(input_, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        return input_;
    }
    // A fresh, empty extraction folder ending in "/".
    const std::string& FreshOutput() {
        RemoveTree(out_);
        ::mkdir(out_.c_str(), 0700);
        return out_;
    }

private:
    PrivateTempDir dir_;
    std::string input_;
    std::string out_;
};

// The one folder of this process (libFuzzer calls the target from one thread).
inline FuzzFolder& Folder() {
    static FuzzFolder folder;
    return folder;
}

}  // namespace lumora::fuzz
