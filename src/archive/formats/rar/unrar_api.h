// The published interface of the RAR extraction library: the two records and
// the four calls, declared from the published layout. Only the calls, fields
// and constants named here are used.
#pragma once

#include <cstdint>

namespace lumora::archive::unrar {

struct RAROpenArchiveData {
    char* ArcName;
    unsigned int OpenMode;
    unsigned int OpenResult;
    char* CmtBuf;
    unsigned int CmtBufSize;
    unsigned int CmtSize;
    unsigned int CmtState;
};

struct RARHeaderData {
    char ArcName[260];
    char FileName[260];
    unsigned int Flags;
    unsigned int PackSize;
    unsigned int UnpSize;
    unsigned int HostOS;
    unsigned int FileCRC;
    unsigned int FileTime;
    unsigned int UnpVer;
    unsigned int Method;
    unsigned int FileAttr;
    char* CmtBuf;
    unsigned int CmtBufSize;
    unsigned int CmtSize;
    unsigned int CmtState;
};

using RarHandle = void*;

inline constexpr unsigned int RAR_OM_LIST = 0;
inline constexpr unsigned int RAR_OM_EXTRACT = 1;
inline constexpr int RAR_SKIP = 0;
inline constexpr int RAR_TEST = 1;
inline constexpr int RAR_EXTRACT = 2;

// Result codes of the calls (0 is success).
inline constexpr int ERAR_END_ARCHIVE = 10;
inline constexpr int ERAR_NO_MEMORY = 11;
inline constexpr int ERAR_BAD_DATA = 12;
inline constexpr int ERAR_BAD_ARCHIVE = 13;
inline constexpr int ERAR_UNKNOWN_FORMAT = 14;
inline constexpr int ERAR_EOPEN = 15;
inline constexpr int ERAR_ECREATE = 16;
inline constexpr int ERAR_ECLOSE = 17;
inline constexpr int ERAR_EREAD = 18;
inline constexpr int ERAR_EWRITE = 19;
inline constexpr int ERAR_MISSING_PASSWORD = 22;
inline constexpr int ERAR_BAD_PASSWORD = 24;

extern "C" {
using RAROpenArchiveFn = RarHandle (*)(RAROpenArchiveData* data);
using RARReadHeaderFn = int (*)(RarHandle handle, RARHeaderData* header);
using RARProcessFileFn = int (*)(RarHandle handle, int operation, char* destPath, char* destName);
using RARCloseArchiveFn = int (*)(RarHandle handle);
}

// The four calls of one library, plus a byte limit per extracted member that
// only the built-in library offers (null elsewhere).
struct UnrarFunctions {
    RAROpenArchiveFn RAROpenArchive = nullptr;
    RARReadHeaderFn RARReadHeader = nullptr;
    RARProcessFileFn RARProcessFile = nullptr;
    RARCloseArchiveFn RARCloseArchive = nullptr;
    void (*SetOutputLimit)(RarHandle handle, std::uint64_t bytes) = nullptr;
};

}  // namespace lumora::archive::unrar
