#!/bin/sh
# talvero-test-home.sh HOME COMMAND [ARG...]
# Runs one test with a home of its own, emptied before every run: settings or files an earlier
# run left behind must never make a test pass. The folder stays after the run for a look.
set -e
home=$1
shift
rm -rf "$home"
mkdir -p "$home/.config" "$home/.local/share" "$home/.cache"
mkdir -m 700 "$home/run"
HOME=$home
XDG_CONFIG_HOME=$home/.config
XDG_DATA_HOME=$home/.local/share
XDG_CACHE_HOME=$home/.cache
XDG_RUNTIME_DIR=$home/run
export HOME XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME XDG_RUNTIME_DIR
# Nor the user's keyring: a test that needs one starts a session bus of its own.
unset DBUS_SESSION_BUS_ADDRESS
# Nor the user's desktop: the session a test runs in is the one it sets.
unset XDG_SESSION_TYPE WAYLAND_DISPLAY XDG_CURRENT_DESKTOP
exec "$@"
