#include "RunHarness.h"

namespace halvio::test {

RunHarness::RunHarness(platform::HttpClient::Options httpOptions, platform::HttpClient::Options localOptions)
    : http(httpOptions), httplocal(localOptions),
      context{
          view, model, http, httplocal, uz, programFolder.file("maj_kliso.exe"), programFolder.path() + "/",
          0,    {},    {},   {}} {}

} // namespace halvio::test
