# ks_require_package(<package> DEBIAN <debian packages...> [COMPONENTS <components...>])
# find_package that stops the configure, when the package is missing, with the Debian packages to
# install (scripts/install-deps installs them all).
# A macro, not a function: what find_package sets must reach the caller (pkg-config's variables).
macro(ks_require_package package)
  cmake_parse_arguments(KS_REQUIRE "" "" "DEBIAN;COMPONENTS" ${ARGN})
  if(KS_REQUIRE_COMPONENTS)
    find_package(${package} COMPONENTS ${KS_REQUIRE_COMPONENTS})
  else()
    find_package(${package})
  endif()
  if(NOT ${package}_FOUND)
    string(JOIN " " KS_REQUIRE_DEBS ${KS_REQUIRE_DEBIAN})
    message(FATAL_ERROR "${package} ${KS_REQUIRE_COMPONENTS} not found. Install the Debian "
                        "packages: ${KS_REQUIRE_DEBS} (scripts/install-deps installs every "
                        "package the build needs).")
  endif()
endmacro()

ks_require_package(Qt6 COMPONENTS Core Gui Widgets PrintSupport SerialPort Sql Test
                   DEBIAN qt6-base-dev qt6-serialport-dev libqt6sql6-sqlite)
# The run-time reads the font configuration early, on a thread of its own.
ks_require_package(Fontconfig DEBIAN libfontconfig-dev)
if(KS_BUILD_TESTS)
  ks_require_package(GTest DEBIAN libgtest-dev googletest)
endif()
if(KS_BUILD_BENCH)
  ks_require_package(benchmark DEBIAN libbenchmark-dev)
  ks_require_package(PkgConfig DEBIAN pkg-config)
  # Peers of the INI benchmark, measured in the same run.
  pkg_check_modules(INIH IMPORTED_TARGET inih)
  pkg_check_modules(SIMPLEINI IMPORTED_TARGET simpleini)
  pkg_check_modules(GLIB IMPORTED_TARGET glib-2.0)
  if(NOT INIH_FOUND OR NOT SIMPLEINI_FOUND OR NOT GLIB_FOUND)
    message(FATAL_ERROR "The INI benchmark's peers are missing. Install the Debian packages: "
                        "libinih-dev libsimpleini-dev libglib2.0-dev (scripts/install-deps).")
  endif()
endif()
