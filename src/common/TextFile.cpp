#include "common/TextFile.h"

#include "common/CodePages.h"
#include "common/Utf.h"

namespace velmora {

std::string DecodeTextFile(std::string_view bytes)
{
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return std::string(bytes.substr(3));
    if (bytes.substr(0, 2) == "\xFF\xFE") return Utf16BytesToUtf8(bytes.substr(2), false);
    if (bytes.substr(0, 2) == "\xFE\xFF") return Utf16BytesToUtf8(bytes.substr(2), true);
    return DecodeCodePage(CodePage::Ansi1252, bytes);
}

} // namespace velmora
