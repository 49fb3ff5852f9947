#include "print/list_charset.h"

#include "platform/code_pages.h"

namespace lumora::print {

std::string DecodeListText(std::string_view bytes, ListCharset charset) {
    switch (charset) {
        case ListCharset::Dos850:
            return DecodeCodePage(bytes, CodePage::Cp850);
        case ListCharset::Dos437:
            return DecodeCodePage(bytes, CodePage::Cp437);
        case ListCharset::Windows:
        default:
            return DecodeCodePage(bytes, CodePage::Windows1252);
    }
}

}  // namespace lumora::print
