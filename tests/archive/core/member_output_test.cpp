// A member's output buffer: bytes reach the file in whole buffers (or at the
// flush), unchanged and in order, whatever the sizes of the writes.
#include "archive/core/member_output.h"

#include <gtest/gtest.h>

#include <string>

#include "archive/core/output_writer.h"
#include "support/builders/le_fields.h"

namespace lumora::archive {
namespace {

TEST(MemberOutput, PassesWholeBuffersInOrderWhateverTheWriteSizes) {
    constexpr std::size_t kFull = MemberOutput::kBufferSize;
    std::string data;
    for (std::size_t i = 0; i < 5 * kFull; ++i) data += static_cast<char>(i * 7 + i / 251);
    std::string file;
    OutputFile target = OutputFile::InMemory(file, SIZE_MAX);
    MemberOutput out(&target, 0);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data.data());
    std::size_t done = 0;
    const auto write = [&](std::size_t n) {
        out.Write(bytes + done, n);
        done += n;
    };
    // Small pieces stay in the buffer until it is full.
    for (std::size_t n : {1, 3, 442}) write(n);
    write(kFull - done - 1);
    EXPECT_EQ(file.size(), 0u);
    write(1);
    EXPECT_EQ(file.size(), kFull);
    // A write larger than the buffer, starting empty, goes through at once
    // but for its part of a buffer.
    write(2 * kFull + 5);
    EXPECT_EQ(file.size(), 3 * kFull);
    write(kFull);  // fills the buffer behind the 5 bytes, the rest waits
    EXPECT_EQ(file.size(), 4 * kFull);
    write(data.size() - done);
    out.Flush();
    EXPECT_EQ(out.Total(), data.size());
    EXPECT_TRUE(file == data);
    EXPECT_EQ(out.Crc(), test::CrcOf(data));
}

}  // namespace
}  // namespace lumora::archive
