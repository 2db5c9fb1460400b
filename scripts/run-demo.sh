#!/usr/bin/env bash
# Build the client and the PBX simulator, start the simulator with its demo scenario and log
# the client in to it automatically, with throw-away settings (yours stay untouched).
#
#   scripts/run-demo.sh                    with a display: use the client until you close it
#   scripts/run-demo.sh --screenshot FILE  headless under Xvfb: save a screenshot and stop
#   scripts/run-demo.sh --tour DIR         headless under Xvfb and openbox: save a picture of
#                                          every window in DIR, in the language of LANG, and stop
#
# Without a display the headless path is taken and the screenshot goes to demo-screenshot.png.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

usage() { sed -n '2,10p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; }

screenshot=""
tour=""
while [ "$#" -gt 0 ]; do
    case "$1" in
        --tour) [ "$#" -ge 2 ] || die "--tour needs a folder"; tour="$2"; shift 2 ;;
        --tour=*) tour="${1#*=}"; shift ;;
        --screenshot) [ "$#" -ge 2 ] || die "--screenshot needs a file name"; screenshot="$2"; shift 2 ;;
        --screenshot=*) screenshot="${1#*=}"; shift ;;
        -h|--help) usage; exit 0 ;;
        *) usage >&2; die "unknown argument: $1" ;;
    esac
done

headless=0
if [ -n "$screenshot" ]; then
    headless=1
elif [ -z "${DISPLAY:-}" ]; then
    log "no DISPLAY set: running headless under Xvfb and taking a screenshot instead"
    headless=1
    screenshot="$TALVERO_ROOT/demo-screenshot.png"
fi
if [ "$headless" -eq 1 ]; then
    case "$screenshot" in /*) ;; *) screenshot="$PWD/$screenshot" ;; esac
fi

SIM_URL_TIMEOUT=30      # seconds for the simulator to listen
WINDOW_TIMEOUT=60       # seconds for the main window to appear (headless)
MAIN_WINDOW_TITLE="Talvero CTI Client"

section "Packages"
ensure_packages "${TALVERO_PACKAGES[@]}"

section "Build ($TALVERO_BUILD_DIR)"
configure_and_build talvero-cti-client talvero-pbx-sim
sim_bin="$TALVERO_BUILD_DIR/sim/talvero-pbx-sim"
client_bin="$TALVERO_BUILD_DIR/app/program/talvero-cti-client"
[ -x "$sim_bin" ] || die "simulator not built: $sim_bin"
[ -x "$client_bin" ] || die "client not built: $client_bin"

if [ -n "$tour" ]; then
    section "Tour"
    ensure_packages openbox
    configure_and_build talvero-tour
    case "$tour" in /*) ;; *) tour="$PWD/$tour" ;; esac
    work="$(mktemp -d "${TMPDIR:-/tmp}/talvero-tour.XXXXXX")"
    wm_pid=""
    xvfb_pid=""
    trap 'kill "$wm_pid" "$xvfb_pid" 2>/dev/null; rm -rf "$work"' EXIT
    # A desktop's 1440 × 900, as many times denser as QT_SCALE_FACTOR makes everything larger.
    screen_size=$(awk -v f="${QT_SCALE_FACTOR:-1}" 'BEGIN { printf "%dx%d", 1440 * f, 900 * f }')
    exec 3>"$work/display"
    Xvfb -displayfd 3 -screen 0 "${screen_size}x24" -nolisten tcp >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    exec 3>&-
    for _ in $(seq 200); do [ -s "$work/display" ] && break; sleep 0.1; done
    [ -s "$work/display" ] || die "Xvfb did not start"
    export DISPLAY=":$(head -n1 "$work/display")"
    unset QT_QPA_PLATFORM WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS
    openbox >"$work/openbox.log" 2>&1 &
    wm_pid=$!
    # Throw-away settings; the extension monitor stays put under the pointer.
    export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run"
    mkdir -p "$XDG_CONFIG_HOME/Talvero Europe GmbH" && mkdir -m 700 "$XDG_RUNTIME_DIR"
    printf '[General]\nstickyBuddyListHideOnMouseOver=false\n' >"$XDG_CONFIG_HOME/Talvero Europe GmbH/Talvero CTI Client.conf"
    sleep 1
    "$TALVERO_BUILD_DIR/tests/looks/talvero-tour" "$tour" || die "the tour did not finish (see above)"
    log "pictures of every window saved in $tour"
    exit 0
fi

section "Demo"
work="$(mktemp -d "${TMPDIR:-/tmp}/talvero-demo.XXXXXX")"
sim_pid=""
client_pid=""
xvfb_pid=""

stop() { # stop PID: TERM, give it a moment, then KILL
    local pid="$1"
    [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null || return 0
    kill "$pid" 2>/dev/null || true
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.2
    done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}
cleanup() {
    stop "$client_pid"
    stop "$sim_pid"
    stop "$xvfb_pid"
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

show_logs() {
    local f
    for f in "$work"/sim.log "$work"/client.log; do
        [ -s "$f" ] || continue
        printf -- '--- last lines of %s ---\n' "$(basename "$f")" >&2
        tail -n 30 "$f" >&2
    done
}

# The simulator, with its built-in demo scenario. Headless, the script drives it through its
# control input (a FIFO kept open on fd 4) to show calls in the screenshot.
if [ "$headless" -eq 1 ]; then
    mkfifo "$work/sim.in"
    "$sim_bin" --address 127.0.0.1 --control <"$work/sim.in" >"$work/sim.log" 2>&1 &
    sim_pid=$!
    exec 4>"$work/sim.in"
else
    "$sim_bin" --address 127.0.0.1 >"$work/sim.log" 2>&1 </dev/null &
    sim_pid=$!
fi
deadline=$((SECONDS + SIM_URL_TIMEOUT))
until grep -q 'listening on ws://' "$work/sim.log"; do
    if ! kill -0 "$sim_pid" 2>/dev/null; then
        show_logs
        die "the simulator stopped before listening (is port 28888 in use?)"
    fi
    if [ "$SECONDS" -ge "$deadline" ]; then
        show_logs
        die "the simulator did not listen within ${SIM_URL_TIMEOUT}s"
    fi
    sleep 0.2
done
grep -m1 'listening on ws://' "$work/sim.log"

# Throw-away settings that make the client log in to the simulator by itself, with the extension
# monitor at the bottom right and clickable (it hides under the pointer by default).
export XDG_CONFIG_HOME="$work/config"
export XDG_DATA_HOME="$work/data"
export XDG_CACHE_HOME="$work/cache"
# The demo's password stays in its own settings file, never in the user's keyring.
unset DBUS_SESSION_BUS_ADDRESS
conf_dir="$XDG_CONFIG_HOME/Talvero Europe GmbH"
mkdir -p "$conf_dir" "$XDG_DATA_HOME" "$XDG_CACHE_HOME"
(
    umask 077
    cat >"$conf_dir/Talvero CTI Client.conf" <<'CONF'
[General]
stickyBuddyListAutoPosition=false
stickyBuddyListCorner=5
stickyBuddyListHideOnMouseOver=false

[loginDialog]
lastUsername=demo
lastHost=127.0.0.1
password=demo
CONF
)
chmod 600 "$conf_dir/Talvero CTI Client.conf"

if [ "$headless" -eq 0 ]; then
    log "starting the client on $DISPLAY as user 'demo'; close its window to end the demo"
    status=0
    "$client_bin" || status=$?
    log "client exited ($status); stopping the simulator"
    exit "$status"
fi

# Headless: a private X server, the client on it, and a screenshot once its main window shows.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1440x900x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
deadline=$((SECONDS + 20))
until [ -s "$work/display" ]; do
    kill -0 "$xvfb_pid" 2>/dev/null || { cat "$work/xvfb.log" >&2; die "Xvfb did not start"; }
    [ "$SECONDS" -lt "$deadline" ] || die "Xvfb did not start within 20s"
    sleep 0.1
done
export DISPLAY=":$(head -n1 "$work/display")"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
log "started Xvfb on $DISPLAY"

"$client_bin" >"$work/client.log" 2>&1 &
client_pid=$!
log "started the client as user 'demo'; waiting for its main window"

# The main window is titled exactly "Talvero CTI Client" (the login dialog adds " - Login").
main_window=""
deadline=$((SECONDS + WINDOW_TIMEOUT))
while [ -z "$main_window" ]; do
    if ! kill -0 "$client_pid" 2>/dev/null; then
        show_logs
        die "the client exited before showing its main window"
    fi
    if [ "$SECONDS" -ge "$deadline" ]; then
        import -window root "$screenshot" 2>/dev/null || true
        show_logs
        die "no main window within ${WINDOW_TIMEOUT}s (auto-login failed?); screen so far: $screenshot"
    fi
    for id in $(xdotool search --onlyvisible --name "$MAIN_WINDOW_TITLE" 2>/dev/null || true); do
        if [ "$(xdotool getwindowname "$id" 2>/dev/null)" = "$MAIN_WINDOW_TITLE" ]; then
            main_window="$id"
        fi
    done
    [ -n "$main_window" ] || sleep 0.5
done
log "main window is up (X window $main_window); letting it settle"
sleep 3

# Two calls: one taken, one still ringing, whose pop-up rolls in at the top right.
sim_control() { # sim_control COMMAND: send it, echo the simulator's answer
    local before
    before=$(grep -c '' "$work/sim.log" || true)
    printf '%s\n' "$1" >&4
    for _ in $(seq 50); do
        local answer
        answer=$(tail -n +"$((before + 1))" "$work/sim.log" | grep -m1 -E '^(ringing|answered|ended|no call|unknown)' || true)
        [ -n "$answer" ] && { printf '%s\n' "$answer"; return 0; }
        sleep 0.1
    done
    return 1
}
first=$(sim_control 'ring "0711 5550123" Anna Meyer "Meyer & Söhne GmbH"' | awk '{print $2}')
[ -n "$first" ] && [ "$first" != "-" ] && sleep 2 && sim_control "answer $first" >/dev/null || true
sleep 2
sim_control 'ring "089 4471190" Jonas Becker "Becker Logistik"' >/dev/null || true
sleep 3
mkdir -p "$(dirname "$screenshot")"
import -window root "$screenshot"
log "screenshot saved: $screenshot"
