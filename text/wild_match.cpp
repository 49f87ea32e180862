// Wildcard matching of zero-terminated texts.
#include "text/wild_match.h"

#include "text/ascii.h"

namespace zarvex {
namespace {

int WildMatchFrom(const unsigned char* t, const unsigned char* p, bool ignoreCase)
{
    for (; *p; ++t, ++p) {
        if (*t == 0 && *p != '*') return -1;
        switch (*p) {
        case '?':
            break;
        case '*': {
            while (p[1] == '*')
                ++p;
            if (p[1] == 0) return 1;
            for (; *t; ++t) {
                const int r = WildMatchFrom(t, p + 1, ignoreCase);
                if (r != 0) return r;
            }
            return -1;
        }
        case '/':
            if (p[1] != 0) ++p; // a trailing "/" stands for itself
            if (*t != *p) return 0;
            break;
        default:
            if (ignoreCase ? AsciiUpper(*t) != AsciiUpper(*p) : *t != *p) return 0;
            break;
        }
    }
    return *t == 0 ? 1 : 0;
}

} // namespace

int WildMatch(const char* text, const char* pattern, bool ignoreCase)
{
    return WildMatchFrom(reinterpret_cast<const unsigned char*>(text),
                         reinterpret_cast<const unsigned char*>(pattern), ignoreCase);
}

} // namespace zarvex
