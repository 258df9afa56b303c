#!/bin/bash
# Tells whether this host can run 32-bit programs, by running one: Wine's
# 32-bit loader, or else the i386 C library's. Some hosts have no 32-bit user
# mode at all (a kernel under a hypervisor that offers none), and there every
# 32-bit program fails with "Exec format error", whatever is installed.
# Exits 0 when it can; otherwise prints on one line why not, and exits 1.
for loader in /usr/lib/wine/wine /lib/ld-linux.so.2; do
    [ -e "$loader" ] || continue
    if output=$("$loader" --version 2>&1 </dev/null); then
        exit 0
    fi
    echo "this host cannot run 32-bit programs: $loader --version fails: ${output##*: }"
    exit 1
done
echo "this host cannot run 32-bit programs: neither Wine's 32-bit half (wine32:i386) nor the i386 C library is installed"
exit 1
