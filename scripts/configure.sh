# The scripts' one configure line. Sourced; gives
#
#   ha_configure <kind> <build folder> [more cmake options]
#
# which configures the folder as that kind of build, quietly:
#   normal    the build of the tests, run.sh, device.sh and the screenshot walk
#   sanitize  AddressSanitizer and UndefinedBehaviorSanitizer
#   tsan      ThreadSanitizer
#   fuzz      the libFuzzer targets with clang (-O1 and line tables only: quicker to build,
#             and stack traces keep their lines); no tests
ha_configure() { # kind, folder, more cmake options...
  local kind=$1 dir=$2
  shift 2
  local source
  source=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  local options=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo)
  case $kind in
    normal) options+=(-DHA_SANITIZE=OFF -DHA_TSAN=OFF) ;;
    sanitize) options+=(-DHA_SANITIZE=ON -DHA_TSAN=OFF -DHA_BENCHMARKS=OFF) ;;
    tsan) options+=(-DHA_SANITIZE=OFF -DHA_TSAN=ON -DHA_BENCHMARKS=OFF) ;;
    fuzz)
      options+=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
                -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only"
                -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only"
                -DHA_FUZZ=ON -DHA_BENCHMARKS=OFF -DBUILD_TESTING=OFF) ;;
    *)
      echo "ha_configure: unknown kind of build '$kind'" >&2
      return 1 ;;
  esac
  cmake -S "$source" -B "$dir" "${options[@]}" "$@" >/dev/null
}
