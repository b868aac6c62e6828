#!/usr/bin/env bash
# Fetches Dear ImGui 1.92.2b (docking branch) from Debian's source archive
# into .deps/imgui/ of the repository; the library target in
# tools/imgui.cmake builds it from there. Nothing of it is committed.
#
# The docking core is the copy carried by the source package "furnace"
# (extern/imgui_patched); the SDL2 and OpenGL 3 backends come unmodified
# from the source package "imgui". That copy has a few application-specific
# changes, which the patch step below takes back so the library behaves as
# upstream 1.92.2b.
#
# What is taken is pinned: the versions of both source packages and the
# SHA-256 of every file used from them (the two upstream tarballs and the
# two Debian diffs). A file that differs from its pin stops the script; a
# pinned version that has left the archive stops it too, so a newer copy is
# never taken unseen. To move to another version, fetch it once, check it,
# and put its versions and checksums below.
#
# Environment: TILVOX_DEPS_DIR puts the result into that directory instead
# of .deps/ of the repository; TILVOX_IMGUI_ARCHIVES names a directory that
# already holds the four files, which are then verified and used instead of
# downloading them.
#
# Quick when already done: a stamp file records what was fetched.
set -euo pipefail

FURNACE_VERSION="0.6.8.3+git20250912+ds-2"
IMGUI_VERSION="1.92.2b+ds-1"
RECIPE=1   # raise when the extraction or patch steps change

# File name and SHA-256 of every file taken from the archive.
PINNED=(
  "furnace_0.6.8.3+git20250912+ds.orig.tar.xz 51047f604c2eeb11b973271b38ba31187f6d7169e760696abaa997aa27261a90"
  "furnace_0.6.8.3+git20250912+ds-2.debian.tar.xz 2ba4d38e2adcce73f61cf1bc42da77a54d233b6f6d71ead10878fd17fe2190a2"
  "imgui_1.92.2b+ds.orig.tar.xz e7bd201d56b5ee90d24d5dac85e5c12f98bdb95410252a62d27b7f89e4566d48"
  "imgui_1.92.2b+ds-1.debian.tar.xz ca9d561ab86e0a8ec10438ec32cdbdd6ec783550e06a63c1b8042ec50899f80d"
)

fail() {
  echo "fetch-imgui: $*" >&2
  exit 1
}

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
deps="${TILVOX_DEPS_DIR:-$root/.deps}"
out="$deps/imgui"
stamp="$out/.stamp"
want="want furnace=$FURNACE_VERSION imgui=$IMGUI_VERSION recipe=$RECIPE"
have="have furnace=$FURNACE_VERSION imgui=$IMGUI_VERSION"

# A copy that an earlier script took from other versions is fetched again.
if [[ -f "$stamp" ]] && [[ "$(head -n2 "$stamp")" == "$want"$'\n'"$have" ]]; then
  exit 0
fi

work="$deps/apt"
rm -rf "$work"
mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$work/dl" "$work/parts"

if [[ -n "${TILVOX_IMGUI_ARCHIVES:-}" ]]; then
  echo "fetch-imgui: taking the source files from $TILVOX_IMGUI_ARCHIVES"
  for entry in "${PINNED[@]}"; do
    name="${entry%% *}"
    [[ -f "$TILVOX_IMGUI_ARCHIVES/$name" ]] || fail "$name is missing in $TILVOX_IMGUI_ARCHIVES"
    cp "$TILVOX_IMGUI_ARCHIVES/$name" "$work/dl/"
  done
else
  # The archive address is the one this machine already uses for Debian.
  mirror=""
  if [[ -f /etc/apt/sources.list.d/debian.sources ]]; then
    mirror="$(awk '/^URIs:/ { for (i = 2; i <= NF; i++) if ($i !~ /security/) { print $i; exit } }' \
      /etc/apt/sources.list.d/debian.sources)"
  fi
  if [[ -z "$mirror" && -f /etc/apt/sources.list ]]; then
    mirror="$(awk '$1 == "deb" || $1 == "deb-src" {
        for (i = 2; i <= NF; i++) if ($i ~ /^[a-z]+:\/\//) { if ($i !~ /security/) { print $i; exit } break } }' \
      /etc/apt/sources.list)"
  fi
  [[ -n "$mirror" ]] || fail "no Debian archive address found in the apt sources"

  # apt runs with private lists, caches and source lists, so the system's
  # apt configuration and state are left as they are.
  touch "$work/status"
  printf 'deb-src %s sid main\ndeb-src %s forky main\n' "$mirror" "$mirror" > "$work/sources.list"
  apt_opts=(
    -o "Dir::Etc::SourceList=$work/sources.list"
    -o "Dir::Etc::SourceParts=$work/parts"
    -o "Dir::State::Lists=$work/lists"
    -o "Dir::State::status=$work/status"
    -o "Dir::Cache=$work/cache"
    -o "Debug::NoLocking=1"
    # The configured archive may be a dated snapshot whose sid and forky
    # Release files are past their Valid-Until; their signatures still
    # count, and the pinned checksums decide about every file taken.
    -o "Acquire::Check-Valid-Until=false"
    -o "APT::Sandbox::User=root"
  )

  echo "fetch-imgui: reading the source lists of sid and forky"
  if ! apt-get "${apt_opts[@]}" -qq update; then
    fail "reading the signed source lists of $mirror failed (network, or a keyring that lacks the" \
      "archive's newest keys: install a newer debian-archive-keyring)"
  fi

  for pair in "furnace=$FURNACE_VERSION" "imgui=$IMGUI_VERSION"; do
    pkg="${pair%%=*}"
    ver="${pair#*=}"
    if ! apt-cache "${apt_opts[@]}" showsrc "$pkg" 2>/dev/null | awk '/^Version:/ { print $2 }' | grep -qxF "$ver"; then
      fail "source package $pkg $ver is no longer in the archive; pin a newer version and its" \
        "checksums in tools/fetch-imgui.sh"
    fi
  done

  cd "$work/dl"
  if ! apt-get "${apt_opts[@]}" -qq source --download-only "furnace=$FURNACE_VERSION" \
      "imgui=$IMGUI_VERSION" > "$work/source.log" 2>&1; then
    cat "$work/source.log" >&2
    fail "downloading the source packages failed"
  fi
fi

# Every file must match its pinned SHA-256 before anything is unpacked.
cd "$work/dl"
for entry in "${PINNED[@]}"; do
  name="${entry%% *}"
  sum="${entry##* }"
  [[ -f "$name" ]] || fail "$name was not downloaded"
  got="$(sha256sum "$name" | cut -d' ' -f1)"
  if [[ "$got" != "$sum" ]]; then
    rm -rf "$work"
    fail "$name does not match its pinned SHA-256 (expected $sum, got $got); nothing was unpacked"
  fi
done
echo "fetch-imgui: all source files match their pinned SHA-256"

stage="$work/stage"
mkdir -p "$stage"
tar -xJf "${PINNED[0]%% *}" -C "$stage" --wildcards '*/extern/imgui_patched/*'
tar -xJf "${PINNED[2]%% *}" -C "$stage" --wildcards '*/backends/imgui_impl_sdl2.*' \
  '*/backends/imgui_impl_opengl3*'
core="$(ls -d "$stage"/furnace-*/extern/imgui_patched)"
back="$(ls -d "$stage"/imgui-*/backends)"

new="$out.new"
rm -rf "$new"
mkdir -p "$new/misc/cpp" "$new/backends"
for f in imgui.cpp imgui.h imgui_internal.h imgui_draw.cpp imgui_widgets.cpp imgui_tables.cpp \
         imgui_demo.cpp imconfig.h imstb_rectpack.h imstb_textedit.h imstb_truetype.h LICENSE.txt; do
  cp "$core/$f" "$new/$f"
done
cp "$core"/misc/cpp/imgui_stdlib.* "$new/misc/cpp/"
cp "$back"/imgui_impl_sdl2.* "$back"/imgui_impl_opengl3.* "$back"/imgui_impl_opengl3_loader.h "$new/backends/"

# Take back the local changes of that copy.
# 1. imgui.h includes an application config instead of the user-config hook.
sed -i 's|^#include "imconfig_fur.h"$|#ifdef IMGUI_USER_CONFIG\n#include IMGUI_USER_CONFIG\n#endif|' "$new/imgui.h"
# 2. imconfig.h forces 32-bit draw indices; upstream leaves that commented out.
sed -i 's|^#define ImDrawIdx unsigned int$|//#define ImDrawIdx unsigned int|' "$new/imconfig.h"
sed -i '/^\/\/#ifndef IS_MOBILE$/d; /^\/\/#endif$/d' "$new/imconfig.h"
# 3. imgui.cpp reaches into the other application's file helpers.
sed -i 's|^#include "../../src/fileutils.h"$|#include "imgui_fileshim.h"|' "$new/imgui.cpp"
cp "$root/tools/imgui/imgui_fileshim.h" "$new/"
# 4. Text-input undo is opt-in there; upstream has it on unless disabled.
sed -i 's|ImGuiInputTextFlags_UndoRedo            = 1 << 16,  // Ensable undo/redo.|ImGuiInputTextFlags_NoUndoRedo          = 1 << 16,  // Disable undo/redo.|' "$new/imgui.h"
sed -i 's|(flags \& ImGuiInputTextFlags_UndoRedo) != 0|(flags \& ImGuiInputTextFlags_NoUndoRedo) == 0|' "$new/imgui_widgets.cpp"
sed -i 's|ImGuiInputTextFlags_UndoRedo|ImGuiInputTextFlags_NoUndoRedo|g' "$new/imgui_demo.cpp"
# 5. TextEx hides text after "##"; upstream shows plain text whole.
sed -i '/text_end = FindRenderedTextEnd(text, text_end); \/\/hides everything after ##/d' "$new/imgui_widgets.cpp"

check() {  # file, pattern that must (1) or must not (0) be present
  if grep -q -- "$2" "$new/$1"; then found=1; else found=0; fi
  if [[ "$found" != "$3" ]]; then
    echo "fetch-imgui: patch step failed on $1 ($2)" >&2
    exit 1
  fi
}
check imgui.h 'imconfig_fur.h' 0
check imgui.h '#include IMGUI_USER_CONFIG' 1
check imconfig.h "^#define ImDrawIdx" 0
check imgui.cpp 'fileutils.h' 0
check imgui.cpp '#include "imgui_fileshim.h"' 1
check imgui.h 'ImGuiInputTextFlags_UndoRedo' 0
check imgui.h 'ImGuiInputTextFlags_NoUndoRedo' 1
check imgui_widgets.cpp '(flags & ImGuiInputTextFlags_NoUndoRedo) == 0' 1
check imgui_widgets.cpp 'ImGuiInputTextFlags_UndoRedo' 0
check imgui_widgets.cpp 'hides everything after ##' 0
check imgui.h '#define IMGUI_VERSION       "1.92.' 1

printf '%s\n%s\n' "$want" "$have" > "$new/.stamp"
rm -rf "$out"
mv "$new" "$out"
rm -rf "$work"
echo "fetch-imgui: Dear ImGui ready in $out (furnace $FURNACE_VERSION, imgui $IMGUI_VERSION)"
