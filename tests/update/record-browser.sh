#!/bin/sh
# Stand-in for the browser behind Wine's browser launcher: notes the address it was asked to open.
printf '%s\n' "$*" >>"${BC_BROWSER_LOG:-/tmp/bc-browser.log}"
