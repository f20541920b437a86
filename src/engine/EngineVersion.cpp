namespace vantrel {
[[maybe_unused]] const char* const kProductVersion = "2.1";
}
