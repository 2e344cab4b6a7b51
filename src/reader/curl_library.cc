#include "reader/curl_library.h"

#include <dlfcn.h>

namespace stratus {

namespace {

// The run-time name of libcurl with the interface of the headers above.
constexpr const char* kLibraryName = "libcurl.so.4";

template <typename F>
bool resolve(void* handle, const char* name, F& function) {
  function = reinterpret_cast<F>(dlsym(handle, name));
  return function != nullptr;
}

const CurlLibrary* load() {
  static CurlLibrary lib;
  // Kept open for the life of the process: libcurl is not unloaded.
  void* h = dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);
  if (h == nullptr) return nullptr;
  bool ok = resolve(h, "curl_global_init", lib.global_init) &&
            resolve(h, "curl_easy_init", lib.easy_init) &&
            resolve(h, "curl_easy_cleanup", lib.easy_cleanup) &&
            resolve(h, "curl_easy_setopt", lib.easy_setopt) &&
            resolve(h, "curl_easy_getinfo", lib.easy_getinfo) &&
            resolve(h, "curl_easy_pause", lib.easy_pause) &&
            resolve(h, "curl_easy_strerror", lib.easy_strerror) &&
            resolve(h, "curl_multi_init", lib.multi_init) &&
            resolve(h, "curl_multi_cleanup", lib.multi_cleanup) &&
            resolve(h, "curl_multi_add_handle", lib.multi_add_handle) &&
            resolve(h, "curl_multi_remove_handle", lib.multi_remove_handle) &&
            resolve(h, "curl_multi_perform", lib.multi_perform) &&
            resolve(h, "curl_multi_poll", lib.multi_poll) &&
            resolve(h, "curl_multi_info_read", lib.multi_info_read) &&
            resolve(h, "curl_slist_append", lib.slist_append) &&
            resolve(h, "curl_slist_free_all", lib.slist_free_all);
  if (!ok || lib.global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) return nullptr;
  return &lib;
}

}  // namespace

const CurlLibrary* curlLibrary() {
  static const CurlLibrary* const lib = load();
  return lib;
}

}  // namespace stratus
