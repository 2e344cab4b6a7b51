// A host that knows stratus only through its installed package: the
// umbrella header and the shared library, the host layer included.
// <netdb.h> first: its macros (NO_DATA, ...) must not break the headers.
#include <netdb.h>
#include <stratus/stratus.h>

#include <cstdio>
#include <string>

int main() {
  WCondition c;
  c.setTemp(21.0f);
  LString text;
  c.formatTemp(text, WCondition::Fahrenheit);
  std::printf("%s %s %.1f mph\n", STRATUS_VERSION_STRING, text.c_str(),
              knots2MPH(125));
  // The host layer's rules from the shared library: the settings table and
  // a derived reading (0 F in 15 mph is -19 F on the wind chill chart).
  double chill = 0;
  bool ok = windChill(0, 15, chill) && chill < -18.5 && chill > -19.5 &&
            WSettings::find("warningsbase") != nullptr &&
            WSettings::urlProblem("http://127.0.0.1:8086/iwin/").empty();
  return text == "70 F" && ok ? 0 : 1;
}
