#include "viewer/places/PhotoPositions.h"

#include "photolibrary/PLManagedAsset.h"
#include "foundation/NSArray.h"

namespace places {

std::vector<PlacedPhoto> positionsOfAssets(const NSArray& assets)
{
    std::vector<PlacedPhoto> placed;
    size_t index = 0;
    for (const auto& object : assets) {
        if (auto* asset = objc_cast<PLManagedAsset>(object.get())) {
            if (auto position = asset->filePosition())
                placed.push_back({ index, { position->latitude, position->longitude } });
        }
        ++index;
    }
    return placed;
}

} // namespace places
