#include "internal/net/DriveLetters.h"

namespace ravel {

char highestFreeDriveLetter(unsigned long inUse)
{
    for (int bit = 'z' - 'a'; bit >= 'e' - 'a'; --bit) {
        if ((inUse & (1ul << bit)) == 0)
            return static_cast<char>('a' + bit);
    }
    return 0;
}

} // namespace ravel
