#!/usr/bin/env bash
# Builds and installs the plug-in, then runs it: a drum loop rendered through a
# tempo-synced factory preset by the project's own VST host, loading the
# installed Tavinor.so as any host would, and the editor opened in that host's
# window under a virtual display, written as a screenshot.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash tools/setup.sh

# Install: the plug-in is one file in /usr/local/lib/vst, a folder on the
# Linux VST path that Ardour scans with its default settings (as do most
# other Linux hosts); hosts that look only in ~/.vst find it through a link
# there. Each is replaced in one step. The factory preset archives go to the
# common folder, where the installer looks for them.
vst_dir=/usr/local/lib/vst
user_vst_dir="$HOME/.vst"
common_dir="/opt/Orv Group/Tavinor"
mkdir -p "$vst_dir" "$user_vst_dir" "$common_dir"
install -m 755 build/Tavinor.so "$vst_dir/.Tavinor.so.new"
mv -f "$vst_dir/.Tavinor.so.new" "$vst_dir/Tavinor.so"
ln -sfn "$vst_dir/Tavinor.so" "$user_vst_dir/.Tavinor.so.new"
mv -fT "$user_vst_dir/.Tavinor.so.new" "$user_vst_dir/Tavinor.so"
for archive in build/tools/factory-presets/*.zip; do
    install -m 644 "$archive" "$common_dir/"
done

# The demo. The demo tool makes the chunk with user folders of its own; the
# render runs the plug-in in a throw-away home, so that the user's settings
# and presets are left as they are.
demo_dir="$PWD/build/demo"
mkdir -p "$demo_dir"
preset="resources/presets/Echoes/Dotted Eighth Lead.tnprst"
scratch_home=$(mktemp -d)
trap 'rm -rf "$scratch_home"' EXIT
build/tools/demo/tavinor_demo drums "$demo_dir/drums.wav" --tempo 120 --bars 2
build/tools/demo/tavinor_demo chunk "$preset" "$demo_dir/demo.chunk"
render_home="$scratch_home/render"
mkdir -p "$render_home"
HOME="$render_home" XDG_CONFIG_HOME="$render_home/.config" \
    build/tools/testhost/tavinor_host render "$vst_dir/Tavinor.so" "$demo_dir/drums.wav" "$demo_dir/Tavinor demo.wav" \
    --chunk "$demo_dir/demo.chunk" --tempo 120 --tail 3

# The editor with the demo's preset, as the host shows it. Its throw-away home
# has the factory presets unpacked already, as after the first-run installer
# (which would otherwise cover the face), and leaves the user's own alone.
editor_home="$scratch_home/editor"
editor_user_dir="$editor_home/.config/Orv Group/Tavinor"
mkdir -p "$editor_user_dir"
unzip -q -o "build/tools/factory-presets/Tavinor Factory Presets v1.1 - full.zip" -d "$editor_user_dir"
printf '<?xml version="1.0" encoding="UTF-8"?>\n<UserSettings application="Tavinor"><Presets><Installed version="1.1"/></Presets></UserSettings>\n' \
    > "$editor_user_dir/Tavinor.ini"
screenshot="$demo_dir/Tavinor editor.png"
HOME="$editor_home" XDG_CONFIG_HOME="$editor_home/.config" xvfb-run -a \
    build/tools/testhost/tavinor_host editor "$vst_dir/Tavinor.so" --chunk "$demo_dir/demo.chunk" \
    --seconds 2 --screenshot "$screenshot"

echo
echo "Installed: $vst_dir/Tavinor.so (and $user_vst_dir/Tavinor.so, a link to it)"
echo "Installed: $common_dir/ (factory preset archives)"
echo "Demo input: $demo_dir/drums.wav (two bars of drums at 120 bpm)"
echo "Demo: $demo_dir/Tavinor demo.wav (the drums through \"$(basename "$preset" .tnprst)\")"
echo "Editor: $screenshot (the editor with that preset, in the host's window)"
