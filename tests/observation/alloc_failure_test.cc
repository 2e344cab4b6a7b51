// Allocation failure in the decoder, for real (tests/support/fail_new.cc).
#include <gtest/gtest.h>

#include "stratus/foundation/result.h"
#include "stratus/observation/observation.h"
#include "stratus/observation/report.h"

#include "support/fail_new.h"

namespace {

// Any failed allocation of a full decode: only LEx(L_MEM) leaves, no leak.
TEST(ObservationAllocFailure, EveryPointOfADecode) {
  const char* report =
      "METAR KXYZ 121753Z AUTO 27010G15KT 240V300 1 1/2SM R28L/2600FT -SHRA "
      "BR FEW/// BKN030 OVC050 M05/M12 A2992 RMK AO2 SLP132 T10561083 $";
  const LString text(report);
  WObservation o;
  long before = failnew::live();
  long points = failnew::torture(
      [&] {
        try {
          decodeObservation(text, o);
        } catch (const LEx& e) {
          EXPECT_EQ(e.id, L_MEM);
        }
      },
      [&](long n, bool threw) {
        EXPECT_FALSE(threw) << "round " << n << ": not an LEx";
        EXPECT_EQ(failnew::live(), before) << "round " << n;
        EXPECT_STREQ(text, report);
      });
  EXPECT_TRUE(o.hasTemp && o.hasPressure && o.hasWindSpeed && o.hasTime);
  EXPECT_GE(points, 4);  // the copy and one per layer at least
}

// The complete reading allocates nothing: with every allocation failing
// from the start, it reads the whole report and nothing is left behind.
TEST(ObservationAllocFailure, CompleteReadingNeedsNoMemory) {
  const LString text(
      "METAR KXYZ 121753Z AUTO 27010G15KT 240V300 1 1/2SM R28L/2600FT -SHRA "
      "BR FEW/// BKN030 OVC050 M05/M12 A2992 RMK AO2 SLP132 T10561083 $");
  WReport r;
  long before = failnew::live();
  failnew::arm(0, true);
  bool threw = false;
  try {
    decodeReport(text, r);
  } catch (...) {
    threw = true;
  }
  const long failed = failnew::failures();
  failnew::disarm();
  EXPECT_FALSE(threw);
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(failnew::live(), before);
  EXPECT_TRUE(r.hasWind && r.hasVisibility && r.hasTemp && r.hasPressure &&
              r.hasSeaLevelPressure);
  EXPECT_EQ(r.layerCount, 3);
  EXPECT_EQ(r.ceiling, 3000);
}

}  // namespace
