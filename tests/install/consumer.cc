// A host that knows stratus only through its installed package: the
// umbrella header and the shared library.
#include <stratus/stratus.h>

#include <cstdio>

int main() {
  WCondition c;
  c.setTemp(21.0f);
  LString text;
  c.formatTemp(text, WCondition::Fahrenheit);
  std::printf("%s %s %.1f mph\n", STRATUS_VERSION_STRING, text.c_str(),
              knots2MPH(125));
  return text == "70 F" ? 0 : 1;
}
