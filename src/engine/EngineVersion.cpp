namespace vantrel {
const char* const kProductVersion = "2.1";
}
