#pragma once

namespace places {

// Natural Earth's land at 1:10m in cells of 1/20 degree (about 5.5 km north
// to south), one bit each, row by row from the north, made at build time by
// tools/make-land-mask.py, which reads the two constants below from this
// header (and checks them in what it writes). Each band of landMaskBandRows rows is
// zlib-compressed on its own: band i is the bytes from landMaskBandOffsets[i]
// to landMaskBandOffsets[i + 1].
constexpr int landMaskCellsPerDegree = 20;
constexpr int landMaskBandRows = 10;
extern const unsigned char landMaskCompressed[];
extern const unsigned long landMaskBandOffsets[];

// Whether a position (in degrees) is at sea: no land in its cell nor in the
// eight around it, so a beach, a pier or a boat in a harbour still count as
// ashore despite the coast's coarse line. A band of the mask is inflated
// the first time a position in it is asked about, once; false when it cannot
// be. Calls may come from any thread.
bool isAtSea(double latitude, double longitude);

} // namespace places
