// A mailbox helper: TestConnection returns VANTREL_FAKE_RESULT. Built a second time without TestConnection.

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" {

#ifndef VANTREL_FAKE_WITHOUT_TEST
__attribute__((visibility("default"))) std::int32_t TestConnection(const char* /*server*/, char* errorText,
                                                                   std::int32_t errorTextSize) {
  std::snprintf(errorText, static_cast<std::size_t>(errorTextSize), "fake detail");
  const char* result = std::getenv("VANTREL_FAKE_RESULT");
  return result != nullptr ? static_cast<std::int32_t>(std::atoi(result)) : 0;
}
#endif

__attribute__((visibility("default"))) std::int32_t DeleteMailbox(const char* /*server*/, const char* /*mailboxName*/,
                                                                  char* errorText, std::int32_t errorTextSize) {
  std::snprintf(errorText, static_cast<std::size_t>(errorTextSize), "refused by the fake");
  return 0;
}

}  // extern "C"
