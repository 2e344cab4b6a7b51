// Placeholder: filled in by the reader subsystem.
#ifndef STRATUS_READER_READER_H_
#define STRATUS_READER_READER_H_
#endif  // STRATUS_READER_READER_H_
