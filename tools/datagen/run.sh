#!/usr/bin/env bash
# Rebuilds every file of data/ from public sources (see README.md beside this
# file). Each step installs what it needs and gives the same bytes on every run.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

# Map images and the zone-colour table (after the places, which it checks against).
"$here/images.sh"
