# Installs the Debian packages the build, the tests and the demo need, when any is missing.
# Sourced by test.sh and demo.sh.
# locales-all: the tests run the updater under a German locale (numbers on the line keep a point).
updater_packages=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libgtest-dev libgmock-dev
  libbenchmark-dev fonts-dejavu-core poppler-utils locales-all)
# libudev-dev: the USB details of serial adapters; dpkg-dev, lintian and help2man: the install
# packages (help2man makes the console program's manual page from its --help).
updater_packages+=(libudev-dev dpkg-dev lintian help2man)
# srecord: srec_cat writes the S-record fixtures of the Basic-Loader tests.
updater_packages+=(srecord)
# The Windows cross build and its tests under Wine: mingw-w64 with POSIX threads, Wine for 64-bit
# programs and GoogleTest's sources, built with the cross compiler.
updater_packages+=(g++-mingw-w64-x86-64-posix wine wine64 googletest)
# The fuzz harnesses (fuzz.sh): clang with its libFuzzer and sanitizer runtimes.
updater_packages+=(clang libclang-rt-dev)

# ensure_packages [PACKAGE...]: the packages named (default: all of the above) that are missing.
ensure_packages() {
  local missing=() wanted=("$@")
  [ ${#wanted[@]} -eq 0 ] && wanted=("${updater_packages[@]}")
  for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
