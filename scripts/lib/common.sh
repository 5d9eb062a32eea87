# Shared by scripts/run and scripts/test: the Debian packages the project needs, and installing the
# missing ones.

BUILD_PACKAGES=(g++ cmake ninja-build pkg-config qt6-base-dev libgl-dev libpcap-dev fonts-liberation2)
RUN_PACKAGES=(xvfb x11-utils imagemagick)
TEST_PACKAGES=(googletest libgtest-dev libgmock-dev xvfb xdotool xclip x11-utils imagemagick iproute2
               dnsmasq-base udhcpc procps locales)

# ensure_packages NAME...: installs those of NAME that are not installed yet.
ensure_packages() {
  local missing=() name
  for name in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$name")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing missing packages: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# configure DIR [CMAKE ARGS...]
configure() {
  local dir=$1
  shift
  cmake -S "$ROOT" -B "$dir" -G Ninja "$@" >/dev/null
}

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
