#pragma once

#include "corelocation/CLLocation.h"

#include <string>

// A map's visible area: a centre and how many degrees of latitude and
// longitude it spans.
struct MKCoordinateSpan {
    double latitudeDelta = 0;
    double longitudeDelta = 0;
};

struct MKCoordinateRegion {
    CLLocationCoordinate2D center;
    MKCoordinateSpan span;
};

inline MKCoordinateSpan MKCoordinateSpanMake(double latitudeDelta, double longitudeDelta) { return { latitudeDelta, longitudeDelta }; }

inline MKCoordinateRegion MKCoordinateRegionMake(CLLocationCoordinate2D center, MKCoordinateSpan span) { return { center, span }; }

// A region a map can show: finite, a centre on the globe and a span that is
// not negative.
bool MKCoordinateRegionIsValid(const MKCoordinateRegion& region);

// The ground distance across `longitudeDelta` degrees at `latitude`, in metres
// (a sphere of the Earth's mean radius).
double MKMetersAcrossLongitudeDelta(double longitudeDelta, double latitude);

// A distance as a map's scale reads it: two significant figures, metres below
// one kilometre, else kilometres ("≈ 370 m", "≈ 1.2 km", "≈ 3700 km").
// Written without the process locale.
std::string MKScaleText(double meters);
