#!/usr/bin/env bash
# Fails when the shared library exports anything but the public API: the
# L*/W* classes (with their type information), the free conversion and
# decoding functions, and LString's operators. Weak instantiations of the
# standard library's templates (std::vector<WPlace>, made for the host
# layer's signatures) are exported by the compiler as the standard headers
# ask, and are let through.
set -euo pipefail
lib=${1:?usage: check-exports.sh path/to/libstratus.so}
api='^((typeinfo( name)? for |vtable for )?[LW][A-Z][A-Za-z]*(::|$)'
api+='|(resultMessage|C2F|F2C|INHG2HPA|INHG2MMHG|KMPH2MPH|MPH2KMPH|knots2MPH|decodeObservation|decodeReport|reportCode|getCurrentReport|getCurrentObservation|productLines|lastFetchFailure|relativeHumidity|windChill|heatIndex|placeLocalTime|placeSections|forecastPeriods|weatherWords|layerWords|compassPoint)(\[abi:cxx11\])?\('
api+='|operator(\+|==|!=)\((char const\*, )?LString const&)'
bad=$(nm -D --defined-only -C "$lib" | awk '!($2 ~ /^[WVu]$/ && $0 ~ / (void )?std::/) { $1=""; $2=""; sub(/^  /, ""); print }' | grep -v -E "$api" || true)
count=$(nm -D --defined-only "$lib" | wc -l)
if [ -n "$bad" ]; then
  echo "libstratus exports symbols outside the API:"
  echo "$bad"
  exit 1
fi
echo "exports: $count symbols, all in the public API"
