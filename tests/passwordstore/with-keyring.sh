#!/bin/sh
# with-keyring.sh COMMAND [ARG...]
# Runs COMMAND on a session bus of its own, with a keyring (Secret Service) on it whose login
# collection is unlocked by an empty password. Bus and keyring end with the command.
set -e
for tool in dbus-run-session gnome-keyring-daemon; do
    command -v "$tool" >/dev/null || { echo "with-keyring.sh: $tool is missing" >&2; exit 1; }
done
exec dbus-run-session -- sh -c '
    eval "$(printf "\n" | gnome-keyring-daemon --daemonize --unlock --components=secrets)"
    export GNOME_KEYRING_CONTROL
    exec "$@"' with-keyring "$@"
