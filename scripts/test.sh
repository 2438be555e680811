#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test executable under Wine.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

install_missing_packages
build_all
start_wine
# Windows that need a display (dialogs, property sheets) get a virtual one.
xvfb-run --auto-servernum --server-args='-screen 0 1280x1024x24' \
    ctest --test-dir "$build_dir" --output-on-failure --timeout 900
