#include "reader/settings.h"

namespace stratus {

ProxySettings readProxySettings(LKeeper& keeper) {
  int useProxy = 0;
  ProxySettings proxy;
  keeper.readInt(settings::kSection, settings::kUseProxy, useProxy, 0);
  keeper.readString(settings::kSection, settings::kProxyLocation,
                    proxy.location, 0);
  proxy.useProxy = useProxy != 0;
  return proxy;
}

LString readSetting(LKeeper& keeper, const char* key) {
  LString value;
  keeper.readString(settings::kSection, key, value, 0);
  return value;
}

}  // namespace stratus
