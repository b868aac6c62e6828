#!/usr/bin/env bash
# Fetches Dear ImGui 1.92.2b (docking branch) from Debian's source archive
# into .deps/imgui/ of the repository; the library target in
# tools/imgui.cmake builds it from there. Nothing of it is committed.
#
# The docking core is the copy carried by the source package "furnace"
# (extern/imgui_patched); the SDL2 and OpenGL 3 backends come unmodified
# from the source package "imgui". That copy has a few application-specific
# changes, which the patch step below takes back so the library behaves as
# upstream 1.92.2b. apt runs with private lists, caches and source lists,
# so the system's apt configuration and state are left as they are.
#
# Quick when already done: a stamp file records what was fetched.
set -euo pipefail

FURNACE_VERSION="0.6.8.3+git20250912+ds-2"
IMGUI_VERSION="1.92.2b+ds-1"
RECIPE=1   # raise when the extraction or patch steps change

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="$root/.deps/imgui"
stamp="$out/.stamp"
want="want furnace=$FURNACE_VERSION imgui=$IMGUI_VERSION recipe=$RECIPE"

if [[ -f "$stamp" ]] && [[ "$(head -n1 "$stamp")" == "$want" ]]; then
  exit 0
fi

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
if [[ -z "$mirror" ]]; then
  echo "fetch-imgui: no Debian archive address found in the apt sources" >&2
  exit 1
fi

work="$root/.deps/apt"
rm -rf "$work"
mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$work/dl" "$work/parts"
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
  # Release files are past their Valid-Until; their signatures and the .dsc
  # checksums below still vouch for the files.
  -o "Acquire::Check-Valid-Until=false"
  -o "APT::Sandbox::User=root"
)

echo "fetch-imgui: reading the source lists of sid and forky"
if ! apt-get "${apt_opts[@]}" -qq update; then
  # The system keyring may not know the newest archive keys yet; the files
  # are still checked against the checksums of their .dsc below.
  echo "fetch-imgui: signature check of the source lists failed; relying on .dsc checksums" >&2
  sed -i 's/^deb-src /deb-src [trusted=yes] /' "$work/sources.list"
  apt-get "${apt_opts[@]}" -qq -o Acquire::AllowInsecureRepositories=true update
fi

# The pinned version when offered, else the newest one.
pick() {
  local pkg="$1" pinned="$2" versions
  versions="$(apt-cache "${apt_opts[@]}" showsrc "$pkg" | awk '/^Version:/ { print $2 }')"
  if grep -qxF "$pinned" <<<"$versions"; then
    echo "$pinned"
    return
  fi
  local newest
  newest="$(sort -V <<<"$versions" | tail -n1)"
  if [[ -z "$newest" ]]; then
    echo "fetch-imgui: source package $pkg is not in the archive" >&2
    return 1
  fi
  echo "fetch-imgui: $pkg $pinned has left the archive; taking $newest" >&2
  echo "$newest"
}
fur_ver="$(pick furnace "$FURNACE_VERSION")"
img_ver="$(pick imgui "$IMGUI_VERSION")"

cd "$work/dl"
if ! apt-get "${apt_opts[@]}" -qq source --download-only "furnace=$fur_ver" "imgui=$img_ver" \
    > "$work/source.log" 2>&1; then
  cat "$work/source.log" >&2
  echo "fetch-imgui: downloading the source packages failed" >&2
  exit 1
fi

# Every file named in a .dsc must match its SHA-256 there.
verify_dsc() {
  local dsc="$1" line sum size name
  local in=0 count=0
  while IFS= read -r line; do
    if [[ "$line" == "Checksums-Sha256:" ]]; then in=1; continue; fi
    if ((in)); then
      [[ "$line" == " "* ]] || break
      read -r sum size name <<<"$line"
      if [[ "$(sha256sum "$name" | cut -d' ' -f1)" != "$sum" ]]; then
        echo "fetch-imgui: checksum mismatch for $name" >&2
        exit 1
      fi
      count=$((count + 1))
    fi
  done < "$dsc"
  if ((count == 0)); then
    echo "fetch-imgui: no checksums in $dsc" >&2
    exit 1
  fi
}
fur_dsc="$(ls furnace_*.dsc)"
img_dsc="$(ls imgui_*.dsc)"
verify_dsc "$fur_dsc"
verify_dsc "$img_dsc"

stage="$work/stage"
mkdir -p "$stage"
tar -xJf furnace_*.orig.tar.xz -C "$stage" --wildcards '*/extern/imgui_patched/*'
tar -xJf imgui_*.orig.tar.xz -C "$stage" --wildcards '*/backends/imgui_impl_sdl2.*' \
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

printf '%s\nhave furnace=%s imgui=%s\n' "$want" "$fur_ver" "$img_ver" > "$new/.stamp"
rm -rf "$out"
mv "$new" "$out"
rm -rf "$work"
echo "fetch-imgui: Dear ImGui ready in .deps/imgui (furnace $fur_ver, imgui $img_ver)"
