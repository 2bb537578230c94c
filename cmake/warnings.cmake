# Warnings are errors on our own code in every configuration.
function(korvan_strict target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wshadow -Wnon-virtual-dtor)
endfunction()

if(KORVAN_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

if(KORVAN_THREAD_SANITIZE)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

option(KORVAN_FUZZ "Build the fuzz targets with libFuzzer (clang)" OFF)
if(KORVAN_FUZZ)
  # Coverage for the library code the fuzz targets drive, not just the targets.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

if(NOT WIN32)
  # Only the exports the host calls leave the shared library.
  set(CMAKE_CXX_VISIBILITY_PRESET hidden)
  set(CMAKE_VISIBILITY_INLINES_HIDDEN ON)
endif()
