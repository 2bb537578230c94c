if(WIN32)
  # The DLL depends on Windows system DLLs only: the C++ runtime, libgcc and
  # winpthreads are linked in.
  add_link_options(-static -static-libgcc -static-libstdc++)

  # jsoncpp from Debian's source package (fetched by scripts/setup.sh).
  set(KORVAN_JSONCPP_SOURCE ${CMAKE_SOURCE_DIR}/third_party/jsoncpp CACHE PATH "jsoncpp source tree")
  if(NOT EXISTS ${KORVAN_JSONCPP_SOURCE}/include/json/json.h)
    message(FATAL_ERROR "jsoncpp source missing at ${KORVAN_JSONCPP_SOURCE}: run scripts/setup.sh")
  endif()
  file(GLOB jsoncpp_sources ${KORVAN_JSONCPP_SOURCE}/src/lib_json/*.cpp)
  add_library(korvan_jsoncpp STATIC ${jsoncpp_sources})
  target_include_directories(korvan_jsoncpp SYSTEM PUBLIC ${KORVAN_JSONCPP_SOURCE}/include)
  add_library(Korvan::jsoncpp ALIAS korvan_jsoncpp)

  # libsodium, cross-built from Debian's source package by scripts/setup.sh,
  # one static build per architecture.
  set(KORVAN_SODIUM_ROOT ${CMAKE_SOURCE_DIR}/third_party/libsodium/${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32
    CACHE PATH "libsodium built for this target")
  if(NOT EXISTS ${KORVAN_SODIUM_ROOT}/lib/libsodium.a)
    message(FATAL_ERROR "libsodium missing at ${KORVAN_SODIUM_ROOT}: run scripts/setup.sh")
  endif()
  add_library(korvan_sodium STATIC IMPORTED GLOBAL)
  set_target_properties(korvan_sodium PROPERTIES
    IMPORTED_LOCATION ${KORVAN_SODIUM_ROOT}/lib/libsodium.a
    INTERFACE_INCLUDE_DIRECTORIES ${KORVAN_SODIUM_ROOT}/include
    # Declarations for a static library, not a DLL's imports.
    INTERFACE_COMPILE_DEFINITIONS SODIUM_STATIC)
  add_library(Korvan::sodium ALIAS korvan_sodium)

  # GoogleTest from Debian's source, built with the posix-thread cross compiler.
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  add_library(Korvan::gtest ALIAS gtest)
  add_library(Korvan::gtest_main ALIAS gtest_main)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(JSONCPP REQUIRED IMPORTED_TARGET jsoncpp)
  add_library(Korvan::jsoncpp ALIAS PkgConfig::JSONCPP)
  pkg_check_modules(SODIUM REQUIRED IMPORTED_TARGET libsodium)
  add_library(Korvan::sodium ALIAS PkgConfig::SODIUM)
  find_package(CURL REQUIRED)
  find_package(OpenSSL REQUIRED COMPONENTS Crypto)
  find_package(Threads REQUIRED)
  find_package(GTest REQUIRED)
  add_library(Korvan::gtest ALIAS GTest::gtest)
  add_library(Korvan::gtest_main ALIAS GTest::gtest_main)
endif()
