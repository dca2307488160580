#pragma once
// The platform as the address-family independent network class tells it: finer than tePlatform
// (2003, Vista and later each have a value of their own).
namespace ravel {

// The values of sysNetworkAFIndependent::Platforms for a version record's platform id, major
// and minor version; 0 when none fits.
int finerPlatform(unsigned long platformId, unsigned long major, unsigned long minor);

} // namespace ravel
