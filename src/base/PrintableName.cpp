#include "base/PrintableName.h"

namespace veskar {

namespace {

void appendHex(std::string& out, unsigned char c)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out += "\\x";
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
}

} // namespace

std::string printableName(std::string_view name)
{
    std::string out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\t') out += "\\t";
        else if (c < 0x20 || c == 0x7F) appendHex(out, c);
        else if (c == 0xC2 && i + 1 < name.size() && static_cast<unsigned char>(name[i + 1]) >= 0x80 &&
                 static_cast<unsigned char>(name[i + 1]) <= 0x9F) {
            appendHex(out, c);
            appendHex(out, static_cast<unsigned char>(name[++i]));
        } else out += static_cast<char>(c);
    }
    return out;
}

} // namespace veskar
