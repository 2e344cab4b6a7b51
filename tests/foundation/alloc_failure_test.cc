// Allocation failure for real: the global operator new of this executable
// counts down and fails the N-th allocation (tests/support/fail_new.cc).
#include <new>

#include <gtest/gtest.h>

#include "stratus/foundation/keyed_list.h"
#include "stratus/foundation/string.h"
#include "stratus/foundation/vector.h"

#include "support/fail_new.h"

namespace {

const char* kLong = "a string long enough to need its own heap block";

// Purpose: the injection itself works; if it silently stopped (valgrind
// without --soname-synonyms, a library-defined operator new), every other
// test here would pass without testing anything.
TEST(AllocFailure, InjectionIsLive) {
  failnew::arm(0);
  void* p = ::operator new(16, std::nothrow);
  failnew::disarm();
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(failnew::failures(), 1);
}

// Purpose: construction with a size fails with L_MEM and leaks nothing.
TEST(AllocFailure, VectorConstruction) {
  long before = failnew::live();
  failnew::arm(0);
  try {
    LVector<LString> v(3);
    ADD_FAILURE() << "no throw";
  } catch (const LEx& e) {
    EXPECT_EQ(e.id, L_MEM);
  }
  failnew::disarm();
  EXPECT_EQ(failnew::live(), before);
}

// Purpose: every allocation point of a resize (the array, then each copied
// element) fails in turn with L_MEM, leaving the vector as it was and
// leaking nothing; in the end the resize succeeds.
TEST(AllocFailure, VectorResizeEveryPoint) {
  for (unsigned target : {0u, 2u, 5u}) {
    LVector<LString> v(0);
    v.resize(3);
    for (unsigned i = 0; i < 3; ++i) v[i] = kLong;
    long before = failnew::live();
    long points =
        failnew::torture([&] { v.resize(target); },
                         [&](long n, bool threw) {
                           if (!threw) return;
                           EXPECT_EQ(v.getSize(), 3u) << "round " << n;
                           EXPECT_STREQ(v[2], kLong) << "round " << n;
                           EXPECT_EQ(failnew::live(), before) << "round " << n;
                         });
    EXPECT_EQ(v.getSize(), target);
    EXPECT_EQ(points, 1 + static_cast<long>(target < 3 ? target : 3))
        << "allocation points of resize 3 -> " << target;
  }
}

// Purpose: at every allocation point of the string operations, the only
// exception that escapes is LEx with L_MEM, never std::bad_alloc.
TEST(AllocFailure, OnlyLExEscapes) {
  LString source(kLong);
  failnew::torture(
      [&] {
        try {
          LString copy(source);
          copy += source;
          LString part;
          copy.mid(3, 40, part);
          copy.substitute("a", "bb");
        } catch (const LEx& e) {
          EXPECT_EQ(e.id, L_MEM);
          throw;
        } catch (...) {
          ADD_FAILURE() << "an exception other than LEx escaped";
          throw;
        }
      },
      [](long, bool) {});
}

// Purpose: a failed add passes L_MEM to the caller at every allocation
// point, also for the second key, without leaks.
TEST(AllocFailure, KeyedListAdd) {
  long before = failnew::live();
  long points = failnew::torture(
      [] {
        LKeyedList list;
        list.add(kLong, LKeyedList::MATCH_EQUAL);
        list.add("ob", LKeyedList::MATCH_BEGIN);
      },
      [&](long n, bool threw) {
        EXPECT_EQ(failnew::live(), before)
            << "round " << n << (threw ? " threw" : "");
      });
  EXPECT_GE(points, 10);  // five vectors, two adds, plus the long key's copy
  failnew::arm(0, true);
  try {
    LKeyedList list;
    list.add("ob", LKeyedList::MATCH_EQUAL);
    ADD_FAILURE() << "no throw";
  } catch (const LEx& e) {
    EXPECT_EQ(e.id, L_MEM);
  }
  failnew::disarm();
  EXPECT_EQ(failnew::live(), before);
}

}  // namespace
