#pragma once

namespace places {

// Natural Earth's land at 1:10m in cells of 1/20 degree (about 5.5 km north
// to south), one bit each, row by row from the north, zlib-compressed; made
// at build time by tools/make-land-mask.py.
extern const unsigned char landMaskCompressed[];
extern const unsigned long landMaskCompressedSize;
constexpr int landMaskCellsPerDegree = 20;

// Whether a position (in degrees) is at sea: no land in its cell nor in the
// eight around it, so a beach, a pier or a boat in a harbour still count as
// ashore despite the coast's coarse line. The mask is inflated on the first
// call, once; false when it cannot be.
bool isAtSea(double latitude, double longitude);

} // namespace places
