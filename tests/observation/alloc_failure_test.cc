// Allocation failure inside the decoder, for real: the global operator new
// of this executable fails the N-th allocation (tests/support/fail_new.cc).
#include <gtest/gtest.h>

#include "stratus/foundation/result.h"
#include "stratus/observation/observation.h"

#include "support/fail_new.h"

namespace {

// Purpose: at every allocation point of a decode, on reports that reach
// every parser, the only thing that leaves is LEx(L_MEM), nothing leaks,
// and the caller's text is untouched; the last round decodes in full.
TEST(ObservationAllocFailure, EveryPointOfADecode) {
  const char* reports[] = {
      "METAR KXYZ 121753Z AUTO 27010G15KT 240V300 1 1/2SM R28L/2600FT "
      "R10/1200FT -SHRA BR FEW/// BKN030 OVC050 M05/M12 A2992 RMK AO2 "
      "SLP132 T10561083 $",
      "SPECI KSFO 121756Z COR VRB03KT 10SM SKC 18/12 A2996 RMK AO1 T01830122",
      "EDDF 121750Z 27005MPS 9999 FEW030 12/08 Q1013 NOSIG",
      "RMK AO2 T10561083",
  };
  for (const char* report : reports) {
    const LString text(report);
    WObservation o;
    long before = failnew::live();
    long points = failnew::torture([&] { decodeObservation(text, o); },
                                   [&](long n, bool threw) {
                                     EXPECT_EQ(failnew::live(), before)
                                         << report << " round " << n;
                                     EXPECT_STREQ(text, report);
                                     (void)threw;
                                   });
    EXPECT_TRUE(o.hasTemp || o.hasTime) << report;
    std::printf("%ld allocation points: %s\n", points, report);
  }
}

// Purpose: what escapes a failed allocation is LEx carrying L_MEM.
TEST(ObservationAllocFailure, EscapesAsMemoryError) {
  const LString text("KXYZ 121753Z 27010KT 10SM BKN030 OVC050 12/08 A2992 ");
  WObservation o;
  for (long n = 0;; ++n) {
    failnew::arm(n);
    try {
      decodeObservation(text, o);
      bool failed = failnew::failures() > 0;
      failnew::disarm();
      if (!failed) break;
    } catch (const LEx& e) {
      failnew::disarm();
      EXPECT_EQ(e.id, L_MEM) << "round " << n;
    } catch (...) {
      failnew::disarm();
      ADD_FAILURE() << "not an LEx in round " << n;
    }
  }
}

}  // namespace
