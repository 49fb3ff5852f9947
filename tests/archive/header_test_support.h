// The fixture of the header-parser tests: images opened for a parser, and
// the same image listed by the lister and extracted by the reader, so each
// test can show that both sides read a header alike.
#pragma once

#include <string>
#include <vector>

#include "archive/archive_test_support.h"
#include "archive/lister_test_support.h"

namespace lumora::archive::test {

class HeaderTest : public ReaderTest {
protected:
    // The image written as `name`, opened for a header parser.
    InputFile OpenImage(const std::string& name, const std::string& bytes) {
        InputFile f;
        EXPECT_TRUE(f.Open(Write(name, bytes).string()));
        return f;
    }

    struct BothSides {
        Listing listing;                     // what the lister reported
        std::vector<std::string> extracted;  // the files the reader wrote
    };
    // Lists and then extracts the image written as `name`; the reader's
    // events stay in `log` and `thrown`.
    BothSides ListAndExtract(const std::string& name, const std::string& bytes) {
        Reset();
        const fs::path path = Write(name, bytes);
        BothSides both{ListFile(path.string()), {}};
        Extract(path);
        both.extracted = OutFiles();
        return both;
    }
};

}  // namespace lumora::archive::test
