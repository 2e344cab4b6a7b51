// Placeholder: filled in by the location subsystem.
#ifndef STRATUS_LOCATION_LOCATION_DB_H_
#define STRATUS_LOCATION_LOCATION_DB_H_
#endif  // STRATUS_LOCATION_LOCATION_DB_H_
