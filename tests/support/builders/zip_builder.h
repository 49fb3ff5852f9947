// Builds small ZIP archives in memory for the tests: stored members, Deflate
// members made of stored blocks, raw payloads for damaged or unknown data,
// traditional encryption, a stub before the archive and an archive comment.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/core/crc.h"
#include "support/builders/le_fields.h"

namespace lumora::archive::test {

struct TestMember {
    std::string name;
    std::string data;                // the plain member data
    std::uint16_t method = 0;        // 0 stored; 8 Deflate (stored blocks)
    std::optional<std::string> raw;  // compressed bytes written as they are
    std::uint32_t externalAttrs = 0x20;
    std::uint16_t flags = 0;
    std::string extra;     // the extra field, in the local and the central header
    std::string password;  // encrypts the member when not empty
    std::optional<std::uint32_t> crc;
    std::uint32_t dosDateTime = 0x1F8E5A00;  // 1995-12-14 11:16:00
};

inline TestMember Member(std::string name, std::string data, std::uint16_t method = 0) {
    TestMember m;
    m.name = std::move(name);
    m.data = std::move(data);
    m.method = method;
    return m;
}

// A Deflate stream of stored blocks (at most 65535 bytes each).
inline std::string DeflateStored(const std::string& data) {
    std::string out;
    std::size_t pos = 0;
    do {
        const std::size_t n = std::min<std::size_t>(65535, data.size() - pos);
        out += static_cast<char>(pos + n == data.size() ? 1 : 0);
        Put16(out, static_cast<std::uint32_t>(n));
        Put16(out, static_cast<std::uint32_t>(~n & 0xFFFF));
        out += data.substr(pos, n);
        pos += n;
    } while (pos < data.size());
    return out;
}

// The published traditional encryption, written independently of the reader.
class TestCipher {
public:
    explicit TestCipher(const std::string& password) {
        for (char c : password) Update(static_cast<std::uint8_t>(c));
    }
    std::string Encrypt(const std::string& plain) {
        std::string out;
        for (char ch : plain) {
            const auto p = static_cast<std::uint8_t>(ch);
            const std::uint32_t t = (k2_ & 0xFFFF) | 2;
            out += static_cast<char>(p ^ ((t * (t ^ 1)) >> 8));
            Update(p);
        }
        return out;
    }

private:
    static std::uint32_t Crc(std::uint32_t c, std::uint8_t b) {
        c ^= b;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        return c;
    }
    void Update(std::uint8_t p) {
        k0_ = Crc(k0_, p);
        k1_ = (k1_ + (k0_ & 0xFF)) * 134775813u + 1;
        k2_ = Crc(k2_, static_cast<std::uint8_t>(k1_ >> 24));
    }
    std::uint32_t k0_ = 0x12345678u, k1_ = 0x23456789u, k2_ = 0x34567890u;
};

class ZipBuilder {
public:
    std::string stub;           // bytes before the archive
    bool adjustOffsets = true;  // offsets count from the file start (else from the archive)
    std::string comment;
    std::vector<TestMember> members;

    ZipBuilder& Add(TestMember m) {
        members.push_back(std::move(m));
        return *this;
    }

    std::string Build() const {
        std::string local, central;
        const std::size_t shift = adjustOffsets ? stub.size() : 0;
        for (const TestMember& m : members) {
            std::string payload = m.raw ? *m.raw : m.method == 8 ? DeflateStored(m.data) : m.data;
            const std::uint32_t crc = m.crc.value_or(CrcOf(m.data));
            std::uint16_t flags = m.flags;
            if (!m.password.empty()) {
                flags |= 1;
                std::string header = "0123456789A";
                header += static_cast<char>((flags & 8) ? (m.dosDateTime >> 8) & 0xFF : crc >> 24);
                payload = TestCipher(m.password).Encrypt(header + payload);
            }
            const std::uint32_t offset = static_cast<std::uint32_t>(shift + local.size());
            local += Header(0x04034B50, m, flags, crc, payload.size(), false, 0);
            local += m.name + m.extra + payload;
            central += Header(0x02014B50, m, flags, crc, payload.size(), true, offset);
            central += m.name + m.extra;
        }
        std::string end;
        Put32(end, 0x06054B50);
        Put32(end, 0);
        Put16(end, static_cast<std::uint32_t>(members.size()));
        Put16(end, static_cast<std::uint32_t>(members.size()));
        Put32(end, static_cast<std::uint32_t>(central.size()));
        Put32(end, static_cast<std::uint32_t>(shift + local.size()));
        Put16(end, static_cast<std::uint32_t>(comment.size()));
        return stub + local + central + end + comment;
    }

private:
    static std::string Header(std::uint32_t sig, const TestMember& m, std::uint16_t flags,
                              std::uint32_t crc, std::size_t packed, bool central,
                              std::uint32_t offset) {
        std::string h;
        Put32(h, sig);
        if (central) Put16(h, 20);
        Put16(h, 20);
        Put16(h, flags);
        Put16(h, m.method);
        Put32(h, m.dosDateTime);
        Put32(h, crc);
        Put32(h, static_cast<std::uint32_t>(packed));
        Put32(h, static_cast<std::uint32_t>(m.data.size()));
        Put16(h, static_cast<std::uint32_t>(m.name.size()));
        Put16(h, static_cast<std::uint32_t>(m.extra.size()));
        if (central) {
            Put16(h, 0);  // comment
            Put16(h, 0);  // disk
            Put16(h, 0);  // internal attributes
            Put32(h, m.externalAttrs);
            Put32(h, offset);
        }
        return h;
    }
};

// --- ZIP central directory only (all the lister reads) -----------------

struct CentralEntry {
    std::string name;
    std::uint32_t externalAttrs = 0x20;
    std::string extra = {};
    std::string comment = {};
    std::uint32_t size = 10;
    std::uint16_t flags = 0;
};

inline std::string ZipDirectoryOnly(const std::vector<CentralEntry>& entries,
                                    const std::string& archiveComment = "") {
    std::string dir;
    for (const CentralEntry& e : entries) {
        dir +=
            LeFields({{0x02014B50, 4}, {20, 2}, {20, 2}, {e.flags, 2}, {8, 2}, {0x1F8E5A00, 4}}) +
            LeFields({{0x12345678, 4}, {e.size / 2, 4}, {e.size, 4}, {e.name.size(), 2}}) +
            LeFields({{e.extra.size(), 2}, {e.comment.size(), 2}, {0, 4}}) +
            LeFields({{e.externalAttrs, 4}, {0, 4}}) + e.name + e.extra + e.comment;
    }
    // A local header signature first (30 bytes), so that detection takes it
    // for a ZIP.
    return LeFields({{0x04034B50, 4}, {0, 26}}) + dir +
           LeFields({{0x06054B50, 4}, {0, 4}, {entries.size(), 2}, {entries.size(), 2}}) +
           LeFields({{dir.size(), 4}, {30, 4}, {archiveComment.size(), 2}}) + archiveComment;
}

}  // namespace lumora::archive::test
