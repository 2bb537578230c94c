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
  find_package(CURL REQUIRED)
  find_package(OpenSSL REQUIRED COMPONENTS Crypto)
  find_package(Threads REQUIRED)
  find_package(GTest REQUIRED)
  add_library(Korvan::gtest ALIAS GTest::gtest)
  add_library(Korvan::gtest_main ALIAS GTest::gtest_main)
endif()
