#!/usr/bin/env bash
# Renders the golden stills again into tests/golden/ from the current build. Run it when a
# change to the show's pictures is intended, look at the new stills, and say in the commit why
# they changed. Usage: tools/update-golden.sh [build folder, default build]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake --build "$build" --target klomp-golden -j2
rm -f tests/golden/*.png
ALSOFT_DRIVERS=null tools/with-xvfb.sh "$build/tools/klomp-golden" tests/golden
# The same pixels, smaller files.
/usr/bin/python3 - <<'PY'
import pathlib
from PIL import Image
for path in sorted(pathlib.Path("tests/golden").glob("*.png")):
    Image.open(path).convert("RGB").save(path, optimize=True)
PY
ls -l tests/golden
