#pragma once

namespace places {

// A city of libgweather's world locations database as the build found it
// (tools/MakeCityTable.cpp): its position and where it sits in the
// database's tree, the child index at each level below the world. The
// table lets a lookup measure distances without reading the database; only
// the city it names is then looked up there, by its path, for its name in
// the person's language. Names are offsets into one block of text, so the
// table holds no pointers for the dynamic loader to relocate at every start.
extern const char cityNames[];

struct CityEntry {
    double latitude;
    double longitude;
    unsigned short path[5];
    unsigned char depth;
    unsigned englishNameAt; // to check the path still leads to it
    // What a lookup answers (with the English name) when the database cannot be read.
    unsigned englishCountryAt;

    const char* englishName() const { return cityNames + englishNameAt; }
    const char* englishCountry() const { return cityNames + englishCountryAt; }
};

// Sorted by latitude.
extern const CityEntry cityTable[];
extern const unsigned long cityTableSize;

} // namespace places
