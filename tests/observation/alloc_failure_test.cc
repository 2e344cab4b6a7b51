// Allocation failure inside the decoder, for real: the global operator new
// of this executable fails the N-th allocation (tests/support/fail_new.cc).
#include <gtest/gtest.h>

#include "stratus/foundation/result.h"
#include "stratus/observation/observation.h"

#include "support/fail_new.h"

namespace {

// Purpose: at every allocation point of a decode that reaches every parser
// (working copy, sky layers, remarks), only LEx(L_MEM) leaves, nothing
// leaks and the caller's text stays; the last round decodes in full.
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
          throw;
        } catch (...) {
          ADD_FAILURE() << "an exception other than LEx";
          throw;
        }
      },
      [&](long n, bool) {
        EXPECT_EQ(failnew::live(), before) << "round " << n;
        EXPECT_STREQ(text, report);
      });
  EXPECT_TRUE(o.hasTemp && o.hasPressure && o.hasWindSpeed && o.hasTime);
  EXPECT_GE(points, 4);  // the copy and one per layer at least
}

}  // namespace
