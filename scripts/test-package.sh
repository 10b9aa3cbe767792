#!/usr/bin/env bash
# Builds the Debian package from a configured build folder, checks its file list, its
# dependencies, desktop entry and metainfo, installs it, runs the installed programs from
# /usr/bin (the window on a virtual display, started on a file; velmora-cli --version, a
# command's --help and its bash completion) and removes it again.
# Usage: scripts/test-package.sh [BUILD_DIR]   (needs root or sudo; CI runs it as root)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
for tool in cpack dpkg-deb desktop-file-validate appstreamcli xvfb-run xwininfo import; do
    command -v "$tool" >/dev/null || { echo "test-package: $tool is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
done
if dpkg-query -W -f='${Status}' velmora 2>/dev/null | grep -q 'install ok installed'; then
    echo "test-package: a velmora package is installed already; not replacing it" >&2
    exit 1
fi

work=$(mktemp -d /tmp/velmora-package-XXXXXX)
installed=0
cleanup() {
    if ((installed)); then $SUDO dpkg -r velmora >/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

(cd "$build" && cpack -G DEB -B "$work/out" >/dev/null)
deb=$(ls "$work"/out/velmora_*.deb)
echo "test-package: built $(basename "$deb")"

id=com.velmora_tools.Velmora
expected=(
    /usr/bin/velmora
    /usr/bin/velmora-cli
    /usr/share/applications/$id.desktop
    /usr/share/metainfo/$id.metainfo.xml
    /usr/share/icons/hicolor/scalable/apps/$id.svg
    /usr/share/man/man1/velmora-cli.1.gz
    /usr/share/bash-completion/completions/velmora-cli
    /usr/share/zsh/vendor-completions/_velmora-cli
    /usr/share/fish/vendor_completions.d/velmora-cli.fish
    /usr/share/velmora/help/tessalyd.html
    /usr/share/velmora/help/tessalye.html
)
for size in 16 22 24 32 48 64 128 256; do expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/$id.png"); done
dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./|/|' | grep -v '/$' | sort >"$work/listed"
# velmora-cli's desktop module, in the library folder of the configured layout.
module=$(grep -E '^/usr/lib/([^/]+/)?velmora/velmora-desktop\.so$' "$work/listed" || true)
[ -n "$module" ] || { echo "test-package: the package lacks velmora-cli's desktop module" >&2; exit 1; }
expected+=("$module")
printf '%s\n' "${expected[@]}" | sort >"$work/expected"
diff -u "$work/expected" "$work/listed" || { echo "test-package: the package holds other files than expected" >&2; exit 1; }

depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6widgets6 libqt6svg6 libqt6dbus6 libdeflate0 zlib1g libc6 hicolor-icon-theme; do
    grep -q "$needed" <<<"$depends" || { echo "test-package: Depends lacks $needed: $depends" >&2; exit 1; }
done

mkdir "$work/root"
dpkg-deb -x "$deb" "$work/root"
desktop-file-validate "$work/root/usr/share/applications/$id.desktop"
appstreamcli validate --no-net "$work/root/usr/share/metainfo/$id.metainfo.xml" >/dev/null

$SUDO dpkg -i "$deb" >/dev/null
installed=1
[ "$(command -v velmora-cli)" = /usr/bin/velmora-cli ] || { echo "test-package: velmora-cli is not run from /usr/bin" >&2; exit 1; }
/usr/bin/velmora-cli --help | grep -q 'holders PATH' || { echo "test-package: velmora-cli --help lacks holders" >&2; exit 1; }
/usr/bin/velmora-cli inspect /usr/bin/velmora-cli 2>"$work/inspect-errors" | grep -q '^Modified:' ||
    { echo "test-package: velmora-cli inspect failed" >&2; exit 1; }
[ ! -s "$work/inspect-errors" ] ||
    { echo "test-package: velmora-cli did not find its desktop module: $(cat "$work/inspect-errors")" >&2; exit 1; }
man -w velmora-cli >/dev/null 2>&1 || [ -s /usr/share/man/man1/velmora-cli.1.gz ]
version=$(/usr/bin/velmora-cli --version)
[ "$version" = "velmora-cli $(dpkg-deb -f "$deb" Version)" ] || { echo "test-package: velmora-cli --version says '$version'" >&2; exit 1; }
/usr/bin/velmora-cli zip --help | grep -q -- '--overwrite' || { echo "test-package: velmora-cli zip --help lacks --overwrite" >&2; exit 1; }
# Tab after "velmora-cli zi" in bash, as the installed completion answers it.
completed=$(bash -c 'source /usr/share/bash-completion/completions/velmora-cli
COMP_WORDS=(velmora-cli zi); COMP_CWORD=1; _velmora_cli; echo "${COMPREPLY[*]}"')
[ "$completed" = zip ] || { echo "test-package: bash completes 'velmora-cli zi' to '$completed'" >&2; exit 1; }

# The window on a virtual display, started on a file as a file manager's "Open With" does,
# with a throw-away settings folder: it must come up as the main window (after the start
# screen) and keep running.
printf 'held by nobody\n' >"$work/sample.txt"
mkdir -m 700 "$work/runtime" "$work/config"
shot=${VELMORA_PACKAGE_SCREENSHOT:-$work/installed.png}
cat >"$work/check" <<CHECK
#!/usr/bin/env bash
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
/usr/bin/velmora "$work/sample.txt" &
pid=\$!
for _ in \$(seq 1 120); do
    sleep 0.5
    kill -0 \$pid 2>/dev/null || { echo "velmora ended by itself" >&2; exit 1; }
    id=\$(xwininfo -root -tree 2>/dev/null | grep '"Velmora"' | grep '454x386' | awk '{print \$1; exit}')
    [ -n "\$id" ] && xwininfo -id "\$id" | grep -q IsViewable && break
    id=""
done
[ -n "\$id" ] || { echo "no main window" >&2; kill \$pid; exit 1; }
sleep 1
import -window root "$shot" 2>/dev/null || true
kill \$pid
wait \$pid 2>/dev/null
exit 0
CHECK
chmod +x "$work/check"
xvfb-run -a -s "-screen 0 800x600x24" "$work/check" ||
    { echo "test-package: the installed velmora showed no main window" >&2; exit 1; }
echo "test-package: the installed velmora showed its main window; velmora-cli --help, --version, zip --help and its bash completion ran from /usr/bin"

$SUDO dpkg -r velmora >/dev/null
installed=0
[ ! -e /usr/bin/velmora ] || { echo "test-package: /usr/bin/velmora is left after removal" >&2; exit 1; }
echo "test-package: package built, listed, installed, run and removed"
