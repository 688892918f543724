#!/usr/bin/env bash
# The Debian package as an administrator and a plain user meet it:
#   - `make package` builds build/devgroup_<version>_<arch>.deb;
#   - it holds the program and its manual page, its programs and libraries
#     are hardened (RELRO, BIND_NOW, fortified), and no file in it names the
#     build machine's source or build folder;
#   - installed with dpkg (as root), it runs for the user nobody with a fresh
#     HOME: --version, a root made on first use (also under $XDG_DATA_HOME),
#     a headless edit that saves, the export, a PDF through the PDF writer,
#     `man -w` of both pages and the bash completion;
#   - `dpkg -r devgroup` leaves none of its files behind.
# With --lintian, lintian (installed when missing) must report no errors.
#
#   scripts/package-check.sh [--lintian]
#
# Needs root. The package is removed again on every way out, so the machine
# is left as it was; a devgroup package installed before is not touched: the
# check refuses to run.
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$(pwd -P)

lintian=0
case "${1:-}" in
    --lintian) lintian=1 ;;
    "") ;;
    *) echo "usage: scripts/package-check.sh [--lintian]" >&2; exit 2 ;;
esac

fail() {
    echo "package-check: $*" >&2
    exit 1
}

[ "$(id -u)" -eq 0 ] || fail "needs root (it installs the package with dpkg); run it with sudo"
status=$(dpkg-query -W -f='${db:Status-Status}' devgroup 2>/dev/null || true)
if [ -n "$status" ] && [ "$status" != not-installed ] && [ "$status" != config-files ]; then
    fail "a devgroup package is installed already; remove it first (dpkg -r devgroup)"
fi

make package
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release/CMakeCache.txt)
deb=build/devgroup_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "make package made no $deb"
echo "package-check: $deb"

# The package's paths as dpkg-deb lists them, without the leading '.'.
contents=$(dpkg-deb -c "$deb" | awk '{ print $NF }' | sed 's/^\.//')
for needed in /usr/bin/devgroup /usr/share/man/man1/devgroup.1.gz \
              /usr/share/man/man5/devgroup.conf.5.gz \
              /usr/share/bash-completion/completions/devgroup; do
    grep -qx "$needed" <<< "$contents" || fail "$deb does not hold $needed"
done

work=$(mktemp -d /tmp/devgroup-package-check.XXXXXX)
installed=0
cleanup() {
    if [ "$installed" -eq 1 ]; then
        dpkg -r devgroup >/dev/null 2>&1 || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# No file of the package may name the folders it was built in.
dpkg-deb -x "$deb" "$work/unpacked"
while IFS= read -r -d '' file; do
    if [[ $file == *.gz ]]; then
        text=$(zcat "$file" | strings -a)
    else
        text=$(strings -a "$file")
    fi
    if grep -qF "$source_dir" <<< "$text"; then
        fail "${file#"$work/unpacked"} names the build machine's folder $source_dir"
    fi
done < <(find "$work/unpacked" -type f -print0)

# Every program and library is hardened: relocations read-only and bound at
# load; and the program calls libc's checked buffer functions. (readelf's
# output is read whole first: `grep -q` ending a pipe early would fail it
# under pipefail.)
while IFS= read -r -d '' file; do
    [ "$(head -c 4 "$file" | od -An -c | tr -d ' ')" = '177ELF' ] || continue
    name=${file#"$work/unpacked"}
    grep -q GNU_RELRO <<< "$(readelf -lW "$file")" ||
        fail "$name has no read-only relocations (RELRO)"
    grep -Eq 'BIND_NOW|FLAGS.*[[:space:]]NOW' <<< "$(readelf -dW "$file")" ||
        fail "$name does not bind its symbols at load (BIND_NOW)"
done < <(find "$work/unpacked" -type f -print0)
grep -q '__[a-z_]*_chk' <<< "$(readelf -sW --dyn-syms "$work/unpacked/usr/bin/devgroup")" ||
    fail "/usr/bin/devgroup calls none of libc's checked functions (_FORTIFY_SOURCE)"

if [ "$lintian" -eq 1 ]; then
    if ! command -v lintian >/dev/null; then
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq lintian
    fi
    lintian --fail-on error "$deb"
    echo "package-check: lintian reports no errors"
fi

installed=1
dpkg -i "$deb" >/dev/null || fail "dpkg -i $deb failed (apt install ./$deb pulls in what it needs)"

# The user nobody, a HOME of its own, nothing of this checkout or its
# environment: the installed files alone.
home="$work/home"
chmod 711 "$work"
mkdir "$home"
chown nobody "$home"
chmod 700 "$home"
as_nobody() {
    (cd "$home" && runuser -u nobody -- env -i HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8 "$@")
}

out=$(as_nobody devgroup --version)
[ "$out" = "devgroup $version" ] || fail "devgroup --version said '$out', not 'devgroup $version'"

# On page 2, PKGCHECK over the first name, saved as ADAM.
out=$(as_nobody devgroup --now 1700000000 \
      --keys '<PgDn>PKGCHECK<F2>ADAM<Tab>secret<F10>y<Enter>' 2>"$work/edit.err") ||
    fail "the headless edit failed: $(cat "$work/edit.err")"
[ -f "$home/.local/share/devgroup/root.complete" ] ||
    fail "no root was made at ~/.local/share/devgroup: $(cat "$work/edit.err")"
grep -q "Device groups" <<< "$out" || fail "the final screen is not the editor's: $out"
as_nobody devgroup export devices > "$work/devices.csv" || fail "devgroup export devices failed"
grep -q ',PKGCHECK$' <(tr -d '\r' < "$work/devices.csv") || fail "the export lacks the saved name"

as_nobody env XDG_DATA_HOME="$home/xdg" devgroup --keys '<Esc>' >/dev/null 2>&1 ||
    fail "the run with XDG_DATA_HOME failed"
[ -f "$home/xdg/devgroup/root.complete" ] || fail "no root was made under \$XDG_DATA_HOME"

# A report of one page, through the PDF writer and its font.
printf 'DEVICE GROUP\x81PUMPS     Pump P-1\x81\x82' > "$home/report.LST"
chown nobody "$home/report.LST"
as_nobody devgroup report "$home/report.LST" --pdf "$home/report.pdf" ||
    fail "devgroup report --pdf failed"
[ "$(head -c 5 "$home/report.pdf")" = "%PDF-" ] || fail "report --pdf wrote no PDF document"

for page in devgroup devgroup.conf; do
    as_nobody man -w "$page" >/dev/null || fail "man -w $page finds no manual page"
done
completion=$(as_nobody bash -c 'source /usr/share/bash-completion/completions/devgroup
    COMP_WORDS=(devgroup store ""); COMP_CWORD=2; _devgroup; echo "${COMPREPLY[*]}"')
[ "$completion" = "status init copy" ] || fail "the completion of 'devgroup store' is '$completion'"
echo "package-check: installed, devgroup runs for nobody"

dpkg -r devgroup >/dev/null
installed=0
while IFS= read -r path; do
    [ -d "$work/unpacked$path" ] && continue
    [ -e "$path" ] && fail "dpkg -r left $path behind"
done <<< "$contents"
for folder in /usr/share/devgroup /usr/lib/*/devgroup /usr/share/doc/devgroup; do
    [ -e "$folder" ] && fail "dpkg -r left $folder behind"
done
echo "package-check: dpkg -r removed every file of the package"
