#include "archive/formats/rar/rar_extract.h"

#include <cstring>
#include <vector>

#include "archive/core/error_codes.h"

namespace lumora::archive::unrar {

namespace {

std::vector<char> CString(const std::string& s) {
    std::vector<char> v(s.begin(), s.end());
    v.push_back('\0');
    return v;
}

}  // namespace

RarExtractResult RarExtractMember(const UnrarFunctions& rar, const std::string& archivePath,
                                  const std::string& member, const std::string& destFolder,
                                  std::uint64_t limit) {
    RarExtractResult out;
    std::vector<char> arcName = CString(archivePath);
    std::vector<char> dest = CString(destFolder);
    RAROpenArchiveData open{};
    open.ArcName = arcName.data();
    open.OpenMode = RAR_OM_EXTRACT;
    open.CmtBuf = nullptr;
    open.CmtBufSize = 0;
    RarHandle handle = rar.RAROpenArchive(&open);
    if (!handle) return out;
    RARHeaderData header{};
    while (rar.RARReadHeader(handle, &header) == 0) {
        const std::size_t n = ::strnlen(header.FileName, sizeof header.FileName);
        if (member.size() == n && std::memcmp(header.FileName, member.data(), n) == 0) {
            if (rar.SetOutputLimit && limit) rar.SetOutputLimit(handle, limit);
            out.result = rar.RARProcessFile(handle, RAR_EXTRACT, dest.data(), nullptr);
            out.found = true;
            break;
        }
        rar.RARProcessFile(handle, RAR_SKIP, nullptr, nullptr);
    }
    rar.RARCloseArchive(handle);
    return out;
}

int RarResultCode(int result) {
    switch (result) {
        case ERAR_BAD_DATA:
            return ecode::CrcError;
        case ERAR_NO_MEMORY:
            return ecode::OutOfMemory;
        case ERAR_EOPEN:
        case ERAR_ECREATE:
            return ecode::OpenError;
        case ERAR_ECLOSE:
            return ecode::CloseError;
        case ERAR_EREAD:
            return ecode::ReadError;
        case ERAR_EWRITE:
            return ecode::WriteError;
        case ERAR_MISSING_PASSWORD:
            return ecode::PasswordProtected;
        case ERAR_BAD_PASSWORD:
            return ecode::InvalidPassword;
        case ERAR_UNKNOWN_FORMAT:
            return ecode::UnsupportedMethod;
        default:
            return ecode::BadArchive;
    }
}

}  // namespace lumora::archive::unrar
