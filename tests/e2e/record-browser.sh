#!/bin/sh
# Stand-in for a web browser under Wine. Wine's browser launcher runs the programs listed in the
# prefix's registry (HKCU\Software\Wine\WineBrowser, value "Browsers") with the address to open as
# their last argument. Installed as "/bin/sh record-browser.sh LOG-FILE", this appends one line per
# call to LOG-FILE: every further argument, separated by tabs.
log=$1
shift
IFS=$(printf '\t')
printf '%s\n' "$*" >> "$log"
