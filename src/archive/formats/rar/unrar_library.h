// The RAR extraction library the program uses: the outside libunrar.so when
// it is installed and exports the four calls, otherwise the built-in one.
#pragma once

#include <string>

#include "archive/formats/rar/unrar_api.h"

namespace lumora::archive::unrar {

class UnrarLibrary {
public:
    // Loads `sharedObject` (by the system's search rules); falls back to the
    // built-in library when it is missing or lacks one of the calls.
    explicit UnrarLibrary(const std::string& sharedObject = "libunrar.so");
    ~UnrarLibrary();
    UnrarLibrary(const UnrarLibrary&) = delete;
    UnrarLibrary& operator=(const UnrarLibrary&) = delete;

    const UnrarFunctions& Functions() const { return functions_; }
    bool IsBuiltIn() const { return handle_ == nullptr; }

private:
    void* handle_ = nullptr;
    UnrarFunctions functions_;
};

}  // namespace lumora::archive::unrar
