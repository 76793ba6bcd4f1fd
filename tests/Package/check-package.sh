#!/usr/bin/env bash
# Builds the Debian package from a build tree and checks it as a user's
# machine would meet it: its contents and dependencies, the desktop entry and
# AppStream metadata as installed, the patient-file type (by name and by
# content) in a private XDG data folder, and maturix-cli running from the
# unpacked package through its RPATH alone.
#   check-package.sh BUILD_DIR PREFIX LIBDIR TESTDATA_DIR
set -euo pipefail
build=$1 prefix=${2#/} libdir=${3#/} testdata=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack"; }
debs=("$work"/out/maturix_*_amd64.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "no maturix_<version>_amd64.deb in $(ls "$work/out")"
deb=${debs[0]}
version=$(dpkg-deb -f "$deb" Version)
[ "$(basename "$deb")" = "maturix_${version}_amd64.deb" ] || fail "package file name $(basename "$deb")"

# Contents: everything installed, nothing of the build's tests.
dpkg-deb -c "$deb" | sed -E 's|^([^ ]+ +){5}\./||' >"$work/contents"
share=$prefix/share
for path in \
    "$prefix/bin/Maturix" "$prefix/bin/maturix-cli" \
    "$libdir/maturix/libPlatformCore.so" "$libdir/maturix/libPlatformArchive.so" \
    "$libdir/maturix/libPlatform.so" "$libdir/maturix/libKVClasses.so" \
    "$libdir/maturix/libVantrel.so" "$libdir/maturix/libMaturixDicom.so" \
    "$share/maturix/OsiriX Plugins/MaturixLink.osirixplugin/Info.json" \
    "$share/maturix/OsiriX Plugins/MaturixLink.osirixplugin/libMaturixLink.so" \
    "$share/applications/org.vantrel.Maturix.desktop" \
    "$share/metainfo/org.vantrel.Maturix.metainfo.xml" \
    "$share/mime/packages/org.vantrel.Maturix.xml" \
    "$share/icons/hicolor/scalable/apps/org.vantrel.Maturix.svg" \
    "$share/icons/hicolor/48x48/apps/org.vantrel.Maturix.png" \
    "$share/icons/hicolor/256x256/apps/org.vantrel.Maturix.png" \
    "$share/icons/hicolor/scalable/mimetypes/application-x-maturix.svg" \
    "$share/icons/hicolor/48x48/mimetypes/application-x-maturix.png"; do
    grep -qxF "$path" "$work/contents" || fail "$path missing from the package"
done
! grep -E '(^|/)(tst_|fuzz_|bench_)|\.a$|/include/' "$work/contents" || fail "build-only files in the package"
# The stand-in viewer would pass for the real one on a user's desktop.
! grep -E 'osirix-host|com\.quellmar\.osirix\.desktop|OsiriX(Host|Dicom)' "$work/contents" ||
    fail "the stand-in viewer is in the package"
# Everything lies under the prefix; only the prefix's own parent folders stand beside it.
awk -v p="$prefix/" 'length($0) && index(p, $0) != 1 && index($0, p) != 1' "$work/contents" |
    grep . && fail "files outside /$prefix"

depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libqt6dbus6 libicu libdcmtk libc6; do
    [[ $depends == *"$library"* ]] || fail "Depends lacks $library: $depends"
done
recommends=$(dpkg-deb -f "$deb" Recommends)
[[ $recommends == *fonts-noto-cjk* ]] || fail "Recommends lacks a CJK font: $recommends"

dpkg-deb -x "$deb" "$work/root"
root=$work/root
desktop-file-validate "$root/$share/applications/org.vantrel.Maturix.desktop"
appstreamcli validate --no-net "$root/$share/metainfo/org.vantrel.Maturix.metainfo.xml"
grep -qxF "Exec=\"/$prefix/bin/Maturix\" %F" "$root/$share/applications/org.vantrel.Maturix.desktop" ||
    fail "the desktop entry does not start the installed program"

# The program runs from the unpacked tree with its own libraries only.
unset LD_LIBRARY_PATH
cli=$root/$prefix/bin/maturix-cli
# Read whole outputs before matching: "grep -q" stops reading at the first
# match, and under pipefail the writer's broken pipe would fail the check.
linked=$(ldd "$cli")
grep -qF "libPlatformCore.so => $root/" <<<"$linked" || fail "RPATH: $linked"
"$cli" --help >"$work/help" || fail "maturix-cli --help"
grep -q "assess" "$work/help" || fail "maturix-cli --help: $(cat "$work/help")"
plugin="$root/$share/maturix/OsiriX Plugins/MaturixLink.osirixplugin/libMaturixLink.so"
grep -qF "[/$libdir/maturix]" <<<"$(readelf -d "$plugin")" || fail "the plug-in does not name the installed libraries"
# Every program and the plug-in find all they need without the stand-in
# viewer: the plug-in takes the viewer's interface from the viewer that
# loads it. It names the installed library folder, here the unpacked one.
for binary in "$root/$prefix"/bin/* "$plugin"; do
    needed=$(LD_LIBRARY_PATH=$root/$libdir/maturix ldd "$binary") || fail "ldd $binary"
    ! grep -q "not found" <<<"$needed" || fail "$binary: $needed"
    ! grep -qi "osirix" <<<"$needed" || fail "$binary needs the stand-in viewer: $needed"
done
for library in "$root/$libdir"/maturix/*.so "$plugin"; do
    ! grep NEEDED <<<"$(readelf -d "$library")" | grep -qi osirix || fail "$library needs the stand-in viewer"
done

# The patient-file type, in a data folder of its own: a file written by
# maturix-cli, under its own name and renamed; one from macOS, renamed; and
# an archive of another kind, which is not a patient file.
export XDG_DATA_HOME=$work/xdg XDG_DATA_DIRS=$work/xdg-system XDG_CURRENT_DESKTOP=GNOME
mkdir -p "$XDG_DATA_HOME/mime/packages" "$XDG_DATA_DIRS"
cp /usr/share/mime/packages/freedesktop.org.xml "$XDG_DATA_HOME/mime/packages/"
cp "$root/$share/mime/packages/org.vantrel.Maturix.xml" "$XDG_DATA_HOME/mime/packages/"
update-mime-database "$XDG_DATA_HOME/mime"
"$cli" convert "$testdata/typedstream/patient-v2.bin" "$work/Smith.maturix"
cp "$work/Smith.maturix" "$work/Smith-renamed"
cp "$testdata/typedstream/patient-v3-example.bin" "$work/from-mac"
cp "$testdata/typedstream/real-crabstep-NSString.bin" "$work/other-archive"
for file in Smith.maturix Smith-renamed from-mac other-archive; do
    type=$(xdg-mime query filetype "$work/$file")
    expected=application/x-maturix
    [ "$file" = other-archive ] && expected=application/octet-stream
    [ "$type" = "$expected" ] || fail "$file is $type, not $expected"
done
update-desktop-database "$root/$share/applications"
grep -qxF "application/x-maturix=org.vantrel.Maturix.desktop;" "$root/$share/applications/mimeinfo.cache" ||
    fail "the desktop entry does not open patient files"
echo "package ok: $(basename "$deb")"
