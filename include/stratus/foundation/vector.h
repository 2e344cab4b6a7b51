// LVector<T>: an array that holds exactly as many elements as its count.
//
// There is no capacity beyond the count: `resize` allocates a new array of
// exactly the requested size and copies the kept elements over, so appending
// one element copies every earlier one. Every element access checks the index.
// `T` must be default-constructible and assignable.
//
// Allocation failure (of the array or of an element's copy) throws
// LEx(L_MEM) and leaves the vector unchanged; an index not below the count
// throws LEx(L_RANGE). Not thread-safe; not copyable.
#ifndef STRATUS_FOUNDATION_VECTOR_H_
#define STRATUS_FOUNDATION_VECTOR_H_

#include <new>

#include "stratus/foundation/result.h"

template <typename T>
class LVector {
 public:
  // Size 0 allocates nothing. Otherwise `size` default-constructed elements;
  // throws LEx(L_MEM) when they cannot be allocated.
  explicit LVector(unsigned size = 0) : data_(nullptr), count_(0) {
    if (size != 0) {
      data_ = allocate(size);
      count_ = size;
    }
  }
  // Frees the array, also the empty one that resize(0) makes.
  ~LVector() { delete[] data_; }
  LVector(const LVector&) = delete;
  LVector& operator=(const LVector&) = delete;

  // Replaces the array by one of exactly `size` elements (also for 0): the
  // first min(count, size) elements are assigned over in index order, the
  // rest are default-constructed. Throws LEx(L_MEM); the vector is then
  // unchanged.
  void resize(unsigned size) {
    T* fresh = allocate(size);
    unsigned keep = count_ < size ? count_ : size;
    try {
      for (unsigned i = 0; i < keep; ++i) fresh[i] = data_[i];
    } catch (const LEx&) {
      delete[] fresh;
      throw;
    } catch (const std::bad_alloc&) {
      delete[] fresh;
      throw LEx(L_MEM);
    }
    delete[] data_;
    data_ = fresh;
    count_ = size;
  }

  // The element at `index`; throws LEx(L_RANGE) when index >= getSize().
  T& operator[](unsigned index) {
    if (index >= count_) throw LEx(L_RANGE);
    return data_[index];
  }
  const T& operator[](unsigned index) const {
    if (index >= count_) throw LEx(L_RANGE);
    return data_[index];
  }

  unsigned getSize() const { return count_; }

 private:
  static T* allocate(unsigned size) {
    try {
      return new T[size]();  // value-initialised: scalars start at 0
    } catch (const std::bad_alloc&) {
      throw LEx(L_MEM);
    }
  }

  T* data_;         // null until the first allocation
  unsigned count_;  // elements in data_
};

#endif  // STRATUS_FOUNDATION_VECTOR_H_
