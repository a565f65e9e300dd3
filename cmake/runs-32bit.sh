#!/bin/sh
# Exits 0 when this machine can execute 32-bit x86 programs (the kernel's
# IA-32 support), else prints why not and exits 1. Wine's 32-bit half
# (wine32) needs it: installed without it, every wine call fails, the 64-bit
# ones too, because the wine launcher is then the 32-bit one.
#
# The test is a 96-byte static i386 ELF program that only calls exit(32).
set -e
probe=$(mktemp)
trap 'rm -f "$probe"' EXIT
printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010\140\000\000\000\140\000\000\000\005\000\000\000\000\020\000\000\270\001\000\000\000\273\040\000\000\000\315\200' > "$probe"
chmod +x "$probe"
status=0
"$probe" 2>/dev/null || status=$?
[ "$status" -eq 32 ] && exit 0
echo "this machine cannot execute 32-bit programs (no IA-32 support in its kernel)"
exit 1
