#!/usr/bin/env bash
# Installs what is missing and builds everything.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

install_missing_packages
build_all
echo "Built the foundation libraries in $build_dir. The shell extension digestry.dll is not built yet."
