#!/usr/bin/env bash
# Compares a program's --help with its manual page: every option the help names must be named by
# the page, and every option the page lists as an item (.TP) must be one the help names, so a
# page can neither miss a new option nor keep one that is gone.
#   man_check.sh PAGE(.1 or .1.gz) HELP_FILE...
# The help files are the outputs of --help (for karaoke-ctl: the program's and each command's).
# Prints what differs; exits 1 when anything does.
set -uo pipefail
page=$1
shift

# The page as plain words: troff's minus signs, font changes and zero-width marks removed.
page_text() {
  if [[ $page == *.gz ]]; then zcat -- "$page"; else cat -- "$page"; fi |
    sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' -e 's/\\f(..//g' -e 's/\\[c&]//g'
}
# Options in text: -x or --word, standing after a blank, a comma, a bracket or a bar.
options_in() {
  grep -oE '(^|[[:space:],[(|])--?[A-Za-z][A-Za-z0-9-]*' | sed -E 's/^[[:space:],[(|]*//' | sort -u
}

text=$(page_text)
help_options=$(cat -- "$@" | options_in)
# The lines that follow .TP: the items of the page's lists (options, commands, exit codes).
item_options=$(awk 'item { print; item = 0 } /^\.TP/ { item = 1 }' <<<"$text" | options_in)

status=0
while read -r option; do
  [ -n "$option" ] || continue
  if ! grep -Eq -- "(^|[^A-Za-z0-9-])${option}([^A-Za-z0-9-]|\$)" <<<"$text"; then
    echo "$page: no $option (the help names it)"
    status=1
  fi
done <<<"$help_options"
while read -r option; do
  [ -n "$option" ] || continue
  if ! grep -qxF -- "$option" <<<"$help_options"; then
    echo "$page: lists $option, which the help does not name"
    status=1
  fi
done <<<"$item_options"
exit $status
