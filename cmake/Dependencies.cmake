# Every dependency comes from Debian 12 packages; the set-up script installs them.
# Their headers are system headers so our warnings stay about our own code.

# The thread library's interface version is fixed once for the whole build.
add_compile_definitions(BOOST_THREAD_VERSION=4)

find_package(Threads REQUIRED)
find_package(Boost 1.74 REQUIRED COMPONENTS thread filesystem system locale)
find_package(fmt REQUIRED)
find_package(Freetype REQUIRED)
find_package(PNG REQUIRED)
find_package(JPEG REQUIRED)
find_package(ZLIB REQUIRED)
if(BUILD_TESTING)
  find_package(GTest REQUIRED)
endif()
find_package(PkgConfig REQUIRED)
pkg_check_modules(HARFBUZZ REQUIRED IMPORTED_TARGET harfbuzz)
pkg_check_modules(LCMS2 REQUIRED IMPORTED_TARGET lcms2)
pkg_check_modules(AGG REQUIRED IMPORTED_TARGET libagg)
# The presenter (os/display) and its smoke test, which reads the display back from the X server.
find_package(SDL2 REQUIRED)
find_package(X11 REQUIRED)
# The presenter asks a Wayland compositor for its seat before the display library starts on it.
pkg_check_modules(WAYLAND_CLIENT REQUIRED IMPORTED_TARGET wayland-client)

foreach(_t Boost::headers Boost::thread Boost::filesystem Boost::system Boost::locale
           fmt::fmt Freetype::Freetype PNG::PNG JPEG::JPEG ZLIB::ZLIB
           PkgConfig::HARFBUZZ PkgConfig::LCMS2 PkgConfig::AGG
           GTest::gtest GTest::gmock SDL2::SDL2 X11::X11 PkgConfig::WAYLAND_CLIENT)
  if(TARGET ${_t})
    get_target_property(_inc ${_t} INTERFACE_INCLUDE_DIRECTORIES)
    if(_inc)
      set_target_properties(${_t} PROPERTIES INTERFACE_SYSTEM_INCLUDE_DIRECTORIES "${_inc}")
    endif()
  endif()
endforeach()

set(HA_WARNINGS -Wall -Wextra)
if(HA_SANITIZE AND HA_TSAN)
  message(FATAL_ERROR "HA_SANITIZE and HA_TSAN do not go together: choose one")
endif()
if(HA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(HA_TSAN)
  add_compile_options(-fsanitize=thread)
  add_link_options(-fsanitize=thread)
endif()
