#include "archive/formats/rar/unrar_library.h"

#include <dlfcn.h>

#include "archive/formats/rar/unrar_builtin.h"

namespace lumora::archive::unrar {

namespace {

template <typename Fn>
bool Resolve(void* handle, const char* name, Fn& fn) {
    fn = reinterpret_cast<Fn>(::dlsym(handle, name));
    return fn != nullptr;
}

}  // namespace

UnrarLibrary::UnrarLibrary(const std::string& sharedObject) {
    handle_ = ::dlopen(sharedObject.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_) {
        UnrarFunctions f;
        if (Resolve(handle_, "RAROpenArchive", f.RAROpenArchive) &&
            Resolve(handle_, "RARReadHeader", f.RARReadHeader) &&
            Resolve(handle_, "RARProcessFile", f.RARProcessFile) &&
            Resolve(handle_, "RARCloseArchive", f.RARCloseArchive)) {
            functions_ = f;
            return;
        }
        ::dlclose(handle_);
        handle_ = nullptr;
    }
    functions_ = BuiltinUnrar();
}

UnrarLibrary::~UnrarLibrary() {
    if (handle_) ::dlclose(handle_);
}

}  // namespace lumora::archive::unrar
