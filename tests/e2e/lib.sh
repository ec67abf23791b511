# Shared by the end-to-end scripts: starting Quillet under Wine in a 1280 by 1024 virtual
# desktop, finding its windows, and failing with a screenshot. Source it; it expects $shots.

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# Starts the program in the background; its runner's pid is in $runner.
start_quillet() {
  "$root/tools/wine-run" --desktop 1280x1024 "$@" &
  runner=$!
  trap 'kill $runner 2>/dev/null || true' EXIT
}

fail() {
  echo "$1"
  import -window root "$shots/${failure_shot:-failure}.png" || true
  exit 1
}

# Waits for a visible top-level window by exact title; prints its id, or nothing.
await() {
  local found=
  for _ in $(seq 1 "${2:-75}"); do
    found=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1 || true)
    [ -n "$found" ] && break
    sleep 0.2
  done
  echo "$found"
}

# Waits until no visible window has the title; false if one is still there.
await_gone() {
  for _ in $(seq 1 "${2:-75}"); do
    visible "$1" || return 0
    sleep 0.2
  done
  return 1
}

# Waits, from inside the Wine desktop, until the window titled $1 (or class:NAME) is visible and
# meets the conditions after it: foreground (keys go to it), typing (into a text field), idle,
# shows=TEXT (a control on show holds TEXT); its paints are done then. False when it does not
# in time. Needs $exe.
await_window() {
  "$root/tools/wine-run" --desktop 1280x1024 "$(dirname "$exe")/await-window.exe" "$@" >/dev/null
}

# Waits for the screen to stand still (a fade over, say): two shots of the area WxH+X+Y a moment
# apart that are the same and not all black. False when it keeps changing.
await_still_screen() {
  local before after
  before=$(mktemp --suffix=.png) after=$(mktemp --suffix=.png)
  import -window root -crop "$1" +repage "$before"
  for _ in $(seq 1 "${2:-100}"); do
    sleep 0.1
    import -window root -crop "$1" +repage "$after"
    if compare -metric AE "$before" "$after" null: 2>/dev/null &&
      [ "$(convert "$after" -format '%[fx:maxima]' info:)" != 0 ]; then
      rm -f "$before" "$after"
      return 0
    fi
    mv "$after" "$before"
  done
  rm -f "$before" "$after"
  return 1
}

visible() { [ -n "$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1)" ]; }

# Width and height of a window, as "W H".
window_size() {
  xdotool getwindowgeometry --shell "$1" | awk -F= '/^WIDTH=/{w=$2} /^HEIGHT=/{h=$2} END{print w, h}'
}

# The desktop is shown by Wine as one X window; its size follows the display mode.
# Presses keys as a person would: through the X server's keyboard into the Wine desktop,
# whose program window has the focus. Keys sent to one window (xdotool key --window) bypass the
# server's keyboard state, and Wine, which reads that state again whenever the X focus moves,
# then takes a held Alt for released: Alt+E arrives as Alt alone, and the menu bar lights up.
# Give the desktop the X focus once, before the first key: moving the focus later, while the
# program runs full screen, takes the activation from it for a moment.
focus_desktop() {
  xdotool windowfocus --sync "$(xdotool search --name ' - Wine desktop$' | head -n 1)"
}
real_key() { xdotool key "$@"; }

desktop_size() {
  xdotool getwindowgeometry --shell "$(xdotool search --name ' - Wine desktop$' | head -n 1)" |
    awk -F= '/^WIDTH=/{w=$2} /^HEIGHT=/{h=$2} END{print w "x" h}'
}

# Waits for the desktop to take a size (the display mode changes take a moment).
await_desktop() {
  for _ in $(seq 1 "${2:-50}"); do
    [ "$(desktop_size)" = "$1" ] && return 0
    sleep 0.2
  done
  return 1
}

# Waits for the program to end; false if it is still running.
await_exit() {
  for _ in $(seq 1 50); do
    kill -0 "$runner" 2>/dev/null || return 0
    sleep 0.2
  done
  return 1
}

# How many characters two texts are apart (Levenshtein): for text read off the screen with OCR,
# which may misread a character or two.
text_distance() {
  awk -v a="$1" -v b="$2" 'BEGIN {
    n = length(a); m = length(b)
    for (i = 0; i <= n; i++) d[i, 0] = i
    for (j = 0; j <= m; j++) d[0, j] = j
    for (i = 1; i <= n; i++)
      for (j = 1; j <= m; j++) {
        c = (substr(a, i, 1) == substr(b, j, 1)) ? 0 : 1
        x = d[i - 1, j] + 1; y = d[i, j - 1] + 1; z = d[i - 1, j - 1] + c
        d[i, j] = x < y ? (x < z ? x : z) : (y < z ? y : z)
      }
    print d[n, m] }'
}
