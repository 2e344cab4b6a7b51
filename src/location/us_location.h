// The WLocation of a US city, made from its city and state records: the one
// rule behind WLocationDB::makeUSLocation and the host layer's places.
#ifndef STRATUS_LOCATION_US_LOCATION_H_
#define STRATUS_LOCATION_US_LOCATION_H_

#include "stratus/location/location.h"

namespace stratus {

// Country 1, the state's and city's ids, area 0, the city data, the state's
// short name, the name "City, State, United States", valid. `location` is
// written only on success; -1 when memory runs out, else 0.
int buildUSLocation(const WCity& city, const WState& state,
                    WLocation& location);

}  // namespace stratus

#endif  // STRATUS_LOCATION_US_LOCATION_H_
