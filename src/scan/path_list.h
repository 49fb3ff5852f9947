// Many paths in one block of memory: each costs its bytes and one offset,
// not a string object and an allocation of its own, so a job over tens of
// thousands of archives holds its paths in little more than their length.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace lumora {

class PathList {
public:
    void Add(std::string_view path) {
        bytes_.append(path);
        ends_.push_back(bytes_.size());
    }
    std::size_t size() const { return ends_.size(); }
    bool empty() const { return ends_.empty(); }
    std::string_view operator[](std::size_t i) const {
        const std::size_t begin = i == 0 ? 0 : ends_[i - 1];
        return std::string_view(bytes_).substr(begin, ends_[i] - begin);
    }
    std::string_view front() const { return (*this)[0]; }

private:
    std::string bytes_;
    std::vector<std::size_t> ends_;
};

}  // namespace lumora
