// Unit factors that more than one subsystem uses, so that each is stated
// once.
#ifndef STRATUS_FOUNDATION_UNITS_H_
#define STRATUS_FOUNDATION_UNITS_H_

namespace stratus {

// Hectopascals in one inch of mercury (at 0 C): the factor of INHG2HPA and
// of the complete reading's altimeter settings coded in hectopascals.
constexpr double kHpaPerInHg = 33.8638;

}  // namespace stratus

#endif  // STRATUS_FOUNDATION_UNITS_H_
