#pragma once

#include "viewer/places/PlaceClusters.h"

#include "foundation/Forward.h"

namespace places {

// The positions of the album's photos (PLManagedAssets, in album order),
// each read once through the image properties with the asset's other
// facts; photos without one, and files that are not photos, are passed over.
std::vector<PlacedPhoto> positionsOfAssets(const NSArray& assets);

} // namespace places
