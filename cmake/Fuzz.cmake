# The libFuzzer build (-DHA_FUZZ=ON, configured with clang in a folder of its own, e.g.
# build/fuzz): every library of the project is compiled with coverage for the fuzzer and with
# AddressSanitizer and UndefinedBehaviorSanitizer; the fuzz targets in fuzz/ link libFuzzer's
# main. scripts/fuzz.sh builds and runs them.
if(HA_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang" OR NOT CMAKE_C_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "HA_FUZZ needs clang: -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++")
  endif()
  if(HA_SANITIZE)
    message(FATAL_ERROR "HA_FUZZ brings its own sanitizers: leave HA_SANITIZE off")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# ha_add_fuzzer(NAME <name> SOURCES <files...> LINK <libs...>)
# One libFuzzer target, fuzz_<name>, put into <build>/fuzzers/ where scripts/fuzz.sh finds it.
# Its seeds are fuzz/corpus/<name>/ (small files kept in the repository) and what the seed
# generator (fuzz/MakeFuzzSeeds.cpp) writes for <name>; either may be missing.
# Built by the target `fuzzers`.
function(ha_add_fuzzer)
  cmake_parse_arguments(A "" "NAME" "SOURCES;LINK" ${ARGN})
  if(NOT A_NAME OR NOT A_SOURCES)
    message(FATAL_ERROR "ha_add_fuzzer: NAME and SOURCES are needed")
  endif()
  set(_target fuzz_${A_NAME})
  add_executable(${_target} ${A_SOURCES})
  target_compile_options(${_target} PRIVATE ${HA_WARNINGS})
  target_link_libraries(${_target} PRIVATE ${A_LINK})
  target_link_options(${_target} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${_target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzzers)
  if(NOT TARGET fuzzers)
    add_custom_target(fuzzers)
  endif()
  add_dependencies(fuzzers ${_target})
endfunction()
