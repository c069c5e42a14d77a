#!/usr/bin/env bash
# Installs what is missing, builds the release preset, lists the sample cards
# in the terminal and starts Slotkeeper 2 with them: the PS1 card in the Left
# slot, the expanded card (PS1 and PS2 saves) in the Right.
#
#   ./run.sh           needs a display ($DISPLAY or $WAYLAND_DISPLAY)
#   ./run.sh --xvfb    without one, runs the window on a virtual X server
#
# The program works on copies of the samples and on a settings file of its
# own, both in a temporary folder removed at the end: your own settings
# (~/.config/qovan2.ini) and the samples in the repository stay as they are.
# SLOTKEEPER_SCREENSHOT=picture.png saves the window to the file after a
# moment and ends the program (handy with --xvfb).
set -euo pipefail

usage() {
  sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'
}

xvfb=0
for arg in "$@"; do
  case "$arg" in
    --xvfb) xvfb=1 ;;
    -h | --help) usage && exit 0 ;;
    *) echo "run.sh: unknown option '$arg' (see ./run.sh --help)" >&2 && exit 2 ;;
  esac
done

# A picture's relative path means the folder run.sh was started from.
if [ -n "${SLOTKEEPER_SCREENSHOT:-}" ] && [ "${SLOTKEEPER_SCREENSHOT#/}" = "$SLOTKEEPER_SCREENSHOT" ]; then
  export SLOTKEEPER_SCREENSHOT="$PWD/$SLOTKEEPER_SCREENSHOT"
fi
cd "$(dirname "$0")"

./tools/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release

# First the cards as the command-line tool sees them.
build/release/cli/slotkeeper-cli list samples/slotkeeper-ps1.mcr samples/slotkeeper-mixed.xmc \
  samples/slotkeeper-ps2.ps2

launcher=()
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  if [ "$xvfb" -eq 0 ]; then
    cat >&2 <<'EOF'

There is no display here ($DISPLAY and $WAYLAND_DISPLAY are both empty), so
the window of Slotkeeper 2 cannot be shown. Run ./run.sh in a desktop session,
or on a virtual X server (installed by tools/install-deps.sh):

  ./run.sh --xvfb      (the same as xvfb-run -a ./run.sh) runs it unseen there
  SLOTKEEPER_SCREENSHOT=window.png ./run.sh --xvfb
                       saves a picture of the window to window.png and ends
EOF
    # The cards were listed above; only the window had nowhere to go.
    exit 0
  fi
  launcher=(xvfb-run -a)
fi

# The command line opens only one file, into Left; "Slots are Loaded Last
# files next time." reopens both slots' files instead.
scratch="$(mktemp -d "${TMPDIR:-/tmp}/slotkeeper2-run.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT
cp samples/slotkeeper-ps1.mcr samples/slotkeeper-mixed.xmc "$scratch/"
printf '[Setting]\nUseSlotPath=1\n[Directory]\nLockPath=%s\nLSlotPath=%s\nRSlotPath=%s\n' \
  "$scratch" "$scratch/slotkeeper-ps1.mcr" "$scratch/slotkeeper-mixed.xmc" >"$scratch/qovan2.ini"

echo
echo "Starting build/release/shell/slotkeeper2; close its window to end. It works on"
echo "copies of the samples that are removed then: SaveAs keeps a card elsewhere."
status=0
XDG_CONFIG_HOME="$scratch" "${launcher[@]}" build/release/shell/slotkeeper2 || status=$?
exit "$status"
