#pragma once
// The drive letter a network share is connected to: the highest free one from Z down to E.
// A: to D: (floppies, the system disk, the usual optical drive) are never offered.
namespace ravel {

// The lower-case letter of the highest drive from z to e whose bit in `inUse` (bit 0 = A, as
// GetLogicalDrives answers) is clear; 0 when all of them are taken.
char highestFreeDriveLetter(unsigned long inUse);

} // namespace ravel
