#!/usr/bin/env bash
# Builds and installs the plug-in, then runs it: a drum loop rendered through a
# tempo-synced factory preset by the project's own VST host, loading the
# installed Tavinor.so as any host would.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash tools/setup.sh

# Install: the plug-in is one file in ~/.vst (Linux hosts scan it); the factory
# preset archives go to the common folder, where the installer looks for them.
vst_dir="$HOME/.vst"
common_dir="/opt/Orv Group/Tavinor"
mkdir -p "$vst_dir" "$common_dir"
install -m 755 build/Tavinor.so "$vst_dir/.Tavinor.so.new"
mv -f "$vst_dir/.Tavinor.so.new" "$vst_dir/Tavinor.so"
for archive in build/tools/factory-presets/*.zip; do
    install -m 644 "$archive" "$common_dir/"
done

# The demo. The chunk is made in a throw-away home, so that the user's own
# settings and presets are left as they are.
demo_dir="$PWD/build/demo"
mkdir -p "$demo_dir"
preset="resources/presets/Echoes/Dotted Eighth Lead.tnprst"
scratch_home=$(mktemp -d)
trap 'rm -rf "$scratch_home"' EXIT
build/tools/demo/tavinor_demo drums "$demo_dir/drums.wav" --tempo 120 --bars 2
HOME="$scratch_home" XDG_CONFIG_HOME="$scratch_home/.config" \
    build/tools/demo/tavinor_demo chunk "$preset" "$demo_dir/demo.chunk"
build/tools/testhost/tavinor_host render "$vst_dir/Tavinor.so" "$demo_dir/drums.wav" "$demo_dir/Tavinor demo.wav" \
    --chunk "$demo_dir/demo.chunk" --tempo 120 --tail 3

echo
echo "Installed: $vst_dir/Tavinor.so"
echo "Installed: $common_dir/ (factory preset archives)"
echo "Demo input: $demo_dir/drums.wav (two bars of drums at 120 bpm)"
echo "Demo: $demo_dir/Tavinor demo.wav (the drums through \"$(basename "$preset" .tnprst)\")"
