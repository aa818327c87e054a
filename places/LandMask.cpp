#include "places/LandMask.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>
#include <vector>

namespace places {

namespace {

constexpr int width = 360 * landMaskCellsPerDegree;
constexpr int height = 180 * landMaskCellsPerDegree;
constexpr int bandCount = height / landMaskBandRows;
constexpr size_t bandBytes = static_cast<size_t>(landMaskBandRows) * width / 8;

// The bands inflated so far; each is inflated once and then kept.
class LandBands {
public:
    static LandBands& shared()
    {
        static LandBands bands;
        return bands;
    }

    // Whether the cell is land; false for a row beyond the poles. A band
    // that cannot be inflated counts as land, so a broken mask costs the
    // test for sea, never the place's name.
    bool isLand(int row, int column)
    {
        if (row < 0 || row >= height)
            return false;
        const std::vector<unsigned char>& bits = band(row / landMaskBandRows);
        if (bits.empty())
            return true;
        column = (column % width + width) % width; // round the globe
        const size_t index = static_cast<size_t>(row % landMaskBandRows) * width + static_cast<size_t>(column);
        return (bits[index / 8] >> (index % 8)) & 1;
    }

private:
    const std::vector<unsigned char>& band(int index)
    {
        std::lock_guard guard(lock_);
        auto& bits = bands_[static_cast<size_t>(index)];
        if (!inflated_[static_cast<size_t>(index)]) {
            inflated_[static_cast<size_t>(index)] = true;
            std::vector<unsigned char> inflated(bandBytes);
            uLongf size = inflated.size();
            const unsigned long start = landMaskBandOffsets[index];
            const unsigned long end = landMaskBandOffsets[index + 1];
            if (uncompress(inflated.data(), &size, landMaskCompressed + start, end - start) == Z_OK && size == bandBytes)
                bits = std::move(inflated);
        }
        return bits;
    }

    std::mutex lock_;
    std::array<std::vector<unsigned char>, bandCount> bands_;
    std::array<bool, bandCount> inflated_ {};
};

} // namespace

bool isAtSea(double latitude, double longitude)
{
    LandBands& land = LandBands::shared();
    const int row = std::clamp(static_cast<int>(std::floor((90 - latitude) * landMaskCellsPerDegree)), 0, height - 1);
    const int column = static_cast<int>(std::floor((longitude + 180) * landMaskCellsPerDegree));
    for (int dRow = -1; dRow <= 1; ++dRow) {
        for (int dColumn = -1; dColumn <= 1; ++dColumn) {
            if (land.isLand(row + dRow, column + dColumn))
                return false;
        }
    }
    return true;
}

} // namespace places
