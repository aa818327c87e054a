#include "LandMask.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace places {

namespace {

constexpr int width = 360 * landMaskCellsPerDegree;
constexpr int height = 180 * landMaskCellsPerDegree;

class LandBits {
public:
    static const LandBits& shared()
    {
        static const LandBits bits;
        return bits;
    }

    bool loaded() const { return !bits_.empty(); }

    bool isLand(int row, int column) const
    {
        if (row < 0 || row >= height)
            return false;
        column = (column % width + width) % width; // round the globe
        const long index = static_cast<long>(row) * width + column;
        return (bits_[static_cast<size_t>(index / 8)] >> (index % 8)) & 1;
    }

private:
    LandBits()
    {
        std::vector<unsigned char> bits(static_cast<size_t>(width) * height / 8);
        uLongf size = bits.size();
        if (uncompress(bits.data(), &size, landMaskCompressed, landMaskCompressedSize) == Z_OK && size == bits.size())
            bits_ = std::move(bits);
    }

    std::vector<unsigned char> bits_;
};

} // namespace

bool isAtSea(double latitude, double longitude)
{
    const LandBits& land = LandBits::shared();
    if (!land.loaded())
        return false;
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
