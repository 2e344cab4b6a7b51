// libcurl, loaded on the first page fetch instead of with the library.
//
// libcurl and the thirty-odd libraries it pulls in take most of the time a
// short-lived host needs to start; a host that only decodes reports or lists
// places never fetches, so it should not pay for them. The reader therefore
// opens libcurl (its run-time name, "libcurl.so.4") with dlopen on the first
// fetch and calls it through the table below. The headers are still libcurl's
// own, so every call is checked against its declaration when compiled.
#ifndef STRATUS_READER_CURL_LIBRARY_H_
#define STRATUS_READER_CURL_LIBRARY_H_

#include <curl/curl.h>

namespace stratus {

// The libcurl functions the reader calls.
struct CurlLibrary {
  decltype(&::curl_global_init) global_init;
  decltype(&::curl_easy_init) easy_init;
  decltype(&::curl_easy_cleanup) easy_cleanup;
  decltype(&::curl_easy_setopt) easy_setopt;
  decltype(&::curl_easy_getinfo) easy_getinfo;
  decltype(&::curl_easy_pause) easy_pause;
  decltype(&::curl_easy_strerror) easy_strerror;
  decltype(&::curl_multi_init) multi_init;
  decltype(&::curl_multi_cleanup) multi_cleanup;
  decltype(&::curl_multi_add_handle) multi_add_handle;
  decltype(&::curl_multi_remove_handle) multi_remove_handle;
  decltype(&::curl_multi_perform) multi_perform;
  decltype(&::curl_multi_poll) multi_poll;
  decltype(&::curl_multi_info_read) multi_info_read;
  decltype(&::curl_slist_append) slist_append;
  decltype(&::curl_slist_free_all) slist_free_all;
};

// libcurl, loaded and globally initialised on the first call (thread-safe);
// null when it cannot be loaded or initialised, for good: every fetch then
// fails to connect.
const CurlLibrary* curlLibrary();

}  // namespace stratus

#endif  // STRATUS_READER_CURL_LIBRARY_H_
