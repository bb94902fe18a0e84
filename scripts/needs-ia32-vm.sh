#!/usr/bin/env bash
# Tells by its exit status whether this kernel runs 32-bit x86 programs, which
# Wine needs for the 32-bit programs and their tests:
#   0  it does not (IA-32 emulation is off: Wine's 32-bit loader fails with
#      "Exec format error"); with-ia32.sh runs them in an emulated PC instead
#   1  Wine starts here
#   2  Wine does not start for another reason (not installed, broken), with
#      Wine's own message on standard error
out="$(wine --version 2>&1)" && exit 1
[[ "$out" == *"Exec format error"* ]] && exit 0
printf '%s\n' "$out" >&2
exit 2
