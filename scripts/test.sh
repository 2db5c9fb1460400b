#!/usr/bin/env bash
# Install what is missing, build into build/ and run the whole test suite (headless, under Xvfb).
# Exits with ctest's status. Extra arguments go to ctest, e.g. scripts/test.sh -L unit
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

section "Packages"
ensure_packages "${TALVERO_PACKAGES[@]}"

section "Build ($TALVERO_BUILD_DIR)"
configure_and_build

section "Tests"
status=0
run_ctest "$TALVERO_BUILD_DIR" "$@" || status=$?
exit "$status"
