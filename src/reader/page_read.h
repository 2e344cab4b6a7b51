// The frame that every page read of the reader shares: the progress
// message, the proxy settings, opening the page, and the messages of the
// two outcomes of opening it.
#ifndef STRATUS_READER_PAGE_READ_H_
#define STRATUS_READER_PAGE_READ_H_

#include "stratus/foundation/host.h"
#include "stratus/foundation/result.h"
#include "stratus/foundation/string.h"

#include "reader/page_fetcher.h"
#include "reader/settings.h"

namespace stratus {

// Shows `progress`, reads "UseProxy" and "ProxyLocation", and opens `url`.
// When the page does not open: shows "Error: cannot connect to server" and
// returns L_CONNECT. Otherwise shows "Reading data from server...", calls
// `read` with the open fetcher, closes the page and returns L_OK.
template <typename Read>
int readPage(LInfoLine* infoLine, LKeeper& keeper, const LString& url,
             const LString& progress, Read read) {
  show(infoLine, progress);
  ProxySettings proxy = readProxySettings(keeper);
  WPageFetcher fetcher(proxy.useProxy, proxy.location);
  if (fetcher.open(url) != L_OK) {
    fetcher.close();
    show(infoLine, "Error: cannot connect to server");
    return L_CONNECT;
  }
  show(infoLine, "Reading data from server...");
  read(fetcher);
  fetcher.close();
  return L_OK;
}

}  // namespace stratus

#endif  // STRATUS_READER_PAGE_READ_H_
