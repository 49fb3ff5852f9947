#include "archive/formats/rar/unrar_builtin.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "archive/core/dos_date.h"
#include "archive/core/output_writer.h"
#include "platform/file_io.h"

namespace lumora::archive::unrar {

namespace {

constexpr std::size_t kBlock = 65536;

struct BuiltinArchive {
    FileHandle file;  // closed after the reader is freed
    ::archive* reader = nullptr;
    ::archive_entry* entry = nullptr;  // the header last read, until processed
    std::string arcName;
    std::uint64_t limit = 0;  // bytes per extracted member, 0 for no limit

    ~BuiltinArchive() {
        if (reader) ::archive_read_free(reader);
    }
};

BuiltinArchive* Archive(RarHandle h) {
    return static_cast<BuiltinArchive*>(h);
}

template <std::size_t N>
void CopyText(char (&dst)[N], const char* src) {
    const std::size_t n = src ? std::min(std::strlen(src), N - 1) : 0;
    if (n) std::memcpy(dst, src, n);
    dst[n] = '\0';
}

// libarchive gives no name in the locale's set for some names; the UTF-8 form
// stands in then.
const char* EntryName(::archive_entry* e) {
    if (const char* name = ::archive_entry_pathname(e)) return name;
    if (const char* name = ::archive_entry_pathname_utf8(e)) return name;
    return "";
}

// Where `path` (a "/"-separated stored name) goes below `dest`: empty, "."
// and ".." parts are dropped, so nothing can land outside it.
OutputTarget TargetBelow(const std::string& dest, const std::string& path) {
    OutputTarget t;
    t.extractDir = dest.empty() || dest.back() == '/' ? dest : dest + "/";
    std::vector<std::string> parts;
    std::size_t from = 0;
    while (from <= path.size()) {
        const auto slash = std::min(path.find('/', from), path.size());
        const std::string part = path.substr(from, slash - from);
        if (!part.empty() && part != "." && part != "..") parts.push_back(part);
        from = slash + 1;
    }
    if (!parts.empty()) {
        t.name = parts.back();
        parts.pop_back();
    }
    t.dirs = std::move(parts);
    return t;
}

// Copies the entry's data into `file`, at most `limit` bytes (0: all).
int CopyData(BuiltinArchive& h, OutputFile* file) {
    std::vector<char> buf(kBlock);
    std::uint64_t written = 0;
    for (;;) {
        const la_ssize_t n = ::archive_read_data(h.reader, buf.data(), buf.size());
        if (n < 0) return ERAR_BAD_DATA;
        if (n == 0) return 0;
        if (!file) continue;
        std::size_t take = static_cast<std::size_t>(n);
        if (h.limit)
            take = static_cast<std::size_t>(std::min<std::uint64_t>(take, h.limit - written));
        try {
            file->Write(reinterpret_cast<const std::uint8_t*>(buf.data()), take);
        } catch (const std::system_error&) {
            return ERAR_EWRITE;
        }
        written += take;
        if (h.limit && written >= h.limit) return 0;
    }
}

int Extract(BuiltinArchive& h, ::archive_entry* e, const char* destPath, const char* destName) {
    const OutputTarget t = destName ? TargetBelow("/", destName)
                                    : TargetBelow(destPath ? destPath : "./", EntryName(e));
    const auto type = ::archive_entry_filetype(e);
    if (type == AE_IFDIR) {
        OutputTarget folder = t;
        if (!folder.name.empty()) folder.dirs.push_back(folder.name);
        folder.name.clear();
        return CreateOutputDirs(folder) ? 0 : ERAR_ECREATE;
    }
    // Links, devices and the like are not written.
    if (type != AE_IFREG || t.name.empty()) return 0;
    if (::archive_entry_is_data_encrypted(e)) return ERAR_MISSING_PASSWORD;
    OutputFile file;
    if (!CreateOutputDirs(t) || !file.Create(t)) return ERAR_ECREATE;
    const int result = CopyData(h, &file);
    if (::archive_entry_mtime_is_set(e)) file.SetDate(::archive_entry_mtime(e));
    if (!file.Close() && result == 0) return ERAR_ECLOSE;
    return result;
}

RarHandle OpenArchive(RAROpenArchiveData* d) {
    if (!d) return nullptr;
    d->CmtSize = 0;
    d->CmtState = 0;
    auto h = std::make_unique<BuiltinArchive>();
    h->reader = ::archive_read_new();
    if (!h->reader) {
        d->OpenResult = ERAR_NO_MEMORY;
        return nullptr;
    }
    // Each format once: registering one twice breaks the reader.
    ::archive_read_support_format_rar(h->reader);
    ::archive_read_support_format_rar5(h->reader);
    // Opened here, so a FIFO or device under the archive's name fails at once.
    if (d->ArcName) h->file = OpenRegularFile(d->ArcName, nullptr);
    if (!h->file.ok() || ::archive_read_open_fd(h->reader, h->file.get(), kBlock) != ARCHIVE_OK) {
        d->OpenResult = ERAR_EOPEN;
        return nullptr;
    }
    h->arcName = d->ArcName;
    d->OpenResult = 0;
    return h.release();
}

int ReadHeader(RarHandle handle, RARHeaderData* hd) {
    BuiltinArchive* h = Archive(handle);
    if (!h || !hd) return ERAR_BAD_ARCHIVE;
    ::archive_entry* e = nullptr;
    const int r = ::archive_read_next_header(h->reader, &e);
    h->entry = nullptr;
    if (r == ARCHIVE_EOF) return ERAR_END_ARCHIVE;
    if (r < ARCHIVE_WARN || !e) return ERAR_BAD_ARCHIVE;
    h->entry = e;
    CopyText(hd->ArcName, h->arcName.c_str());
    CopyText(hd->FileName, EntryName(e));
    hd->Flags = (::archive_entry_filetype(e) == AE_IFDIR ? 0x20u : 0u) |
                (::archive_entry_is_encrypted(e) ? 0x04u : 0u);
    hd->PackSize = 0;
    hd->UnpSize = static_cast<unsigned int>(::archive_entry_size(e));
    hd->HostOS = 3;
    hd->FileCRC = 0;
    hd->FileTime = UnixToDosDate(::archive_entry_mtime(e));
    hd->UnpVer = 0;
    hd->Method = 0;
    hd->FileAttr = ::archive_entry_mode(e);
    hd->CmtSize = 0;
    hd->CmtState = 0;
    return 0;
}

int ProcessFile(RarHandle handle, int operation, char* destPath, char* destName) {
    BuiltinArchive* h = Archive(handle);
    if (!h || !h->entry) return ERAR_BAD_ARCHIVE;
    ::archive_entry* e = h->entry;
    h->entry = nullptr;
    if (operation == RAR_TEST) return CopyData(*h, nullptr);
    if (operation == RAR_EXTRACT) return Extract(*h, e, destPath, destName);
    return 0;  // skipped: the next header read passes over the data
}

int CloseArchive(RarHandle handle) {
    delete Archive(handle);
    return 0;
}

void SetOutputLimit(RarHandle handle, std::uint64_t bytes) {
    if (BuiltinArchive* h = Archive(handle)) h->limit = bytes;
}

}  // namespace

UnrarFunctions BuiltinUnrar() {
    UnrarFunctions f;
    f.RAROpenArchive = OpenArchive;
    f.RARReadHeader = ReadHeader;
    f.RARProcessFile = ProcessFile;
    f.RARCloseArchive = CloseArchive;
    f.SetOutputLimit = SetOutputLimit;
    return f;
}

}  // namespace lumora::archive::unrar
