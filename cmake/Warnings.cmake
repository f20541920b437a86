# Every target of ours compiles with the same strict warnings.
add_library(vantrel_warnings INTERFACE)
target_compile_options(vantrel_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                                                  -Wcast-align -Woverloaded-virtual -Wnull-dereference)
if(VANTREL_WERROR)
  target_compile_options(vantrel_warnings INTERFACE -Werror)
endif()
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12)
  # GCC 12 at -O3 reports impossible overlaps inside std::string's own inlined copies (GCC bug 105329).
  target_compile_options(vantrel_warnings INTERFACE -Wno-restrict)
endif()
