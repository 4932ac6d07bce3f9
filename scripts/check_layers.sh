#!/bin/bash
# Includes between the source folders must point downwards only: a folder may
# include its own headers and those of folders listed before it, never those
# after it. Prints each include that points up and fails if there is one.
set -u
cd "$(dirname "$0")/.."
# Bottom-up, as the program is built. Components are included without their
# "components/" prefix, so their subfolders are layers of their own.
layers="util copybook data basic datatools cli app dialogs viewer editors hexedit tools program"
grep -rHE --include='*.cpp' --include='*.h' --include='*.inc' \
     '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[A-Za-z_]+/' \
     components app dialogs viewer editors hexedit tools program |
awk -v layers="$layers" '
    BEGIN { n = split(layers, l, " "); for (i = 1; i <= n; i++) rank[l[i]] = i }
    {
        file = substr($0, 1, index($0, ":") - 1)
        split(file, part, "/")
        from = part[1] == "components" ? part[2] : part[1]
        target = $0; sub(/^[^"]*"/, "", target); sub(/\/.*/, "", target)
        checked++
        if ((from in rank) && (target in rank) && rank[target] > rank[from]) {
            print file " includes " target "/ (above " from "/)"; bad = 1
        }
    }
    END { print checked + 0 " folder includes checked, order: " layers; exit bad }'
