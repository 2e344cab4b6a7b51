// Placeholder: filled in by the observation subsystem.
#ifndef STRATUS_OBSERVATION_OBSERVATION_H_
#define STRATUS_OBSERVATION_OBSERVATION_H_
#endif  // STRATUS_OBSERVATION_OBSERVATION_H_
