#include "internal/system/LanguageTable.h"

#include <algorithm>
#include <iterator>

namespace ravel {
namespace {

const char* const kDirectoryNames[kLanguageCount] = {"unknown", "En", "Fr", "Ge", "It", "Sp", "Pg", "Cz",
                                                     "Po",      "Ru", "Jp", "Ko", "Tc", "Sc", "Dn", "Du",
                                                     "Fi",      "Hu", "No", "Sw", "Ti", "Tk", "Ar", "He"};

struct Entry
{
    unsigned short id;
    unsigned char language;
};

// Sorted by identifier for the binary search.
const Entry kTable[] = {
    {0x0000, 1},  {0x0400, 1},  {0x0401, 22}, {0x0404, 12}, {0x0405, 7},  {0x0406, 14}, {0x0407, 3},  {0x0409, 1},
    {0x040A, 5},  {0x040B, 16}, {0x040C, 2},  {0x040D, 23}, {0x040E, 17}, {0x0410, 4},  {0x0411, 10}, {0x0412, 11},
    {0x0413, 15}, {0x0414, 18}, {0x0415, 8},  {0x0416, 6},  {0x0419, 9},  {0x041D, 19}, {0x041E, 20}, {0x041F, 21},
    {0x0801, 22}, {0x0804, 13}, {0x0807, 3},  {0x0809, 1},  {0x080A, 5},  {0x080C, 2},  {0x0810, 4},  {0x0812, 11},
    {0x0813, 15}, {0x0814, 18}, {0x0816, 6},  {0x081D, 19}, {0x0C01, 22}, {0x0C04, 12}, {0x0C07, 3},  {0x0C09, 1},
    {0x0C0A, 5},  {0x0C0C, 2},  {0x1001, 22}, {0x1004, 12}, {0x1007, 3},  {0x1009, 1},  {0x100A, 5},  {0x100C, 2},
    {0x1401, 22}, {0x1404, 12}, {0x1407, 3},  {0x1409, 1},  {0x140A, 5},  {0x140C, 2},  {0x1801, 22}, {0x1809, 1},
    {0x180A, 5},  {0x180C, 2},  {0x1C01, 22}, {0x1C09, 1},  {0x1C0A, 5},  {0x2001, 22}, {0x2009, 1},  {0x200A, 5},
    {0x2401, 22}, {0x2409, 1},  {0x240A, 5},  {0x2801, 22}, {0x2809, 1},  {0x280A, 5},  {0x2C01, 22}, {0x2C09, 1},
    {0x2C0A, 5},  {0x3001, 22}, {0x3009, 1},  {0x300A, 5},  {0x3401, 22}, {0x3409, 1},  {0x340A, 5},  {0x3801, 22},
    {0x380A, 5},  {0x3C01, 22}, {0x3C0A, 5},  {0x4001, 22}, {0x400A, 5},  {0x440A, 5},  {0x480A, 5},  {0x4C0A, 5},
    {0x500A, 5},
};

} // namespace

int languageOfLanguageID(unsigned short languageID)
{
    const auto* end = std::end(kTable);
    const auto* at = std::lower_bound(std::begin(kTable), end, languageID,
                                      [](const Entry& e, unsigned short id) { return e.id < id; });
    return at != end && at->id == languageID ? at->language : 0;
}

const char* languageDirectoryName(int language)
{
    return language >= 0 && language < kLanguageCount ? kDirectoryNames[language] : nullptr;
}

} // namespace ravel
