#include "archive/formats/rar/unrar_builtin.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "archive/core/dos_date.h"
#include "archive/core/output_writer.h"
#include "archive/formats/rar/rar_reader.h"
#include "platform/text.h"

namespace lumora::archive::unrar {

namespace {

struct BuiltinArchive {
    RarReader reader;
    RarMember member;  // the header last read, until processed
    bool haveMember = false;
    std::string arcName;
    std::uint64_t limit = 0;  // bytes per extracted member, 0 for no limit
};

BuiltinArchive* Archive(RarHandle h) {
    return static_cast<BuiltinArchive*>(h);
}

template <std::size_t N>
void CopyText(char (&dst)[N], const std::string& src) {
    const std::size_t n = std::min(src.size(), N - 1);
    if (n) std::memcpy(dst, src.data(), n);
    dst[n] = '\0';
}

// Output into nothing: a member tested, not written.
class NullSink final : public OutputSink {
public:
    void Write(const std::uint8_t*, std::size_t) override {}
};

class FileSink final : public OutputSink {
public:
    explicit FileSink(OutputFile& file) : file_(file) {}
    void Write(const std::uint8_t* data, std::size_t n) override { file_.Write(data, n); }

private:
    OutputFile& file_;
};

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

int Extract(BuiltinArchive& h, const RarMember& m, const char* destPath, const char* destName) {
    // Members land under the name the lister shows, in the host's UTF-8.
    const OutputTarget t = destName
                               ? TargetBelow("/", destName)
                               : TargetBelow(destPath ? destPath : "./", AnsiToUtf8(m.ansiName));
    if (m.directory) {
        OutputTarget folder = t;
        if (!folder.name.empty()) folder.dirs.push_back(folder.name);
        folder.name.clear();
        return CreateOutputDirs(folder) ? 0 : ERAR_ECREATE;
    }
    // Links, devices and the like are not written (but decoded in solid
    // archives, where the members after them need their state).
    if (m.special || t.name.empty()) {
        h.reader.Skip();
        return 0;
    }
    if (m.encrypted) return h.reader.Decode(nullptr, 0);
    OutputFile file;
    if (!CreateOutputDirs(t) || !file.Create(t)) {
        h.reader.Skip();
        return ERAR_ECREATE;
    }
    FileSink sink(file);
    int result = 0;
    try {
        result = h.reader.Decode(&sink, h.limit);
    } catch (const std::system_error&) {
        result = ERAR_EWRITE;
    }
    if (const auto when = DosDateToUnix(m.dosTime)) file.SetDate(*when);
    if (!file.Close() && result == 0) return ERAR_ECLOSE;
    return result;
}

RarHandle OpenArchive(RAROpenArchiveData* d) {
    if (!d) return nullptr;
    d->CmtSize = 0;
    d->CmtState = 0;
    auto h = std::make_unique<BuiltinArchive>();
    if (!d->ArcName) {
        d->OpenResult = ERAR_EOPEN;
        return nullptr;
    }
    d->OpenResult = static_cast<unsigned int>(h->reader.Open(d->ArcName));
    if (d->OpenResult != 0) return nullptr;
    h->arcName = d->ArcName;
    return h.release();
}

int ReadHeader(RarHandle handle, RARHeaderData* hd) {
    BuiltinArchive* h = Archive(handle);
    if (!h || !hd) return ERAR_BAD_ARCHIVE;
    h->haveMember = false;
    RarMember& m = h->member;
    if (const int r = h->reader.Next(m); r != 0) return r;
    h->haveMember = true;
    CopyText(hd->ArcName, h->arcName);
    CopyText(hd->FileName, m.ansiName);
    hd->Flags = (m.splitBefore ? 0x01u : 0u) | (m.splitAfter ? 0x02u : 0u) |
                (m.encrypted ? 0x04u : 0u) | (m.solid ? 0x10u : 0u) | (m.directory ? 0x20u : 0u);
    hd->PackSize = 0;
    hd->UnpSize = static_cast<unsigned int>(m.unpacked);
    hd->HostOS = m.hostOs;
    hd->FileCRC = m.crc;
    hd->FileTime = m.dosTime;
    hd->UnpVer = m.unpVersion;
    hd->Method = m.method;
    hd->FileAttr = m.attributes;
    hd->CmtSize = 0;
    hd->CmtState = 0;
    return 0;
}

int ProcessFile(RarHandle handle, int operation, char* destPath, char* destName) {
    BuiltinArchive* h = Archive(handle);
    if (!h || !h->haveMember) return ERAR_BAD_ARCHIVE;
    h->haveMember = false;
    if (operation == RAR_TEST) {
        NullSink sink;
        return h->reader.Decode(&sink, 0);
    }
    if (operation == RAR_EXTRACT) return Extract(*h, h->member, destPath, destName);
    h->reader.Skip();
    return 0;
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
