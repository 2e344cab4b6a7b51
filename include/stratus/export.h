// Symbol visibility for the stratus shared library.
//
// The library is built with hidden visibility; every class, function and
// data object that a host may use carries STRATUS_EXPORT. Internal units
// stay hidden, so the shared library's dynamic symbol table is the API.
#ifndef STRATUS_EXPORT_H_
#define STRATUS_EXPORT_H_

#if defined(STRATUS_BUILDING_LIBRARY)
#define STRATUS_EXPORT __attribute__((visibility("default")))
#else
#define STRATUS_EXPORT
#endif

#endif  // STRATUS_EXPORT_H_
