#!/bin/bash
# The Debian packages as dpkg and Debian's policy read them: names, versions and Depends between
# them, the control files (libhwid1's shlibs, symbols and ldconfig trigger; no maintainer
# scripts), owners and modes, stripped binaries, documents compressed as Debian compresses them,
# the copyright file and changelog, and README installed with the pages it links.
# Usage: debian_test.sh PACKAGE_DIR SOURCE_DIR CMAKE
set -u

packages=$1 source=$2 cmake=$3

source "$source/tests/e2e/linux/expect.sh"

# expect_equal LABEL EXPECTED ACTUAL
expect_equal() {
  [[ $3 == "$2" ]] || fail "$1: [$3], expected [$2]"
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

changelog=$source/packaging/debian/changelog
version=$(dpkg-parsechangelog -l "$changelog" -S Version)
upstream_version=${version%-*}
maintainer=$(dpkg-parsechangelog -l "$changelog" -S Maintainer)
major=${upstream_version%%.*}
library=libhwid$major
architecture=$(dpkg --print-architecture)

# Every package: its fields, its data (owners, modes, stripped ELF files, compressed documents,
# copyright and changelog), and the control files it may hold.
declare -A section=([hwid]=utils [$library]=libs [libhwid-dev]=libdevel)
# What each needs at least: the system libraries its ELF files link, found by dpkg-shlibdeps.
declare -A needs=([hwid]="libc6" [$library]="libc6 libstdc++6" [libhwid-dev]="$library")
declare -A control_files=([hwid]="control md5sums" [libhwid-dev]="control md5sums"
                          [$library]="control md5sums shlibs symbols triggers")
for package in hwid "$library" libhwid-dev; do
  deb=$packages/${package}_${version}_$architecture.deb
  if [[ ! -f $deb ]]; then
    fail "$package: no $deb"
    continue
  fi
  field() { dpkg-deb -f "$deb" "$1"; }
  expect_equal "$package Package" "$package" "$(field Package)"
  expect_equal "$package Version" "$version" "$(field Version)"
  expect_equal "$package Architecture" "$architecture" "$(field Architecture)"
  expect_equal "$package Source" hwid "$(field Source)"
  expect_equal "$package Section" "${section[$package]}" "$(field Section)"
  expect_equal "$package Priority" optional "$(field Priority)"
  expect_equal "$package Maintainer" "$maintainer" "$(field Maintainer)"
  for dependency in ${needs[$package]}; do
    [[ ", $(field Depends)" == *", $dependency ("* ]] ||
      fail "$package: Depends [$(field Depends)] lacks $dependency"
  done
  # A summary, then a long description in lines that fit a terminal.
  description=$(field Description)
  summary=${description%%$'\n'*}
  ((${#summary} > 0 && ${#summary} <= 80)) || fail "$package: summary [$summary]"
  (($(wc -l <<<"$description") >= 3)) || fail "$package: no long description"
  long_lines=$(awk 'length > 80' <<<"$description")
  [[ -z $long_lines ]] || fail "$package: description lines over 80 columns: $long_lines"

  members=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | sed -n 's|^\./\(.\)|\1|p' | sort | xargs)
  expect_equal "$package control files" "${control_files[$package]}" "$members"

  # Owned by root; directories and programs 0755, everything else 0644 (links aside).
  while read -r mode owner _ _ _ path _; do
    [[ $owner == root/root ]] || fail "$package: $path owned by $owner"
    case $mode in
      d*) expected=drwxr-xr-x ;;
      l*) continue ;;
      *) [[ $path == ./usr/bin/* ]] && expected=-rwxr-xr-x || expected=-rw-r--r-- ;;
    esac
    [[ $mode == "$expected" ]] || fail "$package: $path is $mode, expected $expected"
  done < <(dpkg-deb -c "$deb")

  root=$work/$package
  dpkg-deb -x "$deb" "$root"
  while IFS= read -r -d '' file; do
    if [[ $(od -An -tx1 -N4 "$file" | xargs) == "7f 45 4c 46" ]]; then
      sections=$(readelf -SW "$file")
      [[ $sections != *" .symtab "* && $sections != *" .debug_"* ]] ||
        fail "$package: ${file#"$root"} is not stripped"
    elif [[ $file == *.gz ]]; then
      # gzip -n -9: flags without a name, no time, the most compression.
      header=$(od -An -tx1 -N9 "$file" | xargs)
      expect_equal "$package: gzip header of ${file#"$root"}" "1f 8b 08 00 00 00 00 00 02" \
        "$header"
    fi
  done < <(find "$root" -type f -print0)

  doc=$root/usr/share/doc/$package
  expect_equal "$package changelog" "$(<"$changelog")" "$(zcat "$doc/changelog.Debian.gz")"
  copyright=$(<"$doc/copyright")
  [[ $copyright == "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"$'\n'* ]] ||
    fail "$package: copyright is not in the machine-readable format"
  # The licence text of the Files paragraph, unfolded, is LICENSE's below its copyright line.
  licence=$(sed -n '/^License: Expat$/,$p' "$doc/copyright" | tail -n +2 | sed 's/^ //; s/^\.$//')
  expect_equal "$package licence text" "$(tail -n +5 "$source/LICENSE")" "$licence"
  [[ $copyright == *$'\n'"Copyright: $(sed -n 's/^Copyright (c) //p' "$source/LICENSE")"$'\n'* ]] ||
    fail "$package: copyright holder differs from LICENSE"
done

# The library package: its SONAME in its name, and the control files that let other packages
# depend on it (shlibs, symbols: every exported symbol and nothing else) and run ldconfig.
control=$work/control
dpkg-deb -e "$packages/${library}_${version}_$architecture.deb" "$control"
shared=$work/$library/usr/lib/libhwid.so.$major
expect_equal "SONAME" "Library soname: [libhwid.so.$major]" \
  "$(readelf -d "$shared" | grep -o 'Library soname: .*')"
expect_equal "shlibs" "libhwid $major $library (>= $upstream_version)" "$(<"$control/shlibs")"
expect_equal "triggers" "activate-noawait ldconfig" "$(<"$control/triggers")"
expect_equal "symbols file heading" "libhwid.so.$major $library #MINVER#" \
  "$(head -n 1 "$control/symbols")"
expect_equal "symbols" "$(nm -D --defined-only "$shared" | awk '{print $3}' | sort | xargs)" \
  "$(sed -n 's/^ \([^@]*\)@Base .*/\1/p' "$control/symbols" | sort | xargs)"

# The development package needs exactly this version of the library its link points to.
expect_equal "libhwid-dev Depends" "$library (= $version)" \
  "$(dpkg-deb -f "$packages/libhwid-dev_${version}_$architecture.deb" Depends)"
expect_equal "libhwid-dev link" "libhwid.so.$major" \
  "$(readlink "$work/libhwid-dev/usr/lib/libhwid.so")"

# README and the pages it links, where each package installs them: every link resolves there.
for package in hwid libhwid-dev; do
  doc=$work/$package/usr/share/doc/$package
  cmp -s "$source/README.md" "$doc/README.md" || fail "$package: README.md differs from the source"
  "$cmake" -DSOURCE_DIR="$doc" -P "$source/tests/docs_links_test.cmake" ||
    fail "$package: README's links do not resolve in $doc"
done

expect_finish
