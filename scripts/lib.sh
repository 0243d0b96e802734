#!/usr/bin/env bash
# Shared pieces of scripts/test, scripts/demo and scripts/bench: dependencies, builds and a
# private MariaDB server.

KELVANE_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
KELVANE_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev libmariadb-dev mariadb-server
  mariadb-client libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev fonts-wqy-microhei
  clang libclang-rt-14-dev xvfb xauth imagemagick librsvg2-bin mono-mcs)
# What scripts/package and scripts/test-package need on top of the build.
KELVANE_PACKAGE_TOOLS=(dpkg-dev lintian desktop-file-utils x11-utils file man-db)
# What scripts/test-windows needs on top of a plain Debian: the MinGW-w64 cross compiler, Wine and
# the sources of GoogleTest and CLI11, plus the server the tests talk to.
KELVANE_WINDOWS_PACKAGES=(cmake ninja-build g++-mingw-w64-x86-64-posix wine64 libgtest-dev librsvg2-bin imagemagick
  xvfb xauth xdotool fonts-wqy-microhei
  libcli11-dev mariadb-server mariadb-client)
KELVANE_ROOT_PASSWORD=271828

log() { printf '[%s] %s\n' "$(basename "$0")" "$*" >&2; }

# install_deps [PACKAGE...]: installs those of the packages (default: KELVANE_PACKAGES) that are
# missing.
install_deps() {
  local missing=() wanted=("$@")
  [ ${#wanted[@]} -gt 0 ] || wanted=("${KELVANE_PACKAGES[@]}")
  for pkg in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    log "missing packages: ${missing[*]} (run as root to install them)"
    return 1
  fi
  log "installing: ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# build DIR [extra cmake args...]
build() {
  local dir=$1; shift
  cmake -S "$KELVANE_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVANE_WERROR=ON \
    "$@" >/dev/null
  cmake --build "$dir"
}

# build_windows [DIR]: cross-builds the Qt-free part for 64-bit Windows with MinGW-w64 into DIR
# (default build-windows/): the core, kelvane-gen.exe (DIR/cli/kelvane-gen.exe) and the tests
# that need no Qt. Connector/C comes from KELVANE_CONNECTOR_C_TARBALL (default
# ../shared/vendor/mariadb-connector-c-3.3.9-src.tar.gz) and is built once per folder.
build_windows() {
  local dir=${1:-$KELVANE_ROOT/build-windows}
  build "$dir" -DCMAKE_TOOLCHAIN_FILE="$KELVANE_ROOT/cmake/mingw-w64-x86_64.cmake" \
    -DKELVANE_BUILD_GUI=OFF -DKELVANE_BUILD_BENCH=OFF -DKELVANE_BUILD_CLI=ON
}

# start_wine_display / stop_wine_display: a private Xvfb for Wine windows (DISPLAY, XVFB_PID).
start_wine_display() {
  local display=90
  while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do display=$((display + 1)); done
  export DISPLAY=:$display
  Xvfb "$DISPLAY" -screen 0 1920x1200x24 -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
}
stop_wine_display() {
  [ -n "${XVFB_PID:-}" ] || return 0
  kill "$XVFB_PID" 2>/dev/null; wait "$XVFB_PID" 2>/dev/null || true; XVFB_PID=
}
# wine_cjk_fonts WINE: in the prefix, every face a window may ask for (font F by both names, the
# message font, the CJK fallback) becomes WenQuanYi Micro Hei; without it Wine draws Chinese as
# boxes.
wine_cjk_fonts() {
  local face
  for face in "Microsoft YaHei" "微软雅黑" "Microsoft YaHei UI" SimSun 宋体 "MS Shell Dlg" "MS Shell Dlg 2" \
              Tahoma "Segoe UI"; do
    timeout 60 "$1" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /t REG_SZ \
      /d "WenQuanYi Micro Hei" /f >/dev/null 2>&1
  done
}

# A loopback port nothing listens on (random in 20000-59999).
free_port() {
  local port
  while :; do
    # $RANDOM alone stops at 32767: two of them make 30 bits.
    port=$((20000 + (RANDOM * 32768 + RANDOM) % 40000))
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || { echo "$port"; return; }
  done
}

# start_server DATADIR RUNDIR PORT [MARIADBD-ARGS...]: initialises DATADIR when it is new,
# starts mariadbd on 127.0.0.1:PORT with its socket, pid and log in RUNDIR and waits until it
# answers. Extra arguments go to mariadbd after the usual ones (a later one wins).
start_server() {
  local data=$1 run=$2 port=$3 fresh=0
  shift 3
  mkdir -p "$run"
  if [ ! -d "$data/mysql" ]; then
    mkdir -p "$data"
    mariadb-install-db --no-defaults --user=root --datadir="$data" \
      --auth-root-authentication-method=normal --skip-test-db >"$run/install.log" 2>&1 \
      || { cat "$run/install.log" >&2; return 1; }
    fresh=1
  fi
  mariadbd --no-defaults --user=root --datadir="$data" --socket="$run/mysqld.sock" \
    --port="$port" --bind-address=127.0.0.1 --pid-file="$run/mysqld.pid" \
    --log-error="$run/mysqld.err" --character-set-server=utf8mb4 \
    --collation-server=utf8mb4_general_ci "$@" >/dev/null 2>&1 &
  local server=$! i answered=0
  for i in $(seq 1 100); do
    if mariadb-admin --no-defaults -S "$run/mysqld.sock" -uroot ping >/dev/null 2>&1 ||
       mariadb-admin --no-defaults -S "$run/mysqld.sock" -uroot -p"$KELVANE_ROOT_PASSWORD" ping >/dev/null 2>&1; then
      answered=1
      break
    fi
    sleep 0.1
  done
  if [ "$answered" -eq 0 ]; then
    log "server on 127.0.0.1:$port did not answer within 10 s; end of $run/mysqld.err:"
    tail -n 20 "$run/mysqld.err" >&2 2>/dev/null || true
    kill -KILL "$server" 2>/dev/null || true
    return 1
  fi
  if [ "$fresh" -eq 1 ]; then
    mariadb --no-defaults -S "$run/mysqld.sock" -uroot -e "
      ALTER USER root@localhost IDENTIFIED BY '$KELVANE_ROOT_PASSWORD';
      ALTER USER root@'127.0.0.1' IDENTIFIED BY '$KELVANE_ROOT_PASSWORD';
      ALTER USER root@'::1' IDENTIFIED BY '$KELVANE_ROOT_PASSWORD';" || return 1
  fi
  server_sql "$run" -e "select 1" >/dev/null || { log "server did not start; see $run/mysqld.err"; return 1; }
}

# make_test_certs DIR: a private CA (ca.pem), a server certificate signed by it for localhost
# and 127.0.0.1 (server-cert.pem, server-key.pem), and a second CA that signed nothing of the
# server's (other-ca.pem).
make_test_certs() {
  local dir=$1
  mkdir -p "$dir"
  (
    cd "$dir"
    openssl req -x509 -newkey rsa:2048 -nodes -keyout ca-key.pem -out ca.pem -days 3650 \
      -subj "/CN=Kelvane Test CA"
    openssl req -x509 -newkey rsa:2048 -nodes -keyout other-ca-key.pem -out other-ca.pem \
      -days 3650 -subj "/CN=Kelvane Other CA"
    openssl req -newkey rsa:2048 -nodes -keyout server-key.pem -out server.csr -subj "/CN=localhost"
    printf 'subjectAltName=DNS:localhost,IP:127.0.0.1\n' >server.ext
    openssl x509 -req -in server.csr -CA ca.pem -CAkey ca-key.pem -CAcreateserial \
      -out server-cert.pem -days 3650 -extfile server.ext
  ) >"$dir/openssl.log" 2>&1 || { cat "$dir/openssl.log" >&2; return 1; }
}

# start_tls_server DATADIR RUNDIR PORT CERTDIR: start_server with the certificates of CERTDIR
# that accepts only TLS connections over TCP. It listens on 127.0.0.1 and 127.0.0.2, an address
# its certificate does not name.
start_tls_server() {
  local data=$1 run=$2 port=$3 certs=$4
  start_server "$data" "$run" "$port" --bind-address=127.0.0.1,127.0.0.2 \
    --ssl-ca="$certs/ca.pem" --ssl-cert="$certs/server-cert.pem" \
    --ssl-key="$certs/server-key.pem" --require-secure-transport=ON
}

# server_sql RUNDIR [mariadb args...]: the command-line client as root over the socket.
server_sql() {
  local run=$1; shift
  mariadb --no-defaults -S "$run/mysqld.sock" -uroot -p"$KELVANE_ROOT_PASSWORD" "$@"
}

stop_server() {
  local run=$1 pid i
  [ -f "$run/mysqld.pid" ] || return 0
  pid=$(cat "$run/mysqld.pid")
  kill -TERM "$pid" 2>/dev/null || return 0
  for i in $(seq 1 100); do
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null || true
}
